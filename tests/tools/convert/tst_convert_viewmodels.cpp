// The format-convert and video-compress view models, driven the same way through the real job
// queue with fake ffmpeg/ffprobe programs: batch accounting, shutdown, output folder, adding
// files and folders, damaged and inconclusive probes.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/TimingProfile.h"
#include "i18n/I18n.h"
#include "platform/ShutdownLauncher.h"
#include "system/SystemActions.h"
#include "tasks/BackgroundTask.h"
#include "tasks/TaskManager.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertViewModel.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"
#include "tools/video_compress/VideoCompressViewModel.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Fake ffmpeg: the input's name decides; "hold" waits for the file "release" beside the program.
const char *kFakeFFmpeg = R"SH(PATH=/usr/bin:/bin
D="$(dirname "$0")"
prev=""; in=""
for a in "$@"; do [ "$prev" = "-i" ] && in="$a"; prev="$a"; out="$a"; done
case "$in" in
*fail*) echo "Invalid data found" >&2; exit 1 ;;
*hold*) while [ ! -f "$D/release" ]; do sleep 0.02; done ;;
esac
printf 'converted' > "$out"; exit 0)SH";

// Fake ffprobe: a 120 s 320x240 clip, except "damaged" files (refused) and "stall" files (hang).
const char *kFakeProbe = R"SH(PATH=/usr/bin:/bin
case "$*" in
*-version*) exit 0 ;;
*damaged*) echo "Invalid data found when processing input" >&2; exit 1 ;;
*stall*) sleep 5; exit 0 ;;
esac
printf '{"format":{"duration":"120.000000"},"streams":[{"codec_type":"video","width":320,"height":240,"duration":"120.000000"}]}'
exit 0)SH";

// A job of another tool on the shared queue, held until released.
class OtherToolTask : public BackgroundTask
{
public:
    OtherToolTask() : BackgroundTask(QStringLiteral("other"), QStringLiteral("video-to-text")) {}
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

// One view model of either tool with its own fake programs, queue and shutdown recorder.
struct Rig
{
    bool compress = false;
    QString root;
    std::unique_ptr<FFmpegEnvironment> environment;
    std::unique_ptr<FFprobeService> prober;
    std::unique_ptr<TaskManager> tasks;
    std::unique_ptr<SystemActions> actions;
    std::unique_ptr<FormatConvertTaskFactory> convertFactory;
    std::unique_ptr<VideoCompressTaskFactory> compressFactory;
    std::unique_ptr<QObject> viewModel;

    Rig(const QString &name, bool forCompress) : compress(forCompress)
    {
        root = tvxtest::scratchPath(name + (compress ? "-compress" : "-convert") + QStringLiteral("/x"))
                   .section(QLatin1Char('/'), 0, -2);
        QDir(root).removeRecursively();
        tvxtest::writeScript(root + QStringLiteral("/bin/ffmpeg.exe"), QString::fromLatin1(kFakeFFmpeg));
        tvxtest::writeScript(root + QStringLiteral("/bin/ffprobe.exe"), QString::fromLatin1(kFakeProbe));
        tvxtest::writeScript(root + QStringLiteral("/shutdown.sh"),
                             QStringLiteral("echo down >> \"%1/shutdowns\"\n").arg(root));
        environment = std::make_unique<FFmpegEnvironment>(root + QStringLiteral("/bin"));
        prober = std::make_unique<FFprobeService>(environment.get());
        tasks = std::make_unique<TaskManager>();
        actions = std::make_unique<SystemActions>();
        actions->setShutdownLauncher(platform::ShutdownLauncher(root + QStringLiteral("/shutdown.sh"), {}));
        convertFactory = std::make_unique<FormatConvertTaskFactory>(prober.get());
        compressFactory = std::make_unique<VideoCompressTaskFactory>(prober.get());
        viewModel = makeViewModel();
        QVERIFY(QMetaObject::invokeMethod(viewModel.get(), "setOutputDirectory",
                                          Q_ARG(QString, root + QStringLiteral("/out"))));
    }

