// Application paths: computed afresh on every call from Qt's standard locations and the
// application identity, so they are safe on any thread once start-up has set the identity.
#include "core/AppPaths.h"

#include "tvx_build_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace app {
namespace {

QString clean(const QString &path)
{
    return QDir::fromNativeSeparators(path.trimmed());
}

QString join(const QString &dir, const QString &name)
{
    return QDir(dir).filePath(name);
}

void makeFolder(const QString &path)
{
    // The result is deliberately not examined: callers get the path either way and fail
    // later, with their own message, when they try to write into it.
    QDir().mkpath(path);
}

QString resolveAppDirectoryName()
{
    const QString name = QCoreApplication::applicationName().trimmed();
    return name.isEmpty() ? QStringLiteral("Tavrixo") : name;
}

QString applyChannelSuffixForAppDataPath(const QString &path)
{
    const QString scope = packageEntryScope();
    if (scope.isEmpty() || scope == QLatin1String("main"))
        return path;
    return path + QStringLiteral("(%1)").arg(scope);
}

} // namespace

QString packageEntryScope()
{
    return QString::fromUtf8(TVX_ENTRY_SCOPE).trimmed().toLower();
}

QString applicationDirPath()
{
    return clean(QCoreApplication::applicationDirPath());
}

QString applicationFilePath()
{
    return clean(QCoreApplication::applicationFilePath());
}

QString applicationDirFilePath(const QString &fileName)
{
    return join(applicationDirPath(), fileName);
}

QString tempRootPath()
{
    QString root = QStandardPaths::writableLocation(QStandardPaths::TempLocation).trimmed();
    if (root.isEmpty())
        root = QDir::tempPath().trimmed();
    return QDir::fromNativeSeparators(root);
}

QString tempDirPath(const QString &subDir)
{
    const QString name = subDir.trimmed();
    const QString root = tempRootPath();
    if (name.isEmpty()) {
        makeFolder(root);
        return root;
    }
    const QString dir = clean(join(root, name));
    makeFolder(dir);
    return dir;
}

QString tempFilePath(const QString &fileName)
{
    return join(tempRootPath(), fileName);
}

QString homePath()
{
    return clean(QDir::homePath());
}

QString desktopPath()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).trimmed();
    if (desktop.isEmpty())
        return homePath();
    return clean(desktop);
}

QString appDataRootPath()
{
    const QString base = clean(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    return applyChannelSuffixForAppDataPath(base);
}

QString ensureAppDataRootPath()
{
    const QString root = appDataRootPath();
    makeFolder(root);
    return root;
}

QString appDataFilePath(const QString &fileName)
{
    return join(ensureAppDataRootPath(), fileName);
}

QString appDataDirPath(const QString &subDir)
{
    const QString dir = join(ensureAppDataRootPath(), subDir);
    makeFolder(dir);
    return dir;
}

QString desktopOutputRootPath()
{
    return clean(join(desktopPath(), resolveAppDirectoryName()));
}

QString ensureDesktopOutputRootPath()
{
    const QString root = desktopOutputRootPath();
    makeFolder(root);
    return root;
}

QString desktopOutputDirPath(const QString &subDir)
{
    const QString root = ensureDesktopOutputRootPath();
    if (subDir.trimmed().isEmpty())
        return root;
    // The folder created is the trimmed path that is returned, so a name with trailing
    // blanks never leaves a second, blank-suffixed folder behind.
    const QString dir = clean(join(root, subDir));
    makeFolder(dir);
    return dir;
}

QString findExecutablePath(const QString &name)
{
    QString found = QStandardPaths::findExecutable(name + QStringLiteral(".exe"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name);
    return clean(found);
}

} // namespace app
