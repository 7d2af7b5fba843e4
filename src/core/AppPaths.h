// Every folder and file path the program uses outside the resource bundle.
#pragma once

#include <QString>

namespace app {

// The build-wide entry scope, trimmed and lower-cased ("main" in this build).
QString packageEntryScope();

QString applicationDirPath();
QString applicationFilePath();
QString applicationDirFilePath(const QString &fileName);

QString tempRootPath();
QString tempDirPath(const QString &subDir = QString()); // creates the returned folder
QString tempFilePath(const QString &fileName);

QString desktopPath();
QString homePath();

QString appDataRootPath();
QString ensureAppDataRootPath();                          // creates the root
QString appDataFilePath(const QString &fileName);         // creates the root only
QString appDataDirPath(const QString &subDir = QString()); // creates the root and the folder

QString desktopOutputRootPath();
QString ensureDesktopOutputRootPath();                            // creates the root
QString desktopOutputDirPath(const QString &subDir = QString()); // creates the root and the folder

// Search of the executable search path: name + ".exe" first, then the bare name.
QString findExecutablePath(const QString &name);

} // namespace app
