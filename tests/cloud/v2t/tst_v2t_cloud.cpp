// The video-to-text job through the program's own cloud conversion client against the TLS
// loopback cloud server: the upload the server reassembles, the result it serves, and how the
// server's failures and a held creation end the job.
#include "CloudTestServer.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "cloud/FileProcessService.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextTiming.h"
#include "core/AppPaths.h"
#include "i18n/I18n.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "user_pay/AccountLocalStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <memory>

using tvxtest::CloudTestServer;

namespace {

const char kCredits[] = "00112233445566778899aabbccddeeff";
const char kProductInfo[] =
    "5D2A9C7E1B4F8036A2C5E9D17B3F6A084C1E7D2B9A5F3C60E8B4D1A7C2F95E3B6D0A8C4E1F7B2D95";
const QString kResultPath = QStringLiteral("/result/converted.txt");
const QString kResultText = QStringLiteral("大家好。\nwelcome to the talk\n");

QString fixedDeviceId()
{
    return QStringLiteral("0123456789abcdef0123456789abcdef");
}

QString freshDir(const QString &name)
{
    const QString dir = tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QString msg(const char *key)
{
    return i18n::t(QStringLiteral("cpp.msg.") + QLatin1String(key));
}

QString workingFolderOf(const BackgroundTask &task)
{
    return app::tempDirPath(QStringLiteral("Tavrixo/video_to_text")) + QLatin1Char('/') + task.taskId();
}

bool runThroughQueue(BackgroundTask *task, const std::function<void()> &whileRunning = {})
{
    TaskManager manager;
    QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
    manager.submitTask(task);
    bool hookRan = false;
    return tvxtest::waitUntil(
        [&] {
            if (!hookRan && whileRunning) {
                hookRan = true;
                whileRunning();
            }
            return finished.count() > 0;
        },
        120000);
}

} // namespace

class V2tCloudTest : public QObject
{
    Q_OBJECT
    CloudTestServer m_server;
    std::vector<std::unique_ptr<VideoToTextTask>> m_jobs;
    QString m_out;
    QString m_source;

    VideoToTextTask *makeJob(const QString &format = QStringLiteral("TXT"))
    {
        VideoToTextParams params;
        params.sourcePath = m_source;
        params.outputDirectory = m_out;
        params.outputFormat = format;
        params.recognitionLanguage = QStringLiteral("English");
        m_jobs.emplace_back(VideoToTextTaskFactory().createTask(params));
        return m_jobs.back().get();
    }

    QString resultUrl() const { return QStringLiteral("https://%1%2").arg(m_server.host(), kResultPath); }

    void serveResult()
    {
        m_server.addFault(
            QJsonObject{{"path", "/api/v4/taskdown"}, {"patch", QJsonObject{{"downurl", resultUrl()}}}});
        m_server.addFault(QJsonObject{{"path", kResultPath}, {"body", kResultText}});
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        m_source = tvxtest::fixtures::smallMp4();
        QVERIFY(!m_source.isEmpty());
        QVERIFY(m_server.start());
        tvxtest::writeConfigOverride({{"cloud/host", m_server.host()},
                                      {"webapi/app_host", "account.invalid"},
                                      {"webapi/ca_file", m_server.caFile()},
                                      {"webapi/product_id", "101"},
                                      {"webapi/credits", kCredits}});
        m_server.setExpectations(QJsonObject{{"x-product", "101"},
                                             {"x-version", "1.0.0.0"},
                                             {"x-credits", kCredits},
                                             {"productinfo", kProductInfo}});
        user_pay::FileProcessService::setUuidSourceForTesting(&fixedDeviceId);
        // The result comes from the same loopback server, whose certificate only the test's own
        // authority vouches for: the configuration's CA file, as for the API's requests.
    }

    void init()
    {
        tools::VideoToTextTiming t;
        t.creationEaseMs = 200;
        t.creationCheckMs = 5;
        t.animationStepMs = 2;
        t.creationDoneAnimationMs = 10;
        t.pollAnimationMs = 10;
        t.pollSleepMs = 2;
        t.finishedAnimationMs = 10;
        t.cloudRequestTimeoutMs = 5000;
        t.downloadTimeoutMs = 10000;
        t.downloadCheckMs = 5;
        t.downloadCreepMs = 5;
        tools::setVideoToTextTiming(t);
        m_server.reset();
        m_server.clearRequests();
        m_out = freshDir(QStringLiteral("out"));
        user_pay::AccountInfo account;
        account.accountId = QStringLiteral("user-7");
        account.token = QStringLiteral("tok-9");
        QVERIFY(user_pay::AccountLocalStore().save(account));
    }

    void cleanup() { QThreadPool::globalInstance()->waitForDone(30000); }

