// Program lookup, the command runner and the progress-line parser.
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFmpegLogParser.h"
#include "ffmpeg/FFmpegProcessRunner.h"

#include <QDir>
#include <QtTest>

#include <cerrno>
#include <csignal>

class FFmpegEnvTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void lookup_data()
    {
        QTest::addColumn<QStringList>("rootFiles");
        QTest::addColumn<QStringList>("pathFiles");
        QTest::addColumn<QString>("expectFfmpeg"); // "root", "path" or ""
        QTest::addColumn<QString>("expectFfprobe");
        QTest::addColumn<bool>("ready");
        QTest::newRow("root folder hit")
            << QStringList{"ffmpeg.exe", "ffprobe.exe"} << QStringList{"ffmpeg.exe", "ffprobe.exe"} << "root"
            << "root" << true;
        QTest::newRow("search path with .exe")
            << QStringList{} << QStringList{"ffmpeg.exe", "ffprobe.exe"} << "path"
            << "path" << true;
        QTest::newRow("search path bare name") << QStringList{} << QStringList{"ffmpeg", "ffprobe"} << "path"
                                               << "path" << true;
        QTest::newRow("root folder bare names before the search path")
            << QStringList{"ffmpeg", "ffprobe"} << QStringList{"ffmpeg", "ffprobe"} << "root"
            << "root" << true;
        QTest::newRow("root .exe before root bare name")
            << QStringList{"ffmpeg.exe", "ffmpeg", "ffprobe"} << QStringList{} << "root"
            << "root" << true;
        QTest::newRow("root bare name not executable")
            << QStringList{"ffmpeg", "!ffprobe"} << QStringList{"ffprobe"} << "root"
            << "path" << true;
        QTest::newRow("only ffmpeg") << QStringList{"ffmpeg.exe"} << QStringList{} << "root"
                                     << "" << false;
        QTest::newRow("only ffprobe") << QStringList{} << QStringList{"ffprobe"} << ""
                                      << "path" << false;
        QTest::newRow("none") << QStringList{} << QStringList{} << ""
                              << "" << false;
    }

    void lookup()
    {
        QFETCH(QStringList, rootFiles);
        QFETCH(QStringList, pathFiles);
        QFETCH(QString, expectFfmpeg);
        QFETCH(QString, expectFfprobe);
        QFETCH(bool, ready);
        const QString tag =
            QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString root =
            tvxtest::scratchPath(tag + QStringLiteral("/root/x")).section(QLatin1Char('/'), 0, -2);
        const QString bin =
            tvxtest::scratchPath(tag + QStringLiteral("/bin/x")).section(QLatin1Char('/'), 0, -2);
        // "!name": a plain file that may not be run.
        for (QString &f : rootFiles) {
            if (f.startsWith(QLatin1Char('!')))
                tvxtest::writeFile(root + QLatin1Char('/') + f.remove(0, 1), "data");
            else
                tvxtest::writeScript(root + QLatin1Char('/') + f, QStringLiteral("exit 0"));
        }
        for (const QString &f : pathFiles)
            tvxtest::writeScript(bin + QLatin1Char('/') + f, QStringLiteral("exit 0"));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.toLocal8Bit());

        // A root given with a trailing separator and a relative segment is still found.
        FFmpegEnvironment env(root + QStringLiteral("/../root/"));
        auto expected = [&](const QString &where, const QString &name) -> QString {
            if (where == QLatin1String("root")) {
                const QString exe = root + QLatin1Char('/') + name + QStringLiteral(".exe");
                return QFileInfo::exists(exe) ? exe : root + QLatin1Char('/') + name;
            }
            if (where == QLatin1String("path")) {
                const QString exe = bin + QLatin1Char('/') + name + QStringLiteral(".exe");
                return QFileInfo::exists(exe) ? exe : bin + QLatin1Char('/') + name;
            }
            return QString();
        };
        QCOMPARE(env.ffmpegExecutablePath(), expected(expectFfmpeg, QStringLiteral("ffmpeg")));
        QCOMPARE(env.ffprobeExecutablePath(), expected(expectFfprobe, QStringLiteral("ffprobe")));
        QCOMPARE(env.hasFFmpegExecutable(), !expectFfmpeg.isEmpty());
        QCOMPARE(env.hasFFprobeExecutable(), !expectFfprobe.isEmpty());
        QCOMPARE(env.ready(), ready);

        // No caching: a program removed at run time is noticed at the next call.
        for (const QString &f : rootFiles)
            QFile::remove(root + QLatin1Char('/') + f);
        for (const QString &f : pathFiles)
            QFile::remove(bin + QLatin1Char('/') + f);
        QVERIFY(!env.hasFFmpegExecutable());
        QVERIFY(env.ffprobeExecutablePath().isEmpty());
        qputenv("PATH", oldPath);
    }

    void defaultRootIsBesideTheExecutable()
    {
        FFmpegEnvironment env;
        QCOMPARE(env.rootDirectory(), QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg"));
        env.setRootDirectory(QStringLiteral("/opt/x"));
        QCOMPARE(env.rootDirectory(), QStringLiteral("/opt/x"));
    }

    void runnerEmptyProgram()
    {
        const auto r =
            FFmpegProcessRunner().run(FFmpegCommandBuilder::create(QStringLiteral("   "), {}), 1000);
        QVERIFY(!r.success);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.standardError, QStringLiteral("Command program is empty"));
        QVERIFY(r.standardOutput.isNull());
    }

    void runnerCapturesFailure()
    {
        const QString script =
            tvxtest::writeScript(tvxtest::scratchPath(QStringLiteral("fail.sh")),
                                 QStringLiteral("echo out-text\necho err-text >&2\nexit 1"));
        const auto cmd = FFmpegCommandBuilder::create(script, {QStringLiteral("a b")});
        QCOMPARE(cmd.arguments, QStringList{QStringLiteral("a b")});
        const auto r = FFmpegProcessRunner().run(cmd, 10000);
        QVERIFY(!r.success);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.standardOutput, QStringLiteral("out-text\n"));
        QCOMPARE(r.standardError, QStringLiteral("err-text\n"));
    }

    void runnerKillsOverrun_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("stalls") << QStringLiteral("echo $$ > \"$0.pid\"\nexec /bin/sleep 30");
        QTest::newRow("not executable") << QString();
    }

    void runnerKillsOverrun()
    {
        QFETCH(QString, body);
        const QString path = tvxtest::scratchPath(QStringLiteral("stall-%1.sh").arg(QTest::currentDataTag()));
        if (body.isEmpty())
            tvxtest::writeFile(path, "#!/bin/sh\nexit 0\n");
        else
            tvxtest::writeScript(path, body);
        const auto r = FFmpegProcessRunner().run(FFmpegCommandBuilder::create(path, {}), 1000);
        QVERIFY(!r.success);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.standardError, QStringLiteral("Command timed out"));
        QFile pidFile(path + QStringLiteral(".pid"));
        if (pidFile.open(QIODevice::ReadOnly)) {
            const pid_t pid = pidFile.readAll().trimmed().toInt();
            QVERIFY(pid > 0);
            QVERIFY(::kill(pid, 0) != 0 && errno == ESRCH);
        }
    }

    void runnerBoundsOutput()
    {
        // 64 MiB of output must not be kept in memory whole.
        const QString script = tvxtest::writeScript(tvxtest::scratchPath(QStringLiteral("flood.sh")),
                                                    QStringLiteral("head -c 67108864 /dev/zero"));
        const auto r = FFmpegProcessRunner().run(FFmpegCommandBuilder::create(script, {}), 60000);
        QVERIFY(r.success);
        QVERIFY(r.standardOutput.size() < 64 * 1024 * 1024);
    }

    void parseProgressLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("progress line") << QStringLiteral("out_time_ms=1500000");
        QTest::newRow("empty") << QString();
        QTest::newRow("text") << QStringLiteral("frame=  10 fps=0.0");
    }

    void parseProgressLine()
    {
        QFETCH(QString, line);
        const QVariantMap map = FFmpegLogParser::parseProgressLine(line);
        QCOMPARE(map.size(), 2);
        QCOMPARE(map.value(QStringLiteral("rawLine")).toString(), line);
        QCOMPARE(map.value(QStringLiteral("progress")).toDouble(), 0.0);
    }
};

QTEST_GUILESS_MAIN(FFmpegEnvTest)
#include "tst_ffmpegenv.moc"
