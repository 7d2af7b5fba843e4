// The player engine's handle, commands and event pump.
#include "player/MpvEngine.h"

#include "app/Log.h"
#include "player/MpvCore.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

bool fuzzyDiffers(double a, double b)
{
    return !qFuzzyCompare(1.0 + a, 1.0 + b);
}

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
            const char *args[] = {"stop", nullptr};
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
    mpv_set_option_string(h, "vo", vo.constData());
    mpv_set_option_string(h, "hwdec", m_hwdecMode.toUtf8().constData());
    mpv_set_option_string(h, "keep-open", "yes");
    // No GPU decoding interop exists on the machines without a GPU; probing it only prints noise.
    mpv_set_option_string(h, "gpu-hwdec-interop", "no");
    const QByteArray ao = envOrEmpty("TVX_MPV_AO");
    if (!ao.isEmpty())
        mpv_set_option_string(h, "ao", ao.constData());
    const int rc = mpv_initialize(h);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] initialize failed:" << rc;
        return false; // the core's destructor destroys the handle
    }
    m_core = std::move(core);
    m_core->probeCapabilities();

    const int logRc = mpv_request_log_messages(h, "warn");
    TVX_LOG_INFO << "[mpv] request log level=warn result:" << logRc;
    TVX_LOG_INFO << "[mpv] hwdec mode:" << m_hwdecMode;

    setVolume(m_volume);
    setPlaybackSpeed(m_playbackSpeed);
    setAspectMode(m_aspectMode);
    setVideoRotation(m_videoRotation);
    setCropBlackBars(m_cropBlackBars);
    setVideoBrightness(m_videoBrightness);
    setVideoSaturation(m_videoSaturation);
    setVideoContrast(m_videoContrast);
    setVideoHue(m_videoHue);
    setVideoEnhancementEnabled(m_videoEnhancementEnabled);
    setAudioChannelMode(m_audioChannelMode);
    setAudioOutputDevice(m_audioOutputDevice);
    setAudioDelayMs(m_audioDelayMs);
    sendTrackSelectionForNextFile();
    setSubtitleDelayMs(m_subtitleDelayMs);
    setSecondarySubtitleDelayMs(m_secondarySubtitleDelayMs);
    applySubtitlePositions();

    if (!m_eventTimer) {
        m_eventTimer = new QTimer(this);
        m_eventTimer->setInterval(10);
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
    const char *args[] = {"loadfile", pathBytes.constData(), nullptr};
    mpv_node result;
    const int rc = mpv_command_ret(m_core->handle(), args, &result);
    TVX_LOG_INFO << "[mpv] loadfile result:" << rc << "path:" << path;
    if (rc >= 0) {
        qint64 entryId = 0; // 0: mpv did not say which entry, so any entry counts as ours
        if (result.format == MPV_FORMAT_NODE_MAP && result.u.list) {
            for (int i = 0; i < result.u.list->num; ++i) {
                if (qstrcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
                    result.u.list->values[i].format == MPV_FORMAT_INT64)
                    entryId = result.u.list->values[i].u.int64;
            }
        }
        mpv_free_node_contents(&result);
        m_expectedEntryId = entryId;
        m_currentFileLoaded = false;
        m_seekPending = false;
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
    if (!setAspectMode(m_aspectMode))
        return false;
    if (!setVideoRotation(m_videoRotation) || !setCropBlackBars(m_cropBlackBars))
        return false;
    if (!setVideoBrightness(m_videoBrightness) || !setVideoSaturation(m_videoSaturation) ||
        !setVideoContrast(m_videoContrast) || !setVideoHue(m_videoHue))
        return false;
    if (!setAudioChannelMode(m_audioChannelMode) || !setAudioOutputDevice(m_audioOutputDevice) ||
        !setAudioDelayMs(m_audioDelayMs))
        return false;
    if (!sendTrackSelectionForNextFile())
        return false;
    if (!setSubtitleDelayMs(m_subtitleDelayMs))
        return false;
    return setSecondarySubtitleDelayMs(m_secondarySubtitleDelayMs);
}

bool MpvEngine::resetPlaybackSpeedForNextPlayback()
{
    return setPlaybackSpeed(m_alwaysApplyPreferredPlaybackSpeed ? m_preferredPlaybackSpeed : 1.0);
}

bool MpvEngine::togglePause()
{
    if (!m_core && !initialize())
        return false;
    const bool atEnd =
        (m_duration > 0 && m_position >= std::max(m_duration - 0.6, 0.0)) || m_ended || m_endOfFileHandled;
    if (!atEnd) {
        const char *args[] = {"cycle", "pause", nullptr};
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
    const char *args[] = {"seek", "0", "absolute", "exact", nullptr};
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
    const int rc = mpv_set_property(m_core->handle(), "pause", MPV_FORMAT_FLAG, &flag);
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
    const char *args[] = {"stop", nullptr};
    const int rc = mpv_command(m_core->handle(), args);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] stop command failed:" << rc;
        return false;
    }
    m_ended = true;
    m_endOfFileHandled = false;
    m_expectedEntryId = -1;
    m_currentFileLoaded = false;
    m_pendingTrackSelection = false;
    m_seekPending = false;
    if (!isZero(m_position)) {
        m_position = 0.0;
        emit positionChanged();
    }
    if (!isZero(m_duration)) {
        m_duration = 0.0;
        emit durationChanged();
    }
    if (m_paused) {
        m_paused = false;
        emit pausedChanged();
    }
    emit mediaInfoChanged();
    return true;
}

