// The to-image tool's view model: source, time values and modes, the preview queue, and the
// add and export runs on the thread pool.
#include "tools/video_to_image/VideoToImageViewModel.h"

#include "core/AppPaths.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "i18n/I18n.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cmath>

namespace {

const QString kOutputDirectoryKey = QStringLiteral("video_to_image/output_directory");

QString catalogText(const char *key, const QVariantMap &args = QVariantMap())
{
    return i18n::t(QString::fromLatin1(key), args);
}

void removeFileIfPresent(const QString &path)
{
    if (!path.isEmpty() && QFileInfo::exists(path))
        QFile::remove(path);
}

} // namespace

using tools::frames::clampSeconds;
using tools::frames::formatDurationText;
using tools::frames::secondsEqual;

VideoToImageViewModel::VideoToImageViewModel(FFmpegEnvironment *environment, FFprobeService *prober,
                                             QObject *parent)
    : FrameToolViewModel(environment, prober, {"[VideoToImage]", &settingsFilePath, kOutputDirectoryKey},
                         parent)
{
    loadOutputDirectory(
        QDir::fromNativeSeparators(app::desktopOutputDirPath(QStringLiteral("video_to_image"))));
    m_previewFolder = QDir::fromNativeSeparators(
        QDir(app::ensureAppDataRootPath()).filePath(QStringLiteral("video_to_image_preview")));
    // The queue lives in memory only: frames left by an earlier run can never be listed again.
    QDir previewDir(m_previewFolder);
    if (previewDir.exists())
        previewDir.removeRecursively();
    QDir().mkpath(m_previewFolder);
    updateActionStates();
}

VideoToImageViewModel::~VideoToImageViewModel()
{
    waitForJobs(5000);
}

QString VideoToImageViewModel::settingsFilePath()
{
    return app::appDataFilePath(QStringLiteral("video_to_image.ini"));
}

QString VideoToImageViewModel::timelineText() const
{
    return formatDurationText(m_timelineSeconds);
}

QStringList VideoToImageViewModel::continuousModeOptions() const
{
    return {QStringLiteral("time_interval"), QStringLiteral("frame_interval"), QStringLiteral("all_frames")};
}

QString VideoToImageViewModel::singleCaptureTimeText() const
{
    return formatDurationText(m_singleCaptureTimeSeconds);
}

QString VideoToImageViewModel::continuousStartText() const
{
    return formatDurationText(m_rangeStart);
}

QString VideoToImageViewModel::continuousEndText() const
{
    return formatDurationText(m_rangeEnd);
}

QStringList VideoToImageViewModel::queuePaths() const
{
    QStringList paths;
    for (const QVariant &item : m_previewItems)
        paths << item.toMap().value(QStringLiteral("path")).toString();
    return paths;
}

void VideoToImageViewModel::setSourceFromUrl(const QString &sourceUrlOrPath)
{
    const QString path = tools::frames::normalizeLocalPath(sourceUrlOrPath);
    if (path == m_sourcePath)
        return;
    m_sourcePath = path;
    m_sourceValid = false;
    if (!secondsEqual(m_timelineSeconds, 0)) {
        m_timelineSeconds = 0;
        emit timelineSecondsChanged();
    }
    emit sourcePathChanged();
    setStatusMessage(QString());
    probeSourceAsync();
}

void VideoToImageViewModel::probeSourceAsync()
{
    dropProbe();
    if (!sourceProbeable()) {
        forgetSourceInfo();
        m_timelineSeconds = 0;
        m_singleCaptureTimeSeconds = 0;
        m_rangeStart = 0;
        m_rangeEnd = 0;
        emit durationChanged();
        emit timelineSecondsChanged();
        emit singleCaptureTimeSecondsChanged();
        emit continuousRangeChanged();
        endDroppedProbe();
        return;
    }
    startProbe();
}

void VideoToImageViewModel::onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher)
{
    takeProbeResult(watcher);
    const double duration = m_durationSeconds;
    setTimelineSeconds(qMax(qMin(duration, m_timelineSeconds), 0.0));
    setSingleCaptureTimeSeconds(qMax(qMin(duration, m_singleCaptureTimeSeconds), 0.0));
    const double start = qMax(qMin(duration, m_rangeStart), 0.0);
    const double end = m_rangeEnd > 0 ? qMax(qMin(duration, m_rangeEnd), 0.0) : duration;
    setRangeInternal(start, qMax(start, end));
    finishProbe();
}

void VideoToImageViewModel::setTimelineSeconds(double seconds)
{
    const double value = clampSeconds(seconds, m_durationSeconds);
    if (secondsEqual(value, m_timelineSeconds))
        return;
    m_timelineSeconds = value;
    emit timelineSecondsChanged();
}

void VideoToImageViewModel::stepTimeline(double deltaSeconds)
{
    setTimelineSeconds(m_timelineSeconds + deltaSeconds);
}

