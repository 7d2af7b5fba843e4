// The video-to-text job run by the job queue with real ffmpeg, a scripted cloud service and a
// loopback result server: results, failure codes, cancels at every stage, the kept options and
// the working folder, and pools of one and two threads.
#include "CloudTestServer.h"
#include "TestSupport.h"
#include "V2tTestKit.h"
#include "WebApiTestServer.h"
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
#include <QTimer>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using v2ttest::FakeCloud;
using v2ttest::ResultServer;

namespace {

const QByteArray kResultText = "第一句。\nsecond line\n";

QString freshDir(const QString &name)
{
    const QString dir = tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QStringList entriesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    names.sort();
    return names;
}

QString workingFolderOf(const BackgroundTask &task)
{
    return app::tempDirPath(QStringLiteral("Tavrixo/video_to_text")) + QLatin1Char('/') + task.taskId();
}

QString msg(const char *key)
{
    return i18n::t(QStringLiteral("cpp.msg.") + QLatin1String(key));
}

struct AudioProbe
{
    QString codec;
    int channels = 0;
    int sampleRate = 0;
    int videoStreams = 0;
};

AudioProbe probeAudio(const QString &path)
{
    const tvxtest::ProcessResult r =
        tvxtest::runProcess(QStringLiteral("ffprobe"),
                            {"-v", "error", "-show_entries",
                             "stream=codec_type,codec_name,channels,sample_rate", "-of", "json", path});
    AudioProbe p;
    for (const QJsonValue &v : QJsonDocument::fromJson(r.out).object().value("streams").toArray()) {
        const QJsonObject s = v.toObject();
        if (s.value("codec_type").toString() == QLatin1String("video")) {
            ++p.videoStreams;
        } else if (s.value("codec_type").toString() == QLatin1String("audio")) {
            p.codec = s.value("codec_name").toString();
            p.channels = s.value("channels").toInt();
            p.sampleRate = s.value("sample_rate").toString().toInt();
        }
    }
    return p;
}

tools::VideoToTextTiming fastTiming()
{
    tools::VideoToTextTiming t;
    t.creationEaseMs = 200;
    t.creationCheckMs = 5;
    t.animationStepMs = 2;
    t.creationDoneAnimationMs = 10;
    t.pollAnimationMs = 10;
    t.pollSleepMs = 2;
    t.finishedAnimationMs = 10;
    t.maxPolls = 300;
    t.cloudRequestTimeoutMs = 5000;
    t.downloadTimeoutMs = 10000;
    t.downloadCheckMs = 5;
    t.downloadCreepMs = 5;
    t.ffmpegCheckMs = 20;
    return t;
}

// Runs a job through a queue of its own while the test thread serves the loopback server, and
// records every progress value seen while the job ran.
struct QueueRun
{
    bool finished = false;
    QList<double> progress;
};

QueueRun runThroughQueue(BackgroundTask *task, const std::function<void()> &whileRunning = {},
                         int timeoutMs = 60000)
{
    QueueRun run;
    TaskManager manager;
    QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (task->status() == BackgroundTask::Running)
            run.progress << task->progress();
    });
    sampler.start(1);
    manager.submitTask(task);
    bool hookRan = false;
    run.finished = tvxtest::waitUntil(
        [&] {
            if (!hookRan && whileRunning) {
                hookRan = true;
                whileRunning();
            }
            return finished.count() > 0;
        },
        timeoutMs);
    return run;
}

bool nonDecreasing(const QList<double> &values)
{
    for (int i = 1; i < values.size(); ++i) {
        if (values.at(i) < values.at(i - 1))
            return false;
    }
    return true;
}

} // namespace

