// The player engine's handle, commands and event pump.
#include "player/MpvEngine.h"

#include "core/Log.h"
#include "player/MpvCore.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <iterator>

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

// What the pump keeps in step with mpv, read asynchronously: a synchronous read on the GUI thread
// waits for the core, and while the core reconfigures the video output it waits for a render,
// which the scene graph cannot do while the GUI thread is held; only libmpv's 200 ms render
// timeout ended that wait, at every change of file.
struct PolledProperty
{
    const char *name;
    mpv_format format;
};

enum PolledIndex { PollPause, PollAid, PollSid, PollSecondarySid, PollDuration, PollTimePos, PollEofReached };

constexpr PolledProperty kPolled[] = {
    {"pause", MPV_FORMAT_FLAG},           {"aid", MPV_FORMAT_STRING},      {"sid", MPV_FORMAT_STRING},
    {"secondary-sid", MPV_FORMAT_STRING}, {"duration", MPV_FORMAT_DOUBLE}, {"time-pos", MPV_FORMAT_DOUBLE},
    {"eof-reached", MPV_FORMAT_FLAG},
};
constexpr int kPolledCount = int(sizeof(kPolled) / sizeof(kPolled[0]));

// The reply's user data carries the poll generation above the property index; the index
// kTrackListIndex marks the read of the track list a loaded file's remembered tracks wait for.
constexpr int kPollIndexBits = 8;
constexpr quint64 kPollIndexMask = (quint64(1) << kPollIndexBits) - 1;
constexpr quint64 kTrackListIndex = kPollIndexMask;

// What the pump sets without waiting; the reply's user data is the index, for the log.
constexpr const char *kAsyncSetNames[] = {"sub-pos", "secondary-sub-pos", "aid", "sid", "secondary-sid"};
enum AsyncSetIndex { SetSubPos, SetSecondarySubPos, SetAid, SetSid, SetSecondarySid };

const mpv_node *mapValue(const mpv_node *map, const char *key)
{
    if (!map || map->format != MPV_FORMAT_NODE_MAP || !map->u.list)
        return nullptr;
    for (int i = 0; i < map->u.list->num; ++i) {
        if (qstrcmp(map->u.list->keys[i], key) == 0)
            return &map->u.list->values[i];
    }
    return nullptr;
}

