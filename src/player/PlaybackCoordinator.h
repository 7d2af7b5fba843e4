// Go-between of the play list and the player page: play requests out, ends of file back in.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>

class PlaylistModel;

class PlaybackCoordinator : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject *playlistModel READ playlistModel WRITE setPlaylistModel NOTIFY playlistModelChanged)
    // The file last requested played to its end and nothing was requested since: the player
    // rests on its last frame, so opening that file again has to start it anew.
    Q_PROPERTY(bool requestedFileEnded READ requestedFileEnded NOTIFY requestedFileEndedChanged)

public:
    explicit PlaybackCoordinator(QObject *parent = nullptr);

    QObject *playlistModel() const;
    void setPlaylistModel(QObject *model);
    bool requestedFileEnded() const { return m_requestedFileEnded; }

    Q_INVOKABLE void onPlaylistCurrentFileChanged(const QUrl &currentFileUrl);
    Q_INVOKABLE void onPlaybackFinished(const QUrl &finishedFileUrl);
    // The file could not be played (the engine's playbackFailed): the list moves on as at the
    // end of a file, except where that could only meet failing files again: in single-loop
    // mode, and once every listed file has failed since one last played to its end.
    Q_INVOKABLE void onPlaybackFailed(const QUrl &failedFileUrl);

signals:
    void playlistModelChanged();
    void requestedFileEndedChanged();
    void playFileRequested(const QUrl &fileUrl);
    void clearPlaybackRequested();

private:
    PlaylistModel *playlist() const;
    QString normalizedPathFromUrl(const QUrl &url) const;
    bool isSameFile(const QUrl &left, const QUrl &right) const;
    bool isStale(const QUrl &endedFileUrl) const;
    void setRequestedFileEnded(bool ended);

    QPointer<QObject> m_playlist;
    QUrl m_lastRequestedFile;
    bool m_requestedFileEnded = false;
    // Normalised paths of the files that failed since a file last played to its end.
    QSet<QString> m_failedPaths;
};
