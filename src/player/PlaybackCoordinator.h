// Go-between of the play list and the player page: play requests out, ends of file back in.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class PlaylistModel;

class PlaybackCoordinator : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject *playlistModel READ playlistModel WRITE setPlaylistModel NOTIFY playlistModelChanged)

public:
    explicit PlaybackCoordinator(QObject *parent = nullptr);

    QObject *playlistModel() const;
    void setPlaylistModel(QObject *model);

    Q_INVOKABLE void onPlaylistCurrentFileChanged(const QUrl &currentFileUrl);
    Q_INVOKABLE void onPlaybackFinished(const QUrl &finishedFileUrl);

signals:
    void playlistModelChanged();
    void playFileRequested(const QUrl &fileUrl);
    void clearPlaybackRequested();

private:
    PlaylistModel *playlist() const;
    QString normalizedPathFromUrl(const QUrl &url) const;
    bool isSameFile(const QUrl &left, const QUrl &right) const;

    QPointer<QObject> m_playlist;
    QUrl m_lastRequestedFile;
};
