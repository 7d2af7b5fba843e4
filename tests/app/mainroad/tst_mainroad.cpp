// The main road under Xvfb: a play list reloaded from disk drives the real coordinator and the
// shared video component through three generated clips, advancing at each end of file.
#include "MainRoadScene.h"
#include "RealPlayerTypes.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "player/MpvEngine.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"
#include "player/mpv/MpvVideoItem.h"

#include <QColor>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QtQml>
#include <QtTest>

#include <memory>

namespace {

// Each clip is a moving test pattern between two bands: the top band names the clip, the
// bottom band (a different colour) shows the picture is not upside down.
struct Clip
{
    const char *name;
    QColor top;
    QColor bottom;
};
const Clip kClips[] = {
    {"road_a.mp4", QColor(255, 0, 0), QColor(0, 0, 255)},
    {"road_b.mp4", QColor(0, 255, 0), QColor(255, 0, 255)},
    {"road_c.mp4", QColor(255, 255, 0), QColor(0, 255, 255)},
};
constexpr int kClipCount = 3;

QString makeClip(const Clip &clip)
{
    const QString path = tvxtest::scratchPath(QStringLiteral("clips/") + QLatin1String(clip.name));
    const QString graph = QStringLiteral("testsrc2=s=320x240:r=25:d=2,"
                                         "drawbox=x=0:y=0:w=320:h=60:color=%1:t=fill,"
                                         "drawbox=x=0:y=180:w=320:h=60:color=%2:t=fill")
                              .arg(clip.top.name().replace('#', "0x"), clip.bottom.name().replace('#', "0x"));
    const auto r =
        tvxtest::runProcess(QStringLiteral("ffmpeg"),
                            {"-nostdin", "-hide_banner", "-v", "error", "-y", "-f", "lavfi", "-i", graph,
                             "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", path});
    return r.exitCode == 0 ? path : QString();
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 150;
}

// Average colour of a small square, so one odd pixel of the codec does not decide.
QColor sample(const QImage &image, int x, int y)
{
    int r = 0, g = 0, b = 0, n = 0;
    for (int dy = -6; dy <= 6; dy += 3) {
        for (int dx = -6; dx <= 6; dx += 3) {
            const QColor c = image.pixelColor(x + dx, y + dy);
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    }
    return QColor(r / n, g / n, b / n);
}

// Share of sampled pixels in the pattern between the bands that are clearly not black.
double litShare(const QImage &image)
{
    int lit = 0, total = 0;
    for (int y = 70; y < 170; y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            lit += (c.red() + c.green() + c.blue()) > 60 ? 1 : 0;
            ++total;
        }
    }
    return total > 0 ? double(lit) / total : 0.0;
}

QImage middleBand(const QImage &image)
{
    return image.copy(0, 70, image.width(), 100);
}

} // namespace

class MainRoadTest : public QObject
{
    Q_OBJECT

private:
    QStringList m_clips;
    std::unique_ptr<PlaylistModel> m_playlist;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    QObject *m_player = nullptr;

    QUrl clipUrl(int i) const { return QUrl::fromLocalFile(m_clips.at(i)); }

    // Waits until the window shows clip i, then checks the picture: bands in their places,
    // a lit pattern between them, and a pattern that moves.
    void verifyShowing(int i)
    {
        const Clip &clip = kClips[i];
        QImage frame;
        const bool shown = tvxtest::waitUntil(
            [&] {
                frame = m_window->grabWindow();
                return near(sample(frame, 160, 30), clip.top) && near(sample(frame, 160, 210), clip.bottom);
            },
            15000);
        QVERIFY2(shown, qPrintable(QStringLiteral("clip %1 never shown upright; top %2 bottom %3")
                                       .arg(i)
                                       .arg(sample(frame, 160, 30).name(), sample(frame, 160, 210).name())));
        QVERIFY2(litShare(frame) > 0.3, qPrintable(QString::number(litShare(frame))));
        const QImage first = middleBand(frame);
        QVERIFY2(tvxtest::waitUntil(
                     [&] {
                         const QImage later = m_window->grabWindow();
                         return near(sample(later, 160, 30), clip.top) && middleBand(later) != first;
                     },
                     5000),
                 "the picture does not move");
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        tvxtest::registerRealPlayerTypes();
        for (const Clip &clip : kClips) {
            m_clips << makeClip(clip);
            QVERIFY2(!m_clips.last().isEmpty(), clip.name);
        }
    }

