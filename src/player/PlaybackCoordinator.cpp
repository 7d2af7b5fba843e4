// Turns play-list changes into play requests and ends of file into play-list advances.
#include "player/PlaybackCoordinator.h"

#include "player/PlaylistModel.h"

#include <algorithm>

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

void PlaybackCoordinator::setRequestedFileEnded(bool ended)
{
    if (m_requestedFileEnded == ended)
        return;
    m_requestedFileEnded = ended;
    emit requestedFileEndedChanged();
}

void PlaybackCoordinator::onPlaylistCurrentFileChanged(const QUrl &currentFileUrl)
{
    setRequestedFileEnded(false);
    if (!currentFileUrl.isValid() || currentFileUrl.isEmpty()) {
        m_lastRequestedFile.clear();
        emit clearPlaybackRequested();
        return;
    }
    m_lastRequestedFile = currentFileUrl;
    emit playFileRequested(currentFileUrl);
}

bool PlaybackCoordinator::isStale(const QUrl &endedFileUrl) const
{
    // An end that arrives after another file was requested belongs to the replaced file;
    // advancing on it would skip the file the user just chose.
    const bool endedKnown = endedFileUrl.isValid() && !endedFileUrl.isEmpty();
    return endedKnown && !m_lastRequestedFile.isEmpty() && !isSameFile(endedFileUrl, m_lastRequestedFile);
}

void PlaybackCoordinator::onPlaybackFinished(const QUrl &finishedFileUrl)
{
    PlaylistModel *model = playlist();
    if (!model || isStale(finishedFileUrl))
        return;
    m_failedPaths.clear();
    // Set before the advance: a file the mode plays next (or again) clears it on its request.
    setRequestedFileEnded(true);
    model->advanceForPlaybackCompletionFromFile(finishedFileUrl);
}

void PlaybackCoordinator::onPlaybackFailed(const QUrl &failedFileUrl)
{
    PlaylistModel *model = playlist();
    if (!model || isStale(failedFileUrl))
        return;
    const QUrl failed =
        failedFileUrl.isValid() && !failedFileUrl.isEmpty() ? failedFileUrl : m_lastRequestedFile;
    const QString failedPath = normalizedPathFromUrl(failed);
    if (!failedPath.isEmpty())
        m_failedPaths.insert(failedPath);
    if (model->playbackMode() == PlaylistModel::SingleLoopPlayback)
        return;
    const QStringList listed = model->sourcePaths();
    const bool everyFileFailed = std::all_of(listed.cbegin(), listed.cend(), [this](const QString &path) {
        return m_failedPaths.contains(normalizedPathFromUrl(QUrl::fromLocalFile(path)));
    });
    if (everyFileFailed)
        return;
    model->advanceForPlaybackCompletionFromFile(failed);
}