    void completes()
    {
        m_server.setTaskStates("*", QJsonArray{QJsonObject{{"code", 20000}, {"message", "converting"}},
                                               QJsonObject{{"code", 10000}, {"message", "done"}}});
        serveResult();
        VideoToTextTask *task = makeJob();
        QVERIFY(runThroughQueue(task));
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QVERIFY2(task->errorText().isEmpty(), qPrintable(task->errorText()));

        QFile result(m_out + "/small_320x240.txt");
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), kResultText.toUtf8());
        QVERIFY(!QFileInfo::exists(workingFolderOf(*task)));

        // Every cloud request was well formed and signed.
        for (const QJsonObject &entry : m_server.requests()) {
            if (entry.value("path").toString().startsWith(QLatin1String("/api/")))
                QVERIFY2(entry.value("problems").toArray().isEmpty(),
                         qPrintable(QJsonDocument(entry).toJson(QJsonDocument::Compact)));
        }
        const QList<QJsonObject> opened = m_server.requests("/api/v4/uploadpointpar");
        QCOMPARE(opened.size(), 1);
        const QJsonObject open = opened.first().value("json").toObject();
        QCOMPARE(m_server.requests("/api/v4/uploadpointmerge").size(), 1);
        QCOMPARE(m_server.requests("/api/v4/taskstate").size(), 2);
        QCOMPARE(m_server.requests(kResultPath).size(), 1);
        QCOMPARE(open.value("account").toString(), QStringLiteral("user-7"));

