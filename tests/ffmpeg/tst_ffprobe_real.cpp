// Media prober with the real ffprobe on generated clips.
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/TimingProfile.h"

#include <QtTest>

class FFprobeRealTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        // The real ffprobe on a machine that may be busy: what is checked is what the prober
        // makes of its answers, so the prober's own limits here only end a hang.
        ffmpeg::TimingProfile timing;
        timing.probeMs = tvxtest::generousMs(timing.probeMs);
        timing.packetScanStartMs = tvxtest::generousMs(timing.packetScanStartMs);
        timing.packetScanMs = tvxtest::generousMs(timing.packetScanMs);
        ffmpeg::setTimingProfile(timing);
        QVERIFY(FFmpegEnvironment().hasFFprobeExecutable());
    }

    void probe_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("valid");
        QTest::newRow("small mp4") << tvxtest::fixtures::smallMp4() << qint64(3) << 320 << 240 << true;
        QTest::newRow("1080p") << tvxtest::fixtures::clip1080p() << qint64(2) << 1920 << 1080 << true;
        QTest::newRow("mp3") << tvxtest::fixtures::audioMp3() << qint64(4) << -1 << -1 << true;
        QTest::newRow("unicode name")
            << tvxtest::fixtures::unicodeNamedMp4() << qint64(3) << 320 << 240 << true;
        QTest::newRow("garbage mp4") << tvxtest::fixtures::garbageMp4() << qint64(0) << -1 << -1 << false;
        QTest::newRow("zero bytes") << tvxtest::fixtures::zeroByteFile() << qint64(0) << -1 << -1 << false;
    }

    void probe()
    {
        QFETCH(QString, path);
        QVERIFY(!path.isEmpty());
        FFmpegEnvironment env;
        FFprobeService prober(&env);
        const FFprobeService::MediaInfo info = prober.probeMedia(path);
        QTEST(info.durationSeconds, "duration");
        QTEST(info.width, "width");
        QTEST(info.height, "height");
        QTEST(info.valid, "valid");
        QCOMPARE(info.errorText.isEmpty(), info.valid);
    }

    // What ffmpeg 5.1 writes for a phone's sideways clip and for anamorphic PAL is read back as
    // the size players show.
    void displayedSize_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("coded");
        QTest::addColumn<QSize>("displayed");
        QTest::newRow("square pixels") << tvxtest::fixtures::smallMp4() << QSize(320, 240) << QSize(320, 240);
        QTest::newRow("sideways phone clip")
            << tvxtest::fixtures::sidewaysPhoneMp4() << QSize(640, 360) << QSize(360, 640);
        QTest::newRow("PAL 16:9") << tvxtest::fixtures::anamorphicPalMp4() << QSize(720, 576)
                                  << QSize(1024, 576);
    }
    void displayedSize()
    {
        QFETCH(QString, path);
        QFETCH(QSize, coded);
        QFETCH(QSize, displayed);
        QVERIFY(!path.isEmpty());
        FFmpegEnvironment env;
        FFprobeService prober(&env);
        const FFprobeService::MediaInfo info = prober.probeMedia(path);
        QVERIFY2(info.valid, qPrintable(info.errorText));
        QCOMPARE(QSize(info.width, info.height), coded);
        QCOMPARE(QSize(info.displayWidth, info.displayHeight), displayed);
    }
};

QTEST_GUILESS_MAIN(FFprobeRealTest)
#include "tst_ffprobe_real.moc"
