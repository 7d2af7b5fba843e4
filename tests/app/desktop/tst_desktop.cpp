// The real program on a desktop session: quit signals end it the normal way (also while the
// account's picture is on its way), the page gets its context objects, the interface font has
// Chinese glyphs.
#include "AppProcess.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "app/StartupState.h"
#include "media/MediaFormats.h"
#include "platform/LocalSocketEndpoint.h"
#include "system/SingleInstanceService.h"
#include "user_pay/AccountLocalStore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocalSocket>
#include <QtTest>

#include <csignal>

namespace {

// Whether the primary's endpoint takes a connection (a socket file, or "@name" in the abstract
// namespace when the runtime folder is too deep for a socket file).
bool serverAnswers(const SingleInstanceService &service)
{
    const QString address = service.endpointAddress();
    if (address.isEmpty())
        return false;
    if (address.startsWith(QLatin1Char('@'))) {
        const qintptr fd = platform::connectAbstractLocalSocket(address.mid(1).toUtf8());
        if (fd < 0)
            return false;
        platform::closeLocalSocket(fd);
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(address);
    const bool connected = socket.waitForConnected(tvxtest::scaledMs(2000));
    socket.abort();
    return connected;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(!tvxtest::appExecutable().isEmpty());
    }

    void quitSignalRunsQuitHandlersAndTeardown_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void quitSignalRunsQuitHandlersAndTeardown()
    {
        QFETCH(int, signalNumber);
        const SingleInstanceService service(QStringLiteral("main"));
        const QString lockPath = service.lockFilePath();
        tvxtest::AppProcess player;
        QVERIFY(player.start());
        QVERIFY2(player.waitForLog(QStringLiteral("[Startup][Context] singleInstanceService")),
                 qPrintable(player.log()));
        QVERIFY(QFileInfo::exists(lockPath));
        QVERIFY(serverAnswers(service));

        QVERIFY(player.signal(signalNumber));
        QVERIFY2(player.waitForExit(30000), qPrintable(player.log()));
        QVERIFY2(!player.crashed(), qPrintable(player.log()));
        QCOMPARE(player.exitCode(), 0);
        const QString log = player.log();
        QVERIFY2(log.contains(QStringLiteral("[Shutdown][Signals] signal %1 received").arg(signalNumber)),
                 qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("[QxSensors] shutdown.")), qPrintable(log));
        QVERIFY(!QFileInfo::exists(lockPath));
        QVERIFY(!serverAnswers(service));
    }

    // A quit signal while the stored account's picture downloads from a server that never
    // answers: the download is abandoned at once, not waited out to its time limit, and the
    // program ends the normal way.
    void quitSignalDuringTheAvatarDownload()
    {
        tvxtest::WebApiTestServer server(QStringLiteral("desktop-webapi"));
        QVERIFY(server.start());
        const QString avatar = QStringLiteral("http://%1/avatar.png").arg(server.host());
        server.clearRules(
            QJsonObject{{"account", QJsonObject{{"valid_tokens", QJsonArray{"tok-1"}}, {"avatar", avatar}}}});
        server.setPathRule("/avatar.png", QJsonObject{{"mode", "silent"}, {"hold_s", 60}});
        const QString config = tvxtest::writeConfigOverride({{"webapi/app_host", server.host()},
                                                             {"webapi/app_host_backup", server.host()},
                                                             {"webapi/ca_file", server.caFile()}});
        user_pay::AccountInfo stored;
        stored.accountId = QStringLiteral("13800138000");
        stored.token = QStringLiteral("tok-1");
        stored.accountType = 1;
        stored.avatarUrl = avatar;
        QVERIFY(user_pay::AccountLocalStore().save(stored));
        const auto restore = qScopeGuard([] {
            user_pay::AccountLocalStore().clear();
            qunsetenv("TVX_CONFIG");
        });
        const auto avatarRequests = [&] {
            int n = 0;
            for (const QJsonObject &r : server.requests())
                n += r.value("path").toString() == "/avatar.png" ? 1 : 0;
            return n;
        };

        tvxtest::AppProcess player;
        QVERIFY(player.start());
        QVERIFY2(tvxtest::waitUntil([&] { return avatarRequests() > 0; }, 30000), qPrintable(player.log()));
        QVERIFY(player.signal(SIGTERM));
        QVERIFY2(player.waitForExit(30000), qPrintable(player.log()));
        QVERIFY2(!player.crashed(), qPrintable(player.log()));
        QCOMPARE(player.exitCode(), 0);
        const QString log = player.log();
        QVERIFY2(log.contains(QStringLiteral("[Shutdown][Signals] signal %1 received").arg(SIGTERM)),
                 qPrintable(log));
        QVERIFY2(
            log.contains(QStringLiteral("[AccountManager][Avatar] download abandoned, the program quits")),
            qPrintable(log));
        QVERIFY2(!log.contains(QStringLiteral("[AccountManager][Avatar] download timeout")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("[QxSensors] shutdown.")), qPrintable(log));
        QCOMPARE(avatarRequests(), 1); // the refreshed account's picture is not fetched on the way out
        Q_UNUSED(config);
    }