        // What the server put together from the slices is mono 16 kHz MP3.
        const QStringList stored = QDir(m_server.folder() + "/store").entryList({"*.bin"}, QDir::Files);
        QCOMPARE(stored.size(), 1);
        const tvxtest::ProcessResult probe = tvxtest::runProcess(
            QStringLiteral("ffprobe"),
            {"-v", "error", "-show_entries", "stream=codec_type,codec_name,channels,sample_rate", "-of",
             "json", m_server.folder() + "/store/" + stored.first()});
        const QJsonArray streams = QJsonDocument::fromJson(probe.out).object().value("streams").toArray();
        QCOMPARE(streams.size(), 1);
        const QJsonObject audio = streams.first().toObject();
        QCOMPARE(audio.value("codec_type").toString(), QStringLiteral("audio"));
        QCOMPARE(audio.value("codec_name").toString(), QStringLiteral("mp3"));
        QCOMPARE(audio.value("channels").toInt(), 1);
        QCOMPARE(audio.value("sample_rate").toString(), QStringLiteral("16000"));
    }

    void serverFailures_data()
    {
        QTest::addColumn<QJsonArray>("faults");
        QTest::addColumn<QJsonArray>("states");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // a part of the error text
        const QJsonArray none;
        QTest::newRow("creation refused")
            << QJsonArray{QJsonObject{{"path", "/api/v4/uploadpointpar"},
                                      {"json", QJsonObject{{"code", 40005}, {"message", "quota used up"}}}}}
            << none << "create_task_failed"
            << "quota used up";
        QTest::newRow("server failed the task")
            << none << QJsonArray{QJsonObject{{"code", 18000}, {"message", "no speech found"}}}
            << "query_task_failed"
            << "no speech found";
        QTest::newRow("state query unanswered")
            << QJsonArray{QJsonObject{{"path", "/api/v4/taskstate"}, {"mode", "silent"}, {"hold_s", 5}}}
            << none << "query_task_failed"
            << "timeout";
        QTest::newRow("no result address")
            << QJsonArray{QJsonObject{{"path", "/api/v4/taskdown"},
                                      {"patch", QJsonObject{{"downurl", "  "}}}}}
            << none << "query_download_url_failed"
            << "downurl";
        QTest::newRow("result gone")
            << QJsonArray{QJsonObject{
                              {"path", "/api/v4/taskdown"},
                              {"patch", QJsonObject{{"downurl", "https://HOST/result/converted.txt"}}}},
                          QJsonObject{{"path", "/result/converted.txt"}, {"status", 404}}}
            << none << "download_result_failed"
            << "";
    }
    void serverFailures()
    {
        QFETCH(QJsonArray, faults);
        QFETCH(QJsonArray, states);
        QFETCH(QString, code);
        QFETCH(QString, text);
        tools::VideoToTextTiming t = tools::videoToTextTiming();
        t.cloudRequestTimeoutMs = 1000;
        tools::setVideoToTextTiming(t);
        for (const QJsonValue &fault : faults) {
            const QByteArray json = QJsonDocument(fault.toObject()).toJson(QJsonDocument::Compact);
            m_server.addFault(
                QJsonDocument::fromJson(QByteArray(json).replace("HOST", m_server.host().toUtf8())).object());
        }
        if (!states.isEmpty())
            m_server.setTaskStates("*", states);
        VideoToTextTask *task = makeJob();
        QVERIFY(runThroughQueue(task));
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), code);
        QVERIFY(!task->errorText().trimmed().isEmpty());
        QVERIFY2(task->errorText().contains(text, Qt::CaseInsensitive), qPrintable(task->errorText()));
        QVERIFY(!QFileInfo::exists(workingFolderOf(*task)));
        QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    // A result is saved only when its end is known: its length reached, its last chunk, or a
    // TLS stream ended with its close alert. A coding the client never asked for is decoded,
    // and the cap counts the decoded bytes.
    void resultEndsAndCodings_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QJsonObject>("result");
        QTest::addColumn<qint64>("savedSize"); // -1: the job fails and saves nothing
        const QString text = kResultText;
        const qint64 whole = kResultText.toUtf8().size();
        const qint64 cap = tools::VideoToTextTiming().downloadMaxBytes;
        QTest::newRow("length, https") << "https" << QJsonObject{{"text", text}} << whole;
        QTest::newRow("length, http") << "http" << QJsonObject{{"text", text}} << whole;
        QTest::newRow("chunked, https")
            << "https" << QJsonObject{{"text", text}, {"framing", "chunked"}} << whole;
        QTest::newRow("ends with the close alert, https")
            << "https" << QJsonObject{{"text", text}, {"framing", "close"}} << whole;
        QTest::newRow("ends with the connection, http, cut short")
            << "http" << QJsonObject{{"text", text}, {"framing", "close"}, {"cut", true}} << qint64(-1);
        QTest::newRow("ends with the connection, http")
            << "http" << QJsonObject{{"text", text}, {"framing", "close"}} << qint64(-1);
        QTest::newRow("dropped without the close alert, https, cut short")
            << "https"
            << QJsonObject{{"text", text}, {"framing", "close"}, {"cut", true}, {"close_notify", false}}
            << qint64(-1);
        QTest::newRow("shorter than its length, https")
            << "https" << QJsonObject{{"text", text}, {"framing", "short"}} << qint64(-1);
        QTest::newRow("chunked without the last chunk, https")
            << "https" << QJsonObject{{"text", text}, {"framing", "chunked_cut"}, {"cut", true}}
            << qint64(-1);
        QTest::newRow("gzip unasked, https")
            << "https" << QJsonObject{{"text", text}, {"gzip", true}} << whole;
        QTest::newRow("gzip of zeros at the cap, https")
            << "https" << QJsonObject{{"zeros", double(cap)}, {"gzip", true}} << cap;
        QTest::newRow("gzip of zeros over the cap, https")
            << "https" << QJsonObject{{"zeros", double(cap + 1)}, {"gzip", true}} << qint64(-1);
    }
    void resultEndsAndCodings()
    {
        QFETCH(QString, scheme);
        QFETCH(QJsonObject, result);
        QFETCH(qint64, savedSize);
        const QString url = scheme + QStringLiteral("://") + m_server.host() + kResultPath;
        m_server.addFault(
            QJsonObject{{"path", "/api/v4/taskdown"}, {"patch", QJsonObject{{"downurl", url}}}});
        m_server.addFault(QJsonObject{{"path", kResultPath}, {"result", result}});
        VideoToTextTask *task = makeJob();
        QVERIFY(runThroughQueue(task));
        QCOMPARE(m_server.requests(kResultPath).size(), 1);
        QVERIFY(!QFileInfo::exists(workingFolderOf(*task)));
        const QString saved = m_out + "/small_320x240.txt";
        if (savedSize < 0) {
            QCOMPARE(task->status(), int(BackgroundTask::Failed));
            QCOMPARE(task->errorCode(), QStringLiteral("download_result_failed"));
            QVERIFY(!task->errorText().trimmed().isEmpty());
            QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                     QStringList());
            return;
        }
        QVERIFY2(task->status() == BackgroundTask::Completed, qPrintable(task->errorText()));
        QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QFileInfo(saved).fileName()});
        QCOMPARE(QFileInfo(saved).size(), savedSize);
        if (result.contains("text")) {
            QFile file(saved);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), kResultText.toUtf8());
        }
        QFile::remove(saved);
    }

    // A cancel while the server holds the creation ends the job at once; the creation left
    // behind never makes the job report anything else.
    void cancelWhileCreating()
    {
        const QString gate = tvxtest::scratchPath(QStringLiteral("gate"));
        QFile::remove(gate);
        m_server.addFault(QJsonObject{{"path", "/api/v4/uploadpointpar"}, {"hold_until", gate}});
        serveResult();
        VideoToTextTask *task = makeJob();
        QVERIFY(runThroughQueue(task, [&] {
            QVERIFY(m_server.waitForRequests("/api/v4/uploadpointpar", 1, 30000));
            task->cancel();
        }));
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(task->message(), msg("task_cancelled"));
        QVERIFY(!QFileInfo::exists(workingFolderOf(*task)));
        tvxtest::writeFile(gate, "open");
        QThreadPool::globalInstance()->waitForDone(30000);
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(m_server.requests("/api/v4/taskstate").size(), 0);
        QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(V2tCloudTest)
#include "tst_v2t_cloud.moc"
