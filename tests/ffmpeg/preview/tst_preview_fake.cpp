// Preview service with fake ffprobe/ffmpeg programs on an emptied search path.
#include "TestSupport.h"
#include "ffmpeg/MediaPreviewService.h"
#include "ffmpeg/TimingProfile.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <csignal>

namespace {

// ffprobe: JSON run prints "$D/json" (or stalls when "$D/stall_probe" exists), the size run
// prints "$D/size". A lock folder detects two runs at once.
const char *kFakeProbe = R"SH(PATH=/usr/bin:/bin
D="$(dirname "$0")"
echo "$*" >> "$D/probe_runs"
if ! mkdir "$D/lock" 2>/dev/null; then echo overlap >> "$D/overlap"; fi
if [ -f "$D/stall_probe" ]; then echo $$ >> "$D/pids"; rmdir "$D/lock"; exec sleep 30; fi
sleep 0.05
rmdir "$D/lock" 2>/dev/null
case "$*" in
  *"-of json"*) cat "$D/json" 2>/dev/null ;;
  *"csv=s=x"*) cat "$D/size" 2>/dev/null ;;
esac
exit 0)SH";

// ffmpeg: records its arguments; writes a small file to the last argument, or half of one and
// fails ("$D/fail_ffmpeg"), or half of one and stalls ("$D/stall_ffmpeg").
const char *kFakeFfmpeg = R"SH(PATH=/usr/bin:/bin
D="$(dirname "$0")"
echo "$*" >> "$D/ffmpeg_runs"
[ "$*" = "-version" ] && exit 0
for last; do :; done
printf 'PNG-partial' > "$last"
if [ -f "$D/fail_ffmpeg" ]; then exit 1; fi
if [ -f "$D/stall_ffmpeg" ]; then echo $$ >> "$D/pids"; exec sleep 30; fi
printf -- '-complete' >> "$last"
exit 0)SH";

int lineCount(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool allGone(const QString &pidFile)
{
    const QStringList pids = readText(pidFile).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &p : pids) {
        if (::kill(p.toInt(), 0) == 0 || errno != ESRCH)
            return false;
    }
    return !pids.isEmpty();
}

} // namespace

class PreviewFakeTest : public QObject
{
    Q_OBJECT

    QString m_bin;
    QString m_media;
    QByteArray m_oldPath;

    QString bin(const QString &file) const { return m_bin + QLatin1Char('/') + file; }
    QString mediaFile(const QString &name) const
    {
        return tvxtest::writeFile(m_media + QLatin1Char('/') + name, "media bytes " + name.toUtf8());
    }
    QStringList cachePngs() const
    {
        return QDir(MediaPreviewService::previewCacheDirectory()).entryList({"*.png"}, QDir::Files);
    }
    QStringList cacheFiles() const
    {
        return QDir(MediaPreviewService::previewCacheDirectory()).entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        m_oldPath = qgetenv("PATH");
        m_media = tvxtest::scratchPath(QStringLiteral("media/x")).section(QLatin1Char('/'), 0, -2);
    }

    // Every test gets a fresh program folder as the only search path entry.
    void init()
    {
        static int n = 0;
        m_bin = tvxtest::scratchPath(QStringLiteral("bin%1/x").arg(++n)).section(QLatin1Char('/'), 0, -2);
        tvxtest::writeScript(bin(QStringLiteral("ffprobe.exe")), QString::fromLatin1(kFakeProbe));
        tvxtest::writeScript(bin(QStringLiteral("ffmpeg.exe")), QString::fromLatin1(kFakeFfmpeg));
        tvxtest::writeFile(bin(QStringLiteral("json")), R"({"format":{"duration":"5"}})");
        tvxtest::writeFile(bin(QStringLiteral("size")), "1920x1080\n");
        qputenv("PATH", m_bin.toLocal8Bit());
        ffmpeg::setTimingProfile(ffmpeg::TimingProfile());
        for (const QString &f : cachePngs())
            QFile::remove(MediaPreviewService::previewCacheDirectory() + QLatin1Char('/') + f);
    }