void VideoToImageViewModel::setSingleCaptureTimeSeconds(double seconds)
{
    const double value = clampSeconds(seconds, m_durationSeconds);
    if (secondsEqual(value, m_singleCaptureTimeSeconds))
        return;
    m_singleCaptureTimeSeconds = value;
    setTimelineSeconds(value);
    emit singleCaptureTimeSecondsChanged();
}

bool VideoToImageViewModel::setRangeInternal(double start, double end)
{
    if (secondsEqual(start, m_rangeStart) && secondsEqual(end, m_rangeEnd))
        return false;
    m_rangeStart = start;
    m_rangeEnd = end;
    emit continuousRangeChanged();
    return true;
}

void VideoToImageViewModel::setContinuousStartSeconds(double seconds)
{
    const double value = clampSeconds(seconds, m_durationSeconds);
    if (secondsEqual(value, m_rangeStart))
        return;
    setRangeInternal(value, value > m_rangeEnd ? value : m_rangeEnd);
}

void VideoToImageViewModel::setContinuousEndSeconds(double seconds)
{
    const double value = clampSeconds(seconds, m_durationSeconds);
    if (secondsEqual(value, m_rangeEnd))
        return;
    setRangeInternal(value < m_rangeStart ? value : m_rangeStart, value);
}

void VideoToImageViewModel::setTimeIntervalSeconds(double seconds)
{
    const double value = std::isnan(seconds) ? 0.04 : qBound(0.04, seconds, 3600.0);
    if (secondsEqual(value, m_timeIntervalSeconds))
        return;
    m_timeIntervalSeconds = value;
    emit continuousParametersChanged();
}

void VideoToImageViewModel::setFrameInterval(int frames)
{
    const int value = qBound(1, frames, 100000);
    if (value == m_frameInterval)
        return;
    m_frameInterval = value;
    emit continuousParametersChanged();
}

void VideoToImageViewModel::setCaptureMode(const QString &mode)
{
    const QString value = mode.trimmed().toLower() == QLatin1String("continuous")
                              ? QStringLiteral("continuous")
                              : QStringLiteral("single");
    if (value == m_captureMode)
        return;
    m_captureMode = value;
    emit captureModeChanged();
}

void VideoToImageViewModel::setContinuousMode(const QString &mode)
{
    QString value = mode.trimmed().toLower();
    if (!continuousModeOptions().contains(value))
        value = QStringLiteral("time_interval");
    if (value == m_continuousMode)
        return;
    m_continuousMode = value;
    emit continuousModeChanged();
}

void VideoToImageViewModel::updateActionStates()
{
    const bool canAdd = !m_sourcePath.isEmpty() && QFileInfo::exists(m_sourcePath) && ffmpegReady() &&
                        m_sourceValid && !m_addingBusy && !m_exportingBusy && !m_probing;
    const bool canExport = !m_outputDirectory.isEmpty() && !m_previewItems.isEmpty() && !m_exportingBusy;
    if (canAdd != m_canAdd) {
        m_canAdd = canAdd;
        emit canAddToListChanged();
    }
    if (canExport != m_canExport) {
        m_canExport = canExport;
        emit canExportChanged();
    }
}

void VideoToImageViewModel::switchLongImageOff()
{
    if (!m_outputLongImage)
        return;
    m_outputLongImage = false;
    emit outputLongImageChanged();
}

bool VideoToImageViewModel::recheckLongImage(const QString &noImagesText, QString *statusText)
{
    const tools::toimage::LongImageEstimate estimate = tools::toimage::estimateLongImage(queuePaths());
    if (!estimate.hasImages) {
        *statusText = noImagesText;
        return false;
    }
    if (tools::toimage::longImageOverLimit(estimate, m_outputFormat)) {
        *statusText = tools::toimage::longImageOverLimitMessage(estimate, m_outputFormat);
        return false;
    }
    return true;
}

void VideoToImageViewModel::setOutputLongImage(bool enabled)
{
    if (enabled == m_outputLongImage)
        return;
    if (!enabled) {
        switchLongImageOff();
        return;
    }
    QString refusal;
    if (!recheckLongImage(catalogText("tool.video_to_image.error.queue_empty_cannot_enable_long_image"),
                          &refusal)) {
        setStatusMessage(refusal);
        return;
    }
    m_outputLongImage = true;
    emit outputLongImageChanged();
}

void VideoToImageViewModel::addToExportList()
{
    if (m_addingBusy || m_exportingBusy)
        return;
    if (!m_canAdd) {
        setStatusMessage(catalogText("tool.video_to_image.error.require_valid_source"));
        return;
    }
    tools::toimage::AddRequest request;
    request.ffmpegPath = m_environment ? m_environment->ffmpegExecutablePath() : QString();
    request.sourcePath = m_sourcePath;
    request.previewFolder = m_previewFolder;
    request.format = m_outputFormat;
    request.qualityPreset = m_qualityPreset;
    request.width = m_outputWidth;
    request.height = m_outputHeight;
    request.captureMode = m_captureMode;
    request.continuousMode = m_continuousMode;
    request.singleSeconds = m_singleCaptureTimeSeconds;
    request.durationSeconds = m_durationSeconds;
    request.rangeStart = m_rangeStart;
    request.rangeEnd = m_rangeEnd;
    request.timeIntervalSeconds = m_timeIntervalSeconds;
    request.frameInterval = m_frameInterval;
    request.now = QDateTime::currentDateTime();

    m_addingBusy = true;
    emit addingToListBusyChanged();
    emit busyChanged();
    updateActionStates();
    setStatusMessage(catalogText("tool.video_to_image.status.adding_to_queue"));
    const std::shared_ptr<std::atomic_bool> abort = m_jobs.sharedAbortFlag();
    m_addWatcher = tools::frames::startWatchedJob(
        this, m_jobs, [request, abort] { return tools::toimage::runAdd(request, abort.get()); },
        [this](QFutureWatcher<ExportResult> *watcher) { onAddFinished(watcher); });
}

