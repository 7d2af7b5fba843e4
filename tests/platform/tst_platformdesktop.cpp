// Desktop stand-ins: the Desktop Entry launcher, the shutdown launcher and the build configuration.
#include "TestSupport.h"
#include "core/BuildConfig.h"
#include "platform/ChangeNotifier.h"
#include "platform/ShellLink.h"
#include "platform/ShutdownLauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Reads the Exec key back the way a launcher does: entry-string unescaping, then %f dropped.
QString execLine(const QString &entryPath)
{
    QFile f(entryPath);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("Exec=")))
            continue;
        QString value = line.mid(5);
        QString out;
        for (int i = 0; i < value.size(); ++i) {
            if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size()) {
                const QChar e = value.at(++i);
                out += e == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : e;
            } else {
                out += value.at(i);
            }
        }
        return out;
    }
    return QString();
}

} // namespace

class PlatformDesktopTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void desktopEntryLaunchesItsTarget_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("quoted");
        QTest::newRow("plain") << QStringLiteral("bin") << false;
        QTest::newRow("Chinese") << QStringLiteral("我的程序") << false;
        QTest::newRow("blanks and Chinese") << QStringLiteral("我的 程序") << true;
        QTest::newRow("shell and field-code characters") << QStringLiteral("a\"b$c`d\\e 100%") << true;
        QTest::newRow("brackets and hash") << QStringLiteral("a(b)#c") << true;
        QTest::newRow("field code alone") << QStringLiteral("100%") << false;
    }
    void desktopEntryLaunchesItsTarget()
    {
        QFETCH(QString, folder);
        QFETCH(bool, quoted);
        const QString marker = tvxtest::scratchPath(QStringLiteral("launched.txt"));
        QFile::remove(marker);
        const QString target = tvxtest::writeScript(tvxtest::scratchPath(folder + QStringLiteral("/player")),
                                                    QStringLiteral("printf '%s' \"$1\" > '%1'").arg(marker));
        const QString entry = tvxtest::scratchPath(QStringLiteral("home/Desktop/Tavrixo.desktop"));
        platform::DesktopEntryLink link;
        link.setTargetPath(target);
        link.setWorkingDirectory(QFileInfo(target).absolutePath());
        link.setDescription(QStringLiteral("Tavrixo 桌面快捷方式"));
        link.setIconLocation(target, 0);
        QVERIFY(link.save(entry, true));
        QVERIFY(link.save(entry, true)); // replacing an existing launcher works too

        QVERIFY(QFileInfo(entry).permissions() & QFileDevice::ExeOwner);
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.startsWith(QLatin1String("[Desktop Entry]\n")));
        QVERIFY(text.contains(QLatin1String("\nType=Application\n")));
        QVERIFY(text.contains(QLatin1String("\nName=Tavrixo\n")));
        QVERIFY(text.contains(QStringLiteral("\nComment=Tavrixo 桌面快捷方式\n")));

        // Field codes: %f is the opened file, %% a literal percent sign.
        QString exec = execLine(entry);
        QVERIFY(exec.endsWith(QLatin1String(" %f")));
        exec.chop(3);
        exec.replace(QLatin1String("%%"), QLatin1String("%"));
        // xdg-utils takes the Exec line's first word as the program, quotes and all.
        QCOMPARE(exec.section(QLatin1Char(' '), 0, 0) == target, !quoted);
        // Inside double quotes the Exec rules are those of a POSIX shell, so sh runs it as a launcher would.
        const tvxtest::ProcessResult r = tvxtest::runProcess(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), exec + QStringLiteral(" \"$0\""), QStringLiteral("/media/a b.mp4")});
        QCOMPARE(r.exitCode, 0);
        QFile m(marker);
        QVERIFY2(m.open(QIODevice::ReadOnly), qPrintable(exec));
        QCOMPARE(QString::fromUtf8(m.readAll()), QStringLiteral("/media/a b.mp4"));
    }

    void desktopEntrySaveFailsWithoutTargetOrFolder()
    {
        platform::DesktopEntryLink link;
        QVERIFY(!link.save(tvxtest::scratchPath(QStringLiteral("x.desktop")), true));
        link.setTargetPath(QStringLiteral("/bin/true"));
        const QString blocker = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("notadir")), "x");
        QVERIFY(!link.save(blocker + QStringLiteral("/Tavrixo.desktop"), true));
    }

    void shutdownLauncherPassesItsArgumentsToTheProgram()
    {
        const QString out = tvxtest::scratchPath(QStringLiteral("shutdown-args.txt"));
        const QString recorder = tvxtest::writeScript(
            tvxtest::scratchPath(QStringLiteral("recorder.sh")),
            QStringLiteral("for a in \"$@\"; do printf '[%s]' \"$a\"; done > '%1.tmp' && mv '%1.tmp' '%1'")
                .arg(out));
        const platform::ShutdownLauncher launcher(
            recorder, {QStringLiteral("/s"), QStringLiteral("/t"), QStringLiteral("0")});
        QVERIFY(launcher.start());
        QVERIFY(tvxtest::waitUntil([&] { return QFileInfo::exists(out); }));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[/s][/t][0]"));

        QVERIFY(
            !platform::ShutdownLauncher(tvxtest::scratchPath(QStringLiteral("missing-program")), {}).start());
        QVERIFY(!platform::ShutdownLauncher().start());
    }

    void systemShutdownIsInertInsideTheTestRunnerUnlessConfigured()
    {
        QVERIFY(qEnvironmentVariableIsSet("TVX_TEST_SCRATCH"));
        qunsetenv("TVX_CONFIG");
        QVERIFY(platform::ShutdownLauncher::systemDefault().program().isEmpty());
        QVERIFY(!platform::ShutdownLauncher::systemDefault().start());

        const QString config =
            tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("shutdown.ini")),
                               "[shutdown]\nprogram=/opt/recorder\narguments=\"\\\"-h now\\\" --flag\"\n");
        qputenv("TVX_CONFIG", config.toUtf8());
        const platform::ShutdownLauncher configured = platform::ShutdownLauncher::systemDefault();
        qunsetenv("TVX_CONFIG");
        QCOMPARE(configured.program(), QStringLiteral("/opt/recorder"));
        QCOMPARE(configured.arguments(), (QStringList{QStringLiteral("-h now"), QStringLiteral("--flag")}));
    }

    void buildConfigurationOverride()
    {
        qunsetenv("TVX_CONFIG");
        QCOMPARE(platform::config::customerServiceHost(),
                 QString::fromLatin1(platform::config::kCustomerServiceHost));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                    .match(platform::config::analyticsAppKey())
                    .hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{4}$"))
                    .match(platform::config::analyticsProductNumber())
                    .hasMatch());

        const QString config = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("config.ini")),
                                                  "[customer_service]\nhost=127.0.0.1\ngid=7\n");
        qputenv("TVX_CONFIG", config.toUtf8());
        QCOMPARE(platform::config::customerServiceHost(), QStringLiteral("127.0.0.1"));
        QCOMPARE(platform::config::customerServiceGroupNumber(), QStringLiteral("7"));
        QCOMPARE(platform::config::customerServiceQueueNumber(),
                 QString::fromLatin1(platform::config::kCustomerServiceQueueNumber));
        qputenv("TVX_CONFIG", tvxtest::scratchPath(QStringLiteral("missing.ini")).toUtf8());
        QCOMPARE(platform::config::customerServiceHost(),
                 QString::fromLatin1(platform::config::kCustomerServiceHost));
        qunsetenv("TVX_CONFIG");
    }

    void changeNotificationsAreCounted()
    {
        const int before = platform::associationChangeNotificationCount();
        platform::notifyAssociationsChanged();
        platform::notifyAssociationsChanged();
        QCOMPARE(platform::associationChangeNotificationCount(), before + 2);
    }
};

QTEST_GUILESS_MAIN(PlatformDesktopTest)
#include "tst_platformdesktop.moc"
