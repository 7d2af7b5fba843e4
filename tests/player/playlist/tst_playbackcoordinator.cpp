// Playback coordinator: play and clear requests, the guard against stale ends of file and the
// end the player rests at.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QString mediaPath(const QString &name)
{
    return QFileInfo(tvxtest::scratchPath(QStringLiteral("media/") + name)).absoluteFilePath();
}

QUrl mediaUrl(const QString &name)
{
    return QUrl::fromLocalFile(mediaPath(name));
}

// The play list and the coordinator wired the way the player page wires them.
struct Road
{
    PlaylistModel playlist;
    PlaybackCoordinator coordinator;
    Road()
    {
        coordinator.setPlaylistModel(&playlist);
        QObject::connect(&playlist, &PlaylistModel::currentFileUrlChanged, &coordinator,
                         [this] { coordinator.onPlaylistCurrentFileChanged(playlist.currentFileUrl()); });
    }
};

// Plays the list's current file the way the page does and reports each failing file back,
// until no new file is requested; returns the names of the files played, in order.
QStringList playUntilRest(Road &road, const QStringList &failing)
{
    QStringList played;
    QList<QUrl> pending;
    QObject context;
    QObject::connect(&road.coordinator, &PlaybackCoordinator::playFileRequested, &context,
                     [&pending](const QUrl &url) { pending.append(url); });
    road.coordinator.onPlaylistCurrentFileChanged(road.playlist.currentFileUrl());
    while (!pending.isEmpty() && played.size() < 100) {
        const QUrl url = pending.takeFirst();
        played.append(QFileInfo(url.toLocalFile()).fileName());
        if (failing.contains(played.last()))
            road.coordinator.onPlaybackFailed(url);
    }
    return played;
}

} // namespace

class PlaybackCoordinatorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        for (const char *name : {"a.mp4", "b.mp4", "c.mp4"})
            tvxtest::writeFile(mediaPath(QLatin1String(name)), "x");
        QDir::setCurrent(QFileInfo(mediaPath(QStringLiteral("a.mp4"))).absolutePath());
    }

    void init() { QFile::remove(app::appDataFilePath(QStringLiteral("playlist.ini"))); }

    void playlistModelProperty()
    {
        PlaybackCoordinator coordinator;
        QSignalSpy changed(&coordinator, &PlaybackCoordinator::playlistModelChanged);
        coordinator.setPlaylistModel(nullptr);
        QCOMPARE(changed.count(), 0);
        auto playlist = std::make_unique<PlaylistModel>();
        coordinator.setPlaylistModel(playlist.get());
        coordinator.setPlaylistModel(playlist.get());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(coordinator.playlistModel(), playlist.get());

        playlist.reset();
        QCOMPARE(coordinator.playlistModel(), nullptr);
        coordinator.onPlaybackFinished(mediaUrl(QStringLiteral("a.mp4"))); // no play list: nothing
        PlaylistModel other;
        coordinator.setPlaylistModel(&other); // after its object died, any object is a change
        QCOMPARE(changed.count(), 2);
    }

    void requestsFollowTheCurrentFile()
    {
        PlaybackCoordinator coordinator;
        QSignalSpy play(&coordinator, &PlaybackCoordinator::playFileRequested);
        QSignalSpy clear(&coordinator, &PlaybackCoordinator::clearPlaybackRequested);
        coordinator.onPlaylistCurrentFileChanged(mediaUrl(QStringLiteral("a.mp4")));
        coordinator.onPlaylistCurrentFileChanged(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.count(), 2); // asked twice means play it again
        QCOMPARE(play.at(1).at(0).toUrl(), mediaUrl(QStringLiteral("a.mp4")));
        coordinator.onPlaylistCurrentFileChanged(QUrl());
        QCOMPARE(clear.count(), 1);
        QCOMPARE(play.count(), 2);
    }

    void endOfFile_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QUrl>("finished");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<int>("playRequests");
        const QUrl a = mediaUrl(QStringLiteral("a.mp4"));
        QTest::newRow("end of the requested file advances") << "playA" << a << "b.mp4" << 1;
        QTest::newRow("same file in another url form")
            << "playA" << QUrl(QStringLiteral("file://") + QDir::currentPath() + QStringLiteral("/./a.mp4"))
            << "b.mp4" << 1;
        QTest::newRow("same file as plain relative path")
            << "playA" << QUrl(QStringLiteral("a.mp4")) << "b.mp4" << 1;
        QTest::newRow("stale end of a replaced file") << "playAthenC" << a << "c.mp4" << 0;
        QTest::newRow("end without a file advances from current") << "playA" << QUrl() << "b.mp4" << 1;
        QTest::newRow("end after a clear advances from current")
            << "playAthenClear" << mediaUrl(QStringLiteral("c.mp4")) << "a.mp4" << 1;
    }
    void endOfFile()
    {
        QFETCH(QString, scenario);
        QFETCH(QUrl, finished);
        QFETCH(QString, expectedCurrent);
        QFETCH(int, playRequests);
        Road road;
        road.playlist.setPlaybackMode(PlaylistModel::ListLoopPlayback);
        road.playlist.addFiles({mediaUrl(QStringLiteral("a.mp4")), mediaUrl(QStringLiteral("b.mp4")),
                                mediaUrl(QStringLiteral("c.mp4"))},
                               false);
        QCOMPARE(road.playlist.currentIndex(), 0);
        if (scenario == QLatin1String("playAthenC")) {
            road.playlist.activateIndex(2);
        } else if (scenario == QLatin1String("playAthenClear")) {
            // The page clears the player while the list keeps its current item.
            road.coordinator.onPlaylistCurrentFileChanged(QUrl());
        }
        QSignalSpy play(&road.coordinator, &PlaybackCoordinator::playFileRequested);
        road.coordinator.onPlaybackFinished(finished);
        QCOMPARE(QFileInfo(road.playlist.currentSourcePath()).fileName(), expectedCurrent);
        QCOMPARE(play.count(), playRequests);
        if (playRequests > 0)
            QCOMPARE(play.last().at(0).toUrl(), road.playlist.currentFileUrl());
    }

    void endInSinglePlaybackRequestsNothing()
    {
        Road road;
        road.playlist.setPlaybackMode(PlaylistModel::SinglePlayback);
        road.playlist.addFiles({mediaUrl(QStringLiteral("a.mp4")), mediaUrl(QStringLiteral("b.mp4"))}, false);
        QSignalSpy play(&road.coordinator, &PlaybackCoordinator::playFileRequested);
        QSignalSpy clear(&road.coordinator, &PlaybackCoordinator::clearPlaybackRequested);
        road.coordinator.onPlaybackFinished(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.count(), 0);
        QCOMPARE(clear.count(), 0);
        QCOMPARE(road.playlist.currentIndex(), 0);
    }

    // Whether the player rests at the end of the requested file, which decides if opening that
    // file again has to restart it.
    void requestedFileEnded_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("finished");
        QTest::addColumn<bool>("ended");
        QTest::newRow("single rests at the end") << int(PlaylistModel::SinglePlayback) << "a.mp4" << true;
        QTest::newRow("sequence moves on") << int(PlaylistModel::SequentialPlayback) << "a.mp4" << false;
        QTest::newRow("single loop plays it again")
            << int(PlaylistModel::SingleLoopPlayback) << "a.mp4" << false;
        QTest::newRow("stale end of a replaced file")
            << int(PlaylistModel::SinglePlayback) << "b.mp4" << false;
    }
    void requestedFileEnded()
    {
        QFETCH(int, mode);
        QFETCH(QString, finished);
        QFETCH(bool, ended);
        Road road;
        road.playlist.setPlaybackMode(mode);
        road.playlist.addFiles({mediaUrl(QStringLiteral("a.mp4")), mediaUrl(QStringLiteral("b.mp4"))}, false);
        QVERIFY(!road.coordinator.requestedFileEnded());
        QSignalSpy changed(&road.coordinator, &PlaybackCoordinator::requestedFileEndedChanged);
        road.coordinator.onPlaybackFinished(mediaUrl(finished));
        QCOMPARE(road.coordinator.requestedFileEnded(), ended);
        QCOMPARE(changed.count() % 2, ended ? 1 : 0);
        road.coordinator.onPlaylistCurrentFileChanged(road.playlist.currentFileUrl());
        QVERIFY(!road.coordinator.requestedFileEnded());
    }

    // Files that fail to load move the list on as an end of file does, and a list of failing
    // files comes to rest instead of looping.
    void failedFiles_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<QStringList>("expectedPlays");
        const QStringList all{"a.mp4", "b.mp4", "c.mp4"};
        QTest::newRow("sequential skips a failing file")
            << int(PlaylistModel::SequentialPlayback) << QStringList{"a.mp4"}
            << QStringList{"a.mp4", "b.mp4"};
        QTest::newRow("sequential stops after the last")
            << int(PlaylistModel::SequentialPlayback) << all << all;
        QTest::newRow("list loop tries each file once") << int(PlaylistModel::ListLoopPlayback) << all << all;
        QTest::newRow("list loop reaches the good file")
            << int(PlaylistModel::ListLoopPlayback) << QStringList{"a.mp4", "b.mp4"} << all;
        QTest::newRow("single loop does not retry")
            << int(PlaylistModel::SingleLoopPlayback) << all << QStringList{"a.mp4"};
        QTest::newRow("single stays") << int(PlaylistModel::SinglePlayback) << all << QStringList{"a.mp4"};
    }

    void failedFiles()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, failing);
        QFETCH(QStringList, expectedPlays);
        Road road;
        road.playlist.setPlaybackMode(mode);
        road.playlist.addFiles({mediaUrl(QStringLiteral("a.mp4")), mediaUrl(QStringLiteral("b.mp4")),
                                mediaUrl(QStringLiteral("c.mp4"))},
                               false);
        QCOMPARE(playUntilRest(road, failing), expectedPlays);
    }

    void shuffleOverFailingFilesComesToRest()
    {
        Road road;
        road.playlist.setPlaybackMode(PlaylistModel::ShuffleLoopPlayback);
        road.playlist.addFiles({mediaUrl(QStringLiteral("a.mp4")), mediaUrl(QStringLiteral("b.mp4")),
                                mediaUrl(QStringLiteral("c.mp4"))},
                               false);
        const QStringList plays =
            playUntilRest(road, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4")});
        QVERIFY2(plays.size() < 100, qPrintable(plays.join(' ')));
        QCOMPARE(QSet<QString>(plays.cbegin(), plays.cend()).size(), 3);
    }

    void failuresAreForgottenOnceAFilePlaysToItsEnd()
    {
        Road road;
        road.playlist.setPlaybackMode(PlaylistModel::ListLoopPlayback);
        road.playlist.addFiles({mediaUrl(QStringLiteral("a.mp4")), mediaUrl(QStringLiteral("b.mp4"))}, false);
        QSignalSpy play(&road.coordinator, &PlaybackCoordinator::playFileRequested);
        road.coordinator.onPlaylistCurrentFileChanged(road.playlist.currentFileUrl());
        road.coordinator.onPlaybackFailed(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.last().at(0).toUrl(), mediaUrl(QStringLiteral("b.mp4")));
        road.coordinator.onPlaybackFinished(mediaUrl(QStringLiteral("b.mp4")));
        QCOMPARE(play.last().at(0).toUrl(), mediaUrl(QStringLiteral("a.mp4")));
        // b played since a last failed, so the list still moves on.
        road.coordinator.onPlaybackFailed(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.last().at(0).toUrl(), mediaUrl(QStringLiteral("b.mp4")));
        // A failure of a file that was replaced meanwhile changes nothing.
        const int plays = play.count();
        road.coordinator.onPlaybackFailed(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.count(), plays);
    }

    void foreignPlaylistObject()
    {
        PlaybackCoordinator coordinator;
        QObject notAPlaylist;
        coordinator.setPlaylistModel(&notAPlaylist);
        QCOMPARE(coordinator.playlistModel(), &notAPlaylist);
        QSignalSpy play(&coordinator, &PlaybackCoordinator::playFileRequested);
        coordinator.onPlaybackFinished(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.count(), 0);
        coordinator.onPlaylistCurrentFileChanged(mediaUrl(QStringLiteral("a.mp4")));
        QCOMPARE(play.count(), 1);
    }
};

QTEST_GUILESS_MAIN(PlaybackCoordinatorTest)
#include "tst_playbackcoordinator.moc"