bool MpvEngine::seekTo(double seconds)
{
    if (!m_core && !initialize())
        return false;
    const QByteArray target = QByteArray::number(std::max(seconds, 0.0), 'f', 3);
    const char *args[] = {"seek", target.constData(), "absolute", "exact", nullptr};
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
    const char *args[] = {"seek", offset.constData(), "relative", nullptr};
    const int rc = mpv_command(m_core->handle(), args);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] seek failed:" << rc << "seconds:" << offset;
        return false;
    }
    m_seekPending = true;
    return true;
}

bool MpvEngine::skipMissingProperty(const char *name)
{
    if (m_core->hasProperty(name))
        return false;
    if (m_core->noteMissingProperty(name))
        TVX_LOG_INFO << "[mpv] property not available in this libmpv, skipped:" << name;
    return true;
}

bool MpvEngine::setMpvStringProperty(const char *name, const QString &value)
{
    if (!m_core)
        return false;
    if (skipMissingProperty(name))
        return true;
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
    if (skipMissingProperty(name))
        return true;
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
    if (skipMissingProperty(name))
        return true;
    double v = value;
    const int rc = mpv_set_property(m_core->handle(), name, MPV_FORMAT_DOUBLE, &v);
    if (rc < 0) {
        TVX_LOG_WARN << "[mpv] set double property failed:" << name << rc << value;
        return false;
    }
    return true;
}

bool MpvEngine::setDoublePropertyAsReported(const char *name, double value)
{
    if (!m_core)
        return false;
    if (skipMissingProperty(name))
        return true;
    if (m_core->propertyFormat(name) == MPV_FORMAT_INT64)
        return setMpvIntProperty(name, qRound64(value));
    return setMpvDoubleProperty(name, value);
}

void MpvEngine::applySubtitlePositions()
{
    setDoublePropertyAsReported("sub-pos", 84.0);
    setDoublePropertyAsReported("secondary-sub-pos", 92.0);
}

QString MpvEngine::stringProperty(const char *name) const
{
    if (!m_core)
        return QString();
    char *value = mpv_get_property_string(m_core->handle(), name);
    if (!value)
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
    if (mpv_get_property(m_core->handle(), name, MPV_FORMAT_INT64, &v) < 0)
        return fallback;
    return v;
}

double MpvEngine::doubleProperty(const char *name, double fallback) const
{
    if (!m_core)
        return fallback;
    double v = 0;
    if (mpv_get_property(m_core->handle(), name, MPV_FORMAT_DOUBLE, &v) < 0)
        return fallback;
    return v;
}

bool MpvEngine::sendTrackSelectionForNextFile()
{
    if (!m_core)
        return true;
    m_pendingTrackSelection = m_audioTrackId > 0 || m_subtitleTrackId >= 0 || m_secondarySubtitleTrackId >= 0;
    m_wantedAudioTrackId = m_audioTrackId;
    m_wantedSubtitleTrackId = m_subtitleTrackId;
    m_wantedSecondarySubtitleTrackId = m_secondarySubtitleTrackId;
    bool ok = setMpvStringProperty("aid", QStringLiteral("auto"));
    ok = setMpvStringProperty("sid", m_subtitleTrackId < 0 ? QStringLiteral("no") : QStringLiteral("auto")) &&
         ok;
    ok = setMpvStringProperty("secondary-sid", m_secondarySubtitleTrackId < 0 ? QStringLiteral("no")
                                                                              : QStringLiteral("auto")) &&
         ok;
    return ok;
}