bool trackListHas(const mpv_node *list, const char *type, int id)
{
    if (!list || list->format != MPV_FORMAT_NODE_ARRAY || !list->u.list)
        return false;
    for (int i = 0; i < list->u.list->num; ++i) {
        const mpv_node *entry = &list->u.list->values[i];
        const mpv_node *typeNode = mapValue(entry, "type");
        const mpv_node *idNode = mapValue(entry, "id");
        if (!typeNode || typeNode->format != MPV_FORMAT_STRING || qstrcmp(typeNode->u.string, type) != 0 ||
            !idNode)
            continue;
        if ((idNode->format == MPV_FORMAT_INT64 && idNode->u.int64 == id) ||
            (idNode->format == MPV_FORMAT_DOUBLE && qint64(idNode->u.double_) == id))
            return true;
    }
    return false;
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
    discardPolledReplies();
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
        discardPolledReplies();
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
    discardPolledReplies();
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
    discardPolledReplies();
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
    if (isPolledProperty(name))
        discardPolledReplies();
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

bool MpvEngine::isPolledProperty(const char *name)
{
    for (const PolledProperty &p : kPolled) {
        if (qstrcmp(p.name, name) == 0)
            return true;
    }
    return false;
}

void MpvEngine::discardPolledReplies()
{
    // A reply read before our own change would briefly publish the value it replaced.
    ++m_pollGeneration;
}

void MpvEngine::requestPolledProperties()
{
    if (m_pollRepliesPending > 0)
        return; // one round at a time, so a slow core does not pile up requests
    const quint64 tag = m_pollGeneration << kPollIndexBits;
    for (int i = 0; i < kPolledCount; ++i) {
        if (mpv_get_property_async(m_core->handle(), tag | quint64(i), kPolled[i].name, kPolled[i].format) >=
            0)
            ++m_pollRepliesPending;
    }
}

void MpvEngine::handlePolledReply(const mpv_event *event, bool &mediaInfoDirty)
{
    if (m_pollRepliesPending > 0)
        --m_pollRepliesPending;
    const quint64 tag = event->reply_userdata;
    const int index = int(tag & kPollIndexMask);
    if ((tag >> kPollIndexBits) != m_pollGeneration || index >= kPolledCount || event->error < 0 ||
        !event->data)
        return; // unavailable right now, or older than a change of ours: as a failed read
    const auto *prop = static_cast<const mpv_event_property *>(event->data);
    if (prop->format != kPolled[index].format || !prop->data)
        return;

    // Replies come in order with the file events, so the state they are judged against is the
    // state mpv was in when it read them.
    switch (index) {
    case PollPause: {
        const bool paused = *static_cast<const int *>(prop->data) != 0;
        if (paused != m_paused) {
            m_paused = paused;
            emit pausedChanged();
        }
        break;
    }
    case PollAid:
    case PollSid:
    case PollSecondarySid: {
        const QString text = QString::fromUtf8(*static_cast<char *const *>(prop->data));
        const bool audio = index == PollAid;
        int value = 0;
        if (audio)
            value = text == QLatin1String("auto") ? 0 : text.toInt();
        else
            value = text == QLatin1String("no") ? -1 : text.toInt();
        int &field = index == PollAid   ? m_audioTrackId
                     : index == PollSid ? m_subtitleTrackId
                                        : m_secondarySubtitleTrackId;
        if (value != field) {
            field = value;
            if (index == PollAid)
                emit audioTrackIdChanged();
            else if (index == PollSid)
                emit subtitleTrackIdChanged();
            else
                emit secondarySubtitleTrackIdChanged();
            mediaInfoDirty = true;
        }
        break;
    }
    case PollDuration: {
        const double d = *static_cast<const double *>(prop->data);
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
    case PollTimePos: {
        const double p = *static_cast<const double *>(prop->data);
        if (!m_endOfFileHandled && !m_ended && ownsEntry(m_startedEntryId) && fuzzyDiffers(p, m_position)) {
            m_position = std::max(p, 0.0);
            emit positionChanged();
        }
        break;
    }
    case PollEofReached:
        // "eof-reached" can still read true for the previous file right after a new loadfile,
        // and for the old position right after a seek, so it counts only once the current file
        // has loaded and mpv has carried out the last seek.
        if (*static_cast<const int *>(prop->data) != 0 && m_currentFileLoaded && !m_endOfFileHandled &&
            !m_seekPending) {
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

void MpvEngine::setPropertyAsync(int index, mpv_format format, void *data)
{
    const char *name = kAsyncSetNames[index];
    if (skipMissingProperty(name))
        return;
    if (isPolledProperty(name))
        discardPolledReplies();
    const int rc = mpv_set_property_async(m_core->handle(), quint64(index), name, format, data);
    if (rc < 0)
        TVX_LOG_WARN << "[mpv] set property failed:" << name << rc;
}

void MpvEngine::setPositionAsync(int index, double value)
{
    // As text mpv takes the number whether this build keeps the position as an integer or not;
    // asking which would be a read that waits for the core.
    QByteArray number = QByteArray::number(value, 'g', 10);
    char *text = number.data();
    setPropertyAsync(index, MPV_FORMAT_STRING, &text);
}

void MpvEngine::applySubtitlePositionsAsync()
{
    setPositionAsync(SetSubPos, 84.0);
    setPositionAsync(SetSecondarySubPos, 92.0);
}

void MpvEngine::requestTrackListForRememberedTracks()
{
    m_trackListEntryId = -1;
    if (!m_pendingTrackSelection)
        return;
    m_pendingTrackSelection = false;
    const quint64 tag = (m_pollGeneration << kPollIndexBits) | kTrackListIndex;
    if (mpv_get_property_async(m_core->handle(), tag, "track-list", MPV_FORMAT_NODE) >= 0)
        m_trackListEntryId = m_startedEntryId;
}

void MpvEngine::applyRememberedTracks(const mpv_event *event)
{
    const qint64 entryId = m_trackListEntryId;
    m_trackListEntryId = -1;
    // The list must still describe the file that is loaded now.
    if (entryId < 0 || entryId != m_startedEntryId || !ownsEntry(entryId) || !m_currentFileLoaded)
        return;
    if (event->error < 0 || !event->data)
        return;
    const auto *prop = static_cast<const mpv_event_property *>(event->data);
    if (prop->format != MPV_FORMAT_NODE || !prop->data)
        return;
    const auto *tracks = static_cast<const mpv_node *>(prop->data);
    auto select = [this](int index, int id) {
        QByteArray value = QByteArray::number(id);
        char *text = value.data();
        setPropertyAsync(index, MPV_FORMAT_STRING, &text);
    };
    if (m_wantedAudioTrackId > 0 && trackListHas(tracks, "audio", m_wantedAudioTrackId))
        select(SetAid, m_wantedAudioTrackId);
    if (m_wantedSubtitleTrackId >= 0 && trackListHas(tracks, "sub", m_wantedSubtitleTrackId))
        select(SetSid, m_wantedSubtitleTrackId);
    if (m_wantedSecondarySubtitleTrackId >= 0 &&
        trackListHas(tracks, "sub", m_wantedSecondarySubtitleTrackId))
        select(SetSecondarySid, m_wantedSecondarySubtitleTrackId);
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
        case MPV_EVENT_GET_PROPERTY_REPLY:
            if ((event->reply_userdata & kPollIndexMask) == kTrackListIndex)
                applyRememberedTracks(event);
            else
                handlePolledReply(event, mediaInfoDirty);
            break;
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (event->error < 0 && event->reply_userdata < std::size(kAsyncSetNames))
                TVX_LOG_WARN << "[mpv] set property failed:" << kAsyncSetNames[event->reply_userdata]
                             << event->error;
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
            applySubtitlePositionsAsync();
            mediaInfoDirty = true;
            TVX_LOG_INFO << "[mpv][event]" << (loaded ? "FILE_LOADED" : "PLAYBACK_RESTART")
                         << " keep paused state for property sync, path=" << m_currentPath;
            if (loaded) {
                m_currentFileLoaded = true;
                requestTrackListForRememberedTracks();
            }
            break;
        }
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
    requestPolledProperties();

    if (mediaInfoDirty)
        emit mediaInfoChanged();
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
