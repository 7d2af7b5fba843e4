// System actions: identity, customer-service address, clipboard, shutdown and the shortcut ladder.
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "platform/ShellLink.h"
#include "system/SystemActions.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

using Pairs = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Pairs)

namespace {

QString text(const char *key)
{
    return i18n::t(QString::fromLatin1(key));
}

// Catches what would go to the browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

// A real Desktop Entry link that can be failed at any step and records the ladder it walked.
class LadderLink : public platform::DesktopEntryLink
{
public:
    LadderLink(std::shared_ptr<QStringList> log, InitResult init, QString failAt)
        : m_log(std::move(log)), m_init(init), m_failAt(std::move(failAt))
    {
    }
    InitResult initializeComponents() override
    {
        *m_log << QStringLiteral("init");
        return m_init;
    }
    bool createLinkObject() override { return step(QStringLiteral("create")); }
    void setDescription(const QString &t) override
    {
        *m_log << QStringLiteral("description:") + t;
        DesktopEntryLink::setDescription(t);
    }
    bool querySaveComponent() override { return step(QStringLiteral("query")); }
    bool save(const QString &path, bool remember) override
    {
        *m_log << QStringLiteral("save:") + QFileInfo(path).fileName() +
                      (remember ? QStringLiteral(":remember") : QString());
        return m_failAt != QLatin1String("save") && DesktopEntryLink::save(path, remember);
    }
    void releaseSaveComponent() override { *m_log << QStringLiteral("releaseSave"); }
    void releaseLinkObject() override { *m_log << QStringLiteral("releaseLink"); }
    void uninitializeComponents() override { *m_log << QStringLiteral("uninit"); }

private:
    bool step(const QString &name)
    {
        *m_log << name;
        return m_failAt != name;
    }
    std::shared_ptr<QStringList> m_log;
    InitResult m_init;
    QString m_failAt;
};

struct CustomerServiceRun
{
    QString status;
    QString serviceUrl;
    QList<QUrl> opened; // what went to the browser
};

// Opens the customer-service page with a config file holding configText, the browser replaced by
// a recorder; the config is unset again afterwards.
CustomerServiceRun openCustomerService(const QString &configName, const QByteArray &configText,
                                       const QString &uid)
{
    const QString config = tvxtest::writeFile(tvxtest::scratchPath(configName), configText);
    qputenv("TVX_CONFIG", config.toUtf8());
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    SystemActions actions;
    CustomerServiceRun run;
    run.status = actions.openCustomerService(uid);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    run.serviceUrl = actions.serviceUrl();
    qunsetenv("TVX_CONFIG");
    run.opened = recorder.urls;
    return run;
}

} // namespace

class SystemActionsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
        qunsetenv("TVX_CONFIG");
    }

    void identityAndScope()
    {
        SystemActions actions;
        QCOMPARE(actions.property("applicationName").toString(), QStringLiteral("Tavrixo"));
        QCOMPARE(actions.property("companyName").toString(), QStringLiteral("Kestrane"));
        QCOMPARE(actions.property("applicationVersion").toString(), QStringLiteral("1.0.0.0"));
        QCOMPARE(scopedIdentifier(QStringLiteral("Tavrixo")), QStringLiteral("Tavrixo"));
    }

    void scopedIdentifiers_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QString>("expected");
        QTest::newRow("main") << "main"
                              << "Tavrixo";
        QTest::newRow("main, padded and upper case") << "  MAIN "
                                                     << "Tavrixo";
        QTest::newRow("empty") << ""
                               << "Tavrixo";
        QTest::newRow("ASCII punctuation") << " Beta-1.x "
                                           << "Tavrixo_beta_1_x";
        QTest::newRow("letters beyond ASCII stay") << "渠道Ä"
                                                   << "Tavrixo_渠道ä";
        QTest::newRow("symbols beyond ASCII") << "a•b"
                                              << "Tavrixo_a_b";
        QTest::newRow("only punctuation") << "--"
                                          << "Tavrixo___";
    }
    void scopedIdentifiers()
    {
        QFETCH(QString, scope);
        QFETCH(QString, expected);
        QCOMPARE(scopedIdentifier(QStringLiteral("Tavrixo"), scope), expected);
    }

    void customerServiceAddress_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("expectedUid"); // empty: no "u" item
        QTest::newRow("no id") << QString() << QString();
        QTest::newRow("blank id") << QStringLiteral("   ") << QString();
        QTest::newRow("padded id") << QStringLiteral("  u-1234  ") << QStringLiteral("u-1234");
        QTest::newRow("id with query delimiters")
            << QStringLiteral("a&b=c #d+e%f") << QStringLiteral("a&b=c #d+e%f");
    }
    void customerServiceAddress()
    {
        QFETCH(QString, uid);
        QFETCH(QString, expectedUid);
        const CustomerServiceRun run =
            openCustomerService(QStringLiteral("cs.ini"),
                                "[customer_service]\nhost=cs.loopback.test\nqtype=4321\ngid=8765\n", uid);

        QCOMPARE(run.status, text("system.status.customer_service_opened"));
        QCOMPARE(run.opened.size(), 1);
        const QUrl opened = run.opened.first();
        QCOMPARE(opened.scheme(), QStringLiteral("https"));
        QCOMPARE(opened.host(), QStringLiteral("cs.loopback.test"));
        QCOMPARE(opened.path(), QStringLiteral("/client"));
        Pairs expected{{"k", "5c1e9a07d3b84f62a9e0c7b15d4f38e2"},
                       {"wp", "1"},
                       {"qtype", "4321"},
                       {"gid", "8765"},
                       {"robotShuntSwitch", "1"}};
        QUrl withoutUid = opened;
        if (!expectedUid.isEmpty()) {
            expected << qMakePair(QStringLiteral("u"), expectedUid);
            QUrlQuery q(withoutUid);
            q.removeAllQueryItems(QStringLiteral("u"));
            withoutUid.setQuery(q);
        }
        QCOMPARE(QUrlQuery(opened).queryItems(QUrl::FullyDecoded), expected);
        QCOMPARE(withoutUid.toString(), run.serviceUrl);
    }

    void customerServiceWithBadHostOpensNothing()
    {
        const CustomerServiceRun run = openCustomerService(
            QStringLiteral("bad.ini"), "[customer_service]\nhost=\"bad host/\"\n", QStringLiteral("u"));
        QCOMPARE(run.status, text("system.error.customer_service_url_invalid"));
        QVERIFY(run.opened.isEmpty());
    }

    void clipboard()
    {
        SystemActions actions;
        QVERIFY(actions.copyTextToClipboard(QStringLiteral("账号 42")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("账号 42"));
        QVERIFY(actions.copyTextToClipboard(QString()));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void shutdownStartsTheLauncherDetached()
    {
        const QString out = tvxtest::scratchPath(QStringLiteral("shutdown.txt"));
        const QString recorder = tvxtest::writeScript(
            tvxtest::scratchPath(QStringLiteral("shutdown-recorder")),
            QStringLiteral("printf '%s|' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'").arg(out));
        SystemActions actions;
        // Inside the test runner the system command is replaced by nothing at all.
        QCOMPARE(actions.shutdownComputer(), text("system.error.shutdown_start_failed"));
        actions.setShutdownLauncher(platform::ShutdownLauncher(
            recorder, {QStringLiteral("/s"), QStringLiteral("/t"), QStringLiteral("0")}));
        QCOMPARE(actions.shutdownComputer(), text("system.status.shutting_down"));
        QVERIFY(tvxtest::waitUntil([&] { return QFileInfo::exists(out); }));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("/s|/t|0|"));
    }

    void shortcutLadder_data()
    {
        using Init = platform::ShellLink::InitResult;
        QTest::addColumn<int>("init");
        QTest::addColumn<QString>("failAt");
        QTest::addColumn<QString>("expectedKey");
        QTest::addColumn<QStringList>("ladder");
        const QString desc = QStringLiteral("description:Tavrixo 桌面快捷方式");
        const QStringList full{"init",        "create",     desc, "query", "save:Tavrixo.desktop:remember",
                               "releaseSave", "releaseLink"};
        QTest::newRow("success") << int(Init::Initialized) << QString()
                                 << "system.status.desktop_shortcut_created"
                                 << (full + QStringList{"uninit"});
        QTest::newRow("components fail")
            << int(Init::Failed) << QString() << "system.error.com_init_failed_create_shortcut_failed"
            << QStringList{"init"};
        QTest::newRow("changed mode still creates, never uninitialises")
            << int(Init::ChangedMode) << QString() << "system.status.desktop_shortcut_created" << full;
        QTest::newRow("link object fails")
            << int(Init::Initialized) << "create"
            << "system.error.shortcut_component_create_failed" << QStringList{"init", "create", "uninit"};
        QTest::newRow("save component fails")
            << int(Init::Initialized) << "query"
            << "system.error.shortcut_save_component_create_failed"
            << QStringList{"init", "create", desc, "query", "releaseLink", "uninit"};
        QTest::newRow("save fails") << int(Init::Initialized) << "save"
                                    << "system.error.create_desktop_shortcut_failed"
                                    << (full + QStringList{"uninit"});
        QTest::newRow("changed mode, save fails") << int(Init::ChangedMode) << "save"
                                                  << "system.error.create_desktop_shortcut_failed" << full;
    }
    void shortcutLadder()
    {
        QFETCH(int, init);
        QFETCH(QString, failAt);
        QFETCH(QString, expectedKey);
        QFETCH(QStringList, ladder);
        const QString shortcut = QDir::homePath() + QStringLiteral("/Desktop/Tavrixo.desktop");
        QFile::remove(shortcut);
        auto log = std::make_shared<QStringList>();
        SystemActions actions;
        actions.setShellLinkFactory([&] {
            return std::unique_ptr<platform::ShellLink>(
                new LadderLink(log, platform::ShellLink::InitResult(init), failAt));
        });
        QCOMPARE(actions.createDesktopShortcut(), i18n::t(expectedKey));
        QCOMPARE(*log, ladder);
        QCOMPARE(QFileInfo::exists(shortcut),
                 expectedKey == QLatin1String("system.status.desktop_shortcut_created"));
    }

    void shortcutOnTheRealDesktop()
    {
        const QString desktop = QDir::homePath() + QStringLiteral("/Desktop");
        SystemActions actions;
        QCOMPARE(actions.createDesktopShortcut(), text("system.status.desktop_shortcut_created"));
        QCOMPARE(actions.createDesktopShortcut(), text("system.status.desktop_shortcut_created"));
        QCOMPARE(QDir(desktop).entryList(QDir::Files), QStringList{QStringLiteral("Tavrixo.desktop")});
        QFile f(desktop + QStringLiteral("/Tavrixo.desktop"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString entry = QString::fromUtf8(f.readAll());
        QVERIFY(
            entry.contains(QStringLiteral("\nExec=%1 %f\n").arg(QCoreApplication::applicationFilePath())));
        QVERIFY(entry.contains(QStringLiteral("\nPath=%1\n").arg(QCoreApplication::applicationDirPath())));
        // The icon is named in the icon theme, and the theme in the user's data folder has it.
        QVERIFY2(entry.contains(QStringLiteral("\nIcon=tavrixo\n")), qPrintable(entry));
        const QImage icon(qEnvironmentVariable("XDG_DATA_HOME") +
                          QStringLiteral("/icons/hicolor/256x256/apps/tavrixo.png"));
        QCOMPARE(icon.size(), QSize(256, 256));
        QVERIFY(QFileInfo(f).isExecutable());
        f.close();

        QVERIFY(QDir(desktop).removeRecursively());
        const QString status = actions.createDesktopShortcut();
        QDir().mkpath(desktop);
        QCOMPARE(status, text("system.error.desktop_dir_not_found"));
    }
};

QTEST_MAIN(SystemActionsTest)
#include "tst_systemactions.moc"
