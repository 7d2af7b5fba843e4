// The engine's read side (tracks, audio devices, media information, folder scan) and subtitle loading.
#include "player/MpvEngine.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "player/MpvCore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

const mpv_node *findNodeMapValue(const mpv_node *node, const char *key)
{
    if (!node || node->format != MPV_FORMAT_NODE_MAP || !node->u.list)
        return nullptr;
    for (int i = 0; i < node->u.list->num; ++i) {
        if (node->u.list->keys[i] && std::strcmp(node->u.list->keys[i], key) == 0)
            return &node->u.list->values[i];
    }
    return nullptr;
}

QString nodeToString(const mpv_node *node, const QString &fallback)
{
    if (!node)
        return fallback;
    switch (node->format) {
    case MPV_FORMAT_INT64:
        return QString::number(node->u.int64);
    case MPV_FORMAT_DOUBLE:
        return QString::number(node->u.double_, 'g', 6);
    case MPV_FORMAT_STRING:
        return node->u.string ? QString::fromUtf8(node->u.string) : fallback;
    default:
        return fallback;
    }
}

bool nodeToBool(const mpv_node *node)
{
    if (!node)
        return false;
    if (node->format == MPV_FORMAT_FLAG)
        return node->u.flag != 0;
    if (node->format == MPV_FORMAT_INT64)
        return node->u.int64 != 0;
    return false;
}

QVariant nodeToVariant(const mpv_node *node)
{
    if (!node)
        return QVariant();
    switch (node->format) {
    case MPV_FORMAT_STRING:
        return node->u.string ? QVariant(QString::fromUtf8(node->u.string)) : QVariant();
    case MPV_FORMAT_FLAG:
        return QVariant(node->u.flag != 0);
    case MPV_FORMAT_INT64:
        return QVariant(static_cast<qlonglong>(node->u.int64));
    case MPV_FORMAT_DOUBLE:
        return QVariant(node->u.double_);
    case MPV_FORMAT_NODE_ARRAY: {
        QVariantList list;
        if (node->u.list) {
            for (int i = 0; i < node->u.list->num; ++i)
                list.append(nodeToVariant(&node->u.list->values[i]));
        }
        return list;
    }
    case MPV_FORMAT_NODE_MAP: {
        QVariantMap map;
        if (node->u.list) {
            for (int i = 0; i < node->u.list->num; ++i) {
                if (node->u.list->keys[i])
                    map.insert(QString::fromUtf8(node->u.list->keys[i]),
                               nodeToVariant(&node->u.list->values[i]));
            }
        }
        return map;
    }
    default:
        return QVariant();
    }
}

QString fileNameFromTrackLabelPath(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return QString();
    if (t.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        const QUrl url(t, QUrl::TolerantMode);
        if (url.isLocalFile())
            t = url.toLocalFile();
    }
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QFileInfo(t).fileName();
}

bool isLikelyWindowsLocalPath(const QString &path)
{
    return !QFileInfo(path).isRelative() || path.startsWith(QLatin1String("\\\\"));
}

bool refreshSubtitleMirrorFile(const QString &source, const QString &target)
{
    const QFileInfo src(source);
    const QFileInfo dst(target);
    if (dst.exists() && dst.size() == src.size() && !(dst.lastModified() < src.lastModified()))
        return true;
    QDir().mkpath(dst.absolutePath());
    if (dst.exists() && !QFile::remove(target)) {
        TVX_LOG_WARN << "[mpv] failed to remove subtitle mirror:" << target;
        return false;
    }
    if (!QFile::copy(source, target)) {
        TVX_LOG_WARN << "[mpv] failed to copy subtitle mirror. source=" << source << "target=" << target;
        return false;
    }
    return true;
}

QString idxSidecarPath(const QFileInfo &info)
{
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".idx"));
}

QString createAsciiSubtitleMirrorPath(const QFileInfo &info)
{
    if (!info.exists())
        return QString();
    const QString key = info.absoluteFilePath() + QLatin1Char('#') + QString::number(info.size()) +
                        QLatin1Char('#') + QString::number(info.lastModified().toMSecsSinceEpoch());
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex());
    const QString folder = MpvEngine::subtitleMirrorBasePath();
    QDir().mkpath(folder);
    const QString suffix = info.suffix().toLower();
    const QString mirror =
        QDir(folder).filePath(suffix.isEmpty() ? digest : digest + QLatin1Char('.') + suffix);
    if (!refreshSubtitleMirrorFile(info.absoluteFilePath(), mirror))
        return QString();
    if (suffix == QLatin1String("sub")) {
        const QString idx = idxSidecarPath(info);
        if (QFileInfo::exists(idx) &&
            !refreshSubtitleMirrorFile(idx, QDir(folder).filePath(digest + QStringLiteral(".idx"))))
            TVX_LOG_WARN << "[mpv] failed to mirror .idx sidecar for subtitle:" << idx;
    }
    return mirror;
}

