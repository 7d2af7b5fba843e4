// Measures process start to the first rendered frame of the main window, beside a bare
// Qt Quick window started the same way, and prints the medians and their ratio.
// The first frame is read from the scene graph's own logs: the threaded render loop logs an
// empty pass before its OpenGL context exists, so the frame counted is the first one rendered
// after the context came up (its texture-atlas line), the first the user can see.
#include "BenchProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

using tvxbench::cpuSeconds;
using tvxbench::loadAverage;
using tvxbench::median;

// Start to first frame; with idleSeconds > 0 the process is then left alone that long (after
// a second to settle) and *idleCpu receives its CPU seconds per second.
double firstFrameMs(const QString &exe, const QString &home, const QString &config, int idleSeconds = 0,
                    double *idleCpu = nullptr)
{
    QProcess p;
    p.setProcessEnvironment(tvxbench::privateEnvironment(home, config));
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    p.start(exe, QStringList());
    QByteArray out;
    double result = -1;
    while (timer.elapsed() < 30000) {
        p.waitForReadyRead(5);
        out += p.readAll();
        const int context = out.indexOf("texture atlas");
        if (context >= 0 && out.indexOf("Frame rendered", context) >= 0) {
            result = timer.nsecsElapsed() / 1e6;
            break;
        }
        if (p.state() == QProcess::NotRunning)
            break;
    }
    if (result > 0 && idleSeconds > 0 && idleCpu) {
        // The log keeps being drained so that a full pipe never stalls the process.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1000) {
            p.waitForReadyRead(50);
            p.readAll();
        }
        const double before = cpuSeconds(p.processId());
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < idleSeconds * 1000) {
            p.waitForReadyRead(50);
            p.readAll();
        }
        const double after = cpuSeconds(p.processId());
        *idleCpu = (before >= 0 && after >= 0) ? (after - before) / (wall.nsecsElapsed() / 1e9) : -1;
    }
    p.kill();
    p.waitForFinished(5000);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    QTemporaryDir scratch;
    const QString config = tvxbench::writeLoopbackConfig(scratch.path());
    QTextStream out(stdout);
    std::vector<double> player;
    std::vector<double> bare;
    for (int i = 0; i < runs; ++i) {
        // Interleaved so that both see the same machine load.
        bare.push_back(
            firstFrameMs(QStringLiteral(TVX_BARE_EXE), scratch.path() + QStringLiteral("/bare"), config));
        player.push_back(
            firstFrameMs(QStringLiteral(TVX_APP_EXE), scratch.path() + QStringLiteral("/player"), config));
    }
    // Idle with no media: the window shown, nothing playing, nothing touched.
    constexpr int kIdleSeconds = 10;
    std::vector<double> idlePlayer;
    std::vector<double> idleBare;
    for (int i = 0; i < 3; ++i) {
        double cpu = -1;
        firstFrameMs(QStringLiteral(TVX_BARE_EXE), scratch.path() + QStringLiteral("/bare"), config,
                     kIdleSeconds, &cpu);
        idleBare.push_back(cpu);
        firstFrameMs(QStringLiteral(TVX_APP_EXE), scratch.path() + QStringLiteral("/player"), config,
                     kIdleSeconds, &cpu);
        idlePlayer.push_back(cpu);
    }
    const double p = median(player);
    const double b = median(bare);
    out << "start to first frame, median of " << runs << " runs, " << QThread::idealThreadCount()
        << " cores, load " << loadAverage() << "\n";
    out << "  web hosts: closed loopback port (TVX_CONFIG " << config << ")\n";
    out << "  tavrixo main window: " << QString::number(p, 'f', 1) << " ms\n";
    out << "  bare Qt Quick window: " << QString::number(b, 'f', 1) << " ms\n";
    out << "  ratio: " << QString::number(b > 0 ? p / b : 0, 'f', 2) << "   (target <= 1.60)\n";
    const double ip = median(idlePlayer);
    const double ib = median(idleBare);
    out << "CPU while idle with no media, " << kIdleSeconds << " s, median of 3 runs\n";
    out << "  tavrixo main window: " << QString::number(ip, 'f', 4) << " s/s\n";
    out << "  bare Qt Quick window: " << QString::number(ib, 'f', 4) << " s/s\n";
    // Both may sit near zero: the ratio is taken against at least one clock tick per run.
    const double floor = 1.0 / double(sysconf(_SC_CLK_TCK)) / kIdleSeconds;
    out << "  ratio: " << QString::number(std::max(ip, floor) / std::max(ib, floor), 'f', 2)
        << "   (target <= 1.20)\n";
    return (p > 0 && b > 0) ? 0 : 1;
}
