// ffprobe output readers shared by the media prober and the preview service.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringRef>
#include <QVector>

#include <atomic>

namespace ffmpeg {

// A duration value as ffprobe writes it (string or number); counts only when finite and > 0.
bool countedDuration(const QJsonValue &value, double *seconds);

// The longest duration reported, in seconds (about 68 years): a damaged or hostile file's
// absurd value stays a plain long duration, and seconds * 1000 still fits every caller.
constexpr qint64 kMaxDurationSeconds = 2147483647;

// Whole seconds, rounded up; 0 for values that are not finite or not above 0, and at most
// kMaxDurationSeconds.
qint64 ceilSeconds(double seconds);

// One stream of a media file as ffprobe lists it.
struct StreamInfo
{
    int index = -1;
    QString codecType; // "video", "audio", "subtitle", "data", "attachment"
    QString codecName; // empty when ffprobe does not know the codec
    bool isDefault = false;
    bool attachedPicture = false; // a cover image, not a moving picture
    qint64 bitRate = 0;           // bits per second as the container states it; 0 when it does not
};

// The size a picture of width x height is shown at: the sample aspect ratio sarNum:sarDen
// widens or heightens it (never shrinks it, as the player's own screenshot does), and a quarter
// turn of rotationDegrees swaps the sides. An unknown ratio (a side 0 or less) counts as square.
void displayedSize(int width, int height, int sarNum, int sarDen, int rotationDegrees, int *displayWidth,
                   int *displayHeight);

// What the prober takes from ffprobe's "-of json" output (format and stream durations, the
// first video stream's coded and displayed size, every stream).
struct ProbeSummary
{
    bool parsed = false;        // the output was a JSON object
    double largestDuration = 0; // 0 when no counted duration was found
    int width = -1;
    int height = -1;
    // The upright picture as players show it: the sample aspect ratio applied and the sides
    // swapped for a display matrix (or "rotate" tag) that turns it by a quarter.
    int displayWidth = -1;
    int displayHeight = -1;
    QVector<StreamInfo> streams; // in the file's order; entries without an index are skipped
};
ProbeSummary parseProbeJson(const QByteArray &json);

// Incremental reader of "-of csv=p=0" packet pts lines that keeps only the running maximum.
class PacketPtsScanner
{
public:
    void feed(const QString &text);
    void finish();
    double maximum() const { return m_maximum; }

private:
    void takeLine(const QStringRef &line);

    QString m_buffer;
    double m_maximum = 0.0;
};

struct PacketScanResult
{
    qint64 seconds = 0;
    bool transientFailure = false; // did not start, timed out or was cancelled
};

// Runs ffprobe over every packet of one stream (selector "v:0", "a:0") and returns the ceiling of
// the largest pts_time; 0 unless ffprobe exits normally with code 0. Time-limited.
PacketScanResult scanMaxPacketPts(const QString &ffprobePath, const QString &filePath,
                                  const QString &selector, const std::atomic_bool *cancel,
                                  const std::atomic_bool *callerCancel = nullptr);

} // namespace ffmpeg
