// Analytics service against the stand-in library: calls made, results, and log lines.
#include "TestSupport.h"
#include "analytics/QxSensorsService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    // The time stamp differs from run to run; everything after it is compared.
    const int head = message.indexOf(QLatin1String("] "));
    g_log << (head >= 0 ? message.mid(head + 2) : message);
}

QString journalPath()
{
    return tvxtest::scratchPath(QStringLiteral("analytics/journal.jsonl"));
}

QList<QJsonObject> journal()
{
    QList<QJsonObject> out;
    QFile f(journalPath());
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                out << QJsonDocument::fromJson(line).object();
    return out;
}

QStringList calls()
{
    QStringList out;
    for (const QJsonObject &o : journal())
        out << o.value(QStringLiteral("call")).toString();
    return out;
}

} // namespace

class QxSensorsTest : public QObject
{
    Q_OBJECT
    QxSensorsService *sensors = QxSensorsService::instance();

    void restart()
    {
        QFile::remove(journalPath());
        g_log.clear();
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        qputenv("TVX_ANALYTICS_JOURNAL", journalPath().toUtf8());
        qunsetenv("TVX_ANALYTICS_FAIL");
        qInstallMessageHandler(captureLog);
    }
    void init() { restart(); }
    void cleanup()
    {
        sensors->shutdown();
        qunsetenv("TVX_ANALYTICS_FAIL");
    }

