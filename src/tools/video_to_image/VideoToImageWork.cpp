// Pool work of the to-image tool.
#include "tools/video_to_image/VideoToImageWork.h"

#include "ffmpeg/BoundedProcess.h"
#include "i18n/I18n.h"
#include "tools/common/OutputNaming.h"
#include "tools/common/SizeText.h"
#include "tools/video_capture/FrameToolSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QVector>

#include <cmath>
#include <limits>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tools::toimage {
namespace {

QString catalogText(const char *key, const QVariantMap &args = QVariantMap())
{
    return i18n::t(QString::fromLatin1(key), args);
}

QString failureText(const char *plainKey, const char *detailKey, const QByteArray &standardError)
{
    const QString detail = QString::fromUtf8(standardError).trimmed();
    return detail.isEmpty() ? catalogText(plainKey)
                            : catalogText(detailKey, {{QStringLiteral("detail"), detail}});
}

QSize imageSize(const QString &path)
{
    QImageReader reader(path);
    QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0) {
        const QImage decoded(path);
        size = decoded.isNull() ? QSize() : decoded.size();
    }
    return size;
}

bool isSingleMode(const AddRequest &request)
{
    return request.captureMode == QLatin1String("single");
}

ExportResult addSingleFrame(const AddRequest &request, const std::atomic_bool *abort)
{
    ExportResult result;
    tools::frames::FrameGrabRequest grab;
    grab.ffmpegPath = request.ffmpegPath;
    grab.sourcePath = request.sourcePath;
    grab.outputPath = singleFramePath(request);
    grab.seconds = request.singleSeconds;
    grab.durationSeconds = request.durationSeconds;
    grab.format = request.format;
    grab.width = request.width;
    grab.height = request.height;
    grab.qualityPreset = request.qualityPreset;
    if (grab.outputPath.isEmpty()) {
        result.message = catalogText("tool.video_to_image.error.single_export_failed");
        return result;
    }
    const auto outcome = tools::frames::grabFrame(grab, tools::frames::timings().singleFrameMs, abort);
    if (outcome.end == tools::frames::FrameGrabOutcome::End::TimedOut) {
        result.message = catalogText("tool.video_to_image.error.export_timeout");
        return result;
    }
    if (outcome.end == tools::frames::FrameGrabOutcome::End::Failed) {
        result.message = failureText("tool.video_to_image.error.single_export_failed",
                                     "tool.video_to_image.error.single_export_failed_with_detail",
                                     outcome.detail.toUtf8());
        return result;
    }
    result.producedFiles << QDir::fromNativeSeparators(grab.outputPath);
    return result;
}

ExportResult addSeries(const AddRequest &request, const std::atomic_bool *abort)
{
    ExportResult result;
    const SeriesPlan plan = buildSeriesPlan(request);
    const QString extension = tools::frames::extensionForFormat(request.format);
    const tools::frames::Timings limits = tools::frames::timings();
    ffmpeg::BoundedRunOptions options;
    options.timeoutMs = limits.seriesMs;
    options.killGraceMs = limits.killGraceMs;
    options.cancel = abort;
    const ffmpeg::BoundedRunResult run =
        ffmpeg::runBoundedProcess(request.ffmpegPath, plan.arguments, options);
    if (!run.succeeded()) {
        // A failed or cut-short run's frames never reach the queue; they must not pile up either.
        for (const QString &frame : listSeriesFrames(request.previewFolder, plan.prefix, extension))
            QFile::remove(frame);
        result.message =
            run.finished()
                ? failureText("tool.video_to_image.error.batch_export_failed",
                              "tool.video_to_image.error.batch_export_failed_with_detail", run.standardError)
                : catalogText("tool.video_to_image.error.batch_export_timeout");
        return result;
    }
    result.producedFiles = listSeriesFrames(request.previewFolder, plan.prefix, extension);
    if (result.producedFiles.isEmpty())
        result.message = catalogText("tool.video_to_image.error.no_image_exported_check_params");
    return result;
}

} // namespace

