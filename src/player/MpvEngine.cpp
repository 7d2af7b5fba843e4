// The player engine's handle, its commands and the typed access to mpv properties.
#include "player/MpvEngine.h"

#include "core/Log.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvNames.h"
#include "player/mpv/MpvNode.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

bool isZero(double v)
{
    return std::fabs(v) <= 1e-12;
}

QByteArray envOrEmpty(const char *name)
{
    return qgetenv(name).trimmed();
}

} // namespace

MpvEngine::MpvEngine(QObject *parent) : QObject(parent)
{
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(160);
    connect(m_saveTimer, &QTimer::timeout, this, &MpvEngine::saveSettings);
    loadSettings();
}

MpvEngine::~MpvEngine()
{
    if (m_saveTimer && m_saveTimer->isActive()) {
        m_saveTimer->stop();
        saveSettings();
    }
    if (m_saveTimer)
        m_saveTimer->stop();
    if (m_eventTimer)
        m_eventTimer->stop();
    if (m_core) {
        // A renderer may still hold the core until the render thread frees its render
        // context; the orphaned player must fall silent meanwhile.
        if (m_core.use_count() > 1) {
            const char *args[] = {mpvname::kStop, nullptr};
            mpv_command(m_core->handle(), args);
        }
        m_core.reset();
    }
}

mpv_handle *MpvEngine::handle() const
{
    return m_core ? m_core->handle() : nullptr;
}

QString MpvEngine::version() const
{
    return QString::number(mpv_client_api_version());
}

bool MpvEngine::initialize()
{
    if (m_core)
        return true;
    std::shared_ptr<MpvCore> core = MpvCore::create();
    if (!core) {
        TVX_LOG_WARN << "[mpv] Failed to create handle.";
        return false;
    }
    mpv_handle *h = core->handle();
    QByteArray vo = envOrEmpty("TVX_MPV_VO");
    if (vo.isEmpty())
        vo = "libmpv";
    mpv_set_option_string(h, mpvname::kVideoOutput, vo.constData());
    mpv_set_option_string(h, mpvname::kHwdec, m_settings.hwdecMode.toUtf8().constData());
    mpv_set_option_string(h, mpvname::kKeepOpen, "yes");
    // "gpu-hwdec-interop" stays mpv's choice: on a machine without a GPU its probe only prints
    // that no CUDA library loads, and forcing it off would defeat hardware decoding where
    // there is one.
    const QByteArray ao = envOrEmpty("TVX_MPV_AO");
    if (!ao.isEmpty())
        mpv_set_option_string(h, mpvname::kAudioOutput, ao.constData());
    const int rc = mpv_initialize(h);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] initialize failed:" << rc;
        return false; // the core's destructor destroys the handle
    }
    m_core = std::move(core);
    m_core->probeCapabilities();
    // The track lists QML reads come from mpv's announcements, never from a read that waits.
    mpv_observe_property(h, 0, mpvname::kTrackList, MPV_FORMAT_NODE);

    const int logRc = mpv_request_log_messages(h, "warn");
    TVX_LOG_INFO << "[mpv] request log level=warn result:" << logRc;
    TVX_LOG_INFO << "[mpv] hwdec mode:" << m_settings.hwdecMode;

    setVolume(m_settings.volume);
    setPlaybackSpeed(m_settings.playbackSpeed);
    setAspectMode(m_settings.aspectMode);
    setVideoRotation(m_settings.videoRotation);
    setCropBlackBars(m_settings.cropBlackBars);
    setVideoBrightness(m_settings.videoBrightness);
    setVideoSaturation(m_settings.videoSaturation);
    setVideoContrast(m_settings.videoContrast);
    setVideoHue(m_settings.videoHue);
    setVideoEnhancementEnabled(m_settings.videoEnhancementEnabled);
    setAudioChannelMode(m_settings.audioChannelMode);
    setAudioOutputDevice(m_settings.audioOutputDevice);
    setAudioDelayMs(m_settings.audioDelayMs);
    sendTrackSelectionForNextFile();
    setSubtitleDelayMs(m_settings.subtitleDelayMs);
    setSecondarySubtitleDelayMs(m_settings.secondarySubtitleDelayMs);
    applySubtitlePositions();

    if (!m_eventTimer) {
        m_eventTimer = new QTimer(this);
        m_eventTimer->setInterval(kPumpIntervalMs);
        connect(m_eventTimer, &QTimer::timeout, this, &MpvEngine::pollEvents);
        m_eventTimer->start();
    }
    emit initializedChanged();
    TVX_LOG_INFO << "[mpv] initialized, API version:" << mpv_client_api_version();
    return true;
}