void MpvEngine::applyRememberedTracksToLoadedFile()
{
    if (!m_pendingTrackSelection)
        return;
    m_pendingTrackSelection = false;
    if (m_wantedAudioTrackId > 0 && trackExists(QStringLiteral("audio"), m_wantedAudioTrackId))
        setMpvStringProperty("aid", QString::number(m_wantedAudioTrackId));
    if (m_wantedSubtitleTrackId >= 0 && trackExists(QStringLiteral("sub"), m_wantedSubtitleTrackId))
        setMpvStringProperty("sid", QString::number(m_wantedSubtitleTrackId));
    if (m_wantedSecondarySubtitleTrackId >= 0 &&
        trackExists(QStringLiteral("sub"), m_wantedSecondarySubtitleTrackId))
        setMpvStringProperty("secondary-sid", QString::number(m_wantedSecondarySubtitleTrackId));
}

bool MpvEngine::trackExists(const QString &type, int id) const
{
    const QVariantList tracks = availableTracksByType(type);
    for (const QVariant &track : tracks) {
        if (track.toMap().value(QStringLiteral("id")).toInt() == id)
            return true;
    }
    return false;
}

bool MpvEngine::ownsEntry(qint64 entryId) const
{
    if (m_expectedEntryId > 0)
        return entryId == m_expectedEntryId;
    return m_expectedEntryId == 0;
}

