// Convert and compress jobs against fake ffmpeg programs: progress, failures, commit, the free
// name at commit time and cancellation, through the real job queue.
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/TimingProfile.h"
#include "i18n/I18n.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/video_compress/VideoCompressTask.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <vector>

namespace {

// The source's size: 400 kbit/s over the fake probe's 120 s, room for a smaller file.
constexpr qint64 kSourceBytes = 6000000;

// Fake ffmpeg: behaviour from the file "mode" beside it; the last argument is the output.
// It records its pid, and "started" once it runs; "release" lets a waiting run finish.
const char *kFakeFFmpeg = R"SH(PATH=/usr/bin:/bin
D="$(dirname "$0")"
for a in "$@"; do out="$a"; done
echo $$ > "$D/pid"
case "$(cat "$D/mode")" in
progress)
  printf 'frame=1\nout_time_ms=61000000\nprogress=continue\n'
  touch "$D/started"
  while [ ! -f "$D/release" ]; do sleep 0.02; done
  printf 'converted' > "$out"; exit 0 ;;
fail)
  printf 'partial' > "$out"; exit 1 ;;
fail_text)
  printf 'partial' > "$out"; printf '  first line\nInvalid data found  \n' >&2; exit 1 ;;
crash)
  printf 'partial' > "$out"; kill -SEGV $$ ;;
no_output)
  exit 0 ;;
folder_gone)
  printf 'converted' > "$out"; rm -rf "$(dirname "$out")"; exit 0 ;;
bigger)
  truncate -s 7000000 "$out"; exit 0 ;;
hold)
  printf 'partial' > "$out"; touch "$D/started"
  while [ ! -f "$D/release" ]; do sleep 0.02; done
  printf ' done' >> "$out"; exit 0 ;;
stubborn)
  trap '' TERM
  printf 'partial' > "$out"; touch "$D/started"
  while :; do sleep 0.05; done ;;
finish_on_term)
  trap 'printf " done" >> "$out"; exit 0' TERM
  printf 'partial' > "$out"; touch "$D/started"
  while :; do sleep 0.05; done ;;
esac
exit 3)SH";

// Fake ffprobe: a 120 s clip with a 320x240 video stream.
const char *kFakeProbe =
    R"SH(printf '{"format":{"duration":"120.000000"},"streams":[{"codec_type":"video","width":320,"height":240,"duration":"120.000000"}]}'
exit 0)SH";

struct Rig
{
    QString root;
    QString outDir;
    QString source;
    std::unique_ptr<FFmpegEnvironment> environment;
    std::unique_ptr<FFprobeService> prober;

    Rig(const QString &name, const QString &mode)
    {
        const QString base =
            tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
        QDir(base).removeRecursively();
        root = base + QStringLiteral("/ffmpeg");
        outDir = base + QStringLiteral("/out");
        QDir().mkpath(outDir);
        tvxtest::writeScript(root + QStringLiteral("/ffmpeg.exe"), QString::fromLatin1(kFakeFFmpeg));
        tvxtest::writeScript(root + QStringLiteral("/ffprobe.exe"), QString::fromLatin1(kFakeProbe));
        tvxtest::writeFile(root + QStringLiteral("/mode"), mode.toLatin1());
        source = tvxtest::writeFile(base + QStringLiteral("/in/clip.mp4"), QByteArray(6000, 'x'));
        QFile(source).resize(kSourceBytes); // sparse: the size is what counts
        environment = std::make_unique<FFmpegEnvironment>(root);
        prober = std::make_unique<FFprobeService>(environment.get());
    }