QString singleFramePath(const AddRequest &request)
{
    const qint64 whole =
        request.singleSeconds > 0 ? static_cast<qint64>(std::floor(request.singleSeconds)) : 0;
    const QString stamp = QStringLiteral("%1-%2-%3")
                              .arg(whole / 3600, 2, 10, QLatin1Char('0'))
                              .arg((whole / 60) % 60, 2, 10, QLatin1Char('0'))
                              .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return tools::frames::freeNumberedPath(
        request.previewFolder, tools::frames::sourceBaseName(request.sourcePath),
        tools::frames::extensionForFormat(request.format), QLatin1Char('_') + stamp);
}

SeriesPlan buildSeriesPlan(const AddRequest &request)
{
    SeriesPlan plan;
    const QString extension = tools::frames::extensionForFormat(request.format);
    const double lower = qMax(qMin(request.rangeStart, request.rangeEnd), 0.0);
    const double upper = qMax(qMax(request.rangeStart, request.rangeEnd), 0.0);
    const double length = upper - lower;
    // Room is kept for the frame counter's widest value and the extension, so every frame's
    // name fits a file name's bytes.
    const QString stamp =
        QStringLiteral("_batch_") + request.now.toString(QStringLiteral("yyyyMMdd_HHmmsszzz"));
    const QString widestFrameTail =
        QStringLiteral("_%1.%2").arg(std::numeric_limits<int>::max()).arg(extension);
    plan.prefix =
        tools::fittedFileName(tools::frames::sourceBaseName(request.sourcePath), stamp + widestFrameTail);
    plan.prefix.chop(widestFrameTail.size());
    // "%06d" is ffmpeg's frame counter; a "%" of the file name itself must stay literal.
    const QString pattern =
        QDir(request.previewFolder)
            .filePath(QStringLiteral("%1_%06d.%2")
                          .arg(tools::frames::escapeSequencePattern(plan.prefix), extension));

    QStringList filters;
    if (request.continuousMode == QLatin1String("frame_interval"))
        filters << QStringLiteral("select='not(mod(n\\,%1))'").arg(qMax(request.frameInterval, 1));
    else if (request.continuousMode != QLatin1String("all_frames"))
        filters << QStringLiteral("fps=1/%1")
                       .arg(QString::number(qMax(request.timeIntervalSeconds, 0.04), 'f', 6));
    filters << tools::frames::sizeFilter(request.width, request.height);

    QStringList &args = plan.arguments;
    // "-n": the batch prefix is new, so no frame of another run is ever replaced.
    args << QStringLiteral("-v") << QStringLiteral("error") << QStringLiteral("-nostdin")
         << QStringLiteral("-n");
    args << QStringLiteral("-ss") << tools::frames::secondsArgument(lower);
    args << QStringLiteral("-i") << QDir::toNativeSeparators(request.sourcePath);
    if (length > 0)
        args << QStringLiteral("-t") << tools::frames::secondsArgument(length);
    args << QStringLiteral("-vf") << filters.join(QLatin1Char(','));
    if (request.continuousMode == QLatin1String("frame_interval"))
        args << QStringLiteral("-vsync") << QStringLiteral("vfr");
    else if (request.continuousMode == QLatin1String("all_frames"))
        args << QStringLiteral("-vsync") << QStringLiteral("0");
    args << tools::frames::qualityArguments(request.format, request.qualityPreset);
    args << QDir::toNativeSeparators(pattern);
    return plan;
}

QStringList listSeriesFrames(const QString &folder, const QString &prefix, const QString &extension)
{
    const QString head = prefix + QLatin1Char('_');
    const QString tail = QLatin1Char('.') + extension;
    QStringList frames;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name.size() > head.size() + tail.size() && name.startsWith(head) && name.endsWith(tail))
            frames << QDir::fromNativeSeparators(entry.absoluteFilePath());
    }
    return frames;
}

