// Measures preview thumbnails per second against bare ffmpeg, the prober's cache hit and the
// job queue's overhead against starting the same process bare.
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "tasks/BackgroundTask.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kClips = 50;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double measureMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

bool runFfmpeg(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + args);
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

QStringList thumbnailArgs(const QString &clip, const QString &out)
{
    return {"-ss",
            "0.000",
            "-i",
            clip,
            "-frames:v",
            "1",
            "-vf",
            "scale=320:180:force_original_aspect_ratio=decrease,pad=320:180:(ow-iw)/2:(oh-ih)/2:black",
            out};
}

bool runProgram(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

// What the preview service runs for one file, started bare: the duration probe, the thumbnail
// and the quality probe, one after the other.
void previewWorkBare(const QString &clip, const QString &out)
{
    runProgram(QStringLiteral("ffprobe"),
               {"-v", "error", "-show_entries", "format=duration:stream=duration", "-of", "json", clip});
    runProgram(QStringLiteral("ffmpeg"),
               QStringList{"-nostdin", "-hide_banner", "-v", "error", "-y"} + thumbnailArgs(clip, out));
    runProgram(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                           "stream=width,height", "-of", "csv=s=x:p=0", clip});
}

void clearPngs(const QString &dir)
{
    for (const QString &f : QDir(dir).entryList({"*.png"}, QDir::Files))
        QFile::remove(dir + QLatin1Char('/') + f);
}