    // The list the scene plays is the one a previous run saved: a second model reads what the
    // first wrote, entries, order and mode.
    void listSurvivesRestart()
    {
        {
            PlaylistModel first;
            QCOMPARE(first.count(), 0);
            first.addFiles({clipUrl(0), clipUrl(1), clipUrl(2)}, false);
            first.setPlaybackMode(PlaylistModel::SequentialPlayback);
        }
        m_playlist = std::make_unique<PlaylistModel>();
        QCOMPARE(m_playlist->sourcePaths(), QStringList({PlaylistModel::normalizedSourcePath(clipUrl(0)),
                                                         PlaylistModel::normalizedSourcePath(clipUrl(1)),
                                                         PlaylistModel::normalizedSourcePath(clipUrl(2))}));
        QCOMPARE(m_playlist->playbackMode(), int(PlaylistModel::SequentialPlayback));

        m_engine = std::make_unique<QQmlApplicationEngine>();
        app::QmlContextObjects published;
        published.playlistStore = m_playlist.get();
        app::publishToQml(m_engine->rootContext(), published);
        m_engine->loadData(tvxtest::mainRoadSceneQml("    width: 320; height: 240"),
                           QUrl(QStringLiteral("qrc:/mainroad/Scene.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_player = m_window->property("player").value<QObject *>();
        QVERIFY(m_player);
    }

    void sequentialPlaysEachClipAndStopsAtTheLast()
    {
        QVERIFY(m_player);
        QSignalSpy started(m_player, SIGNAL(playbackStarted(QString)));
        QSignalSpy ended(m_player, SIGNAL(endOfFileReached()));
        QVERIFY(m_playlist->activateIndex(0));
        for (int i = 0; i < kClipCount; ++i) {
            QVERIFY(tvxtest::waitUntil([&] { return started.count() > i; }, 10000));
            QCOMPARE(QUrl(started.at(i).at(0).toString()), clipUrl(i));
            QCOMPARE(m_playlist->currentIndex(), i);
            verifyShowing(i);
            QVERIFY2(tvxtest::waitUntil([&] { return ended.count() > i; }, 15000), "no end of file");
        }
        // The end of the last clip is handled in the same turn as it arrives: nothing more starts.
        QCOMPARE(started.count(), kClipCount);
        QCOMPARE(m_playlist->currentIndex(), kClipCount - 1);
        QVERIFY(m_player->property("hasMedia").toBool());
        // The last picture stays on screen.
        QVERIFY(near(sample(m_window->grabWindow(), 160, 30), kClips[kClipCount - 1].top));
    }

    void listLoopWrapsToTheFirst()
    {
        QVERIFY(m_player);
        m_playlist->setPlaybackMode(PlaylistModel::ListLoopPlayback);
        QSignalSpy started(m_player, SIGNAL(playbackStarted(QString)));
        QSignalSpy ended(m_player, SIGNAL(endOfFileReached()));
        QVERIFY(m_playlist->activateIndex(1));
        const int expected[] = {1, 2, 0};
        for (int step = 0; step < 3; ++step) {
            const int i = expected[step];
            QVERIFY(tvxtest::waitUntil([&] { return started.count() > step; }, 10000));
            QCOMPARE(QUrl(started.at(step).at(0).toString()), clipUrl(i));
            QCOMPARE(m_playlist->currentIndex(), i);
            verifyShowing(i);
            QVERIFY2(tvxtest::waitUntil([&] { return ended.count() > step; }, 15000), "no end of file");
        }
        // Past the wrap the loop goes on with the second entry.
        QVERIFY(tvxtest::waitUntil([&] { return started.count() > 3; }, 10000));
        QCOMPARE(QUrl(started.at(3).at(0).toString()), clipUrl(1));
        QVERIFY(QMetaObject::invokeMethod(m_player, "stop"));
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_playlist.reset();
    }
};

// Under the sanitizer build this test looks for memory errors across the engine, render and GUI
// threads; leak checking stays off, as what it reports at exit belongs to the OpenGL driver,
// D-Bus and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

QTEST_MAIN(MainRoadTest)
#include "tst_mainroad.moc"