QStringList buildSubtitlePathCandidates(const QString &path)
{
    QStringList candidates;
    auto add = [&candidates](const QString &c) {
        if (!c.isEmpty() && !candidates.contains(c, Qt::CaseSensitive))
            candidates.append(c);
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        add(path);
        return candidates;
    }
    const QString absolute = info.absoluteFilePath();
    add(QDir::toNativeSeparators(absolute));
    add(QDir::fromNativeSeparators(absolute));
    add(QUrl::fromLocalFile(absolute).toString());
    bool nonAscii = false;
    for (const QChar c : absolute) {
        if (c.unicode() > 0x7f) {
            nonAscii = true;
            break;
        }
    }
    if (nonAscii) {
        const QString mirror = createAsciiSubtitleMirrorPath(info);
        if (!mirror.isEmpty()) {
            add(QDir::toNativeSeparators(mirror));
            add(QDir::fromNativeSeparators(mirror));
            TVX_LOG_INFO << "[mpv] added ASCII subtitle mirror candidate:" << mirror;
        }
    }
    return candidates;
}

int runSubAddCommand(mpv_handle *handle, const QString &path, bool select, bool useLocal8Bit)
{
    const QByteArray bytes = useLocal8Bit ? path.toLocal8Bit() : path.toUtf8();
    const char *args[] = {"sub-add", bytes.constData(), select ? "select" : nullptr, nullptr};
    return mpv_command(handle, args);
}

} // namespace

QString MpvEngine::subtitleMirrorBasePath()
{
    return QDir(app::tempRootPath()).filePath(QStringLiteral("Tavrixo/mpv_subtitles"));
}

QVariant MpvEngine::nodeProperty(const char *name) const
{
    if (!m_core)
        return QVariant();
    mpv_node node;
    if (mpv_get_property(m_core->handle(), name, MPV_FORMAT_NODE, &node) < 0)
        return QVariant();
    const QVariant value = nodeToVariant(&node);
    mpv_free_node_contents(&node);
    return value;
}

QVariantList MpvEngine::availableTracksByType(const QString &type) const
{
    QVariantList result;
    if (!m_core)
        return result;
    mpv_node node;
    if (mpv_get_property(m_core->handle(), "track-list", MPV_FORMAT_NODE, &node) < 0)
        return result;
    if (node.format == MPV_FORMAT_NODE_ARRAY && node.u.list) {
        const bool audio = type == QLatin1String("audio");
        const QString kind =
            i18n::t(audio ? QStringLiteral("player.track.audio") : QStringLiteral("player.track.subtitle"));
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node *entry = &node.u.list->values[i];
            if (nodeToString(findNodeMapValue(entry, "type"), QString()) != type)
                continue;
            const mpv_node *idNode = findNodeMapValue(entry, "id");
            qint64 id = -1;
            if (idNode && idNode->format == MPV_FORMAT_INT64)
                id = idNode->u.int64;
            else if (idNode && idNode->format == MPV_FORMAT_DOUBLE)
                id = static_cast<qint64>(idNode->u.double_);
            else
                continue;
            if (id < 0)
                continue;
            const QString title = nodeToString(findNodeMapValue(entry, "title"), QString());
            const QString external = nodeToString(findNodeMapValue(entry, "external-filename"), QString());
            const QString lang = nodeToString(findNodeMapValue(entry, "lang"), QString());
            const bool selected = nodeToBool(findNodeMapValue(entry, "selected"));

            QString label = title;
            if (!audio) {
                label = fileNameFromTrackLabelPath(external);
                if (label.isEmpty())
                    label = fileNameFromTrackLabelPath(title);
                if (label.isEmpty())
                    label = title.trimmed();
            }
            if (label.isEmpty() && !lang.isEmpty())
                label = i18n::t(QStringLiteral("player.track.with_lang"),
                                {{QStringLiteral("type"), kind}, {QStringLiteral("lang"), lang}});
            if (label.isEmpty())
                label = i18n::t(QStringLiteral("player.track.with_index"),
                                {{QStringLiteral("type"), kind}, {QStringLiteral("id"), id}});
            result.append(QVariantMap{{QStringLiteral("id"), static_cast<int>(id)},
                                      {QStringLiteral("title"), label},
                                      {QStringLiteral("selected"), selected}});
        }
    }
    mpv_free_node_contents(&node);
    return result;
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
    if (!m_core)
        return false;
    mpv_node node;
    if (mpv_get_property(m_core->handle(), "track-list", MPV_FORMAT_NODE, &node) < 0)
        return false;
    bool found = false;
    if (node.format == MPV_FORMAT_NODE_ARRAY && node.u.list) {
        for (int i = 0; i < node.u.list->num && !found; ++i) {
            const mpv_node *entry = &node.u.list->values[i];
            if (nodeToString(findNodeMapValue(entry, "type"), QString()) == QLatin1String("video") &&
                nodeToBool(findNodeMapValue(entry, "albumart")))
                found = true;
        }
    }
    mpv_free_node_contents(&node);
    return found;
}

