// Track and audio-device lists built from mpv's converted nodes: labels, ids and flags.
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "player/MpvTrackList.h"

#include <QtTest>

namespace {

QVariantMap track(const QString &type, const QVariant &id, const QVariantMap &more = {})
{
    QVariantMap entry = more;
    entry.insert(QStringLiteral("type"), type);
    if (id.isValid())
        entry.insert(QStringLiteral("id"), id);
    return entry;
}

} // namespace

class TestEngineTracks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void labelsAndIds_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariantMap>("entry");
        QTest::addColumn<int>("expectedId");
        QTest::addColumn<QString>("expectedTitle");
        QTest::addColumn<bool>("expectedSelected");
        const QString audio = i18n::t(QStringLiteral("player.track.audio"));
        const QString sub = i18n::t(QStringLiteral("player.track.subtitle"));
        const QVariant one = qlonglong(1);
        QTest::newRow("audio with language")
            << "audio" << track("audio", one, {{"lang", "eng"}, {"selected", true}}) << 1
            << i18n::t(QStringLiteral("player.track.with_lang"), {{"type", audio}, {"lang", "eng"}}) << true;
        QTest::newRow("audio without language")
            << "audio" << track("audio", qlonglong(2)) << 2
            << i18n::t(QStringLiteral("player.track.with_index"), {{"type", audio}, {"id", 2}}) << false;
        QTest::newRow("id as double")
            << "audio" << track("audio", 3.0, {{"title", "Main"}}) << 3 << "Main" << false;
        QTest::newRow("selected as integer")
            << "audio" << track("audio", one, {{"title", "x"}, {"selected", qlonglong(1)}}) << 1 << "x"
            << true;
        QTest::newRow("external subtitle named by its file")
            << "sub"
            << track("sub", one, {{"title", "whatever"}, {"external-filename", "D:\\subs\\film.chs.srt"}})
            << 1 << "film.chs.srt" << false;
        QTest::newRow("external subtitle as file url")
            << "sub" << track("sub", one, {{"external-filename", "file:///tmp/a%20b.srt"}}) << 1 << "a b.srt"
            << false;
        QTest::newRow("embedded subtitle title path")
            << "sub" << track("sub", one, {{"title", "Signs/Songs"}}) << 1 << "Songs" << false;
        QTest::newRow("subtitle without anything")
            << "sub" << track("sub", qlonglong(4)) << 4
            << i18n::t(QStringLiteral("player.track.with_index"), {{"type", sub}, {"id", 4}}) << false;
    }

    void labelsAndIds()
    {
        QFETCH(QString, type);
        QFETCH(QVariantMap, entry);
        MpvTrackList list;
        list.setTracks(QVariantList{track("video", qlonglong(1)), entry});
        const QVariantList tracks = list.tracksByType(type);
        QCOMPARE(tracks.size(), 1);
        const QVariantMap t = tracks.at(0).toMap();
        QCOMPARE(t.keys().size(), 3);
        QTEST(t.value("id").toInt(), "expectedId");
        QTEST(t.value("title").toString(), "expectedTitle");
        QTEST(t.value("selected").toBool(), "expectedSelected");
        QVERIFY(list.contains(type, t.value("id").toInt()));
    }

    void unusableEntriesAreLeftOut()
    {
        MpvTrackList list;
        list.setTracks(QVariantList{track("audio", QVariant()), track("audio", qlonglong(-1)),
                                    track("audio", QStringLiteral("7")), QStringLiteral("not a map")});
        QVERIFY(list.tracksByType(QStringLiteral("audio")).isEmpty());
        list.setTracks(QStringLiteral("not a list"));
        QVERIFY(list.tracks().isEmpty());
    }

    void albumArt()
    {
        MpvTrackList list;
        list.setTracks(
            QVariantList{track("video", qlonglong(1)), track("audio", qlonglong(1), {{"albumart", true}})});
        QVERIFY(!list.hasAlbumArt());
        list.setTracks(QVariantList{track("video", qlonglong(1), {{"albumart", true}})});
        QVERIFY(list.hasAlbumArt());
    }

    void audioDevicesStartWithSystemDefault()
    {
        const QVariantList devices = MpvTrackList::audioOutputDevices(
            QVariantList{QVariantMap{{"name", "pulse"}, {"description", "Pulse"}},
                         QVariantMap{{"name", "alsa"}}, QVariantMap{{"description", "nameless"}}});
        QCOMPARE(devices.size(), 3);
        QCOMPARE(devices.at(0).toMap().value("id").toString(), QStringLiteral("auto"));
        QCOMPARE(devices.at(1).toMap().value("name").toString(), QStringLiteral("Pulse"));
        QCOMPARE(devices.at(2).toMap().value("name").toString(), QStringLiteral("alsa"));
        QCOMPARE(MpvTrackList::audioOutputDevices(QVariantList()).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestEngineTracks)
#include "tst_enginetracks.moc"
