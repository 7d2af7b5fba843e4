// Measures the main road beside the mpv command-line player on one X display: play-list change to
// the first frame on screen and CPU per second of 1080p playback in a 1280x720 window, and the
// play list's add, save and load of long lists.
#include "app/QmlContextObjects.h"
#include "app/QmlTypes.h"
#include "player/MpvEngine.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"
#include "player/mpv/MpvVideoItem.h"

#include "BenchProcess.h"
#include "MainRoadScene.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtQml>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
// A patch inside the square both bench clips carry at their centre: white in the measured clip,
// black in the one played before it.
constexpr int kPatch = 48;
constexpr int kPatchX = kWidth / 2 - kPatch / 2;
constexpr int kPatchY = kHeight / 2 - kPatch / 2;
constexpr int kCpuSeconds = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double measureMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        waitMs(10);
    }
    return true;
}

using tvxbench::cpuSeconds;

// Reads the screen through a connection of its own, so it sees what the X server shows whichever
// process drew it.
class ScreenWatcher
{
public:
    ScreenWatcher() : m_display(XOpenDisplay(nullptr)) {}
    ~ScreenWatcher()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    ScreenWatcher(const ScreenWatcher &) = delete;
    ScreenWatcher &operator=(const ScreenWatcher &) = delete;

    bool ok() const { return m_display != nullptr; }

    // Share of the centre patch that is bright; -1 when the screen could not be read.
    double brightShare()
    {
        XImage *image = XGetImage(m_display, DefaultRootWindow(m_display), kPatchX, kPatchY, kPatch, kPatch,
                                  AllPlanes, ZPixmap);
        if (!image)
            return -1;
        int bright = 0;
        for (int y = 0; y < kPatch; ++y) {
            for (int x = 0; x < kPatch; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                const int sum = int((p >> 16) & 0xff) + int((p >> 8) & 0xff) + int(p & 0xff);
                bright += sum > 450 ? 1 : 0;
            }
        }
        XDestroyImage(image);
        return double(bright) / (kPatch * kPatch);
    }

    // Runs trigger() on the calling thread, which keeps its event loop turning while another
    // thread polls the screen; returns milliseconds from trigger() to the patch turning bright
    // (or dark), or -1 on time-out. The bare background weave of Xvfb is neither.
    double timeUntil(bool bright, int timeoutMs, const std::function<void()> &trigger)
    {
        QElapsedTimer clock;
        clock.start();
        std::atomic<qint64> startNs{-1};
        std::atomic<qint64> seenNs{-1};
        QEventLoop loop;
        std::thread poller([&] {
            while (clock.elapsed() < timeoutMs) {
                const double share = brightShare();
                const bool match = bright ? share > 0.9 : (share >= 0 && share < 0.02);
                if (match && startNs.load() >= 0) {
                    seenNs = clock.nsecsElapsed();
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
        startNs = clock.nsecsElapsed();
        trigger();
        loop.exec();
        poller.join();
        return seenNs.load() < 0 ? -1.0 : (seenNs.load() - startNs.load()) / 1e6;
    }

private:
    Display *m_display;
};

bool makeClip(const QString &path, const char *centre)
{
    const QString graph =
        QStringLiteral("testsrc2=s=1920x1080:r=25:d=10,drawbox=x=860:y=440:w=200:h=200:color=%1:t=fill")
            .arg(centre);
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", graph, "-c:v",
             "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", path});
    return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct PlayerFigures
{
    std::vector<double> firstFrameMs;
    std::vector<double> cpuPerSecond;
    std::vector<double> droppedPerSecond;
    std::vector<double> longestStallMs; // GUI thread, during the switch (our player only)
    bool ok = false;
};

// Both players switch from the dark clip to the bright one: a stopped player may leave its last
// picture on screen, so only a different picture shows that the new file arrived. A play list's
// current entry mostly changes while another file plays anyway.
struct Clips
{
    QString dark;
    QString bright;
};

// Our player: the real play list, coordinator and video component in one window.
PlayerFigures benchOurs(ScreenWatcher &screen, const Clips &clips, int runs)
{
    PlayerFigures figures;
    PlaylistModel playlist;
    playlist.clear();
    playlist.addFile(QUrl::fromLocalFile(clips.dark), QString(), false);
    playlist.addFile(QUrl::fromLocalFile(clips.bright), QString(), false);
    playlist.setPlaybackMode(PlaylistModel::SinglePlayback);
    QQmlApplicationEngine engine;
    app::QmlContextObjects objects;
    objects.playlistStore = &playlist;
    app::publishToQml(engine.rootContext(), objects);
    engine.loadData(tvxtest::mainRoadSceneQml("    x: 0; y: 0; width: 1280; height: 720\n"
                                              "    flags: Qt.FramelessWindowHint"),
                    QUrl(QStringLiteral("qrc:/mainroad/BenchScene.qml")));
    if (engine.rootObjects().isEmpty())
        return figures;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QObject *player = window ? window->property("player").value<QObject *>() : nullptr;
    auto *mpv = player ? qobject_cast<MpvEngine *>(player->property("engine").value<QObject *>()) : nullptr;
    if (!mpv || !waitFor([&] { return player->property("renderReady").toBool(); }, 20000)) {
        std::fprintf(stderr, "our player did not come up\n");
        return figures;
    }
    const qint64 pid = QCoreApplication::applicationPid();
    for (int run = 0; run <= runs; ++run) {
        if (screen.timeUntil(false, 10000, [&] { playlist.activateIndex(0); }) < 0) {
            std::fprintf(stderr, "our window never showed the dark clip\n");
            return figures;
        }
        // A 5 ms tick shows how long the GUI thread, which the picture needs, was held up.
        QElapsedTimer tick;
        double longestGap = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, tick.nsecsElapsed() / 1e6);
            tick.restart();
        });
        tick.start();
        ticker.start();
        const double ms = screen.timeUntil(true, 20000, [&] { playlist.activateIndex(1); });
        ticker.stop();
        longestGap = std::max(longestGap, tick.nsecsElapsed() / 1e6);
        if (ms < 0) {
            std::fprintf(stderr, "our player showed no frame\n");
            return figures;
        }
        if (run == 0)
            continue; // the first run compiles shaders and fills caches
        figures.firstFrameMs.push_back(ms);
        figures.longestStallMs.push_back(longestGap);
        if (run <= 3) {
            waitMs(1000);
            const double dropsBefore = double(mpv->intProperty("frame-drop-count", 0));
            const double cpuBefore = cpuSeconds(pid);
            QElapsedTimer wall;
            wall.start();
            waitMs(kCpuSeconds * 1000);
            const double seconds = wall.nsecsElapsed() / 1e9;
            figures.cpuPerSecond.push_back((cpuSeconds(pid) - cpuBefore) / seconds);
            figures.droppedPerSecond.push_back(
                (double(mpv->intProperty("frame-drop-count", 0)) - dropsBefore) / seconds);
        }
    }
    playlist.setCurrentIndex(-1);
    figures.ok = true;
    return figures;
}

