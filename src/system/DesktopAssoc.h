// The program on a freedesktop desktop: its desktop entry and the MIME types it opens.
#pragma once

#include <QString>
#include <QStringList>

namespace desktop_assoc {

// "tavrixo.desktop" (scoped like the program's other identifiers).
QString desktopFileId();
// The icon's name in the hicolor theme.
QString iconName();
// The MIME types the program claims (media's table, whose names it all opens), in order.
QStringList programMimeTypes();
// The desktop entry's text; exec is the program path, or its bare name when it is on the path.
QString desktopEntry(const QString &applicationName, const QString &exec, const QStringList &mimeTypes);
// The user's copy: "applications/<desktopFileId>" in the user's data folder (XDG_DATA_HOME).
QString userDesktopEntryPath();
// Writes the user's copy atomically; false on a failure.
bool writeUserDesktopEntry(const QString &applicationName, const QString &executablePath,
                           const QStringList &mimeTypes);
// Removes the user's copy; true when it is gone.
bool removeUserDesktopEntry();

// Puts the program's icon into the user's hicolor theme (XDG_DATA_HOME/icons), so the entries
// that name it show it even when the program was not installed; false when it is not there.
bool installUserIcon();

} // namespace desktop_assoc
