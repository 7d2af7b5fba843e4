// The capture tool's view model: probing, capture time, output settings and the capture run.
#include "tools/video_capture/VideoCaptureViewModel.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/PoolJob.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"

#include <QDir>
#include <QFileInfo>

#include <climits>
#include <cmath>

namespace {

const QString kOutputDirectoryKey = QStringLiteral("video_capture/output_directory");

QString catalogText(const char *key, const QVariantMap &args = QVariantMap())
{
    return i18n::t(QString::fromLatin1(key), args);
}

} // namespace

using tools::frames::formatDurationText;

VideoCaptureViewModel::VideoCaptureViewModel(FFmpegEnvironment *environment, FFprobeService *prober,
                                             QObject *parent)
    : QObject(parent), m_environment(environment), m_prober(prober)
{
    m_outputDirectory = QDir::fromNativeSeparators(app::ensureDesktopOutputRootPath());
    loadPersistedOutputDirectory();
    updateCanCapture();
}

VideoCaptureViewModel::~VideoCaptureViewModel()
{
    waitForJobs(5000);
}

bool VideoCaptureViewModel::waitForJobs(int timeoutMs)
{
    return m_jobs.abortAndWait(timeoutMs);
}

QString VideoCaptureViewModel::settingsFilePath()
{
    return app::appDataFilePath(QStringLiteral("video_capture.ini"));
}

QString VideoCaptureViewModel::sourceFileName() const
{
    return QFileInfo(m_sourcePath).fileName();
}

QString VideoCaptureViewModel::durationText() const
{
    return formatDurationText(m_durationSeconds);
}

QString VideoCaptureViewModel::captureTimeText() const
{
    return formatDurationText(m_captureTimeSeconds);
}

QStringList VideoCaptureViewModel::outputFormatOptions() const
{
    return media::imageExportOutputFormats();
}

QStringList VideoCaptureViewModel::qualityPresetOptions() const
{
    return {QStringLiteral("high"), QStringLiteral("medium"), QStringLiteral("low")};
}

bool VideoCaptureViewModel::ffmpegReady() const
{
    return m_environment && m_environment->hasFFmpegExecutable();
}

void VideoCaptureViewModel::setSourceFromUrl(const QString &sourceUrlOrPath)
{
    const QString path = tools::frames::normalizeLocalPath(sourceUrlOrPath);
    if (path == m_sourcePath)
        return;
    setCaptureTimeSeconds(0);
    m_sourcePath = path;
    m_sourceValid = false;
    emit sourcePathChanged();
    setStatusMessage(QString());
    probeSourceAsync();
}

void VideoCaptureViewModel::probeSourceAsync()
{
    tools::frames::dropWatcher(m_probeWatcher, this);
    m_probeWatcher = nullptr;
    if (m_sourcePath.isEmpty() || !QFileInfo::exists(m_sourcePath) || !m_prober) {
        m_durationSeconds = 0;
        m_sourceWidth = 0;
        m_sourceHeight = 0;
        m_sourceValid = false;
        emit durationChanged();
        setCaptureTimeSeconds(0);
        // The replaced probe no longer reports, so its flag ends here.
        if (m_probing) {
            m_probing = false;
            emit probingSourceChanged();
            setStatusMessage(QString());
        }
        updateCanCapture();
        return;
    }
    if (!m_probing) {
        m_probing = true;
        emit probingSourceChanged();
    }
    setStatusMessage(catalogText("tool.common.status.probing_media_info"));
    updateCanCapture();
    FFprobeService *prober = m_prober;
    const QString path = m_sourcePath;
    const std::shared_ptr<std::atomic_bool> abort = m_jobs.sharedAbortFlag();
    m_probeWatcher = tools::frames::startWatchedJob(
        this, m_jobs, [prober, path, abort] { return prober->probeMedia(path, abort.get()); },
        [this](QFutureWatcher<FFprobeService::MediaInfo> *watcher) { onProbeFinished(watcher); });
}