// The mpv command-line player, kept idle with its window open and driven over its IPC socket,
// so both sides start from a warm player.
class MpvCli
{
public:
    bool start(const QString &socketPath)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("mpv"),
                        {"--no-config", "--vo=gpu", "--gpu-sw", "--ao=null", "--idle=yes",
                         "--force-window=yes", "--geometry=1280x720+0+0", "--no-border", "--no-osc",
                         "--osd-level=0", "--really-quiet", "--no-input-default-bindings",
                         "--input-ipc-server=" + socketPath});
        if (!m_process.waitForStarted(10000))
            return false;
        return waitFor(
            [&] {
                m_socket.connectToServer(socketPath);
                return m_socket.waitForConnected(200);
            },
            20000);
    }

    void command(const QByteArray &json)
    {
        m_socket.write(json + '\n');
        m_socket.flush();
    }

    // A numeric property, read over the socket.
    double property(const char *name)
    {
        m_socket.readAll();
        command(QByteArray("{\"command\":[\"get_property\",\"") + name + "\"],\"request_id\":7}");
        QByteArray reply;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 3000) {
            m_socket.waitForReadyRead(100);
            reply += m_socket.readAll();
            for (const QByteArray &line : reply.split('\n')) {
                const QJsonObject o = QJsonDocument::fromJson(line).object();
                if (o.value(QStringLiteral("request_id")).toInt() == 7)
                    return o.value(QStringLiteral("data")).toDouble(-1);
            }
        }
        return -1;
    }

    qint64 pid() const { return m_process.processId(); }

    ~MpvCli()
    {
        if (m_process.state() != QProcess::NotRunning) {
            command("{\"command\":[\"quit\"]}");
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

private:
    QProcess m_process;
    QLocalSocket m_socket;
};

QByteArray loadCommand(const QString &clip)
{
    return "{\"command\":[\"loadfile\"," +
           QJsonDocument(QJsonArray{clip}).toJson(QJsonDocument::Compact).mid(1).chopped(1) + "]}";
}

PlayerFigures benchMpv(ScreenWatcher &screen, const Clips &clips, const QString &socketPath, int runs)
{
    PlayerFigures figures;
    MpvCli mpv;
    if (!mpv.start(socketPath)) {
        std::fprintf(stderr, "mpv did not start\n");
        return figures;
    }
    const QByteArray loadDark = loadCommand(clips.dark);
    const QByteArray loadBright = loadCommand(clips.bright);
    for (int run = 0; run <= runs; ++run) {
        if (screen.timeUntil(false, 10000, [&] { mpv.command(loadDark); }) < 0) {
            std::fprintf(stderr, "the mpv window never showed the dark clip\n");
            return figures;
        }
        const double ms = screen.timeUntil(true, 20000, [&] { mpv.command(loadBright); });
        if (ms < 0) {
            std::fprintf(stderr, "mpv showed no frame\n");
            return figures;
        }
        if (run == 0)
            continue;
        figures.firstFrameMs.push_back(ms);
        if (run <= 3) {
            waitMs(1000);
            const double dropsBefore = mpv.property("frame-drop-count");
            const double cpuBefore = cpuSeconds(mpv.pid());
            QElapsedTimer wall;
            wall.start();
            waitMs(kCpuSeconds * 1000);
            const double seconds = wall.nsecsElapsed() / 1e9;
            figures.cpuPerSecond.push_back((cpuSeconds(mpv.pid()) - cpuBefore) / seconds);
            figures.droppedPerSecond.push_back((mpv.property("frame-drop-count") - dropsBefore) / seconds);
        }
    }
    mpv.command("{\"command\":[\"stop\"]}");
    figures.ok = true;
    return figures;
}

void benchPlaylist(const QString &dir, int entries, int runs)
{
    const QString ini = QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                            .filePath(QStringLiteral("playlist.ini"));
    QVariantList urls;
    urls.reserve(entries);
    for (int i = 0; i < entries; ++i)
        urls << QUrl::fromLocalFile(
            QStringLiteral("%1/clip_%2.mp4").arg(dir).arg(i, 5, 10, QLatin1Char('0')));

    std::vector<double> add, save, load;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(ini);
        {
            PlaylistModel model;
            add.push_back(measureMs([&] { model.addFiles(urls, false); }));
            // Choosing another row writes the whole list again.
            save.push_back(measureMs([&] { model.setCurrentIndex(entries / 2 + run); }));
        }
        int loaded = 0;
        load.push_back(measureMs([&] {
            PlaylistModel model;
            loaded = model.count();
        }));
        if (loaded != entries)
            std::fprintf(stderr, "loaded %d of %d entries\n", loaded, entries);
    }
    std::printf("play list %5d entries: add %.1f ms  save %.1f ms  load %.1f ms  (file %.0f KiB)\n", entries,
                median(add), median(save), median(load), QFileInfo(ini).size() / 1024.0);
}

