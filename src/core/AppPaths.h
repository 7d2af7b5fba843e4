// Every folder and file path the program uses outside the resource bundle.
#pragma once

#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace app {

// The XDG base-directory rules hold a relative XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_STATE_HOME or XDG_RUNTIME_DIR invalid, to be ignored, and so are relative entries of
// XDG_DATA_DIRS and XDG_CONFIG_DIRS; Qt's standard paths use them as given, relative to the
// working folder. This takes them out of the process's environment, so that Qt, the libraries
// in the process and every program it starts use the defaults (~/.local/share, ~/.config,
// ~/.cache). Returns the names of the variables it changed. Called first thing in main, before
// any thread or library reads the environment.
QStringList dropRelativeXdgVariables();

// QStandardPaths::writableLocation with the same rule, also where the environment still holds
// a relative value: every folder the program finds for the user goes through this.
QString standardLocation(QStandardPaths::StandardLocation type);

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
