// Play list model: normalisation, editing, removal, playback-mode advances and playlist.ini.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "player/PlaylistModel.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString mediaDir()
{
    return QFileInfo(tvxtest::scratchPath(QStringLiteral("media/.keep"))).absolutePath();
}

QString mediaPath(const QString &name)
{
    return mediaDir() + QLatin1Char('/') + name;
}

QUrl mediaUrl(const QString &name)
{
    return QUrl::fromLocalFile(mediaPath(name));
}

QString iniPath()
{
    return app::appDataFilePath(QStringLiteral("playlist.ini"));
}

QByteArray iniBytes()
{
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The model under test with a model tester watching every change it makes.
std::unique_ptr<PlaylistModel> makeModel()
{
    auto model = std::make_unique<PlaylistModel>();
    new QAbstractItemModelTester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 model.get());
    return model;
}

void fill(PlaylistModel &model, const QStringList &names, int current)
{
    for (const QString &name : names)
        QVERIFY(model.addFile(mediaUrl(name), QString(), false) >= 0);
    model.setCurrentIndex(current);
}

QStringList listedNames(const PlaylistModel &model)
{
    QStringList names;
    for (const QString &path : model.sourcePaths())
        names << QFileInfo(path).fileName();
    return names;
}

QString currentName(const PlaylistModel &model)
{
    return model.currentSourcePath().isEmpty() ? QString() : QFileInfo(model.currentSourcePath()).fileName();
}

const QStringList kMediaNames{QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4"),
                              QStringLiteral("d.mp3"), QStringLiteral("e.mkv"), QStringLiteral("a b.mp4")};

} // namespace

class PlaylistModelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void init()
    {
        QFile::remove(iniPath());
        QDir(iniPath()).removeRecursively();
        QDir(mediaDir()).removeRecursively();
        for (const QString &name : kMediaNames)
            tvxtest::writeFile(mediaPath(name), "x");
        QDir::setCurrent(mediaDir());
    }

    void rolesAndData()
    {
        auto model = makeModel();
        fill(*model, {QStringLiteral("clip.one.mp4")}, -1);
        QCOMPARE(model->addFile(mediaUrl(QStringLiteral("d.mp3")), QStringLiteral("  My Song  "), false), 1);

        const QHash<int, QByteArray> roles = model->roleNames();
        QCOMPARE(roles.size(), 4);
        QCOMPARE(roles.value(257), QByteArray("title"));
        QCOMPARE(roles.value(258), QByteArray("meta"));
        QCOMPARE(roles.value(259), QByteArray("tag"));
        QCOMPARE(roles.value(260), QByteArray("sourcePath"));

        const QModelIndex video = model->index(0);
        QCOMPARE(video.data(PlaylistModel::TitleRole).toString(), QStringLiteral("clip.one"));
        QCOMPARE(video.data(PlaylistModel::MetaRole).toString(), QStringLiteral("clip.one.mp4"));
        QCOMPARE(video.data(PlaylistModel::TagRole).toString(), QStringLiteral("VIDEO"));
        QCOMPARE(video.data(PlaylistModel::SourcePathRole).toString(),
                 mediaPath(QStringLiteral("clip.one.mp4")));
        const QModelIndex audio = model->index(1);
        QCOMPARE(audio.data(PlaylistModel::TitleRole).toString(), QStringLiteral("My Song"));
        QCOMPARE(audio.data(PlaylistModel::TagRole).toString(), QStringLiteral("AUDIO"));
        QVERIFY(!video.data(Qt::DisplayRole).isValid());
        QVERIFY(!model->index(2).data(PlaylistModel::TitleRole).isValid());
        QCOMPARE(model->rowCount(video), 0);
    }

    void refusedUrlsChangeNothing_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("empty url") << QUrl();
        QTest::newRow("blank text") << QUrl(QStringLiteral("   "));
        QTest::newRow("not playable") << mediaUrl(QStringLiteral("notes.txt"));
        QTest::newRow("no extension") << mediaUrl(QStringLiteral("clip"));
        QTest::newRow("folder-like") << QUrl::fromLocalFile(mediaDir() + QLatin1Char('/'));
    }
    void refusedUrlsChangeNothing()
    {
        QFETCH(QUrl, url);
        auto model = makeModel();
        QSignalSpy countSpy(model.get(), &PlaylistModel::countChanged);
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        QCOMPARE(model->addFile(url), -1);
        QVERIFY(!model->isSupportedFileUrl(url));
        QVERIFY(!model->containsFile(url));
        QVERIFY(!model->alignCurrentIndexToFile(url));
        QCOMPARE(model->count(), 0);
        QCOMPARE(countSpy.count(), 0);
        QCOMPARE(fileSpy.count(), 0);
        QVERIFY(!QFileInfo::exists(iniPath()));
    }

    // Every form of the same file collapses to one entry with one identity.
    void urlFormsCollapseToOneEntry_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("expected");
        const QString a = mediaPath(QStringLiteral("a.mp4"));
        const QString blank = mediaPath(QStringLiteral("a b.mp4"));
        QTest::newRow("local file url") << QUrl::fromLocalFile(a) << a;
        QTest::newRow("file:/// text") << QUrl(QStringLiteral("file://") + a) << a;
        QTest::newRow("file:/ text") << QUrl(QStringLiteral("file:") + a) << a;
        QTest::newRow("plain absolute path") << QUrl(a) << a;
        QTest::newRow("padded plain path") << QUrl(QStringLiteral("  ") + a + QStringLiteral("  ")) << a;
        QTest::newRow("relative plain path") << QUrl(QStringLiteral("a.mp4")) << a;
        QTest::newRow("relative local file") << QUrl::fromLocalFile(QStringLiteral("./a.mp4")) << a;
        QTest::newRow("dot-dot segment")
            << QUrl::fromLocalFile(mediaDir() + QStringLiteral("/sub/../a.mp4")) << a;
        QTest::newRow("doubled slash") << QUrl::fromLocalFile(mediaDir() + QStringLiteral("//a.mp4")) << a;
        QTest::newRow("percent-encoded blank")
            << QUrl(QStringLiteral("file://") + mediaDir() + QStringLiteral("/a%20b.mp4")) << blank;
        QTest::newRow("plain path with blank") << QUrl(blank) << blank;
    }
    void urlFormsCollapseToOneEntry()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, expected);
        QCOMPARE(PlaylistModel::normalizedSourcePath(url), expected);

        auto model = makeModel();
        QCOMPARE(model->addFile(QUrl::fromLocalFile(expected)), 0);
        QVERIFY(model->containsFile(url));
        QCOMPARE(model->addFile(url, QStringLiteral("ignored title")), 0);
        QCOMPARE(model->count(), 1);
        QCOMPARE(model->index(0).data(PlaylistModel::TitleRole).toString(),
                 QFileInfo(expected).completeBaseName());
        QCOMPARE(model->currentFileUrl(), QUrl::fromLocalFile(expected));
    }

    void addingListedFile()
    {
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}, 0);
        QSignalSpy rowsSpy(model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);

        QFile::remove(iniPath());
        QCOMPARE(model->addFile(mediaUrl(QStringLiteral("b.mp4")), QString(), false), 1);
        QVERIFY2(!QFileInfo::exists(iniPath()), "no change, so no save");
        QCOMPARE(model->currentIndex(), 0);

        QCOMPARE(model->addFile(mediaUrl(QStringLiteral("b.mp4")), QString(), true), 1);
        QCOMPARE(model->currentIndex(), 1);
        QCOMPARE(fileSpy.count(), 1);
        QVERIFY(QFileInfo::exists(iniPath()));

        QCOMPARE(model->addFile(mediaUrl(QStringLiteral("b.mp4")), QString(), true), 1);
        QCOMPARE(fileSpy.count(), 1); // already current: not announced again
        QCOMPARE(rowsSpy.count(), 0);
    }

    void addFilesCurrentHandling_data()
    {
        QTest::addColumn<bool>("preserve");
        QTest::addColumn<int>("initialCurrent");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<int>("announcements");
        QTest::addColumn<int>("expectedCount");
        QTest::newRow("preserve keeps current")
            << true << 0 << QStringList{"c.mp4", "d.mp3"} << "a.mp4" << 0 << 4;
        QTest::newRow("preserve without current plays first")
            << true << -1 << QStringList{"c.mp4", "d.mp3"} << "c.mp4" << 1 << 4;
        QTest::newRow("replace plays first new")
            << false << 0 << QStringList{"c.mp4", "d.mp3"} << "c.mp4" << 1 << 4;
        QTest::newRow("first playable is listed")
            << false << 1 << QStringList{"notes.txt", "a.mp4", "c.mp4"} << "a.mp4" << 1 << 3;
        QTest::newRow("first playable already current")
            << false << 0 << QStringList{"notes.txt", "a.mp4", "c.mp4"} << "a.mp4" << 0 << 3;
        QTest::newRow("nothing playable") << false << 0 << QStringList{"notes.txt"} << "a.mp4" << 0 << 2;
        QTest::newRow("duplicates inside the batch")
            << false << -1 << QStringList{"c.mp4", "./c.mp4", "c.mp4"} << "c.mp4" << 1 << 3;
    }
    void addFilesCurrentHandling()
    {
        QFETCH(bool, preserve);
        QFETCH(int, initialCurrent);
        QFETCH(QStringList, entries);
        QFETCH(QString, expectedCurrent);
        QFETCH(int, announcements);
        QFETCH(int, expectedCount);
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}, initialCurrent);
        QVariantList urls;
        for (const QString &name : entries)
            urls << QVariant(QUrl::fromLocalFile(name)); // relative: resolved against the media folder
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        model->addFiles(urls, preserve);
        QCOMPARE(currentName(*model), expectedCurrent);
        QCOMPARE(fileSpy.count(), announcements);
        QCOMPARE(model->count(), expectedCount);
    }

    void addFilesAcceptsTextEntries()
    {
        auto model = makeModel();
        model->addFiles(
            {mediaUrl(QStringLiteral("a.mp4")).toString(), mediaPath(QStringLiteral("b.mp4")), 42}, false);
        QCOMPARE(listedNames(*model), (QStringList{"a.mp4", "b.mp4"}));
        QCOMPARE(model->currentIndex(), 0);
    }

    // A batch writes the file once at its end, with what the one-by-one road would have written.
    void addFilesWritesOnceWithFinalContent()
    {
        const QStringList names{"a.mp4", "b.mp4", "c.mp4", "d.mp3", "e.mkv"};
        QByteArray oneByOne;
        {
            auto model = makeModel();
            for (const QString &name : names)
                model->addFile(mediaUrl(name), QString(), false);
            model->setCurrentIndex(0);
            oneByOne = iniBytes();
        }
        QFile::remove(iniPath());

        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4")}, -1);
        const QByteArray before = iniBytes();
        QVERIFY(!before.isEmpty());
        QList<QByteArray> seenDuringBatch;
        connect(model.get(), &QAbstractItemModel::rowsInserted, this, [&] { seenDuringBatch << iniBytes(); });
        QVariantList urls;
        for (const QString &name : names)
            urls << mediaUrl(name);
        model->addFiles(urls, false);

        QCOMPARE(seenDuringBatch.size(), 4);
        for (const QByteArray &seen : qAsConst(seenDuringBatch))
            QCOMPARE(seen, before);
        QCOMPARE(iniBytes(), oneByOne);
    }

    void removal_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<int>("expectedIndex");
        QTest::addColumn<int>("announcements");
        const int single = PlaylistModel::SinglePlayback;
        const int sequential = PlaylistModel::SequentialPlayback;
        const int listLoop = PlaylistModel::ListLoopPlayback;
        const int singleLoop = PlaylistModel::SingleLoopPlayback;
        const int shuffle = PlaylistModel::ShuffleLoopPlayback;
        for (int mode : {single, sequential, listLoop, singleLoop, shuffle}) {
            const QByteArray m = QByteArray::number(mode);
            const bool stops = mode == single;
            QTest::newRow(m + ": current middle")
                << mode << 1 << 1 << (stops ? "" : "c.mp4") << (stops ? -1 : 1) << 1;
            QTest::newRow(m + ": current last")
                << mode << 2 << 2 << (stops ? "" : "b.mp4") << (stops ? -1 : 1) << 1;
            QTest::newRow(m + ": current first")
                << mode << 0 << 0 << (stops ? "" : "b.mp4") << (stops ? -1 : 0) << 1;
            QTest::newRow(m + ": earlier row") << mode << 2 << 0 << "c.mp4" << 1 << 0;
            QTest::newRow(m + ": later row") << mode << 0 << 2 << "a.mp4" << 0 << 0;
            QTest::newRow(m + ": no current") << mode << -1 << 1 << "" << -1 << 0;
        }
    }
    void removal()
    {
        QFETCH(int, mode);
        QFETCH(int, current);
        QFETCH(int, row);
        QFETCH(QString, expectedCurrent);
        QFETCH(int, expectedIndex);
        QFETCH(int, announcements);
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4")}, current);
        model->setPlaybackMode(mode);
        const QString removedName = listedNames(*model).at(row);
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        // Listeners must see an index that names the right row whenever they run.
        QStringList currentSeenBySignals;
        auto record = [&] { currentSeenBySignals << currentName(*model); };
        connect(model.get(), &PlaylistModel::countChanged, this, record);
        connect(model.get(), &PlaylistModel::currentIndexChanged, this, record);

        QVERIFY(model->removeAt(row));
        QCOMPARE(model->currentIndex(), expectedIndex);
        QCOMPARE(currentName(*model), expectedCurrent);
        QCOMPARE(fileSpy.count(), announcements);
        for (const QString &seen : qAsConst(currentSeenBySignals))
            QCOMPARE(seen, expectedCurrent);
        QVERIFY(!listedNames(*model).contains(removedName));

        auto reloaded = makeModel();
        QCOMPARE(listedNames(*reloaded), listedNames(*model));
    }

    void removalEdges()
    {
        auto model = makeModel();
        QVERIFY(!model->removeAt(0));
        fill(*model, {QStringLiteral("a.mp4")}, 0);
        QVERIFY(!model->removeAt(1));
        QVERIFY(!model->removeAt(-1));
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        QVERIFY(model->removeAt(0));
        QCOMPARE(model->currentIndex(), -1);
        QVERIFY(model->currentFileUrl().isEmpty());
        QCOMPARE(fileSpy.count(), 1); // the stop
    }

    void navigation_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("vanished");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<int>("announcements");
        QTest::addColumn<QStringList>("remaining");
        const int single = PlaylistModel::SinglePlayback;
        const int sequential = PlaylistModel::SequentialPlayback;
        const int listLoop = PlaylistModel::ListLoopPlayback;
        const int singleLoop = PlaylistModel::SingleLoopPlayback;
        const int shuffle = PlaylistModel::ShuffleLoopPlayback;
        const QStringList all{"a.mp4", "b.mp4", "c.mp4"};
        const QStringList none;

        QTest::newRow("end single stays") << single << 0 << "end" << none << false << "a.mp4" << 0 << all;
        QTest::newRow("end sequential next")
            << sequential << 0 << "end" << none << true << "b.mp4" << 1 << all;
        QTest::newRow("end sequential at last")
            << sequential << 2 << "end" << none << false << "c.mp4" << 0 << all;
        QTest::newRow("end sequential skips vanished")
            << sequential << 0 << "end" << QStringList{"b.mp4"} << true << "c.mp4" << 1
            << QStringList{"a.mp4", "c.mp4"};
        QTest::newRow("end sequential all following vanished")
            << sequential << 0 << "end" << QStringList{"b.mp4", "c.mp4"} << false << "a.mp4" << 0
            << QStringList{"a.mp4"};
        QTest::newRow("end list loop wraps") << listLoop << 2 << "end" << none << true << "a.mp4" << 1 << all;
        QTest::newRow("end list loop wraps over vanished")
            << listLoop << 1 << "end" << QStringList{"c.mp4", "a.mp4"} << true << "b.mp4" << 1
            << QStringList{"b.mp4"};
        QTest::newRow("end list loop only file left replays")
            << listLoop << 2 << "end" << QStringList{"a.mp4", "b.mp4"} << true << "c.mp4" << 1
            << QStringList{"c.mp4"};
        QTest::newRow("end single loop replays")
            << singleLoop << 1 << "end" << none << true << "b.mp4" << 1 << all;
        QTest::newRow("end shuffle one file left replays")
            << shuffle << 0 << "end" << QStringList{"b.mp4", "c.mp4"} << true << "a.mp4" << 1
            << QStringList{"a.mp4"};
        QTest::newRow("end shuffle everything vanished")
            << shuffle << 0 << "end" << all << false << "" << 1 << none;
        QTest::newRow("end without current") << listLoop << -1 << "end" << none << false << "" << 0 << all;
        QTest::newRow("next") << single << 0 << "next" << none << true << "b.mp4" << 1 << all;
        QTest::newRow("next wraps") << sequential << 2 << "next" << none << true << "a.mp4" << 1 << all;
        QTest::newRow("next without current")
            << sequential << -1 << "next" << none << true << "a.mp4" << 1 << all;
        QTest::newRow("next skips vanished") << sequential << 0 << "next" << QStringList{"b.mp4"} << true
                                             << "c.mp4" << 1 << QStringList{"a.mp4", "c.mp4"};
        QTest::newRow("next only file left") << sequential << 0 << "next" << QStringList{"b.mp4", "c.mp4"}
                                             << true << "a.mp4" << 0 << QStringList{"a.mp4"};
        QTest::newRow("previous") << sequential << 2 << "previous" << none << true << "b.mp4" << 1 << all;
        QTest::newRow("previous wraps")
            << sequential << 0 << "previous" << none << true << "c.mp4" << 1 << all;
        QTest::newRow("previous without current")
            << sequential << -1 << "previous" << none << true << "c.mp4" << 1 << all;
        QTest::newRow("previous ignores the disk")
            << sequential << 1 << "previous" << QStringList{"a.mp4"} << true << "a.mp4" << 1 << all;
    }
    void navigation()
    {
        QFETCH(int, mode);
        QFETCH(int, current);
        QFETCH(QString, action);
        QFETCH(QStringList, vanished);
        QFETCH(bool, result);
        QFETCH(QString, expectedCurrent);
        QFETCH(int, announcements);
        QFETCH(QStringList, remaining);
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4")}, current);
        model->setPlaybackMode(mode);
        for (const QString &name : vanished)
            QVERIFY(QFile::remove(mediaPath(name)));
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);

        bool got = false;
        if (action == QLatin1String("end"))
            got = model->advanceForPlaybackCompletion();
        else if (action == QLatin1String("next"))
            got = model->activateNext();
        else
            got = model->activatePrevious();
        QCOMPARE(got, result);
        QCOMPARE(currentName(*model), expectedCurrent);
        QCOMPARE(fileSpy.count(), announcements);
        QCOMPARE(listedNames(*model), remaining);
        QCOMPARE(listedNames(*makeModel()), remaining);
    }

    void navigationOnEmptyList()
    {
        auto model = makeModel();
        QVERIFY(!model->activateNext());
        QVERIFY(!model->activatePrevious());
        QVERIFY(!model->advanceForPlaybackCompletion());
        QVERIFY(!model->activateIndex(0));
    }

    void shuffleNeverRepeatsCurrent()
    {
        auto model = makeModel();
        fill(*model,
             {QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4"),
              QStringLiteral("d.mp3"), QStringLiteral("e.mkv")},
             2);
        model->setPlaybackMode(PlaylistModel::ShuffleLoopPlayback);
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        QSet<int> visited;
        for (int turn = 0; turn < 300; ++turn) {
            const int before = model->currentIndex();
            QVERIFY(model->advanceForPlaybackCompletion());
            QVERIFY(model->currentIndex() != before);
            QCOMPARE(fileSpy.count(), turn + 1);
            visited.insert(model->currentIndex());
        }
        QCOMPARE(visited.size(), 5);
    }

    // The advance starts from the file that finished, even when the current item was moved
    // meanwhile without being played.
    void advanceFromFinishedFile()
    {
        auto model = makeModel();
        fill(*model,
             {QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4"),
              QStringLiteral("d.mp3")},
             3);
        QSignalSpy indexSpy(model.get(), &PlaylistModel::currentIndexChanged);
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        QVERIFY(model->advanceForPlaybackCompletionFromFile(
            QUrl(QStringLiteral("file://") + mediaDir() + QStringLiteral("/./b.mp4"))));
        QCOMPARE(currentName(*model), QStringLiteral("c.mp4"));
        QCOMPARE(indexSpy.count(), 2);
        QCOMPARE(fileSpy.count(), 1);

        // An unknown file advances from the current item.
        QVERIFY(model->advanceForPlaybackCompletionFromFile(mediaUrl(QStringLiteral("zzz.mp4"))));
        QCOMPARE(currentName(*model), QStringLiteral("d.mp3"));
    }

    void currentIndexWrites()
    {
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}, 1);
        QSignalSpy indexSpy(model.get(), &PlaylistModel::currentIndexChanged);
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        model->setCurrentIndex(1);
        QCOMPARE(indexSpy.count(), 0);
        QCOMPARE(fileSpy.count(), 0);
        model->setCurrentIndex(7);
        QCOMPARE(model->currentIndex(), -1);
        QCOMPARE(fileSpy.count(), 1);

        fileSpy.clear();
        QVERIFY(model->activateIndex(0));
        QVERIFY(model->activateIndex(0)); // the current row again: play it again
        QCOMPARE(fileSpy.count(), 2);
        QVERIFY(!model->activateIndex(2));

        QVERIFY(model->alignCurrentIndexToFile(QUrl(mediaPath(QStringLiteral("b.mp4")))));
        QCOMPARE(model->currentIndex(), 1);
        QVERIFY(!model->alignCurrentIndexToFile(mediaUrl(QStringLiteral("c.mp4"))));
        QCOMPARE(model->currentTitle(), QStringLiteral("b"));
    }

    void playbackMode_data()
    {
        QTest::addColumn<QList<int>>("writes");
        QTest::addColumn<int>("expectedMode");
        QTest::addColumn<int>("changes");
        QTest::newRow("first write of the default still counts") << QList<int>{1} << 1 << 1;
        QTest::newRow("same mode again does nothing") << QList<int>{2, 2} << 2 << 1;
        QTest::newRow("out of range becomes single") << QList<int>{7} << 0 << 1;
        QTest::newRow("negative becomes single") << QList<int>{-1} << 0 << 1;
        QTest::newRow("each change") << QList<int>{4, 3, 0} << 0 << 3;
    }
    void playbackMode()
    {
        QFETCH(QList<int>, writes);
        QFETCH(int, expectedMode);
        QFETCH(int, changes);
        auto model = makeModel();
        QCOMPARE(model->playbackMode(), 1);
        QSignalSpy modeSpy(model.get(), &PlaylistModel::playbackModeChanged);
        for (int mode : writes)
            model->setPlaybackMode(mode);
        QCOMPARE(model->playbackMode(), expectedMode);
        QCOMPARE(modeSpy.count(), changes);
        QCOMPARE(makeModel()->playbackMode(), expectedMode);
    }

    void pruneMissingFiles_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<int>("announcements");
        QTest::newRow("sequential moves on") << int(PlaylistModel::SequentialPlayback) << "d.mp3" << 1;
        QTest::newRow("single stops") << int(PlaylistModel::SinglePlayback) << "" << 1;
    }
    void pruneMissingFiles()
    {
        QFETCH(int, mode);
        QFETCH(QString, expectedCurrent);
        QFETCH(int, announcements);
        auto model = makeModel();
        fill(*model,
             {QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4"),
              QStringLiteral("d.mp3")},
             2);
        model->setPlaybackMode(mode);
        QFile::remove(mediaPath(QStringLiteral("b.mp4")));
        QFile::remove(mediaPath(QStringLiteral("c.mp4")));
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        QCOMPARE(model->pruneMissingFiles(), 2);
        QCOMPARE(listedNames(*model), (QStringList{"a.mp4", "d.mp3"}));
        QCOMPARE(currentName(*model), expectedCurrent);
        QCOMPARE(fileSpy.count(), announcements);
        QCOMPARE(listedNames(*makeModel()), (QStringList{"a.mp4", "d.mp3"}));
        QCOMPARE(model->pruneMissingFiles(), 0);
    }

    void clearEmitsInOrderAndSaves()
    {
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}, 1);
        model->setPlaybackMode(PlaylistModel::ListLoopPlayback);
        QStringList order;
        connect(model.get(), &PlaylistModel::countChanged, this, [&] { order << "count"; });
        connect(model.get(), &PlaylistModel::currentIndexChanged, this, [&] { order << "index"; });
        connect(model.get(), &PlaylistModel::currentFileUrlChanged, this, [&] { order << "file"; });
        model->clear();
        QCOMPARE(order, (QStringList{"count", "index", "file"}));
        QCOMPARE(model->count(), 0);
        QCOMPARE(model->currentIndex(), -1);
        auto reloaded = makeModel();
        QCOMPARE(reloaded->count(), 0);
        QCOMPARE(reloaded->playbackMode(), int(PlaylistModel::ListLoopPlayback));

        order.clear();
        model->clear();
        QVERIFY(order.isEmpty());
    }

    void persistenceRoundTrip()
    {
        {
            auto model = makeModel();
            fill(*model, {QStringLiteral("a.mp4"), QStringLiteral("d.mp3")}, 1);
            model->addFile(mediaUrl(QStringLiteral("a b.mp4")), QStringLiteral("Holiday"), false);
            model->setPlaybackMode(PlaylistModel::ShuffleLoopPlayback);
        }
        QSettings raw(iniPath(), QSettings::IniFormat);
        QCOMPARE(raw.value("playlist/items/size").toInt(), 3);
        QCOMPARE(raw.value("playlist/items/3/title").toString(), QStringLiteral("Holiday"));
        QCOMPARE(raw.value("playlist/items/3/meta").toString(), QStringLiteral("a b.mp4"));
        QCOMPARE(raw.value("playlist/items/2/tag").toString(), QStringLiteral("AUDIO"));
        QCOMPARE(raw.value("playlist/items/1/source_path").toString(), mediaPath(QStringLiteral("a.mp4")));
        QCOMPARE(raw.value("playlist/playback_mode").toInt(), 4);
        QCOMPARE(raw.value("playlist/playback_mode_explicit").toBool(), true);

        auto model = makeModel();
        QSignalSpy fileSpy(model.get(), &PlaylistModel::currentFileUrlChanged);
        QCOMPARE(listedNames(*model), (QStringList{"a.mp4", "d.mp3", "a b.mp4"}));
        QCOMPARE(model->index(2).data(PlaylistModel::TitleRole).toString(), QStringLiteral("Holiday"));
        QCOMPARE(model->playbackMode(), 4);
        QCOMPARE(model->currentIndex(), -1);
        QVERIFY(model->currentFileUrl().isEmpty());
        QCOMPARE(fileSpy.count(), 0);
    }

    void saveKeepsOtherGroupsAndLeavesNoTemporaries()
    {
        tvxtest::writeFile(iniPath(), "[other]\nkey=kept\n");
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4")}, 0);
        QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value("other/key").toString(),
                 QStringLiteral("kept"));
        const QStringList leftovers =
            QDir(QFileInfo(iniPath()).absolutePath()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(leftovers, QStringList{"playlist.ini"});
    }

    void loadOddSettings_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("expectedNames");
        QTest::addColumn<int>("expectedMode");
        const QString a = mediaPath(QStringLiteral("a.mp4"));
        const QString b = mediaPath(QStringLiteral("b.mp4"));
        const QString entries =
            QStringLiteral("items\\1\\source_path=%1\nitems\\2\\source_path=%2\nitems\\size=2\n").arg(a, b);
        QTest::newRow("mode out of range") << "[playlist]\n" + entries + "playback_mode=7\n"
                                           << QStringList{"a.mp4", "b.mp4"} << 1;
        QTest::newRow("negative mode") << "[playlist]\n" + entries + "playback_mode=-2\n"
                                       << QStringList{"a.mp4", "b.mp4"} << 1;
        QTest::newRow("mode not a number")
            << "[playlist]\n" + entries + "playback_mode=loop\nplayback_mode_explicit=true\n"
            << QStringList{"a.mp4", "b.mp4"} << 1;
        QTest::newRow("single without explicit flag") << "[playlist]\n" + entries + "playback_mode=0\n"
                                                      << QStringList{"a.mp4", "b.mp4"} << 1;
        QTest::newRow("single with explicit flag")
            << "[playlist]\n" + entries + "playback_mode=0\nplayback_mode_explicit=true\n"
            << QStringList{"a.mp4", "b.mp4"} << 0;
        QTest::newRow("no mode") << "[playlist]\n" + entries << QStringList{"a.mp4", "b.mp4"} << 1;
        QTest::newRow("duplicates dropped")
            << QStringLiteral("[playlist]\nitems\\1\\source_path=%1\nitems\\2\\source_path=%"
                              "2\nitems\\3\\source_path= %1 \nitems\\size=3\nplayback_mode=2\n")
                   .arg(a, b)
            << QStringList{"a.mp4", "b.mp4"} << 2;
        QTest::newRow("empty and unplayable skipped")
            << QStringLiteral("[playlist]\nitems\\1\\source_path=\nitems\\2\\source_path=/x/"
                              "notes.txt\nitems\\3\\title=orphan\nitems\\4\\source_path=%1\nitems\\size=4\n")
                   .arg(b)
            << QStringList{"b.mp4"} << 1;
        QTest::newRow("huge size") << "[playlist]\n" + QString(entries).replace("size=2", "size=2000000000")
                                   << QStringList{"a.mp4", "b.mp4"} << 1;
        QTest::newRow("negative size still reads every entry")
            << "[playlist]\n" + QString(entries).replace("size=2", "size=-5") << QStringList{"a.mp4", "b.mp4"}
            << 1;
        QTest::newRow("entries past size still read")
            << "[playlist]\n" + QString(entries).replace("size=2", "size=1") << QStringList{"a.mp4", "b.mp4"}
            << 1;
        QTest::newRow("garbage bytes")
            << QString::fromLatin1("\x01\x02[[[==\n\xff\xfe") << QStringList{} << 1;
        QTest::newRow("empty file") << QString() << QStringList{} << 1;
    }
    void loadOddSettings()
    {
        QFETCH(QString, ini);
        QFETCH(QStringList, expectedNames);
        QFETCH(int, expectedMode);
        tvxtest::writeFile(iniPath(), ini.toUtf8());
        auto model = makeModel();
        QCOMPARE(listedNames(*model), expectedNames);
        QCOMPARE(model->playbackMode(), expectedMode);
        QCOMPARE(model->currentIndex(), -1);
    }

    void loadFillsMissingTexts()
    {
        tvxtest::writeFile(
            iniPath(), QStringLiteral("[playlist]\nitems\\1\\source_path=  %1  \nitems\\1\\meta=  "
                                      "\nitems\\2\\source_path=%2\nitems\\2\\meta=Song.Final."
                                      "mp3\nitems\\2\\tag= Custom \nitems\\size=2\n")
                           .arg(mediaPath(QStringLiteral("clip.v2.mkv")), mediaPath(QStringLiteral("d.mp3")))
                           .toUtf8());
        auto model = makeModel();
        QCOMPARE(model->count(), 2);
        QCOMPARE(model->index(0).data(PlaylistModel::SourcePathRole).toString(),
                 mediaPath(QStringLiteral("clip.v2.mkv")));
        QCOMPARE(model->index(0).data(PlaylistModel::MetaRole).toString(), QStringLiteral("clip.v2.mkv"));
        QCOMPARE(model->index(0).data(PlaylistModel::TitleRole).toString(), QStringLiteral("clip.v2"));
        QCOMPARE(model->index(0).data(PlaylistModel::TagRole).toString(), QStringLiteral("VIDEO"));
        QCOMPARE(model->index(1).data(PlaylistModel::TitleRole).toString(), QStringLiteral("Song.Final"));
        QCOMPARE(model->index(1).data(PlaylistModel::TagRole).toString(), QStringLiteral("Custom"));
    }

    void unreadableSettingsFileGivesEmptyList()
    {
        QDir().mkpath(iniPath()); // a folder where the file should be
        auto model = makeModel();
        QCOMPARE(model->count(), 0);
        QCOMPARE(model->playbackMode(), 1);
        QCOMPARE(model->addFile(mediaUrl(QStringLiteral("a.mp4"))), 0); // saving fails quietly
        QCOMPARE(model->count(), 1);

        // Once the obstacle is gone the next save writes the whole list.
        QVERIFY(QDir(iniPath()).removeRecursively());
        QCOMPARE(model->addFile(mediaUrl(QStringLiteral("b.mp4"))), 1);
        QCOMPARE(listedNames(*makeModel()), (QStringList{"a.mp4", "b.mp4"}));
        model->clear();
    }

    void sourcePathsInListOrder()
    {
        auto model = makeModel();
        QCOMPARE(model->count(), 0);
        fill(*model, {QStringLiteral("c.mp4"), QStringLiteral("a.mp4"), QStringLiteral("d.mp3")}, -1);
        QCOMPARE(model->sourcePaths(),
                 (QStringList{mediaPath("c.mp4"), mediaPath("a.mp4"), mediaPath("d.mp3")}));
    }

    void supportedAndContained()
    {
        auto model = makeModel();
        fill(*model, {QStringLiteral("a.mp4")}, -1);
        QVERIFY(model->isSupportedFileUrl(mediaUrl(QStringLiteral("never-created.MKV"))));
        QVERIFY(!model->isSupportedFileUrl(mediaUrl(QStringLiteral("subs.srt"))));
        QVERIFY(model->containsFile(QUrl(mediaPath(QStringLiteral("a.mp4")))));
        QVERIFY(!model->containsFile(mediaUrl(QStringLiteral("A.mp4")))); // identity is case-sensitive
    }

    // What the page tells the user about a file it was given: the reason decides the text.
    void refusalReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("playable file") << "clip.mp4"
                                       << "";
        QTest::newRow("missing playable file") << "gone.mp4"
                                               << "missing";
        QTest::newRow("folder with a media name") << "album.mp4"
                                                  << "folder";
        QTest::newRow("subtitle file") << "subs.srt"
                                       << "subtitle";
        QTest::newRow("missing subtitle file") << "gone.srt"
                                               << "missing";
        QTest::newRow("other file") << "notes.txt"
                                    << "unsupported";
    }
    void refusalReason()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        for (const char *file : {"clip.mp4", "subs.srt", "notes.txt"})
            tvxtest::writeFile(mediaPath(QLatin1String(file)), "x");
        QVERIFY(QDir().mkpath(mediaPath(QStringLiteral("album.mp4"))));
        auto model = makeModel();
        QCOMPARE(model->refusalReason(mediaUrl(name)), reason);
        QCOMPARE(model->refusalReason(QUrl(mediaPath(name))), reason); // a plain path handed over
    }

    // A Latin-1 name under UTF-8 is a file Qt cannot open: it is said so, not called missing.
    // Its URL carries the name's bytes as escapes, as start-up and file managers hand it on.
    void refusalOfNamesQtCannotHold_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Latin-1 name of a file") << QByteArray("caf\xe9.mp4") << true << "encoding";
        QTest::newRow("Latin-1 name of a folder") << QByteArray("alb\xfcm.mp4") << true << "encoding";
        QTest::newRow("missing Latin-1 name") << QByteArray("gon\xe9.mp4") << false << "missing";
        QTest::newRow("escaped UTF-8 name of a file") << QByteArray("caf\xc3\xa9.mp4") << true << "";
    }
    void refusalOfNamesQtCannotHold()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, exists);
        QFETCH(QString, reason);
        const QByteArray path = QFile::encodeName(mediaDir()) + '/' + name;
        if (exists && name.startsWith("alb")) {
            QVERIFY(::mkdir(path.constData(), 0755) == 0 || errno == EEXIST);
        } else if (exists) {
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        const QUrl url(QStringLiteral("file://") + QString::fromLatin1(path.toPercentEncoding("/")));
        QVERIFY(url.isLocalFile());
        QCOMPARE(makeModel()->refusalReason(url), reason);
    }
};

QTEST_GUILESS_MAIN(PlaylistModelTest)
#include "tst_playlistmodel.moc"
