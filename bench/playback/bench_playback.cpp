// Measures the program a user runs, beside the players a user would pick instead, on one X display:
// the real executable with a 1080p clip on its command line in a 1280x720 window, the peer Qt Quick
// player on the same clip and mpv's own window drawing through its software OpenGL path. Runs are
// interleaved so that every program sees the same machine load.
// Per program: start to first frame (Qt Quick programs: the first pass rendered after the render
// loop's OpenGL context came up, read from the scene graph's own log), CPU per second of seconds
// 4-12 of playback with its split over the threads, and the window's passes per second.
#include "BenchProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <functional>
#include <vector>

namespace {

constexpr int kFromSecond = 4;
constexpr int kToSecond = 12;

struct Program
{
    QString name;
    QString exe;
    QStringList args;
    bool qtQuick = true;  // logs its scene graph, so its first frame and passes can be read
    bool playback = true; // false: a bare window measured for start-up only
};

struct Sample
{
    double firstFrameMs = -1;
    double cpu = -1; // CPU seconds per second over the measured span, all threads
    double passes = -1;
    QMap<QString, double> threads; // CPU seconds per second by thread group
};

// Thread groups: Mesa's software rasteriser, Qt's render thread, the GUI thread, and the rest
// (decoding, demuxing, mpv's own threads).
QString threadGroup(const QString &comm, bool mainThread)
{
    if (comm.startsWith(QLatin1String("llvmpipe")))
        return QStringLiteral("llvmpipe");
    if (comm == QLatin1String("QSGRenderThread"))
        return QStringLiteral("render");
    if (mainThread)
        return QStringLiteral("main");
    return QStringLiteral("other");
}

QMap<qint64, QPair<QString, double>> threadCpu(qint64 pid)
{
    QMap<qint64, QPair<QString, double>> result;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const double cpu = tvxbench::statCpuSeconds(tasks.filePath(tid + QStringLiteral("/stat")));
        if (cpu >= 0)
            result.insert(tid.toLongLong(), {QString::fromUtf8(comm.readAll()).trimmed(), cpu});
    }
    return result;
}

class Run
{
public:
    Run(const Program &program, const QString &home, const QString &config) : m_program(program)
    {
        m_process.setProcessEnvironment(tvxbench::privateEnvironment(home, config));
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setWorkingDirectory(home);
    }

    Sample measure()
    {
        Sample sample;
        QElapsedTimer clock;
        clock.start();
        m_process.start(m_program.exe, m_program.args);
        if (!m_process.waitForStarted(10000))
            return sample;
        qint64 start = 0; // milliseconds since start at which playback counts from
        if (m_program.qtQuick) {
            if (!drainUntil(clock, 30000, [&] { return firstFrameSeen(); }))
                return finish(sample);
            sample.firstFrameMs = clock.nsecsElapsed() / 1e6;
            start = clock.elapsed();
        }
        if (!m_program.playback)
            return finish(sample);
        drainUntil(clock, start + kFromSecond * 1000, [] { return false; });
        const qint64 pid = m_process.processId();
        const double cpuBefore = tvxbench::cpuSeconds(pid);
        const auto threadsBefore = threadCpu(pid);
        const int passesBefore = m_output.count("Frame rendered");
        const qint64 from = clock.nsecsElapsed();
        drainUntil(clock, start + kToSecond * 1000, [] { return false; });
        const double seconds = (clock.nsecsElapsed() - from) / 1e9;
        const double cpuAfter = tvxbench::cpuSeconds(pid);
        const auto threadsAfter = threadCpu(pid);
        if (m_process.state() != QProcess::Running || cpuBefore < 0 || cpuAfter < 0)
            return finish(sample);
        sample.cpu = (cpuAfter - cpuBefore) / seconds;
        for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it) {
            const double before = threadsBefore.value(it.key(), {QString(), 0.0}).second;
            const QString group = threadGroup(it.value().first, it.key() == pid);
            sample.threads[group] += (it.value().second - before) / seconds;
        }
        if (m_program.qtQuick)
            sample.passes = (m_output.count("Frame rendered") - passesBefore) / seconds;
        return finish(sample);
    }

private:
    bool firstFrameSeen() const
    {
        // The threaded render loop logs an empty pass before its OpenGL context exists.
        const int context = m_output.indexOf("texture atlas");
        return context >= 0 && m_output.indexOf("Frame rendered", context) >= 0;
    }

    // Keeps reading the log (a full pipe would stall the program) until done() or the deadline.
    bool drainUntil(const QElapsedTimer &clock, qint64 deadlineMs, const std::function<bool()> &done)
    {
        while (clock.elapsed() < deadlineMs) {
            m_process.waitForReadyRead(5);
            // Only the lines counted are kept: a renderloop log grows by megabytes.
            for (const QByteArray &line : m_process.readAll().split('\n')) {
                if (line.contains("Frame rendered") || line.contains("texture atlas"))
                    m_output += line + '\n';
            }
            if (done())
                return true;
            if (m_process.state() == QProcess::NotRunning)
                return false;
        }
        return done();
    }

    Sample finish(const Sample &sample)
    {
        m_process.kill();
        m_process.waitForFinished(5000);
        return sample;
    }

    Program m_program;
    QProcess m_process;
    QByteArray m_output;
};