    bool has(const QString &file) const { return QFileInfo::exists(root + QLatin1Char('/') + file); }
    void release() const { tvxtest::writeFile(root + QStringLiteral("/release"), "1"); }
    qint64 pid() const
    {
        QFile f(root + QStringLiteral("/pid"));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
    }
    // Everything the job left in the output folder.
    QStringList outputs() const
    {
        QStringList names = QDir(outDir).entryList(QDir::Files | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }
};

bool processGone(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// What differs between the two tools, so each scenario runs for both.
struct Tool
{
    bool compress = false;
    QString finalName; // of a run with the default options for source clip.mp4
    QString nextName;  // the free name after finalName
    QString cancelledText;
    QString failedFallback;
    QString commitFailed;
    QString progressText; // at 50 %
    QString completedText(const QString &path) const
    {
        const QString native = QDir::toNativeSeparators(path);
        if (compress)
            return i18n::t(QStringLiteral("tool.video_compress.task.completed_with_path"),
                           {{QStringLiteral("path"), native}});
        return i18n::t(QStringLiteral("cpp.msg.completed_with_path")).replace(QLatin1String("%1"), native);
    }
};

Tool toolFor(bool compress)
{
    Tool tool;
    tool.compress = compress;
    if (compress) {
        tool.finalName = QStringLiteral("clip_compressed.mp4");
        tool.nextName = QStringLiteral("clip_compressed(1).mp4");
        tool.cancelledText = i18n::t(QStringLiteral("tool.common.task_cancelled"));
        tool.failedFallback = i18n::t(QStringLiteral("tool.video_compress.error.compress_failed"));
        tool.commitFailed = i18n::t(QStringLiteral("tool.video_compress.error.finalize_output_failed"));
        tool.progressText = i18n::t(QStringLiteral("tool.video_compress.task.compressing_percent"),
                                    {{QStringLiteral("percent"), 50}});
    } else {
        tool.finalName = QStringLiteral("clip.mkv");
        tool.nextName = QStringLiteral("clip(1).mkv");
        tool.cancelledText = i18n::t(QStringLiteral("cpp.msg.task_cancelled"));
        tool.failedFallback = i18n::t(QStringLiteral("cpp.msg.conversion_failed"));
        tool.commitFailed = i18n::t(QStringLiteral("cpp.msg.finalize_output_file_failed"));
        tool.progressText =
            i18n::t(QStringLiteral("cpp.msg.converting_progress_percent")).replace(QLatin1String("%1"), "50");
    }
    return tool;
}

// Tasks live as long as the process, as in the program; the list only frees them at exit.
std::vector<std::unique_ptr<BackgroundTask>> g_tasks;

BackgroundTask *makeTask(const Tool &tool, const Rig &rig, const QString &source, const QString &outDir)
{
    if (tool.compress) {
        VideoCompressParams p;
        p.sourcePath = source;
        p.outputDirectory = outDir;
        g_tasks.emplace_back(VideoCompressTaskFactory(rig.prober.get()).createTask(p));
        return g_tasks.back().get();
    }
    FormatConvertParams p;
    p.sourcePath = source;
    p.outputDirectory = outDir;
    p.outputFormat = QStringLiteral("MKV");
    g_tasks.emplace_back(FormatConvertTaskFactory(rig.prober.get()).createTask(p));
    return g_tasks.back().get();
}

void addToolRows()
{
    QTest::addColumn<bool>("compress");
    QTest::newRow("convert") << false;
    QTest::newRow("compress") << true;
}

} // namespace

class ConvertFakeTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
    }

    void progressThenCommit_data() { addToolRows(); }
    void progressThenCommit()
    {
        QFETCH(bool, compress);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("progress"), QStringLiteral("progress"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        manager.submitTask(task);

        // 61 s of a 120 s source.
        QVERIFY(tvxtest::waitUntil([&] { return task->message() == tool.progressText; }, 20000));
        QCOMPARE(task->status(), int(BackgroundTask::Running));
        QVERIFY(qAbs(task->progress() - 61.0 / 120.0) < 1e-9);

        rig.release();
        QVERIFY(finished.wait(20000) || finished.count() == 1);
        const QString output = rig.outDir + QLatin1Char('/') + tool.finalName;
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(task->progress(), 1.0);
        QCOMPARE(task->message(), tool.completedText(output));
        QCOMPARE(rig.outputs(), QStringList{tool.finalName});
        if (compress) {
            auto *compressTask = static_cast<VideoCompressTask *>(task);
            QCOMPARE(compressTask->actualOutputSizeBytes(), qint64(9));
            QCOMPARE(compressTask->targetSizeText(), VideoCompressTask::formatFileSize(9));
            QCOMPARE(compressTask->targetSizeLabel(),
                     i18n::t(QStringLiteral("tool.video_compress.size.actual_label")));
        }
    }

    void failures_data()
    {
        QTest::addColumn<bool>("compress");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // empty: the tool's own fallback text
        for (bool compress : {false, true}) {
            const char *tool = compress ? "compress" : "convert";
            QTest::addRow("%s: exit 1, empty stderr", tool) << compress << "fail"
                                                            << "ffmpeg_failed"
                                                            << "";
            QTest::addRow("%s: exit 1 with stderr", tool) << compress << "fail_text"
                                                          << "ffmpeg_failed"
                                                          << "first line\nInvalid data found";
            QTest::addRow("%s: crash", tool) << compress << "crash"
                                             << "ffmpeg_failed"
                                             << "";
            QTest::addRow("%s: exit 0 without output", tool) << compress << "no_output"
                                                             << "output_commit_failed"
                                                             << "";
            QTest::addRow("%s: output folder deleted", tool) << compress << "folder_gone"
                                                             << "output_commit_failed"
                                                             << "";
        }
        // A compression that ends bigger than its source is no compression.
        QTest::addRow("compress: output not smaller")
            << true << "bigger"
            << "output_not_smaller" << i18n::t(QStringLiteral("tool.video_compress.error.cannot_shrink"));
    }

    void failures()
    {
        QFETCH(bool, compress);
        QFETCH(QString, mode);
        QFETCH(QString, code);
        QFETCH(QString, text);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("fail"), mode);
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        manager.submitTask(task);
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), code);
        if (text.isEmpty())
            text = code == QLatin1String("ffmpeg_failed") ? tool.failedFallback : tool.commitFailed;
        QCOMPARE(task->errorText(), text);
        QCOMPARE(rig.outputs(), QStringList());
        QCOMPARE(QFileInfo(rig.source).size(), kSourceBytes);
    }

    void earlyFailures_data()
    {
        QTest::addColumn<bool>("compress");
        QTest::addColumn<QString>("sourceCase");
        QTest::addColumn<QString>("outCase");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("key");
        for (bool compress : {false, true}) {
            const char *tool = compress ? "compress" : "convert";
            QTest::addRow("%s: blank source", tool)
                << compress << "blank"
                << "ok"
                << "invalid_source"
                << (compress ? "tool.video_compress.error.source_empty" : "cpp.msg.source_file_empty");
            QTest::addRow("%s: blank folder", tool)
                << compress << "ok"
                << "blank"
                << "invalid_output_directory"
                << (compress ? "tool.common.error.output_dir_empty" : "cpp.msg.output_directory_empty");
            QTest::addRow("%s: folder cannot be made", tool)
                << compress << "ok"
                << "blocked"
                << "invalid_output_directory"
                << (compress ? "tool.common.error.output_dir_create_failed"
                             : "cpp.msg.create_output_directory_failed");
            QTest::addRow("%s: no ffmpeg", tool)
                << compress << "ok"
                << "ok"
                << "ffmpeg_unavailable"
                << (compress ? "tool.common.ffmpeg_unavailable" : "cpp.msg.ffmpeg_unavailable");
        }
    }

    void earlyFailures()
    {
        QFETCH(bool, compress);
        QFETCH(QString, sourceCase);
        QFETCH(QString, outCase);
        QFETCH(QString, code);
        QFETCH(QString, key);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("early"), QStringLiteral("hold"));
        QString outDir = rig.outDir;
        if (outCase == QLatin1String("blank"))
            outDir = QStringLiteral("  ");
        else if (outCase == QLatin1String("blocked"))
            outDir = tvxtest::writeFile(rig.outDir + QStringLiteral("/file"), "x") + QStringLiteral("/sub");
        const bool noFFmpeg = code == QLatin1String("ffmpeg_unavailable");
        const QByteArray savedPath = qgetenv("PATH");
        if (noFFmpeg) {
            QFile::remove(rig.root + QStringLiteral("/ffmpeg.exe"));
            qputenv("PATH", "");
        }
        BackgroundTask *task = makeTask(
            tool, rig, sourceCase == QLatin1String("blank") ? QStringLiteral(" ") : rig.source, outDir);
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        manager.submitTask(task);
        const bool done = finished.wait(20000);
        qputenv("PATH", savedPath);
        QVERIFY(done);
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), code);
        QCOMPARE(task->errorText(), i18n::t(key));
        QVERIFY(!rig.has(QStringLiteral("pid")));
    }

    // A file that takes the chosen name while ffmpeg runs is never replaced: the result goes to
    // the next free name.
    void fileAppearingAtTheNameSurvives_data() { addToolRows(); }
    void fileAppearingAtTheNameSurvives()
    {
        QFETCH(bool, compress);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("appear"), QStringLiteral("hold"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        manager.submitTask(task);
        QVERIFY(tvxtest::waitUntil([&] { return rig.has(QStringLiteral("started")); }, 20000));
        const QString taken = tvxtest::writeFile(rig.outDir + QLatin1Char('/') + tool.finalName, "precious");
        rig.release();
        QVERIFY(finished.wait(20000));

        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        const QString output = rig.outDir + QLatin1Char('/') + tool.nextName;
        QCOMPARE(task->message(), tool.completedText(output));
        QStringList expected{tool.finalName, tool.nextName};
        expected.sort();
        QCOMPARE(rig.outputs(), expected);
        QFile keep(taken);
        QVERIFY(keep.open(QIODevice::ReadOnly));
        QCOMPARE(keep.readAll(), QByteArray("precious"));
        QFile result(output);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("partial done"));
        if (compress)
            QCOMPARE(static_cast<VideoCompressTask *>(task)->actualOutputSizeBytes(), qint64(12));
    }

    // Cancel while ffmpeg runs: one that ignores SIGTERM is killed, one that finishes its file on
    // SIGTERM still ends cancelled; neither leaves a temporary file or an output.
    void cancelWhileRunning_data()
    {
        QTest::addColumn<bool>("compress");
        QTest::addColumn<QString>("mode");
        QTest::newRow("convert: ignores SIGTERM") << false << "stubborn";
        QTest::newRow("compress: ignores SIGTERM") << true << "stubborn";
        QTest::newRow("convert: finishes on SIGTERM") << false << "finish_on_term";
        QTest::newRow("compress: finishes on SIGTERM") << true << "finish_on_term";
        QTest::newRow("convert: plain") << false << "hold";
    }

    void cancelWhileRunning()
    {
        QFETCH(bool, compress);
        QFETCH(QString, mode);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("cancel"), mode);
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        manager.submitTask(task);
        QVERIFY(tvxtest::waitUntil([&] { return rig.has(QStringLiteral("started")); }, 20000));
        QVERIFY(tvxtest::waitUntil([&] { return !rig.outputs().isEmpty(); }, 5000)); // the temporary file

        task->cancel();
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(task->message(), tool.cancelledText);
        QCOMPARE(task->errorCode(), QString());
        QCOMPARE(rig.outputs(), QStringList());
        QVERIFY(tvxtest::waitUntil([&] { return processGone(rig.pid()); }, 5000));
    }

    // Cancel while the source is still being probed: the probe is killed and ffmpeg never starts.
    void cancelWhileProbing_data() { addToolRows(); }
    void cancelWhileProbing()
    {
        QFETCH(bool, compress);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("cancelprobe"), QStringLiteral("hold"));
        tvxtest::writeScript(rig.root + QStringLiteral("/ffprobe.exe"),
                             QStringLiteral("touch \"$(dirname \"$0\")/probing\"\nexec sleep 30"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        manager.submitTask(task);
        QVERIFY(tvxtest::waitUntil([&] { return rig.has(QStringLiteral("probing")); }, 20000));

        task->cancel();
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QVERIFY2(!rig.has(QStringLiteral("pid")), "ffmpeg was started for a cancelled job");
        QCOMPARE(rig.outputs(), QStringList());
    }

    // Options applied while the job runs are for the next run: the job keeps what it started with.
    void presetDuringRunKeepsTheJob()
    {
        const Tool tool = toolFor(false);
        const Rig rig(QStringLiteral("preset"), QStringLiteral("hold"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        auto *task = static_cast<FormatConvertTask *>(makeTask(tool, rig, rig.source, rig.outDir));
        manager.submitTask(task);
        QVERIFY(tvxtest::waitUntil([&] { return rig.has(QStringLiteral("started")); }, 20000));
        FormatConvertParams other = task->params();
        other.outputDirectory = rig.outDir + QStringLiteral("/elsewhere");
        other.outputFormat = QStringLiteral("AVI");
        task->applyPreset(other);
        rig.release();
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(rig.outputs(), QStringList{tool.finalName});
        QVERIFY(!QFileInfo::exists(other.outputDirectory));
        QCOMPARE(task->targetFormat(), QStringLiteral("AVI"));
    }

    void cancelWhilePending_data() { addToolRows(); }
    void cancelWhilePending()
    {
        QFETCH(bool, compress);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("pending"), QStringLiteral("hold"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        task->cancel();
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(task->message(), tool.cancelledText);
        manager.submitTask(task);
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QVERIFY(!rig.has(QStringLiteral("pid")));
        QCOMPARE(rig.outputs(), QStringList());
    }

    // A task that completed once and was reset cancels like a new one: it ends Cancelled at once
    // and its queued job creates nothing, not even the output folder.
    void cancelAfterResetCreatesNothing_data() { addToolRows(); }
    void cancelAfterResetCreatesNothing()
    {
        QFETCH(bool, compress);
        const Tool tool = toolFor(compress);
        const Rig rig(QStringLiteral("resetcancel"), QStringLiteral("hold"));
        rig.release();
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        QVERIFY(manager.submitTask(task));
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QVERIFY(QDir(rig.outDir).removeRecursively());

        QVERIFY(task->resetToPending(QString()));
        task->cancel();
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QCOMPARE(task->message(), tool.cancelledText);
        QVERIFY(manager.submitTask(task));
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Cancelled));
        QVERIFY(!QFileInfo::exists(rig.outDir));
    }

    // A probe that timed out says nothing about the source: the compress job fails with a
    // try-again error, never with the verdict of a damaged or audio-only source.
    void compressProbeTimeoutIsNotABadSource()
    {
        ffmpeg::TimingProfile timing;
        timing.probeMs = 300;
        ffmpeg::setTimingProfile(timing);
        const Rig rig(QStringLiteral("probestall"), QStringLiteral("hold"));
        tvxtest::writeScript(rig.root + QStringLiteral("/ffprobe.exe"),
                             QStringLiteral("case \"$*\" in *-version*) exit 0;; esac\nsleep 5\n"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(toolFor(true), rig, rig.source, rig.outDir);
        QVERIFY(manager.submitTask(task));
        QVERIFY(finished.wait(20000));
        ffmpeg::setTimingProfile(ffmpeg::TimingProfile());
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), QStringLiteral("source_probe_failed"));
        QVERIFY(!rig.has(QStringLiteral("pid")));
    }

    // A task reset after a failure runs again from scratch and picks a fresh name.
    void rerunAfterReset()
    {
        const Tool tool = toolFor(false);
        const Rig rig(QStringLiteral("rerun"), QStringLiteral("fail"));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        BackgroundTask *task = makeTask(tool, rig, rig.source, rig.outDir);
        manager.submitTask(task);
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->errorCode(), QStringLiteral("ffmpeg_failed"));

        tvxtest::writeFile(rig.root + QStringLiteral("/mode"), "hold");
        rig.release();
        tvxtest::writeFile(rig.outDir + QLatin1Char('/') + tool.finalName, "earlier result");
        QVERIFY(task->resetToPending(QString()));
        manager.submitTask(task);
        QVERIFY(finished.wait(20000));
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(task->errorCode(), QString());
        QCOMPARE(task->message(), tool.completedText(rig.outDir + QLatin1Char('/') + tool.nextName));
    }
};

QTEST_GUILESS_MAIN(ConvertFakeTest)
#include "tst_convert_fake.moc"
