// Measures process start to the first rendered frame of the main window, beside a bare
// Qt Quick window started the same way, and prints the medians and their ratio.
// The first frame is read from the scene graph's own render-loop timing log.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

double firstFrameMs(const QString &exe, const QString &home, const QString &config)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TVX_CONFIG"), config);
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

// Every web host the program knows points at a closed loopback port: the account steps of
// start-up fail at once, so the figure is about the player and not about a remote server.
QString writeLoopbackConfig(const QString &dir)
{
    const QString path = dir + QStringLiteral("/tvx_config.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const QByteArray host = "127.0.0.1:1";
    QByteArray text = "[webapi]\n";
    for (const char *key : {"app_host", "app_host_backup", "stats_host", "stats_host_backup", "page_host",
                            "page_host_backup", "update_host", "test_server"})
        text += QByteArray(key) + '=' + host + '\n';
    text += "[cloud]\nhost=" + host + "\n";
    file.write(text);
    return path;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    QTemporaryDir scratch;
    const QString config = writeLoopbackConfig(scratch.path());
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
    const double p = median(player);
    const double b = median(bare);
    out << "start to first frame, median of " << runs << " runs, " << QThread::idealThreadCount()
        << " cores, load " << loadAverage() << "\n";
    out << "  web hosts: closed loopback port (TVX_CONFIG " << config << ")\n";
    out << "  tavrixo main window: " << QString::number(p, 'f', 1) << " ms\n";
    out << "  bare Qt Quick window: " << QString::number(b, 'f', 1) << " ms\n";
    out << "  ratio: " << QString::number(b > 0 ? p / b : 0, 'f', 2) << "   (target <= 1.60)\n";
    return (p > 0 && b > 0) ? 0 : 1;
}