class V2tJobTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ResultServer> m_server;
    std::unique_ptr<FakeCloud> m_cloud;
    std::vector<std::unique_ptr<VideoToTextTask>> m_jobs;
    QString m_source;
    QString m_out;
    QString m_uploads;

    VideoToTextTask *makeJob(const QString &source, const QString &format = QStringLiteral("TXT"),
                             const QString &language = QStringLiteral("中文"))
    {
        VideoToTextParams params;
        params.sourcePath = source;
        params.outputDirectory = m_out;
        params.outputFormat = format;
        params.recognitionLanguage = language;
        m_jobs.emplace_back(VideoToTextTaskFactory().createTask(params));
        m_jobs.back()->setCloud(m_cloud.get());
        return m_jobs.back().get();
    }

    void serveResult(const QByteArray &body = kResultText)
    {
        ResultServer::Route route;
        route.body = body;
        m_server->setRoute(QStringLiteral("/result/T1.txt"), route);
        m_cloud->downResult.downUrl =
            QStringLiteral("  ") + m_server->url(QStringLiteral("/result/T1.txt")) + "  ";
    }

    void checkEndedClean(const VideoToTextTask &task)
    {
        QVERIFY2(!QFileInfo::exists(workingFolderOf(task)), qPrintable(workingFolderOf(task)));
        for (const QString &name : entriesIn(m_out))
            QVERIFY2(!name.contains(QLatin1String("__tvx_tmp__")), qPrintable(name));
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        m_source = tvxtest::fixtures::smallMp4();
        QVERIFY(!m_source.isEmpty());
        m_server = std::make_unique<ResultServer>();
        QVERIFY(m_server->isListening());
    }

    void init()
    {
        tools::setVideoToTextTiming(fastTiming());
        m_out = freshDir(QStringLiteral("out"));
        m_uploads = freshDir(QStringLiteral("uploads"));
        m_cloud = std::make_unique<FakeCloud>(m_uploads);
        serveResult();
        user_pay::AccountLocalStore().clear();
    }

    void cleanup()
    {
        // Creations left behind by a cancel still use the fake cloud.
        if (m_cloud) {
            m_cloud->holdCreation = false;
            m_cloud->holdDownQuery = false;
        }
        QThreadPool::globalInstance()->waitForDone(30000);
        QThreadPool::globalInstance()->setMaxThreadCount(QThread::idealThreadCount());
    }

    void completes_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("withAccount");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("fanyiFrom");
        QTest::addColumn<int>("ifShowTxt");
        QTest::newRow("txt chinese, no account") << "TXT" << QStringLiteral("中文") << false << "txt"
                                                 << "zh" << 2;
        QTest::newRow("word english, account") << "word"
                                               << "English" << true << "docx"
                                               << "en" << 0;
        QTest::newRow("srt other, account") << "SRT" << QStringLiteral("其他语种") << true << "srt"
                                            << "all" << 0;
    }
    void completes()
    {
        QFETCH(QString, format);
        QFETCH(QString, language);
        QFETCH(bool, withAccount);
        QFETCH(QString, extension);
        QFETCH(QString, fanyiFrom);
        QFETCH(int, ifShowTxt);
        if (withAccount) {
            user_pay::AccountInfo account;
            account.accountId = QStringLiteral(" user-7 ");
            account.token = QStringLiteral(" tok-9 ");
            QVERIFY(user_pay::AccountLocalStore().save(account));
        }
        VideoToTextTask *task = makeJob(m_source, format, language);
        const QueueRun run = runThroughQueue(task);
        QVERIFY(run.finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(task->message(), msg("conversion_completed"));
        QCOMPARE(task->progress(), 1.0);
        QVERIFY(task->errorCode().isEmpty());
        QVERIFY(nonDecreasing(run.progress));

        const QString result = m_out + "/small_320x240." + extension;
        QFile file(result);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kResultText);
        QCOMPARE(entriesIn(m_out), QStringList{QFileInfo(result).fileName()});
        checkEndedClean(*task);
        QCOMPARE(m_server->lastUserAgent(),
                 QByteArray("Mozilla/5.0 (Windows NT 10.0; Win64; x64) Tavrixo/1.0"));

        const user_pay::CreateConvertTaskRequest create = m_cloud->lastCreate();
        QCOMPARE(create.taskType, QStringLiteral("voice2text"));
        QCOMPARE(create.outExt, extension);
        QCOMPARE(create.limitSizeK, 2048);
        QCOMPARE(create.sliceSizeK, 2048);
        QCOMPARE(create.chunkRetryCount, 2);
        QCOMPARE(create.convertParams, (QJsonObject{{"fanyi_from", fanyiFrom}}));
        QCOMPARE(create.account, withAccount ? QStringLiteral("user-7") : QString());
        QCOMPARE(create.userToken, withAccount ? QStringLiteral("tok-9") : QString());
        QVERIFY(create.clientIp.isEmpty() && create.platTag.isEmpty());
        QVERIFY(create.filePath.startsWith(workingFolderOf(*task) + "/small_320x240_"));
        QVERIFY(create.filePath.endsWith(".mp3"));
        QVERIFY(m_cloud->audioExistedAtCreate());
        QCOMPARE(m_cloud->initializeCount.load(), 1);

        const AudioProbe audio = probeAudio(m_cloud->uploadedCopy());
        QCOMPARE(audio.codec, QStringLiteral("mp3"));
        QCOMPARE(audio.channels, 1);
        QCOMPARE(audio.sampleRate, 16000);
        QCOMPARE(audio.videoStreams, 0);

        const user_pay::QueryTaskStateRequest state = m_cloud->lastState();
        QCOMPARE(state.taskTag, QStringLiteral("T1"));
        QCOMPARE(state.ifShowTxt, ifShowTxt);
        QCOMPARE(state.isSchedule, 1);
        QCOMPARE(state.account, create.account);
        QCOMPARE(state.userToken, create.userToken);
        const user_pay::QueryTaskDownRequest down = m_cloud->lastDown();
        QCOMPARE(down.taskTag, QStringLiteral("T1"));
        QCOMPARE(down.downType, 2);
        QCOMPARE(down.multiUrl, 0);
        QCOMPARE(down.account, create.account);
    }

    // Polls until the server is done; a name already taken gets the next free number and the
    // file there stays as it was.
    void pollsAndNeverReplaces()
    {
        m_cloud->states = {v2ttest::stateAnswer(20000, "busy"), v2ttest::stateAnswer(20000, "busy"),
                           v2ttest::stateAnswer(10000, "done")};
        tvxtest::writeFile(m_out + "/small_320x240.txt", "mine");
        tvxtest::writeFile(m_out + "/small_320x240_1.txt", "mine too");
        VideoToTextTask *task = makeJob(m_source);
        const QueueRun run = runThroughQueue(task);
        QVERIFY(run.finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(m_cloud->stateCount.load(), 3);
        QVERIFY(nonDecreasing(run.progress));
        QFile kept(m_out + "/small_320x240.txt");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("mine"));
        QFile result(m_out + "/small_320x240_2.txt");
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), kResultText);
    }

    // A download of unknown length creeps the bar forward and still saves every byte.
    void downloadOfUnknownLength()
    {
        ResultServer::Route route;
        route.body = QByteArray(300000, 'z');
        route.sendLength = false;
        route.chunked = true;
        m_server->setRoute(QStringLiteral("/result/T1.txt"), route);
        VideoToTextTask *task = makeJob(m_source);
        const QueueRun run = runThroughQueue(task);
        QVERIFY(run.finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(QFileInfo(m_out + "/small_320x240.txt").size(), qint64(300000));
        QVERIFY(nonDecreasing(run.progress));
    }

    void resultFolder_data()
    {
        QTest::addColumn<QString>("outputDirectory"); // relative to a fresh folder; empty: none
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing folder is made") << "made/on/demand"
                                                << "made/on/demand/clip.srt";
        QTest::newRow("no folder: beside the source") << ""
                                                      << "source/clip.srt";
    }
    void resultFolder()
    {
        QFETCH(QString, outputDirectory);
        QFETCH(QString, expected);
        const QString root = freshDir(QStringLiteral("result-folder"));
        QDir().mkpath(root + "/source");
        QVERIFY(QFile::copy(m_source, root + "/source/clip.mp4"));
        VideoToTextTask *task = makeJob(root + "/source/clip.mp4", QStringLiteral("SRT"));
        VideoToTextParams params = task->params();
        params.outputDirectory = outputDirectory.isEmpty() ? QString() : root + "/" + outputDirectory;
        task->applyPreset(params);
        QVERIFY(runThroughQueue(task).finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QFile result(root + "/" + expected);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), kResultText);
    }

    // A redirect that stays on plain HTTP is followed to the body.
    void followsRedirect()
    {
        m_server->setRoute(
            "/moved", ResultServer::Route{302, {}, true, false, m_server->url("/result/T1.txt").toUtf8()});
        m_cloud->downResult.downUrl = m_server->url("/moved");
        VideoToTextTask *task = makeJob(m_source);
        QVERIFY(runThroughQueue(task).finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QFile result(m_out + "/small_320x240.txt");
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), kResultText);
    }

    // A redirect from HTTPS down to plain HTTP is refused, whatever the plain address would serve.
    void refusesRedirectToPlainHttp()
    {
        tvxtest::CloudTestServer certificates(QStringLiteral("tls-certificates"));
        ResultServer secure;
        QVERIFY(secure.useTls(certificates.folder() + "/server.pem", certificates.folder() + "/server.key"));
        // Trusted through the configuration's CA file, as the cloud API's own requests are.
        tvxtest::writeConfigOverride({{"webapi/ca_file", certificates.caFile()}});
        secure.setRoute("/moved", ResultServer::Route{302, "moved", true, false,
                                                      m_server->url("/result/T1.txt").toUtf8()});
        m_cloud->downResult.downUrl = secure.url("/moved");
        const int plainHits = m_server->hits("/result/T1.txt");
        VideoToTextTask *task = makeJob(m_source);
        const bool finished = runThroughQueue(task).finished;
        tvxtest::writeConfigOverride({});
        QVERIFY(finished);
        QCOMPARE(secure.hits("/moved"), 1);
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), QStringLiteral("download_result_failed"));
        QCOMPARE(m_server->hits("/result/T1.txt"), plainHits);
        QCOMPARE(entriesIn(m_out), QStringList());
    }

    // The result address comes from the server: a file, a pipe or a redirect to either is never
    // read, and the job fails at once instead of saving the file as the "transcript" or stalling.
    void refusesAddressesOutsideTheWeb_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file address") << "file";
        QTest::newRow("file address in capitals") << "FILE";
        QTest::newRow("redirect to a file") << "redirect";
        QTest::newRow("named pipe") << "fifo";
    }
    void refusesAddressesOutsideTheWeb()
    {
        QFETCH(QString, kind);
        const QString secret = tvxtest::writeFile(freshDir(QStringLiteral("secret")) + "/account_info.json",
                                                  "{\"token\":\"t\"}");
        const QString fifo = tvxtest::scratchPath(QStringLiteral("result.fifo"));
        QFile::remove(fifo);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString secretUrl = QUrl::fromLocalFile(secret).toString();
        if (kind == "file") {
            m_cloud->downResult.downUrl = secretUrl;
        } else if (kind == "FILE") {
            m_cloud->downResult.downUrl = "FILE://" + secret;
        } else if (kind == "redirect") {
            m_server->setRoute("/moved", ResultServer::Route{302, {}, true, false, secretUrl.toUtf8()});
            m_cloud->downResult.downUrl = m_server->url("/moved");
        } else {
            m_cloud->downResult.downUrl = QUrl::fromLocalFile(fifo).toString();
        }
        VideoToTextTask *task = makeJob(m_source);
        QVERIFY(runThroughQueue(task, {}, 20000).finished);
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), QStringLiteral("download_result_failed"));
        QCOMPARE(task->errorText(), msg("download_failed"));
        QCOMPARE(entriesIn(m_out), QStringList());
        checkEndedClean(*task);
    }

    // The answer streams to disk up to the cap: one byte more fails the job and leaves nothing,
    // whether the server declared the length or sent the body in chunks.
    void answerSizeIsCapped_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("declared");
        QTest::addColumn<bool>("completes");
        QTest::newRow("at the cap, declared") << 100000 << true << true;
        QTest::newRow("at the cap, undeclared") << 100000 << false << true;
        QTest::newRow("over the cap, declared") << 100001 << true << false;
        QTest::newRow("over the cap, undeclared") << 100001 << false << false;
    }
    void answerSizeIsCapped()
    {
        QFETCH(int, size);
        QFETCH(bool, declared);
        QFETCH(bool, completes);
        tools::VideoToTextTiming t = fastTiming();
        t.downloadMaxBytes = 100000;
        tools::setVideoToTextTiming(t);
        ResultServer::Route route;
        route.body = QByteArray(size, 'z');
        route.sendLength = declared;
        route.chunked = !declared;
        m_server->setRoute(QStringLiteral("/result/T1.txt"), route);
        VideoToTextTask *task = makeJob(m_source);
        QVERIFY(runThroughQueue(task).finished);
        checkEndedClean(*task);
        if (completes) {
            QCOMPARE(task->status(), int(BackgroundTask::Completed));
            QCOMPARE(QFileInfo(m_out + "/small_320x240.txt").size(), qint64(size));
            return;
        }
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), QStringLiteral("download_result_failed"));
        QCOMPARE(task->errorText(), msg("download_failed"));
        QCOMPARE(entriesIn(m_out), QStringList());
    }

    void failures_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // empty: any non-empty text that is no catalog miss
        QTest::newRow("blank source") << "blank source"
                                      << "invalid_source" << msg("source_file_empty");
        QTest::newRow("damaged source") << "garbage"
                                        << "extract_audio_failed"
                                        << "";
        QTest::newRow("no ffmpeg") << "no ffmpeg"
                                   << "extract_audio_failed" << msg("ffmpeg_executable_not_found");
        QTest::newRow("ffmpeg fails silently") << "silent ffmpeg"
                                               << "extract_audio_failed" << msg("audio_extraction_failed");
        QTest::newRow("creation refused") << "create message"
                                          << "create_task_failed"
                                          << "quota exceeded";
        QTest::newRow("creation fails bare") << "create bare"
                                             << "create_task_failed" << msg("create_conversion_task_failed");
        QTest::newRow("server failed task") << "state 18000 message"
                                            << "query_task_failed"
                                            << "bad audio";
        QTest::newRow("server failed bare") << "state 18000 bare"
                                            << "query_task_failed" << msg("task_processing_failed");
        QTest::newRow("unknown state code") << "state 12345"
                                            << "query_task_failed" << msg("task_processing_failed");
        QTest::newRow("polling ceiling") << "always busy"
                                         << "query_task_failed" << msg("task_status_polling_timeout");
        QTest::newRow("no address") << "down refused"
                                    << "query_download_url_failed"
                                    << "no result";
        QTest::newRow("blank address") << "down blank"
                                       << "query_download_url_failed" << msg("get_download_url_failed");
        QTest::newRow("download 404") << "404"
                                      << "download_result_failed"
                                      << "";
        QTest::newRow("empty body") << "empty body"
                                    << "download_result_failed" << msg("download_failed");
        QTest::newRow("download timeout") << "timeout"
                                          << "download_result_failed" << msg("download_timeout");
        QTest::newRow("output folder blocked")
            << "folder blocked"
            << "download_result_failed" << msg("create_output_directory_failed");
        QTest::newRow("every name taken") << "names taken"
                                          << "download_result_failed" << msg("save_output_file_failed");
    }
    void failures()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, code);
        QFETCH(QString, text);
        QString source = m_source;
        const QString bin = freshDir(QStringLiteral("bin"));
        const QByteArray savedPath = qgetenv("PATH");
        if (scenario == "blank source") {
            source = QStringLiteral("   ");
        } else if (scenario == "garbage") {
            source = tvxtest::fixtures::garbageMp4();
        } else if (scenario == "no ffmpeg") {
            qputenv("PATH", bin.toLocal8Bit());
        } else if (scenario == "silent ffmpeg") {
            tvxtest::writeScript(bin + "/ffmpeg", QStringLiteral("exit 1\n"));
            qputenv("PATH", bin.toLocal8Bit());
        } else if (scenario == "create message") {
            m_cloud->createResult.success = false;
            m_cloud->createResult.message = QStringLiteral("quota exceeded");
        } else if (scenario == "create bare") {
            m_cloud->createResult.success = false;
            m_cloud->createResult.message = QStringLiteral("  ");
        } else if (scenario == "state 18000 message") {
            m_cloud->states = {v2ttest::stateAnswer(20000, "busy"), v2ttest::stateAnswer(18000, "bad audio")};
        } else if (scenario == "state 18000 bare") {
            m_cloud->states = {v2ttest::stateAnswer(18000, QString())};
        } else if (scenario == "state 12345") {
            m_cloud->states = {v2ttest::stateAnswer(12345, QString())};
        } else if (scenario == "always busy") {
            tools::VideoToTextTiming t = fastTiming();
            t.maxPolls = 4;
            tools::setVideoToTextTiming(t);
            m_cloud->states = {v2ttest::stateAnswer(20000, "busy")};
        } else if (scenario == "down refused") {
            m_cloud->downResult.success = false;
            m_cloud->downResult.message = QStringLiteral("no result");
        } else if (scenario == "down blank") {
            m_cloud->downResult.downUrl = QStringLiteral("   ");
        } else if (scenario == "404") {
            m_server->setRoute("/result/T1.txt", ResultServer::Route{404, "gone", true, false, {}});
        } else if (scenario == "empty body") {
            m_server->setRoute("/result/T1.txt", ResultServer::Route{200, {}, true, false, {}});
        } else if (scenario == "timeout") {
            tools::VideoToTextTiming t = fastTiming();
            t.downloadTimeoutMs = 300;
            tools::setVideoToTextTiming(t);
            m_server->setRoute("/result/T1.txt", ResultServer::Route{200, {}, true, true, {}});
        } else if (scenario == "folder blocked") {
            tvxtest::writeFile(m_out + "/blocker", "a file where a folder should go");
        } else if (scenario == "names taken") {
            tvxtest::writeFile(m_out + "/small_320x240.txt", "0");
            for (int n = 1; n <= 9999; ++n) {
                QFile f(m_out + QStringLiteral("/small_320x240_%1.txt").arg(n));
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        }
        VideoToTextTask *task = makeJob(source);
        if (scenario == "folder blocked") {
            VideoToTextParams params = task->params();
            params.outputDirectory = m_out + "/blocker/deeper";
            task->applyPreset(params);
        }
        const QueueRun run = runThroughQueue(task);
        qputenv("PATH", savedPath);
        QVERIFY(run.finished);
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), code);
        if (text.isEmpty()) {
            QVERIFY(!task->errorText().trimmed().isEmpty());
            QVERIFY2(!task->errorText().startsWith(QLatin1String("[[")), qPrintable(task->errorText()));
        } else {
            QCOMPARE(task->errorText(), text);
        }
        QVERIFY(nonDecreasing(run.progress));
        checkEndedClean(*task);
        if (scenario == "always busy")
            QCOMPARE(m_cloud->stateCount.load(), 4);
        if (scenario == "blank source" || scenario.startsWith("no ffmpeg") || scenario == "garbage")
            QCOMPARE(m_cloud->createCount.load(), 0);
        if (scenario == "names taken") {
            QCOMPARE(entriesIn(m_out).size(), 10000);
            QFile first(m_out + "/small_320x240.txt");
            QVERIFY(first.open(QIODevice::ReadOnly));
            QCOMPARE(first.readAll(), QByteArray("0"));
        } else if (scenario != "folder blocked") {
            QCOMPARE(entriesIn(m_out), QStringList());
        }
    }

    void cancels_data()
    {
        QTest::addColumn<QString>("stage");
        QTest::newRow("before start") << "before start";
        QTest::newRow("while ffmpeg runs") << "ffmpeg";
        QTest::newRow("while the task is created") << "creation";
        QTest::newRow("while polling") << "polling";
        QTest::newRow("while the address is queried") << "address";
        QTest::newRow("while downloading") << "download";
    }
    void cancels()
    {
        QFETCH(QString, stage);
        const QString bin = freshDir(QStringLiteral("bin"));
        const QByteArray savedPath = qgetenv("PATH");
        VideoToTextTask *task = makeJob(m_source);
        std::function<bool()> reached;
        if (stage == "ffmpeg") {
            // Stands in for a long extraction; exec lets the terminate reach the sleeper.
            tvxtest::writeScript(
                bin + "/ffmpeg",
                QStringLiteral(
                    "echo $$ > \"%1/pid\"\n/usr/bin/touch \"%1/started\"\nexec /usr/bin/sleep 60\n")
                    .arg(bin));
            qputenv("PATH", bin.toLocal8Bit());
            reached = [bin] { return QFileInfo::exists(bin + "/started"); };
        } else if (stage == "creation") {
            m_cloud->holdCreation = true;
            reached = [this] { return m_cloud->creationWaiting.load(); };
        } else if (stage == "polling") {
            m_cloud->states = {v2ttest::stateAnswer(20000, "busy")};
            reached = [this] { return m_cloud->stateCount.load() >= 2; };
        } else if (stage == "address") {
            m_cloud->holdDownQuery = true;
            reached = [this] { return m_cloud->downQueryWaiting.load(); };
        } else if (stage == "download") {
            m_server->setRoute("/result/T1.txt", ResultServer::Route{200, {}, true, true, {}});
            reached = [this] { return m_server->hits("/result/T1.txt") > 0; };
        }

        QueueRun run;
        if (stage == "before start") {
            task->cancel();
            QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
            task->start(); // the queue skips it; a direct start must not undo the cancel either
            QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        } else {
            run = runThroughQueue(task, [&] {
                QVERIFY(tvxtest::waitUntil(reached, 30000));
                task->cancel();
                QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
                m_cloud->holdDownQuery = false; // the query answers success after the cancel
            });
            QVERIFY(run.finished);
        }
        qputenv("PATH", savedPath);
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(task->message(), msg("task_cancelled"));
        QVERIFY(task->errorCode().isEmpty());
        QVERIFY(nonDecreasing(run.progress));
        checkEndedClean(*task);
        QCOMPARE(entriesIn(m_out), QStringList());
        if (stage == "before start")
            QCOMPARE(m_cloud->createCount.load(), 0);
        if (stage == "ffmpeg") {
            // The stopped program is gone, not left running on its own.
            QFile pidFile(bin + "/pid");
            QVERIFY(pidFile.open(QIODevice::ReadOnly));
            const QByteArray pid = pidFile.readAll().trimmed();
            QVERIFY(!pid.isEmpty());
            QVERIFY2(!QFileInfo::exists("/proc/" + QString::fromLatin1(pid)), pid.constData());
            QCOMPARE(m_cloud->createCount.load(), 0);
        }
        if (stage == "creation") {
            // The creation was never waited for: it was still held when the job ended.
            QVERIFY(!m_cloud->createFinished.load());
            QVERIFY(m_cloud->stateCount.load() == 0);
        }
    }

    // A cancelled job put back to Pending runs again to its end: the reset clears the cancel.
    void resetAfterCancelRunsAgain()
    {
        VideoToTextTask *task = makeJob(m_source);
        task->cancel();
        QVERIFY(task->resetToPending(QString()));
        const QueueRun run = runThroughQueue(task);
        QVERIFY(run.finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
    }

    // Options changed on the GUI thread while the job runs do not reach the run in progress.
    void optionsAreTakenAtStart()
    {
        m_cloud->holdCreation = true;
        VideoToTextTask *task = makeJob(m_source, QStringLiteral("TXT"));
        const QString otherOut = freshDir(QStringLiteral("other-out"));
        const QueueRun run = runThroughQueue(task, [&] {
            QVERIFY(tvxtest::waitUntil([this] { return m_cloud->creationWaiting.load(); }, 30000));
            VideoToTextParams changed = task->params();
            changed.outputDirectory = otherOut;
            changed.outputFormat = QStringLiteral("SRT");
            changed.recognitionLanguage = QStringLiteral("English");
            task->applyPreset(changed);
            m_cloud->holdCreation = false;
        });
        QVERIFY(run.finished);
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(entriesIn(m_out), QStringList{"small_320x240.txt"});
        QCOMPARE(entriesIn(otherOut), QStringList());
        QCOMPARE(m_cloud->lastState().ifShowTxt, 2);
        // The row shows what the run made, not options it never used.
        QCOMPARE(task->targetFormat(), QStringLiteral("TXT"));
    }

    // The job blocks its pool thread for its whole run and waits for the creation on another:
    // the global pool's limit must not starve it.
    void smallPools_data()
    {
        QTest::addColumn<int>("threads");
        QTest::newRow("one thread") << 1;
        QTest::newRow("two threads") << 2;
    }
    void smallPools()
    {
        QFETCH(int, threads);
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        VideoToTextTask *first = makeJob(m_source);
        VideoToTextTask *second = makeJob(tvxtest::fixtures::unicodeNamedMp4(), QStringLiteral("SRT"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        manager.submitTask(first);
        manager.submitTask(second);
        QVERIFY(tvxtest::waitUntil([&] { return finished.count() == 2; }, 60000));
        QCOMPARE(first->status(), int(BackgroundTask::Completed));
        QCOMPARE(second->status(), int(BackgroundTask::Completed));
        QCOMPARE(QThreadPool::globalInstance()->maxThreadCount(), threads);
        QCOMPARE(entriesIn(m_out).size(), 2);
    }
};

QTEST_GUILESS_MAIN(V2tJobTest)
#include "tst_v2t_job.moc"
