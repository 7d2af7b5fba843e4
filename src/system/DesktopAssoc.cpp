#include "system/DesktopAssoc.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "media/MediaFormats.h"
#include "platform/ShellLink.h"
#include "system/SystemActions.h"

#include "core/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace desktop_assoc {
namespace {

const char kIconResource[] = ":/assets/app_icon_256.png";

} // namespace

QString desktopFileId()
{
    return scopedIdentifier(QStringLiteral("tavrixo")) + QStringLiteral(".desktop");
}

QString iconName()
{
    return QStringLiteral("tavrixo");
}

QStringList programMimeTypes()
{
    return media::claimedMimeTypeNames();
}

QString desktopEntry(const QString &applicationName, const QString &exec, const QStringList &mimeTypes)
{
    using platform::DesktopEntryLink;
    const QString program = DesktopEntryLink::quoteExecArgument(exec);
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.0\n");
    text += QStringLiteral("Name=%1\n").arg(DesktopEntryLink::escapeEntryValue(applicationName));
    text += QStringLiteral("GenericName=Media Player\n");
    text +=
        QStringLiteral("Exec=%1\n").arg(DesktopEntryLink::escapeEntryValue(program + QStringLiteral(" %f")));
    text += QStringLiteral("Icon=%1\n").arg(iconName());
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("Categories=AudioVideo;Audio;Video;Player;\n");
    text += QStringLiteral("MimeType=%1;\n").arg(mimeTypes.join(QLatin1Char(';')));
    return text;
}

QString userDesktopEntryPath()
{
    return QDir(app::standardLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("applications/") + desktopFileId());
}

bool writeUserDesktopEntry(const QString &applicationName, const QString &executablePath,
                           const QStringList &mimeTypes)
{
    const QString path = userDesktopEntryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return app::writeFileAtomically(path, desktopEntry(applicationName, executablePath, mimeTypes).toUtf8());
}

bool removeUserDesktopEntry()
{
    const QString path = userDesktopEntryPath();
    return QFile::remove(path) || !QFileInfo::exists(path);
}

bool installUserIcon()
{
    QFile source(QString::fromLatin1(kIconResource));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    const QString path = QDir(app::standardLocation(QStandardPaths::GenericDataLocation))
                             .filePath(QStringLiteral("icons/hicolor/256x256/apps/%1.png").arg(iconName()));
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool ok = app::writeFileAtomically(path, bytes);
    if (!ok)
        TVX_LOG_WARN << "[SystemActions] icon not written:" << path;
    return ok;
}

} // namespace desktop_assoc