    std::unique_ptr<QObject> makeViewModel() const
    {
        if (compress)
            return std::make_unique<VideoCompressViewModel>(environment.get(), prober.get(), tasks.get(),
                                                            actions.get(), compressFactory.get());
        return std::make_unique<FormatConvertViewModel>(environment.get(), prober.get(), tasks.get(),
                                                        actions.get(), convertFactory.get());
    }

    QObject *vm() const { return viewModel.get(); }
    QAbstractItemModel *model() const
    {
        QObject *object = nullptr;
        QMetaObject::invokeMethod(viewModel.get(), "taskModelObject", Q_RETURN_ARG(QObject *, object));
        return qobject_cast<QAbstractItemModel *>(object);
    }
    QVariant role(int row, const char *name) const
    {
        QAbstractItemModel *m = model();
        return m->data(m->index(row, 0), m->roleNames().key(name));
    }
    int status(int row) const { return role(row, "status").toInt(); }
    // 6 MB (sparse) over the fake probe's 120 s: a source with room for a smaller file.
    QString source(const QString &name) const
    {
        const QString path = tvxtest::writeFile(root + QStringLiteral("/in/") + name, QByteArray(4000, 'x'));
        QFile(path).resize(6000000);
        return path;
    }
    void addFiles(const QStringList &names) const
    {
        QStringList urls;
        for (const QString &name : names)
            urls << QUrl::fromLocalFile(source(name)).toString();
        QMetaObject::invokeMethod(viewModel.get(), "addFiles", Q_ARG(QStringList, urls));
    }
    bool probed(int rows) const
    {
        for (int row = 0; row < rows; ++row) {
            if (role(row, "sourceResolution").toString() == QLatin1String("Auto"))
                return false;
        }
        return model()->rowCount() == rows;
    }
    void invoke(const char *method) const { QMetaObject::invokeMethod(viewModel.get(), method); }
    void removeRow(int row) const
    {
        QMetaObject::invokeMethod(viewModel.get(), "removeTask", Q_ARG(int, row));
    }
    void setShutdown(bool on) const { viewModel->setProperty("shutdownWhenFinished", on); }
    // A change of what the output will be.
    void changeOutputChoice() const
    {
        if (compress)
            viewModel->setProperty("compressionRatio", 50);
        else
            viewModel->setProperty("frameRate", QStringLiteral("25"));
    }
    void release() const { tvxtest::writeFile(root + QStringLiteral("/bin/release"), "1"); }
    int shutdowns() const
    {
        QFile file(root + QStringLiteral("/shutdowns"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    }
};

// Prober jobs may still run after a test function; the rigs stay alive for the whole process.
std::vector<std::unique_ptr<Rig>> g_rigs;
std::vector<std::unique_ptr<OtherToolTask>> g_otherTasks;

Rig &newRig(const QString &name, bool compress)
{
    g_rigs.push_back(std::make_unique<Rig>(name, compress));
    return *g_rigs.back();
}

void addToolRows()
{
    QTest::addColumn<bool>("compress");
    QTest::newRow("convert") << false;
    QTest::newRow("compress") << true;
}

} // namespace

class ConvertViewModelsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
    }

