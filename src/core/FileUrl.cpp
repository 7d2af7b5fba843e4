// File URL helper shared by every C++ caller that receives URLs from QML or the command line.
#include "core/FileUrl.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace app {

bool nameIsUnreadableInSystemEncoding(const QByteArray &path)
{
    return QFile::encodeName(QFile::decodeName(path)) != path;
}

QString fileUrlFromLocalBytes(const QByteArray &absolutePath)
{
    // "/" separates the levels and stays as it is; everything outside RFC 3986's unreserved
    // characters is escaped, and QUrl keeps an escape that is not UTF-8 as it is.
    return QUrl::fromEncoded("file://" + absolutePath.toPercentEncoding("/")).toString();
}

QByteArray localPathBytesFromUrl(const QUrl &url)
{
    if (!url.isValid() || !url.isLocalFile())
        return QByteArray();
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (url.host().isEmpty())
        return path;
    return "//" + url.host(QUrl::FullyEncoded).toLatin1() + path;
}

bool urlNamesUnreadableExistingFile(const QUrl &url)
{
#ifdef Q_OS_WIN
    Q_UNUSED(url)
    return false; // names are UTF-16 text there, as Qt's are
#else
    const QByteArray path = localPathBytesFromUrl(url);
    if (path.isEmpty() || !nameIsUnreadableInSystemEncoding(path))
        return false;
    struct stat info;
    return ::stat(path.constData(), &info) == 0;
#endif
}

QString localPathFromUrlOrPath(const QString &urlOrPath)
{
    const QString text = urlOrPath.trimmed();
    if (!text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return text;
    const QUrl url(text, QUrl::TolerantMode);
    if (url.isValid() && url.isLocalFile())
        return url.toLocalFile();
    return text;
}

QString fileUrlFromLocalPath(const QString &path)
{
    return QUrl::fromLocalFile(path).toString();
}

} // namespace app