bool MpvEngine::playFile(const QUrl &fileUrl)
{
    if (!m_core && !initialize()) {
        TVX_LOG_WARN << "[mpv] not initialized, cannot play.";
        return false;
    }
    const QString path = fileUrl.isLocalFile() ? fileUrl.toLocalFile() : fileUrl.toString();
    if (path.isEmpty()) {
        TVX_LOG_WARN << "[mpv] invalid file URL:" << fileUrl;
        return false;
    }
    const QByteArray pathBytes = path.toUtf8();
    const char *args[] = {mpvname::kLoadFile, pathBytes.constData(), nullptr};
    m_poll.discardPending();
    mpv_node result;
    const int rc = mpv_command_ret(m_core->handle(), args, &result);
    TVX_LOG_INFO << "[mpv] loadfile result:" << rc << "path:" << path;
    if (rc >= 0) {
        qint64 entryId = 0; // 0: mpv did not say which entry, so any entry counts as ours
        const mpv_node *idNode = mpvnode::mapValue(&result, mpvname::kPlaylistEntryIdKey);
        if (idNode && idNode->format == MPV_FORMAT_INT64)
            entryId = idNode->u.int64;
        mpv_free_node_contents(&result);
        m_expectedEntryId = entryId;
        m_currentFileLoaded = false;
        m_seekPending = false;
        m_trackListEntryId = -1;
        m_currentPath = path;

        // The file is already loading: a preference mpv refuses is worth a log line, not a
        // failed play.
        if (!applyPlaybackStartupPreferences())
            TVX_LOG_WARN << "[mpv] start-up preferences not fully applied, path:" << path;
        setPause(false);
        m_ended = false;
        m_endOfFileHandled = false;
        if (!isZero(m_position)) {
            m_position = 0.0;
            emit positionChanged();
        }
        if (m_paused) {
            m_paused = false;
            emit pausedChanged();
        }
    }
    pollEvents();
    return rc >= 0;
}

bool MpvEngine::applyPlaybackStartupPreferences()
{
    if (!resetPlaybackSpeedForNextPlayback())
        return false;
    if (!setAspectMode(m_settings.aspectMode))
        return false;
    if (!setVideoRotation(m_settings.videoRotation) || !setCropBlackBars(m_settings.cropBlackBars))
        return false;
    if (!setVideoBrightness(m_settings.videoBrightness) || !setVideoSaturation(m_settings.videoSaturation) ||
        !setVideoContrast(m_settings.videoContrast) || !setVideoHue(m_settings.videoHue))
        return false;
    if (!setAudioChannelMode(m_settings.audioChannelMode) ||
        !setAudioOutputDevice(m_settings.audioOutputDevice) || !setAudioDelayMs(m_settings.audioDelayMs))
        return false;
    if (!sendTrackSelectionForNextFile())
        return false;
    if (!setSubtitleDelayMs(m_settings.subtitleDelayMs))
        return false;
    // A setting this libmpv has no property for is not a failed start.
    if (!supportsProperty(QLatin1String(mpvname::kSecondarySubtitleDelay)))
        return true;
    return setSecondarySubtitleDelayMs(m_settings.secondarySubtitleDelayMs);
}

bool MpvEngine::resetPlaybackSpeedForNextPlayback()
{
    return setPlaybackSpeed(m_settings.alwaysApplyPreferredPlaybackSpeed ? m_settings.preferredPlaybackSpeed
                                                                         : 1.0);
}

bool MpvEngine::togglePause()
{
    if (!m_core && !initialize())
        return false;
    const bool atEnd =
        (m_duration > 0 && m_position >= std::max(m_duration - 0.6, 0.0)) || m_ended || m_endOfFileHandled;
    if (!atEnd) {
        const char *args[] = {mpvname::kCycle, mpvname::kPause, nullptr};
        m_poll.discardPending();
        const int rc = mpv_command(m_core->handle(), args);
        if (rc < 0) {
            TVX_LOG_WARN << "[mpv] toggle pause failed:" << rc;
            return false;
        }
        m_paused = !m_paused;
        m_ended = false;
        m_endOfFileHandled = false;
        emit pausedChanged();
        return true;
    }
    if (!resetPlaybackSpeedForNextPlayback())
        return false;
    const char *args[] = {mpvname::kSeek, "0", mpvname::kAbsolute, mpvname::kExact, nullptr};
    const int rc = mpv_command(m_core->handle(), args);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] restart seek failed:" << rc;
        return false;
    }
    m_seekPending = true;
    if (!setPause(false))
        return false;
    m_endOfFileHandled = false;
    m_ended = false;
    if (m_paused) {
        m_paused = false;
        emit pausedChanged();
    }
    return true;
}

bool MpvEngine::setPause(bool paused)
{
    if (!m_core)
        return false;
    int flag = paused ? 1 : 0;
    m_poll.discardPending();
    const int rc = mpv_set_property(m_core->handle(), mpvname::kPause, MPV_FORMAT_FLAG, &flag);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] set pause failed:" << rc << "pause:" << (paused ? "true" : "false");
        return false;
    }
    return true;
}

