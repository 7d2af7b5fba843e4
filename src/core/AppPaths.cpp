// Application paths: computed afresh on every call from Qt's standard locations and the
// application identity, so they are safe on any thread once start-up has set the identity.
#include "core/AppPaths.h"

#include "core/Log.h"
#include "tvx_build_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifndef Q_OS_WIN

QString folderProblem(const QString &path, bool followLinks)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    const int rc = followLinks ? ::stat(native.constData(), &info) : ::lstat(native.constData(), &info);
    if (rc != 0)
        return QStringLiteral("cannot be examined (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("is a symbolic link");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("is not a folder");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("belongs to user id %1").arg(static_cast<qulonglong>(info.st_uid));
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("is writable by other users (mode %1)")
            .arg(static_cast<uint>(info.st_mode & 07777), 4, 8, QLatin1Char('0'));
    return QString();
}

// Refusals are logged once per folder and reason: the paths are computed on every call.
void logRefusal(const QString &path, const QString &problem)
{
    static QMutex mutex;
    static QSet<QString> logged;
    const QMutexLocker lock(&mutex);
    const QString key = path + QLatin1Char('\n') + problem;
    if (logged.contains(key))
        return;
    logged.insert(key);
    TVX_LOG_ERROR << "[Paths] refusing folder" << path << ":" << problem;
}

// A level below a private root: made 0700 when missing; an existing one must be a real folder
// of this user that nobody else can write, or the files put there could be swapped.
bool makePrivateLevel(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        logRefusal(
            path, QStringLiteral("cannot be created (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    const QString problem = folderProblem(path, false);
    if (!problem.isEmpty()) {
        logRefusal(path, problem);
        return false;
    }
    return true;
}

// A root may be a symbolic link (a cache folder moved to another disk), but what it leads to
// must be private.
bool usableRoot(const QString &root, bool create)
{
    if (root.isEmpty())
        return false;
    if (create && !QFileInfo::exists(root)) {
        QDir().mkpath(QFileInfo(root).absolutePath());
        ::mkdir(QFile::encodeName(root).constData(), 0700);
    }
    const QString problem = folderProblem(root, true);
    if (!problem.isEmpty()) {
        logRefusal(root, problem);
        return false;
    }
    return true;
}

// The last resort: a folder of this process's own making in the shared temporary folder.
// mkdtemp creates it 0700 under a name nobody can predict, so nobody can have planted it.
QString sessionFallbackRoot()
{
    static QMutex mutex;
    static QString root;
    const QMutexLocker lock(&mutex);
    if (root.isEmpty()) {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/Tavrixo-XXXXXX"));
        if (::mkdtemp(pattern.data()))
            root = clean(QFile::decodeName(pattern));
    }
    return root;
}

QString xdgRuntimeDir()
{
    const QString dir = clean(QFile::decodeName(qgetenv("XDG_RUNTIME_DIR")));
    return QDir::isAbsolutePath(dir) ? dir : QString();
}

// The first result of tryRoot over the roots a private folder may live under, best first,
// each checked afresh; the last-resort folder is only made when nothing else would do.
template <typename TryRoot> QString firstPrivateRoot(TryRoot tryRoot)
{
    const QString cache = standardLocation(QStandardPaths::GenericCacheLocation);
    if (usableRoot(cache, true)) {
        const QString result = tryRoot(cache);
        if (!result.isEmpty())
            return result;
    }
    const QString runtime = xdgRuntimeDir();
    if (!runtime.isEmpty() && usableRoot(runtime, false)) {
        const QString result = tryRoot(runtime);
        if (!result.isEmpty())
            return result;
    }
    const QString fallback = sessionFallbackRoot();
    return fallback.isEmpty() ? QString() : tryRoot(fallback);
}

QString makePrivatePath(const QString &root, const QString &relative)
{
    QString path = root;
    for (const QString &level : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (level == QLatin1String("."))
            continue;
        if (level == QLatin1String(".."))
            return QString();
        path = join(path, level);
        if (!makePrivateLevel(path))
            return QString();
    }
    return clean(path);
}

#endif

#ifndef Q_OS_WIN

struct XdgHome
{
    const char *variable;
    const char *defaultUnderHome;
};

// The variable a standard location is read from, with the default under the home folder.
XdgHome xdgHomeOf(QStandardPaths::StandardLocation type)
{
    switch (type) {
    case QStandardPaths::GenericDataLocation:
    case QStandardPaths::AppDataLocation:
    case QStandardPaths::AppLocalDataLocation:
    case QStandardPaths::FontsLocation:
    case QStandardPaths::ApplicationsLocation:
        return {"XDG_DATA_HOME", ".local/share"};
    case QStandardPaths::GenericCacheLocation:
    case QStandardPaths::CacheLocation:
        return {"XDG_CACHE_HOME", ".cache"};
    case QStandardPaths::GenericConfigLocation:
    case QStandardPaths::ConfigLocation:
    case QStandardPaths::AppConfigLocation:
        return {"XDG_CONFIG_HOME", ".config"};
    default:
        return {nullptr, nullptr};
    }
}

#endif

} // namespace

QStringList dropRelativeXdgVariables()
{
    QStringList dropped;
#ifndef Q_OS_WIN
    for (const char *name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty() && !value.startsWith('/')) {
            qunsetenv(name);
            dropped << QString::fromLatin1(name);
        }
    }
    for (const char *name : {"XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
        const QByteArray value = qgetenv(name);
        if (value.isEmpty())
            continue;
        QByteArrayList kept;
        for (const QByteArray &entry : value.split(':')) {
            if (entry.startsWith('/'))
                kept << entry;
        }
        if (kept.size() == value.split(':').size())
            continue;
        // Without an absolute entry the variable is as good as unset: its defaults apply.
        if (kept.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, kept.join(':'));
        dropped << QString::fromLatin1(name);
    }
#endif
    return dropped;
}

QString standardLocation(QStandardPaths::StandardLocation type)
{
    const QString located = clean(QStandardPaths::writableLocation(type));
#ifndef Q_OS_WIN
    if (located.isEmpty() || QDir::isAbsolutePath(located))
        return located;
    const XdgHome home = xdgHomeOf(type);
    if (!home.variable)
        return located;
    // Qt put the relative value first and the application's own levels after it.
    const QString value = clean(QFile::decodeName(qgetenv(home.variable)));
    const QString levels =
        !value.isEmpty() && located.startsWith(value) ? located.mid(value.size()) : QString();
    return clean(QDir::homePath() + QLatin1Char('/') + QLatin1String(home.defaultUnderHome) + levels);
#else
    return located;
#endif
}

QString privateFolderProblem(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return QString();
#else
    return folderProblem(path, true);
#endif
}

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
#ifndef Q_OS_WIN
    return firstPrivateRoot([](const QString &root) { return root; });
#else
    QString root = QStandardPaths::writableLocation(QStandardPaths::TempLocation).trimmed();
    if (root.isEmpty())
        root = QDir::tempPath().trimmed();
    return QDir::fromNativeSeparators(root);
#endif
}