QVariantList MpvEngine::availableAudioOutputDevices() const
{
    QVariantList result;
    if (!m_core)
        return result;
    mpv_node node;
    if (mpv_get_property(m_core->handle(), "audio-device-list", MPV_FORMAT_NODE, &node) < 0)
        return result;
    result.append(
        QVariantMap{{QStringLiteral("id"), QStringLiteral("auto")},
                    {QStringLiteral("name"), i18n::t(QStringLiteral("player.audio_device.system_default"))}});
    if (node.format == MPV_FORMAT_NODE_ARRAY && node.u.list) {
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node *entry = &node.u.list->values[i];
            const QString name = nodeToString(findNodeMapValue(entry, "name"), QString());
            if (name.isEmpty())
                continue;
            QString description = nodeToString(findNodeMapValue(entry, "description"), QString());
            if (description.isEmpty())
                description = name;
            result.append(QVariantMap{{QStringLiteral("id"), name}, {QStringLiteral("name"), description}});
        }
    }
    mpv_free_node_contents(&node);
    return result;
}

QVariantMap MpvEngine::mediaInfo() const
{
    QVariantMap info;
    if (!m_core)
        return info;
    const int width = static_cast<int>(intProperty("width", 0));
    const int height = static_cast<int>(intProperty("height", 0));
    QString audioCodec = stringProperty("audio-codec-name");
    if (audioCodec.isEmpty())
        audioCodec = stringProperty("audio-codec");
    info.insert(QStringLiteral("path"), stringProperty("path"));
    info.insert(QStringLiteral("mediaTitle"), stringProperty("media-title"));
    info.insert(QStringLiteral("fileFormat"), stringProperty("file-format"));
    info.insert(QStringLiteral("duration"), m_duration);
    info.insert(QStringLiteral("width"), width);
    info.insert(QStringLiteral("height"), height);
    info.insert(QStringLiteral("resolution"),
                width > 0 && height > 0 ? QStringLiteral("%1x%2").arg(width).arg(height) : QString());
    info.insert(QStringLiteral("fps"), doubleProperty("estimated-vf-fps", 0.0));
    info.insert(QStringLiteral("videoCodec"), stringProperty("video-codec"));
    info.insert(QStringLiteral("audioCodec"), audioCodec);
    info.insert(QStringLiteral("hasAlbumArt"), hasAlbumArtTrack());
    info.insert(QStringLiteral("audioTracks"), availableAudioTracks());
    info.insert(QStringLiteral("subtitleTracks"), availableSubtitleTracks());
    info.insert(QStringLiteral("audioOutputDevices"), availableAudioOutputDevices());
    info.insert(QStringLiteral("metadata"), nodeProperty("metadata"));
    info.insert(QStringLiteral("videoParams"), nodeProperty("video-params"));
    info.insert(QStringLiteral("audioParams"), nodeProperty("audio-params"));
    info.insert(QStringLiteral("trackList"), nodeProperty("track-list"));
    info.insert(QStringLiteral("chapterList"), nodeProperty("chapter-list"));
    info.insert(QStringLiteral("selectedAudioTrackId"), m_audioTrackId);
    info.insert(QStringLiteral("selectedSubtitleTrackId"), m_subtitleTrackId);
    info.insert(QStringLiteral("selectedSecondarySubtitleTrackId"), m_secondarySubtitleTrackId);
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

bool MpvEngine::commandAddSubtitleFile(const QString &rawPath, bool selectAsSecondary)
{
    const QString path = rawPath.trimmed();
    if (path.isEmpty()) {
        TVX_LOG_WARN << "[mpv] sub-add skipped: empty path";
        return false;
    }
    if (!m_core)
        return false;
    const QFileInfo info(path);
    if (info.exists() && !info.isReadable()) {
        TVX_LOG_WARN << "[mpv] subtitle file is not readable:" << path;
        return false;
    }
    const bool select = !selectAsSecondary;
    int rc = MPV_ERROR_GENERIC;
    const QStringList candidates = buildSubtitlePathCandidates(path);
    for (const QString &candidate : candidates) {
        rc = runSubAddCommand(m_core->handle(), candidate, select, false);
        if (rc >= 0)
            return true;
        if (isLikelyWindowsLocalPath(candidate)) {
            rc = runSubAddCommand(m_core->handle(), candidate, select, true);
            if (rc >= 0) {
                TVX_LOG_INFO << "[mpv] sub-add succeeded with local8bit path fallback:" << candidate;
                return true;
            }
        }
        TVX_LOG_WARN << "[mpv] sub-add attempt failed. ret=" << rc << "error=" << mpv_error_string(rc)
                     << "candidate=" << candidate;
    }
    if (info.exists() && info.suffix().compare(QLatin1String("sub"), Qt::CaseInsensitive) == 0) {
        const QString idx = idxSidecarPath(info);
        if (!QFileInfo::exists(idx))
            TVX_LOG_WARN << "[mpv] .sub file detected without matching .idx sidecar:" << idx;
    }
    TVX_LOG_WARN << "[mpv] sub-add failed after all attempts. ret=" << rc << "error=" << mpv_error_string(rc)
                 << "path=" << path;
    return false;
}
