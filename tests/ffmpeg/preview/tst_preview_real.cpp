// Preview service with the real ffmpeg and ffprobe on generated clips.
#include "TestSupport.h"
#include "ffmpeg/MediaPreviewService.h"
#include "ffmpeg/TimingProfile.h"

#include <QDir>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

class PreviewRealTest : public QObject
{
    Q_OBJECT

    static QString makeFrameClip(const QString &size)
    {
        const QString path = tvxtest::scratchPath(QStringLiteral("clips/frame_%1.mp4").arg(size));
        if (QFileInfo::exists(path))
            return path;
        const auto r =
            tvxtest::runProcess(QStringLiteral("ffmpeg"),
                                {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                 QStringLiteral("color=c=blue:size=%1:rate=1").arg(size), "-frames:v", "1",
                                 "-c:v", "mpeg4", path},
                                120000);
        return r.exitCode == 0 ? path : QString();
    }

    static QVariantMap previewOf(MediaPreviewService &service, const QString &path)
    {
        QSignalSpy ready(&service, &MediaPreviewService::previewReady);
        const QString key = MediaPreviewService::normalizeSourcePath(path);
        service.previewForFile(path);
        tvxtest::waitUntil(
            [&] {
                for (const QList<QVariant> &args : ready) {
                    if (args.at(0).toString() == key)
                        return true;
                }
                return false;
            },
            120000);
        for (const QList<QVariant> &args : ready) {
            if (args.at(0).toString() == key)
                return args.at(1).toMap();
        }
        return QVariantMap();
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        // The real programs on a machine that may be busy: what is checked is what the service
        // makes of their answers, so its own limits here only end a hang.
        ffmpeg::TimingProfile timing;
        timing.probeMs = tvxtest::generousMs(timing.probeMs);
        timing.thumbnailMs = tvxtest::generousMs(timing.thumbnailMs);
        timing.qualityTagMs = tvxtest::generousMs(timing.qualityTagMs);
        timing.versionProbeMs = tvxtest::generousMs(timing.versionProbeMs);
        ffmpeg::setTimingProfile(timing);
        QVERIFY(!MediaPreviewService::ffmpegExecutablePath().isEmpty());
        QVERIFY(!MediaPreviewService::ffprobeExecutablePath().isEmpty());
    }

    void qualityTagAndThumbnail_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("tag");
        QTest::newRow("4K") << "3840x2160"
                            << "4K";
        QTest::newRow("8K") << "7680x4320"
                            << "8K";
        QTest::newRow("portrait 4K") << "2160x3840"
                                     << "4K";
        QTest::newRow("small") << "320x240" << QString();
    }
    void qualityTagAndThumbnail()
    {
        QFETCH(QString, size);
        const QString clip = makeFrameClip(size);
        QVERIFY(!clip.isEmpty());
        MediaPreviewService service;
        const QVariantMap preview = previewOf(service, clip);
        QTEST(preview.value(QStringLiteral("qualityTag")).toString(), "tag");
        QCOMPARE(preview.value(QStringLiteral("durationSeconds")).toLongLong(), qint64(1));
        QCOMPARE(preview.value(QStringLiteral("parseFailed")).toBool(), false);
        const QString thumb = QUrl(preview.value(QStringLiteral("thumbnailPath")).toString()).toLocalFile();
        QCOMPARE(thumb, MediaPreviewService::cacheFilePathForSource(clip));
        const QImage image(thumb);
        QCOMPARE(image.size(), QSize(320, 180));
        // Only the finished thumbnail is in the cache folder.
        QCOMPARE(QDir(MediaPreviewService::previewCacheDirectory())
                     .entryList({QFileInfo(thumb).completeBaseName() + QStringLiteral("*")}, QDir::Files),
                 QStringList{QFileInfo(thumb).fileName()});
    }

    void fixtures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<bool>("thumbnail");
        QTest::addColumn<bool>("parseFailed");
        const QString garbage = tvxtest::fixtures::garbageMp4();
        const QString garbageMp3 = tvxtest::scratchPath(QStringLiteral("garbage.mp3"));
        QFile::copy(garbage, garbageMp3);
        QTest::newRow("small mp4") << tvxtest::fixtures::smallMp4() << qint64(3) << true << false;
        QTest::newRow("unicode name") << tvxtest::fixtures::unicodeNamedMp4() << qint64(3) << true << false;
        QTest::newRow("mp3") << tvxtest::fixtures::audioMp3() << qint64(4) << false << false;
        QTest::newRow("garbage mp4") << garbage << qint64(0) << false << true;
        QTest::newRow("garbage mp3") << garbageMp3 << qint64(0) << false << false;
        QTest::newRow("zero bytes") << tvxtest::fixtures::zeroByteFile() << qint64(0) << false << true;
    }
    void fixtures()
    {
        QFETCH(QString, path);
        QVERIFY(QFileInfo::exists(path));
        MediaPreviewService service;
        const QVariantMap preview = previewOf(service, path);
        QTEST(preview.value(QStringLiteral("durationSeconds")).toLongLong(), "duration");
        QTEST(!preview.value(QStringLiteral("thumbnailPath")).toString().isEmpty(), "thumbnail");
        QTEST(preview.value(QStringLiteral("parseFailed")).toBool(), "parseFailed");
        QCOMPARE(preview.value(QStringLiteral("loading")).toBool(), false);
        // No temporary file of a failed grab is left in the cache folder.
        const QStringList leftovers =
            QDir(MediaPreviewService::previewCacheDirectory()).entryList({"*.tmp-*"}, QDir::Files);
        QCOMPARE(leftovers, QStringList());
    }

    // The thumbnail lands in the cache folder even when a folder's name holds "%d", which ffmpeg's
    // image writer would read as a frame counter.
    void thumbnailUnderCounterPatternFolder()
    {
        const QString clip = tvxtest::scratchPath(QStringLiteral("clips/pattern.mp4"));
        QVERIFY(QFileInfo::exists(clip) || QFile::copy(tvxtest::fixtures::smallMp4(), clip));
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        qputenv("XDG_DATA_HOME", tvxtest::scratchPath(QStringLiteral("data 50%d")).toUtf8());
        MediaPreviewService service;
        const QVariantMap preview = previewOf(service, clip);
        const QString thumb = QUrl(preview.value(QStringLiteral("thumbnailPath")).toString()).toLocalFile();
        QVERIFY2(thumb.contains(QLatin1String("/data 50%d/")), qPrintable(thumb));
        QCOMPARE(QImage(thumb).size(), QSize(320, 180));
    }
};

QTEST_GUILESS_MAIN(PreviewRealTest)
#include "tst_preview_real.moc"
