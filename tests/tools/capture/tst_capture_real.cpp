// The capture and to-image tools against the real ffmpeg: captured frames read back, series
// counts per mode, the long image, time-outs and the wait at exit.
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/TimingProfile.h"
#include "i18n/I18n.h"
#include "tools/video_capture/FrameToolSupport.h"
#include "tools/video_capture/VideoCaptureViewModel.h"
#include "tools/video_to_image/VideoToImageViewModel.h"

#include "tools/video_to_image/VideoToImageWork.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace tools;

namespace {

// 3 s at 25 fps, 160x120: red for the first second, green for the second, blue for the third.
QString colourBandClip(const QString &name)
{
    const QString path = tvxtest::scratchPath(name);
    if (QFileInfo::exists(path))
        return path;
    const auto r = tvxtest::runProcess("ffmpeg", {"-v",
                                                  "error",
                                                  "-y",
                                                  "-f",
                                                  "lavfi",
                                                  "-i",
                                                  "color=c=red:s=160x120:r=25:d=1",
                                                  "-f",
                                                  "lavfi",
                                                  "-i",
                                                  "color=c=lime:s=160x120:r=25:d=1",
                                                  "-f",
                                                  "lavfi",
                                                  "-i",
                                                  "color=c=blue:s=160x120:r=25:d=1",
                                                  "-filter_complex",
                                                  "[0:v][1:v][2:v]concat=n=3:v=1:a=0",
                                                  "-c:v",
                                                  "libx264",
                                                  "-pix_fmt",
                                                  "yuv420p",
                                                  path});
    return r.exitCode == 0 ? path : QString();
}

// The dominant channel of the image's centre: 'r', 'g' or 'b'.
char dominantChannel(const QImage &image)
{
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
        return 'r';
    if (c.green() > 150 && c.red() < 100 && c.blue() < 100)
        return 'g';
    if (c.blue() > 150 && c.red() < 100 && c.green() < 100)
        return 'b';
    return '?';
}

// ffmpeg's own upright frame at seconds ("ffmpeg -ss T -i clip -frames:v 1 ref.png"), brought to
// the displayed size: a picture stored with a sample aspect is decoded at its coded size.
QImage referenceFrame(const QString &clip, double seconds, const QSize &displayed)
{
    const QString path = tvxtest::scratchPath("reference/" + QFileInfo(clip).completeBaseName() + "_" +
                                              QString::number(seconds) + ".png");
    QDir().mkpath(QFileInfo(path).absolutePath());
    const auto r = tvxtest::runProcess("ffmpeg", {"-v", "error", "-y", "-ss", QString::number(seconds), "-i",
                                                  clip, "-frames:v", "1", "-update", "1", path});
    const QImage frame(path);
    if (r.exitCode != 0 || frame.isNull())
        return QImage();
    return frame.scaled(displayed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The mean difference of the channels of two pictures (0..255) brought to one small size: a
// few units for the same picture encoded twice, far more for one turned or stretched.
double meanDifference(const QImage &a, const QImage &b)
{
    const QSize grid(48, 48);
    const QImage x =
        a.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    const QImage y =
        b.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < grid.height(); ++row) {
        for (int column = 0; column < grid.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * grid.width() * grid.height());
}

// While it lives, the process's writes beyond bytes into any file fail, as they do on a disk
// that is full after bytes (the error is "file too large", the effect the same).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};

frames::Timings generousTimings()
{
    frames::Timings timings;
    timings.captureMs = tvxtest::generousMs(timings.captureMs);
    timings.singleFrameMs = tvxtest::generousMs(timings.singleFrameMs);
    timings.seriesMs = tvxtest::generousMs(timings.seriesMs);
    return timings;
}

} // namespace

class TstCaptureReal : public QObject
{
    Q_OBJECT

    FFmpegEnvironment m_environment;
    std::unique_ptr<FFprobeService> m_prober;
    QString m_clip;

    template <typename Model> bool loadSource(Model &model, const QString &path)
    {
        model.setSourceFromUrl(path);
        return tvxtest::waitUntil([&] { return !model.probingSource(); }, 20000);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        // Real ffmpeg on a machine that may be busy: the captures' own limits only end a hang.
        frames::setTimings(generousTimings());
        ffmpeg::TimingProfile probing;
        probing.probeMs = tvxtest::generousMs(probing.probeMs);
        probing.packetScanMs = tvxtest::generousMs(probing.packetScanMs);
        probing.packetScanStartMs = tvxtest::generousMs(probing.packetScanStartMs);
        ffmpeg::setTimingProfile(probing);
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        m_prober = std::make_unique<FFprobeService>(&m_environment);
        m_clip = colourBandClip("bands.mp4");
        QVERIFY(!m_clip.isEmpty());
    }

    void captureFormatsAtSize_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<char>("channel");
        QTest::newRow("png red") << "PNG" << 0.5 << 'r';
        QTest::newRow("jpg green") << "JPG" << 1.5 << 'g';
        QTest::newRow("webp blue") << "WEBP" << 2.5 << 'b';
        QTest::newRow("bmp green") << "BMP" << 1.2 << 'g';
        QTest::newRow("end of the time line gives the last frame") << "PNG" << 3.0 << 'b';
    }
    void captureFormatsAtSize()
    {
        QFETCH(QString, format);
        QFETCH(double, seconds);
        QFETCH(char, channel);
        VideoCaptureViewModel model(&m_environment, m_prober.get());
        const QString out =
            tvxtest::scratchPath("captures/" + QString(QTest::currentDataTag()).replace(' ', '_'));
        model.setOutputDirectory(out);
        QVERIFY(loadSource(model, m_clip));
        QVERIFY(model.canCapture());
        QCOMPARE(model.outputWidth(), 160);
        model.setOutputWidth(80); // the lock gives 60
        QCOMPARE(model.outputHeight(), 60);
        model.setOutputFormat(format);
        model.setCaptureTimeSeconds(seconds);
        QSignalSpy finished(&model, &VideoCaptureViewModel::captureFinished);
        model.captureFrame();
        QVERIFY(model.busy());
        QVERIFY(finished.wait(tvxtest::scaledMs(20000)));
        QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(finished.at(0).at(1).toString()));
        const QString path = finished.at(0).at(2).toString();
        QCOMPARE(path, model.lastOutputPath());
        QVERIFY(path.endsWith("." + frames::extensionForFormat(format)));
        const QImage image(path);
        QCOMPARE(image.size(), QSize(80, 60));
        QCOMPARE(dominantChannel(image), channel);

        // The same second again never replaces the first image.
        model.captureFrame();
        QVERIFY(finished.wait(tvxtest::scaledMs(20000)));
        QVERIFY(finished.at(1).at(2).toString().contains("(1)."));
    }