void VideoCaptureViewModel::onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher)
{
    if (watcher == m_probeWatcher)
        m_probeWatcher = nullptr;
    const tools::frames::ProbedSource probed =
        tools::frames::readProbedSource(tools::frames::takeWatcherResult(watcher));
    m_sourceValid = probed.valid;
    m_durationSeconds = probed.durationSeconds;
    m_sourceWidth = probed.width;
    m_sourceHeight = probed.height;
    emit durationChanged();
    if (m_sourceWidth > 0 && m_sourceHeight > 0) {
        m_outputWidth = m_sourceWidth;
        m_outputHeight = m_sourceHeight;
        emit outputResolutionChanged();
    }
    setCaptureTimeSeconds(qMax(qMin(static_cast<double>(m_durationSeconds), m_captureTimeSeconds), 0.0));
    m_probing = false;
    emit probingSourceChanged();
    setStatusMessage(QString());
    if (!m_sourceValid)
        emit sourceLoadFailed(tools::frames::sourceLoadFailedMessage());
    updateCanCapture();
}

void VideoCaptureViewModel::setCaptureTimeSeconds(double seconds)
{
    const double value = tools::frames::clampSeconds(seconds, m_durationSeconds);
    if (tools::frames::secondsEqual(value, m_captureTimeSeconds))
        return;
    m_captureTimeSeconds = value;
    emit captureTimeChanged();
}

void VideoCaptureViewModel::stepCaptureTime(double deltaSeconds)
{
    setCaptureTimeSeconds(m_captureTimeSeconds + deltaSeconds);
}

void VideoCaptureViewModel::setOutputWidth(int width)
{
    if (tools::frames::applyOutputDimension(width, &m_outputWidth, &m_outputHeight, m_keepAspectRatio,
                                            m_sourceWidth, m_sourceHeight))
        emit outputResolutionChanged();
}

void VideoCaptureViewModel::setOutputHeight(int height)
{
    if (tools::frames::applyOutputDimension(height, &m_outputHeight, &m_outputWidth, m_keepAspectRatio,
                                            m_sourceHeight, m_sourceWidth))
        emit outputResolutionChanged();
}

void VideoCaptureViewModel::setKeepAspectRatio(bool keep)
{
    if (keep == m_keepAspectRatio)
        return;
    m_keepAspectRatio = keep;
    emit keepAspectRatioChanged();
}

void VideoCaptureViewModel::setOutputFormat(const QString &format)
{
    const QString value = tools::frames::normalizeImageFormat(format);
    if (value == m_outputFormat)
        return;
    m_outputFormat = value;
    emit outputFormatChanged();
}

void VideoCaptureViewModel::setQualityPreset(const QString &preset)
{
    const QString value = tools::frames::normalizeQualityPreset(preset);
    if (value == m_qualityPreset)
        return;
    m_qualityPreset = value;
    emit qualityPresetChanged();
}

void VideoCaptureViewModel::setOutputDirectory(const QString &directory)
{
    const QString value = tools::frames::normalizeLocalPath(directory);
    if (value.isEmpty() || value == m_outputDirectory)
        return;
    m_outputDirectory = value;
    savePersistedOutputDirectory();
    emit outputDirectoryChanged();
    updateCanCapture();
}

void VideoCaptureViewModel::loadPersistedOutputDirectory()
{
    const QString stored = tools::frames::loadOutputDirectory(settingsFilePath(), kOutputDirectoryKey);
    if (!stored.isEmpty())
        m_outputDirectory = stored;
}

void VideoCaptureViewModel::savePersistedOutputDirectory()
{
    tools::frames::saveOutputDirectory(settingsFilePath(), kOutputDirectoryKey, m_outputDirectory);
}

void VideoCaptureViewModel::setStatusMessage(const QString &message)
{
    if (message == m_statusMessage)
        return;
    m_statusMessage = message;
    if (message.isEmpty())
        TVX_LOG_INFO << "[VideoCapture] status cleared";
    else
        TVX_LOG_INFO << "[VideoCapture] status:" << message;
    emit statusMessageChanged();
}

void VideoCaptureViewModel::updateCanCapture()
{
    const bool value = !m_sourcePath.isEmpty() && QFileInfo::exists(m_sourcePath) && ffmpegReady() &&
                       !m_outputDirectory.isEmpty() && m_sourceValid && !m_busy && !m_probing;
    if (value == m_canCapture)
        return;
    m_canCapture = value;
    emit canCaptureChanged();
}

