// Default-player registration of the current user and its rollback, on the registry store.
#include "system/SystemActions.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "platform/ChangeNotifier.h"
#include "platform/MimeAppsList.h"
#include "platform/RegistryStore.h"
#include "system/DesktopAssoc.h"
#include "system/WindowsAssoc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const char kEmptyBackupValue[] = "__EMPTY__";

QStringList mediaFileExtensions()
{
    QStringList out;
    for (const QString &ext : media::defaultAssociationExtensions()) {
        const QString e = ext.trimmed().toLower();
        if (!e.isEmpty())
            out << QLatin1Char('.') + e;
    }
    return out;
}

QString applicationNameOrDefault()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Tavrixo") : name;
}

QString applicationId()
{
    return scopedIdentifier(QStringLiteral("Tavrixo"));
}

QString progIdFor(const QString &dottedExtension)
{
    return scopedIdentifier(QStringLiteral("Tavrixo")) + dottedExtension;
}

// The application's own settings store (organisation, then application), as on Windows.
QString settingsKey()
{
    QString org = QCoreApplication::organizationName();
    if (org.isEmpty())
        org = QStringLiteral("Kestrane");
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\%1\\%2").arg(org, applicationNameOrDefault());
}

QString associationBackupGroup()
{
    return settingsKey() + QStringLiteral("\\DefaultPlayerPreviousProgIds_%1").arg(applicationId());
}

QString associationClassBackupGroup()
{
    return settingsKey() + QStringLiteral("\\DefaultPlayerPreviousClassProgIds_%1").arg(applicationId());
}

// Previous defaults of the MIME types in the user's "mimeapps.list", by MIME type.
QString mimeDefaultBackupGroup()
{
    return settingsKey() + QStringLiteral("\\DefaultPlayerPreviousMimeDefaults_%1").arg(applicationId());
}

QString backupValueForProgId(const QString &progId)
{
    return progId.isEmpty() ? QString::fromLatin1(kEmptyBackupValue) : progId;
}

QString progIdFromBackupValue(const QString &value)
{
    return value == QLatin1String(kEmptyBackupValue) ? QString() : value;
}

QString readCurrentClassProgId(platform::RegistryStore &store, const QString &extension, bool *ok)
{
    QString value;
    const bool readOk = store.read(windows_assoc::extensionClassKey(extension), QString(), &value);
    if (ok)
        *ok = readOk;
    return value.trimmed();
}

bool applyClassProgId(platform::RegistryStore &store, const QString &extension, const QString &progId)
{
    const QString key = windows_assoc::extensionClassKey(extension);
    const bool ok =
        progId.isEmpty() ? store.removeValue(key, QString()) : store.write(key, QString(), progId);
    return ok && store.flush();
}

// Backs up one extension's previous association unless the group already holds it.
// False when a needed backup could not be written.
bool backUpOnce(platform::RegistryStore &store, const QString &group, const QString &extension,
                const QString &previous)
{
    bool found = false;
    QString existing;
    if (!store.read(group, extension, &existing, &found))
        return false;
    if (found)
        return true;
    return store.write(group, extension, backupValueForProgId(previous));
}

// Associations the program added to MIME types whose default is the user's own choice, with
// each type's previous "Added Associations" value.
QString mimeAddedBackupGroup()
{
    return settingsKey() + QStringLiteral("\\DefaultPlayerPreviousMimeAdded_%1").arg(applicationId());
}

QString withDesktopId(const QString &value, const QString &id)
{
    QString out = value.trimmed();
    if (!out.isEmpty() && !out.endsWith(QLatin1Char(';')))
        out += QLatin1Char(';');
    return out + id + QLatin1Char(';');
}

// The value without the id: the very text that was there before the id was added when nothing
// else changed since, a null value (no entry) when no id is left.
QString withoutDesktopId(const QString &value, const QString &id, const QString &previous)
{
    QStringList ids = platform::MimeAppsList::desktopIds(value);
    ids.removeAll(id);
    if (ids == platform::MimeAppsList::desktopIds(previous))
        return previous;
    return ids.isEmpty() ? QString() : ids.join(QLatin1Char(';')) + QLatin1Char(';');
}

