// The video-to-text view model: option fallbacks, file and folder intake, the probe's marks
// (fake and real ffprobe), option changes on waiting and finished jobs, the output folder and
// its settings file, and the batch accounting over the shared job queue. The queue is held by
// another tool's job, so the batch's jobs wait in it while the test gives them their outcomes.
#include "TestSupport.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextTaskModel.h"
#include "cloud/video_to_text/VideoToTextViewModel.h"
#include "core/AppPaths.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "tasks/BackgroundTask.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QThreadPool>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

// Fake ffprobe: a 60 s 320x240 clip, except "damaged" files (refused), "still" files (valid and
// timed, but no picture size) and "empty" files (no duration).
const char *kFakeProbe = R"SH(PATH=/usr/bin:/bin
case "$*" in
*-version*) exit 0 ;;
*damaged*) echo "Invalid data found when processing input" >&2; exit 1 ;;
*still*) printf '{"format":{"duration":"60.000000"},"streams":[{"codec_type":"audio","duration":"60.000000"}]}'; exit 0 ;;
*empty*) printf '{"format":{"duration":"0"},"streams":[{"codec_type":"video","width":320,"height":240}]}'; exit 0 ;;
esac
printf '{"format":{"duration":"60.000000"},"streams":[{"codec_type":"video","width":320,"height":240,"duration":"60.000000"}]}'
exit 0)SH";

// A job of another tool that holds the one-job queue until released.
class BlockingTask : public BackgroundTask
{
public:
    BlockingTask() : BackgroundTask(QStringLiteral("blocker"), QStringLiteral("format-convert")) {}
    QSemaphore latch;

protected:
    void executeStart() override
    {
        if (!markRunning(QStringLiteral("run")))
            return;
        latch.acquire();
        markCompleted(QStringLiteral("done"));
    }
};

// A video-to-text job whose run has begun and waits there, still Pending, until released: the
// moment at which the view model may still see it as waiting.
class HeldTask : public VideoToTextTask
{
public:
    using VideoToTextTask::VideoToTextTask;
    QSemaphore begun;
    QSemaphore release;

protected:
    void executeStart() override
    {
        begun.release();
        release.acquire();
    }
};

enum Outcome { Complete, Fail, Remove };

struct Rig
{
    QString root;
    std::unique_ptr<FFmpegEnvironment> environment;
    std::unique_ptr<FFprobeService> prober;
    std::unique_ptr<TaskManager> tasks;
    VideoToTextTaskFactory factory;
    std::unique_ptr<VideoToTextViewModel> vm;
    std::unique_ptr<QAbstractItemModelTester> tester;
    BlockingTask *blocker = nullptr;

    explicit Rig(const QString &name, bool withFactory = true)
    {
        root = tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
        QDir(root).removeRecursively();
        tvxtest::writeScript(root + QStringLiteral("/bin/ffprobe.exe"), QString::fromLatin1(kFakeProbe));
        environment = std::make_unique<FFmpegEnvironment>(root + QStringLiteral("/bin"));
        prober = std::make_unique<FFprobeService>(environment.get());
        tasks = std::make_unique<TaskManager>();
        vm = std::make_unique<VideoToTextViewModel>(prober.get(), tasks.get(),
                                                    withFactory ? &factory : nullptr);
        tester = std::make_unique<QAbstractItemModelTester>(
            vm->taskModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        vm->setOutputDirectory(root + QStringLiteral("/out"));
    }

    ~Rig()
    {
        // Nothing may reach the real cloud: every job still queued is cancelled before the
        // queue is let go.
        vm->clearTasks();
        if (blocker)
            blocker->latch.release();
        tasks->shutdown(5000);
        // Probes still running use the prober below.
        QThreadPool::globalInstance()->waitForDone(10000);
    }

    VideoToTextTaskModel *model() const { return vm->taskModel(); }
    VideoToTextTask *task(int row) const { return model()->taskObjectAt(row); }
    QString file(const QString &name) const
    {
        return tvxtest::writeFile(root + QStringLiteral("/in/") + name, QByteArray(2048, 'x'));
    }
    bool probed() const
    {
        for (const VideoToTextTask *t : model()->tasks()) {
            if (t->sourceResolution() == QLatin1String("Auto"))
                return false;
        }
        return true;
    }
    // Holds the queue with another tool's job, so what is submitted next waits in it.
    void holdQueue()
    {
        blocker = new BlockingTask; // jobs are never deleted while the queue may hold them
        QVERIFY(tasks->submitTask(blocker));
        QVERIFY(tvxtest::waitUntil([this] { return blocker->status() == BackgroundTask::Running; }));
    }
    // What the queue reports when a job's run has returned.
    void reportFinished(BackgroundTask *job) { emit tasks->scheduler()->taskFinished(job); }
};

QString damaged()
{
    return VideoToTextViewModel::damagedFileUnparseableText();
}

} // namespace

class VideoToTextViewModelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
    }

    void defaultsAndOptions()
    {
        Rig rig(QStringLiteral("defaults"));
        QCOMPARE(rig.vm->toolTitle(), QStringLiteral("视频转文字"));
        QCOMPARE(rig.vm->outputFormat(), QStringLiteral("TXT"));
        QCOMPARE(rig.vm->outputFormatOptions(), QStringList({"TXT", "WORD", "SRT"}));
        QCOMPARE(rig.vm->recognitionLanguage(), QStringLiteral("中文"));
        QCOMPARE(rig.vm->recognitionLanguageOptions(), QStringList({"中文", "English", "其他语种"}));
        QCOMPARE(damaged(), QStringLiteral("文件损坏，无法解析"));
        QVERIFY(!rig.vm->canStartTasks());
        QVERIFY(!rig.vm->exporting());
        QCOMPARE(rig.vm->startButtonText(), QStringLiteral("添加文件"));
        QCOMPARE(rig.vm->taskModelObject(), static_cast<QObject *>(rig.model()));
    }

    void setterFallback_data()
    {
        QTest::addColumn<QString>("setter");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("emitted");
        QTest::newRow("format WORD") << "format"
                                     << "TXT"
                                     << "WORD"
                                     << "WORD" << 1;
        QTest::newRow("format word falls back") << "format"
                                                << "SRT"
                                                << "word"
                                                << "TXT" << 1;
        QTest::newRow("format fallback already TXT") << "format"
                                                     << "TXT"
                                                     << "docx"
                                                     << "TXT" << 0;
        QTest::newRow("format same") << "format"
                                     << "SRT"
                                     << "SRT"
                                     << "SRT" << 0;
        QTest::newRow("language English") << "language"
                                          << "中文"
                                          << "English"
                                          << "English" << 1;
        QTest::newRow("language other") << "language"
                                        << "中文"
                                        << "其他语种"
                                        << "其他语种" << 1;
        QTest::newRow("language english falls back") << "language"
                                                     << "English"
                                                     << "english"
                                                     << "中文" << 1;
        QTest::newRow("language blank already zh") << "language"
                                                   << "中文"
                                                   << " "
                                                   << "中文" << 0;
    }

    void setterFallback()
    {
        QFETCH(QString, setter);
        QFETCH(QString, start);
        QFETCH(QString, given);
        QFETCH(QString, stored);
        QFETCH(int, emitted);
        Rig rig(QStringLiteral("setters"));
        const bool format = setter == QLatin1String("format");
        if (format)
            rig.vm->setOutputFormat(start);
        else
            rig.vm->setRecognitionLanguage(start);
        QSignalSpy formatSpy(rig.vm.get(), &VideoToTextViewModel::outputFormatChanged);
        QSignalSpy languageSpy(rig.vm.get(), &VideoToTextViewModel::recognitionLanguageChanged);
        if (format)
            rig.vm->setOutputFormat(given);
        else
            rig.vm->setRecognitionLanguage(given);
        QCOMPARE(format ? rig.vm->outputFormat() : rig.vm->recognitionLanguage(), stored);
        QCOMPARE(format ? formatSpy.count() : languageSpy.count(), emitted);
        QCOMPARE(format ? languageSpy.count() : formatSpy.count(), 0);
    }

    void intake_data()
    {
        QTest::addColumn<QStringList>("files");   // created under in/
        QTest::addColumn<QStringList>("entries"); // "url:" or "path:" and a name under in/
        QTest::addColumn<QStringList>("listed");  // names, in row order
        QTest::newRow("url and plain path")
            << QStringList{"a.mp4", "b.mkv"} << QStringList{"url:a.mp4", "path:b.mkv"}
            << QStringList{"a.mp4", "b.mkv"};
        QTest::newRow("duplicate by url and path")
            << QStringList{"a.mp4"} << QStringList{"path:a.mp4", "url:a.mp4", "path:a.mp4"}
            << QStringList{"a.mp4"};
        QTest::newRow("upper-case suffix")
            << QStringList{"LOUD.MP4", "Mixed.MkV"} << QStringList{"path:LOUD.MP4", "url:Mixed.MkV"}
            << QStringList{"LOUD.MP4", "Mixed.MkV"};
        QTest::newRow("subtitle, audio and text refused")
            << QStringList{"a.srt", "b.mp3", "c.txt", "d.webm"}
            << QStringList{"path:a.srt", "url:b.mp3", "path:c.txt", "path:d.webm"} << QStringList{"d.webm"};
        QTest::newRow("missing file refused")
            << QStringList{"a.mp4"} << QStringList{"path:gone.mp4", "path:a.mp4"} << QStringList{"a.mp4"};
        QTest::newRow("blank entries refused")
            << QStringList{} << QStringList{"raw:", "raw:   "} << QStringList{};
        QTest::newRow("name with blanks and percent")
            << QStringList{"my clip 100%.mp4"} << QStringList{"url:my clip 100%.mp4"}
            << QStringList{"my clip 100%.mp4"};
    }

    void intake()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, listed);
        Rig rig(QStringLiteral("intake"));
        for (const QString &name : files)
            rig.file(name);
        QStringList given;
        for (const QString &entry : entries) {
            const QString kind = entry.section(QLatin1Char(':'), 0, 0);
            const QString name = entry.section(QLatin1Char(':'), 1);
            const QString path = rig.root + QStringLiteral("/in/") + name;
            if (kind == QLatin1String("url"))
                given << QUrl::fromLocalFile(path).toString();
            else if (kind == QLatin1String("path"))
                given << path;
            else
                given << name;
        }
        QSignalSpy startSpy(rig.vm.get(), &VideoToTextViewModel::startActionChanged);
        rig.vm->addFiles(given);
        QStringList names;
        for (const VideoToTextTask *task : rig.model()->tasks()) {
            names << task->sourceFileName();
            QCOMPARE(task->sourcePath(), rig.root + QStringLiteral("/in/") + task->sourceFileName());
            QCOMPARE(task->params().outputDirectory, rig.root + QStringLiteral("/out"));
        }
        QCOMPARE(names, listed);
        QCOMPARE(startSpy.count(), listed.size());
        QVERIFY(tvxtest::waitUntil([&rig] { return rig.probed(); }));
        QCOMPARE(rig.vm->canStartTasks(), !listed.isEmpty());
    }

    void folderIntakeOrderAndRecursion()
    {
        Rig rig(QStringLiteral("folder"));
        rig.file(QStringLiteral("b.mp4"));
        rig.file(QStringLiteral("A.mkv"));
        rig.file(QStringLiteral("sub/c.txt"));
        rig.file(QStringLiteral("sub/deeper/C.avi"));
        rig.file(QStringLiteral(".hidden.mp4"));
        QSignalSpy startSpy(rig.vm.get(), &VideoToTextViewModel::startActionChanged);
        rig.vm->addFolder(QUrl::fromLocalFile(rig.root + QStringLiteral("/in")).toString());
        QStringList names;
        for (const VideoToTextTask *task : rig.model()->tasks())
            names << task->sourcePath().mid(rig.root.size() + 4);
        QCOMPARE(names, QStringList({"A.mkv", "b.mp4", "sub/deeper/C.avi"}));
        QCOMPARE(startSpy.count(), 3);
        // The same folder again, as a plain path, adds nothing.
        rig.vm->addFolder(rig.root + QStringLiteral("/in"));
        QCOMPARE(rig.model()->rowCount(), 3);
        rig.vm->addFolder(rig.root + QStringLiteral("/nowhere"));
        QCOMPARE(rig.model()->rowCount(), 3);
    }

    void noFactoryAcceptsNothing()
    {
        Rig rig(QStringLiteral("nofactory"), false);
        rig.vm->addFiles({rig.file(QStringLiteral("a.mp4"))});
        rig.vm->addFolder(rig.root + QStringLiteral("/in"));
        QCOMPARE(rig.model()->rowCount(), 0);
    }

    void probeMarks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<bool>("startable");
        QTest::newRow("clip") << "clip.mp4"
                              << "320x240" << true;
        QTest::newRow("unreadable") << "damaged.mp4" << damaged() << false;
        QTest::newRow("no duration") << "empty.mp4" << damaged() << false;
        QTest::newRow("no picture size keeps Auto") << "still.mp4"
                                                    << "Auto" << true;
    }

    void probeMarks()
    {
        QFETCH(QString, name);
        QFETCH(QString, resolution);
        QFETCH(bool, startable);
        Rig rig(QStringLiteral("probe"));
        QSignalSpy changed(rig.model(), &QAbstractItemModel::dataChanged);
        rig.vm->addFiles({rig.file(name)});
        QCOMPARE(rig.model()->rowCount(), 1);
        // Row inserted (+1 change), then the probe's change.
        QVERIFY(tvxtest::waitUntil([&changed] { return changed.count() >= 2; }));
        QCOMPARE(rig.task(0)->sourceResolution(), resolution);
        QCOMPARE(rig.vm->canStartTasks(), startable);
        QCOMPARE(rig.vm->startButtonText(), startable ? QStringLiteral("转换") : QStringLiteral("添加文件"));
    }

    void realProbe_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("resolution");
        QTest::newRow("320x240 clip") << tvxtest::fixtures::smallMp4() << "320x240";
        QTest::newRow("random bytes") << tvxtest::fixtures::garbageMp4() << damaged();
        QTest::newRow("zero bytes") << tvxtest::fixtures::zeroByteFile() << damaged();
    }

    void realProbe()
    {
        QFETCH(QString, file);
        QFETCH(QString, resolution);
        QVERIFY(!file.isEmpty());
        FFmpegEnvironment environment;
        FFprobeService prober(&environment);
        QVERIFY2(environment.hasFFprobeExecutable(), "ffprobe is part of the test machine");
        VideoToTextTaskFactory factory;
        VideoToTextViewModel vm(&prober, nullptr, &factory);
        vm.addFiles({QUrl::fromLocalFile(file).toString()});
        QCOMPARE(vm.taskModel()->rowCount(), 1);
        VideoToTextTask *task = vm.taskModel()->taskObjectAt(0);
        QVERIFY(
            tvxtest::waitUntil([task] { return task->sourceResolution() != QLatin1String("Auto"); }, 20000));
        QCOMPARE(task->sourceResolution(), resolution);
        // Without a queue nothing can be started, and saying so does no harm.
        vm.startTasks();
        QCOMPARE(task->status(), int(BackgroundTask::Pending));
    }

    void optionChangesResetOrSkip()
    {
        Rig rig(QStringLiteral("options"));
        rig.vm->addFiles({rig.file(QStringLiteral("done.mp4")), rig.file(QStringLiteral("failed.mp4")),
                          rig.file(QStringLiteral("running.mp4")), rig.file(QStringLiteral("damaged.mp4")),
                          rig.file(QStringLiteral("waiting.mp4")),
                          rig.file(QStringLiteral("cancelled.mp4"))});
        QVERIFY(tvxtest::waitUntil([&rig] { return rig.probed(); }));
        VideoToTextTask *done = rig.task(0), *failed = rig.task(1), *running = rig.task(2),
                        *broken = rig.task(3), *waiting = rig.task(4), *cancelled = rig.task(5);
        QVERIFY(done->markRunning(QString()) && done->markCompleted(QStringLiteral("ok")));
        QVERIFY(failed->markRunning(QString()));
        failed->setProgress(0.4);
        QVERIFY(failed->markFailed(QStringLiteral("create_task_failed"), QStringLiteral("no")));
        QVERIFY(running->markRunning(QString()));
        QVERIFY(cancelled->markCancelled(QStringLiteral("Task cancelled")));
        QCOMPARE(broken->sourceResolution(), damaged());

        QSignalSpy startSpy(rig.vm.get(), &VideoToTextViewModel::startActionChanged);
        QSignalSpy formatSpy(rig.vm.get(), &VideoToTextViewModel::outputFormatChanged);
        rig.vm->setOutputFormat(QStringLiteral("SRT"));
        QCOMPARE(formatSpy.count(), 1);
        QCOMPARE(startSpy.count(), 1); // finished jobs came back
        for (VideoToTextTask *task : {done, failed}) {
            QCOMPARE(task->status(), int(BackgroundTask::Pending));
            QCOMPARE(task->progress(), 0.0);
            QCOMPARE(task->message(), QString());
            QCOMPARE(task->errorCode(), QString());
            QCOMPARE(task->targetFormat(), QStringLiteral("SRT"));
        }
        QCOMPARE(waiting->targetFormat(), QStringLiteral("SRT"));
        QCOMPARE(cancelled->targetFormat(), QStringLiteral("SRT"));
        QCOMPARE(cancelled->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(running->targetFormat(), QStringLiteral("TXT"));
        QCOMPARE(broken->targetFormat(), QStringLiteral("TXT"));

        // Waiting jobs only take the new value: no reset, so no start-state change.
        startSpy.clear();
        rig.vm->setRecognitionLanguage(QStringLiteral("English"));
        QCOMPARE(startSpy.count(), 0);
        QCOMPARE(done->targetLanguage(), QStringLiteral("English"));
        QCOMPARE(running->targetLanguage(), QStringLiteral("中文"));
        const QString folder = rig.root + QStringLiteral("/elsewhere");
        rig.vm->setOutputDirectory(folder);
        QCOMPARE(waiting->params().outputDirectory, folder);
        QCOMPARE(running->params().outputDirectory, rig.root + QStringLiteral("/out"));
        for (VideoToTextTask *task : rig.model()->tasks())
            QCOMPARE(task->sourcePath(), rig.root + QStringLiteral("/in/") + task->sourceFileName());
    }

    void outputDirectory()
    {
        Rig rig(QStringLiteral("folder-choice"));
        const QString ini = app::appDataFilePath(QStringLiteral("video_to_text.ini"));
        QSignalSpy changed(rig.vm.get(), &VideoToTextViewModel::outputDirectoryChanged);
        QSignalSpy refused(rig.vm.get(), &VideoToTextViewModel::outputDirectoryValidationFailed);

        const QString before = rig.vm->outputDirectory();
        rig.vm->setOutputDirectory(before);
        rig.vm->setOutputDirectory(QString());
        rig.vm->setOutputDirectory(QStringLiteral("   "));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(refused.count(), 0);

        // Below a file nothing can be created, whoever runs the test.
        const QString plain = rig.file(QStringLiteral("plain"));
        rig.vm->setOutputDirectory(plain + QStringLiteral("/sub"));
        QCOMPARE(refused.count(), 1);
        QCOMPARE(refused.at(0).at(0).toString(), QStringLiteral("无法创建输出目录"));
        QCOMPARE(rig.vm->outputDirectory(), before);
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value("video_to_text/output_directory").toString(),
                 before);

        // A new folder, given with a native-looking relative path, is made and remembered.
        const QString target = rig.root + QStringLiteral("/chosen/deep");
        QVERIFY(QDir::setCurrent(rig.root));
        rig.vm->setOutputDirectory(QStringLiteral("chosen/deep"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(rig.vm->outputDirectory(), target);
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value("video_to_text/output_directory").toString(),
                 target);

        // The next start takes it, and recreates it when it was deleted meanwhile.
        QVERIFY(QDir(rig.root + QStringLiteral("/chosen")).removeRecursively());
        VideoToTextViewModel next(nullptr, nullptr, nullptr);
        QCOMPARE(next.outputDirectory(), target);
        QVERIFY(QFileInfo(target).isDir());

        // A stored folder that cannot be made is ignored silently; the key stays.
        QSettings(ini, QSettings::IniFormat).setValue("video_to_text/output_directory", plain + "/sub");
        VideoToTextViewModel fallback(nullptr, nullptr, nullptr);
        QCOMPARE(fallback.outputDirectory(), app::ensureDesktopOutputRootPath());
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value("video_to_text/output_directory").toString(),
                 plain + "/sub");
    }

    void batchOutcome_data()
    {
        QTest::addColumn<QVector<int>>("outcomes"); // per row, in the order the jobs end
        QTest::addColumn<int>("successes");         // -1: no result
        QTest::addColumn<int>("failures");
        QTest::addColumn<QString>("reason"); // a failed job's error text, %1 its row
        QTest::addColumn<QString>("shown");  // the failure text the dialog is given
        const QString network = QStringLiteral("Network error: %1");
        QTest::newRow("two complete") << QVector<int>{Complete, Complete} << 2 << 0 << network << network;
        QTest::newRow("one each") << QVector<int>{Complete, Fail} << 1 << 1 << network << network;
        QTest::newRow("all fail") << QVector<int>{Fail, Fail, Fail} << 0 << 3 << network << network;
        QTest::newRow("all removed") << QVector<int>{Remove, Remove} << -1 << -1 << network << network;
        QTest::newRow("one removed, one complete")
            << QVector<int>{Remove, Complete} << 1 << 0 << network << network;
        QTest::newRow("complete, then the last removed")
            << QVector<int>{Complete, Remove} << 1 << 0 << network << network;
        // The server's message: one line, in the order it was written.
        QTest::newRow("server's message with a line break and an override")
            << QVector<int>{Fail} << 0 << 1 << QStringLiteral("Bob\u202eevil\nFAKE %1")
            << QStringLiteral("Bobevil FAKE %1");
    }

    void batchOutcome()
    {
        QFETCH(QVector<int>, outcomes);
        QFETCH(int, successes);
        QFETCH(int, failures);
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        Rig rig(QStringLiteral("batch"));
        QStringList files;
        for (int i = 0; i < outcomes.size(); ++i)
            files << rig.file(QStringLiteral("clip%1.mp4").arg(i));
        files << rig.file(QStringLiteral("damaged.mp4"));
        rig.vm->addFiles(files);
        QVERIFY(tvxtest::waitUntil([&rig] { return rig.probed(); }));
        rig.holdQueue();
        QSignalSpy finished(rig.vm.get(), &VideoToTextViewModel::batchExecutionFinished);
        const QList<VideoToTextTask *> jobs = rig.model()->tasks();
        VideoToTextTask *broken = jobs.last();

        rig.vm->startTasks();
        QCOMPARE(rig.tasks->scheduler()->queuedTaskCount(), outcomes.size()); // the damaged job stays out
        // Another tool's job ending changes nothing here.
        rig.reportFinished(rig.blocker);
        QCOMPARE(finished.count(), 0);

        for (int i = 0; i < outcomes.size(); ++i) {
            VideoToTextTask *job = jobs.at(i);
            if (outcomes.at(i) == Remove) {
                rig.vm->removeTask(rig.model()->tasks().indexOf(job));
                QCOMPARE(job->status(), int(BackgroundTask::Cancelled));
            } else {
                QVERIFY(job->markRunning(QString()));
                QVERIFY(rig.vm->exporting());
                QCOMPARE(rig.vm->startButtonText(), QStringLiteral("转换中..."));
                if (outcomes.at(i) == Complete)
                    QVERIFY(job->markCompleted(QStringLiteral("done")));
                else
                    QVERIFY(job->markFailed(QStringLiteral("create_task_failed"), reason.arg(i)));
            }
            rig.reportFinished(job);
            QCOMPARE(finished.count(), (i + 1 == outcomes.size() && successes >= 0) ? 1 : 0);
        }
        if (successes >= 0) {
            QCOMPARE(finished.at(0).at(0).toInt(), successes);
            QCOMPARE(finished.at(0).at(1).toInt(), failures);
        }
        QCOMPARE(rig.vm->lastFailureText(), failures > 0 ? shown.arg(outcomes.indexOf(Fail)) : QString());
        // The batch is over: later reports of its jobs say nothing more.
        rig.reportFinished(jobs.first());
        QVERIFY(finished.count() <= 1);
        QCOMPARE(broken->status(), int(BackgroundTask::Pending));
        QVERIFY(!rig.vm->exporting());
    }

    void optionsNeverReachABegunRun()
    {
        VideoToTextParams params;
        params.sourcePath = QStringLiteral("/srv/a.mp4");
        params.outputDirectory = QStringLiteral("/srv/out");
        HeldTask task(QStringLiteral("held"), params);
        std::thread pool([&task] { task.start(); });
        task.begun.acquire();
        VideoToTextParams next = params;
        next.outputFormat = QStringLiteral("SRT");
        next.outputDirectory = QStringLiteral("/srv/elsewhere");
        task.applyPreset(next);
        QCOMPARE(task.status(), int(BackgroundTask::Pending));
        QCOMPARE(task.params().outputFormat, QStringLiteral("TXT"));
        QCOMPARE(task.params().outputDirectory, QStringLiteral("/srv/out"));
        task.release.release();
        pool.join();
        task.applyPreset(next);
        QCOMPARE(task.targetFormat(), QStringLiteral("SRT"));
        QCOMPARE(task.sourcePath(), QStringLiteral("/srv/a.mp4"));
    }

    void secondStartSkipsFinishedJobs()
    {
        Rig rig(QStringLiteral("restart"));
        rig.vm->addFiles({rig.file(QStringLiteral("a.mp4")), rig.file(QStringLiteral("b.mp4"))});
        QVERIFY(tvxtest::waitUntil([&rig] { return rig.probed(); }));
        rig.holdQueue();
        VideoToTextTask *a = rig.task(0);
        QVERIFY(a->markRunning(QString()) && a->markCompleted(QStringLiteral("done")));
        QSignalSpy finished(rig.vm.get(), &VideoToTextViewModel::batchExecutionFinished);
        rig.vm->startTasks();
        rig.vm->startTasks(); // before anything began: b is queued again, counted once
        QCOMPARE(rig.tasks->scheduler()->queuedTaskCount(), 1);
        QVERIFY(rig.task(1)->markRunning(QString()) && rig.task(1)->markCompleted(QStringLiteral("done")));
        rig.reportFinished(rig.task(1));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);

        // Only an option change makes a finished job worth starting again.
        QVERIFY(!rig.vm->canStartTasks());
        rig.vm->setOutputFormat(QStringLiteral("WORD"));
        QVERIFY(rig.vm->canStartTasks());
        QCOMPARE(rig.vm->startButtonText(), QStringLiteral("转换"));
    }

    void clearDuringBatchReportsNothing()
    {
        Rig rig(QStringLiteral("clear"));
        rig.vm->addFiles({rig.file(QStringLiteral("a.mp4")), rig.file(QStringLiteral("b.mp4"))});
        QVERIFY(tvxtest::waitUntil([&rig] { return rig.probed(); }));
        rig.holdQueue();
        QSignalSpy finished(rig.vm.get(), &VideoToTextViewModel::batchExecutionFinished);
        rig.vm->startTasks();
        const QList<VideoToTextTask *> jobs = rig.model()->tasks();
        QVERIFY(jobs.at(0)->markRunning(QString()));
        QSignalSpy startSpy(rig.vm.get(), &VideoToTextViewModel::startActionChanged);
        rig.vm->clearTasks();
        QCOMPARE(startSpy.count(), 1);
        QCOMPARE(rig.model()->rowCount(), 0);
        for (VideoToTextTask *job : jobs) {
            QCOMPARE(job->status(), int(BackgroundTask::Cancelled));
            rig.reportFinished(job);
        }
        QCOMPARE(finished.count(), 0);
    }

    void removeOutOfRangeStillAnnounces()
    {
        Rig rig(QStringLiteral("remove"));
        rig.vm->addFiles({rig.file(QStringLiteral("a.mp4"))});
        QSignalSpy startSpy(rig.vm.get(), &VideoToTextViewModel::startActionChanged);
        rig.vm->removeTask(-1);
        rig.vm->removeTask(1);
        QCOMPARE(startSpy.count(), 2);
        QCOMPARE(rig.model()->rowCount(), 1);
        QCOMPARE(rig.task(0)->status(), int(BackgroundTask::Pending));
    }

    void pollingOutlivesQueuedJobs()
    {
        Rig rig(QStringLiteral("polling"));
        rig.vm->addFiles({rig.file(QStringLiteral("a.mp4"))});
        QVERIFY(tvxtest::waitUntil([&rig] { return rig.probed(); }));
        rig.holdQueue();
        rig.vm->startTasks();
        // The job waits behind another tool's job; its row must move once it begins.
        QSignalSpy changed(rig.model(), &QAbstractItemModel::dataChanged);
        QSignalSpy startSpy(rig.vm.get(), &VideoToTextViewModel::startActionChanged);
        QVERIFY(tvxtest::waitUntil([&startSpy] { return startSpy.count() >= 2; }, 3000));
        QVERIFY(rig.task(0)->markRunning(QString()));
        rig.task(0)->setProgress(0.5);
        QVERIFY(tvxtest::waitUntil([&changed] { return !changed.isEmpty(); }, 3000));
    }

    void startWithoutQueueIsRefused()
    {
        VideoToTextTaskFactory factory;
        VideoToTextViewModel vm(nullptr, nullptr, &factory);
        vm.addFiles({tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("noqueue/a.mp4")), "x")});
        QCOMPARE(vm.taskModel()->rowCount(), 1);
        QCOMPARE(vm.taskModel()->taskObjectAt(0)->sourceResolution(), QStringLiteral("Auto")); // no prober
        QSignalSpy startSpy(&vm, &VideoToTextViewModel::startActionChanged);
        vm.startTasks();
        QCOMPARE(startSpy.count(), 0);
        QCOMPARE(vm.taskModel()->taskObjectAt(0)->status(), int(BackgroundTask::Pending));
    }
};

QTEST_MAIN(VideoToTextViewModelTest)
#include "tst_v2t_viewmodel.moc"
