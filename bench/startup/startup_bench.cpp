// Measures process start to the first rendered frame of the main window, beside a bare
// Qt Quick window started the same way, and prints the medians and their ratio.
// The first frame is read from the scene graph's own render-loop timing log.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

double firstFrameMs(const QString &exe, const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.scenegraph.time.renderloop=true"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
    QDir().mkpath(home + QStringLiteral("/tmp"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    p.start(exe, QStringList());
    QByteArray out;
    double result = -1;
    while (timer.elapsed() < 30000) {
        p.waitForReadyRead(5);
        out += p.readAll();
        if (out.contains("Frame rendered") || out.contains("Frame prepared")) {
            result = timer.nsecsElapsed() / 1e6;
            break;
        }
        if (p.state() == QProcess::NotRunning)
            break;
    }
    p.kill();
    p.waitForFinished(5000);
    return result;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    QTemporaryDir scratch;
    QTextStream out(stdout);
    std::vector<double> player;
    std::vector<double> bare;
    for (int i = 0; i < runs; ++i) {
        // Interleaved so that both see the same machine load.
        bare.push_back(firstFrameMs(QStringLiteral(TVX_BARE_EXE), scratch.path() + QStringLiteral("/bare")));
        player.push_back(
            firstFrameMs(QStringLiteral(TVX_APP_EXE), scratch.path() + QStringLiteral("/player")));
    }
    const double p = median(player);
    const double b = median(bare);
    out << "start to first frame, median of " << runs << " runs, " << QThread::idealThreadCount()
        << " cores\n";
    out << "  tavrixo main window: " << QString::number(p, 'f', 1) << " ms\n";
    out << "  bare Qt Quick window: " << QString::number(b, 'f', 1) << " ms\n";
    out << "  ratio: " << QString::number(b > 0 ? p / b : 0, 'f', 2) << "\n";
    return (p > 0 && b > 0) ? 0 : 1;
}
