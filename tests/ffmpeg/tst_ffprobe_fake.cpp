// Media prober against fake ffprobe scripts that print canned output and count their runs.
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/ProbeParsing.h"
#include "ffmpeg/TimingProfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <thread>

namespace {

// Fake ffprobe: the JSON run prints "json" and "stderr" from its folder and exits with "exit";
// the packet scans print "csv_v" / "csv_a". Every run appends a line to "runs".
const char *kFakeProbe = R"SH(PATH=/usr/bin:/bin
D="$(dirname "$0")"
echo "$*" >> "$D/runs"
case "$*" in
  *"-select_streams v:0"*) cat "$D/csv_v" 2>/dev/null; exit 0 ;;
  *"-select_streams a:0"*) cat "$D/csv_a" 2>/dev/null; exit 0 ;;
esac
if [ -f "$D/stall" ]; then echo $$ > "$D/pid"; exec sleep 30; fi
cat "$D/json" 2>/dev/null
cat "$D/stderr" >&2 2>/dev/null
exit "$(cat "$D/exit" 2>/dev/null || echo 0)")SH";

struct FakeProbe
{
    QString root;
    QString media;

    explicit FakeProbe(const QString &name)
    {
        root = tvxtest::scratchPath(name + QStringLiteral("/root/x")).section(QLatin1Char('/'), 0, -2);
        tvxtest::writeScript(root + QStringLiteral("/ffprobe.exe"), QString::fromLatin1(kFakeProbe));
        media =
            tvxtest::writeFile(tvxtest::scratchPath(name + QStringLiteral("/media.mp4")), "not really media");
    }
    void set(const QString &file, const QByteArray &content) const
    {
        tvxtest::writeFile(root + QLatin1Char('/') + file, content);
    }
    int runs() const
    {
        QFile f(root + QStringLiteral("/runs"));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return f.readAll().count('\n');
    }
};

