// Player settings: normalisation of every setter, "player.ini" round trip and corrections, deferred saves.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "player/MpvEngine.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

class TestEngineSettings : public QObject
{
    Q_OBJECT

private:
    static QString iniPath() { return app::appDataFilePath(QStringLiteral("player.ini")); }
    static QVariant fileValue(const QString &key)
    {
        QSettings s(iniPath(), QSettings::IniFormat);
        return s.value(key);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        qputenv("TVX_MPV_AO", "null");
        qputenv("TVX_MPV_VO", "null");
    }

    void init() { QFile::remove(iniPath()); }

    void setterNormalisation_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QVariant>("expected");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("volume above range") << "volume" << QVariant(150.0) << QVariant(100.0);
        QTest::newRow("volume inside") << "volume" << QVariant(25.0) << QVariant(25.0);
        QTest::newRow("volume negative") << "volume" << QVariant(-3.0) << QVariant(0.0);
        QTest::newRow("volume NaN") << "volume" << QVariant(nan) << QVariant(0.0);
        QTest::newRow("rotation -90") << "videoRotation" << QVariant(-90) << QVariant(270);
        QTest::newRow("rotation 450") << "videoRotation" << QVariant(450) << QVariant(90);
        QTest::newRow("rotation 45") << "videoRotation" << QVariant(45) << QVariant(0);
        QTest::newRow("aspect FILL") << "aspectMode" << QVariant("FILL") << QVariant("fill");
        QTest::newRow("aspect unknown") << "aspectMode" << QVariant("2.35:1") << QVariant("default");
        QTest::newRow("hwdec upper case refused") << "hwdecMode" << QVariant("AUTO") << QVariant("auto-safe");
        QTest::newRow("hwdec nvdec") << "hwdecMode" << QVariant("nvdec") << QVariant("nvdec");
        QTest::newRow("speed above") << "playbackSpeed" << QVariant(3.0) << QVariant(2.0);
        QTest::newRow("speed below") << "playbackSpeed" << QVariant(0.1) << QVariant(0.5);
        QTest::newRow("preferred speed below") << "preferredPlaybackSpeed" << QVariant(0.2) << QVariant(0.5);
        QTest::newRow("chrome delay below") << "chromeAutoHideMs" << QVariant(100) << QVariant(400);
        QTest::newRow("chrome delay above") << "chromeAutoHideMs" << QVariant(20000) << QVariant(10000);
        QTest::newRow("brightness") << "videoBrightness" << QVariant(-500) << QVariant(-100);
        QTest::newRow("hue") << "videoHue" << QVariant(101) << QVariant(100);
        QTest::newRow("audio delay") << "audioDelayMs" << QVariant(-20000) << QVariant(-10000);
        QTest::newRow("secondary sub delay")
            << "secondarySubtitleDelayMs" << QVariant(12000) << QVariant(10000);
        QTest::newRow("device empty") << "audioOutputDevice" << QVariant("") << QVariant("auto");
        QTest::newRow("channel upper case")
            << "audioChannelMode" << QVariant("MONO-LEFT") << QVariant("mono-left");
        QTest::newRow("channel unknown") << "audioChannelMode" << QVariant("surround") << QVariant("stereo");
        QTest::newRow("subtitle none kept") << "subtitleTrackId" << QVariant(-5) << QVariant(-5);
    }

    void setterNormalisation()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, input);
        QFETCH(QVariant, expected);
        for (bool withHandle : {false, true}) {
            QFile::remove(iniPath());
            MpvEngine engine;
            if (withHandle)
                QVERIFY(engine.initialize());
            // A handle refuses what its libmpv lacks (missingPropertiesAreRefused).
            if (withHandle && property == QLatin1String("secondarySubtitleDelayMs") &&
                !engine.supportsProperty(QStringLiteral("secondary-sub-delay")))
                continue;
            engine.setProperty(property.toLatin1().constData(), input);
            QCOMPARE(engine.property(property.toLatin1().constData()), expected);
            // What was stored is what a new engine reads back.
            engine.flushScheduledSettingsSave();
            MpvEngine reread;
            QCOMPARE(reread.property(property.toLatin1().constData()), expected);
        }
    }

    void volumeAlwaysSavesButSignalsOnChange()
    {
        MpvEngine engine;
        QSignalSpy changed(&engine, &MpvEngine::volumeChanged);
        QVERIFY(engine.setVolume(40));
        QCOMPARE(changed.count(), 1);
        QFile::remove(iniPath());
        QVERIFY(engine.setVolume(40));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(fileValue("player/volume").toDouble(), 40.0);
    }

    void corruptFileIsCorrected_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("raw");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("audio delay") << "audio/delay_ms" << QVariant(-20000) << "audioDelayMs"
                                     << QVariant(-10000);
        QTest::newRow("brightness") << "video/brightness" << QVariant(-500) << "videoBrightness"
                                    << QVariant(-100);
        QTest::newRow("speed") << "player/playback_speed" << QVariant(0.1) << "playbackSpeed"
                               << QVariant(0.5);
        QTest::newRow("preferred speed")
            << "player/preferred_playback_speed" << QVariant(9) << "preferredPlaybackSpeed" << QVariant(2.0);
        QTest::newRow("rotation 900")
            << "video/rotation" << QVariant(900) << "videoRotation" << QVariant(180);
        QTest::newRow("rotation 45") << "video/rotation" << QVariant(45) << "videoRotation" << QVariant(0);
        QTest::newRow("rotation text")
            << "video/rotation" << QVariant("ninety") << "videoRotation" << QVariant(0);
        QTest::newRow("volume text") << "player/volume" << QVariant("loud") << "volume" << QVariant(0.0);
        QTest::newRow("volume high") << "player/volume" << QVariant(300) << "volume" << QVariant(100.0);
        QTest::newRow("hwdec unknown")
            << "player/hwdec_mode" << QVariant("vaapi") << "hwdecMode" << QVariant("auto-safe");
        QTest::newRow("aspect upper")
            << "video/aspect_mode" << QVariant("4:3") << "aspectMode" << QVariant("4:3");
        QTest::newRow("aspect junk") << "video/aspect_mode" << QVariant("wide") << "aspectMode"
                                     << QVariant("default");
        QTest::newRow("channel") << "audio/channel_mode" << QVariant("Mono-Right") << "audioChannelMode"
                                 << QVariant("mono-right");
        QTest::newRow("device empty")
            << "audio/output_device" << QVariant("") << "audioOutputDevice" << QVariant("auto");
        QTest::newRow("chrome") << "ui/chrome_auto_hide_ms" << QVariant(-1) << "chromeAutoHideMs"
                                << QVariant(400);
        QTest::newRow("sub delay") << "subtitle/secondary_delay_ms" << QVariant(99999)
                                   << "secondarySubtitleDelayMs" << QVariant(10000);
    }

    void corruptFileIsCorrected()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, raw);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        {
            QSettings s(iniPath(), QSettings::IniFormat);
            s.setValue(key, raw);
        }
        MpvEngine engine;
        QCOMPARE(engine.property(property.toLatin1().constData()), expected);
    }

    void everySettingRoundTrips()
    {
        {
            QSettings s(iniPath(), QSettings::IniFormat);
            s.setValue(QStringLiteral("PlayerListPanel/thumbnailMode"), true);
        }
        {
            MpvEngine engine;
            QVERIFY(engine.setHwdecMode("no"));
            QVERIFY(engine.setVolume(33));
            QVERIFY(engine.setPlaybackSpeed(1.5));
            QVERIFY(engine.setPreferredPlaybackSpeed(1.25));
            QVERIFY(engine.setAlwaysApplyPreferredPlaybackSpeed(true));
            QVERIFY(engine.setChromeAutoHideMs(2500));
            QVERIFY(engine.setAspectMode("16:9"));
            QVERIFY(engine.setVideoRotation(180));
            QVERIFY(engine.setCropBlackBars(true));
            QVERIFY(engine.setVideoBrightness(10));
            QVERIFY(engine.setVideoSaturation(-20));
            QVERIFY(engine.setVideoContrast(30));
            QVERIFY(engine.setVideoHue(-40));
            QVERIFY(engine.setVideoEnhancementEnabled(true));
            QVERIFY(engine.setAudioChannelMode("mono-right"));
            QVERIFY(engine.setAudioOutputDevice("null"));
            QVERIFY(engine.setAudioDelayMs(250));
            QVERIFY(engine.setAudioTrackId(2));
            QVERIFY(engine.setSubtitleTrackId(3));
            QVERIFY(engine.setSubtitleDelayMs(-500));
            QVERIFY(engine.setSecondarySubtitleTrackId(4));
            QVERIFY(engine.setSecondarySubtitleDelayMs(750));
        } // the destructor flushes the pending equaliser save
        MpvEngine b;
        QCOMPARE(b.hwdecMode(), QStringLiteral("no"));
        QCOMPARE(b.volume(), 33.0);
        QCOMPARE(b.playbackSpeed(), 1.5);
        QCOMPARE(b.preferredPlaybackSpeed(), 1.25);
        QVERIFY(b.alwaysApplyPreferredPlaybackSpeed());
        QCOMPARE(b.chromeAutoHideMs(), 2500);
        QCOMPARE(b.aspectMode(), QStringLiteral("16:9"));
        QCOMPARE(b.videoRotation(), 180);
        QVERIFY(b.cropBlackBars());
        QCOMPARE(b.videoBrightness(), 10);
        QCOMPARE(b.videoSaturation(), -20);
        QCOMPARE(b.videoContrast(), 30);
        QCOMPARE(b.videoHue(), -40);
        QVERIFY(b.videoEnhancementEnabled());
        QCOMPARE(b.audioChannelMode(), QStringLiteral("mono-right"));
        QCOMPARE(b.audioOutputDevice(), QStringLiteral("null"));
        QCOMPARE(b.audioDelayMs(), 250);
        QCOMPARE(b.audioTrackId(), 2);
        QCOMPARE(b.subtitleTrackId(), 3);
        QCOMPARE(b.subtitleDelayMs(), -500);
        QCOMPARE(b.secondarySubtitleTrackId(), 4);
        QCOMPARE(b.secondarySubtitleDelayMs(), 750);

        QSettings s(iniPath(), QSettings::IniFormat);
        QStringList engineKeys = s.allKeys();
        engineKeys.removeAll(QStringLiteral("PlayerListPanel/thumbnailMode"));
        QCOMPARE(engineKeys.size(), 22);
        // The play-list panel's own key lives in the same file and survives the engine's saves.
        QCOMPARE(s.value(QStringLiteral("PlayerListPanel/thumbnailMode")).toBool(), true);
    }

    void equaliserChangesAreSavedOnce()
    {
        MpvEngine engine;
        QSignalSpy changed(&engine, &MpvEngine::videoBrightnessChanged);
        for (int value : {10, 20, 30}) {
            QVERIFY(engine.setVideoBrightness(value));
            QVERIFY(!QFile::exists(iniPath())); // deferred: nothing written between changes
            QTest::qWait(50);
        }
        QCOMPARE(changed.count(), 3);
        QVERIFY(tvxtest::waitUntil([] { return QFile::exists(iniPath()); }, 5000));
        QCOMPARE(fileValue("video/brightness").toInt(), 30);
    }

    void destroyingFlushesPendingSave()
    {
        {
            MpvEngine engine;
            QVERIFY(engine.initialize());
            QFile::remove(iniPath());
            engine.setVideoContrast(-7);
        }
        QCOMPARE(fileValue("video/contrast").toInt(), -7);
    }

    void valuesSetBeforeTheHandleReachMpv()
    {
        MpvEngine engine;
        QVERIFY(!engine.initialized());
        QVERIFY(engine.setVolume(25));
        QVERIFY(engine.setVideoRotation(90));
        QVERIFY(engine.setVideoBrightness(12));
        QVERIFY(engine.setAspectMode("fill"));
        QVERIFY(engine.setAudioDelayMs(500));
        QVERIFY(engine.setCropBlackBars(true));
        QVERIFY(engine.handle() == nullptr);
        QSignalSpy init(&engine, &MpvEngine::initializedChanged);
        QVERIFY(engine.initialize());
        QCOMPARE(init.count(), 1);
        QCOMPARE(engine.doubleProperty("volume", -1), 50.0);
        QCOMPARE(engine.intProperty("video-rotate", -1), 90);
        QCOMPARE(engine.intProperty("brightness", -1), 12);
        QCOMPARE(engine.stringProperty("keepaspect"), QStringLiteral("no"));
        QCOMPARE(engine.doubleProperty("audio-delay", -1), 0.5);
        QCOMPARE(engine.doubleProperty("panscan", -1), 1.0);
        // Subtitle position is written in whatever format this libmpv reports.
        QCOMPARE(engine.intProperty("sub-pos", -1), 84);
        // A second initialise keeps the handle.
        mpv_handle *h = engine.handle();
        QVERIFY(engine.initialize());
        QCOMPARE(engine.handle(), h);
        QCOMPARE(init.count(), 1);
    }

    void mpvMappingOnALiveHandle()
    {
        MpvEngine engine;
        QVERIFY(engine.initialize());
        QVERIFY(engine.setSubtitleTrackId(-5));
        QCOMPARE(engine.stringProperty("sid"), QStringLiteral("no"));
        QVERIFY(engine.setAudioTrackId(0));
        QCOMPARE(engine.stringProperty("aid"), QStringLiteral("auto"));
        QVERIFY(engine.setAspectMode("16:9"));
        QCOMPARE(engine.stringProperty("keepaspect"), QStringLiteral("yes"));
        QVERIFY(engine.stringProperty("video-aspect-override").startsWith(QStringLiteral("1.77")));
        QVERIFY(engine.setVideoEnhancementEnabled(true));
        QCOMPARE(engine.stringProperty("scale"), QStringLiteral("ewa_lanczossharp"));
        QCOMPARE(engine.stringProperty("dscale"), QStringLiteral("mitchell"));
        // Mono modes keep their names in the settings and reach mpv as a pan filter.
        QVERIFY(engine.setAudioChannelMode("mono-left"));
        QCOMPARE(engine.audioChannelMode(), QStringLiteral("mono-left"));
        QVERIFY(engine.stringProperty("af").contains(QStringLiteral("c1=c0")));
        QVERIFY(engine.setAudioChannelMode("mono-right"));
        QVERIFY(engine.stringProperty("af").contains(QStringLiteral("c0=c1")));
        QVERIFY(engine.setAudioChannelMode("stereo"));
        QVERIFY(!engine.stringProperty("af").contains(QStringLiteral("pan")));
        QVERIFY(engine.setVolume(100));
        QCOMPARE(engine.doubleProperty("volume", -1), 100.0);
        // Hardware decoding interop is left to mpv, so the decoding choices work with a GPU.
        QVERIFY(engine.stringProperty("gpu-hwdec-interop") != QLatin1String("no"));
    }

    // libmpv 0.35 has neither "secondary-sub-delay" nor "secondary-sub-pos": their setters must
    // not report success, so the dialog can offer the row as unavailable.
    void missingPropertiesAreRefused()
    {
        MpvEngine engine;
        QVERIFY(engine.initialize());
        QVERIFY(engine.supportsProperty(QStringLiteral("sub-delay")));
        QVERIFY(!engine.supportsProperty(QStringLiteral("no-such-property")));
        QVERIFY(!engine.setMpvDoubleProperty("no-such-property", 1.0));
        QVERIFY(!engine.setMpvStringProperty("no-such-property", QStringLiteral("x")));
        QVERIFY(!engine.setMpvIntProperty("no-such-property", 1));
        MpvEngine withoutHandle; // asks the libmpv this process already probed
        QVERIFY(!withoutHandle.supportsProperty(QStringLiteral("no-such-property")));
        QVERIFY(withoutHandle.supportsProperty(QStringLiteral("sub-delay")));

        QSignalSpy changed(&engine, &MpvEngine::secondarySubtitleDelayMsChanged);
        const bool present = engine.supportsProperty(QStringLiteral("secondary-sub-delay"));
        QCOMPARE(engine.setSecondarySubtitleDelayMs(300), present);
        QCOMPARE(engine.secondarySubtitleDelayMs(), present ? 300 : 0);
        QCOMPARE(changed.count(), present ? 1 : 0);
        if (!present) {
            QVERIFY(!engine.setMpvDoubleProperty("secondary-sub-pos", 92.0));
            // Starting a file is not held up by the setting this libmpv cannot take.
            QVERIFY(engine.applyPlaybackStartupPreferences());
        }
    }

    void supportedHwdecModes()
    {
        MpvEngine engine;
        QCOMPARE(engine.supportedHwdecModes(),
                 (QStringList{QStringLiteral("no"), QStringLiteral("auto-safe"), QStringLiteral("auto"),
                              QStringLiteral("nvdec")}));
        QSignalSpy changed(&engine, &MpvEngine::hwdecModeChanged);
        QVERIFY(!engine.setHwdecMode("AUTO"));
        QCOMPARE(changed.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestEngineSettings)
#include "tst_enginesettings.moc"
