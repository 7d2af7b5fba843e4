// One-frame capture and a 120-frame series through the view models beside the same ffmpeg
// commands run bare, and the peak memory of stitching 111 frames of 1080p into one image.
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "tools/video_capture/FrameToolSupport.h"
#include "tools/video_capture/VideoCaptureViewModel.h"
#include "tools/video_to_image/VideoToImageViewModel.h"
#include "tools/video_to_image/VideoToImageWork.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

bool runBare(const QString &program, const QStringList &arguments, double *seconds)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(5000) || !process.waitForFinished(-1))
        return false;
    *seconds = timer.nsecsElapsed() / 1e9;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeClip(const QString &path, const QString &size, double seconds)
{
    double ignored = 0;
    return runBare(QStringLiteral("ffmpeg"),
                   {"-v", "error", "-y", "-f", "lavfi", "-i",
                    QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size).arg(seconds), "-c:v",
                    "libx264", "-pix_fmt", "yuv420p", path},
                   &ignored);
}

// Sleeps in the event loop between checks, so the wait takes no core from ffmpeg.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

qint64 peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Child mode: stitch the frames of a folder and report the peak resident size.
int stitchChild(const QString &folder, const QString &output)
{
    QStringList frames;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
        frames << QDir(folder).filePath(name);
    const qint64 before = peakRssKb();
    QElapsedTimer timer;
    timer.start();
    const bool ok = tools::toimage::stitchImagesVertically(frames, output);
    std::printf("%d %lld %lld %.3f\n", ok ? 1 : 0, static_cast<long long>(before),
                static_cast<long long>(peakRssKb()), timer.nsecsElapsed() / 1e9);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && QByteArray(argv[1]) == "--stitch") {
        QCoreApplication app(argc, argv);
        return stitchChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));
    QTemporaryDir work;
    const QString clip = work.filePath(QStringLiteral("clip.mp4"));
    const QString seriesClip = work.filePath(QStringLiteral("series.mp4"));
    if (!makeClip(clip, QStringLiteral("1920x1080"), 10) ||
        !makeClip(seriesClip, QStringLiteral("640x360"), 4.8)) {
        std::fprintf(stderr, "could not make the clips\n");
        return 1;
    }
    FFmpegEnvironment environment;
    FFprobeService prober(&environment);
    const QString ffmpeg = environment.ffmpegExecutablePath();
    const int runs = 9;

    // One frame at 6.5 s of a 1080p clip, as PNG.
    {
        VideoCaptureViewModel model(&environment, &prober);
        model.setOutputDirectory(work.filePath(QStringLiteral("captures")));
        model.setSourceFromUrl(clip);
        waitFor([&] { return !model.probingSource(); }, 20000);
        model.setCaptureTimeSeconds(6.5);
        std::vector<double> tool, bare;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer timer;
            timer.start();
            model.captureFrame();
            waitFor([&] { return !model.busy(); }, 30000);
            tool.push_back(timer.nsecsElapsed() / 1e9);

            tools::frames::FrameGrabRequest request;
            request.sourcePath = clip;
            request.outputPath = work.filePath(QStringLiteral("bare_%1.png").arg(i));
            request.seconds = 6.5;
            request.format = QStringLiteral("PNG");
            request.width = 1920;
            request.height = 1080;
            request.qualityPreset = QStringLiteral("high");
            double seconds = 0;
            runBare(ffmpeg, tools::frames::buildFrameGrabArguments(request), &seconds);
            bare.push_back(seconds);
        }
        std::printf("capture one 1080p frame: tool %.3f s, bare ffmpeg %.3f s, ratio %.2f (median of %d)\n",
                    median(tool), median(bare), median(tool) / median(bare), runs);
    }

    // A 120-frame series (every frame of 4.8 s at 25 fps), as JPG.
    {
        VideoToImageViewModel model(&environment, &prober);
        model.setSourceFromUrl(seriesClip);
        waitFor([&] { return !model.probingSource(); }, 20000);
        model.setCaptureMode(QStringLiteral("continuous"));
        model.setContinuousMode(QStringLiteral("all_frames"));
        model.setOutputFormat(QStringLiteral("JPG"));
        model.setContinuousStartSeconds(0);
        model.setContinuousEndSeconds(0);
        std::vector<double> tool, bare;
        int frames = 0;
        for (int i = 0; i < 5; ++i) {
            model.clearPreviewItems();
            QElapsedTimer timer;
            timer.start();
            model.addToExportList();
            waitFor([&] { return !model.addingToListBusy(); }, 120000);
            tool.push_back(timer.nsecsElapsed() / 1e9);
            frames = model.previewCount();

            tools::toimage::AddRequest request;
            request.sourcePath = seriesClip;
            request.previewFolder = work.filePath(QStringLiteral("bare_series"));
            QDir().mkpath(request.previewFolder);
            request.format = QStringLiteral("JPG");
            request.qualityPreset = QStringLiteral("high");
            request.width = 640;
            request.height = 360;
            request.continuousMode = QStringLiteral("all_frames");
            request.now = QDateTime::currentDateTime().addSecs(i);
            double seconds = 0;
            runBare(ffmpeg, tools::toimage::buildSeriesPlan(request).arguments, &seconds);
            bare.push_back(seconds);
        }
        std::printf("series of %d frames: tool %.3f s, bare ffmpeg %.3f s, ratio %.2f (median of 5)\n",
                    frames, median(tool), median(bare), median(tool) / median(bare));
    }

    // 111 frames of 1080p stitched into one 1920x119880 PNG, in a child process of its own.
    {
        const QString frames = work.filePath(QStringLiteral("frames"));
        QDir().mkpath(frames);
        double ignored = 0;
        runBare(ffmpeg,
                {"-v", "error", "-y", "-i", clip, "-frames:v", "111", "-compression_level", "1",
                 QDir(frames).filePath(QStringLiteral("f_%04d.png"))},
                &ignored);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--stitch"), frames, work.filePath(QStringLiteral("long.png"))});
        child.waitForFinished(-1);
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        const double imageMb = 1920.0 * 111 * 1080 * 4 / 1048576.0;
        const double peakMb = fields.value(2).toDouble() / 1024.0;
        const double baseMb = fields.value(1).toDouble() / 1024.0;
        std::printf("stitch 111 1080p frames: ok %s, peak RSS %.0f MB (%.0f MB before), image %.0f MB, "
                    "peak/image %.2f (goal < 3), %s s\n",
                    fields.value(0).constData(), peakMb, baseMb, imageMb, peakMb / imageMb,
                    fields.value(3).constData());
    }
    return 0;
}
