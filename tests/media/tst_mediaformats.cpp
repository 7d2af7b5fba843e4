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
        QTest::newRow("Ogg audio, oga") << "x.oga" << true << false << false << false;
        QTest::newRow("Opus audio") << "x.opus" << true << false << false << false;
        QTest::newRow("upper-case AIFF") << "x.AIFF" << true << false << false << false;
        QTest::newRow("DivX video") << "x.divx" << true << true << false << true;
        QTest::newRow("Blu-ray playlist opens, no video") << "00000.mpls" << true << false << false << false;
        QTest::newRow("ASS subtitle never playable") << "x.ass" << false << false << true << false;
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
        // The common names lead the dialogs' patterns, in their order; the other names of the
        // claimed types follow.
        const QStringList leading{"mp4", "mkv", "avi",  "mov", "wmv",  "flv", "webm",
                                  "m4v", "mpg", "mpeg", "ts",  "m2ts", "mts", "3gp",
                                  "3g2", "ogv", "asf",  "vob", "f4v",  "rm",  "rmvb"};
        QCOMPARE(media::videoExtensions().mid(0, leading.size()), leading);
        const QStringList audio{"mp3", "flac", "wav", "m4a", "aac", "ogg"};
        QCOMPARE(media::playableExtensions().mid(0, leading.size()), leading);
        QCOMPARE(media::playableExtensions().mid(media::videoExtensions().size(), audio.size()), audio);
        QCOMPARE(media::defaultAssociationExtensions(), media::playableExtensions());
        QCOMPARE(media::transcodeInputExtensions(), media::playableExtensions());
        QCOMPARE(media::videoToolInputExtensions(), media::videoExtensions());
        QCOMPARE(media::videoCompressOutputFormats().first(), QStringLiteral("Source"));
        for (const QString &f : media::formatConvertOutputFormats() + media::imageExportOutputFormats() +
                                    media::videoToTextOutputFormats())
            QCOMPARE(f, f.toUpper());
        QCOMPARE(media::subtitleWildcardPattern(), QStringLiteral("*.ass *.ssa *.srt *.sub *.vtt"));
        QCOMPARE(media::playableWildcardPattern().split(QLatin1Char(' ')).size(),
                 media::playableExtensions().size());
        QCOMPARE(media::videoToolInputWildcardPattern().split(QLatin1Char(' ')).size(),
                 media::videoExtensions().size());
        QVERIFY(!media::playableWildcardPattern().endsWith(QLatin1Char(' ')));
        QVERIFY(media::playableWildcardPattern().startsWith(QStringLiteral("*.mp4 *.mkv")));
    }

    // The claimed types' table and the opened names agree both ways: every name of a claimed type
    // opens, and every name that opens is registered through a claimed type. Names are lower
    // case and listed once.
    void claimedTypesAndOpenedNamesAgree()
    {
        QStringList claimedNames;
        for (const media::MimeTypeNames &type : media::claimedMimeTypes()) {
            QVERIFY(!type.extensions.isEmpty());
            for (const QString &ext : type.extensions) {
                QVERIFY2(media::isSupportedPlayablePath(QStringLiteral("a.") + ext), qPrintable(ext));
                claimedNames << ext;
            }
        }
        for (const QString &ext : media::playableExtensions()) {
            QVERIFY2(claimedNames.contains(ext), qPrintable(ext));
            QCOMPARE(ext, ext.toLower());
            QCOMPARE(media::playableExtensions().count(ext), 1);
        }
        QCOMPARE(media::claimedMimeTypeNames().size(), media::claimedMimeTypes().size());
        QCOMPARE(media::claimedMimeTypeNames().first(), QStringLiteral("video/mp4"));
    }
};

QTEST_GUILESS_MAIN(MediaFormatsTest)
#include "tst_mediaformats.moc"
