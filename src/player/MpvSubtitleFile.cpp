// Subtitle loading: the forms of a path mpv is offered, and the ASCII-named mirror copies.
#include "player/MpvSubtitleFile.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "player/mpv/MpvNames.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace mpvsubtitle {

namespace {

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
    const QString folder = mirrorBasePath();
    if (folder.isEmpty())
        return QString();
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
    const char *args[] = {mpvname::kSubAdd, bytes.constData(), select ? mpvname::kSelect : mpvname::kAuto,
                          nullptr};
    return mpv_command(handle, args);
}

} // namespace

QString mirrorBasePath()
{
    return app::tempDirPath(QStringLiteral("Tavrixo/mpv_subtitles"));
}

bool add(mpv_handle *handle, const QString &rawPath, bool select)
{
    const QString path = rawPath.trimmed();
    if (path.isEmpty()) {
        TVX_LOG_WARN << "[mpv] sub-add skipped: empty path";
        return false;
    }
    if (!handle)
        return false;
    const QFileInfo info(path);
    if (info.exists() && !info.isReadable()) {
        TVX_LOG_WARN << "[mpv] subtitle file is not readable:" << path;
        return false;
    }
    int rc = MPV_ERROR_GENERIC;
    const QStringList candidates = buildSubtitlePathCandidates(path);
    for (const QString &candidate : candidates) {
        rc = runSubAddCommand(handle, candidate, select, false);
        if (rc >= 0)
            return true;
        if (isLikelyWindowsLocalPath(candidate)) {
            rc = runSubAddCommand(handle, candidate, select, true);
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

} // namespace mpvsubtitle