ExportResult runAdd(const AddRequest &request, const std::atomic_bool *abort)
{
    ExportResult result;
    if (request.sourcePath.isEmpty() || !QFileInfo::exists(request.sourcePath)) {
        result.message = catalogText("tool.video_to_image.error.source_not_found");
        return result;
    }
    if (request.previewFolder.isEmpty() || !QDir().mkpath(request.previewFolder)) {
        result.message = catalogText("tool.video_to_image.error.temp_dir_unavailable");
        return result;
    }
    result = isSingleMode(request) ? addSingleFrame(request, abort) : addSeries(request, abort);
    if (!result.producedFiles.isEmpty()) {
        result.success = true;
        result.message = catalogText("tool.video_to_image.status.added_to_queue_count",
                                     {{QStringLiteral("count"), result.producedFiles.size()}});
    }
    return result;
}

LongImageEstimate estimateLongImage(const QStringList &paths)
{
    LongImageEstimate estimate;
    for (const QString &path : paths) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const QSize size = imageSize(path);
        if (size.width() <= 0 || size.height() <= 0)
            continue;
        estimate.hasImages = true;
        estimate.maxWidth = qMax<qint64>(estimate.maxWidth, size.width());
        estimate.totalHeight += size.height();
    }
    if (estimate.hasImages && estimate.maxWidth > 0 && estimate.totalHeight > 0)
        estimate.estimatedBytes = estimate.maxWidth * estimate.totalHeight * 4;
    return estimate;
}

qint64 maxLongImageHeight(const QString &format)
{
    const QString extension = tools::frames::extensionForFormat(format);
    // The JPEG library stops at 65500 rows and WebP at 16383; a taller canvas cannot be saved.
    if (extension == QLatin1String("jpg"))
        return 65500;
    if (extension == QLatin1String("webp"))
        return 16383;
    return kMaxLongImageHeight;
}

bool longImageOverLimit(const LongImageEstimate &estimate, const QString &format)
{
    return estimate.totalHeight > maxLongImageHeight(format) || estimate.estimatedBytes > kMaxLongImageBytes;
}

QString formatBytesText(qint64 bytes)
{
    return megabyteSizeText(bytes);
}

QString longImageOverLimitMessage(const LongImageEstimate &estimate, const QString &format)
{
    return catalogText("tool.video_to_image.long_image.over_limit",
                       {{QStringLiteral("width"), estimate.maxWidth},
                        {QStringLiteral("height"), estimate.totalHeight},
                        {QStringLiteral("estimated"), formatBytesText(estimate.estimatedBytes)},
                        {QStringLiteral("max_height"), maxLongImageHeight(format)},
                        {QStringLiteral("max_memory"), formatBytesText(kMaxLongImageBytes)}});
}

bool stitchImagesVertically(const QStringList &paths, const QString &outputPath)
{
    // Sizes first, from the headers, so the canvas is the only full-size buffer in memory.
    QStringList usable;
    QVector<QSize> sizes;
    qint64 width = 0;
    qint64 height = 0;
    for (const QString &path : paths) {
        const QSize size = imageSize(path);
        if (size.width() <= 0 || size.height() <= 0)
            continue;
        usable << path;
        sizes << size;
        width = qMax<qint64>(width, size.width());
        height += size.height();
    }
    if (usable.isEmpty() || width <= 0 || height <= 0 || height > INT_MAX || width > INT_MAX)
        return false;
    QImage canvas(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
    if (canvas.isNull())
        return false;
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        int y = 0;
        for (int i = 0; i < usable.size(); ++i) {
            const QImage frame(usable.at(i));
            if (!frame.isNull())
                painter.drawImage(static_cast<int>((width - frame.width()) / 2), y, frame);
            y += sizes.at(i).height();
        }
    }
    const QString suffix = QFileInfo(outputPath).suffix().toLower();
    const QByteArray format =
        suffix == QLatin1String("jpg") ? QByteArrayLiteral("JPEG") : suffix.toLatin1().toUpper();
    return writeImageFile(canvas, outputPath, format);
}

