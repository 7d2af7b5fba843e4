// The engine under real libmpv on generated clips: states, ends of file, failures, tracks, subtitles, media
// info.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "player/MpvEngine.h"
#include "player/mpv/MpvCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QString stateOf(const MpvEngine &e)
{
    if (e.isEnded())
        return e.isEndOfFileHandled() ? QStringLiteral("AtEnd") : QStringLiteral("Idle");
    return e.isEndOfFileHandled() ? QStringLiteral("Invalid") : QStringLiteral("Active");
}

QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;

void captureLog(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    g_log.append(msg);
    if (g_previousHandler)
        g_previousHandler(type, ctx, msg);
}

// mpv refuses seeks until playback has started, so "loaded" here means the clock has moved.
bool waitLoaded(MpvEngine &e)
{
    return tvxtest::waitUntil(
        [&e] { return e.duration() > 0 && e.position() > 0 && stateOf(e) == QLatin1String("Active"); },
        10000);
}

} // namespace

class TestEnginePlayback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        qputenv("TVX_MPV_AO", "null");
        qputenv("TVX_MPV_VO", "null");
        QVERIFY(!tvxtest::fixtures::smallMp4().isEmpty());
        QVERIFY(!tvxtest::fixtures::mkvTwoAudio().isEmpty());
        g_previousHandler = qInstallMessageHandler(captureLog);
    }

    void init()
    {
        QFile::remove(app::appDataFilePath(QStringLiteral("player.ini")));
        g_log.clear();
    }

    void stateTransitions()
    {
        MpvEngine engine;
        QCOMPARE(stateOf(engine), QStringLiteral("Idle"));
        QSignalSpy ends(&engine, &MpvEngine::endOfFileReached);

        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QCOMPARE(stateOf(engine), QStringLiteral("Active"));
        QCOMPARE(engine.paused(), false);
        QCOMPARE(engine.position(), 0.0);
        QVERIFY(waitLoaded(engine));

        QVERIFY(engine.togglePause());
        QVERIFY(engine.paused());
        QCOMPARE(stateOf(engine), QStringLiteral("Active"));
        QVERIFY(engine.togglePause());
        QVERIFY(!engine.paused());

        QVERIFY(engine.seekTo(engine.duration() - 0.3));
        QVERIFY(tvxtest::waitUntil([&] { return ends.count() == 1; }, 10000));
        QCOMPARE(stateOf(engine), QStringLiteral("AtEnd"));
        QCOMPARE(engine.position(), engine.duration());
        QTest::qWait(300);
        QCOMPARE(ends.count(), 1);

        // A seek after the end makes the file active again, and its next end is reported.
        QVERIFY(engine.seekTo(engine.duration() - 1.0));
        QVERIFY(tvxtest::waitUntil([&] { return stateOf(engine) == QLatin1String("Active"); }, 5000));
        // mpv holds a kept-open file paused at its end; resume it.
        QVERIFY(tvxtest::waitUntil([&] { return engine.position() < engine.duration() - 0.7; }, 5000));
        if (engine.paused())
            QVERIFY(engine.togglePause());
        QVERIFY(!engine.paused());
        QVERIFY(tvxtest::waitUntil([&] { return ends.count() == 2; }, 10000));

        // Play at the end restarts from the beginning.
        QVERIFY(engine.togglePause());
        QCOMPARE(stateOf(engine), QStringLiteral("Active"));
        QVERIFY(tvxtest::waitUntil([&] { return engine.position() > 0 && engine.position() < 1.5; }, 5000));
        QVERIFY(!engine.paused());

        QSignalSpy info(&engine, &MpvEngine::mediaInfoChanged);
        QVERIFY(engine.stopPlayback());
        QCOMPARE(stateOf(engine), QStringLiteral("Idle"));
        QCOMPARE(info.count(), 1);
        QCOMPARE(engine.position(), 0.0);
        QCOMPARE(engine.duration(), 0.0);
        QTest::qWait(200);
        QCOMPARE(engine.position(), 0.0);
        QCOMPARE(engine.duration(), 0.0);
        QCOMPARE(stateOf(engine), QStringLiteral("Idle"));
        QCOMPARE(ends.count(), 2);
    }

    void exactlyOneEndPerPlay_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("firstRunsToEnd");
        QTest::newRow("replay same file after its end") << tvxtest::fixtures::smallMp4() << true;
        QTest::newRow("another file after the end") << tvxtest::fixtures::mkvTwoAudio() << true;
        QTest::newRow("same file replaced mid-play") << tvxtest::fixtures::smallMp4() << false;
        QTest::newRow("another file replaced mid-play") << tvxtest::fixtures::mkvTwoAudio() << false;
    }

    void exactlyOneEndPerPlay()
    {
        QFETCH(QString, second);
        QFETCH(bool, firstRunsToEnd);
        MpvEngine engine;
        QSignalSpy ends(&engine, &MpvEngine::endOfFileReached);
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(waitLoaded(engine));
        if (firstRunsToEnd) {
            QVERIFY(engine.seekTo(engine.duration() - 0.3));
            QVERIFY(tvxtest::waitUntil([&] { return ends.count() == 1; }, 10000));
        } else {
            QVERIFY(engine.seekTo(engine.duration() - 0.2));
            QTest::qWait(50);
        }
        const int endsBefore = ends.count();

        QVERIFY(engine.playFile(QUrl::fromLocalFile(second)));
        // The new file plays from its start: no end of the old file is reported for it.
        QVERIFY(tvxtest::waitUntil([&] { return engine.position() > 0.3; }, 10000));
        QCOMPARE(stateOf(engine), QStringLiteral("Active"));
        QVERIFY(ends.count() <= 1);
        const int endsAfterStart = ends.count();
        QCOMPARE(endsAfterStart, endsBefore);

        QVERIFY(engine.seekTo(engine.duration() - 0.3));
        QVERIFY(tvxtest::waitUntil([&] { return ends.count() == endsAfterStart + 1; }, 10000));
        QTest::qWait(300);
        QCOMPARE(ends.count(), endsAfterStart + 1);
    }

    void failedLoadLeavesEngineIdle_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("random bytes") << tvxtest::fixtures::garbageMp4();
        QTest::newRow("zero bytes") << tvxtest::fixtures::zeroByteFile();
        QTest::newRow("missing file") << tvxtest::scratchPath(QStringLiteral("missing/none.mp4"));
    }

    void failedLoadLeavesEngineIdle()
    {
        QFETCH(QString, path);
        MpvEngine engine;
        QSignalSpy failed(&engine, &MpvEngine::playbackFailed);
        QSignalSpy ends(&engine, &MpvEngine::endOfFileReached);
        engine.playFile(QUrl::fromLocalFile(path));
        QVERIFY(tvxtest::waitUntil([&] { return failed.count() == 1; }, 10000));
        QCOMPARE(failed.at(0).at(0).toString(), path);
        QCOMPARE(stateOf(engine), QStringLiteral("Idle"));
        QVERIFY(!engine.paused());
        QCOMPARE(engine.position(), 0.0);
        QCOMPARE(ends.count(), 0);

        // The engine recovers with the next good file.
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(waitLoaded(engine));
    }

    void errorEndOfReplacedFileKeepsNewFilePlaying()
    {
        MpvEngine engine;
        QSignalSpy failed(&engine, &MpvEngine::playbackFailed);
        engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::garbageMp4()));
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(tvxtest::waitUntil([&] { return engine.position() > 0.3; }, 10000));
        QCOMPARE(stateOf(engine), QStringLiteral("Active"));
        QCOMPARE(failed.count(), 0);
    }

    void playFileArguments()
    {
        MpvEngine engine;
        QVERIFY(!engine.playFile(QUrl()));
        QVERIFY(engine.initialized()); // lazily initialised even though nothing was sent
        QCOMPARE(stateOf(engine), QStringLiteral("Idle"));
        // A path with blanks and Chinese characters plays.
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::unicodeNamedMp4())));
        QVERIFY(waitLoaded(engine));
    }

    void seekTargetText_data()
    {
        QTest::addColumn<bool>("absolute");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("logged");
        QTest::newRow("absolute negative") << true << -5.0 << "seconds: 0.000";
        QTest::newRow("absolute fraction") << true << 12.5 << "seconds: 12.500";
        QTest::newRow("relative negative") << false << -5.0 << "seconds: -5.000";
    }

    void seekTargetText()
    {
        QFETCH(bool, absolute);
        QFETCH(double, seconds);
        QFETCH(QString, logged);
        MpvEngine engine; // nothing loaded: mpv refuses, and the refusal names the target
        QVERIFY(!(absolute ? engine.seekTo(seconds) : engine.seekRelative(seconds)));
        const QString line = g_log.filter(QStringLiteral("seek")).join(QLatin1Char('\n'));
        QVERIFY2(line.contains(logged), qPrintable(line));
    }

    void togglePauseOnFreshEngineFails()
    {
        MpvEngine engine;
        QVERIFY(!engine.togglePause());
    }

    void startsAtOneUnlessPreferredSpeedApplies()
    {
        MpvEngine engine;
        QVERIFY(engine.setPreferredPlaybackSpeed(1.5));
        QVERIFY(engine.setPlaybackSpeed(2.0));
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QCOMPARE(engine.playbackSpeed(), 1.0);
        QVERIFY(engine.setAlwaysApplyPreferredPlaybackSpeed(true));
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QCOMPARE(engine.playbackSpeed(), 1.5);
        QCOMPARE(engine.doubleProperty("speed", 0), 1.5);
    }

    void twoAudioTracksListedWithLabels()
    {
        MpvEngine engine;
        QVERIFY(engine.availableAudioTracks().isEmpty());
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::mkvTwoAudio())));
        QVERIFY(waitLoaded(engine));
        const QVariantList tracks = engine.availableAudioTracks();
        QCOMPARE(tracks.size(), 2);
        const QString kind = i18n::t(QStringLiteral("player.track.audio"));
        QCOMPARE(tracks.at(0).toMap().value("id").toInt(), 1);
        QCOMPARE(tracks.at(0).toMap().value("title").toString(),
                 i18n::t(QStringLiteral("player.track.with_lang"), {{"type", kind}, {"lang", "eng"}}));
        QCOMPARE(tracks.at(1).toMap().value("id").toInt(), 2);
        QCOMPARE(tracks.at(1).toMap().value("title").toString(),
                 i18n::t(QStringLiteral("player.track.with_lang"), {{"type", kind}, {"lang", "chi"}}));
        QCOMPARE(tracks.at(0).toMap().value("selected").toBool(), true);
        QCOMPARE(tracks.at(0).toMap().keys().size(), 3);

        const QVariantMap info = engine.mediaInfo();
        QCOMPARE(info.value("width").toInt(), 320);
        QCOMPARE(info.value("resolution").toString(), QStringLiteral("320x240"));
        QCOMPARE(info.value("audioTracks").toList().size(), 2);
        QCOMPARE(info.value("hasAlbumArt").toBool(), false);
        QVERIFY(info.value("trackList").toList().size() >= 3);
        QCOMPARE(engine.currentMediaInfo().value("path").toString(), tvxtest::fixtures::mkvTwoAudio());
    }

    void rememberedTrackAppliesOnlyWhenPresent_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expectedAid");
        QTest::newRow("file with one audio track keeps sound") << tvxtest::fixtures::smallMp4() << "1";
        QTest::newRow("file with the track gets it") << tvxtest::fixtures::mkvTwoAudio() << "2";
    }

    void rememberedTrackAppliesOnlyWhenPresent()
    {
        QFETCH(QString, file);
        QFETCH(QString, expectedAid);
        {
            QSettings s(app::appDataFilePath(QStringLiteral("player.ini")), QSettings::IniFormat);
            s.setValue(QStringLiteral("audio/track_id"), 2);
        }
        MpvEngine engine;
        QCOMPARE(engine.audioTrackId(), 2);
        QVERIFY(engine.playFile(QUrl::fromLocalFile(file)));
        QVERIFY(waitLoaded(engine));
        QVERIFY(tvxtest::waitUntil([&] { return engine.stringProperty("aid") == expectedAid; }, 5000));
        QCOMPARE(engine.audioTrackId(), expectedAid.toInt());
    }

    void externalSubtitleWithChineseName()
    {
        const QString srt = tvxtest::scratchPath(QStringLiteral("字幕 文件/电影.chs.srt"));
        QFile::remove(srt);
        QVERIFY(QFile::copy(tvxtest::fixtures::srtFile(), srt));
        MpvEngine engine;
        QVERIFY(!engine.addSubtitleFile(QUrl()));
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(waitLoaded(engine));
        QVERIFY(engine.addSubtitleFile(QUrl::fromLocalFile(srt)));
        const QVariantList subs = engine.availableSubtitleTracks();
        QCOMPARE(subs.size(), 1);
        QCOMPARE(subs.at(0).toMap().value("title").toString(), QStringLiteral("电影.chs.srt"));
        QVERIFY(tvxtest::waitUntil(
            [&] { return engine.subtitleTrackId() == subs.at(0).toMap().value("id").toInt(); }));

        QVERIFY(
            !engine.addSubtitleFile(QUrl::fromLocalFile(tvxtest::scratchPath(QStringLiteral("none.srt")))));
    }

    // mpv selects a subtitle file added without a flag; a secondary one must leave the primary
    // as it is, also when it is added before the poll has published the primary.
    void secondarySubtitleKeepsPrimary()
    {
        const QString primary = tvxtest::scratchPath(QStringLiteral("subs/primary.srt"));
        const QString secondary = tvxtest::scratchPath(QStringLiteral("subs/secondary.srt"));
        for (const QString &copy : {primary, secondary}) {
            QFile::remove(copy);
            QDir().mkpath(QFileInfo(copy).absolutePath());
            QVERIFY(QFile::copy(tvxtest::fixtures::srtFile(), copy));
        }
        MpvEngine engine;
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(waitLoaded(engine));
        QVERIFY(engine.addSubtitleFile(QUrl::fromLocalFile(primary)));
        QVERIFY(engine.addSubtitleFile(QUrl::fromLocalFile(secondary), true));
        const QVariantList subs = engine.availableSubtitleTracks();
        QCOMPARE(subs.size(), 2);
        const int primaryId = subs.at(0).toMap().value("id").toInt();
        QCOMPARE(subs.at(0).toMap().value("title").toString(), QStringLiteral("primary.srt"));
        QCOMPARE(engine.stringProperty("sid"), QString::number(primaryId));
        QCOMPARE(engine.stringProperty("secondary-sid"), QStringLiteral("no"));
        QVERIFY(tvxtest::waitUntil([&] { return engine.subtitleTrackId() == primaryId; }, 5000));
        QTest::qWait(100); // a few polls later it still holds
        QCOMPARE(engine.subtitleTrackId(), primaryId);
        QCOMPARE(engine.secondarySubtitleTrackId(), -1);
    }

    // The page lists the tracks while a new file loads; those reads must never wait for mpv,
    // and the list follows the file once mpv announces it.
    void trackReadsDuringSwitchNeverWait()
    {
        MpvEngine engine;
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(waitLoaded(engine));
        QCOMPARE(engine.availableAudioTracks().size(), 1);
        QSignalSpy info(&engine, &MpvEngine::mediaInfoChanged);
        const quint64 readsBefore = engine.core()->blockingReadCount();
        QVERIFY(engine.playFile(QUrl::fromLocalFile(tvxtest::fixtures::mkvTwoAudio())));
        int audioTracks = 0;
        QVERIFY(tvxtest::waitUntil(
            [&] {
                audioTracks = engine.availableAudioTracks().size();
                engine.availableSubtitleTracks();
                return audioTracks == 2 && engine.position() > 0;
            },
            10000));
        QCOMPARE(engine.core()->blockingReadCount(), readsBefore);
        QVERIFY(info.count() > 0); // the page learns when to list again
    }

    void audioDevicesStartWithSystemDefault()
    {
        MpvEngine engine;
        QVERIFY(engine.availableAudioOutputDevices().isEmpty());
        QVERIFY(engine.initialize());
        const QVariantList devices = engine.availableAudioOutputDevices();
        QVERIFY(!devices.isEmpty());
        QCOMPARE(devices.at(0).toMap().value("id").toString(), QStringLiteral("auto"));
        QCOMPARE(devices.at(0).toMap().value("name").toString(),
                 i18n::t(QStringLiteral("player.audio_device.system_default")));
    }

    // The names a desktop resolves to the claimed audio types (audio/ogg for .oga and .opus,
    // audio/x-aiff) open and play as well as MP3 does.
    void audioOnlyMediaInfo_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("mp3") << tvxtest::fixtures::audioMp3();
        const struct
        {
            const char *name;
            const char *codec;
        } made[] = {{"tone.oga", "libvorbis"}, {"tone.opus", "libopus"}, {"tone.aiff", "pcm_s16be"}};
        for (const auto &file : made) {
            const QString path = tvxtest::scratchPath(QStringLiteral("audio/") + QLatin1String(file.name));
            QDir().mkpath(QFileInfo(path).absolutePath());
            const tvxtest::ProcessResult r = tvxtest::runProcess(
                QStringLiteral("ffmpeg"),
                {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                 "sine=frequency=660:sample_rate=48000:duration=3", "-c:a", QLatin1String(file.codec), path});
            QTest::newRow(file.name) << (r.exitCode == 0 ? path : QString());
        }
    }

    void audioOnlyMediaInfo()
    {
        QFETCH(QString, path);
        QVERIFY(!path.isEmpty());
        QVERIFY(media::isSupportedPlayablePath(path));
        MpvEngine engine;
        QVERIFY(engine.mediaInfo().isEmpty());
        QVERIFY(engine.playFile(QUrl::fromLocalFile(path)));
        QVERIFY(waitLoaded(engine));
        const QVariantMap info = engine.mediaInfo();
        QCOMPARE(info.value("width").toInt(), 0);
        QCOMPARE(info.value("resolution").toString(), QString());
        QCOMPARE(info.value("audioCodec").toString().isEmpty(), false);
    }

    void collectsPlayableFilesOfEveryLevel()
    {
        const QString root = tvxtest::scratchPath(QStringLiteral("collect"));
        QDir(root).removeRecursively();
        tvxtest::writeFile(root + "/a.mp4", "x");
        tvxtest::writeFile(root + "/notes.txt", "x");
        tvxtest::writeFile(root + "/sub/deeper/b.MKV", "x");
        tvxtest::writeFile(root + "/sub/c.mp3", "x");
        MpvEngine engine;
        QStringList found;
        for (const QVariant &v : engine.collectMediaFilesInFolder(QUrl::fromLocalFile(root)))
            found << v.toString();
        found.sort();
        QStringList expected{QUrl::fromLocalFile(root + "/a.mp4").toString(),
                             QUrl::fromLocalFile(root + "/sub/c.mp3").toString(),
                             QUrl::fromLocalFile(root + "/sub/deeper/b.MKV").toString()};
        expected.sort();
        QCOMPARE(found, expected);
        QVERIFY(engine.collectMediaFilesInFolder(QUrl::fromLocalFile(root + "/nothing")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEnginePlayback)
#include "tst_engineplayback.moc"
