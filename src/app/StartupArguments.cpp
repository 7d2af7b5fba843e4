// Picks the start-up file from the command line.
#include "app/StartupArguments.h"

#include <QFileInfo>
#include <QUrl>

namespace app {

namespace {

// The local path an argument names, or empty when it names no local file at all.
QString localPathOf(const QString &text)
{
    const QUrl url(text, QUrl::TolerantMode);
    if (url.isValid() && url.isLocalFile())
        return url.toLocalFile();
    // A one-letter scheme is a Windows drive, not a URL.
    if (url.isValid() && url.scheme().size() > 1)
        return QString();
    return text;
}

} // namespace

QString startupFileUrl(const QStringList &args)
{
    QString refused;
    for (int i = 1; i < args.size(); ++i) {
        const QString text = args.at(i).trimmed();
        if (text.isEmpty())
            continue;
        const QString path = localPathOf(text);
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (info.exists() && info.isFile())
            return QUrl::fromLocalFile(info.absoluteFilePath()).toString();
        if (refused.isEmpty() && !text.startsWith(QLatin1Char('-')))
            refused = QUrl::fromLocalFile(info.absoluteFilePath()).toString();
    }
    return refused;
}

} // namespace app