QString tempDirPath(const QString &subDir)
{
    const QString name = subDir.trimmed();
#ifndef Q_OS_WIN
    if (QDir::isAbsolutePath(name))
        return QString();
    const QString relative = QDir::fromNativeSeparators(name);
    return firstPrivateRoot([&relative](const QString &root) { return makePrivatePath(root, relative); });
#else
    const QString root = tempRootPath();
    if (name.isEmpty()) {
        makeFolder(root);
        return root;
    }
    const QString dir = clean(join(root, name));
    makeFolder(dir);
    return dir;
#endif
}

QString tempFilePath(const QString &fileName)
{
    return join(tempRootPath(), fileName);
}

QString runtimeDirPath()
{
#ifdef Q_OS_WIN
    return tempRootPath();
#else
    const QString runtime = xdgRuntimeDir();
    if (!runtime.isEmpty() && usableRoot(runtime, false))
        return runtime;
    return tempDirPath(QStringLiteral("Tavrixo/runtime"));
#endif
}

QString homePath()
{
    return clean(QDir::homePath());
}

QString desktopPath()
{
    const QString desktop = standardLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        return homePath();
    return clean(desktop);
}

QString appDataRootPath()
{
    const QString base = standardLocation(QStandardPaths::AppLocalDataLocation);
    return applyChannelSuffixForAppDataPath(base);
}

QString ensureAppDataRootPath()
{
    const QString root = appDataRootPath();
#ifndef Q_OS_WIN
    // It holds the account's token and the sign-in pages' cookies: made private to the user.
    if (!QFileInfo::exists(root)) {
        makeFolder(QFileInfo(root).absolutePath());
        ::mkdir(QFile::encodeName(root).constData(), 0700);
    }
#else
    makeFolder(root);
#endif
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