class ProcessTask : public BackgroundTask
{
public:
    ProcessTask() : BackgroundTask(QStringLiteral("bench"), QStringLiteral("format-convert")) {}

protected:
    void executeStart() override
    {
        markRunning(QString());
        QProcess p;
        p.start(QStringLiteral("/bin/true"), QStringList());
        p.waitForFinished(10000);
        markCompleted(QString());
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // Keep the user's folders out of it: the preview cache goes to a scratch data folder.
    QTemporaryDir scratch;
    for (const char *var : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(var, scratch.filePath(QString::fromLatin1(var)).toLocal8Bit());
    QCoreApplication app(argc, argv);
    // The prober logs every probe; measure the work, not the terminal.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const int runs = 3;
    std::printf("cores: %d\n", QThread::idealThreadCount());

    QStringList clips;
    for (int i = 0; i < kClips; ++i) {
        const QString clip = scratch.filePath(QStringLiteral("clip%1.mp4").arg(i));
        if (!runFfmpeg({"-f", "lavfi", "-i",
                        QStringLiteral("testsrc2=size=640x360:rate=25:duration=2,hue=h=%1").arg(i * 7),
                        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", clip})) {
            std::fprintf(stderr, "could not generate clips\n");
            return 1;
        }
        clips << clip;
    }

    // 1. Thumbnails through the service (idle limit) vs bare ffmpeg, sequential and 4-way.
    std::vector<double> service, sequential, parallel, sameWork;
    const QString cacheDir = MediaPreviewService::previewCacheDirectory();
    const QString bareDir = scratch.filePath(QStringLiteral("bare"));
    QDir().mkpath(bareDir);
    for (int r = 0; r < runs; ++r) {
        clearPngs(cacheDir);
        service.push_back(measureMs([&] {
            MediaPreviewService previews;
            int ready = 0;
            QEventLoop loop;
            QObject::connect(&previews, &MediaPreviewService::previewReady, &loop, [&] {
                if (++ready == kClips)
                    loop.quit();
            });
            for (const QString &clip : clips)
                previews.previewForFile(clip);
            loop.exec();
        }));
        clearPngs(bareDir);
        sequential.push_back(measureMs([&] {
            for (int i = 0; i < kClips; ++i)
                runFfmpeg(thumbnailArgs(clips[i], bareDir + QStringLiteral("/%1.png").arg(i)));
        }));
        clearPngs(bareDir);
        parallel.push_back(measureMs([&] {
            for (int i = 0; i < kClips; i += 4) {
                std::vector<std::unique_ptr<QProcess>> batch;
                for (int j = i; j < std::min(i + 4, kClips); ++j) {
                    auto p = std::make_unique<QProcess>();
                    p->start(QStringLiteral("ffmpeg"),
                             QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} +
                                 thumbnailArgs(clips[j], bareDir + QStringLiteral("/%1.png").arg(j)));
                    batch.push_back(std::move(p));
                }
                for (auto &p : batch)
                    p->waitForFinished(120000);
            }
        }));
        clearPngs(bareDir);
        sameWork.push_back(measureMs([&] {
            std::atomic_int next{0};
            std::vector<std::thread> workers;
            for (int w = 0; w < 4; ++w) {
                workers.emplace_back([&] {
                    for (int i = next++; i < kClips; i = next++)
                        previewWorkBare(clips[i], bareDir + QStringLiteral("/%1.png").arg(i));
                });
            }
            for (std::thread &t : workers)
                t.join();
        }));
    }
    const double s = median(service), q = median(sequential), p4 = median(parallel), same = median(sameWork);
    std::printf("previews (%d clips: one ffprobe run and the thumbnail each): %.1f/s  (%.0f ms)\n", kClips,
                kClips * 1000.0 / s, s);
    std::printf("bare ffmpeg sequential: %.1f/s  ratio service/sequential %.2f\n", kClips * 1000.0 / q,
                q / s);
    std::printf("bare ffmpeg 4-way:      %.1f/s  ratio service/4-way %.2f\n", kClips * 1000.0 / p4, p4 / s);
    std::printf("same processes bare (duration probe, thumbnail, quality probe), 4 files at a time: %.1f/s\n"
                "  ratio service/same work %.2f   (target >= 0.90; service runs %d at a time)\n",
                kClips * 1000.0 / same, same / s, MediaPreviewService().maxConcurrentJobs());

    // 2. Prober cache hit vs miss.
    FFmpegEnvironment environment;
    std::vector<double> miss, hit;
    constexpr int kHits = 10000;
    for (int r = 0; r < runs; ++r) {
        FFprobeService prober(&environment);
        miss.push_back(measureMs([&] { prober.probeMedia(clips[r]); }));
        hit.push_back(measureMs([&] {
                          for (int i = 0; i < kHits; ++i)
                              prober.probeMedia(clips[r]);
                      }) /
                      kHits);
    }
    std::printf("prober miss: %.2f ms  cache hit: %.1f us  ratio %.0fx\n", median(miss), median(hit) * 1000.0,
                median(miss) / median(hit));

    // 3. A trivial job through the queue vs the same process started bare.
    constexpr int kJobs = 50;
    std::vector<double> queued, bare;
    for (int r = 0; r < runs; ++r) {
        TaskManager manager;
        std::vector<std::unique_ptr<ProcessTask>> tasks;
        for (int i = 0; i < kJobs; ++i)
            tasks.push_back(std::make_unique<ProcessTask>());
        queued.push_back(measureMs([&] {
                             int finished = 0;
                             QEventLoop loop;
                             QObject::connect(manager.scheduler(), &TaskScheduler::taskFinished, &loop, [&] {
                                 if (++finished == kJobs)
                                     loop.quit();
                             });
                             for (auto &t : tasks)
                                 manager.submitTask(t.get());
                             loop.exec();
                         }) /
                         kJobs);
        bare.push_back(measureMs([&] {
                           for (int i = 0; i < kJobs; ++i) {
                               QProcess proc;
                               proc.start(QStringLiteral("/bin/true"), QStringList());
                               proc.waitForFinished(10000);
                           }
                       }) /
                       kJobs);
    }
    std::printf("job via TaskManager: %.2f ms  bare process: %.2f ms  overhead %.2f ms (ratio %.2f)\n",
                median(queued), median(bare), median(queued) - median(bare), median(queued) / median(bare));
    return 0;
}
