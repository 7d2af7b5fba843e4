// Picks the start-up file from the command line.
#include "app/StartupArguments.h"

#include "core/FileUrl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace app {

namespace {

enum class Kind { Missing, File, Other };

// Looked up by its bytes: a name Qt cannot hold is still found.
Kind kindOf(const QByteArray &path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(QFile::decodeName(path));
    return !info.exists() ? Kind::Missing : (info.isFile() ? Kind::File : Kind::Other);
#else
    struct stat info;
    if (path.isEmpty() || ::stat(path.constData(), &info) != 0)
        return Kind::Missing;
    return S_ISREG(info.st_mode) ? Kind::File : Kind::Other;
#endif
}

QByteArray absoluteBytes(const QByteArray &path)
{
    if (QDir::isAbsolutePath(QFile::decodeName(path)))
        return path;
    return QFile::encodeName(QDir::currentPath()) + '/' + path;
}

QString urlOfPath(const QByteArray &path)
{
    if (nameIsUnreadableInSystemEncoding(path))
        return fileUrlFromLocalBytes(absoluteBytes(path));
    return QUrl::fromLocalFile(QFileInfo(QFile::decodeName(path)).absoluteFilePath()).toString();
}

// The local path an argument names read as a URL or a path, or empty when it names no local
// file at all (a URL of another scheme).
QByteArray localPathOf(const QByteArray &argument)
{
    const QUrl url(QFile::decodeName(argument), QUrl::TolerantMode);
    if (url.isValid() && url.isLocalFile()) {
#ifdef Q_OS_WIN
        return QFile::encodeName(url.toLocalFile());
#else
        return localPathBytesFromUrl(url); // its escapes may carry bytes Qt cannot hold
#endif
    }
    // A one-letter scheme is a Windows drive, not a URL.
    if (url.isValid() && url.scheme().size() > 1)
        return QByteArray();
    return argument;
}

} // namespace

QString startupFileUrl(const QByteArrayList &args)
{
    QString refused;
    for (int i = 1; i < args.size(); ++i) {
        const QByteArray given = args.at(i);
        const QByteArray trimmed = given.trimmed();
        if (trimmed.isEmpty())
            continue;
        // A file of that very name wins over any other reading of the text.
        for (const QByteArray &name : {given, trimmed}) {
            if (kindOf(name) == Kind::File)
                return urlOfPath(name);
        }
        const QByteArray path = localPathOf(trimmed);
        if (path.isEmpty())
            continue;
        if (kindOf(path) == Kind::File)
            return urlOfPath(path);
        if (refused.isEmpty() && !trimmed.startsWith('-'))
            refused = urlOfPath(path);
    }
    return refused;
}

QString startupFileUrl(const QStringList &args)
{
    QByteArrayList bytes;
    bytes.reserve(args.size());
    for (const QString &arg : args)
        bytes.append(QFile::encodeName(arg));
    return startupFileUrl(bytes);
}

} // namespace app
