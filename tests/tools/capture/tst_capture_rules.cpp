// Rules of the capture and to-image tools without ffmpeg: argument lists, names, setters,
// long-image limits and texts.
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "tools/video_capture/FrameToolSupport.h"
#include "tools/video_capture/VideoCaptureViewModel.h"
#include "tools/video_to_image/VideoToImageViewModel.h"
#include "tools/video_to_image/VideoToImageWork.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

using namespace tools;

class TstCaptureRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
    }

    void frameGrabArguments_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QStringList>("tail");
        // Without a size the frame comes out at the displayed size, square pixels.
        const QStringList displayed{"-vf", "scale=iw*max(1\\,sar):ih*max(1\\,1/sar),setsar=1"};
        QTest::newRow("png medium, source size")
            << "PNG"
            << "medium" << 0 << 0 << 65.7 << displayed + QStringList{"-compression_level", "6"};
        QTest::newRow("jpg low, one side only")
            << "JPG"
            << "low" << 640 << 0 << 1.0 << displayed + QStringList{"-q:v", "12"};
        QTest::newRow("jpg high scaled")
            << "jpg"
            << "high" << 640 << 360 << 1.0 << QStringList{"-vf", "scale=640:360,setsar=1", "-q:v", "2"};
        QTest::newRow("webp medium") << "WEBP"
                                     << "medium" << 0 << 0 << 0.0 << displayed + QStringList{"-q:v", "75"};
        QTest::newRow("bmp has no quality") << "BMP"
                                            << "low" << 0 << 0 << -3.0 << displayed;
        QTest::newRow("unknown preset is high")
            << "WEBP"
            << "best" << 0 << 0 << 0.0 << displayed + QStringList{"-q:v", "90"};
    }
    void frameGrabArguments()
    {
        QFETCH(QString, format);
        QFETCH(QString, preset);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, seconds);
        QFETCH(QStringList, tail);
        frames::FrameGrabRequest request;
        request.sourcePath = "/v/in.mp4";
        request.outputPath = "/o/out.png";
        request.format = format;
        request.qualityPreset = preset;
        request.width = width;
        request.height = height;
        request.seconds = seconds;
        const QStringList args = frames::buildFrameGrabArguments(request);
        const QStringList head{"-v", "error",     "-nostdin",  "-n", "-ss", frames::secondsArgument(seconds),
                               "-i", "/v/in.mp4", "-frames:v", "1"};
        QCOMPARE(args, head + tail + QStringList({"-update", "1", "/o/out.png"}));
        QVERIFY(!args.contains("-y"));
    }

    // ffmpeg that decodes nothing at the asked time gives the last frame only at the video's end;
    // anywhere else the last frame would be the wrong picture.
    void lastFrameOnlyAtTheEnd_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("duration");
        QTest::addColumn<bool>("saved");
        QTest::newRow("middle of the video") << 1.0 << 3 << false;
        QTest::newRow("end of the time line") << 3.0 << 3 << true;
        QTest::newRow("last second of a duration rounded up") << 2.5 << 3 << true;
        QTest::newRow("duration unknown") << 2.0 << 0 << false;
    }
    void lastFrameOnlyAtTheEnd()
    {
        QFETCH(double, seconds);
        QFETCH(int, duration);
        QFETCH(bool, saved);
        // Writes an image only when asked for the last frame.
        const QString fake = tvxtest::writeScript(tvxtest::scratchPath("fake_end/ffmpeg"),
                                                  "for a in \"$@\"; do out=\"$a\"; done\n"
                                                  "case \"$*\" in *-sseof*) printf last > \"$out\";; esac\n");
        frames::FrameGrabRequest request;
        request.ffmpegPath = fake;
        request.sourcePath = tvxtest::writeFile(tvxtest::scratchPath("fake_end/in.mp4"), "x");
        request.outputPath = tvxtest::scratchPath("fake_end/" + QString(QTest::currentDataTag()) + ".png");
        request.seconds = seconds;
        request.durationSeconds = duration;
        const frames::FrameGrabOutcome outcome = frames::grabFrame(request, 10000, nullptr);
        QCOMPARE(outcome.end == frames::FrameGrabOutcome::End::Saved, saved);
        QCOMPARE(QFileInfo::exists(request.outputPath), saved);
    }

    void seriesArguments_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("middle");
        const QString displayed = "scale=iw*max(1\\,sar):ih*max(1\\,1/sar),setsar=1";
        QTest::newRow("time interval 2 s over 10-20")
            << "time_interval" << 10.0 << 20.0 << 0
            << QStringList{"-ss", "10.000", "-i",  "/v/in.mp4",
                           "-t",  "10.000", "-vf", "fps=1/2.000000," + displayed};
        QTest::newRow("frame interval 1")
            << "frame_interval" << 0.0 << 3.0 << 0
            << QStringList{"-ss",    "0.000", "-i",  "/v/in.mp4",
                           "-t",     "3.000", "-vf", "select='not(mod(n\\,1))'," + displayed,
                           "-vsync", "vfr"};
        QTest::newRow("all frames scaled, whole video")
            << "all_frames" << 0.0 << 0.0 << 1280
            << QStringList{"-ss",    "0.000", "-i", "/v/in.mp4", "-vf", "scale=1280:720,setsar=1",
                           "-vsync", "0"};
        QTest::newRow("reversed range")
            << "all_frames" << 5.0 << 2.0 << 0
            << QStringList{"-ss", "2.000", "-i", "/v/in.mp4", "-t", "3.000", "-vf", displayed, "-vsync", "0"};
    }
    void seriesArguments()
    {
        QFETCH(QString, mode);
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(int, width);
        QFETCH(QStringList, middle);
        toimage::AddRequest request;
        request.sourcePath = "/v/in.mp4";
        request.previewFolder = "/p";
        request.format = "BMP";
        request.continuousMode = mode;
        request.captureMode = "continuous";
        request.rangeStart = start;
        request.rangeEnd = end;
        request.timeIntervalSeconds = 2;
        request.frameInterval = 1;
        request.width = width;
        request.height = width > 0 ? 720 : 0;
        request.now = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6));
        const toimage::SeriesPlan plan = toimage::buildSeriesPlan(request);
        QCOMPARE(plan.prefix, QStringLiteral("in_batch_20260102_030405006"));
        QCOMPARE(plan.arguments, QStringList({"-v", "error", "-nostdin", "-n"}) + middle +
                                     QStringList{"/p/in_batch_20260102_030405006_%06d.bmp"});
    }

    // "%" of a file name is literal in the ffmpeg pattern; "[1]" is literal when frames are listed.
    void seriesNamesWithSpecialCharacters()
    {
        toimage::AddRequest request;
        request.sourcePath = "/v/100% [1].mp4";
        request.previewFolder = tvxtest::scratchPath("series_names");
        QDir().mkpath(request.previewFolder);
        request.format = "PNG";
        request.now = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6));
        const toimage::SeriesPlan plan = toimage::buildSeriesPlan(request);
        QCOMPARE(plan.prefix, QStringLiteral("100% [1]_batch_20260102_030405006"));
        QVERIFY(plan.arguments.last().endsWith("/100%% [1]_batch_20260102_030405006_%06d.png"));
        for (const QString &name :
             {plan.prefix + "_000001.png", plan.prefix + "_000002.png", plan.prefix + ".png",
              QString("100% 1_batch_20260102_030405006_000001.png"), plan.prefix + "_000003.jpg"})
            tvxtest::writeFile(QDir(request.previewFolder).filePath(name), "x");
        const QStringList frames = toimage::listSeriesFrames(request.previewFolder, plan.prefix, "png");
        QCOMPARE(frames.size(), 2);
        QVERIFY(frames.at(0).endsWith("_000001.png"));
    }

    // A series that fails part-way leaves none of its frames behind; other files stay.
    void failedSeriesRemovesItsFrames()
    {
        const QString fake =
            tvxtest::writeScript(tvxtest::scratchPath("fake_series/ffmpeg"),
                                 "for a in \"$@\"; do out=\"$a\"; done\n"
                                 "for n in 000001 000002; do printf x > \"$(printf '%s' \"$out\" | "
                                 "sed \"s/%06d/$n/\")\"; done\n"
                                 "echo 'broken stream' >&2; exit 1\n");
        toimage::AddRequest request;
        request.ffmpegPath = fake;
        request.sourcePath = tvxtest::writeFile(tvxtest::scratchPath("fake_series/src.mp4"), "x");
        request.previewFolder = tvxtest::scratchPath("fake_series/preview");
        request.captureMode = "continuous";
        request.continuousMode = "all_frames";
        request.format = "PNG";
        request.now = QDateTime::currentDateTime();
        QDir().mkpath(request.previewFolder);
        const QString other = tvxtest::writeFile(request.previewFolder + "/queued_frame.png", "keep");
        const toimage::ExportResult result = toimage::runAdd(request, nullptr);
        QVERIFY(!result.success);
        QCOMPARE(result.message, i18n::t("tool.video_to_image.error.batch_export_failed_with_detail",
                                         {{"detail", "broken stream"}}));
        QCOMPARE(QDir(request.previewFolder).entryList(QDir::Files), QStringList{"queued_frame.png"});
        QVERIFY(QFileInfo::exists(other));
    }

    void timeTextAndPaths()
    {
        QCOMPARE(frames::formatDurationText(65.25), QStringLiteral("00:01:05.250"));
        QCOMPARE(frames::formatDurationText(-4), QStringLiteral("00:00:00.000"));
        QCOMPARE(frames::formatDurationText(90000), QStringLiteral("25:00:00.000"));
        QCOMPARE(frames::normalizeLocalPath(" file:///tmp/a%20b.mp4 "), QStringLiteral("/tmp/a b.mp4"));
        QCOMPARE(frames::normalizeLocalPath("  "), QString());
        QCOMPARE(toimage::formatBytesText(524288), QStringLiteral("0.5 MB"));
        QCOMPARE(toimage::formatBytesText(1073741824), QStringLiteral("1.00 GB"));
        QCOMPARE(toimage::formatBytesText(1610612736), QStringLiteral("1.50 GB"));
    }

    void captureNamesWithCollisions()
    {
        const QString dir = tvxtest::scratchPath("names");
        QDir().mkpath(dir);
        const QString first = VideoCaptureViewModel::buildOutputPath("/v/movie.mkv", dir, 65.7, "JPG");
        QCOMPARE(first, dir + "/movie_00-01-05.000.jpg");
        tvxtest::writeFile(first, "x");
        const QString second = VideoCaptureViewModel::buildOutputPath("/v/movie.mkv", dir, 65.2, "JPG");
        QCOMPARE(second, dir + "/movie_00-01-05.000(1).jpg");
        tvxtest::writeFile(second, "x");
        QCOMPARE(VideoCaptureViewModel::buildOutputPath("/v/movie.mkv", dir, 65, "jpg"),
                 dir + "/movie_00-01-05.000(2).jpg");
        QCOMPARE(VideoCaptureViewModel::buildOutputPath("/v/.mp4", dir, 0, "GIF"),
                 dir + "/capture_00-00-00.000.png");
        QCOMPARE(VideoCaptureViewModel::buildOutputPath(QString(), dir, 0, "PNG"), QString());

        // Every numbered name taken: no name at all, never a fixed fallback onto a taken file.
        const QString full = tvxtest::scratchPath("names_full");
        QDir().mkpath(full);
        tvxtest::writeFile(full + "/a.png", "x");
        for (int i = 1; i <= frames::kMaxNameCounter; ++i)
            QFile(full + QStringLiteral("/a(%1).png").arg(i)).open(QIODevice::WriteOnly);
        QCOMPARE(frames::freeNumberedPath(full, "a", "png"), QString());
        VideoCaptureViewModel::CaptureRequest request;
        request.grab.sourcePath = tvxtest::writeFile(tvxtest::scratchPath("names_src.mp4"), "x");
        const auto result = VideoCaptureViewModel::runCapture(request, nullptr);
        QVERIFY(!result.success);
        QCOMPARE(result.message, i18n::t("tool.video_capture.error.output_path_invalid"));
    }

    // A source named as long as a file name may be: the capture, the single frame, each frame of
    // a series and each exported copy keep their stamp and extension and fit NAME_MAX.
    void longNamesFit_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QString>("tail");
        QTest::newRow("capture") << "capture" << false << "_00-01-05.000.jpg";
        QTest::newRow("capture, name taken") << "capture" << true << "_00-01-05.000(1).jpg";
        QTest::newRow("single frame") << "single" << false << "_00-01-05.png";
        QTest::newRow("single frame, name taken") << "single" << true << "_00-01-05(1).png";
        QTest::newRow("series frame") << "series" << false << "_batch_20260102_030405006_000001.png";
        QTest::newRow("series frame, widest counter")
            << "series" << true << "_batch_20260102_030405006_2147483647.png";
        QTest::newRow("exported copy of a series frame")
            << "export" << true << "_batch_20260102_030405006_000001(1).png";
    }

    void longNamesFit()
    {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        QFETCH(QString, tail);
        const QString dir = tvxtest::scratchPath("long_names/" + QString(QTest::currentDataTag()));
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        const QString sourceName = tvxtest::longCjkFileName(255, "mp4");
        const QString source = "/v/" + sourceName;
        const QString base = QFileInfo(sourceName).completeBaseName();

        toimage::AddRequest request;
        request.sourcePath = source;
        request.previewFolder = dir;
        request.format = "PNG";
        request.singleSeconds = 65.7;
        request.now = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6));
        const auto name = [&]() -> QString {
            if (kind == "capture")
                return VideoCaptureViewModel::buildOutputPath(source, dir, 65.7, "JPG");
            if (kind == "single")
                return toimage::singleFramePath(request);
            const toimage::SeriesPlan plan = toimage::buildSeriesPlan(request);
            const QString frame =
                plan.prefix + (taken && kind == "series" ? "_2147483647.png" : "_000001.png");
            if (kind == "series")
                return dir + "/" + frame;
            // The export copies a frame to the output folder under its own name, numbered there.
            const QString output = dir + "/out";
            QDir().mkpath(output);
            tvxtest::writeFile(output + "/" + frame, "taken");
            return frames::freeNumberedPath(output, QFileInfo(frame).completeBaseName(), "png");
        };
        if (taken && kind != "series" && kind != "export")
            tvxtest::writeFile(name(), "taken");
        const QString path = name();
        const QString problem = tvxtest::shortenedNameProblem(path, base, tail);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        if (kind == "series") {
            // The pattern ffmpeg is given names the same frames.
            const toimage::SeriesPlan plan = toimage::buildSeriesPlan(request);
            QCOMPARE(QFileInfo(plan.arguments.last()).fileName(), plan.prefix + "_%06d.png");
        }
        QVERIFY2(tvxtest::writeFile(path, "x") == path && QFileInfo(path).size() == 1, qPrintable(path));
    }

    void captureSetters()
    {
        VideoCaptureViewModel model(nullptr, nullptr);
        QSignalSpy timeSpy(&model, &VideoCaptureViewModel::captureTimeChanged);
        QSignalSpy sizeSpy(&model, &VideoCaptureViewModel::outputResolutionChanged);
        model.setCaptureTimeSeconds(300); // no duration: no upper bound
        QCOMPARE(model.captureTimeSeconds(), 300.0);
        model.setCaptureTimeSeconds(std::nan(""));
        QCOMPARE(model.captureTimeSeconds(), 0.0);
        model.setCaptureTimeSeconds(0);
        QCOMPARE(timeSpy.count(), 2);
        model.stepCaptureTime(-500);
        QCOMPARE(model.captureTimeSeconds(), 0.0);

        const struct
        {
            int value;
            int stored;
        } widths[] = {{-5, 0}, {20000, 16384}, {1280, 1280}};
        for (const auto &row : widths) {
            model.setOutputWidth(row.value);
            QCOMPARE(model.outputWidth(), row.stored);
        }
        QCOMPARE(sizeSpy.count(), 2); // -5 stored 0 over 0: no change
        model.setOutputWidth(1280);
        QCOMPARE(sizeSpy.count(), 2);
        QCOMPARE(model.outputHeight(), 0); // no source size: the lock derives nothing

        const struct
        {
            const char *in;
            const char *format;
        } formats[] = {{" webp ", "WEBP"}, {"gif", "PNG"}, {"jpg", "JPG"}, {"bmp", "BMP"}};
        for (const auto &row : formats) {
            model.setOutputFormat(row.in);
            QCOMPARE(model.outputFormat(), QString(row.format));
        }
        model.setQualityPreset("LOW");
        QCOMPARE(model.qualityPreset(), QStringLiteral("low"));
        model.setQualityPreset("ultra");
        QCOMPARE(model.qualityPreset(), QStringLiteral("high"));

        QCOMPARE(frames::lockedDimension(1280, 1920, 1080), 720);
        QCOMPARE(frames::lockedDimension(16384, 1080, 1920), qRound(16384.0 * 1920 / 1080));

        // Not ready: only the status text, no signal.
        QSignalSpy finished(&model, &VideoCaptureViewModel::captureFinished);
        model.captureFrame();
        QCOMPARE(model.statusMessage(), i18n::t("tool.video_capture.status.require_valid_source_and_output"));
        QCOMPARE(finished.count(), 0);
    }

    void outputFolderPersists()
    {
        const QString folder = tvxtest::scratchPath("chosen/deeper");
        {
            VideoCaptureViewModel model(nullptr, nullptr);
            QSignalSpy spy(&model, &VideoCaptureViewModel::outputDirectoryChanged);
            model.setOutputDirectory(QUrl::fromLocalFile(folder).toString());
            model.setOutputDirectory("");
            QCOMPARE(spy.count(), 1);
        }
        VideoCaptureViewModel again(nullptr, nullptr);
        QCOMPARE(again.outputDirectory(), folder);
        QVERIFY(VideoCaptureViewModel::settingsFilePath().endsWith("video_capture.ini"));
        VideoToImageViewModel toImage(nullptr, nullptr);
        QVERIFY(toImage.outputDirectory().endsWith("/video_to_image"));
    }

    // A new source that does not exist replaces the running probe and ends its flag.
    void missingSourceEndsProbing()
    {
        FFprobeService prober(nullptr);
        VideoCaptureViewModel model(nullptr, &prober);
        const QString real = tvxtest::writeFile(tvxtest::scratchPath("probing/a.mp4"), "not a video");
        model.setSourceFromUrl(real);
        QVERIFY(model.probingSource());
        model.setSourceFromUrl(tvxtest::scratchPath("probing/missing.mp4"));
        QVERIFY(!model.probingSource());
        QVERIFY(!model.canCapture());

        VideoToImageViewModel toImage(nullptr, &prober);
        toImage.setSourceFromUrl(real);
        QVERIFY(toImage.probingSource());
        toImage.setSourceFromUrl(tvxtest::scratchPath("probing/missing.mp4"));
        QVERIFY(!toImage.probingSource());
    }

    void toImageSetters()
    {
        VideoToImageViewModel model(nullptr, nullptr);
        QSignalSpy rangeSpy(&model, &VideoToImageViewModel::continuousRangeChanged);
        model.setContinuousEndSeconds(20);
        model.setContinuousStartSeconds(30); // start above end moves the end
        QCOMPARE(model.continuousEndSeconds(), 30.0);
        model.setContinuousEndSeconds(10); // end below start moves the start
        QCOMPARE(model.continuousStartSeconds(), 10.0);
        QCOMPARE(rangeSpy.count(), 3);

        const struct
        {
            double in;
            double stored;
        } intervals[] = {{0.01, 0.04}, {5000, 3600}, {std::nan(""), 0.04}, {2.5, 2.5}};
        for (const auto &row : intervals) {
            model.setTimeIntervalSeconds(row.in);
            QCOMPARE(model.timeIntervalSeconds(), row.stored);
        }
        model.setFrameInterval(0);
        QCOMPARE(model.frameInterval(), 1);
        model.setFrameInterval(200000);
        QCOMPARE(model.frameInterval(), 100000);
        model.setCaptureMode(" CONTINUOUS ");
        QCOMPARE(model.captureMode(), QStringLiteral("continuous"));
        model.setCaptureMode("other");
        QCOMPARE(model.captureMode(), QStringLiteral("single"));
        model.setContinuousMode("ALL_FRAMES");
        QCOMPARE(model.continuousMode(), QStringLiteral("all_frames"));
        model.setContinuousMode("x");
        QCOMPARE(model.continuousMode(), QStringLiteral("time_interval"));
        model.setSingleCaptureTimeSeconds(7);
        QCOMPARE(model.timelineSeconds(), 7.0);

        QSignalSpy longSpy(&model, &VideoToImageViewModel::outputLongImageChanged);
        model.setOutputLongImage(true);
        QVERIFY(!model.outputLongImage());
        QCOMPARE(longSpy.count(), 0);
        QCOMPARE(model.statusMessage(),
                 i18n::t("tool.video_to_image.error.queue_empty_cannot_enable_long_image"));
    }

    void longImageLimits_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<bool>("over");
        QTest::newRow("111 1080p frames in PNG") << "PNG" << qint64(1920) << qint64(111 * 1080) << false;
        QTest::newRow("112 1080p frames in PNG") << "PNG" << qint64(1920) << qint64(112 * 1080) << true;
        QTest::newRow("67 of 4000x1000") << "BMP" << qint64(4000) << qint64(67 * 1000) << false;
        QTest::newRow("68 of 4000x1000") << "BMP" << qint64(4000) << qint64(68 * 1000) << true;
        QTest::newRow("JPG at 65500") << "JPG" << qint64(100) << qint64(65500) << false;
        QTest::newRow("JPG above 65500") << "JPG" << qint64(100) << qint64(65501) << true;
        QTest::newRow("WEBP at 16383") << "WEBP" << qint64(100) << qint64(16383) << false;
        QTest::newRow("WEBP above 16383") << "WEBP" << qint64(100) << qint64(16384) << true;
    }
    void longImageLimits()
    {
        QFETCH(QString, format);
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(bool, over);
        toimage::LongImageEstimate estimate;
        estimate.hasImages = true;
        estimate.maxWidth = width;
        estimate.totalHeight = height;
        estimate.estimatedBytes = width * height * 4;
        QCOMPARE(toimage::longImageOverLimit(estimate, format), over);
        if (over)
            QVERIFY(toimage::longImageOverLimitMessage(estimate, format)
                        .contains(QString::number(toimage::maxLongImageHeight(format))));
    }

    void stitchingPlacesFramesCentred()
    {
        const QString dir = tvxtest::scratchPath("stitch");
        QDir().mkpath(dir);
        QImage wide(40, 10, QImage::Format_RGB32);
        wide.fill(Qt::red);
        QImage narrow(20, 6, QImage::Format_RGB32);
        narrow.fill(Qt::blue);
        QVERIFY(wide.save(dir + "/a.png"));
        QVERIFY(narrow.save(dir + "/b.bmp"));
        tvxtest::writeFile(dir + "/broken.png", "not an image");
        const QString out = dir + "/long.png";
        QVERIFY(toimage::stitchImagesVertically({dir + "/a.png", dir + "/broken.png", dir + "/b.bmp"}, out));
        const QImage result(out);
        QCOMPARE(result.size(), QSize(40, 16));
        QCOMPARE(QColor(result.pixel(0, 0)), QColor(Qt::red));
        QCOMPARE(QColor(result.pixel(9, 12)), QColor(Qt::black)); // left of the centred narrow frame
        QCOMPARE(QColor(result.pixel(10, 12)), QColor(Qt::blue)); // x = (40 - 20) / 2
        QCOMPARE(QColor(result.pixel(30, 12)), QColor(Qt::black));
        const toimage::LongImageEstimate estimate =
            toimage::estimateLongImage({dir + "/a.png", dir + "/b.bmp"});
        QCOMPARE(estimate.totalHeight, qint64(16));
        QCOMPARE(estimate.estimatedBytes, qint64(40 * 16 * 4));
    }

    void exportListNeverReplaces()
    {
        const QString queue = tvxtest::scratchPath("export_queue");
        const QString out = tvxtest::scratchPath("export_out");
        QDir().mkpath(queue);
        QDir().mkpath(out);
        const QString a = tvxtest::writeFile(queue + "/a.png", "frame a");
        tvxtest::writeFile(out + "/a.png", "existing");
        toimage::ExportRequest request;
        request.outputFolder = out;
        request.sourcePaths = QStringList{a, queue + "/gone.png"};
        request.format = "PNG";
        const toimage::ExportResult result = toimage::runExport(request, nullptr);
        QVERIFY(result.success);
        QCOMPARE(result.producedFiles, QStringList{out + "/a(1).png"});
        QCOMPARE(result.consumedPaths, QStringList{a});
        QFile existing(out + "/a.png");
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("existing"));

        request.sourcePaths = QStringList{queue + "/gone.png"};
        const toimage::ExportResult none = toimage::runExport(request, nullptr);
        QVERIFY(!none.success);
        QCOMPARE(none.message, i18n::t("tool.video_to_image.error.no_image_exported_check_queue"));
    }
};

QTEST_GUILESS_MAIN(TstCaptureRules)
#include "tst_capture_rules.moc"