namespace {

// Hands the encoder's bytes to the file. The first failed write is remembered and what follows is
// dropped, while the encoder is told every write went well: Qt's PNG writer leaks its row buffer
// when a write fails under it, and the failure is reported as soon as the encoder is done anyway.
class FailureLatchingDevice : public QIODevice
{
public:
    explicit FailureLatchingDevice(QFileDevice *file) : m_file(file) { open(QIODevice::WriteOnly); }
    bool failed() const { return m_failed; }
    qint64 size() const override { return m_file->size(); }
    bool seek(qint64 pos) override
    {
        QIODevice::seek(pos);
        m_failed = m_failed || !m_file->seek(pos);
        return true;
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        m_failed = m_failed || m_file->write(data, size) != size;
        return size;
    }

private:
    QFileDevice *m_file;
    bool m_failed = false;
};

} // namespace

bool writeImageFile(const QImage &image, const QString &path, const QByteArray &format)
{
    // NewOnly: the name was free when it was chosen; a file that took it since is not replaced.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    // The image writer reports only the writes it makes itself: the last buffered block reaches
    // the disk in flush and close, and a full disk fails there. Each step is checked, and the file
    // is synced so a file system that reports space late reports it here.
    FailureLatchingDevice device(&file);
    QImageWriter writer(&device, format);
    bool written = writer.write(image) && !device.failed() && file.flush();
#ifdef Q_OS_UNIX
    written = written && ::fsync(file.handle()) == 0;
#endif
    file.close();
    written = written && file.error() == QFileDevice::NoError;
    if (!written)
        file.remove();
    return written;
}

ExportResult runExport(const ExportRequest &request, const std::atomic_bool *abort)
{
    ExportResult result;
    if (request.outputFolder.isEmpty() || !QDir().mkpath(request.outputFolder)) {
        result.message = catalogText("tool.video_to_image.error.output_dir_unavailable");
        return result;
    }
    QStringList sources;
    for (const QString &path : request.sourcePaths) {
        if (!path.isEmpty() && QFileInfo::exists(path))
            sources << path;
    }
    if (sources.isEmpty()) {
        result.message = catalogText("tool.video_to_image.error.no_image_exported_check_queue");
        return result;
    }

    if (request.longImage) {
        const LongImageEstimate estimate = estimateLongImage(sources);
        if (!estimate.hasImages) {
            result.message = catalogText("tool.video_to_image.error.long_image_no_available_images");
            return result;
        }
        const QString target =
            tools::frames::freeNumberedPath(request.outputFolder, QStringLiteral("export_long"),
                                            tools::frames::extensionForFormat(request.format));
        if (target.isEmpty() || longImageOverLimit(estimate, request.format) ||
            !stitchImagesVertically(sources, target)) {
            result.message = catalogText("tool.video_to_image.error.long_image_write_failed");
            return result;
        }
        result.success = true;
        result.producedFiles << QDir::fromNativeSeparators(target);
        result.consumedPaths = sources;
        result.message = catalogText("tool.video_to_image.status.export_done_one_long_image");
        return result;
    }

    for (const QString &source : qAsConst(sources)) {
        if (abort && abort->load())
            break;
        const QFileInfo info(source);
        const QString target =
            tools::frames::freeNumberedPath(request.outputFolder, info.completeBaseName(), info.suffix());
        // QFile::copy refuses an existing target, so a name taken meanwhile is never replaced.
        if (target.isEmpty() || !QFile::copy(source, target))
            continue;
        result.producedFiles << QDir::fromNativeSeparators(target);
        result.consumedPaths << source;
    }
    if (result.producedFiles.isEmpty()) {
        result.message = catalogText("tool.video_to_image.error.no_image_exported_check_queue");
        return result;
    }
    result.success = true;
    const int count = result.producedFiles.size();
    result.message =
        request.fallbackReason.isEmpty()
            ? catalogText("tool.video_to_image.status.export_done_count", {{QStringLiteral("count"), count}})
            : catalogText(
                  "tool.video_to_image.status.fallback_list_export_done_count",
                  {{QStringLiteral("reason"), request.fallbackReason}, {QStringLiteral("count"), count}});
    return result;
}

} // namespace tools::toimage
