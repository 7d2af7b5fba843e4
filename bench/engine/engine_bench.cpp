// Measures the engine's start of playback and the cost of its idle event pump beside the mpv command-line
// player.
#include "BenchProcess.h"
#include "player/MpvEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

bool g_fileLoadedSeen = false;

void watchLog(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    if (msg.contains(QLatin1String("[mpv][event] FILE_LOADED")))
        g_fileLoadedSeen = true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool spinUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void spinFor(int ms)
{
    // A real event loop, so the measurement sees the pump's cost and not a busy wait.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    qputenv("TVX_MPV_AO", "null");
    qputenv("TVX_MPV_VO", "null");
    const int runs = 5;
    const int pausedSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip1080p.mp4"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-nostdin", "-hide_banner", "-v", "error", "-y", "-f", "lavfi",
                                            "-i", "testsrc2=size=1920x1080:rate=30:duration=5", "-c:v",
                                            "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", clip});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        std::fprintf(stderr, "could not generate the 1080p clip with ffmpeg\n");
        return 1;
    }
    qInstallMessageHandler(watchLog);

    std::vector<double> toLoaded, toPosition, coldToPosition, mpvCold;
    const bool pauseOnly = argc > 2 && qstrcmp(argv[2], "pause-only") == 0;
    for (int i = 0; i < runs && !pauseOnly; ++i) {
        QElapsedTimer cold;
        cold.start();
        MpvEngine engine;
        engine.initialize();
        g_fileLoadedSeen = false;
        bool positioned = false;
        QObject::connect(&engine, &MpvEngine::positionChanged,
                         [&] { positioned = positioned || engine.position() > 0; });
        QElapsedTimer t;
        t.start();
        engine.playFile(QUrl::fromLocalFile(clip));
        if (!spinUntil([] { return g_fileLoadedSeen; }, 20000))
            return 2;
        toLoaded.push_back(t.nsecsElapsed() / 1e6);
        if (!spinUntil([&] { return positioned; }, 20000))
            return 3;
        toPosition.push_back(t.nsecsElapsed() / 1e6);
        coldToPosition.push_back(cold.nsecsElapsed() / 1e6);
    }

    const QString mpvPath = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    for (int i = 0; i < runs && !mpvPath.isEmpty() && !pauseOnly; ++i) {
        QProcess mpv;
        QElapsedTimer t;
        t.start();
        mpv.start(mpvPath, {"--no-config", "--really-quiet", "--vo=null", "--ao=null", "--frames=1", clip});
        mpv.waitForFinished(30000);
        mpvCold.push_back(t.nsecsElapsed() / 1e6);
    }

    // Idle pump: a paused engine for the given seconds, beside a paused mpv process.
    double engineCpu = 0;
    {
        MpvEngine engine;
        engine.playFile(QUrl::fromLocalFile(clip));
        spinUntil([&] { return engine.position() > 0; }, 20000);
        engine.togglePause();
        spinFor(500);
        const double before = processCpuSeconds();
        spinFor(pausedSeconds * 1000);
        engineCpu = processCpuSeconds() - before;
    }
    double mpvCpu = -1;
    if (!mpvPath.isEmpty()) {
        QProcess mpv;
        mpv.start(mpvPath, {"--no-config", "--really-quiet", "--vo=null", "--ao=null", "--pause", clip});
        mpv.waitForStarted();
        QThread::msleep(500);
        const double before = tvxbench::cpuSeconds(mpv.processId());
        QThread::msleep(pausedSeconds * 1000);
        mpvCpu = tvxbench::cpuSeconds(mpv.processId()) - before;
        mpv.kill();
        mpv.waitForFinished();
    }

    std::printf("engine bench: 1080p H.264, vo=null ao=null, median of %d runs, %d cores\n", runs,
                QThread::idealThreadCount());
    std::printf("playFile -> FILE_LOADED            %8.1f ms\n", median(toLoaded));
    std::printf("playFile -> first position update  %8.1f ms\n", median(toPosition));
    std::printf("new engine -> first position       %8.1f ms\n", median(coldToPosition));
    if (!mpvCold.empty()) {
        std::printf("mpv --frames=1 (process, 1 frame)  %8.1f ms\n", median(mpvCold));
        std::printf("ratio new engine / mpv             %8.2f\n", median(coldToPosition) / median(mpvCold));
    } else {
        std::printf("mpv command-line player not found: no reference\n");
    }
    std::printf("paused %d s: engine CPU            %8.3f s\n", pausedSeconds, engineCpu);
    if (mpvCpu >= 0) {
        std::printf("paused %d s: mpv CPU               %8.3f s\n", pausedSeconds, mpvCpu);
        std::printf("ratio engine / mpv                 %8.2f\n", mpvCpu > 0 ? engineCpu / mpvCpu : 0.0);
    }
    return 0;
}