// The desktop's side of the registration: the program's desktop entry in the user's
// applications folder, and in the user's "mimeapps.list" the default application of every MIME
// type it opens that has none of the user's choosing. A default the user chose stays, as a
// program on Windows cannot override the user's choice; the program is only listed among that
// type's applications ("Added Associations"). Every previous value is backed up first; a type
// whose backup failed is left as it is. False, with a detail, when the entry or the list could
// not be written.
bool setDesktopDefaults(platform::RegistryStore &store, const QString &executablePath, QString *detail)
{
    using Group = platform::MimeAppsList::Group;
    const QStringList mimeTypes = desktop_assoc::programMimeTypes();
    if (!desktop_assoc::writeUserDesktopEntry(applicationNameOrDefault(), executablePath, mimeTypes)) {
        *detail = desktop_assoc::userDesktopEntryPath() + QStringLiteral("(write failed)");
        return false;
    }
    desktop_assoc::installUserIcon();
    platform::MimeAppsList list;
    if (!list.load()) {
        *detail = list.filePath() + QStringLiteral("(read failed)");
        return false;
    }
    const QString ourId = desktop_assoc::desktopFileId();
    QStringList taken;
    QStringList offered;
    QStringList unbacked;
    for (const QString &mimeType : mimeTypes) {
        const QString current = list.defaultApplication(mimeType);
        if (current == ourId)
            continue;
        if (current.isEmpty()) {
            const QString previous = list.entry(Group::DefaultApplications, mimeType);
            (backUpOnce(store, mimeDefaultBackupGroup(), mimeType, previous) ? taken : unbacked) << mimeType;
            continue;
        }
        const QString added = list.entry(Group::AddedAssociations, mimeType);
        if (platform::MimeAppsList::desktopIds(added).contains(ourId) ||
            platform::MimeAppsList::desktopIds(list.entry(Group::RemovedAssociations, mimeType))
                .contains(ourId))
            continue;
        (backUpOnce(store, mimeAddedBackupGroup(), mimeType, added) ? offered : unbacked) << mimeType;
    }
    if (!store.flush()) {
        unbacked += taken + offered;
        taken.clear();
        offered.clear();
    }
    for (const QString &mimeType : qAsConst(taken))
        list.setEntry(Group::DefaultApplications, mimeType, ourId);
    for (const QString &mimeType : qAsConst(offered))
        list.setEntry(Group::AddedAssociations, mimeType,
                      withDesktopId(list.entry(Group::AddedAssociations, mimeType), ourId));
    if (!unbacked.isEmpty())
        TVX_LOG_WARN << "[SystemActions][DefaultAssociation] backup failed, left as they are:"
                     << unbacked.join(QStringLiteral(", "));
    if (!list.save()) {
        *detail = list.filePath() + QStringLiteral("(write failed)");
        return false;
    }
    return true;
}

// Gives every MIME type whose default is still the program its backed-up default again (or
// none when there was none), and takes the program out of the applications it was added to;
// a type another application took over since is left alone. Once no default names the
// program, its desktop entry in the user's applications folder goes too: the entry itself
// claims the types, and desktops that find no default pick an application that claims them,
// so the user's desktop answers again as it did before the registration. Returns the failed
// types' details.
QStringList restoreDesktopDefaults(platform::RegistryStore &store)
{
    using Group = platform::MimeAppsList::Group;
    const QStringList mimeTypes = desktop_assoc::programMimeTypes();
    platform::MimeAppsList list;
    if (!list.load())
        return {list.filePath() + QStringLiteral("(read failed)")};
    const QString ourId = desktop_assoc::desktopFileId();
    QStringList restored;
    QStringList withdrawn;
    QStringList failed;
    for (const QString &mimeType : mimeTypes) {
        QString backup;
        bool hasBackup = false;
        if (list.defaultApplication(mimeType) == ourId) {
            if (!store.read(mimeDefaultBackupGroup(), mimeType, &backup, &hasBackup)) {
                failed << QStringLiteral("%1(read backup failed)").arg(mimeType);
                continue;
            }
            list.setEntry(Group::DefaultApplications, mimeType,
                          hasBackup ? progIdFromBackupValue(backup) : QString());
            restored << mimeType;
        }
        if (!store.read(mimeAddedBackupGroup(), mimeType, &backup, &hasBackup)) {
            failed << QStringLiteral("%1(read backup failed)").arg(mimeType);
            continue;
        }
        if (!hasBackup)
            continue;
        list.setEntry(Group::AddedAssociations, mimeType,
                      withoutDesktopId(list.entry(Group::AddedAssociations, mimeType), ourId,
                                       progIdFromBackupValue(backup)));
        withdrawn << mimeType;
    }
    if (!restored.isEmpty() || !withdrawn.isEmpty()) {
        if (!list.save()) {
            for (const QString &mimeType : qAsConst(restored) + withdrawn)
                failed << QStringLiteral("%1(mimeapps.list rollback failed)").arg(mimeType);
            return failed;
        }
        for (const QString &mimeType : qAsConst(restored))
            store.removeValue(mimeDefaultBackupGroup(), mimeType);
        for (const QString &mimeType : qAsConst(withdrawn))
            store.removeValue(mimeAddedBackupGroup(), mimeType);
        store.flush();
    }
    const bool stillDefault = std::any_of(mimeTypes.cbegin(), mimeTypes.cend(), [&](const QString &mimeType) {
        return list.defaultApplication(mimeType) == ourId;
    });
    if (failed.isEmpty() && !stillDefault && !desktop_assoc::removeUserDesktopEntry())
        failed << desktop_assoc::userDesktopEntryPath() + QStringLiteral("(remove failed)");
    return failed;
}

} // namespace

