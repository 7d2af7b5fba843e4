// Shared test helpers; see TestSupport.h.
#include "TestSupport.h"

#include "GuardWarnings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <clocale>
#include <csignal>
#include <limits>

#include <sys/resource.h>

namespace tvxtest {

QString scratchDir()
{
    QString dir = qEnvironmentVariable("TVX_TEST_SCRATCH");
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/tvx-scratch");
    QDir().mkpath(dir);
    return dir;
}

QString scratchPath(const QString &relative)
{
    const QString path = QDir(scratchDir()).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

namespace {
// The program's identity decides where settings and state files go; every test process gets
// it as its application object is made, whether or not it calls initTestProcess().
void setProgramIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(setProgramIdentity)

void initTestProcess()
{
    std::setlocale(LC_NUMERIC, "C");
    setProgramIdentity();
    failOnGuardWarnings();
}

double timeScale()
{
    static const double scale = [] {
        bool ok = false;
        const double value = qEnvironmentVariable("TVX_TEST_TIME_SCALE").toDouble(&ok);
        // Bounded, so a typing slip cannot turn a hang into days of waiting.
        return ok ? qBound(1.0, value, 50.0) : 1.0;
    }();
    return scale;
}

int scaledMs(int ms)
{
    if (ms <= 0)
        return ms;
    return int(qMin<double>(ms * timeScale(), std::numeric_limits<int>::max()));
}

int generousMs(int productMs)
{
    return scaledMs(int(qMin<qint64>(qint64(productMs) * 3, std::numeric_limits<int>::max())));
}

bool waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QDeadlineTimer deadline(scaledMs(timeoutMs));
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

bool withFileSizeLimit(qint64 maxBytes, const std::function<void()> &body)
{
    struct rlimit saved
    {
    };
    if (::getrlimit(RLIMIT_FSIZE, &saved) != 0)
        return false;
    struct rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(maxBytes);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
        std::signal(SIGXFSZ, previousHandler);
        return false;
    }
    body();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    return true;
}

QString writeScript(const QString &path, const QString &body)
{
    writeFile(path, (QStringLiteral("#!/bin/sh\n") + body + QLatin1Char('\n')).toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser |
                                    QFile::ExeGroup | QFile::ExeOther);
    return path;
}

ProcessResult runProcess(const QString &program, const QStringList &args, int timeoutMs,
                         const QProcessEnvironment &env)
{
    ProcessResult r;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    r.started = p.waitForStarted(scaledMs(10000));
    if (!r.started)
        return r;
    p.closeWriteChannel();
    if (!p.waitForFinished(scaledMs(timeoutMs))) {
        r.timedOut = true;
        p.kill();
        p.waitForFinished(5000);
    }
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString copyTestProgramInto(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString copy = QDir(folder).filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QFile::remove(copy);
    if (!QFile::copy(QCoreApplication::applicationFilePath(), copy))
        return QString();
    return copy;
}

QString appExecutable()
{
    return qEnvironmentVariable("TVX_APP_EXE");
}

QString sourceDir()
{
    const QString dir = qEnvironmentVariable("TVX_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(TVX_SOURCE_TREE) : dir;
}

namespace fixtures {
namespace {

QString fixtureDir()
{
    QString dir = qEnvironmentVariable("TVX_FIXTURE_DIR");
    if (dir.isEmpty())
        dir = scratchPath(QStringLiteral("fixtures"));
    QDir().mkpath(dir);
    return dir;
}

// Makes a fixture once per build folder. Parallel test processes serialise on a lock file,
// and the file appears under its final name only when complete.
QString ensure(const QString &name, const std::function<bool(const QString &tmpPath)> &make)
{
    const QString dir = fixtureDir();
    const QString path = dir + QLatin1Char('/') + name;
    if (QFileInfo::exists(path))
        return path;
    QLockFile lock(dir + QStringLiteral("/.lock-") + QString::number(qHash(name)));
    lock.setStaleLockTime(scaledMs(120000));
    if (!lock.tryLock(scaledMs(180000)))
        return {};
    if (QFileInfo::exists(path))
        return path;
    const QString suffix = QFileInfo(name).suffix();
    const QString tmp = dir + QStringLiteral("/.partial-") + QString::number(qHash(name)) +
                        (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    QFile::remove(tmp);
    if (!make(tmp) || !QFile::rename(tmp, path)) {
        QFile::remove(tmp);
        return {};
    }
    return path;
}

bool ffmpeg(const QStringList &args, const QString &out)
{
    QStringList full{QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                     QStringLiteral("error"), QStringLiteral("-y")};
    full << args << out;
    const ProcessResult r = runProcess(QStringLiteral("ffmpeg"), full, 120000);
    if (r.exitCode != 0 || r.timedOut)
        qWarning("fixture ffmpeg failed: %s", r.err.constData());
    return r.started && !r.timedOut && r.exitCode == 0 && QFileInfo(out).size() > 0;
}

QStringList lavfi(const QString &graph)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), graph};
}

} // namespace

QString smallMp4()
{
    return ensure(QStringLiteral("small_320x240.mp4"), [](const QString &tmp) {
        return ffmpeg(lavfi(QStringLiteral("testsrc2=size=320x240:rate=25:duration=3")) +
                          lavfi(QStringLiteral("sine=frequency=440:sample_rate=44100:duration=3")) +
                          QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                      "-c:a", "aac", "-shortest", "-movflags", "+faststart"},
                      tmp);
    });
}

QString clip1080p()
{
    return ensure(QStringLiteral("clip_1920x1080.mp4"), [](const QString &tmp) {
        return ffmpeg(lavfi(QStringLiteral("testsrc2=size=1920x1080:rate=25:duration=2")) +
                          QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"},
                      tmp);
    });
}

QString audioMp3()
{
    return ensure(QStringLiteral("tone.mp3"), [](const QString &tmp) {
        return ffmpeg(lavfi(QStringLiteral("sine=frequency=660:sample_rate=44100:duration=3")) +
                          QStringList{"-c:a", "libmp3lame", "-b:a", "128k"},
                      tmp);
    });
}

QString mkvTwoAudio()
{
    return ensure(QStringLiteral("two_audio.mkv"), [](const QString &tmp) {
        return ffmpeg(lavfi(QStringLiteral("testsrc2=size=320x240:rate=25:duration=3")) +
                          lavfi(QStringLiteral("sine=frequency=440:duration=3")) +
                          lavfi(QStringLiteral("sine=frequency=880:duration=3")) +
                          QStringList{"-map", "0:v", "-map", "1:a", "-map", "2:a", "-c:v", "libx264",
                                      "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                      "-metadata:s:a:0", "language=eng", "-metadata:s:a:1", "language=chi",
                                      "-shortest"},
                      tmp);
    });
}

QString srtFile()
{
    return ensure(QStringLiteral("subtitles.srt"), [](const QString &tmp) {
        writeFile(tmp, QByteArrayLiteral(
                           "1\n00:00:00,000 --> 00:00:01,000\nFirst line\n\n"
                           "2\n00:00:01,000 --> 00:00:02,000\n\xe7\xac\xac\xe4\xba\x8c\xe8\xa1\x8c\n\n"
                           "3\n00:00:02,000 --> 00:00:03,000\nThird line\n"));
        return true;
    });
}

QString mkvWithTracks()
{
    const QString tracks = mkvTwoAudio();
    const QString subtitles = srtFile();
    if (tracks.isEmpty() || subtitles.isEmpty())
        return {};
    return ensure(QStringLiteral("tracks_and_subtitles.mkv"), [&](const QString &tmp) {
        const QStringList maps{"-map", "0", "-map", "1", "-c", "copy", "-metadata:s:s:0", "language=eng"};
        return ffmpeg(QStringList{"-i", tracks, "-i", subtitles} + maps, tmp);
    });
}

QString garbageMp4()
{
    return ensure(QStringLiteral("garbage.mp4"), [](const QString &tmp) {
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        QRandomGenerator gen(12345);
        for (char &c : bytes)
            c = static_cast<char>(gen.bounded(256));
        writeFile(tmp, bytes);
        return true;
    });
}

QString zeroByteFile()
{
    return ensure(QStringLiteral("empty.mp4"), [](const QString &tmp) {
        writeFile(tmp, QByteArray());
        return QFileInfo::exists(tmp);
    });
}

QString unicodeNamedMp4()
{
    const QString source = smallMp4();
    if (source.isEmpty())
        return {};
    return ensure(QStringLiteral("测试 视频 片段.mp4"),
                  [&source](const QString &tmp) { return QFile::copy(source, tmp); });
}

QString sidewaysPhoneMp4()
{
    return ensure(QStringLiteral("sideways_640x360_rot-90.mp4"), [](const QString &tmp) {
        // ffmpeg 5.1 has no -display_rotation; the "rotate" tag written on a stream copy becomes
        // the display matrix a phone writes (ffprobe reads it back as rotation=-90).
        const QString coded = tmp + QStringLiteral(".coded.mp4");
        const bool made =
            ffmpeg(lavfi(QStringLiteral("testsrc2=size=640x360:rate=25:duration=2")) +
                       QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"},
                   coded) &&
            ffmpeg(QStringList{"-i", coded, "-c", "copy", "-metadata:s:v:0", "rotate=270"}, tmp);
        QFile::remove(coded);
        return made;
    });
}

QString anamorphicPalMp4()
{
    return ensure(QStringLiteral("pal_720x576_sar64-45.mp4"), [](const QString &tmp) {
        return ffmpeg(lavfi(QStringLiteral("testsrc2=size=720x576:rate=25:duration=2")) +
                          QStringList{"-vf", "setsar=64/45", "-aspect", "16:9", "-c:v", "libx264", "-preset",
                                      "ultrafast", "-pix_fmt", "yuv420p"},
                      tmp);
    });
}

QString lowRateHevcMp4()
{
    return ensure(QStringLiteral("hevc10_low_rate.mp4"), [](const QString &tmp) {
        return ffmpeg(lavfi(QStringLiteral("testsrc2=size=320x240:rate=25:duration=4")) +
                          lavfi(QStringLiteral("sine=frequency=440:sample_rate=44100:duration=4")) +
                          QStringList{"-c:v", "libx265", "-preset", "fast", "-pix_fmt", "yuv420p10le",
                                      "-x265-params", "log-level=error:crf=30", "-c:a", "aac", "-b:a", "48k",
                                      "-shortest"},
                      tmp);
    });
}

QString longNamedMp4()
{
    const QString source = smallMp4();
    if (source.isEmpty())
        return {};
    return ensure(longCjkFileName(250, QStringLiteral("mp4")),
                  [&source](const QString &tmp) { return QFile::copy(source, tmp); });
}

} // namespace fixtures

QString shortenedNameProblem(const QString &path, const QString &sourceBase, const QString &tail)
{
    const QString name = QFileInfo(path).fileName();
    const QByteArray bytes = QFile::encodeName(name);
    if (bytes.size() > 255)
        return QStringLiteral("%1 bytes: %2").arg(bytes.size()).arg(name);
    if (QFile::decodeName(bytes) != name)
        return QStringLiteral("a character is cut in two: ") + name;
    if (!name.endsWith(tail))
        return QStringLiteral("does not end in %1: %2").arg(tail, name);
    const QString kept = name.chopped(tail.size());
    if (kept.isEmpty() || !sourceBase.startsWith(kept))
        return QStringLiteral("does not start with the source's name: ") + name;
    return QString();
}

QString longCjkFileName(int bytes, const QString &extension)
{
    static const QString kText = QStringLiteral("一段很长的会议录像第");
    const int room = bytes - 1 - extension.toUtf8().size();
    QString base;
    for (int i = 0; i < room / 3; ++i)
        base += kText.at(i % kText.size());
    for (int i = 0; i < room % 3; ++i)
        base += QLatin1Char('0' + i);
    return base + QLatin1Char('.') + extension;
}
} // namespace tvxtest