bool processGone(const QString &pidFile)
{
    QFile f(pidFile);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = f.readAll().trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

class FFprobeFakeTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void canned_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("csvVideo");
        QTest::addColumn<QByteArray>("csvAudio");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("stderrText");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("runs");

        QTest::newRow("string duration rounds up")
            << QByteArray(R"({"format":{"duration":"12.3"}})") << QByteArray() << QByteArray() << 0
            << QByteArray() << qint64(13) << -1 << -1 << true << QString() << 1;
        QTest::newRow("number duration")
            << QByteArray(R"({"format":{"duration":4}})") << QByteArray() << QByteArray() << 0 << QByteArray()
            << qint64(4) << -1 << -1 << true << QString() << 1;
        QTest::newRow("audio before video, later video not read")
            << QByteArray(R"({"streams":[{"codec_type":"audio","duration":"60.2"},
                 {"codec_type":"video","width":1920,"height":1080,"duration":"58.0"},
                 {"codec_type":"video","width":640,"height":480,"duration":"99"}]})")
            << QByteArray() << QByteArray() << 0 << QByteArray() << qint64(61) << 1920 << 1080 << true
            << QString() << 1;
        QTest::newRow("width 0 skipped") << QByteArray(R"({"format":{"duration":"2"},"streams":[
                 {"codec_type":"video","width":0,"height":1080},
                 {"codec_type":"video","width":1280,"height":720}]})")
                                         << QByteArray() << QByteArray() << 0 << QByteArray() << qint64(2)
                                         << 1280 << 720 << true << QString() << 1;
        QTest::newRow("packet scan maximum")
            << QByteArray(
                   R"({"format":{"duration":"0"},"streams":[{"codec_type":"video","duration":"N/A"}]})")
            << QByteArray("1.0\r\n7.000001\n3.5\n\n2") << QByteArray() << 0 << QByteArray() << qint64(8) << -1
            << -1 << true << QString() << 2;
        QTest::newRow("audio packet scan after empty video scan")
            << QByteArray(R"({"format":{}})") << QByteArray() << QByteArray("2.5\n4.1") << 0 << QByteArray()
            << qint64(5) << -1 << -1 << true << QString() << 3;
        QTest::newRow("packet lines not numbers")
            << QByteArray(R"({})") << QByteArray("abc\nN/A\n") << QByteArray("x") << 0 << QByteArray()
            << qint64(0) << -1 << -1 << true << QString() << 3;
        QTest::newRow("not json") << QByteArray("garbage") << QByteArray("9") << QByteArray() << 0
                                  << QByteArray() << qint64(0) << -1 << -1 << false
                                  << QStringLiteral("Failed to parse ffprobe output") << 1;
        QTest::newRow("non-zero exit with stderr")
            << QByteArray("{}") << QByteArray() << QByteArray() << 1 << QByteArray("  moov atom not found\n")
            << qint64(0) << -1 << -1 << false << QStringLiteral("moov atom not found") << 3;
        QTest::newRow("non-zero exit without stderr")
            << QByteArray(R"({"format":{"duration":"5"}})") << QByteArray() << QByteArray() << 2
            << QByteArray() << qint64(5) << -1 << -1 << false << QStringLiteral("ffprobe exited with code 2")
            << 1;
    }

    void canned()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, csvVideo);
        QFETCH(QByteArray, csvAudio);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, stderrText);
        FakeProbe fake(
            QStringLiteral("canned-%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), '_'));
        fake.set(QStringLiteral("json"), json);
        fake.set(QStringLiteral("csv_v"), csvVideo);
        fake.set(QStringLiteral("csv_a"), csvAudio);
        fake.set(QStringLiteral("exit"), QByteArray::number(exitCode));
        fake.set(QStringLiteral("stderr"), stderrText);
        FFmpegEnvironment env(fake.root);
        FFprobeService prober(&env);
        const FFprobeService::MediaInfo info = prober.probeMedia(fake.media);
        QCOMPARE(info.filePath, fake.media);
        QTEST(info.durationSeconds, "duration");
        QTEST(info.width, "width");
        QTEST(info.height, "height");
        QTEST(info.valid, "valid");
        QTEST(info.errorText, "error");
        QVERIFY(!info.transient); // a finished ffprobe's verdict is about the file
        QTEST(fake.runs(), "runs");
        // Every outcome of a finished ffprobe is cached: asking again runs nothing.
        const FFprobeService::MediaInfo again = prober.probeMedia(fake.media);
        QCOMPARE(again.durationSeconds, info.durationSeconds);
        QCOMPARE(again.valid, info.valid);
        QTEST(fake.runs(), "runs");
    }

    // ffprobe's output arrives in arbitrary pieces; a number split between two reads still counts.
    void packetLinesAcrossReads_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<double>("maximum");
        QTest::newRow("split number") << QStringList{"1.5\n7.0", "00001\n3"} << 7.000001;
        QTest::newRow("CR LF and blank lines") << QStringList{"2\r\n\r\n9.25\r", "\n4\n"} << 9.25;
        QTest::newRow("last line without break") << QStringList{"1\n", "12.5"} << 12.5;
        QTest::newRow("not numbers") << QStringList{"N/A\n", "inf\nnan\n-3\n"} << 0.0;
    }
    void packetLinesAcrossReads()
    {
        QFETCH(QStringList, chunks);
        ffmpeg::PacketPtsScanner scanner;
        for (const QString &chunk : chunks)
            scanner.feed(chunk);
        scanner.finish();
        QTEST(scanner.maximum(), "maximum");
    }

    void cacheFollowsFileVersion()
    {
        FakeProbe fake(QStringLiteral("cache"));
        fake.set(QStringLiteral("json"), R"({"format":{"duration":"3"}})");
        FFmpegEnvironment env(fake.root);
        FFprobeService prober(&env);
        QVERIFY(prober.probeMedia(fake.media).valid);
        // A relative spelling of the same file shares the entry.
        const QString relative = QDir::current().relativeFilePath(fake.media);
        QVERIFY(QFileInfo(relative).isRelative());
        QCOMPARE(prober.probeMedia(relative).durationSeconds, qint64(3));
        QCOMPARE(fake.runs(), 1);
        QFile file(fake.media);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(
            file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(prober.probeMedia(fake.media).durationSeconds, qint64(3));
        QCOMPARE(fake.runs(), 2);
    }

    void earlyFailuresAreNotCached()
    {
        const QString emptyRoot = tvxtest::scratchPath(QStringLiteral("noprobe/root/x")).section('/', 0, -2);
        const QString media = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("noprobe/a.mp4")), "x");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", tvxtest::scratchPath(QStringLiteral("empty-bin")).toLocal8Bit());
        FFmpegEnvironment env(emptyRoot);
        FFprobeService prober(&env);
        FFprobeService::MediaInfo info = prober.probeMedia(media);
        QVERIFY(!info.valid);
        QCOMPARE(info.errorText, QStringLiteral("ffprobe unavailable"));
        FFprobeService noEnvironment(nullptr);
        QCOMPARE(noEnvironment.probeMedia(media).errorText, QStringLiteral("ffprobe unavailable"));

        // ffprobe appears at run time: the earlier failure was not remembered.
        tvxtest::writeScript(emptyRoot + QStringLiteral("/ffprobe.exe"), QString::fromLatin1(kFakeProbe));
        tvxtest::writeFile(emptyRoot + QStringLiteral("/json"), R"({"format":{"duration":"1.5"}})");
        info = prober.probeMedia(media);
        QVERIFY(info.valid);
        QCOMPARE(info.durationSeconds, qint64(2));

        info = prober.probeMedia(media + QStringLiteral(".missing"));
        QCOMPARE(info.errorText, QStringLiteral("Source file does not exist"));
        qputenv("PATH", oldPath);
    }

    // The one real time-out of the prober: the stalled ffprobe is killed and nothing is cached.
    void timeoutKillsAndIsNotCached()
    {
        ffmpeg::TimingProfile timing;
        timing.probeMs = 1000;
        ffmpeg::setTimingProfile(timing);
        FakeProbe fake(QStringLiteral("timeout"));
        fake.set(QStringLiteral("stall"), "1");
        fake.set(QStringLiteral("json"), R"({"format":{"duration":"9"}})");
        FFmpegEnvironment env(fake.root);
        FFprobeService prober(&env);
        FFprobeService::MediaInfo info = prober.probeMedia(fake.media);
        QVERIFY(!info.valid);
        QCOMPARE(info.errorText, QStringLiteral("Timed out while reading media info"));
        QVERIFY(info.transient);
        QVERIFY(processGone(fake.root + QStringLiteral("/pid")));
        QFile::remove(fake.root + QStringLiteral("/stall"));
        info = prober.probeMedia(fake.media);
        QVERIFY(info.valid);
        QVERIFY(!info.transient);
        QCOMPARE(info.durationSeconds, qint64(9));
        ffmpeg::setTimingProfile(ffmpeg::TimingProfile());
    }

    void startFailureIsNotCached()
    {
        FakeProbe fake(QStringLiteral("nostart"));
        fake.set(QStringLiteral("json"), R"({"format":{"duration":"7"}})");
        QFile::setPermissions(fake.root + QStringLiteral("/ffprobe.exe"),
                              QFile::ReadOwner | QFile::WriteOwner);
        FFmpegEnvironment env(fake.root);
        FFprobeService prober(&env);
        const FFprobeService::MediaInfo failed = prober.probeMedia(fake.media);
        QCOMPARE(failed.errorText, QStringLiteral("Timed out while reading media info"));
        QVERIFY(failed.transient);
        QFile::setPermissions(fake.root + QStringLiteral("/ffprobe.exe"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(prober.probeMedia(fake.media).durationSeconds, qint64(7));
    }

    // Destroying the prober (program exit) kills a probe in progress instead of waiting it out.
    void destructionKillsRunningProbe()
    {
        FakeProbe fake(QStringLiteral("destroy"));
        fake.set(QStringLiteral("stall"), "1");
        FFmpegEnvironment env(fake.root);
        auto *prober = new FFprobeService(&env);
        FFprobeService::MediaInfo info;
        std::thread caller([&] { info = prober->probeMedia(fake.media); });
        QVERIFY(
            tvxtest::waitUntil([&] { return QFileInfo::exists(fake.root + QStringLiteral("/pid")); }, 10000));
        delete prober;
        caller.join();
        QVERIFY(!info.valid);
        QCOMPARE(info.errorText, QStringLiteral("Probe cancelled"));
        QVERIFY(processGone(fake.root + QStringLiteral("/pid")));
    }

    // The displayed size of the first video stream: the sample aspect widens or heightens it, a
    // quarter turn in the display matrix or the older "rotate" tag swaps its sides.
    void displayedSizeFromJson_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QSize>("coded");
        QTest::addColumn<QSize>("displayed");
        QTest::addColumn<qint64>("bitRate");
        QTest::newRow("square, no turn")
            << QByteArray(R"("width":320,"height":240,"sample_aspect_ratio":"1:1")") << QSize(320, 240)
            << QSize(320, 240) << qint64(0);
        QTest::newRow("phone: display matrix -90")
            << QByteArray(
                   R"("width":640,"height":360,"bit_rate":"1500000","side_data_list":[{"rotation":-90}])")
            << QSize(640, 360) << QSize(360, 640) << qint64(1500000);
        QTest::newRow("display matrix 270")
            << QByteArray(R"("width":640,"height":360,"side_data_list":[{"rotation":270}])")
            << QSize(640, 360) << QSize(360, 640) << qint64(0);
        QTest::newRow("upside down keeps its sides")
            << QByteArray(R"("width":640,"height":360,"side_data_list":[{"rotation":180}])")
            << QSize(640, 360) << QSize(640, 360) << qint64(0);
        QTest::newRow("older rotate tag") << QByteArray(R"("width":640,"height":360,"tags":{"rotate":"90"})")
                                          << QSize(640, 360) << QSize(360, 640) << qint64(0);
        QTest::newRow("PAL 16:9") << QByteArray(R"("width":720,"height":576,"sample_aspect_ratio":"64:45")")
                                  << QSize(720, 576) << QSize(1024, 576) << qint64(0);
        QTest::newRow("NTSC 4:3 grows in height")
            << QByteArray(R"("width":720,"height":480,"sample_aspect_ratio":"8:9")") << QSize(720, 480)
            << QSize(720, 540) << qint64(0);
        QTest::newRow("anamorphic and sideways")
            << QByteArray(
                   R"("width":720,"height":576,"sample_aspect_ratio":"64:45","side_data_list":[{"rotation":-90}])")
            << QSize(720, 576) << QSize(576, 1024) << qint64(0);
        QTest::newRow("absurd numbers read as none")
            << QByteArray(
                   R"("width":640,"height":360,"bit_rate":1e300,"side_data_list":[{"rotation":-1e300}])")
            << QSize(640, 360) << QSize(640, 360) << qint64(0);
        QTest::newRow("unknown aspect 0:1 is square")
            << QByteArray(R"("width":720,"height":576,"sample_aspect_ratio":"0:1")") << QSize(720, 576)
            << QSize(720, 576) << qint64(0);
    }
    void displayedSizeFromJson()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QSize, coded);
        QFETCH(QSize, displayed);
        QFETCH(qint64, bitRate);
        const QByteArray json =
            R"({"streams":[{"index":0,"codec_type":"video",)" + stream +
            R"(},{"index":1,"codec_type":"audio","bit_rate":"48000"}],"format":{"duration":"2.0"}})";
        const ffmpeg::ProbeSummary summary = ffmpeg::parseProbeJson(json);
        QVERIFY(summary.parsed);
        QCOMPARE(QSize(summary.width, summary.height), coded);
        QCOMPARE(QSize(summary.displayWidth, summary.displayHeight), displayed);
        QCOMPARE(summary.streams.size(), 2);
        QCOMPARE(summary.streams.at(0).bitRate, bitRate);
        QCOMPARE(summary.streams.at(1).bitRate, qint64(48000));
    }

    void warmupRunsVersion()
    {
        FakeProbe fake(QStringLiteral("warmup"));
        FFmpegEnvironment env(fake.root);
        {
            FFprobeService prober(&env);
            prober.warmup();
            QVERIFY(tvxtest::waitUntil([&] { return fake.runs() == 1; }));
        }
        QFile runs(fake.root + QStringLiteral("/runs"));
        QVERIFY(runs.open(QIODevice::ReadOnly));
        QCOMPARE(runs.readAll().trimmed(), QByteArray("-version"));
    }
};

QTEST_GUILESS_MAIN(FFprobeFakeTest)
#include "tst_ffprobe_fake.moc"
