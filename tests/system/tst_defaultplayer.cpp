// Default-player registration and rollback on the registry stand-in, with failures at every step.
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "platform/ChangeNotifier.h"
#include "platform/RegistryStore.h"
#include "system/SystemActions.h"
#include "system/WindowsAssoc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <functional>
#include <memory>

using platform::RegistryStore;
using Op = RegistryStore::Operation;

namespace {

const QString kClasses = QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes");
const QString kUserChoiceGroup =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Kestrane\\Tavrixo\\DefaultPlayerPreviousProgIds_Tavrixo");
const QString kClassGroup = QStringLiteral(
    "HKEY_CURRENT_USER\\Software\\Kestrane\\Tavrixo\\DefaultPlayerPreviousClassProgIds_Tavrixo");

QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;

void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_log << message;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QString logLineContaining(const QString &needle)
{
    for (const QString &line : qAsConst(g_log))
        if (line.contains(needle))
            return line;
    return QString();
}

QStringList extensions()
{
    QStringList out;
    for (const QString &e : media::defaultAssociationExtensions())
        out << QLatin1Char('.') + e.toLower();
    return out;
}

QString value(RegistryStore &store, const QString &key, const QString &name = QString(),
              bool *found = nullptr)
{
    QString v;
    store.read(key, name, &v, found);
    return v;
}

QString classDefault(RegistryStore &store, const QString &ext)
{
    return value(store, kClasses + QLatin1Char('\\') + ext);
}

bool hasValue(RegistryStore &store, const QString &key, const QString &name)
{
    bool found = false;
    value(store, key, name, &found);
    return found;
}

// The state another program left behind before the first registration.
void seedPreviousAssociations(RegistryStore &store)
{
    store.write(kClasses + QStringLiteral("\\.mp4"), QString(), QStringLiteral("VLC.mp4"));
    store.write(kClasses + QStringLiteral("\\.mkv"), QString(), QStringLiteral("  Other.mkv  "));
    store.write(windows_assoc::userChoiceKey(QStringLiteral(".avi")), QStringLiteral("ProgId"),
                QStringLiteral("Chooser.avi"));
    store.write(kClasses + QStringLiteral("\\.mov"), QString(), QStringLiteral("Tavrixo.mov"));
    QVERIFY(store.flush());
}

// A user's desktop in the scratch home: the user's "mimeapps.list" and applications folder,
// and system folders of the test's own in place of the machine's, for `xdg-mime`.
struct DesktopFixture
{
    const QString listPath = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list");
    const QString apps = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/");
    const QString entryPath = apps + QStringLiteral("tavrixo.desktop");
    const QString dataDirs = tvxtest::scratchPath(QStringLiteral("system-data"));
    const QString configDirs = tvxtest::scratchPath(QStringLiteral("system-config"));

    static QByteArray entry(const QByteArray &mimeTypes = QByteArray())
    {
        return "[Desktop Entry]\nType=Application\nName=Player\nExec=/bin/true %f\nMimeType=" + mimeTypes +
               "\n";
    }

    DesktopFixture()
    {
        QFile::remove(listPath);
        QFile::remove(entryPath);
        QDir(dataDirs).removeRecursively();
        QDir(configDirs).removeRecursively();
        QDir().mkpath(dataDirs + QStringLiteral("/applications"));
        QDir().mkpath(configDirs);
        for (const char *name : {"other", "editor", "userplayer"})
            tvxtest::writeFile(apps + QLatin1String(name) + QStringLiteral(".desktop"), entry());
    }
    ~DesktopFixture() { QFile::remove(listPath); }

    QByteArray list() const
    {
        QFile file(listPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    tvxtest::ProcessResult xdgMime(const QStringList &args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dataDirs);
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), configDirs);
        env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        return tvxtest::runProcess(QStringLiteral("xdg-mime"), args, 60000, env);
    }

    QString queryDefault(const QString &mimeType) const
    {
        return QString::fromUtf8(xdgMime({QStringLiteral("query"), QStringLiteral("default"), mimeType}).out)
            .trimmed();
    }
};

} // namespace

class DefaultPlayerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<RegistryStore> m_store;
    int m_row = 0;

    RegistryStore &freshStore()
    {
        m_store = std::make_unique<RegistryStore>(
            tvxtest::scratchPath(QStringLiteral("registry/%1.ini").arg(++m_row)));
        return *m_store;
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        g_previousHandler = qInstallMessageHandler(captureLog);
    }
    void init() { g_log.clear(); }

    void registrationWritesTheLayoutAndBackups()
    {
        RegistryStore &store = freshStore();
        seedPreviousAssociations(store);
        SystemActions actions;
        actions.setRegistryStore(&store);
        const int notified = platform::associationChangeNotificationCount();
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        QCOMPARE(platform::associationChangeNotificationCount(), notified + 1);

        RegistryStore reread(store.filePath()); // everything reached the file
        const QString exe = QCoreApplication::applicationFilePath();
        const QString command = QStringLiteral("\"%1\" \"%2\"").arg(exe, QStringLiteral("%1"));
        const QString app = kClasses + QStringLiteral("\\Applications\\") + QFileInfo(exe).fileName();
        QCOMPARE(value(reread, app + QStringLiteral("\\FriendlyAppName")), QStringLiteral("Tavrixo"));
        QCOMPARE(value(reread, app + QStringLiteral("\\shell\\open\\command")), command);
        const QString caps = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tavrixo\\Capabilities");
        QCOMPARE(value(reread, caps, QStringLiteral("ApplicationName")), QStringLiteral("Tavrixo"));
        QCOMPARE(value(reread, caps, QStringLiteral("ApplicationDescription")),
                 QStringLiteral("Tavrixo 媒体播放器"));
        QCOMPARE(value(reread, QStringLiteral("HKEY_CURRENT_USER\\Software\\RegisteredApplications"),
                       QStringLiteral("Tavrixo")),
                 QStringLiteral("Software\\Tavrixo\\Capabilities"));
        for (const QString &ext : extensions()) {
            const QString progId = QStringLiteral("Tavrixo") + ext;
            QVERIFY(hasValue(reread, app + QStringLiteral("\\SupportedTypes"), ext));
            QCOMPARE(value(reread, caps + QStringLiteral("\\FileAssociations"), ext), progId);
            QCOMPARE(classDefault(reread, ext), progId);
            QCOMPARE(value(reread, kClasses + QLatin1Char('\\') + ext, progId), progId);
            QCOMPARE(value(reread, kClasses + QLatin1Char('\\') + ext + QStringLiteral("\\OpenWithProgIds")),
                     progId);
            QVERIFY(hasValue(reread, kClasses + QLatin1Char('\\') + ext + QStringLiteral("\\OpenWithProgIds"),
                             progId));
            QCOMPARE(value(reread,
                           kClasses + QLatin1Char('\\') + progId + QStringLiteral("\\Shell\\Open\\Command")),
                     command);
            QCOMPARE(value(reread, kClasses + QLatin1Char('\\') + progId + QStringLiteral("\\DefaultIcon")),
                     QStringLiteral("\"%1\",0").arg(exe));
            QVERIFY(!value(reread, kClasses + QLatin1Char('\\') + progId).isEmpty());
        }
        // Nothing lands outside the user's own classes.
        QFile file(store.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("HKEY_CLASSES_ROOT"));

        QCOMPARE(value(reread, kClassGroup, QStringLiteral(".mp4")), QStringLiteral("VLC.mp4"));
        QCOMPARE(value(reread, kClassGroup, QStringLiteral(".mkv")), QStringLiteral("Other.mkv"));
        QCOMPARE(value(reread, kClassGroup, QStringLiteral(".avi")), QStringLiteral("__EMPTY__"));
        QVERIFY2(!hasValue(reread, kClassGroup, QStringLiteral(".mov")), "already ours: no class backup");
        QCOMPARE(value(reread, kUserChoiceGroup, QStringLiteral(".avi")), QStringLiteral("Chooser.avi"));
        QCOMPARE(value(reread, kUserChoiceGroup, QStringLiteral(".mp4")), QStringLiteral("__EMPTY__"));

        // Registering again never rewrites a backup, even after the class default moved on.
        store.write(kClasses + QStringLiteral("\\.mp4"), QString(), QStringLiteral("Later.mp4"));
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        QCOMPARE(value(store, kClassGroup, QStringLiteral(".mp4")), QStringLiteral("VLC.mp4"));
    }

    void registrationFailures_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("expectedKey");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("classesTouched");
        QTest::newRow("applications entry") << "applications"
                                            << "system.error.write_system_association_failed"
                                            << "" << false;
        QTest::newRow("capabilities") << "capabilities"
                                      << "system.error.write_app_capabilities_failed"
                                      << "" << false;
        QTest::newRow("registered applications") << "registered"
                                                 << "system.error.register_default_app_failed"
                                                 << "" << false;
        QTest::newRow("first pass fails, second succeeds") << "once"
                                                           << "system.status.default_player_set"
                                                           << "" << true;
        QTest::newRow("some extensions fail")
            << "some"
            << "system.status.default_player_set"
            << "[SystemActions][DefaultAssociation] partial failed extensions: .mkv, .avi  details: "
               ".mkv(setAsDefault failed), .avi(setAsDefault failed)"
            << true;
        QTest::newRow("every extension fails")
            << "all"
            << "system.error.write_user_file_association_failed"
            << "[SystemActions][DefaultAssociation] failed extensions:" << false;
        QTest::newRow("unreadable user choice") << "userchoice"
                                                << "system.status.default_player_set"
                                                << "[SystemActions][DefaultAssociation] read current ProgId "
                                                   "failed for .flv error: read UserChoice failed"
                                                << true;
        QTest::newRow("backup cannot be written") << "backup"
                                                  << "system.status.default_player_set"
                                                  << ".mp4(backup failed)" << true;
    }
    void registrationFailures()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, expectedKey);
        QFETCH(QString, logged);
        QFETCH(bool, classesTouched);
        RegistryStore &store = freshStore();
        seedPreviousAssociations(store);
        auto writes = std::make_shared<QMap<QString, int>>();
        store.setFailureRule([scenario, writes](Op op, const QString &key, const QString &name) {
            const bool classWrite = op == Op::Write && key.startsWith(kClasses + QStringLiteral("\\."));
            if (scenario == QLatin1String("applications"))
                return op == Op::Write && key.contains(QLatin1String("\\Applications\\"));
            if (scenario == QLatin1String("capabilities"))
                return op == Op::Write && key.contains(QLatin1String("\\Capabilities"));
            if (scenario == QLatin1String("registered"))
                return op == Op::Write && key.endsWith(QLatin1String("RegisteredApplications"));
            if (scenario == QLatin1String("once") && classWrite && key.endsWith(QLatin1String(".mkv")) &&
                name.isEmpty())
                return ++(*writes)[key] == 1;
            if (scenario == QLatin1String("some") && classWrite)
                return key.contains(QLatin1String(".mkv")) || key.contains(QLatin1String(".avi"));
            if (scenario == QLatin1String("all"))
                return classWrite;
            if (scenario == QLatin1String("userchoice"))
                return op == Op::Read && key.contains(QLatin1String("\\FileExts\\.flv\\"));
            if (scenario == QLatin1String("backup"))
                return op == Op::Write && key == kClassGroup && name == QLatin1String(".mp4");
            return false;
        });
        SystemActions actions;
        actions.setRegistryStore(&store);
        const int notified = platform::associationChangeNotificationCount();
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(expectedKey));
        const bool success = expectedKey == QLatin1String("system.status.default_player_set");
        QCOMPARE(platform::associationChangeNotificationCount(), notified + (success ? 1 : 0));
        if (logged.isEmpty()) {
            QCOMPARE(logLineContaining(QStringLiteral("[SystemActions]")), QString());
        } else {
            QVERIFY2(!logLineContaining(logged).isEmpty(), qPrintable(g_log.join(QLatin1Char('\n'))));
        }
        store.setFailureRule(nullptr);
        QCOMPARE(classDefault(store, QStringLiteral(".flv")) == QLatin1String("Tavrixo.flv"), classesTouched);
        if (scenario == QLatin1String("some")) {
            QCOMPARE(classDefault(store, QStringLiteral(".mkv")),
                     QStringLiteral("  Other.mkv  ")); // untouched
            QCOMPARE(classDefault(store, QStringLiteral(".mp4")), QStringLiteral("Tavrixo.mp4"));
        }
        if (scenario == QLatin1String("once"))
            QCOMPARE(classDefault(store, QStringLiteral(".mkv")), QStringLiteral("Tavrixo.mkv"));
        if (scenario == QLatin1String("all"))
            QCOMPARE(value(store, kClassGroup, QStringLiteral(".mp4")),
                     QStringLiteral("VLC.mp4")); // backups stay
        if (scenario == QLatin1String("backup"))
            QCOMPARE(classDefault(store, QStringLiteral(".mp4")),
                     QStringLiteral("VLC.mp4")); // never taken over unrecorded
        if (!classesTouched && scenario != QLatin1String("all")) {
            QVERIFY(!hasValue(store, kClassGroup, QStringLiteral(".mp4")));
            QCOMPARE(classDefault(store, QStringLiteral(".mp4")), QStringLiteral("VLC.mp4"));
        }
    }

    void registerThenRollBackRestoresEveryClassDefault()
    {
        RegistryStore &store = freshStore();
        QMap<QString, QString> before;
        int i = 0;
        for (const QString &ext : extensions()) {
            // Every other extension belonged to some program; the rest had no class default.
            if (i++ % 2 == 0) {
                before[ext] = QStringLiteral("Prev") + ext;
                store.write(kClasses + QLatin1Char('\\') + ext, QString(), before[ext]);
            }
        }
        SystemActions actions;
        actions.setRegistryStore(&store);
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        const int notified = platform::associationChangeNotificationCount();
        QCOMPARE(actions.clearDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_unset")));
        QCOMPARE(platform::associationChangeNotificationCount(), notified + 1);

        RegistryStore reread(store.filePath());
        for (const QString &ext : extensions()) {
            bool found = true;
            QCOMPARE(value(reread, kClasses + QLatin1Char('\\') + ext, QString(), &found), before.value(ext));
            QCOMPARE(found, before.contains(ext)); // "__EMPTY__" removed the value rather than writing ""
            QVERIFY(!hasValue(reread, kClassGroup, ext));
            // The program stays among the open-with choices.
            QVERIFY(hasValue(reread, kClasses + QLatin1Char('\\') + ext + QStringLiteral("\\OpenWithProgIds"),
                             QStringLiteral("Tavrixo") + ext));
            QVERIFY(!value(reread, kClasses + QStringLiteral("\\Tavrixo") + ext +
                                       QStringLiteral("\\Shell\\Open\\Command"))
                         .isEmpty());
        }
        QCOMPARE(value(reread, QStringLiteral("HKEY_CURRENT_USER\\Software\\RegisteredApplications"),
                       QStringLiteral("Tavrixo")),
                 QStringLiteral("Software\\Tavrixo\\Capabilities"));

        // A second rollback finds nothing of ours and changes nothing.
        QCOMPARE(actions.clearDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_unset")));
        QCOMPARE(classDefault(store, QStringLiteral(".mp4")), before.value(QStringLiteral(".mp4")));
    }

    void rollbackCases_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("expectedKey");
        QTest::addColumn<QString>("detail");
        QTest::newRow("class default taken by another program since") << "later"
                                                                      << "system.status.default_player_unset"
                                                                      << "";
        QTest::newRow("user choice names the program") << "ourchoice"
                                                       << "system.status.default_player_unset"
                                                       << "";
        QTest::newRow("user choice names another program") << "otherchoice"
                                                           << "system.status.default_player_unset"
                                                           << "";
        QTest::newRow("user choice ours, no backups") << "nobackup"
                                                      << "system.status.default_player_unset"
                                                      << "";
        QTest::newRow("user choice unreadable") << "readfail"
                                                << "system.error.default_player_unset_partial_failed"
                                                << ".mkv(read UserChoice failed)";
        QTest::newRow("user choice cannot be deleted") << "clearfail"
                                                       << "system.error.default_player_unset_partial_failed"
                                                       << ".mkv(clear UserChoice failed)";
        QTest::newRow("class default cannot be restored")
            << "classfail"
            << "system.error.default_player_unset_partial_failed"
            << ".mkv(class ProgId rollback failed)";
    }
    void rollbackCases()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, expectedKey);
        QFETCH(QString, detail);
        RegistryStore &store = freshStore();
        seedPreviousAssociations(store);
        SystemActions actions;
        actions.setRegistryStore(&store);
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        const QString mkvChoice = windows_assoc::userChoiceKey(QStringLiteral(".mkv"));

        if (scenario == QLatin1String("later"))
            store.write(kClasses + QStringLiteral("\\.mkv"), QString(), QStringLiteral("Later.mkv"));
        if (scenario != QLatin1String("later") && scenario != QLatin1String("otherchoice"))
            store.write(mkvChoice, QStringLiteral("ProgId"), QStringLiteral(" Tavrixo.mkv "));
        if (scenario == QLatin1String("otherchoice"))
            store.write(mkvChoice, QStringLiteral("ProgId"), QStringLiteral("Chooser.mkv"));
        if (scenario == QLatin1String("nobackup")) {
            store.removeKey(kClassGroup);
            store.removeKey(kUserChoiceGroup);
        }
        store.setFailureRule([scenario, mkvChoice](Op op, const QString &key, const QString &) {
            if (scenario == QLatin1String("readfail"))
                return op == Op::Read && key == mkvChoice;
            if (scenario == QLatin1String("clearfail"))
                return op == Op::RemoveKey && key == mkvChoice;
            if (scenario == QLatin1String("classfail"))
                return (op == Op::Write || op == Op::RemoveValue) &&
                       key == kClasses + QStringLiteral("\\.mkv");
            return false;
        });
        const int notified = platform::associationChangeNotificationCount();
        QCOMPARE(actions.clearDefaultPlayer(), i18n::t(expectedKey));
        QCOMPARE(platform::associationChangeNotificationCount(), notified + 1);
        store.setFailureRule(nullptr);

        if (!detail.isEmpty()) {
            const QString line = logLineContaining(
                QStringLiteral("[SystemActions][DefaultAssociationRollback] failed extensions: .mkv "));
            QVERIFY2(line.contains(QStringLiteral(" details: ") + detail),
                     qPrintable(g_log.join(QLatin1Char('\n'))));
        }
        // Every other extension is rolled back whatever happened to .mkv.
        QCOMPARE(classDefault(store, QStringLiteral(".mp4")),
                 scenario == QLatin1String("nobackup") ? QString() : QStringLiteral("VLC.mp4"));
        QCOMPARE(classDefault(store, QStringLiteral(".avi")), QString());

        bool choiceExists = false;
        store.keyExists(mkvChoice, &choiceExists);
        const QString mkv = classDefault(store, QStringLiteral(".mkv"));
        if (scenario == QLatin1String("later")) {
            QCOMPARE(mkv, QStringLiteral("Later.mkv"));
            QVERIFY2(!hasValue(store, kClassGroup, QStringLiteral(".mkv")), "a stale backup is dropped");
        } else if (scenario == QLatin1String("ourchoice")) {
            QVERIFY(!choiceExists);
            QVERIFY(!hasValue(store, kUserChoiceGroup, QStringLiteral(".mkv")));
            QCOMPARE(mkv, QStringLiteral("Other.mkv"));
        } else if (scenario == QLatin1String("otherchoice")) {
            QVERIFY(choiceExists);
            QVERIFY(hasValue(store, kUserChoiceGroup, QStringLiteral(".mkv")));
            QCOMPARE(mkv, QStringLiteral("Other.mkv"));
        } else if (scenario == QLatin1String("nobackup")) {
            QVERIFY(!choiceExists);
            QCOMPARE(mkv, QString());
            QCOMPARE(classDefault(store, QStringLiteral(".mp4")), QString());
        } else {
            // A failed extension keeps our class default and its backups for the next attempt.
            QCOMPARE(mkv, QStringLiteral("Tavrixo.mkv"));
            QCOMPARE(value(store, kClassGroup, QStringLiteral(".mkv")), QStringLiteral("Other.mkv"));
            QCOMPARE(choiceExists, scenario != QLatin1String("classfail"));
        }
    }

    void desktopDefaultsFollowRegistrationAndRollback()
    {
        const DesktopFixture desktop;
        const QByteArray seed = "[Added Associations]\nvideo/mp4=other.desktop;\n\n"
                                "[Default Applications]\nvideo/mp4=other.desktop;vlc.desktop;\n"
                                "text/plain=editor.desktop\n\n[Removed Associations]\n";
        tvxtest::writeFile(desktop.listPath, seed);
        QCOMPARE(desktop.queryDefault(QStringLiteral("video/mp4")), QStringLiteral("other.desktop"));

        RegistryStore &store = freshStore();
        SystemActions actions;
        actions.setRegistryStore(&store);
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        QCOMPARE(desktop.queryDefault(QStringLiteral("video/mp4")), QStringLiteral("other.desktop"));
        QCOMPARE(desktop.queryDefault(QStringLiteral("video/x-matroska")), QStringLiteral("tavrixo.desktop"));
        QCOMPARE(desktop.queryDefault(QStringLiteral("text/plain")), QStringLiteral("editor.desktop"));
        QVERIFY2(desktop.list().contains("[Added Associations]\nvideo/mp4=other.desktop;tavrixo.desktop;\n"),
                 desktop.list().constData());

        // The entry lists the MIME type of every extension the program opens, and runs this program.
        QFile entry(desktop.entryPath);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString entryText = QString::fromUtf8(entry.readAll());
        const QStringList listed = entryText.section(QStringLiteral("\nMimeType="), 1)
                                       .section(QLatin1Char('\n'), 0, 0)
                                       .split(QLatin1Char(';'));
        for (const QString &mimeType :
             QStringList{"video/mp4", "video/x-matroska", "video/x-msvideo", "audio/mpeg"})
            QVERIFY2(listed.contains(mimeType), qPrintable(entryText));
        QVERIFY2(
            entryText.contains(QStringLiteral("\nExec=%1 %f\n").arg(QCoreApplication::applicationFilePath())),
            qPrintable(entryText));
        QVERIFY(entryText.contains(QStringLiteral("\nIcon=tavrixo\n")));
        entry.close();

        // A second registration keeps the first one's view of what was there.
        const QString group = QStringLiteral(
            "HKEY_CURRENT_USER\\Software\\Kestrane\\Tavrixo\\DefaultPlayerPreviousMimeDefaults_Tavrixo");
        QCOMPARE(value(store, group, QStringLiteral("video/x-matroska")), QStringLiteral("__EMPTY__"));
        QVERIFY(!hasValue(store, group, QStringLiteral("video/mp4")));
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        QCOMPARE(value(store, group, QStringLiteral("video/x-matroska")), QStringLiteral("__EMPTY__"));
        QVERIFY(desktop.list().contains("\nvideo/mp4=other.desktop;tavrixo.desktop;\n"));

        QCOMPARE(actions.clearDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_unset")));
        QCOMPARE(desktop.queryDefault(QStringLiteral("video/mp4")), QStringLiteral("other.desktop"));
        QCOMPARE(desktop.list(), seed); // exactly what was there
        QVERIFY(!hasValue(store, group, QStringLiteral("video/x-matroska")));

        // A type another program took over since is left to it.
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        QVERIFY(desktop
                    .xdgMime({QStringLiteral("default"), QStringLiteral("other.desktop"),
                              QStringLiteral("video/x-matroska")})
                    .exitCode == 0);
        QCOMPARE(actions.clearDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_unset")));
        QCOMPARE(desktop.queryDefault(QStringLiteral("video/x-matroska")), QStringLiteral("other.desktop"));
        QVERIFY(!desktop.list().contains("video/x-msvideo=")); // no default before, none after
        QCOMPARE(value(store, group, QStringLiteral("video/x-matroska")), QStringLiteral("__EMPTY__"));
    }

    // What `xdg-mime query default` answers before the registration, while registered and after
    // the rollback, for types whose answer comes from each place a desktop looks.
    void desktopAnswersBeforeRegistrationAndAfterRollback()
    {
        const DesktopFixture desktop;
        const QByteArray seed = "[Default Applications]\nvideo/mp4=userplayer.desktop\n";
        tvxtest::writeFile(desktop.listPath, seed);
        tvxtest::writeFile(desktop.dataDirs + QStringLiteral("/applications/sysplayer.desktop"),
                           DesktopFixture::entry("video/mp4;video/x-matroska;video/x-msvideo;"));
        tvxtest::writeFile(desktop.configDirs + QStringLiteral("/mimeapps.list"),
                           "[Default Applications]\nvideo/x-msvideo=adminplayer.desktop\n");
        tvxtest::writeFile(desktop.dataDirs + QStringLiteral("/applications/adminplayer.desktop"),
                           DesktopFixture::entry("video/x-msvideo;"));

        struct Row
        {
            const char *mimeType;
            const char *before; // and after the rollback
            const char *registered;
        };
        const Row rows[] = {
            {"video/mp4", "userplayer.desktop", "userplayer.desktop"},     // the user's choice
            {"video/x-matroska", "sysplayer.desktop", "tavrixo.desktop"},  // an entry claiming it
            {"video/x-msvideo", "adminplayer.desktop", "tavrixo.desktop"}, // the system's list
        };
        for (const Row &row : rows)
            QCOMPARE(desktop.queryDefault(QLatin1String(row.mimeType)), QLatin1String(row.before));

        RegistryStore &store = freshStore();
        SystemActions actions;
        actions.setRegistryStore(&store);
        QCOMPARE(actions.setAsDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_set")));
        for (const Row &row : rows)
            QCOMPARE(desktop.queryDefault(QLatin1String(row.mimeType)), QLatin1String(row.registered));
        const QByteArray registered = desktop.list();
        QVERIFY2(registered.contains("[Added Associations]\nvideo/mp4=tavrixo.desktop;\n"),
                 registered.constData());
        QVERIFY2(registered.contains("\nvideo/mp4=userplayer.desktop\n"), registered.constData());

        QCOMPARE(actions.clearDefaultPlayer(), i18n::t(QStringLiteral("system.status.default_player_unset")));
        for (const Row &row : rows)
            QCOMPARE(desktop.queryDefault(QLatin1String(row.mimeType)), QLatin1String(row.before));
        QCOMPARE(desktop.list(), seed);
    }

    void unwritableMimeListFailsTheRegistration()
    {
        const QString listPath = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list");
        QFile::remove(listPath);
        QVERIFY(QDir().mkpath(listPath)); // a folder where the file belongs
        RegistryStore &store = freshStore();
        SystemActions actions;
        actions.setRegistryStore(&store);
        QCOMPARE(actions.setAsDefaultPlayer(),
                 i18n::t(QStringLiteral("system.error.write_user_file_association_failed")));
        QVERIFY(!logLineContaining(QStringLiteral("desktop defaults failed:")).isEmpty());
        QVERIFY(QDir(listPath).removeRecursively());
    }

    void missingExecutableWritesNothing()
    {
        // A copy of this program deletes itself, then tries to register and make a shortcut.
        const QString copy = tvxtest::scratchPath(QStringLiteral("gone/tst_copy"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TVX_DEFAULTPLAYER_CHILD"),
                   tvxtest::scratchPath(QStringLiteral("gone/registry.ini")));
        const tvxtest::ProcessResult r = tvxtest::runProcess(copy, {}, 30000, env);
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QString::fromUtf8(lines.at(0)),
                 i18n::t(QStringLiteral("system.error.executable_not_found_set_default_player_failed")));
        QCOMPARE(QString::fromUtf8(lines.at(1)),
                 i18n::t(QStringLiteral("system.error.executable_not_found_create_shortcut_failed")));
        QVERIFY(!QFileInfo::exists(tvxtest::scratchPath(QStringLiteral("gone/registry.ini"))));
        QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/Desktop/Tavrixo.desktop")));
    }
};

static int childMain(int argc, char **argv, const QString &registryPath)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    QFile::remove(QCoreApplication::applicationFilePath());
    RegistryStore store(registryPath);
    SystemActions actions;
    actions.setRegistryStore(&store);
    QTextStream out(stdout);
    out << actions.setAsDefaultPlayer() << '\n' << actions.createDesktopShortcut() << '\n';
    return 0;
}

int main(int argc, char **argv)
{
    const QString child = qEnvironmentVariable("TVX_DEFAULTPLAYER_CHILD");
    if (!child.isEmpty())
        return childMain(argc, argv, child);
    QCoreApplication app(argc, argv);
    DefaultPlayerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_defaultplayer.moc"