    void nothingReachesTheLibraryBeforeInitialize()
    {
        QCOMPARE(QxSensorsService::instance(), sensors);
        sensors->shutdown();
        sensors->trackLaunchEvent();
        QVERIFY(!sensors->trackActivityEvent());
        sensors->trackClickEvent(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), 1);
        QCOMPARE(calls(), QStringList());
        const QString warning = QStringLiteral(" : [WARN] [QxSensors] Sensors service not initialized.");
        QCOMPARE(g_log, (QStringList{"FUNC: trackLaunchEvent" + warning, "FUNC: trackActivityEvent" + warning,
                                     "FUNC: trackClickEvent" + warning}));
    }

    void trackerLifecycle()
    {
        sensors->initialize();
        sensors->initialize(); // no second creation, no second line
        QVERIFY(sensors->isInitialized());
        QCOMPARE(g_log, QStringList{"FUNC: initialize : [QxSensors] start initialized."});
        QCOMPARE(calls(), (QStringList{"DCreateInstance", "DGetInstance"}));
        const QJsonObject create = journal().first();
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                    .match(create.value(QStringLiteral("applicationKey")).toString())
                    .hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{4}$"))
                    .match(create.value(QStringLiteral("productNumber")).toString())
                    .hasMatch());
        QCOMPARE(journal().at(1).value(QStringLiteral("hasRecord")).toBool(), false);

        sensors->shutdown();
        sensors->shutdown();
        QVERIFY(!sensors->isInitialized());
        QCOMPARE(g_log.last(), QStringLiteral("FUNC: shutdown : [QxSensors] shutdown."));
        sensors->initialize();
        QCOMPARE(calls().count(QStringLiteral("DCreateInstance")), 2);
        QCOMPARE(calls().count(QStringLiteral("DDestroyInstance")), 1);
    }

    void events_data()
    {
        QTest::addColumn<QString>("failures");
        QTest::addColumn<QString>("event");
        QTest::addColumn<bool>("result"); // of the activity event
        QTest::addColumn<QStringList>("expectedCalls");
        QTest::addColumn<QStringList>("expectedLog");
        const QString launch = QStringLiteral("FUNC: trackLaunchEvent : [QxSensors][Track]Event=Launch");
        const QString activity =
            QStringLiteral("FUNC: trackActivityEvent : [QxSensors][Track]Event=Activity");
        const QString logged = QStringLiteral(
            "FUNC: logExceptionIfNeeded : [ERROR] [QxSensors]  %1  failed, code= %2 , message= %3");
        QTest::newRow("launch") << ""
                                << "launch" << false << QStringList{"DGetInstance", "DTrackLaunch"}
                                << QStringList{launch};
        QTest::newRow("activity delivered")
            << ""
            << "activity" << true << QStringList{"DGetInstance", "DTrackActivity"} << QStringList{activity};
        QTest::newRow("activity refused")
            << "DTrackActivity=7:busy"
            << "activity" << false << QStringList{"DGetInstance", "DTrackActivity"}
            << QStringList{activity, logged.arg("track activity", "7", "busy")};
        QTest::newRow("64-bit code") << "DTrackLaunch=-5000000000:x"
                                     << "launch" << false << QStringList{"DGetInstance", "DTrackLaunch"}
                                     << QStringList{launch, logged.arg("track launch", "-5000000000", "x")};
        QTest::newRow("instance error skips the activity")
            << "DGetInstance=9:stale"
            << "activity" << false << QStringList{"DGetInstance"}
            << QStringList{logged.arg("get instance for activity", "9", "stale"),
                           "FUNC: trackActivityEvent : [ERROR] [QxSensors] track activity skipped: tracker "
                           "instance is null."};
        QTest::newRow("instance error still sends the launch")
            << "DGetInstance=9:stale"
            << "launch" << false << QStringList{"DGetInstance", "DTrackLaunch"}
            << QStringList{logged.arg("get instance for launch", "9", "stale"), launch};
        QTest::newRow("null message") << "DTrackLaunch=2:@null"
                                      << "launch" << false << QStringList{"DGetInstance", "DTrackLaunch"}
                                      << QStringList{launch, logged.arg("track launch", "2", "")};
        QTest::newRow("zero length") << "DTrackLaunch=2:@nolength"
                                     << "launch" << false << QStringList{"DGetInstance", "DTrackLaunch"}
                                     << QStringList{launch, logged.arg("track launch", "2", "")};
        QTest::newRow("zero byte inside") << "DTrackLaunch=2:ab\\0cd"
                                          << "launch" << false << QStringList{"DGetInstance", "DTrackLaunch"}
                                          << QStringList{launch, logged.arg("track launch", "2", "ab")};
        QTest::newRow("click") << ""
                               << "click" << false << QStringList{"DGetInstance", "DTrackClick"}
                               << QStringList{
                                      "FUNC: trackClickEvent : [QxSensors][Track]Event=Click: 页面 按钮 "};
        QTest::newRow("shutdown refused")
            << "DDestroyInstance=4:gone"
            << "shutdown" << false << QStringList{"DDestroyInstance"}
            << QStringList{logged.arg("shutdown", "4", "gone"), "FUNC: shutdown : [QxSensors] shutdown."};
    }
    void events()
    {
        QFETCH(QString, failures);
        QFETCH(QString, event);
        QFETCH(bool, result);
        QFETCH(QStringList, expectedCalls);
        QFETCH(QStringList, expectedLog);
        sensors->initialize();
        restart();
        qputenv("TVX_ANALYTICS_FAIL", failures.toUtf8());
        if (event == QLatin1String("launch"))
            sensors->trackLaunchEvent();
        else if (event == QLatin1String("activity"))
            QCOMPARE(sensors->trackActivityEvent(), result);
        else if (event == QLatin1String("click"))
            sensors->trackClickEvent(QStringLiteral("页面"), QStringLiteral("按钮"), QString(), 5);
        else
            sensors->shutdown();
        QCOMPARE(calls(), expectedCalls);
        QCOMPARE(g_log, expectedLog);
        if (event == QLatin1String("click")) {
            const QJsonObject click = journal().last();
            QCOMPARE(click.value(QStringLiteral("first")).toString(), QStringLiteral("页面"));
            QCOMPARE(click.value(QStringLiteral("second")).toString(), QStringLiteral("按钮"));
            QVERIFY2(click.value(QStringLiteral("third")).isString(),
                     "an empty text reaches the library as a zero byte, not null");
            QCOMPARE(click.value(QStringLiteral("number")).toInt(), 5);
            QVERIFY(click.value(QStringLiteral("handleValid")).toBool());
        }
        if (event == QLatin1String("shutdown"))
            QVERIFY(!sensors->isInitialized());
    }

    void unstoredEventIsNotDelivered()
    {
        sensors->initialize();
        restart();
        // A folder where the journal file should be: nothing can be appended.
        QVERIFY(QDir().mkpath(journalPath()));
        QVERIFY(!sensors->trackActivityEvent());
        QVERIFY2(g_log.contains(QStringLiteral(
                     "FUNC: logExceptionIfNeeded : [ERROR] [QxSensors]  track activity  failed, code= 5 , "
                     "message= journal write failed")),
                 qPrintable(g_log.join(QLatin1Char('\n'))));
        QVERIFY(QDir(journalPath()).removeRecursively());
        QVERIFY(sensors->trackActivityEvent());
    }

    void journalIsBounded()
    {
        sensors->initialize();
        restart();
        QFile::remove(journalPath() + QStringLiteral(".1"));
        qputenv("TVX_ANALYTICS_JOURNAL_MAX_BYTES", "2000");
        for (int i = 0; i < 60; ++i)
            QVERIFY(sensors->trackActivityEvent());
        qunsetenv("TVX_ANALYTICS_JOURNAL_MAX_BYTES");
        const QFileInfo current(journalPath());
        const QFileInfo rotated(journalPath() + QStringLiteral(".1"));
        QVERIFY(rotated.exists());
        QVERIFY2(current.size() <= 2000 && rotated.size() <= 2000,
                 qPrintable(QStringLiteral("%1 %2").arg(current.size()).arg(rotated.size())));
        QCOMPARE(calls().last(), QStringLiteral("DTrackActivity")); // whole lines, newest in the journal
        // What the user did is the user's alone, in both files.
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFile::permissions(current.filePath()) & others, QFileDevice::Permissions());
        QCOMPARE(QFile::permissions(rotated.filePath()) & others, QFileDevice::Permissions());
        QDir(tvxtest::scratchDir()).remove(rotated.filePath());
    }
};

QTEST_GUILESS_MAIN(QxSensorsTest)
#include "tst_qxsensors.moc"
