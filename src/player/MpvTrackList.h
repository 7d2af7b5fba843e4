// The loaded file's tracks as mpv last announced them, and the lists QML shows of them.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

// mpv announces "track-list" through the event queue whenever it changes, so reading the
// tracks never waits for the core (a synchronous read during a change of file waited for the
// video output to reconfigure).
class MpvTrackList
{
public:
    // The converted "track-list" node (a list of maps); anything else counts as no tracks.
    void setTracks(const QVariant &trackList);
    void clear() { m_tracks.clear(); }
    const QVariantList &tracks() const { return m_tracks; }

    // Track entries {id, title, selected} of the type ("audio", "sub") with their labels.
    QVariantList tracksByType(const QString &type) const;
    bool hasAlbumArt() const;
    bool contains(const QString &type, int id) const;

    // The audio-device chooser's entries from a converted "audio-device-list": the system
    // default first, then every named device.
    static QVariantList audioOutputDevices(const QVariant &deviceList);
    // The label of an external subtitle: the last component of a path or file URL.
    static QString fileNameFromTrackLabelPath(const QString &text);

private:
    QVariantList m_tracks;
};