    void failedCaptureLeavesNothing()
    {
        const QString garbage =
            tvxtest::writeFile(tvxtest::scratchPath("garbage.mp4"), QByteArray(4096, 'z'));
        VideoCaptureViewModel::CaptureRequest request;
        request.grab.ffmpegPath = m_environment.ffmpegExecutablePath();
        request.grab.sourcePath = garbage;
        request.grab.outputPath = tvxtest::scratchPath("failed/out.png");
        request.grab.format = "PNG";
        const auto result = VideoCaptureViewModel::runCapture(request, nullptr);
        QVERIFY(!result.success);
        QVERIFY(result.message.startsWith(
            i18n::t("tool.video_capture.error.capture_failed_with_detail", {{"detail", QString()}})));
        QVERIFY(!QFileInfo::exists(request.grab.outputPath));
    }

    // A stalled ffmpeg is killed at the limit and its partial image goes with it.
    void timedOutCaptureRemovesItsImage()
    {
        const QString fake = tvxtest::writeScript(tvxtest::scratchPath("fake/ffmpeg"),
                                                  "for a in \"$@\"; do out=\"$a\"; done\n"
                                                  "printf partial > \"$out\"\nexec sleep 30\n");
        frames::Timings quick;
        quick.captureMs = 300;
        quick.killGraceMs = 200;
        frames::setTimings(quick);
        VideoCaptureViewModel::CaptureRequest request;
        request.grab.ffmpegPath = fake;
        request.grab.sourcePath = m_clip;
        request.grab.outputPath = tvxtest::scratchPath("stalled/out.png");
        request.timeoutMs = frames::timings().captureMs;
        QElapsedTimer timer;
        timer.start();
        const auto result = VideoCaptureViewModel::runCapture(request, nullptr);
        frames::setTimings(generousTimings());
        QCOMPARE(result.message, i18n::t("tool.video_capture.error.timeout"));
        QVERIFY(!QFileInfo::exists(request.grab.outputPath));
        // Ended by the limit, not by the program's own end 30 s later.
        QVERIFY(timer.elapsed() < 20000);
    }

