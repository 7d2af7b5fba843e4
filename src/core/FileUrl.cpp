// File URL helper shared by every C++ caller that receives URLs from QML or the command line.
#include "core/FileUrl.h"

namespace app {

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