    // Success, failure and a task removed while queued: one outcome with the right counts.
    void batchOutcome_data() { addToolRows(); }
    void batchOutcome()
    {
        QFETCH(bool, compress);
        Rig &rig = newRig(QStringLiteral("batch"), compress);
        QSignalSpy finished(rig.vm(), SIGNAL(batchExecutionFinished(int, int)));
        rig.addFiles({QStringLiteral("a_hold.mp4"), QStringLiteral("b_fail.mp4"), QStringLiteral("c_ok.mp4"),
                      QStringLiteral("d_ok.mp4")});
        QVERIFY(tvxtest::waitUntil([&] { return rig.probed(4); }));
        QVERIFY(rig.vm()->property("canStartTasks").toBool());
        rig.invoke("startTasks");
        QVERIFY(tvxtest::waitUntil([&] { return rig.status(0) == BackgroundTask::Running; }));
        QVERIFY(rig.vm()->property("exporting").toBool());
        QVERIFY(!rig.vm()->property("canStartTasks").toBool());
        rig.removeRow(2);
        QCOMPARE(rig.model()->rowCount(), 3);
        rig.release();
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first(), (QVariantList{2, 1}));
        QCOMPARE(rig.status(0), int(BackgroundTask::Completed));
        QCOMPARE(rig.status(1), int(BackgroundTask::Failed));
        QCOMPARE(rig.status(2), int(BackgroundTask::Completed));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!rig.vm()->property("exporting").toBool());

        // Ticking the shutdown option keeps the outcome; a real change makes the files again.
        rig.setShutdown(true);
        QCOMPARE(rig.status(0), int(BackgroundTask::Completed));
        QCOMPARE(rig.status(1), int(BackgroundTask::Failed));
        QVERIFY(!rig.vm()->property("canStartTasks").toBool());
        rig.changeOutputChoice();
        QCOMPARE(rig.status(0), int(BackgroundTask::Pending));
        QCOMPARE(rig.status(1), int(BackgroundTask::Pending));
        QVERIFY(rig.vm()->property("canStartTasks").toBool());
    }

    // The shutdown waits for another tool's queued job and is requested once.
    void shutdownWaitsForTheWholeQueue_data() { addToolRows(); }
    void shutdownWaitsForTheWholeQueue()
    {
        QFETCH(bool, compress);
        Rig &rig = newRig(QStringLiteral("shutdown"), compress);
        rig.setShutdown(true);
        rig.addFiles({QStringLiteral("a_hold.mp4"), QStringLiteral("b_ok.mp4")});
        QVERIFY(tvxtest::waitUntil([&] { return rig.probed(2); }));
        rig.invoke("startTasks");
        QVERIFY(tvxtest::waitUntil([&] { return rig.status(0) == BackgroundTask::Running; }));
        // Lives past the queue, as tasks do in the program.
        g_otherTasks.push_back(std::make_unique<OtherToolTask>());
        OtherToolTask &other = *g_otherTasks.back();
        QVERIFY(rig.tasks->submitTask(&other));
        QSignalSpy finished(rig.vm(), SIGNAL(batchExecutionFinished(int, int)));
        rig.release();
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first(), (QVariantList{2, 0}));
        QVERIFY(tvxtest::waitUntil([&] { return other.status() == BackgroundTask::Running; }));
        QTest::qWait(200);
        QCOMPARE(rig.shutdowns(), 0);
        other.latch.release();
        QVERIFY(tvxtest::waitUntil([&] { return rig.shutdowns() == 1; }));
        QTest::qWait(300);
        QCOMPARE(rig.shutdowns(), 1);
    }

    void outputFolder_data() { addToolRows(); }
    void outputFolder()
    {
        QFETCH(bool, compress);
        Rig &rig = newRig(QStringLiteral("folder"), compress);
        QObject *vm = rig.vm();
        const QString good = rig.root + QStringLiteral("/chosen folder/深");
        vm->setProperty("outputDirectory", good);
        QCOMPARE(vm->property("outputDirectory").toString(), good);
        QVERIFY(QFileInfo(good).isDir());

        QSignalSpy refused(vm, SIGNAL(outputDirectoryValidationFailed(QString)));
        const QString file = tvxtest::writeFile(rig.root + QStringLiteral("/plain"), "x");
        const struct
        {
            QString path;
            const char *key;
        } cases[] = {{file + QStringLiteral("/sub"), "cpp.msg.create_output_directory_failed"},
                     {QStringLiteral("/proc/1"), "cpp.msg.output_directory_not_writable"}};
        for (const auto &c : cases) {
            refused.clear();
            vm->setProperty("outputDirectory", c.path);
            QCOMPARE(refused.count(), 1);
            QCOMPARE(refused.first().first().toString(), i18n::t(QString::fromLatin1(c.key)));
            QCOMPARE(vm->property("outputDirectory").toString(), good);
            if (!compress)
                QCOMPARE(vm->property("outputDirectoryErrorText").toString(),
                         i18n::t(QString::fromLatin1(c.key)));
        }

        // Remembered for the next start; a remembered folder that cannot be made falls back.
        QCOMPARE(rig.makeViewModel()->property("outputDirectory").toString(), good);
        const QString ini = app::appDataFilePath(compress ? QStringLiteral("video_compress.ini")
                                                          : QStringLiteral("format_convert.ini"));
        const QString key = compress ? QStringLiteral("video_compress/output_directory")
                                     : QStringLiteral("format_convert/output_directory");
        {
            QSettings settings(ini, QSettings::IniFormat);
            QCOMPARE(settings.value(key).toString(), good);
            settings.setValue(key, file + QStringLiteral("/gone"));
        }
        QCOMPARE(rig.makeViewModel()->property("outputDirectory").toString(),
                 app::ensureDesktopOutputRootPath());
    }

    void addFolder_data() { addToolRows(); }
    void addFolder()
    {
        QFETCH(bool, compress);
        Rig &rig = newRig(QStringLiteral("addfolder"), compress);
        const QString folder = rig.root + QStringLiteral("/tree");
        for (const char *name :
             {"a.mp4", "Sub/B.mkv", "Sub/deeper/c.avi", ".hidden.mp4", "notes.txt", "song.mp3"})
            tvxtest::writeFile(folder + QLatin1Char('/') + QLatin1String(name), "x");
        QMetaObject::invokeMethod(rig.vm(), "addFolder",
                                  Q_ARG(QString, QUrl::fromLocalFile(folder).toString()));
        QStringList expected{folder + "/a.mp4"};
        if (!compress)
            expected << folder + "/song.mp3";
        expected << folder + "/Sub/B.mkv" << folder + "/Sub/deeper/c.avi";
        QStringList listed;
        for (int row = 0; row < rig.model()->rowCount(); ++row)
            listed << rig.role(row, "sourcePath").toString();
        QCOMPARE(listed, expected);
        // The same folder again adds nothing.
        QMetaObject::invokeMethod(rig.vm(), "addFolder", Q_ARG(QString, folder));
        QCOMPARE(rig.model()->rowCount(), expected.size());
    }

    // A damaged file is marked and withdraws the start; an inconclusive probe marks nothing.
    void probeOutcomes_data() { addToolRows(); }
    void probeOutcomes()
    {
        QFETCH(bool, compress);
        Rig &rig = newRig(QStringLiteral("probe"), compress);
        QSignalSpy startAction(rig.vm(), SIGNAL(startActionChanged()));
        rig.addFiles({QStringLiteral("x_damaged.mp4")});
        QVERIFY(rig.vm()->property("canStartTasks").toBool());
        startAction.clear();
        const QString marker = FormatConvertViewModel::damagedFileUnparseableText();
        QVERIFY(tvxtest::waitUntil([&] { return rig.role(0, "sourceResolution").toString() == marker; }));
        QVERIFY(startAction.count() >= 1);
        QVERIFY(!rig.vm()->property("canStartTasks").toBool());
        QCOMPARE(rig.vm()->property("startButtonText").toString(),
                 compress ? i18n::t(QStringLiteral("cpp.msg.add_files")) : QStringLiteral("Add files"));

        ffmpeg::TimingProfile timing;
        timing.probeMs = 200;
        ffmpeg::setTimingProfile(timing);
        rig.addFiles({QStringLiteral("y_stall.mp4")});
        QTest::qWait(800);
        ffmpeg::setTimingProfile(ffmpeg::TimingProfile());
        QCOMPARE(rig.role(1, "sourceResolution").toString(), QStringLiteral("Auto"));
        QVERIFY(rig.vm()->property("canStartTasks").toBool());
    }
};

QTEST_GUILESS_MAIN(ConvertViewModelsTest)
#include "tst_convert_viewmodels.moc"
