// The engine's event pump: mpv's events and the polled properties turned into playback state.
#include "player/MpvEngine.h"

#include "core/Log.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvNames.h"
#include "player/mpv/MpvNode.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

bool fuzzyDiffers(double a, double b)
{
    return PlayerSettings::differs(a, b);
}

bool isZero(double v)
{
    return std::fabs(v) <= 1e-12;
}

// What the pump sets without waiting; a failed set's reply names it by its index here.
constexpr const char *kAsyncSetNames[] = {mpvname::kSubtitlePos, mpvname::kSecondarySubtitlePos,
                                          mpvname::kAudioId, mpvname::kSubtitleId,
                                          mpvname::kSecondarySubtitleId};

} // namespace

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
        case MPV_EVENT_GET_PROPERTY_REPLY:
            if (MpvPropertyPoll::isTrackListReply(event)) {
                applyRememberedTracks(event);
            } else {
                MpvPropertyPoll::Reply reply;
                if (m_poll.take(event, reply))
                    handlePolledReply(reply, mediaInfoDirty);
            }
            break;
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (event->error < 0 && event->reply_userdata < std::size(kAsyncSetNames))
                TVX_LOG_WARN << "[mpv] set property failed:" << kAsyncSetNames[event->reply_userdata]
                             << event->error;
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            handleTrackListChange(event, mediaInfoDirty);
            break;
        case MPV_EVENT_END_FILE:
            if (event->data)
                handleEndFile(static_cast<mpv_event_end_file *>(event->data), mediaInfoDirty);
            break;
        case MPV_EVENT_FILE_LOADED:
        case MPV_EVENT_PLAYBACK_RESTART:
            handleFileEvent(event->event_id == MPV_EVENT_FILE_LOADED, mediaInfoDirty);
            break;
        default:
            break;
        }
    }

    if (m_endOfFileHandled) {
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
    }
    m_poll.requestRound(h);
    adjustPumpRate();

    if (mediaInfoDirty)
        emit mediaInfoChanged();
}

void MpvEngine::announcePosition()
{
    if (!m_lastVideoFrame.isValid() || m_lastVideoFrame.elapsed() >= kFramePacingMs) {
        emit positionChanged();
        return;
    }
    m_positionHeld = true;
    if (!m_positionRelease) {
        m_positionRelease = new QTimer(this);
        m_positionRelease->setSingleShot(true);
        m_positionRelease->setInterval(kFramePacingMs);
        connect(m_positionRelease, &QTimer::timeout, this, &MpvEngine::releaseHeldPosition);
    }
    if (!m_positionRelease->isActive())
        m_positionRelease->start();
}

void MpvEngine::releaseHeldPosition()
{
    if (m_positionRelease)
        m_positionRelease->stop();
    if (!m_positionHeld)
        return;
    m_positionHeld = false;
    emit positionChanged();
}

void MpvEngine::videoFrameArrived()
{
    m_lastVideoFrame.start();
    releaseHeldPosition();
}

void MpvEngine::adjustPumpRate()
{
    if (!m_eventTimer)
        return;
    // With no file, mpv's side only moves when this engine asks it to, so the pump need not wake
    // a hundred times a second; a new file (playFile runs the pump at once) brings the pace back.
    const bool noMedia = m_ended && !m_endOfFileHandled;
    const int interval = noMedia ? kIdlePumpIntervalMs : kPumpIntervalMs;
    if (m_eventTimer->interval() != interval)
        m_eventTimer->setInterval(interval);
}

void MpvEngine::handleFileEvent(bool loaded, bool &mediaInfoDirty)
{
    // Load and restart events of a replaced or stopped file must not revive the state.
    if (!ownsEntry(m_startedEntryId) || (!loaded && !m_currentFileLoaded))
        return;
    m_ended = false;
    m_endOfFileHandled = false;
    m_seekPending = false;
    applySubtitlePositionsAsync();
    mediaInfoDirty = true;
    TVX_LOG_INFO << "[mpv][event]" << (loaded ? "FILE_LOADED" : "PLAYBACK_RESTART")
                 << " keep paused state for property sync, path=" << m_currentPath;
    if (!loaded)
        return;
    m_currentFileLoaded = true;
    m_trackListEntryId = -1;
    if (m_pendingTrackSelection) {
        m_pendingTrackSelection = false;
        if (m_poll.requestTrackList(m_core->handle()))
            m_trackListEntryId = m_startedEntryId;
    }
}