    void seriesFrameCounts_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("count");
        QTest::newRow("every second") << "time_interval" << 3;
        QTest::newRow("every 5th frame") << "frame_interval" << 15;
        QTest::newRow("every frame") << "all_frames" << 75;
    }
    void seriesFrameCounts()
    {
        QFETCH(QString, mode);
        QFETCH(int, count);
        // "[1]" and "%" in the name: frames are matched literally and the pattern escapes "%".
        const QString source = tvxtest::scratchPath("series/clip 100% [1].mp4");
        if (!QFileInfo::exists(source))
            QVERIFY(QFile::copy(m_clip, source));
        VideoToImageViewModel model(&m_environment, m_prober.get());
        QVERIFY(loadSource(model, source));
        QCOMPARE(model.continuousEndSeconds(), double(model.durationSeconds()));
        model.setCaptureMode("continuous");
        model.setContinuousMode(mode);
        model.setFrameInterval(5);
        model.setTimeIntervalSeconds(1);
        QSignalSpy items(&model, &VideoToImageViewModel::previewItemsChanged);
        model.addToExportList();
        QVERIFY(model.addingToListBusy());
        QVERIFY(tvxtest::waitUntil([&] { return !model.addingToListBusy(); }, 60000));
        QCOMPARE(model.previewCount(), count);
        const QString first = model.previewItems().first().toMap().value("name").toString();
        QVERIFY2(first.startsWith("clip 100% [1]_batch_") && first.endsWith("_000001.png"),
                 qPrintable(first));
        QCOMPARE(QDir(model.previewFolder()).entryList(QDir::Files).size(), count);
    }

    void addThenExportListAndLongImage()
    {
        VideoToImageViewModel model(&m_environment, m_prober.get());
        const QString out = tvxtest::scratchPath("to_image_out");
        model.setOutputDirectory(out);
        QVERIFY(loadSource(model, m_clip));
        model.setOutputFormat("JPG");
        for (double t : {0.5, 2.5}) {
            model.setSingleCaptureTimeSeconds(t);
            model.addToExportList();
            QVERIFY(tvxtest::waitUntil([&] { return !model.addingToListBusy(); }, 20000));
        }
        QCOMPARE(model.previewCount(), 2);
        QCOMPARE(model.previewItems().at(0).toMap().value("name").toString(),
                 QStringLiteral("bands_00-00-00.jpg"));
        model.setOutputLongImage(true);
        QVERIFY(model.outputLongImage());
        QSignalSpy done(&model, &VideoToImageViewModel::exportBatchFinished);
        model.exportList();
        QVERIFY(done.wait(tvxtest::scaledMs(20000)));
        QVERIFY2(done.at(0).at(0).toBool(), qPrintable(done.at(0).at(1).toString()));
        QCOMPARE(model.previewCount(), 0);
        const QImage stitched(out + "/export_long.jpg");
        QCOMPARE(stitched.size(), QSize(160, 240));
        QCOMPARE(dominantChannel(stitched.copy(0, 0, 160, 120)), 'r');
        QCOMPARE(dominantChannel(stitched.copy(0, 120, 160, 120)), 'b');
        QCOMPARE(QDir(model.previewFolder()).entryList(QDir::Files).size(), 0);
    }

    // An export the disk cannot take is reported, and the queue keeps its frames for another try.
    void exportOnAFullDiskKeepsTheQueue_data()
    {
        QTest::addColumn<bool>("longImage");
        QTest::addColumn<bool>("lastBlockOnly");
        QTest::newRow("long image, nothing fits") << true << false;
        QTest::newRow("long image, all but the last byte fits") << true << true;
        QTest::newRow("list, all but the last byte of a frame fits") << false << true;
    }
    void exportOnAFullDiskKeepsTheQueue()
    {
        QFETCH(bool, longImage);
        QFETCH(bool, lastBlockOnly);
        VideoToImageViewModel model(&m_environment, m_prober.get());
        const QString out = tvxtest::scratchPath(
            "full_disk/" + QString(QTest::currentDataTag()).replace(QRegularExpression("[ ,]+"), "_"));
        model.setOutputDirectory(out);
        QVERIFY(loadSource(model, tvxtest::fixtures::mkvWithTracks()));
        for (double t : {0.5, 2.5}) {
            model.setSingleCaptureTimeSeconds(t);
            model.addToExportList();
            QVERIFY(tvxtest::waitUntil([&] { return !model.addingToListBusy(); }, 20000));
        }
        QStringList frames;
        for (const QVariant &item : model.previewItems())
            frames << item.toMap().value("path").toString();
        QCOMPARE(frames.size(), 2);
        // The room the largest file needs: the stitched image, measured on a copy written where
        // there is room, or the smaller frame, so that no frame fits.
        qint64 size = qMin(QFileInfo(frames.at(0)).size(), QFileInfo(frames.at(1)).size());
        if (longImage) {
            const QString measured = out + "_measured.png";
            QFile::remove(measured);
            QVERIFY(toimage::stitchImagesVertically(frames, measured));
            size = QFileInfo(measured).size();
        }
        // Larger than the file's write buffer (16 KiB), so the last byte fails in the final flush.
        QVERIFY2(size > 20 * 1024, qPrintable(QString::number(size)));

        model.setOutputLongImage(longImage);
        QSignalSpy done(&model, &VideoToImageViewModel::exportBatchFinished);
        {
            FileSizeLimit full(lastBlockOnly ? size - 1 : 0);
            QVERIFY(full.active());
            model.exportList();
            QVERIFY(done.wait(tvxtest::scaledMs(20000)));
        }
        QCOMPARE(done.at(0).at(0).toBool(), false);
        QCOMPARE(done.at(0).at(1).toString(),
                 i18n::t(longImage ? "tool.video_to_image.error.long_image_write_failed"
                                   : "tool.video_to_image.error.no_image_exported_check_queue"));
        QCOMPARE(model.previewCount(), 2);
        for (const QString &frame : qAsConst(frames))
            QVERIFY(QFileInfo::exists(frame));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());

        // With room again the same queue goes out whole.
        model.exportList();
        QVERIFY(done.wait(tvxtest::scaledMs(20000)));
        QVERIFY2(done.at(1).at(0).toBool(), qPrintable(done.at(1).at(1).toString()));
        QCOMPARE(model.previewCount(), 0);
        if (longImage)
            QCOMPARE(QImage(out + "/export_long.png").size(), QSize(320, 480));
        else
            QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
    }

    // A "%d" in the source's name is part of the image's name: the frame asked for is saved under the
    // reported name, and a file named as ffmpeg would count it is left alone.
    void counterPatternInSourceName_data()
    {
        QTest::addColumn<bool>("toImage");
        QTest::newRow("capture tool") << false;
        QTest::newRow("to-image tool") << true;
    }
    void counterPatternInSourceName()
    {
        QFETCH(bool, toImage);
        const QString folder = tvxtest::scratchPath(toImage ? "pattern/to_image" : "pattern/capture");
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const QString source = folder + "/clip 50%d.mp4";
        QVERIFY(QFile::copy(m_clip, source));
        const QString stamp = toImage ? "00-00-01" : "00-00-01.000";
        QString path;
        QString bystander;
        if (toImage) {
            VideoToImageViewModel model(&m_environment, m_prober.get());
            bystander = tvxtest::writeFile(model.previewFolder() + "/clip 501_" + stamp + ".png", "mine");
            QVERIFY(loadSource(model, source));
            model.setSingleCaptureTimeSeconds(1.5);
            model.addToExportList();
            QVERIFY(tvxtest::waitUntil([&] { return !model.addingToListBusy(); }, 20000));
            QCOMPARE(model.previewCount(), 1);
            path = model.previewItems().first().toMap().value("path").toString();
            QCOMPARE(QImage(path).size(), QSize(160, 120));
            QCOMPARE(dominantChannel(QImage(path)), 'g');
        } else {
            VideoCaptureViewModel model(&m_environment, m_prober.get());
            model.setOutputDirectory(folder);
            bystander = tvxtest::writeFile(folder + "/clip 501_" + stamp + ".png", "mine");
            QVERIFY(loadSource(model, source));
            model.setCaptureTimeSeconds(1.5);
            QSignalSpy finished(&model, &VideoCaptureViewModel::captureFinished);
            model.captureFrame();
            QVERIFY(finished.wait(tvxtest::scaledMs(20000)));
            QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(finished.at(0).at(1).toString()));
            path = finished.at(0).at(2).toString();
            QCOMPARE(dominantChannel(QImage(path)), 'g');
        }
        QCOMPARE(QFileInfo(path).fileName(), "clip 50%d_" + stamp + ".png");
        QFile mine(bystander);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
    }

    // A phone's sideways clip and anamorphic PAL: the default size is the displayed one, the lock
    // keeps the displayed aspect, and the saved frame, the queued frames and the long image all
    // show ffmpeg's own upright picture, neither turned nor squeezed.
    void framesAsShown_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QSize>("displayed");
        QTest::newRow("sideways phone clip") << tvxtest::fixtures::sidewaysPhoneMp4() << QSize(360, 640);
        QTest::newRow("PAL 16:9") << tvxtest::fixtures::anamorphicPalMp4() << QSize(1024, 576);
    }
    void framesAsShown()
    {
        QFETCH(QString, clip);
        QFETCH(QSize, displayed);
        QVERIFY(!clip.isEmpty());
        const QImage reference = referenceFrame(clip, 1.0, displayed);
        QVERIFY(!reference.isNull());
        const QString tag = QString(QTest::currentDataTag()).replace(' ', '_');

        VideoCaptureViewModel capture(&m_environment, m_prober.get());
        capture.setOutputDirectory(tvxtest::scratchPath("shown/" + tag));
        QVERIFY(loadSource(capture, clip));
        QCOMPARE(QSize(capture.outputWidth(), capture.outputHeight()), displayed);
        capture.setCaptureTimeSeconds(1.0);
        QSignalSpy captured(&capture, &VideoCaptureViewModel::captureFinished);
        capture.captureFrame();
        QVERIFY(captured.wait(20000));
        QVERIFY2(captured.at(0).at(0).toBool(), qPrintable(captured.at(0).at(1).toString()));
        const QImage saved(captured.at(0).at(2).toString());
        QCOMPARE(saved.size(), displayed);
        QVERIFY2(meanDifference(saved, reference) < 8,
                 qPrintable(QString::number(meanDifference(saved, reference))));
        // The lock halves both sides of the displayed size, not of the stored one.
        capture.setOutputWidth(displayed.width() / 2);
        QCOMPARE(capture.outputHeight(), displayed.height() / 2);

        VideoToImageViewModel toImage(&m_environment, m_prober.get());
        const QString out = tvxtest::scratchPath("shown_long/" + tag);
        toImage.setOutputDirectory(out);
        QVERIFY(loadSource(toImage, clip));
        QCOMPARE(QSize(toImage.outputWidth(), toImage.outputHeight()), displayed);
        toImage.setSingleCaptureTimeSeconds(1.0);
        toImage.addToExportList();
        QVERIFY(tvxtest::waitUntil([&] { return !toImage.addingToListBusy(); }, 20000));
        toImage.setCaptureMode("continuous");
        toImage.setContinuousMode("time_interval");
        toImage.setTimeIntervalSeconds(1);
        toImage.addToExportList();
        QVERIFY(tvxtest::waitUntil([&] { return !toImage.addingToListBusy(); }, 20000));
        QCOMPARE(toImage.previewCount(), 3);
        for (const QVariant &item : toImage.previewItems())
            QCOMPARE(QImage(item.toMap().value("path").toString()).size(), displayed);
        const QImage queued(toImage.previewItems().first().toMap().value("path").toString());
        QVERIFY2(meanDifference(queued, reference) < 8,
                 qPrintable(QString::number(meanDifference(queued, reference))));

        toImage.setOutputLongImage(true);
        QSignalSpy exported(&toImage, &VideoToImageViewModel::exportBatchFinished);
        toImage.exportList();
        QVERIFY(exported.wait(20000));
        QVERIFY2(exported.at(0).at(0).toBool(), qPrintable(exported.at(0).at(1).toString()));
        const QImage stitched(out + "/export_long.png");
        QCOMPARE(stitched.size(), QSize(displayed.width(), 3 * displayed.height()));
        const QImage top = stitched.copy(QRect(QPoint(0, 0), displayed));
        QVERIFY2(meanDifference(top, reference) < 8,
                 qPrintable(QString::number(meanDifference(top, reference))));
    }

    // The preview folder starts empty: frames of an earlier run are never listed again.
    void previewFolderEmptiedAtStart()
    {
        QString folder;
        {
            VideoToImageViewModel first(nullptr, nullptr);
            folder = first.previewFolder();
            tvxtest::writeFile(folder + "/left_over.png", "x");
        }
        VideoToImageViewModel second(nullptr, nullptr);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 0);
    }

    // Destroying the view models while their jobs run stops and awaits them.
    void destroyedWhileWorking()
    {
        const QString fake =
            tvxtest::writeScript(tvxtest::scratchPath("fake_slow/ffmpeg"), "exec sleep 30\n");
        FFmpegEnvironment slowEnvironment(tvxtest::scratchPath("fake_slow"));
        Q_UNUSED(slowEnvironment)
        QElapsedTimer timer;
        timer.start();
        {
            VideoCaptureViewModel model(&m_environment, m_prober.get());
            QVERIFY(loadSource(model, m_clip));
            model.captureFrame();
            model.setSourceFromUrl(tvxtest::scratchPath("series/clip 100% [1].mp4"));
            QVERIFY(model.busy());
        }
        {
            VideoToImageViewModel model(&m_environment, m_prober.get());
            QVERIFY(loadSource(model, m_clip));
            model.setCaptureMode("continuous");
            model.setContinuousMode("all_frames");
            model.addToExportList();
            QVERIFY(model.waitForJobs(5000));
        }
        QVERIFY(timer.elapsed() < 15000);
        Q_UNUSED(fake)
    }
};

QTEST_GUILESS_MAIN(TstCaptureReal)
#include "tst_capture_real.moc"
