// Format predicates and dialog patterns.
#include "media/MediaFormats.h"

#include <QtTest>

class MediaFormatsTest : public QObject
{
    Q_OBJECT
private slots:
    void predicates_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("playable");
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("subtitle");
        QTest::addColumn<bool>("videoTool");
        QTest::newRow("upper-case MKV") << "/m/A.MKV" << true << true << false << true;
        QTest::newRow("FLAC audio") << "song.FLAC" << true << false << false << false;
        QTest::newRow("last suffix decides") << "a.tar.mp4" << true << true << false << true;
        QTest::newRow("partial download") << "a.mp4.part" << false << false << false << false;
        QTest::newRow("no dot") << "/m/movie" << false << false << false << false;
        QTest::newRow("empty") << "" << false << false << false << false;
        QTest::newRow("folder") << "/m/videos.mp4/" << false << false << false << false;
        QTest::newRow("SRT subtitle") << "x.SRT" << false << false << true << false;
        QTest::newRow("ogv video") << "x.ogv" << true << true << false << true;
        QTest::newRow("ogg audio only") << "x.ogg" << true << false << false << false;
    }
    void predicates()
    {
        QFETCH(QString, path);
        QFETCH(bool, playable);
        QFETCH(bool, video);
        QFETCH(bool, subtitle);
        QFETCH(bool, videoTool);
        QCOMPARE(media::isSupportedPlayablePath(path), playable);
        QCOMPARE(media::isSupportedTranscodeInputPath(path), playable);
        QCOMPARE(media::isVideoPath(path), video);
        QCOMPARE(media::isSupportedSubtitlePath(path), subtitle);
        QCOMPARE(media::isSupportedVideoToolInputPath(path), videoTool);
    }

    void listsAndPatterns()
    {
        QCOMPARE(media::playableExtensions().size(), 27);
        QCOMPARE(media::playableExtensions().first(), QStringLiteral("mp4"));
        QCOMPARE(media::playableExtensions().last(), QStringLiteral("ogg"));
        QCOMPARE(media::defaultAssociationExtensions(), media::playableExtensions());
        QCOMPARE(media::videoCompressOutputFormats().first(), QStringLiteral("Source"));
        for (const QString &f : media::formatConvertOutputFormats() + media::imageExportOutputFormats() +
                                    media::videoToTextOutputFormats())
            QCOMPARE(f, f.toUpper());
        QCOMPARE(media::subtitleWildcardPattern(), QStringLiteral("*.ass *.ssa *.srt *.sub *.vtt"));
        QCOMPARE(media::playableWildcardPattern().split(QLatin1Char(' ')).size(), 27);
        QCOMPARE(media::videoToolInputWildcardPattern().split(QLatin1Char(' ')).size(), 21);
        QVERIFY(!media::playableWildcardPattern().endsWith(QLatin1Char(' ')));
        QVERIFY(media::playableWildcardPattern().startsWith(QStringLiteral("*.mp4 *.mkv")));
    }
};

QTEST_GUILESS_MAIN(MediaFormatsTest)
#include "tst_mediaformats.moc"
