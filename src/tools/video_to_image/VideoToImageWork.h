// The to-image tool's pool work: rendering one frame or a series into the preview folder,
// sizing and stitching the long image, and copying the queue to the output folder.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>

class QImage;

namespace tools::toimage {

inline constexpr qint64 kMaxLongImageHeight = 120000;
inline constexpr qint64 kMaxLongImageBytes = 1073741824;

struct ExportResult
{
    bool success = false;
    QString message;
    QStringList producedFiles;
    QStringList consumedPaths;
};

struct AddRequest
{
    QString ffmpegPath;
    QString sourcePath;
    QString previewFolder;
    QString format;
    QString qualityPreset;
    int width = 0;
    int height = 0;
    QString captureMode;
    QString continuousMode;
    double singleSeconds = 0;
    int durationSeconds = 0;
    double rangeStart = 0;
    double rangeEnd = 0;
    double timeIntervalSeconds = 1.0;
    int frameInterval = 5;
    QDateTime now;
};

// The series run: arguments and the prefix its frames carry.
struct SeriesPlan
{
    QString prefix;
    QStringList arguments;
};
SeriesPlan buildSeriesPlan(const AddRequest &request);
// The frames of one series: files in folder named prefix + "_" ... + "." + extension, taken
// literally (names may hold "[", "*" or "%"), sorted by name.
QStringList listSeriesFrames(const QString &folder, const QString &prefix, const QString &extension);
// The preview file of a single frame: "<base>_<HH-MM-SS>.<ext>", numbered when taken.
QString singleFramePath(const AddRequest &request);

ExportResult runAdd(const AddRequest &request, const std::atomic_bool *abort);

struct LongImageEstimate
{
    bool hasImages = false;
    qint64 maxWidth = 0;
    qint64 totalHeight = 0;
    qint64 estimatedBytes = 0;
};

// Image sizes from the files' headers (decoding only when a header gives none).
LongImageEstimate estimateLongImage(const QStringList &paths);
// The tallest long image the format can hold: the overall cap, lower for JPG and WEBP.
qint64 maxLongImageHeight(const QString &format);
bool longImageOverLimit(const LongImageEstimate &estimate, const QString &format);
QString longImageOverLimitMessage(const LongImageEstimate &estimate, const QString &format);
QString formatBytesText(qint64 bytes);

// Draws the images one below the other, centred, on black, decoding one image at a time; the
// canvas is the only full-size buffer. False when nothing decodes or the file cannot be saved.
bool stitchImagesVertically(const QStringList &paths, const QString &outputPath);
// Writes image as format to the new file path (an existing file is never replaced). True only when
// every byte reached the file; a failed write removes what it made.
bool writeImageFile(const QImage &image, const QString &path, const QByteArray &format);

struct ExportRequest
{
    QString outputFolder;
    QStringList sourcePaths;
    bool longImage = false;
    QString format;
    QString fallbackReason;
};
ExportResult runExport(const ExportRequest &request, const std::atomic_bool *abort);

} // namespace tools::toimage