void VideoToImageViewModel::exportImages()
{
    addToExportList();
}

void VideoToImageViewModel::onAddFinished(QFutureWatcher<ExportResult> *watcher)
{
    if (watcher == m_addWatcher)
        m_addWatcher = nullptr;
    const ExportResult result = tools::frames::takeWatcherResult(watcher);
    m_addingBusy = false;
    emit addingToListBusyChanged();
    emit busyChanged();

    QString status = result.message;
    if (result.success && !result.producedFiles.isEmpty()) {
        for (const QString &file : result.producedFiles) {
            QVariantMap item;
            item.insert(QStringLiteral("path"), file);
            item.insert(QStringLiteral("name"), QFileInfo(file).fileName());
            m_previewItems.append(item);
        }
        emit previewItemsChanged();
        QString reason;
        if (m_outputLongImage &&
            !recheckLongImage(catalogText("tool.video_to_image.error.long_image_no_available_images"),
                              &reason)) {
            switchLongImageOff();
            status =
                catalogText("tool.common.concat_with_space",
                            {{QStringLiteral("left"), reason}, {QStringLiteral("right"), result.message}});
        }
    }
    setStatusMessage(status);
    updateActionStates();
}

void VideoToImageViewModel::removePreviewAt(int index)
{
    if (index < 0 || index >= m_previewItems.size())
        return;
    removeFileIfPresent(m_previewItems.at(index).toMap().value(QStringLiteral("path")).toString());
    m_previewItems.removeAt(index);
    emit previewItemsChanged();
    QString reason;
    if (m_outputLongImage &&
        !recheckLongImage(catalogText("tool.video_to_image.error.queue_empty_long_image_disabled"),
                          &reason)) {
        switchLongImageOff();
        setStatusMessage(reason);
    }
    updateActionStates();
}

void VideoToImageViewModel::clearPreviewItems()
{
    for (const QString &path : queuePaths())
        removeFileIfPresent(path);
    m_previewItems.clear();
    emit previewItemsChanged();
    switchLongImageOff();
    updateActionStates();
}

void VideoToImageViewModel::exportList()
{
    if (m_exportingBusy)
        return;
    if (!m_canExport) {
        setStatusMessage(catalogText("tool.video_to_image.error.export_list_empty_or_output_invalid"));
        return;
    }
    tools::toimage::ExportRequest request;
    request.outputFolder = m_outputDirectory;
    request.sourcePaths = queuePaths();
    request.format = m_outputFormat;
    request.longImage = m_outputLongImage;
    if (request.longImage) {
        QString reason;
        if (!recheckLongImage(
                catalogText("tool.video_to_image.error.long_image_no_available_images_fallback_list"),
                &reason)) {
            request.fallbackReason = reason;
            request.longImage = false;
            switchLongImageOff();
        }
    }

    m_exportingBusy = true;
    emit exportingBusyChanged();
    emit busyChanged();
    updateActionStates();
    setStatusMessage(catalogText("tool.video_to_image.status.exporting_queue"));
    const std::shared_ptr<std::atomic_bool> abort = m_jobs.sharedAbortFlag();
    m_exportWatcher = tools::frames::startWatchedJob(
        this, m_jobs, [request, abort] { return tools::toimage::runExport(request, abort.get()); },
        [this](QFutureWatcher<ExportResult> *watcher) { onExportFinished(watcher); });
}

void VideoToImageViewModel::onExportFinished(QFutureWatcher<ExportResult> *watcher)
{
    if (watcher == m_exportWatcher)
        m_exportWatcher = nullptr;
    const ExportResult result = tools::frames::takeWatcherResult(watcher);
    m_exportingBusy = false;
    emit exportingBusyChanged();
    emit busyChanged();
    if (result.success && !result.consumedPaths.isEmpty()) {
        bool removed = false;
        for (int i = m_previewItems.size() - 1; i >= 0; --i) {
            const QString path = m_previewItems.at(i).toMap().value(QStringLiteral("path")).toString();
            if (!result.consumedPaths.contains(path))
                continue;
            removeFileIfPresent(path);
            m_previewItems.removeAt(i);
            removed = true;
        }
        if (removed)
            emit previewItemsChanged();
    }
    setStatusMessage(result.message);
    emit exportBatchFinished(result.success, result.message);
    updateActionStates();
}