    void cleanup() { qputenv("PATH", m_oldPath); }

    void formatDuration_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "00:00:00";
        QTest::newRow("negative") << qint64(-5) << "00:00:00";
        QTest::newRow("minute and second") << qint64(3661) << "01:01:01";
        QTest::newRow("hundred hours") << qint64(360000) << "100:00:00";
    }
    void formatDuration()
    {
        QFETCH(qint64, seconds);
        QTEST(MediaPreviewService::formatDuration(seconds), "text");
    }

    void blankPathQueuesNothing()
    {
        MediaPreviewService service;
        const QVariantMap preview = service.previewForFile(QStringLiteral("   "));
        QCOMPARE(preview, MediaPreviewService::defaultPreview(false));
        QCOMPARE(service.runningJobCount(), 0);
        QCOMPARE(lineCount(bin(QStringLiteral("probe_runs"))), 0);
    }

    // Two requests (one relative, one absolute) for one new file: one job, one previewReady
    // carrying the absolute forward-slash key.
    void oneJobPerFile()
    {
        const QString file = mediaFile(QStringLiteral("one.mp4"));
        MediaPreviewService service;
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        const QVariantMap first = service.previewForFile(QDir::current().relativeFilePath(file));
        const QVariantMap second = service.previewForFile(file);
        QVERIFY(first.value(QStringLiteral("loading")).toBool());
        QVERIFY(second.value(QStringLiteral("loading")).toBool());
        QVERIFY(ready.wait(tvxtest::scaledMs(10000)));
        QTest::qWait(100);
        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0).at(0).toString(), file);
        const QVariantMap preview = ready.at(0).at(1).toMap();
        QCOMPARE(preview.value(QStringLiteral("durationSeconds")).toLongLong(), qint64(5));
        QCOMPARE(preview.value(QStringLiteral("durationText")).toString(), QStringLiteral("00:00:05"));
        QCOMPARE(preview.value(QStringLiteral("loading")).toBool(), false);
        QCOMPARE(preview.value(QStringLiteral("parseFailed")).toBool(), false);
        QVERIFY(preview.value(QStringLiteral("qualityTag")).toString().isNull());
        const QString thumb = QUrl(preview.value(QStringLiteral("thumbnailPath")).toString()).toLocalFile();
        QCOMPARE(thumb, MediaPreviewService::cacheFilePathForSource(file));
        QCOMPARE(readText(thumb), QStringLiteral("PNG-partial-complete"));
        // One ffprobe run gave both the duration and the (empty) quality tag.
        QCOMPARE(lineCount(bin(QStringLiteral("probe_runs"))), 1);
        QCOMPARE(lineCount(bin(QStringLiteral("ffmpeg_runs"))), 1);
        // Ready previews come from memory.
        QCOMPARE(service.previewForFile(file), preview);
        QCOMPARE(lineCount(bin(QStringLiteral("probe_runs"))), 1);
    }

    void seekTime_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("seek");
        QTest::newRow("5 s from the start") << QByteArray(R"({"format":{"duration":"4.2"}})") << "0.000";
        QTest::newRow("100 s at a tenth") << QByteArray(R"({"format":{"duration":"100"}})") << "10.000";
        QTest::newRow("8 s before the end") << QByteArray(R"({"streams":[{"duration":"7.5"}]})") << "0.800";
    }
    void seekTime()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, seek);
        tvxtest::writeFile(bin(QStringLiteral("json")), json);
        const QString file = mediaFile(QStringLiteral("seek-%1.mkv").arg(QTest::currentDataTag()));
        const QString thumb =
            MediaPreviewService::extractThumbnail(file, MediaPreviewService::cacheFilePathForSource(file),
                                                  MediaPreviewService::readDurationSeconds(file));
        QVERIFY(!thumb.isEmpty());
        const QString args = readText(bin(QStringLiteral("ffmpeg_runs")));
        QVERIFY2(args.contains(QStringLiteral("-ss ") + seek + QStringLiteral(" -i ") + file),
                 qPrintable(args));
        QVERIFY(args.startsWith(QStringLiteral("-nostdin -hide_banner ")));
    }

    void qualityTag_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("tag");
        QTest::newRow("4K") << QByteArray("3840x2160\n") << "4K";
        QTest::newRow("8K") << QByteArray("7680x4320") << "8K";
        QTest::newRow("portrait 4K") << QByteArray("\n2160x3840\r\n1x1\n") << "4K";
        QTest::newRow("full HD") << QByteArray("1920x1080") << QString();
        QTest::newRow("one number") << QByteArray("3840") << QString();
        QTest::newRow("not numbers") << QByteArray("axb") << QString();
        QTest::newRow("nothing") << QByteArray() << QString();
    }
    void qualityTag()
    {
        QFETCH(QByteArray, output);
        tvxtest::writeFile(bin(QStringLiteral("size")), output);
        const QString tag = MediaPreviewService::readVideoQualityTag(mediaFile(QStringLiteral("tag.mp4")));
        QTEST(tag, "tag");
    }

    // The duration run's streams give the tag of the first video stream; where that run gives
    // no readable answer, the tag's own probe ("$D/size") still runs.
    void tagFromDurationRun_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("probeRuns");
        QTest::newRow("4K after an audio stream")
            << QByteArray(R"({"format":{"duration":"5"},"streams":[{"codec_type":"audio","duration":"5"},)"
                          R"({"codec_type":"video","width":3840,"height":2160},)"
                          R"({"codec_type":"video","width":640,"height":360}]})")
            << "4K" << 1;
        QTest::newRow("first video stream decides")
            << QByteArray(R"({"format":{"duration":"5"},"streams":[{"codec_type":"video","width":1920,)"
                          R"("height":1080},{"codec_type":"video","width":7680,"height":4320}]})")
            << QString() << 1;
        QTest::newRow("portrait 8K") << QByteArray(R"({"format":{"duration":"5"},"streams":[{"codec_type":)"
                                                   R"("video","width":4320,"height":7680}]})")
                                     << "8K" << 1;
        QTest::newRow("audio only") << QByteArray(R"({"format":{"duration":"5"},"streams":[{"codec_type":)"
                                                  R"("audio"}]})")
                                    << QString() << 1;
        QTest::newRow("unreadable answer: the tag probe runs") << QByteArray("not json") << "4K" << 2;
    }
    void tagFromDurationRun()
    {
        QFETCH(QByteArray, json);
        tvxtest::writeFile(bin(QStringLiteral("json")), json);
        tvxtest::writeFile(bin(QStringLiteral("size")), "3840x2160\n");
        const QVariantMap preview = MediaPreviewService::buildPreview(
            mediaFile(QStringLiteral("tag-%1.mp4").arg(QString::number(qHash(QTest::currentDataTag())))));
        QTEST(preview.value(QStringLiteral("qualityTag")).toString(), "tag");
        QTEST(lineCount(bin(QStringLiteral("probe_runs"))), "probeRuns");
    }

    // A failed or killed ffmpeg leaves neither a thumbnail nor a temporary file behind.
    void noPartialThumbnail_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("ffmpeg fails") << "fail_ffmpeg";
        QTest::newRow("ffmpeg stalls") << "stall_ffmpeg";
    }
    void noPartialThumbnail()
    {
        QFETCH(QString, mode);
        ffmpeg::TimingProfile timing;
        timing.thumbnailMs = 1000;
        ffmpeg::setTimingProfile(timing);
        tvxtest::writeFile(bin(mode), "1");
        const QString file = mediaFile(QStringLiteral("partial-%1.mp4").arg(mode));
        MediaPreviewService service;
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        service.previewForFile(file);
        QVERIFY(ready.wait(tvxtest::scaledMs(10000)));
        const QVariantMap preview = ready.at(0).at(1).toMap();
        QVERIFY(preview.value(QStringLiteral("thumbnailPath")).toString().isNull());
        QCOMPARE(preview.value(QStringLiteral("durationSeconds")).toLongLong(), qint64(5));
        QCOMPARE(cacheFiles(), QStringList());
        if (mode == QLatin1String("stall_ffmpeg"))
            QVERIFY(allGone(bin(QStringLiteral("pids"))));
        // The next run makes the thumbnail: nothing stale was kept.
        QFile::remove(bin(mode));
        QVERIFY(
            !MediaPreviewService::extractThumbnail(file, MediaPreviewService::cacheFilePathForSource(file), 5)
                 .isEmpty());
    }

    // A hung ffprobe is killed at its time limit; the job still ends with a preview.
    void hungProbeIsKilled()
    {
        ffmpeg::TimingProfile timing;
        timing.probeMs = 1000;
        timing.qualityTagMs = 1000;
        timing.packetScanMs = 1000;
        ffmpeg::setTimingProfile(timing);
        tvxtest::writeFile(bin(QStringLiteral("stall_probe")), "1");
        const QString file = mediaFile(QStringLiteral("hung.mp4"));
        MediaPreviewService service;
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        service.previewForFile(file);
        QVERIFY(ready.wait(tvxtest::scaledMs(20000)));
        const QVariantMap preview = ready.at(0).at(1).toMap();
        QCOMPARE(preview.value(QStringLiteral("durationSeconds")).toLongLong(), qint64(0));
        QVERIFY(preview.value(QStringLiteral("parseFailed")).toBool());
        QVERIFY(allGone(bin(QStringLiteral("pids"))));
        QCOMPARE(lineCount(bin(QStringLiteral("pids"))),
                 2); // duration (no packet scan after a time-out), size
    }

    // Destroying the service (program exit) kills its running job's ffprobe at once.
    void destructionKillsRunningJob()
    {
        tvxtest::writeFile(bin(QStringLiteral("stall_probe")), "1");
        auto *service = new MediaPreviewService;
        QSignalSpy ready(service, &MediaPreviewService::previewReady);
        service->previewForFile(mediaFile(QStringLiteral("exit.mp4")));
        QVERIFY(tvxtest::waitUntil([&] { return lineCount(bin(QStringLiteral("pids"))) == 1; }, 10000));
        delete service;
        QVERIFY(allGone(bin(QStringLiteral("pids"))));
        QCOMPARE(lineCount(bin(QStringLiteral("pids"))), 1);
        QCOMPARE(ready.count(), 0);
    }

    void missingProgramsGiveDefaults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("parseFailed");
        QTest::newRow("video") << "gone.mp4" << true;
        QTest::newRow("audio") << "gone.mp3" << false;
    }
    void missingProgramsGiveDefaults()
    {
        QFETCH(QString, name);
        qputenv("PATH", tvxtest::scratchPath(QStringLiteral("empty-bin")).toLocal8Bit());
        const QVariantMap preview = MediaPreviewService::buildPreview(mediaFile(name));
        QCOMPARE(preview.value(QStringLiteral("durationText")).toString(), QStringLiteral("00:00:00"));
        QVERIFY(preview.value(QStringLiteral("thumbnailPath")).toString().isNull());
        QTEST(preview.value(QStringLiteral("parseFailed")).toBool(), "parseFailed");
        // A file that has vanished is the plain default, never "damaged".
        QCOMPARE(MediaPreviewService::buildPreview(m_media + QStringLiteral("/none.mp4")),
                 MediaPreviewService::defaultPreview(false));
    }

    void deletedThumbnailIsRebuilt()
    {
        const QString file = mediaFile(QStringLiteral("rebuild.mp4"));
        MediaPreviewService service;
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        service.previewForFile(file);
        QVERIFY(ready.wait(tvxtest::scaledMs(10000)));
        const QVariantMap first = ready.at(0).at(1).toMap();
        const QString thumb = QUrl(first.value(QStringLiteral("thumbnailPath")).toString()).toLocalFile();
        QVERIFY(QFile::remove(thumb));
        const QVariantMap stale = service.previewForFile(file);
        QVERIFY(stale.value(QStringLiteral("thumbnailPath")).toString().isNull());
        QVERIFY(stale.value(QStringLiteral("loading")).toBool());
        QCOMPARE(stale.value(QStringLiteral("durationSeconds")),
                 first.value(QStringLiteral("durationSeconds")));
        QVERIFY(ready.wait(tvxtest::scaledMs(10000)));
        QCOMPARE(ready.at(1).at(1).toMap(), first);
        QVERIFY(QFileInfo::exists(thumb));
    }

    // While something plays, previews are built one at a time; afterwards the idle limit applies.
    void oneJobWhilePlaying()
    {
        QFile::remove(bin(QStringLiteral("ffmpeg.exe"))); // ffprobe runs only, so overlaps are visible
        MediaPreviewService service;
        service.setPlaybackActive(true);
        QCOMPARE(service.maxConcurrentJobs(), 1);
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        int maxRunning = 0;
        for (int i = 0; i < 10; ++i) {
            service.previewForFile(mediaFile(QStringLiteral("queue%1.mp4").arg(i)));
            maxRunning = qMax(maxRunning, service.runningJobCount());
        }
        QVERIFY(tvxtest::waitUntil(
            [&] {
                maxRunning = qMax(maxRunning, service.runningJobCount());
                return ready.count() == 10;
            },
            30000));
        QCOMPARE(maxRunning, 1);
        QVERIFY(!QFileInfo::exists(bin(QStringLiteral("overlap"))));
        QCOMPARE(lineCount(bin(QStringLiteral("probe_runs"))), 10);
        service.setPlaybackActive(false);
        QCOMPARE(service.maxConcurrentJobs(), service.recommendedIdleConcurrency());
    }

    void cleanupAtQuit()
    {
        const QString kept = mediaFile(QStringLiteral("kept.mp4"));
        const QString dropped = mediaFile(QStringLiteral("dropped.mp4"));
        MediaPreviewService service;
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        service.previewForFile(kept);
        service.previewForFile(dropped);
        QVERIFY(tvxtest::waitUntil([&] { return ready.count() == 2; }, 10000));
        const QString dir = MediaPreviewService::previewCacheDirectory();
        tvxtest::writeFile(dir + QStringLiteral("/stray.png"), "x");
        tvxtest::writeFile(dir + QStringLiteral("/notes.txt"), "x");

        service.cleanupCacheBySourcePaths({kept, QString(), QStringLiteral("  ")});
        QCOMPARE(cachePngs(),
                 QStringList{QFileInfo(MediaPreviewService::cacheFilePathForSource(kept)).fileName()});
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/notes.txt")));
        const int runsBefore = lineCount(bin(QStringLiteral("probe_runs")));
        QVERIFY(!service.previewForFile(kept).value(QStringLiteral("loading")).toBool());
        QVERIFY(service.previewForFile(dropped).value(QStringLiteral("loading")).toBool());
        QVERIFY(ready.wait(tvxtest::scaledMs(10000)));
        QVERIFY(lineCount(bin(QStringLiteral("probe_runs"))) > runsBefore);

        service.cleanupCacheBySourcePaths({});
        QCOMPARE(cachePngs(), QStringList());
        QVERIFY(service.previewForFile(kept).value(QStringLiteral("loading")).toBool());
        QVERIFY(ready.wait(tvxtest::scaledMs(10000)));
    }

    void warmupRunsBothPrograms()
    {
        {
            MediaPreviewService service;
            service.warmup();
            QVERIFY(tvxtest::waitUntil([&] {
                return lineCount(bin(QStringLiteral("probe_runs"))) == 1 &&
                       lineCount(bin(QStringLiteral("ffmpeg_runs"))) == 1;
            }));
        }
        QCOMPARE(readText(bin(QStringLiteral("probe_runs"))).trimmed(), QStringLiteral("-version"));
    }
};

QTEST_GUILESS_MAIN(PreviewFakeTest)
#include "tst_preview_fake.moc"
