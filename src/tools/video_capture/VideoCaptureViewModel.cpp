// The capture tool's view model: probing, capture time, output settings and the capture run.
#include "tools/video_capture/VideoCaptureViewModel.h"

#include "core/AppPaths.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "i18n/I18n.h"

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
    : FrameToolViewModel(environment, prober, {"[VideoCapture]", &settingsFilePath, kOutputDirectoryKey},
                         parent)
{
    loadOutputDirectory(QDir::fromNativeSeparators(app::ensureDesktopOutputRootPath()));
    updateCanCapture();
}

VideoCaptureViewModel::~VideoCaptureViewModel()
{
    waitForJobs(5000);
}

QString VideoCaptureViewModel::settingsFilePath()
{
    return app::appDataFilePath(QStringLiteral("video_capture.ini"));
}

QString VideoCaptureViewModel::captureTimeText() const
{
    return formatDurationText(m_captureTimeSeconds);
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
    dropProbe();
    if (!sourceProbeable()) {
        forgetSourceInfo();
        emit durationChanged();
        setCaptureTimeSeconds(0);
        endDroppedProbe();
        return;
    }
    startProbe();
}

void VideoCaptureViewModel::onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher)
{
    takeProbeResult(watcher);
    setCaptureTimeSeconds(qMax(qMin(static_cast<double>(m_durationSeconds), m_captureTimeSeconds), 0.0));
    finishProbe();
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
    return tools::frames::freeNumberedPath(outputDirectory, tools::frames::sourceBaseName(sourcePath),
                                           tools::frames::extensionForFormat(outputFormat),
                                           QLatin1Char('_') + stamp);
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
    request.grab.durationSeconds = m_durationSeconds;
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
