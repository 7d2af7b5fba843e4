// Wall time of a conversion and a compression through the job queue beside the same ffmpeg
// command run bare, and the cost of reading one hour of "-progress" output.
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/common/FFmpegProgressParser.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/video_compress/VideoCompressTask.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
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
    // Output is read and dropped, as the job does.
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] { process.readAllStandardOutput(); });
    QObject::connect(&process, &QProcess::readyReadStandardError, [&] { process.readAllStandardError(); });
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(5000) || !process.waitForFinished(-1))
        return false;
    *seconds = timer.nsecsElapsed() / 1e9;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool runJob(BackgroundTask *task, double *seconds)
{
    TaskManager manager;
    QEventLoop loop;
    QObject::connect(manager.scheduler(), &TaskScheduler::taskFinished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    manager.submitTask(task);
    loop.exec();
    *seconds = timer.nsecsElapsed() / 1e9;
    return task->status() == BackgroundTask::Completed;
}

void clearFolder(const QString &dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

// One block of what ffmpeg prints every 0.5 s for "-progress pipe:1".
QByteArray progressBlock(int index)
{
    const qint64 us = qint64(index) * 500000;
    return QStringLiteral("frame=%1\nfps=50.00\nstream_0_0_q=28.0\nbitrate=1834.2kbits/s\ntotal_size=%2\n"
                          "out_time_us=%3\nout_time_ms=%3\nout_time=%4\ndup_frames=0\ndrop_frames=0\n"
                          "speed=2.01x\nprogress=continue\n")
        .arg(index * 12)
        .arg(qint64(index) * 114000)
        .arg(us)
        .arg(QStringLiteral("00:00:00.000000"))
        .toLatin1();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--runs"));
    if (at >= 0 && at + 1 < args.size())
        runs = qMax(1, args.at(at + 1).toInt());

    std::printf("convert_bench: %d cores, median of %d runs\n", QThread::idealThreadCount(), runs);

    // Reading one hour of progress output (7200 blocks, one read each).
    {
        std::vector<QByteArray> blocks;
        for (int i = 0; i < 7200; ++i)
            blocks.push_back(progressBlock(i));
        std::vector<double> incremental;
        qint64 bytes = 0;
        for (int r = 0; r < 5; ++r) {
            QElapsedTimer timer;
            timer.start();
            tools::FFmpegProgressParser parser;
            bytes = 0;
            for (const QByteArray &block : blocks) {
                parser.feed(block);
                bytes += block.size();
            }
            incremental.push_back(timer.nsecsElapsed() / 1e6);
            if (parser.lastOutTime() != qint64(7199) * 500000)
                std::printf("  progress reader gave a wrong value\n");
        }
        // The whole-buffer rescan it replaces, over the first ten minutes only (it is quadratic).
        const QRegularExpression pattern(QStringLiteral("out_time_ms=(\\d+)"));
        QElapsedTimer timer;
        timer.start();
        QByteArray all;
        for (int i = 0; i < 1200; ++i) {
            all.append(blocks[size_t(i)]);
            QRegularExpressionMatchIterator it = pattern.globalMatch(QString::fromUtf8(all));
            qint64 last = -1;
            while (it.hasNext())
                last = it.next().captured(1).toLongLong();
            Q_UNUSED(last)
        }
        const double rescan = timer.nsecsElapsed() / 1e6;
        std::printf("progress, 1 h (%lld bytes, 7200 reads): incremental %.2f ms\n",
                    static_cast<long long>(bytes), median(incremental));
        std::printf("progress, first 10 min: whole-buffer rescan %.1f ms\n", rescan);
    }

    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("clip720p.mp4"));
    FFmpegEnvironment environment(work.filePath(QStringLiteral("no-ffmpeg-here")));
    if (!environment.ready()) {
        std::printf("ffmpeg/ffprobe not found; skipping the conversion figures\n");
        return 0;
    }
    double made = 0;
    if (!runBare(environment.ffmpegExecutablePath(),
                 {"-nostdin",
                  "-hide_banner",
                  "-y",
                  "-f",
                  "lavfi",
                  "-i",
                  "testsrc2=size=1280x720:rate=30:duration=60",
                  "-f",
                  "lavfi",
                  "-i",
                  "sine=frequency=440:sample_rate=44100:duration=60",
                  "-c:v",
                  "libx264",
                  "-preset",
                  "veryfast",
                  "-pix_fmt",
                  "yuv420p",
                  "-c:a",
                  "aac",
                  "-shortest",
                  source},
                 &made)) {
        std::printf("could not make the 60 s 720p clip\n");
        return 1;
    }
    FFprobeService prober(&environment);
    const FFprobeService::MediaInfo info = prober.probeMedia(source);
    const QString outDir = work.filePath(QStringLiteral("out"));

    auto compare = [&](const char *label, const QString &extension,
                       const std::function<BackgroundTask *()> &makeTask,
                       const std::function<QStringList(const QString &)> &bareArguments) {
        std::vector<double> jobTimes, bareTimes;
        for (int r = 0; r < runs; ++r) {
            double bare = 0, job = 0;
            auto bareRun = [&] {
                clearFolder(outDir);
                const QString bareOut = outDir + QStringLiteral("/bare.__tvx_tmp__.%1.part.%2")
                                                     .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))
                                                     .arg(extension);
                if (runBare(environment.ffmpegExecutablePath(), bareArguments(bareOut), &bare))
                    return true;
                std::printf("%s: bare ffmpeg failed\n", label);
                return false;
            };
            auto jobRun = [&] {
                clearFolder(outDir);
                std::unique_ptr<BackgroundTask> task(makeTask());
                if (runJob(task.get(), &job))
                    return true;
                std::printf("%s: job failed: %s\n", label, qPrintable(task->errorText().left(300)));
                return false;
            };
            // Alternating the order keeps a warm cache or a busy neighbour from favouring one side.
            const bool ok = r % 2 ? (jobRun() && bareRun()) : (bareRun() && jobRun());
            if (!ok)
                return;
            bareTimes.push_back(bare);
            jobTimes.push_back(job);
        }
        const double j = median(jobTimes), b = median(bareTimes);
        std::printf("%s: job %.2f s, bare ffmpeg %.2f s, ratio %.3f\n", label, j, b, j / b);
    };

    FormatConvertParams convert;
    convert.sourcePath = source;
    convert.outputDirectory = outDir;
    convert.outputFormat = QStringLiteral("MKV");
    compare(
        "convert 60 s 720p to MKV", QStringLiteral("mkv"),
        [&] {
            return new FormatConvertTask(QUuid::createUuid().toString(QUuid::WithoutBraces), convert,
                                         &prober);
        },
        [&](const QString &out) { return FormatConvertTask::buildFFmpegArguments(convert, out); });

    VideoCompressParams compress;
    compress.sourcePath = source;
    compress.outputDirectory = outDir;
    const VideoCompressTask::CompressionPlan plan =
        VideoCompressTask::compressionPlanFor(compress, QFileInfo(source).size(), info);
    compare(
        "compress 60 s 720p (Balanced 70%)", QStringLiteral("mp4"),
        [&] {
            return new VideoCompressTask(QUuid::createUuid().toString(QUuid::WithoutBraces), compress,
                                         &prober);
        },
        [&](const QString &out) { return VideoCompressTask::buildFFmpegArguments(compress, plan, out); });
    return 0;
}