bool MpvEngine::stopPlayback()
{
    if (!m_core && !initialize())
        return false;
    const char *args[] = {mpvname::kStop, nullptr};
    m_poll.discardPending();
    const int rc = mpv_command(m_core->handle(), args);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] stop command failed:" << rc;
        return false;
    }
    enterIdle();
    emit mediaInfoChanged();
    return true;
}

bool MpvEngine::seekTo(double seconds)
{
    if (!m_core && !initialize())
        return false;
    const QByteArray target = QByteArray::number(std::max(seconds, 0.0), 'f', 3);
    const char *args[] = {mpvname::kSeek, target.constData(), mpvname::kAbsolute, mpvname::kExact, nullptr};
    const int rc = mpv_command(m_core->handle(), args);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] seekTo failed:" << rc << "seconds:" << target;
        return false;
    }
    m_seekPending = true;
    return true;
}

bool MpvEngine::seekRelative(double seconds)
{
    if (!m_core && !initialize())
        return false;
    const QByteArray offset = QByteArray::number(seconds, 'f', 3);
    const char *args[] = {mpvname::kSeek, offset.constData(), mpvname::kRelative, nullptr};
    const int rc = mpv_command(m_core->handle(), args);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] seek failed:" << rc << "seconds:" << offset;
        return false;
    }
    m_seekPending = true;
    return true;
}

bool MpvEngine::checkedProperty(const char *name)
{
    if (m_core->hasProperty(name))
        return true;
    if (m_core->noteMissingProperty(name))
        TVX_LOG_INFO << "[mpv] property not available in this libmpv:" << name;
    return false;
}

bool MpvEngine::supportsProperty(const QString &name) const
{
    const QByteArray key = name.toUtf8();
    return m_core ? m_core->hasProperty(key.constData()) : MpvCore::processHasProperty(key.constData());
}

bool MpvEngine::setMpvStringProperty(const char *name, const QString &value)
{
    if (!m_core)
        return false;
    if (!checkedProperty(name))
        return false;
    if (MpvPropertyPoll::isPolled(name))
        m_poll.discardPending();
    const int rc = mpv_set_property_string(m_core->handle(), name, value.toUtf8().constData());
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] set string property failed:" << name << rc << value;
        return false;
    }
    return true;
}

bool MpvEngine::setMpvIntProperty(const char *name, qint64 value)
{
    if (!m_core)
        return false;
    if (!checkedProperty(name))
        return false;
    int64_t v = value;
    const int rc = mpv_set_property(m_core->handle(), name, MPV_FORMAT_INT64, &v);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] set int property failed:" << name << rc << value;
        return false;
    }
    return true;
}

bool MpvEngine::setMpvDoubleProperty(const char *name, double value)
{
    if (!m_core)
        return false;
    if (!checkedProperty(name))
        return false;
    double v = value;
    const int rc = mpv_set_property(m_core->handle(), name, MPV_FORMAT_DOUBLE, &v);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] set double property failed:" << name << rc << value;
        return false;
    }
    return true;
}

void MpvEngine::applySubtitlePositions()
{
    setDoublePropertyAsReported(mpvname::kSubtitlePos, 84.0);
    setDoublePropertyAsReported(mpvname::kSecondarySubtitlePos, 92.0);
}

bool MpvEngine::setDoublePropertyAsReported(const char *name, double value)
{
    if (!m_core)
        return false;
    if (!checkedProperty(name))
        return false;
    if (m_core->propertyFormat(name) == MPV_FORMAT_INT64)
        return setMpvIntProperty(name, qRound64(value));
    return setMpvDoubleProperty(name, value);
}

QString MpvEngine::stringProperty(const char *name) const
{
    if (!m_core)
        return QString();
    char *value = nullptr;
    if (m_core->readProperty(name, MPV_FORMAT_STRING, &value) < 0 || !value)
        return QString();
    const QString text = QString::fromUtf8(value);
    mpv_free(value);
    return text;
}

qint64 MpvEngine::intProperty(const char *name, qint64 fallback) const
{
    if (!m_core)
        return fallback;
    int64_t v = 0;
    if (m_core->readProperty(name, MPV_FORMAT_INT64, &v) < 0)
        return fallback;
    return v;
}

double MpvEngine::doubleProperty(const char *name, double fallback) const
{
    if (!m_core)
        return fallback;
    double v = 0;
    if (m_core->readProperty(name, MPV_FORMAT_DOUBLE, &v) < 0)
        return fallback;
    return v;
}

QVariant MpvEngine::nodeProperty(const char *name) const
{
    if (!m_core)
        return QVariant();
    mpv_node node;
    if (m_core->readProperty(name, MPV_FORMAT_NODE, &node) < 0)
        return QVariant();
    const QVariant value = mpvnode::toVariant(&node);
    mpv_free_node_contents(&node);
    return value;
}
