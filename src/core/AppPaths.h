// Every folder and file path the program uses outside the resource bundle.
#pragma once

#include <QString>

namespace app {

// The build-wide entry scope, trimmed and lower-cased ("main" in this build).
QString packageEntryScope();

QString applicationDirPath();
QString applicationFilePath();
QString applicationDirFilePath(const QString &fileName);

// The folder for the program's caches and working files. On Windows the temporary folder;
// elsewhere the shared temporary folder is open to every user, so this is the user's cache
// folder (XDG_CACHE_HOME), or failing that the runtime folder or a fresh private folder: one
// that is this user's own and writable by nobody else.
QString tempRootPath();
// Creates the returned folder; elsewhere than on Windows every level below the root is made
// 0700 and a level that is not private to the user is refused (logged) for another root.
QString tempDirPath(const QString &subDir = QString());
QString tempFilePath(const QString &fileName);

// The folder for the per-session files others must not touch (lock file, local socket): the
// temporary root on Windows; XDG_RUNTIME_DIR when it is private to the user, else a private
// 0700 folder in the user's cache folder.
QString runtimeDirPath();

// Why the folder may not hold the program's private files (not a folder, another user's,
// writable by group or others); empty when it is fit. Always empty on Windows.
QString privateFolderProblem(const QString &path);

QString desktopPath();
QString homePath();

QString appDataRootPath();
QString ensureAppDataRootPath();                           // creates the root
QString appDataFilePath(const QString &fileName);          // creates the root only
QString appDataDirPath(const QString &subDir = QString()); // creates the root and the folder

QString desktopOutputRootPath();
QString ensureDesktopOutputRootPath();                           // creates the root
QString desktopOutputDirPath(const QString &subDir = QString()); // creates the root and the folder

// Search of the executable search path: name + ".exe" first, then the bare name.
QString findExecutablePath(const QString &name);

} // namespace app
