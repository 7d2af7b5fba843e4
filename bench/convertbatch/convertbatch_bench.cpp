// bench_convertbatch [clips=8] [seconds=60]: a batch of 720p clips converted to MKV through the
// format-convert view model while its page is open in the tool window, beside the same ffmpeg
// commands run bare one after another in the same run. A 5 ms heartbeat timer on the GUI
// thread records the longest gap between its ticks while the batch runs.
#include "app/QmlContextObjects.h"
#include "core/AppPaths.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "system/FileDialogService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertViewModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

bool runBare(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int clips = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 8;
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 60;
    i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));

    FFmpegEnvironment ffmpeg;
    if (!ffmpeg.ready()) {
        std::printf("ffmpeg/ffprobe not found\n");
        return 1;
    }
    const QString work = QDir::temp().filePath(QStringLiteral("bench_convertbatch"));
    QDir(work).removeRecursively();
    QDir().mkpath(work + QStringLiteral("/in"));
    QStringList sources;
    for (int i = 0; i < clips; ++i) {
        const QString out = work + QStringLiteral("/in/clip%1.mp4").arg(i);
        if (!runBare(ffmpeg.ffmpegExecutablePath(),
                     {"-nostdin",
                      "-hide_banner",
                      "-loglevel",
                      "error",
                      "-y",
                      "-f",
                      "lavfi",
                      "-i",
                      QStringLiteral("testsrc2=size=1280x720:rate=30:duration=%1").arg(seconds),
                      "-f",
                      "lavfi",
                      "-i",
                      QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2")
                          .arg(300 + 40 * i)
                          .arg(seconds),
                      "-c:v",
                      "libx264",
                      "-preset",
                      "veryfast",
                      "-pix_fmt",
                      "yuv420p",
                      "-c:a",
                      "aac",
                      "-shortest",
                      out})) {
            std::printf("could not make the clips\n");
            return 1;
        }
        sources << out;
    }

    // The objects main publishes for this page, wired as main wires them.
    MediaPreviewService previews;
    SystemActions actions;
    FileDialogService dialogs;
    FFprobeService prober(&ffmpeg);
    TaskManager tasks;
    I18nService i18nService;
    i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
    FormatConvertTaskFactory factory(&prober);
    FormatConvertViewModel viewModel(&ffmpeg, &prober, &tasks, &actions, &factory);
    viewModel.setOutputDirectory(work + QStringLiteral("/out"));
    viewModel.setOutputFormat(QStringLiteral("MKV"));

    QQmlApplicationEngine engine;
    app::QmlContextObjects objects;
    objects.mediaPreviewService = &previews;
    objects.systemActions = &actions;
    objects.fileDialogService = &dialogs;
    objects.taskManager = &tasks;
    objects.i18n = &i18nService;
    objects.formatConvertViewModel = &viewModel;
    app::publishToQml(engine.rootContext(), objects);
    QQmlComponent component(&engine);
    component.setData("import QtQuick 2.14\nimport \"qrc:/qml/app/tools\"\n"
                      "ToolWindow { toolId: \"format-convert\"; visible: true }\n",
                      QUrl(QStringLiteral("qrc:/bench_convertbatch.qml")));
    QObject *window = component.create();
    if (!window) {
        std::printf("tool window failed: %s\n", qPrintable(component.errorString()));
        return 1;
    }
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    QStringList urls;
    for (const QString &source : sources)
        urls << QUrl::fromLocalFile(source).toString();
    viewModel.addFiles(urls);
    // A user adds the files, looks at the cards and then starts: the batch begins once the shown
    // cards have their previews (no preview for 3 s), so both sides get the machine to themselves.
    QElapsedTimer quiet;
    quiet.start();
    QObject::connect(&previews, &MediaPreviewService::previewReady, [&] { quiet.restart(); });
    settle.restart();
    while (settle.elapsed() < 60000 && quiet.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    qint64 longestGapMs = 0;
    qint64 longestGapAtMs = 0;
    int gapsOver50Ms = 0;
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(5);
    QElapsedTimer sinceStart;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 gap = beat.restart();
        gapsOver50Ms += gap >= 50 ? 1 : 0;
        if (gap > longestGapMs) {
            longestGapMs = gap;
            longestGapAtMs = sinceStart.elapsed();
        }
    });
    int successes = -1, failures = -1;
    QEventLoop loop;
    QObject::connect(&viewModel, &FormatConvertViewModel::batchExecutionFinished, [&](int ok, int failed) {
        successes = ok;
        failures = failed;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    beat.start();
    sinceStart.start();
    heartbeat.start();
    viewModel.startTasks();
    loop.exec();
    heartbeat.stop();
    const double batchSeconds = clock.elapsed() / 1000.0;

    // Bare, after the batch so it meets warm caches: the very commands the jobs ran, one after another.
    QDir().mkpath(work + QStringLiteral("/bare"));
    clock.restart();
    for (int i = 0; i < clips; ++i) {
        FormatConvertParams params = viewModel.buildParams();
        params.sourcePath = sources.at(i);
        const QString target = work + QStringLiteral("/bare/clip%1.mkv").arg(i);
        if (!runBare(ffmpeg.ffmpegExecutablePath(),
                     FormatConvertTask::buildFFmpegArguments(params, target))) {
            std::printf("bare ffmpeg failed\n");
            return 1;
        }
    }
    const double bareSeconds = clock.elapsed() / 1000.0;

    std::printf("bench_convertbatch: %d cores, %d clips of %d s 720p to MKV, one run each\n",
                QThread::idealThreadCount(), clips, seconds);
    std::printf("batch through the view model, page open: %.1f s (%d done, %d failed)\n", batchSeconds,
                successes, failures);
    std::printf("same ffmpeg commands bare, one after another: %.1f s\n", bareSeconds);
    std::printf("ratio %.3f (goal <= 1.05)\n", batchSeconds / bareSeconds);
    std::printf("longest GUI-thread stall while the batch ran: %lld ms at %.1f s (goal < 50 ms); "
                "%d gaps of 50 ms or more\n",
                static_cast<long long>(longestGapMs), longestGapAtMs / 1000.0, gapsOver50Ms);
    delete window;
    QDir(work).removeRecursively();
    return successes == clips && failures == 0 ? 0 : 1;
}