void MpvEngine::handleTrackListChange(const mpv_event *event, bool &mediaInfoDirty)
{
    const auto *prop = static_cast<const mpv_event_property *>(event->data);
    if (!prop || qstrcmp(prop->name, mpvname::kTrackList) != 0)
        return;
    if (prop->format == MPV_FORMAT_NODE && prop->data)
        m_tracks.setTracks(mpvnode::toVariant(static_cast<const mpv_node *>(prop->data)));
    else
        m_tracks.clear();
    mediaInfoDirty = true;
}

void MpvEngine::handlePolledReply(const MpvPropertyPoll::Reply &reply, bool &mediaInfoDirty)
{
    // Replies come in order with the file events, so the state they are judged against is the
    // state mpv was in when it read them.
    switch (reply.property) {
    case MpvPropertyPoll::Pause:
        if (reply.flag != m_paused) {
            m_paused = reply.flag;
            emit pausedChanged();
        }
        break;
    case MpvPropertyPoll::AudioId:
    case MpvPropertyPoll::SubtitleId:
    case MpvPropertyPoll::SecondarySubtitleId: {
        const bool audio = reply.property == MpvPropertyPoll::AudioId;
        int value = 0;
        if (audio)
            value = reply.text == QLatin1String("auto") ? 0 : reply.text.toInt();
        else
            value = reply.text == QLatin1String("no") ? -1 : reply.text.toInt();
        int &field = audio                                           ? m_settings.audioTrackId
                     : reply.property == MpvPropertyPoll::SubtitleId ? m_settings.subtitleTrackId
                                                                     : m_settings.secondarySubtitleTrackId;
        if (value != field) {
            field = value;
            if (audio)
                emit audioTrackIdChanged();
            else if (reply.property == MpvPropertyPoll::SubtitleId)
                emit subtitleTrackIdChanged();
            else
                emit secondarySubtitleTrackIdChanged();
            mediaInfoDirty = true;
        }
        break;
    }
    case MpvPropertyPoll::Duration: {
        const double d = reply.number;
        if (m_endOfFileHandled) {
            const double value = d > 0 ? d : 0.0;
            if (fuzzyDiffers(value, m_duration)) {
                m_duration = value;
                emit durationChanged();
                mediaInfoDirty = true;
            }
        } else if (!m_ended && ownsEntry(m_startedEntryId) && fuzzyDiffers(d, m_duration)) {
            // Until mpv starts the entry of the last loadfile, "duration" still describes the
            // file being replaced.
            m_duration = std::max(d, 0.0);
            emit durationChanged();
            mediaInfoDirty = true;
        }
        break;
    }
    case MpvPropertyPoll::TimePos:
        if (!m_endOfFileHandled && !m_ended && ownsEntry(m_startedEntryId) &&
            fuzzyDiffers(reply.number, m_position)) {
            m_position = std::max(reply.number, 0.0);
            announcePosition();
        }
        break;
    case MpvPropertyPoll::EofReached:
        // "eof-reached" can still read true for the previous file right after a new loadfile,
        // and for the old position right after a seek, so it counts only once the current file
        // has loaded and mpv has carried out the last seek.
        if (reply.flag && m_currentFileLoaded && !m_endOfFileHandled && !m_seekPending) {
            TVX_LOG_INFO << "[mpv] eof-reached property became true, fallback EOF handling.";
            markEndOfFile("eof-reached-property");
            mediaInfoDirty = true;
        }
        break;
    default:
        break;
    }
}

