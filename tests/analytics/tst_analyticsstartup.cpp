// Starts of the real program as seen by analytics: store name from "set.ini", launch and
// activity events, and "sensors_state.ini" across starts. Each start ends with SIGTERM, which
// runs the quit handlers as closing the window does.
#include "AppProcess.h"
#include "TestSupport.h"
#include "app/StartupState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTextCodec>
#include <QtTest>

#include <csignal>

namespace {

struct Start
{
    tvxtest::ProcessResult result;
    QList<QJsonObject> journal;
    QStringList calls; // "DTrackLaunch" or "DTrackActivity!" when it failed
};

QString installDir()
{
    return tvxtest::scratchPath(QStringLiteral("install"));
}

// Copies the program into an installation folder of its own, so "set.ini" can sit beside it.
QString installedProgram()
{
    const QString target = installDir() + QStringLiteral("/tavrixo");
    if (!QFile::exists(target)) {
        QDir().mkpath(installDir());
        QFile::copy(tvxtest::appExecutable(), target);
        QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner);
    }
    return target;
}

Start runStart(const QString &failures = QString())
{
    const QString journalPath = tvxtest::scratchPath(QStringLiteral("journal.jsonl"));
    QFile::remove(journalPath);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TVX_ANALYTICS_JOURNAL"), journalPath);
    env.remove(QStringLiteral("TVX_CONFIG"));
    if (failures.isEmpty())
        env.remove(QStringLiteral("TVX_ANALYTICS_FAIL"));
    else
        env.insert(QStringLiteral("TVX_ANALYTICS_FAIL"), failures);
    Start s;
    tvxtest::AppProcess program(installedProgram());
    s.result.started = program.start({}, env);
    // The last context property is published after every start-up step of analytics.
    if (s.result.started &&
        program.waitForLog(QStringLiteral("[Startup][Context] singleInstanceService"), 30000)) {
        program.signal(SIGTERM);
        program.waitForExit(30000);
    }
    s.result.timedOut = !program.waitForExit(0);
    s.result.crashed = program.crashed();
    s.result.exitCode = program.exitCode();
    s.result.err = program.log().toUtf8();
    s.result.out =
        "startupShouldTrackActivity=" +
        program.logValue(QStringLiteral("[Startup][Context] startupShouldTrackActivityFromCpp =")).toUtf8();
    QFile f(journalPath);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.trimmed().isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            s.journal << o;
            const QString call = o.value(QStringLiteral("call")).toString();
            if (call != QLatin1String("DGetInstance"))
                s.calls << call + (o.value(QStringLiteral("ok")).toBool() ? QString() : QStringLiteral("!"));
        }
    }
    return s;
}

bool activityRecorded()
{
    return QSettings(app::sensorsStateFilePath(), QSettings::IniFormat)
        .value(QStringLiteral("startup/activity_tracked"))
        .toBool();
}

} // namespace

class AnalyticsStartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(!tvxtest::appExecutable().isEmpty());
    }

    void activityIsReportedUntilOneIsDelivered()
    {
        QFile::remove(app::sensorsStateFilePath());
        QVERIFY(app::sensorsStateFilePath().endsWith(QLatin1String("/Kestrane/Tavrixo/sensors_state.ini")));
        QVERIFY(app::shouldTrackActivityOnStartup());

        const Start first = runStart(QStringLiteral("DTrackActivity=3:offline"));
        QCOMPARE(first.result.exitCode, 0);
        QVERIFY(first.result.out.contains("startupShouldTrackActivity=true"));
        QCOMPARE(first.calls,
                 (QStringList{"DCreateInstance", "DTrackLaunch", "DTrackActivity!", "DDestroyInstance"}));
        QVERIFY(first.result.err.contains("[QxSensors] startup activity tracked = false"));
        QVERIFY(first.result.err.contains("[QxSensors]  track activity  failed, code= 3 , message= offline"));
        QVERIFY(!activityRecorded());

        const Start second = runStart();
        QVERIFY(second.result.out.contains("startupShouldTrackActivity=true")); // read before the send
        QCOMPARE(second.calls,
                 (QStringList{"DCreateInstance", "DTrackLaunch", "DTrackActivity", "DDestroyInstance"}));
        QVERIFY(second.result.err.contains("[QxSensors] startup activity tracked = true"));
        QVERIFY(second.result.err.contains("[QxSensors] shutdown."));
        QVERIFY(activityRecorded());
        QVERIFY(!app::shouldTrackActivityOnStartup());

        const Start third = runStart();
        QVERIFY(third.result.out.contains("startupShouldTrackActivity=false"));
        QCOMPARE(third.calls, (QStringList{"DCreateInstance", "DTrackLaunch", "DDestroyInstance"}));
        QVERIFY(!third.result.err.contains("startup activity tracked"));
    }

    void unreachableTrackerDoesNotStopTheStart()
    {
        QFile::remove(app::sensorsStateFilePath());
        const Start s = runStart(QStringLiteral("DCreateInstance"));
        QCOMPARE(s.result.exitCode, 0);
        QCOMPARE(s.calls, QStringList{"DCreateInstance!"});
        QVERIFY(s.result.err.contains("[QxSensors] tracker instance is null."));
        QVERIFY(s.result.err.contains("[QxSensors] Sensors service not initialized."));
        QVERIFY(!activityRecorded());
    }

    void storeNameFromSetIni_data()
    {
        QTest::addColumn<QByteArray>("setIni"); // null: no file
        QTest::addColumn<QString>("storeName");
        QTextCodec *gbk = QTextCodec::codecForName("GBK");
        QVERIFY(gbk);
        QTest::newRow("no file") << QByteArray() << "Default Store";
        QTest::newRow("no key") << QByteArray("[Install]\nOther=1\n") << "Default Store";
        QTest::newRow("empty value") << QByteArray("[Install]\nAPPStore=\n") << "Default Store";
        QTest::newRow("plain") << QByteArray("[Install]\nAPPStore=StoreA\n") << "StoreA";
        QTest::newRow("GBK Chinese") << (QByteArray("[Install]\nAPPStore=") +
                                         gbk->fromUnicode(QStringLiteral("应用商店")) + "\n")
                                     << QStringLiteral("应用商店");
        QTest::newRow("quoted blanks kept")
            << QByteArray("[Install]\nAPPStore=\" Store B \"\n") << " Store B ";
    }
    void storeNameFromSetIni()
    {
        QFETCH(QByteArray, setIni);
        QFETCH(QString, storeName);
        installedProgram();
        const QString path = installDir() + QStringLiteral("/set.ini");
        QFile::remove(path);
        if (!setIni.isNull())
            tvxtest::writeFile(path, setIni);
        const Start s = runStart();
        QVERIFY(!s.journal.isEmpty());
        const QJsonObject create = s.journal.first();
        QCOMPARE(create.value(QStringLiteral("call")).toString(), QStringLiteral("DCreateInstance"));
        QCOMPARE(create.value(QStringLiteral("storeName")).toString(), storeName);
        QCOMPARE(create.value(QStringLiteral("applicationName")).toString(), QStringLiteral("Tavrixo"));
        QCOMPARE(create.value(QStringLiteral("version")).toString(), QStringLiteral(TVX_PROJECT_VERSION));
        QCOMPARE(create.value(QStringLiteral("language")).toString(), QStringLiteral("zh-cn"));
        QVERIFY(create.value(QStringLiteral("reservedZeroes")).toBool());
        QVERIFY(create.value(QStringLiteral("reservedNulls")).toBool());
        QVERIFY(QFile::exists(path) == !setIni.isNull()); // only read, never written
    }
};

QTEST_GUILESS_MAIN(AnalyticsStartupTest)
#include "tst_analyticsstartup.moc"
