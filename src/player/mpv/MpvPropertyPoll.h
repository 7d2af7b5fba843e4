// The event pump's reads of mpv state that never wait for the core.
#pragma once

#include <QString>

#include <mpv/client.h>

// A synchronous read on the GUI thread waits for the core, and while the core reconfigures the
// video output it waits for a render, which the scene graph cannot do while the GUI thread is
// held; only libmpv's 200 ms render timeout ended that wait, at every change of file. So the
// pump asks at the end of one tick and takes the answers, in order with the file events, in
// the next.
class MpvPropertyPoll
{
public:
    enum Property { Pause, AudioId, SubtitleId, SecondarySubtitleId, Duration, TimePos, EofReached, Count };

    struct Reply
    {
        Property property = Pause;
        bool flag = false;   // Pause, EofReached
        double number = 0.0; // Duration, TimePos
        QString text;        // the three track ids
    };

    // Asks for every polled property unless the previous round is still unanswered, so a slow
    // core does not pile up requests.
    void requestRound(mpv_handle *handle);
    // Answers read before a change of ours would briefly publish the value it replaced: they
    // no longer count.
    void discardPending() { ++m_generation; }
    static bool isPolled(const char *name);

    // The read of the track list that a loaded file's remembered track ids wait for.
    bool requestTrackList(mpv_handle *handle);

    // Whether a GET_PROPERTY_REPLY answers the track-list read rather than a round.
    static bool isTrackListReply(const mpv_event *event);
    // Takes one answer of a round: false when it failed, is stale or is not of the expected
    // format (as a failed read).
    bool take(const mpv_event *event, Reply &reply);
    // The node of a track-list answer, or null when the read failed.
    static const mpv_node *trackListNode(const mpv_event *event);

private:
    int m_repliesPending = 0;
    quint64 m_generation = 0;
};
