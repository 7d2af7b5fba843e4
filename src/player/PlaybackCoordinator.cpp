// Turns play-list changes into play requests and ends of file into play-list advances.
#include "player/PlaybackCoordinator.h"

#include "player/PlaylistModel.h"

PlaybackCoordinator::PlaybackCoordinator(QObject *parent) : QObject(parent) {}

QObject *PlaybackCoordinator::playlistModel() const
{
    return m_playlist.data();
}

void PlaybackCoordinator::setPlaylistModel(QObject *model)
{
    if (m_playlist.data() == model)
        return;
    m_playlist = model;
    emit playlistModelChanged();
}

PlaylistModel *PlaybackCoordinator::playlist() const
{
    return qobject_cast<PlaylistModel *>(m_playlist.data());
}

QString PlaybackCoordinator::normalizedPathFromUrl(const QUrl &url) const
{
    return PlaylistModel::normalizedSourcePath(url);
}

bool PlaybackCoordinator::isSameFile(const QUrl &left, const QUrl &right) const
{
    return normalizedPathFromUrl(left) == normalizedPathFromUrl(right);
}

void PlaybackCoordinator::onPlaylistCurrentFileChanged(const QUrl &currentFileUrl)
{
    if (!currentFileUrl.isValid() || currentFileUrl.isEmpty()) {
        m_lastRequestedFile.clear();
        emit clearPlaybackRequested();
        return;
    }
    m_lastRequestedFile = currentFileUrl;
    emit playFileRequested(currentFileUrl);
}

void PlaybackCoordinator::onPlaybackFinished(const QUrl &finishedFileUrl)
{
    PlaylistModel *model = playlist();
    if (!model)
        return;
    // An end that arrives after another file was requested belongs to the replaced file;
    // advancing on it would skip the file the user just chose.
    const bool finishedKnown = finishedFileUrl.isValid() && !finishedFileUrl.isEmpty();
    if (finishedKnown && !m_lastRequestedFile.isEmpty() && !isSameFile(finishedFileUrl, m_lastRequestedFile))
        return;
    model->advanceForPlaybackCompletionFromFile(finishedFileUrl);
}
