// Source, output settings and status shared by the frame tools (see FrameToolViewModel.h).
#include "tools/common/FrameToolViewModel.h"

#include "core/Log.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"

#include <QDir>
#include <QFileInfo>

namespace tools {

FrameToolViewModel::FrameToolViewModel(FFmpegEnvironment *environment, FFprobeService *prober, Config config,
                                       QObject *parent)
    : QObject(parent), m_environment(environment), m_prober(prober), m_config(std::move(config))
{
}

bool FrameToolViewModel::waitForJobs(int timeoutMs)
{
    return m_jobs.abortAndWait(timeoutMs);
}

QString FrameToolViewModel::sourceFileName() const
{
    return QFileInfo(m_sourcePath).fileName();
}

QString FrameToolViewModel::durationText() const
{
    return frames::formatDurationText(m_durationSeconds);
}

QStringList FrameToolViewModel::outputFormatOptions() const
{
    return media::imageExportOutputFormats();
}

QStringList FrameToolViewModel::qualityPresetOptions() const
{
    return {QStringLiteral("high"), QStringLiteral("medium"), QStringLiteral("low")};
}

bool FrameToolViewModel::ffmpegReady() const
{
    return m_environment && m_environment->hasFFmpegExecutable();
}

void FrameToolViewModel::setOutputWidth(int width)
{
    if (frames::applyOutputDimension(width, &m_outputWidth, &m_outputHeight, m_keepAspectRatio, m_sourceWidth,
                                     m_sourceHeight))
        emit outputResolutionChanged();
}

void FrameToolViewModel::setOutputHeight(int height)
{
    if (frames::applyOutputDimension(height, &m_outputHeight, &m_outputWidth, m_keepAspectRatio,
                                     m_sourceHeight, m_sourceWidth))
        emit outputResolutionChanged();
}

void FrameToolViewModel::setKeepAspectRatio(bool keep)
{
    if (keep == m_keepAspectRatio)
        return;
    m_keepAspectRatio = keep;
    emit keepAspectRatioChanged();
}

void FrameToolViewModel::setOutputFormat(const QString &format)
{
    const QString value = frames::normalizeImageFormat(format);
    if (value == m_outputFormat)
        return;
    m_outputFormat = value;
    emit outputFormatChanged();
}

void FrameToolViewModel::setQualityPreset(const QString &preset)
{
    const QString value = frames::normalizeQualityPreset(preset);
    if (value == m_qualityPreset)
        return;
    m_qualityPreset = value;
    emit qualityPresetChanged();
}

void FrameToolViewModel::loadOutputDirectory(const QString &defaultDirectory)
{
    m_outputDirectory = defaultDirectory;
    const QString stored =
        frames::loadOutputDirectory(m_config.settingsFilePath(), m_config.outputDirectoryKey);
    if (!stored.isEmpty())
        m_outputDirectory = stored;
}

void FrameToolViewModel::setOutputDirectory(const QString &directory)
{
    const QString value = frames::normalizeLocalPath(directory);
    if (value.isEmpty() || value == m_outputDirectory)
        return;
    m_outputDirectory = value;
    frames::saveOutputDirectory(m_config.settingsFilePath(), m_config.outputDirectoryKey, m_outputDirectory);
    emit outputDirectoryChanged();
    updateActionStates();
}

void FrameToolViewModel::setStatusMessage(const QString &message)
{
    if (message == m_statusMessage)
        return;
    m_statusMessage = message;
    if (message.isEmpty())
        TVX_LOG_INFO << m_config.logTag << "status cleared";
    else
        TVX_LOG_INFO << m_config.logTag << "status:" << message;
    emit statusMessageChanged();
}

void FrameToolViewModel::dropProbe()
{
    frames::dropWatcher(m_probeWatcher, this);
    m_probeWatcher = nullptr;
}

bool FrameToolViewModel::sourceProbeable() const
{
    return !m_sourcePath.isEmpty() && QFileInfo::exists(m_sourcePath) && m_prober;
}

void FrameToolViewModel::forgetSourceInfo()
{
    m_durationSeconds = 0;
    m_sourceWidth = 0;
    m_sourceHeight = 0;
    m_sourceValid = false;
}

void FrameToolViewModel::endDroppedProbe()
{
    // The replaced probe no longer reports, so its flag ends here.
    if (m_probing) {
        m_probing = false;
        emit probingSourceChanged();
        setStatusMessage(QString());
    }
    updateActionStates();
}

void FrameToolViewModel::startProbe()
{
    if (!m_probing) {
        m_probing = true;
        emit probingSourceChanged();
    }
    setStatusMessage(i18n::t(QStringLiteral("tool.common.status.probing_media_info")));
    updateActionStates();
    FFprobeService *prober = m_prober;
    const QString path = m_sourcePath;
    const std::shared_ptr<std::atomic_bool> abort = m_jobs.sharedAbortFlag();
    m_probeWatcher = frames::startWatchedJob(
        this, m_jobs, [prober, path, abort] { return prober->probeMedia(path, abort.get()); },
        [this](QFutureWatcher<FFprobeService::MediaInfo> *watcher) { onProbeFinished(watcher); });
}

void FrameToolViewModel::takeProbeResult(QFutureWatcher<FFprobeService::MediaInfo> *watcher)
{
    if (watcher == m_probeWatcher)
        m_probeWatcher = nullptr;
    const frames::ProbedSource probed = frames::readProbedSource(frames::takeWatcherResult(watcher));
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
}

void FrameToolViewModel::finishProbe()
{
    m_probing = false;
    emit probingSourceChanged();
    setStatusMessage(QString());
    if (!m_sourceValid)
        emit sourceLoadFailed(frames::sourceLoadFailedMessage());
    updateActionStates();
}

} // namespace tools
