// Per-extension file-association entries of the current user, on the registry store.
#pragma once

#include <QString>

namespace platform {
class RegistryStore;
}

namespace windows_assoc {

// "HKEY_CURRENT_USER\Software\Classes": every class entry is written here directly, never
// through the merged class view, which could land in a machine-wide store.
QString userClassesKey();
// The extension's class key ("...\Software\Classes\.mp4"); its default value is the class default.
QString extensionClassKey(const QString &dottedExtension);
// The shell's per-user choice for the extension ("...\FileExts\.mp4\UserChoice").
QString userChoiceKey(const QString &dottedExtension);
// "\"<executable>\" \"%1\"".
QString openCommand(const QString &executablePath);

// Writes the extension's class default, its OpenWithProgIds and the ProgId class (command,
// description, icon). False, with error "setAsDefault failed", when any write or flush failed.
bool setAsDefault(platform::RegistryStore &store, const QString &progId, const QString &executablePath,
                  const QString &extension, const QString &description, const QString &iconValue,
                  QString *error);

// The user choice's trimmed ProgId, empty when absent. False, with error
// "read UserChoice failed", when the store reports an error.
bool readUserChoiceProgId(platform::RegistryStore &store, const QString &extension, QString *progId,
                          QString *error);

// Deletes the extension's UserChoice key; true only when it existed and was deleted, else
// error "clear UserChoice failed".
bool clearUserChoice(platform::RegistryStore &store, const QString &extension, QString *error);

} // namespace windows_assoc