bool MpvEngine::sendTrackSelectionForNextFile()
{
    if (!m_core)
        return true;
    const PlayerSettings &s = m_settings;
    m_pendingTrackSelection = s.audioTrackId > 0 || s.subtitleTrackId >= 0 || s.secondarySubtitleTrackId >= 0;
    m_wantedAudioTrackId = s.audioTrackId;
    m_wantedSubtitleTrackId = s.subtitleTrackId;
    m_wantedSecondarySubtitleTrackId = s.secondarySubtitleTrackId;
    const QString no = QStringLiteral("no");
    const QString automatic = QStringLiteral("auto");
    bool ok = setMpvStringProperty(mpvname::kAudioId, automatic);
    ok = setMpvStringProperty(mpvname::kSubtitleId, s.subtitleTrackId < 0 ? no : automatic) && ok;
    ok = setMpvStringProperty(mpvname::kSecondarySubtitleId,
                              s.secondarySubtitleTrackId < 0 ? no : automatic) &&
         ok;
    return ok;
}

void MpvEngine::setPropertyAsync(const char *name, const QByteArray &value)
{
    if (!m_core->hasProperty(name))
        return;
    quint64 index = 0;
    while (index < std::size(kAsyncSetNames) && kAsyncSetNames[index] != name)
        ++index;
    if (MpvPropertyPoll::isPolled(name))
        m_poll.discardPending();
    QByteArray text = value;
    char *data = text.data();
    const int rc = mpv_set_property_async(m_core->handle(), index, name, MPV_FORMAT_STRING, &data);
    if (rc < 0)
        TVX_LOG_WARN << "[mpv] set property failed:" << name << rc;
}

void MpvEngine::applySubtitlePositionsAsync()
{
    // As text mpv takes the number whether this build keeps the position as an integer or
    // not; asking which would be a read that waits for the core.
    setPropertyAsync(mpvname::kSubtitlePos, QByteArrayLiteral("84"));
    setPropertyAsync(mpvname::kSecondarySubtitlePos, QByteArrayLiteral("92"));
}

void MpvEngine::applyRememberedTracks(const mpv_event *event)
{
    const qint64 entryId = m_trackListEntryId;
    m_trackListEntryId = -1;
    const mpv_node *node = MpvPropertyPoll::trackListNode(event);
    if (!node)
        return;
    MpvTrackList tracks;
    tracks.setTracks(mpvnode::toVariant(node));
    // The list must still describe the file that is loaded now.
    if (entryId < 0 || entryId != m_startedEntryId || !ownsEntry(entryId) || !m_currentFileLoaded)
        return;
    auto select = [this](const char *name, int id) { setPropertyAsync(name, QByteArray::number(id)); };
    if (m_wantedAudioTrackId > 0 && tracks.contains(QStringLiteral("audio"), m_wantedAudioTrackId))
        select(mpvname::kAudioId, m_wantedAudioTrackId);
    if (m_wantedSubtitleTrackId >= 0 && tracks.contains(QStringLiteral("sub"), m_wantedSubtitleTrackId))
        select(mpvname::kSubtitleId, m_wantedSubtitleTrackId);
    if (m_wantedSecondarySubtitleTrackId >= 0 &&
        tracks.contains(QStringLiteral("sub"), m_wantedSecondarySubtitleTrackId))
        select(mpvname::kSecondarySubtitleId, m_wantedSecondarySubtitleTrackId);
}

bool MpvEngine::ownsEntry(qint64 entryId) const
{
    if (m_expectedEntryId > 0)
        return entryId == m_expectedEntryId;
    return m_expectedEntryId == 0;
}

void MpvEngine::handleEndFile(const mpv_event_end_file *data, bool &mediaInfoDirty)
{
    TVX_LOG_INFO << "[mpv][event] END_FILE reason=" << data->reason << " error=" << data->error
                 << " path=" << m_currentPath << " pos=" << m_position << " dur=" << m_duration;
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

void MpvEngine::enterIdle()
{
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
}

void MpvEngine::enterIdleAfterError(const QString &path, int error)
{
    const QString errorText = QString::fromUtf8(mpv_error_string(error));
    TVX_LOG_WARN << "[mpv] playback failed, engine idle. path=" << path << "error=" << errorText;
    enterIdle();
    emit playbackFailed(path, errorText);
}

bool MpvEngine::markEndOfFile(const char *reason)
{
    if (m_endOfFileHandled)
        return false; // the end of this file was already reported
    TVX_LOG_INFO << "[mpv] EOF reached via" << reason << "path=" << m_currentPath << "position=" << m_position
                 << "duration=" << m_duration;
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