bool makeClip(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // No argument holds a blank, so the command line is written as one.
    const QString command = QStringLiteral(
        "-nostdin -hide_banner -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=30"
        " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=30"
        " -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest");
    const QStringList args = command.split(QLatin1Char(' ')) << path;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    return ffmpeg.waitForFinished(300000) && ffmpeg.exitCode() == 0 && QFileInfo(path).size() > 0;
}

QString fixed(double value, int decimals)
{
    return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', decimals);
}

QString ratio(double a, double b)
{
    return (a > 0 && b > 0) ? QString::number(a / b, 'f', 2) : QStringLiteral("-");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 3;
    // Another build of the program (an older commit, say) can stand in for this one.
    const QString appExe = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(TVX_APP_EXE);
    QTextStream out(stdout);
    QTemporaryDir scratch;
    const QString clip = scratch.filePath(QStringLiteral("clip_1080p.mp4"));
    if (!makeClip(clip)) {
        out << "could not make the clip with ffmpeg\n";
        return 1;
    }
    const QString config = tvxbench::writeLoopbackConfig(scratch.path());
    const QString geometry = QStringLiteral("1280x720");

    std::vector<Program> programs{
        {QStringLiteral("tavrixo"), appExe, {QStringLiteral("-geometry"), geometry, clip}},
        {QStringLiteral("haruna"),
         QStandardPaths::findExecutable(QStringLiteral("haruna")),
         {QStringLiteral("-geometry"), geometry, clip}},
        {QStringLiteral("mpv --vo=gpu --gpu-sw"),
         QStandardPaths::findExecutable(QStringLiteral("mpv")),
         {QStringLiteral("--vo=gpu"), QStringLiteral("--gpu-sw"), QStringLiteral("--geometry=") + geometry,
          QStringLiteral("--no-config"), clip},
         false},
        {QStringLiteral("bare Qt Quick window"), QStringLiteral(TVX_BARE_EXE), {}, true, false},
    };
    std::vector<std::vector<Sample>> samples(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (size_t p = 0; p < programs.size(); ++p) {
            if (programs[p].exe.isEmpty())
                continue;
            // One home per program across its runs: from the second run on, its caches (Mesa's
            // shader cache among them) are warm, as they are when a user starts a player again.
            const QString home = scratch.filePath(QStringLiteral("home-%1").arg(p));
            Run run(programs[p], home, config);
            samples[p].push_back(run.measure());
        }
    }

    auto medianOf = [&](size_t p, const std::function<double(const Sample &)> &field) {
        std::vector<double> values;
        for (const Sample &s : samples[p]) {
            if (field(s) >= 0)
                values.push_back(field(s));
        }
        return tvxbench::median(values);
    };
    out << "playback of a 30 s 1080p H.264 clip (25 fps) in a 1280x720 window, seconds " << kFromSecond << "-"
        << kToSecond << ", median of " << runs << " interleaved runs, " << QThread::idealThreadCount()
        << " cores, load " << tvxbench::loadAverage() << "\n";
    out << "  program                 first frame ms   CPU s/s   llvmpipe   render     main    other   "
           "passes/s\n";
    std::vector<double> cpu(programs.size(), -1);
    std::vector<double> first(programs.size(), -1);
    for (size_t p = 0; p < programs.size(); ++p) {
        if (programs[p].exe.isEmpty()) {
            out << "  " << programs[p].name << ": not installed\n";
            continue;
        }
        first[p] = medianOf(p, [](const Sample &s) { return s.firstFrameMs; });
        cpu[p] = medianOf(p, [](const Sample &s) { return s.cpu; });
        auto group = [&](const char *name) {
            return medianOf(p, [name](const Sample &s) {
                return s.cpu < 0 ? -1.0 : s.threads.value(QString::fromLatin1(name), 0.0);
            });
        };
        out << "  " << programs[p].name.leftJustified(24) << fixed(first[p], 0).rightJustified(14)
            << fixed(cpu[p], 3).rightJustified(10) << fixed(group("llvmpipe"), 3).rightJustified(11)
            << fixed(group("render"), 3).rightJustified(9) << fixed(group("main"), 3).rightJustified(9)
            << fixed(group("other"), 3).rightJustified(9)
            << fixed(medianOf(p, [](const Sample &s) { return s.passes; }), 1).rightJustified(11) << "\n";
    }
    out << "  playback CPU, tavrixo / haruna: " << ratio(cpu[0], cpu[1]) << "   (target <= 1.00)\n";
    out << "  playback CPU, tavrixo / mpv: " << ratio(cpu[0], cpu[2]) << "   (target <= 1.15)\n";
    out << "  first frame, tavrixo / haruna: " << ratio(first[0], first[1]) << "   (target <= 0.70)\n";
    out << "  first frame, tavrixo / bare Qt Quick window: " << ratio(first[0], first[3])
        << "   (target <= 2.00)\n";
    return cpu[0] > 0 ? 0 : 1;
}
