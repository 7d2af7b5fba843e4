// Asynchronous reads of the polled properties, tagged with the generation they were asked in.
#include "player/mpv/MpvPropertyPoll.h"

#include "player/mpv/MpvNames.h"

#include <QtGlobal>

namespace {

struct PolledProperty
{
    const char *name;
    mpv_format format;
};

constexpr PolledProperty kPolled[MpvPropertyPoll::Count] = {
    {mpvname::kPause, MPV_FORMAT_FLAG},        {mpvname::kAudioId, MPV_FORMAT_STRING},
    {mpvname::kSubtitleId, MPV_FORMAT_STRING}, {mpvname::kSecondarySubtitleId, MPV_FORMAT_STRING},
    {mpvname::kDuration, MPV_FORMAT_DOUBLE},   {mpvname::kTimePos, MPV_FORMAT_DOUBLE},
    {mpvname::kEofReached, MPV_FORMAT_FLAG},
};

// The reply's user data carries the generation above the property index; kTrackListIndex
// marks the read of the track list.
constexpr int kIndexBits = 8;
constexpr quint64 kIndexMask = (quint64(1) << kIndexBits) - 1;
constexpr quint64 kTrackListIndex = kIndexMask;

} // namespace

bool MpvPropertyPoll::isPolled(const char *name)
{
    for (const PolledProperty &p : kPolled) {
        if (qstrcmp(p.name, name) == 0)
            return true;
    }
    return false;
}

void MpvPropertyPoll::requestRound(mpv_handle *handle)
{
    if (m_repliesPending > 0)
        return;
    const quint64 tag = m_generation << kIndexBits;
    for (int i = 0; i < Count; ++i) {
        if (mpv_get_property_async(handle, tag | quint64(i), kPolled[i].name, kPolled[i].format) >= 0)
            ++m_repliesPending;
    }
}

bool MpvPropertyPoll::requestTrackList(mpv_handle *handle)
{
    const quint64 tag = (m_generation << kIndexBits) | kTrackListIndex;
    return mpv_get_property_async(handle, tag, mpvname::kTrackList, MPV_FORMAT_NODE) >= 0;
}

bool MpvPropertyPoll::isTrackListReply(const mpv_event *event)
{
    return (event->reply_userdata & kIndexMask) == kTrackListIndex;
}

bool MpvPropertyPoll::take(const mpv_event *event, Reply &reply)
{
    if (m_repliesPending > 0)
        --m_repliesPending;
    const quint64 tag = event->reply_userdata;
    const int index = int(tag & kIndexMask);
    if ((tag >> kIndexBits) != m_generation || index >= Count || event->error < 0 || !event->data)
        return false;
    const auto *prop = static_cast<const mpv_event_property *>(event->data);
    if (prop->format != kPolled[index].format || !prop->data)
        return false;
    reply.property = Property(index);
    switch (kPolled[index].format) {
    case MPV_FORMAT_FLAG:
        reply.flag = *static_cast<const int *>(prop->data) != 0;
        break;
    case MPV_FORMAT_DOUBLE:
        reply.number = *static_cast<const double *>(prop->data);
        break;
    default:
        reply.text = QString::fromUtf8(*static_cast<char *const *>(prop->data));
        break;
    }
    return true;
}

const mpv_node *MpvPropertyPoll::trackListNode(const mpv_event *event)
{
    if (event->error < 0 || !event->data)
        return nullptr;
    const auto *prop = static_cast<const mpv_event_property *>(event->data);
    if (prop->format != MPV_FORMAT_NODE || !prop->data)
        return nullptr;
    return static_cast<const mpv_node *>(prop->data);
}
