// The real program on a desktop session: quit signals end it the normal way, the page gets
// its context objects, the interface font has Chinese glyphs.
#include "AppProcess.h"
#include "TestSupport.h"
#include "app/StartupState.h"
#include "platform/LocalSocketEndpoint.h"
#include "system/SingleInstanceService.h"

#include <QFileInfo>
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
    const bool connected = socket.waitForConnected(2000);
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

    void installedProgramRunsWithItsDesktopEntry()
    {
        const QString root =
            tvxtest::scratchPath(QStringLiteral("staged/x")).section(QLatin1Char('/'), 0, -2);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), root);
        const tvxtest::ProcessResult install = tvxtest::runProcess(
            QStringLiteral(TVX_CMAKE_COMMAND),
            {QStringLiteral("--install"), qEnvironmentVariable("TVX_BUILD_DIR")}, 120000, env);
        QVERIFY2(install.exitCode == 0, install.out + install.err);

        const QString prefix = root + QStringLiteral(TVX_INSTALL_PREFIX);
        const QString program = prefix + QStringLiteral("/bin/tavrixo");
        QFile entry(prefix + QStringLiteral("/share/applications/tavrixo.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("\nExec=" TVX_INSTALL_PREFIX "/bin/tavrixo %f\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\nIcon=tavrixo\n")));
        QVERIFY(text.contains(QStringLiteral("video/mp4;")));
        for (const char *size : {"48x48", "256x256"})
            QVERIFY(QFileInfo::exists(
                prefix +
                QStringLiteral("/share/icons/hicolor/%1/apps/tavrixo.png").arg(QLatin1String(size))));

        tvxtest::AppProcess installed(program);
        QVERIFY(installed.start());
        QVERIFY2(installed.waitForLog(QStringLiteral("[Startup][Context] singleInstanceService")),
                 qPrintable(installed.log()));
        QVERIFY(installed.signal(SIGTERM));
        QVERIFY(installed.waitForExit(30000));
        QCOMPARE(installed.exitCode(), 0);
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
