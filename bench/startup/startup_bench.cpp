// Measures process start to the first rendered frame of the main window, beside a bare
// Qt Quick window started the same way, and prints the medians and their ratio.
// The first frame is read from the scene graph's own logs: the threaded render loop logs an
// empty pass before its OpenGL context exists, so the frame counted is the first one rendered
// after the context came up (its texture-atlas line), the first the user can see.
#include "BenchProcess.h"
#include "WebApiTestServer.h"
#include "user_pay/AccountLocalStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
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

// The account file the program will find at its start (the store reads XDG_DATA_HOME afresh).
void prepareStoredAccount(const QString &home, bool stored)
{
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
    const user_pay::AccountLocalStore store;
    if (!stored) {
        store.clear();
        return;
    }
    user_pay::AccountInfo account;
    account.accountId = QStringLiteral("13800138000");
    account.uid = QStringLiteral("1011");
    account.nickname = QStringLiteral("Stored");
    account.token = QStringLiteral("tok-1");
    account.accountType = 1;
    store.save(account);
}

// What start-up left in the account file: the stored account, a virtual one, or nothing.
QString storedAccountAfter(const QString &home)
{
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
    user_pay::AccountInfo account;
    if (!user_pay::AccountLocalStore().load(&account))
        return QStringLiteral("none");
    return account.isVirtualAccount ? QStringLiteral("virtual") : QStringLiteral("kept");
}

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    // bench_startup [runs] [runs per account-host case, 0: none] [program to measure]
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    const int accountRuns = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 3;
    const QString appExe = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(TVX_APP_EXE);
    QTemporaryDir scratch;
    const QString config = tvxbench::writeLoopbackConfig(scratch.path());
    QTextStream out(stdout);
    // The player beside a bare window (0 runs: only the account-host cases).
    bool windowOk = true;
    if (runs > 0) {
        std::vector<double> player;
        std::vector<double> bare;
        for (int i = 0; i < runs; ++i) {
            // Interleaved so that both see the same machine load.
            bare.push_back(
                firstFrameMs(QStringLiteral(TVX_BARE_EXE), scratch.path() + QStringLiteral("/bare"), config));
            player.push_back(firstFrameMs(appExe, scratch.path() + QStringLiteral("/player"), config));
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
            firstFrameMs(appExe, scratch.path() + QStringLiteral("/player"), config, kIdleSeconds, &cpu);
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
        windowOk = p > 0 && b > 0;
    }
    if (accountRuns <= 0)
        return windowOk ? 0 : 1;

    // Start-up against account hosts that answer, refuse, stay silent or answer what cannot
    // be read; both candidate hosts behave alike.
    tvxtest::WebApiTestServer answering(QStringLiteral("bench-answering"));
    tvxtest::WebApiTestServer garbage(QStringLiteral("bench-garbage"));
    if (!answering.start() || !garbage.start()) {
        out << "the loopback account servers did not start\n";
        return 1;
    }
    answering.setDefaultRule(QJsonObject{{"account", QJsonObject{{"valid_tokens", QJsonArray{"tok-1"}}}}});
    garbage.setDefaultRule(
        QJsonObject{{"status", 500},
                    {"body", "<html><body><h1>500 Internal Server Error</h1></body></html>"},
                    {"headers", QJsonObject{{"Content-Type", "text/html"}}}});
    // Connections are taken into the listen queue and never answered.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost);
    silent.pauseAccepting();
    struct HostCase
    {
        const char *name;
        QByteArray host;
        QString caFile;
    };
    const HostCase hosts[] = {
        {"answering", answering.host().toUtf8(), answering.caFile()},
        {"refusing", "127.0.0.1:" + QByteArray::number(closedPort()), QString()},
        {"silent", "127.0.0.1:" + QByteArray::number(silent.serverPort()), QString()},
        {"answering an HTML error page", garbage.host().toUtf8(), garbage.caFile()},
    };
    out << "start to first frame by account host, median of " << accountRuns << " runs, load "
        << loadAverage() << "  (" << appExe << ")\n";
    for (const HostCase &h : hosts) {
        const QString hostConfig = tvxbench::writeLoopbackConfig(
            scratch.path(), QStringLiteral("tvx_config_%1.ini").arg(h.name), h.host, h.caFile);
        for (bool stored : {false, true}) {
            const QString home = scratch.path() + QStringLiteral("/account");
            std::vector<double> times;
            QString after;
            for (int i = 0; i < accountRuns; ++i) {
                prepareStoredAccount(home, stored);
                times.push_back(firstFrameMs(appExe, home, hostConfig));
                after = storedAccountAfter(home);
            }
            out << "  host " << h.name << ", " << (stored ? "stored account" : "no stored account") << ": "
                << QString::number(median(times), 'f', 0) << " ms (account file after: " << after << ")\n";
            out.flush();
        }
    }
    return windowOk ? 0 : 1;
}
