// The engine's read side (tracks, audio devices, media information, folder scan) and subtitle loading.
#include "player/MpvEngine.h"

#include "core/Log.h"
#include "media/MediaFormats.h"
#include "player/MpvSubtitleFile.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvNames.h"

QVariantList MpvEngine::availableTracksByType(const QString &type) const
{
    if (!m_core)
        return QVariantList();
    return m_tracks.tracksByType(type);
}

QVariantList MpvEngine::availableAudioTracks() const
{
    return availableTracksByType(QStringLiteral("audio"));
}

QVariantList MpvEngine::availableSubtitleTracks() const
{
    return availableTracksByType(QStringLiteral("sub"));
}

bool MpvEngine::hasAlbumArtTrack() const
{
    return m_core && m_tracks.hasAlbumArt();
}

QVariantList MpvEngine::availableAudioOutputDevices() const
{
    const QVariant devices = nodeProperty(mpvname::kAudioDeviceList);
    if (!devices.isValid())
        return QVariantList();
    return MpvTrackList::audioOutputDevices(devices);
}

QVariantMap MpvEngine::mediaInfo() const
{
    QVariantMap info;
    if (!m_core)
        return info;
    const int width = static_cast<int>(intProperty(mpvname::kWidth, 0));
    const int height = static_cast<int>(intProperty(mpvname::kHeight, 0));
    QString audioCodec = stringProperty(mpvname::kAudioCodecName);
    if (audioCodec.isEmpty())
        audioCodec = stringProperty(mpvname::kAudioCodec);
    info.insert(QStringLiteral("path"), stringProperty(mpvname::kPath));
    info.insert(QStringLiteral("mediaTitle"), stringProperty(mpvname::kMediaTitle));
    info.insert(QStringLiteral("fileFormat"), stringProperty(mpvname::kFileFormat));
    info.insert(QStringLiteral("duration"), m_duration);
    info.insert(QStringLiteral("width"), width);
    info.insert(QStringLiteral("height"), height);
    info.insert(QStringLiteral("resolution"),
                width > 0 && height > 0 ? QStringLiteral("%1x%2").arg(width).arg(height) : QString());
    info.insert(QStringLiteral("fps"), doubleProperty(mpvname::kEstimatedFps, 0.0));
    info.insert(QStringLiteral("videoCodec"), stringProperty(mpvname::kVideoCodec));
    info.insert(QStringLiteral("audioCodec"), audioCodec);
    info.insert(QStringLiteral("hasAlbumArt"), hasAlbumArtTrack());
    info.insert(QStringLiteral("audioTracks"), availableAudioTracks());
    info.insert(QStringLiteral("subtitleTracks"), availableSubtitleTracks());
    info.insert(QStringLiteral("audioOutputDevices"), availableAudioOutputDevices());
    info.insert(QStringLiteral("metadata"), nodeProperty(mpvname::kMetadata));
    info.insert(QStringLiteral("videoParams"), nodeProperty(mpvname::kVideoParams));
    info.insert(QStringLiteral("audioParams"), nodeProperty(mpvname::kAudioParams));
    info.insert(QStringLiteral("trackList"), m_tracks.tracks());
    info.insert(QStringLiteral("chapterList"), nodeProperty(mpvname::kChapterList));
    info.insert(QStringLiteral("selectedAudioTrackId"), m_settings.audioTrackId);
    info.insert(QStringLiteral("selectedSubtitleTrackId"), m_settings.subtitleTrackId);
    info.insert(QStringLiteral("selectedSecondarySubtitleTrackId"), m_settings.secondarySubtitleTrackId);
    return info;
}

QVariantList MpvEngine::collectMediaFilesInFolder(const QUrl &folderUrl) const
{
    const QString path = folderUrl.isLocalFile() ? folderUrl.toLocalFile() : folderUrl.toString();
    QVariantList result;
    for (const QString &url : media::playableFileUrlsInFolder(path))
        result.append(url);
    return result;
}

bool MpvEngine::addSubtitleFile(const QUrl &fileUrl, bool selectAsSecondary)
{
    if (!m_core && !initialize())
        return false;
    const QString path = fileUrl.isLocalFile() ? fileUrl.toLocalFile() : fileUrl.toString();
    if (path.isEmpty()) {
        TVX_LOG_WARN << "[mpv] invalid subtitle URL:" << fileUrl;
        return false;
    }
    return commandAddSubtitleFile(path, selectAsSecondary);
}

bool MpvEngine::commandAddSubtitleFile(const QString &path, bool selectAsSecondary)
{
    if (!m_core) {
        if (path.trimmed().isEmpty())
            TVX_LOG_WARN << "[mpv] sub-add skipped: empty path";
        return false;
    }
    // A secondary file must leave the primary subtitle as mpv has it now, which the published
    // subtitleTrackId may not show yet (it follows mpv one poll later). Adding a file is a
    // user's action that waits for mpv anyway, so this read may wait too.
    const QString primaryBefore = selectAsSecondary ? stringProperty(mpvname::kSubtitleId) : QString();
    if (!mpvsubtitle::add(m_core->handle(), path, !selectAsSecondary))
        return false;
    m_poll.discardPending();
    if (selectAsSecondary && !primaryBefore.isEmpty() &&
        stringProperty(mpvname::kSubtitleId) != primaryBefore)
        setMpvStringProperty(mpvname::kSubtitleId, primaryBefore);
    // The caller lists the tracks right away to find the new one; mpv announces it only with
    // the next events, so the list is read here, once.
    m_tracks.setTracks(nodeProperty(mpvname::kTrackList));
    return true;
}