QString VideoCaptureViewModel::buildOutputPath(const QString &sourcePath, const QString &outputDirectory,
                                               double captureSeconds, const QString &outputFormat)
{
    if (sourcePath.isEmpty() || outputDirectory.isEmpty())
        return QString();
    const double whole = captureSeconds > 0 ? std::floor(captureSeconds) : 0.0;
    const QString stamp = formatDurationText(whole).replace(QLatin1Char(':'), QLatin1Char('-'));
    const QString name = QStringLiteral("%1_%2").arg(tools::frames::sourceBaseName(sourcePath), stamp);
    return tools::frames::freeNumberedPath(outputDirectory, name,
                                           tools::frames::extensionForFormat(outputFormat));
}

VideoCaptureViewModel::CaptureResult VideoCaptureViewModel::runCapture(const CaptureRequest &request,
                                                                       const std::atomic_bool *abort)
{
    CaptureResult result;
    const tools::frames::FrameGrabRequest &grab = request.grab;
    if (grab.sourcePath.isEmpty() || !QFileInfo::exists(grab.sourcePath)) {
        result.message = catalogText("tool.video_capture.error.source_not_found");
        return result;
    }
    if (grab.outputPath.isEmpty()) {
        result.message = catalogText("tool.video_capture.error.output_path_invalid");
        return result;
    }
    if (!QDir().mkpath(QFileInfo(grab.outputPath).absolutePath())) {
        result.message = catalogText("tool.video_capture.error.create_output_dir_failed");
        return result;
    }
    const tools::frames::FrameGrabOutcome outcome = tools::frames::grabFrame(grab, request.timeoutMs, abort);
    switch (outcome.end) {
    case tools::frames::FrameGrabOutcome::End::Saved:
        result.success = true;
        result.outputPath = QDir::fromNativeSeparators(grab.outputPath);
        result.message = catalogText("tool.video_capture.status.saved",
                                     {{QStringLiteral("path"), QDir::toNativeSeparators(grab.outputPath)}});
        break;
    case tools::frames::FrameGrabOutcome::End::TimedOut:
        result.message = catalogText("tool.video_capture.error.timeout");
        break;
    case tools::frames::FrameGrabOutcome::End::Failed:
        result.message = outcome.detail.isEmpty()
                             ? catalogText("tool.video_capture.error.capture_failed_check_source")
                             : catalogText("tool.video_capture.error.capture_failed_with_detail",
                                           {{QStringLiteral("detail"), outcome.detail}});
        break;
    }
    return result;
}

void VideoCaptureViewModel::captureFrame()
{
    if (m_busy)
        return;
    if (!m_canCapture) {
        setStatusMessage(catalogText("tool.video_capture.status.require_valid_source_and_output"));
        return;
    }
    CaptureRequest request;
    request.grab.sourcePath = m_sourcePath;
    request.grab.outputPath =
        buildOutputPath(m_sourcePath, m_outputDirectory, m_captureTimeSeconds, m_outputFormat);
    request.grab.ffmpegPath = m_environment ? m_environment->ffmpegExecutablePath() : QString();
    request.grab.seconds = m_captureTimeSeconds;
    request.grab.format = m_outputFormat;
    request.grab.width = m_outputWidth;
    request.grab.height = m_outputHeight;
    request.grab.qualityPreset = m_qualityPreset;
    request.timeoutMs = tools::frames::timings().captureMs;

    m_busy = true;
    emit busyChanged();
    updateCanCapture();
    setStatusMessage(catalogText("tool.video_capture.status.saving"));
    const std::shared_ptr<std::atomic_bool> abort = m_jobs.sharedAbortFlag();
    m_captureWatcher = tools::frames::startWatchedJob(
        this, m_jobs, [request, abort] { return runCapture(request, abort.get()); },
        [this](QFutureWatcher<CaptureResult> *watcher) { onCaptureFinished(watcher); });
}

void VideoCaptureViewModel::onCaptureFinished(QFutureWatcher<CaptureResult> *watcher)
{
    if (watcher == m_captureWatcher)
        m_captureWatcher = nullptr;
    const CaptureResult result = tools::frames::takeWatcherResult(watcher);
    m_busy = false;
    emit busyChanged();
    if (result.success) {
        m_lastOutputPath = result.outputPath;
        emit lastOutputPathChanged();
    }
    emit captureFinished(result.success, result.message, result.outputPath);
    setStatusMessage(QString());
    updateCanCapture();
}