QString SystemActions::setAsDefaultPlayer()
{
    QString error;
    if (!registerDefaultPlayerForCurrentUser(&error))
        return error;
    platform::notifyAssociationsChanged();
    return i18n::t(QStringLiteral("system.status.default_player_set"));
}

bool SystemActions::registerDefaultPlayerForCurrentUser(QString *error) const
{
    const auto fail = [error](const char *key) {
        if (error)
            *error = i18n::t(QString::fromLatin1(key));
        return false;
    };

    const QString executablePath = QDir::toNativeSeparators(app::applicationFilePath());
    if (executablePath.isEmpty() || !QFileInfo(executablePath).isFile())
        return fail("system.error.executable_not_found_set_default_player_failed");

    platform::RegistryStore &store = registry();
    const QString executableFileName = QFileInfo(executablePath).fileName();
    const QString appName = applicationNameOrDefault();
    const QString appId = applicationId();
    const QStringList extensions = mediaFileExtensions();
    const QString command = windows_assoc::openCommand(executablePath);
    const QString iconValue = QStringLiteral("\"%1\",0").arg(executablePath);
    const QString capabilitiesPath = QStringLiteral("Software\\%1\\Capabilities").arg(appId);

    const QString appKey =
        windows_assoc::userClassesKey() + QStringLiteral("\\Applications\\") + executableFileName;
    bool ok = store.write(appKey + QStringLiteral("\\FriendlyAppName"), QString(), appName);
    ok = store.write(appKey + QStringLiteral("\\shell\\open\\command"), QString(), command) && ok;
    for (const QString &ext : extensions)
        ok = store.write(appKey + QStringLiteral("\\SupportedTypes"), ext, QString()) && ok;
    if (!(store.flush() && ok))
        return fail("system.error.write_system_association_failed");

    const QString capabilitiesKey = QStringLiteral("HKEY_CURRENT_USER\\") + capabilitiesPath;
    ok = store.write(capabilitiesKey, QStringLiteral("ApplicationName"), appName);
    ok = store.write(capabilitiesKey, QStringLiteral("ApplicationDescription"),
                     QStringLiteral("%1 媒体播放器").arg(appName)) &&
         ok;
    for (const QString &ext : extensions)
        ok = store.write(capabilitiesKey + QStringLiteral("\\FileAssociations"), ext, progIdFor(ext)) && ok;
    if (!(store.flush() && ok))
        return fail("system.error.write_app_capabilities_failed");

    ok = store.write(QStringLiteral("HKEY_CURRENT_USER\\Software\\RegisteredApplications"), appId,
                     capabilitiesPath);
    if (!(store.flush() && ok))
        return fail("system.error.register_default_app_failed");

    // Backups come before any class default is overwritten; an extension whose previous
    // association could not be recorded is not taken over, or the rollback could never give it back.
    const QString userChoiceGroup = associationBackupGroup();
    const QString classGroup = associationClassBackupGroup();
    QSet<QString> unbackedExtensions;
    for (const QString &ext : extensions) {
        QString current;
        QString readError;
        if (!windows_assoc::readUserChoiceProgId(store, ext, &current, &readError)) {
            TVX_LOG_WARN << "[SystemActions][DefaultAssociation] read current ProgId failed for" << ext
                         << "error:" << readError;
            continue;
        }
        if (current != progIdFor(ext) && !backUpOnce(store, userChoiceGroup, ext, current))
            unbackedExtensions.insert(ext);
    }
    for (const QString &ext : extensions) {
        bool readOk = false;
        const QString current = readCurrentClassProgId(store, ext, &readOk);
        if (!readOk) {
            TVX_LOG_WARN << "[SystemActions][DefaultAssociation] read class ProgId failed for" << ext;
            // Unknown previous class default: taking it over could lose it for good.
            unbackedExtensions.insert(ext);
            continue;
        }
        if (current != progIdFor(ext) && !backUpOnce(store, classGroup, ext, current))
            unbackedExtensions.insert(ext);
    }
    if (!store.flush()) {
        for (const QString &ext : extensions)
            unbackedExtensions.insert(ext);
    }

    QSet<QString> succeeded;
    QStringList failed;
    QStringList details;
    for (int pass = 0; pass < 2; ++pass) {
        for (const QString &ext : extensions) {
            QString setError;
            bool done = false;
            if (unbackedExtensions.contains(ext)) {
                setError = QStringLiteral("backup failed");
            } else {
                const QString description = i18n::t(QStringLiteral("system.file_association.description"))
                                                .replace(QLatin1String("%1"), ext.mid(1).toUpper());
                done = windows_assoc::setAsDefault(store, progIdFor(ext), executablePath, ext, description,
                                                   iconValue, &setError);
            }
            const int at = failed.indexOf(ext);
            if (done) {
                succeeded.insert(ext);
                if (at >= 0) {
                    failed.removeAt(at);
                    details.removeAt(at);
                }
                continue;
            }
            if (succeeded.contains(ext))
                continue;
            const QString detail = QStringLiteral("%1(%2)").arg(ext, setError);
            if (at >= 0) {
                details[at] = detail;
            } else {
                failed << ext;
                details << detail;
            }
        }
    }

    if (!succeeded.isEmpty()) {
        QString detail;
        if (!setDesktopDefaults(store, executablePath, &detail)) {
            TVX_LOG_ERROR << "[SystemActions][DefaultAssociation] desktop defaults failed:" << detail;
            return fail("system.error.write_user_file_association_failed");
        }
    }

    if (failed.isEmpty())
        return true;
    if (succeeded.isEmpty()) {
        TVX_LOG_ERROR << "[SystemActions][DefaultAssociation] failed extensions:"
                      << failed.join(QStringLiteral(", "))
                      << " details:" << details.join(QStringLiteral(", "));
        return fail("system.error.write_user_file_association_failed");
    }
    TVX_LOG_WARN << "[SystemActions][DefaultAssociation] partial failed extensions:"
                 << failed.join(QStringLiteral(", ")) << " details:" << details.join(QStringLiteral(", "));
    return true;
}