void printPair(const char *what, const char *unit, double ours, double mpv, const char *target = "")
{
    std::printf("%-34s ours %7.3f %s   mpv %7.3f %s   ratio ours/mpv %.2f%s\n", what, ours, unit, mpv, unit,
                mpv > 0 ? ours / mpv : 0.0, target);
}

} // namespace

int main(int argc, char *argv[])
{
    XInitThreads();
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;

    // Every file the bench writes stays in a folder of its own, never in a user's settings.
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QDir(work.path()).filePath(QLatin1String(name)).toLocal8Bit());
    qputenv("TVX_MPV_AO", "null");
    setlocale(LC_NUMERIC, "C");

    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    setlocale(LC_NUMERIC, "C");
    app::registerQmlTypes();
    std::printf("cores: %d  runs: %d\n", QThread::idealThreadCount(), runs);

    benchPlaylist(work.path(), 1000, runs);
    benchPlaylist(work.path(), 10000, runs);
    std::fflush(stdout);

    ScreenWatcher screen;
    if (!screen.ok()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const Clips clips{QDir(work.path()).filePath(QStringLiteral("dark_1080p.mp4")),
                      QDir(work.path()).filePath(QStringLiteral("bright_1080p.mp4"))};
    if (!makeClip(clips.dark, "black") || !makeClip(clips.bright, "white")) {
        std::fprintf(stderr, "could not generate the clips\n");
        return 1;
    }
    const PlayerFigures ours = benchOurs(screen, clips, runs);
    const PlayerFigures mpv =
        benchMpv(screen, clips, QDir(work.path()).filePath(QStringLiteral("mpv.sock")), runs);
    if (!ours.ok || !mpv.ok)
        return 1;
    std::printf("1080p H.264 clip in a %dx%d window (medians):\n", kWidth, kHeight);
    printPair("list change -> first frame on screen", "ms", median(ours.firstFrameMs),
              median(mpv.firstFrameMs));
    printPair("CPU per second of playback", "s/s", median(ours.cpuPerSecond), median(mpv.cpuPerSecond),
              "   (target <= 1.20)");
    std::printf("%-34s ours %7.2f /s   mpv %7.2f /s\n", "dropped frames", median(ours.droppedPerSecond),
                median(mpv.droppedPerSecond));
    std::printf("%-34s ours %7.1f ms\n", "longest GUI-thread stall in a switch", median(ours.longestStallMs));
    return 0;
}