void MpvEngine::pollEvents()
{
    if (!m_core)
        return;
    mpv_handle *h = m_core->handle();
    bool mediaInfoDirty = false;

    for (;;) {
        mpv_event *event = mpv_wait_event(h, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        switch (event->event_id) {
        case MPV_EVENT_START_FILE:
            if (event->data)
                m_startedEntryId = static_cast<mpv_event_start_file *>(event->data)->playlist_entry_id;
            break;
        case MPV_EVENT_END_FILE:
            if (event->data)
                handleEndFile(static_cast<mpv_event_end_file *>(event->data), mediaInfoDirty);
            break;
        case MPV_EVENT_FILE_LOADED:
        case MPV_EVENT_PLAYBACK_RESTART: {
            const bool loaded = event->event_id == MPV_EVENT_FILE_LOADED;
            // Load and restart events of a replaced or stopped file must not revive the state.
            if (!ownsEntry(m_startedEntryId) || (!loaded && !m_currentFileLoaded))
                break;
            m_ended = false;
            m_endOfFileHandled = false;
            m_seekPending = false;
            applySubtitlePositions();
            mediaInfoDirty = true;
            TVX_LOG_INFO << "[mpv][event]" << (loaded ? "FILE_LOADED" : "PLAYBACK_RESTART")
                         << " keep paused state for property sync, path=" << stringProperty("path");
            if (loaded) {
                m_currentFileLoaded = true;
                applyRememberedTracksToLoadedFile();
            }
            break;
        }
        default:
            break;
        }
    }

    int pauseFlag = 0;
    if (mpv_get_property(h, "pause", MPV_FORMAT_FLAG, &pauseFlag) >= 0 && (pauseFlag != 0) != m_paused) {
        m_paused = pauseFlag != 0;
        emit pausedChanged();
    }

    auto readTrack = [this](const char *name, bool audio, int &field, void (MpvEngine::*signal)(),
                            bool &dirty) {
        char *raw = mpv_get_property_string(m_core->handle(), name);
        if (!raw)
            return;
        const QString text = QString::fromUtf8(raw);
        mpv_free(raw);
        int value = 0;
        if (audio)
            value = text == QLatin1String("auto") ? 0 : text.toInt();
        else
            value = text == QLatin1String("no") ? -1 : text.toInt();
        if (value != field) {
            field = value;
            emit(this->*signal)();
            dirty = true;
        }
    };
    readTrack("aid", true, m_audioTrackId, &MpvEngine::audioTrackIdChanged, mediaInfoDirty);
    readTrack("sid", false, m_subtitleTrackId, &MpvEngine::subtitleTrackIdChanged, mediaInfoDirty);
    readTrack("secondary-sid", false, m_secondarySubtitleTrackId, &MpvEngine::secondarySubtitleTrackIdChanged,
              mediaInfoDirty);

    if (m_endOfFileHandled) {
        double d = 0;
        if (mpv_get_property(h, "duration", MPV_FORMAT_DOUBLE, &d) >= 0) {
            const double value = d > 0 ? d : 0.0;
            if (fuzzyDiffers(value, m_duration)) {
                m_duration = value;
                emit durationChanged();
                mediaInfoDirty = true;
            }
        }
        const double target = m_duration > 0 ? m_duration : 0.0;
        if (fuzzyDiffers(target, m_position)) {
            m_position = target;
            emit positionChanged();
        }
    } else if (m_ended) {
        if (!isZero(m_duration)) {
            m_duration = 0.0;
            emit durationChanged();
            mediaInfoDirty = true;
        }
        if (!isZero(m_position)) {
            m_position = 0.0;
            emit positionChanged();
        }
    } else if (ownsEntry(m_startedEntryId)) {
        // Until mpv starts the entry of the last loadfile, "time-pos" and "duration" still
        // describe the file being replaced.
        double d = 0;
        if (mpv_get_property(h, "duration", MPV_FORMAT_DOUBLE, &d) >= 0 && fuzzyDiffers(d, m_duration)) {
            m_duration = std::max(d, 0.0);
            emit durationChanged();
            mediaInfoDirty = true;
        }
        double p = 0;
        if (mpv_get_property(h, "time-pos", MPV_FORMAT_DOUBLE, &p) >= 0 && fuzzyDiffers(p, m_position)) {
            m_position = std::max(p, 0.0);
            emit positionChanged();
        }
    }

    // "eof-reached" can still read true for the previous file right after a new loadfile, and
    // for the old position right after a seek, so it counts only once the current file has
    // loaded and mpv has carried out the last seek.
    int eof = 0;
    if (m_currentFileLoaded && !m_endOfFileHandled && !m_seekPending &&
        mpv_get_property(h, "eof-reached", MPV_FORMAT_FLAG, &eof) >= 0 && eof) {
        TVX_LOG_INFO << "[mpv] eof-reached property became true, fallback EOF handling.";
        markEndOfFile("eof-reached-property");
        mediaInfoDirty = true;
    }

    if (mediaInfoDirty)
        emit mediaInfoChanged();
}

void MpvEngine::handleEndFile(const mpv_event_end_file *data, bool &mediaInfoDirty)
{
    TVX_LOG_INFO << "[mpv][event] END_FILE reason=" << data->reason << " error=" << data->error
                 << " path=" << stringProperty("path") << " pos=" << m_position << " dur=" << m_duration;
    if (!ownsEntry(data->playlist_entry_id)) {
        TVX_LOG_INFO << "[mpv][event] END_FILE belongs to a replaced file, ignored. entry="
                     << data->playlist_entry_id;
        return;
    }
    if (data->reason == MPV_END_FILE_REASON_EOF) {
        if (markEndOfFile("END_FILE"))
            mediaInfoDirty = true;
        m_currentFileLoaded = false;
    } else if (data->reason == MPV_END_FILE_REASON_ERROR) {
        enterIdleAfterError(m_currentPath, data->error);
        mediaInfoDirty = true;
    }
}

void MpvEngine::enterIdleAfterError(const QString &path, int error)
{
    const QString errorText = QString::fromUtf8(mpv_error_string(error));
    TVX_LOG_WARN << "[mpv] playback failed, engine idle. path=" << path << "error=" << errorText;
    m_ended = true;
    m_endOfFileHandled = false;
    m_expectedEntryId = -1;
    m_currentFileLoaded = false;
    m_pendingTrackSelection = false;
    m_seekPending = false;
    if (!isZero(m_position)) {
        m_position = 0.0;
        emit positionChanged();
    }
    if (!isZero(m_duration)) {
        m_duration = 0.0;
        emit durationChanged();
    }
    if (m_paused) {
        m_paused = false;
        emit pausedChanged();
    }
    emit playbackFailed(path, errorText);
}

bool MpvEngine::markEndOfFile(const char *reason)
{
    if (m_endOfFileHandled)
        return false; // the end of this file was already reported
    TVX_LOG_INFO << "[mpv] EOF reached via" << reason << "path=" << stringProperty("path")
                 << "position=" << m_position << "duration=" << m_duration;
    m_ended = true;
    m_endOfFileHandled = true;
    const double target = m_duration > 0 ? m_duration : 0.0;
    if (fuzzyDiffers(target, m_position)) {
        m_position = target;
        emit positionChanged();
    }
    if (m_paused) {
        m_paused = false;
        emit pausedChanged();
    }
    TVX_LOG_INFO << "[mpv] emit endOfFileReached";
    emit endOfFileReached();
    return true;
}