QString SystemActions::clearDefaultPlayer()
{
    platform::RegistryStore &store = registry();
    const QStringList extensions = mediaFileExtensions();
    const QString userChoiceGroup = associationBackupGroup();
    const QString classGroup = associationClassBackupGroup();
    QStringList failed;
    QStringList details;
    const auto record = [&](const QString &ext, const QString &detail) {
        failed << ext;
        details << detail;
    };

    for (const QString &ext : extensions) {
        const QString ourProgId = progIdFor(ext);
        QString userChoice;
        QString error;
        if (!windows_assoc::readUserChoiceProgId(store, ext, &userChoice, &error)) {
            record(ext, QStringLiteral("%1(%2)").arg(ext, error));
            continue;
        }
        if (userChoice == ourProgId) {
            if (!windows_assoc::clearUserChoice(store, ext, &error)) {
                record(ext, QStringLiteral("%1(%2)").arg(ext, QStringLiteral("clear UserChoice failed")));
                continue;
            }
            store.removeValue(userChoiceGroup, ext);
        }

        // The class default is rolled back whether or not a user choice named the program (the
        // shell may never have written one), but only while it is still ours: a class default
        // that another program set since then is left to that program.
        bool ok = false;
        const QString current = readCurrentClassProgId(store, ext, &ok);
        QString backup;
        bool hasBackup = false;
        ok = ok && store.read(classGroup, ext, &backup, &hasBackup);
        if (ok) {
            if (current == ourProgId) {
                ok = applyClassProgId(store, ext, hasBackup ? progIdFromBackupValue(backup) : QString());
                if (ok && hasBackup)
                    ok = store.removeValue(classGroup, ext) && store.flush();
            } else if (hasBackup) {
                // The backup describes a state that is gone; a later registration records the new one.
                ok = store.removeValue(classGroup, ext) && store.flush();
            }
        }
        if (!ok)
            record(ext, QStringLiteral("%1(class ProgId rollback failed)").arg(ext));
    }
    store.flush();
    for (const QString &detail : restoreDesktopDefaults(store)) {
        failed << detail.section(QLatin1Char('('), 0, 0);
        details << detail;
    }
    platform::notifyAssociationsChanged();

    if (failed.isEmpty())
        return i18n::t(QStringLiteral("system.status.default_player_unset"));
    TVX_LOG_ERROR << "[SystemActions][DefaultAssociationRollback] failed extensions:"
                  << failed.join(QStringLiteral(", ")) << " details:" << details.join(QStringLiteral(", "));
    return i18n::t(QStringLiteral("system.error.default_player_unset_partial_failed"));
}