    void pageContextAndFont()
    {
        const QString file = tvxtest::fixtures::smallMp4();
        QVERIFY(!file.isEmpty());
        QFile::remove(app::sensorsStateFilePath());
        tvxtest::AppProcess player;
        QVERIFY(player.start({file}));
        QVERIFY2(player.waitForLog(QStringLiteral("[Startup][Context] singleInstanceService")),
                 qPrintable(player.log()));

        const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Kestrane/Tavrixo/");
        const QList<QPair<QString, QString>> expected = {
            {"playlistStore", "PlaylistModel"},
            {"playerSettingsFilePath", dataHome + "player.ini"},
            {"appSettingsMenuSettingsFilePath", dataHome + "app_settings_menu.ini"},
            {"loginDialogSettingsFilePath", dataHome + "login_dialog.ini"},
            {"mediaPreviewService", "MediaPreviewService"},
            {"systemActions", "SystemActions"},
            {"fileDialogService", "FileDialogService"},
            {"taskManager", "QObject"}, // the job queue has no meta-object of its own
            {"i18n", "I18nService"},
            {"formatConvertViewModel", "FormatConvertViewModel"},
            {"videoCompressViewModel", "VideoCompressViewModel"},
            {"videoToTextViewModel", "VideoToTextViewModel"},
            {"videoCaptureViewModel", "VideoCaptureViewModel"},
            {"videoToImageViewModel", "VideoToImageViewModel"},
            {"accountManager", "user_pay::AccountManager"},
            {"startupMediaFileUrlFromCpp", QUrl::fromLocalFile(file).toString()},
            {"startupShouldTrackActivityFromCpp", "true"},
            {"singleInstanceService", "SingleInstanceService"},
        };
        for (const auto &row : expected)
            QCOMPARE(
                player.logValue(QStringLiteral("[Startup][Context] ") + row.first + QStringLiteral(" =")),
                row.second);
        QCOMPARE(player.log().count(QStringLiteral("[Startup][Context]")), expected.size());

        QCOMPARE(player.logValue(QStringLiteral("[Startup][Font] family =")),
                 QStringLiteral("Noto Sans CJK SC"));
        QVERIFY(player.signal(SIGTERM));
        QVERIFY(player.waitForExit(30000));
    }

    // An installation into another prefix than the configured one, staged under DESTDIR: the
    // entry names the program where the prefix puts it, and the staged program runs with the
    // libraries of its own tree.
    void installedProgramRunsWithItsDesktopEntry()
    {
        const QString stage = tvxtest::scratchPath(QStringLiteral("stage"));
        const QString prefix = tvxtest::scratchPath(QStringLiteral("opt/tavrixo"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), stage);
        const tvxtest::ProcessResult install =
            tvxtest::runProcess(QStringLiteral(TVX_CMAKE_COMMAND),
                                {QStringLiteral("--install"), qEnvironmentVariable("TVX_BUILD_DIR"),
                                 QStringLiteral("--prefix"), prefix},
                                120000, env);
        QVERIFY2(install.exitCode == 0, install.out + install.err);

        const QString tree = stage + prefix;
        QFile entry(tree + QStringLiteral("/share/applications/tavrixo.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("\nExec=%1/bin/tavrixo %f\n").arg(prefix)), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\nIcon=tavrixo\n")));
        // The installed entry claims exactly the table whose every name the program opens.
        QVERIFY2(
            text.contains(
                QStringLiteral("\nMimeType=%1;\n").arg(media::claimedMimeTypeNames().join(QLatin1Char(';')))),
            qPrintable(text));
        for (const char *size : {"48x48", "256x256"})
            QVERIFY(QFileInfo::exists(
                tree + QStringLiteral("/share/icons/hicolor/%1/apps/tavrixo.png").arg(QLatin1String(size))));

        // The program's own libraries lie in its private folder, none among the executables.
        QCOMPARE(QDir(tree + QStringLiteral("/bin")).entryList(QDir::Files), QStringList{"tavrixo"});
        QStringList privateLibraries{QStringLiteral("libTelvane.so")};
#ifdef TVX_HAVE_WEBENGINE
        privateLibraries << QStringLiteral("libminiblink.so");
#endif
        for (const QString &library : qAsConst(privateLibraries))
            QVERIFY2(QFileInfo::exists(tree + QStringLiteral("/lib/tavrixo/") + library),
                     qPrintable(library));

        env.insert(QStringLiteral("TVX_MINIBLINK_WARMUP"), QStringLiteral("1"));
        tvxtest::AppProcess installed(tree + QStringLiteral("/bin/tavrixo"));
        QVERIFY(installed.start({}, env));
        QVERIFY2(installed.waitForLog(QStringLiteral("[Startup][Context] singleInstanceService")),
                 qPrintable(installed.log()));
#ifdef TVX_HAVE_WEBENGINE
        QVERIFY2(
            installed.waitForLog(
                QStringLiteral("[MiniBlink] wkeInitialize result = 1 dll= %1/lib/tavrixo/").arg(tree), 60000),
            qPrintable(installed.log()));
#endif
        QVERIFY(installed.signal(SIGTERM));
        QVERIFY(installed.waitForExit(30000));
        QCOMPARE(installed.exitCode(), 0);
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
