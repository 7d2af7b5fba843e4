// Per-extension association writes and the user-choice entries.
#include "system/WindowsAssoc.h"

#include "platform/RegistryStore.h"

namespace windows_assoc {
namespace {

void setError(QString *error, const char *text)
{
    if (error)
        *error = QString::fromLatin1(text);
}

bool setAsDefaultInternal(platform::RegistryStore &store, const QString &progId,
                          const QString &executablePath, const QString &extension, const QString &description,
                          const QString &iconValue)
{
    const QString extKey = extensionClassKey(extension);
    const QString openWithKey = extKey + QStringLiteral("\\OpenWithProgIds");
    bool ok = store.write(extKey, QString(), progId);
    ok = store.write(openWithKey, QString(), progId) && ok;
    ok = store.write(openWithKey, progId, QString()) && ok;
    ok = store.write(extKey, progId, progId) && ok;
    ok = store.flush() && ok;

    const QString progIdKey = userClassesKey() + QLatin1Char('\\') + progId;
    ok = store.write(progIdKey + QStringLiteral("\\Shell\\Open\\Command"), QString(),
                     openCommand(executablePath)) &&
         ok;
    ok = store.write(progIdKey, QString(), description) && ok;
    ok = store.write(progIdKey + QStringLiteral("\\DefaultIcon"), QString(), iconValue) && ok;
    ok = store.flush() && ok;
    return ok;
}

} // namespace

QString userClassesKey()
{
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes");
}

QString extensionClassKey(const QString &dottedExtension)
{
    return userClassesKey() + QLatin1Char('\\') + dottedExtension;
}

QString userChoiceKey(const QString &dottedExtension)
{
    return QStringLiteral(
               "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\") +
           dottedExtension + QStringLiteral("\\UserChoice");
}

QString openCommand(const QString &executablePath)
{
    return QStringLiteral("\"%1\" \"%2\"").arg(executablePath, QStringLiteral("%1"));
}

bool setAsDefault(platform::RegistryStore &store, const QString &progId, const QString &executablePath,
                  const QString &extension, const QString &description, const QString &iconValue,
                  QString *error)
{
    if (setAsDefaultInternal(store, progId, executablePath, extension, description, iconValue))
        return true;
    setError(error, "setAsDefault failed");
    return false;
}

bool readUserChoiceProgId(platform::RegistryStore &store, const QString &extension, QString *progId,
                          QString *error)
{
    QString value;
    if (!store.read(userChoiceKey(extension), QStringLiteral("ProgId"), &value)) {
        if (progId)
            progId->clear();
        setError(error, "read UserChoice failed");
        return false;
    }
    if (progId)
        *progId = value.trimmed();
    return true;
}

bool clearUserChoice(platform::RegistryStore &store, const QString &extension, QString *error)
{
    const QString key = userChoiceKey(extension);
    bool exists = false;
    if (store.keyExists(key, &exists) && exists && store.removeKey(key) && store.flush())
        return true;
    setError(error, "clear UserChoice failed");
    return false;
}

} // namespace windows_assoc
