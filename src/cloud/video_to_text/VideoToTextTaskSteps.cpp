// The video-to-text job's local steps: its progress, the audio extracted with ffmpeg, and the
// result downloaded and committed under a free name.
#include "cloud/video_to_text/VideoToTextTask.h"

#include "cloud/video_to_text/VideoToTextTaskInternal.h"
#include "cloud/video_to_text/VideoToTextTiming.h"
#include "core/Log.h"
#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/FFmpegCommandBuilder.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "tools/common/OutputNaming.h"
#include "webapi/BlockingHttp.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cmath>

using tools::video_to_text::msg;

namespace {

// ffmpeg may repeat a complaint per frame; the end of its output holds the reason for a failure.
constexpr int kMaxStderrBytes = 256 * 1024;

bool sameProgress(double a, double b)
{
    // Compared one up, so that a value near 0 is not held to a tolerance of nothing.
    return std::abs((a + 1.0) - (b + 1.0)) * 1000000000000.0 <=
           std::min(std::abs(a + 1.0), std::abs(b + 1.0));
}

double clampUnit(double value)
{
    return value > 1.0 ? 1.0 : (value > 0.0 ? value : 0.0);
}

} // namespace

bool VideoToTextTask::cancelRequested() const
{
    return m_cancelRequested.load() || isCancelRequested();
}

void VideoToTextTask::advanceProgress(double value)
{
    const double clamped = clampUnit(value);
    if (clamped <= m_progressFloor)
        return;
    m_progressFloor = clamped;
    setProgress(clamped);
}

double VideoToTextTask::currentProgressFloor() const
{
    return m_progressFloor;
}

bool VideoToTextTask::animateProgressSegment(double from, double to, int durationMs)
{
    from = clampUnit(from);
    to = clampUnit(to);
    const int stepMs = qMax(1, tools::videoToTextTiming().animationStepMs);
    if (durationMs > 0 && !sameProgress(from, to)) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < durationMs) {
            if (cancelRequested())
                return false;
            const double x = static_cast<double>(clock.elapsed()) / durationMs;
            advanceProgress(from + (to - from) * logEaseOut(x));
            QThread::msleep(static_cast<unsigned long>(stepMs));
        }
    }
    advanceProgress(to);
    return true;
}

bool VideoToTextTask::extractAudioToTemp(const QString &workingDirectory, QString *audioPath,
                                         QString *errorText) const
{
    if (!audioPath || !errorText)
        return false;
    const FFmpegEnvironment environment;
    if (!environment.hasFFmpegExecutable()) {
        *errorText = msg("ffmpeg_executable_not_found");
        return false;
    }
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    const QString source = sourcePath();
    const QString outputPath =
        workingDirectory + QLatin1Char('/') +
        QStringLiteral("%1_%2.mp3").arg(audioBaseNameFor(source)).arg(QDateTime::currentMSecsSinceEpoch());
    // -nostdin and -hide_banner: ffmpeg must never wait for a key, and its error text is shown
    // to the user, so the version banner must not bury the reason.
    const FFmpegCommandBuilder::Command command = FFmpegCommandBuilder::create(
        environment.ffmpegExecutablePath(),
        {QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"), QStringLiteral("-y"),
         QStringLiteral("-i"), source, QStringLiteral("-vn"), QStringLiteral("-ac"), QStringLiteral("1"),
         QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-f"), QStringLiteral("mp3"),
         outputPath});

    ffmpeg::BoundedRunOptions options;
    options.timeoutMs = -1; // a long video takes long; the cancel is the way out
    options.startTimeoutMs = timing.ffmpegStartMs;
    options.pollMs = timing.ffmpegCheckMs;
    options.terminateGraceMs = ffmpeg::kJobTerminateGraceMs;
    options.killGraceMs = ffmpeg::kJobKillGraceMs;
    options.maxStdoutBytes = 0;
    options.keepStderrTail = true;
    options.cancelRequested = [this] { return cancelRequested(); };
    const ffmpeg::BoundedRunResult run =
        ffmpeg::runBoundedProcess(command.program, command.arguments, options);
    if (run.end == ffmpeg::BoundedRunResult::End::NotStarted) {
        *errorText = msg("start_ffmpeg_failed");
        return false;
    }
    if (cancelRequested()) {
        *errorText = msg("task_cancelled");
        return false;
    }
    if (run.succeeded() && QFileInfo::exists(outputPath)) {
        *audioPath = QDir::fromNativeSeparators(QFileInfo(outputPath).absoluteFilePath());
        return true;
    }
    const QString text = QString::fromUtf8(run.standardError).trimmed();
    *errorText = text.isEmpty() ? msg("audio_extraction_failed") : text;
    return false;
}

bool VideoToTextTask::downloadResultFile(const QString &url, const QString &targetPath, int timeoutMs,
                                         QString *errorText, QString *savedPath)
{
    if (!errorText)
        return false;
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    TVX_LOG_INFO << QStringLiteral("[VideoToText] start download, taskId=%1 url=%2 target=%3")
                        .arg(taskId(), app::maskAddress(url), targetPath);

    // The body goes to a name of this job's own first, so no reader ever sees half a result and
    // the final name is chosen only once the whole file is on disk. The file is made when the
    // first byte arrives: an answer without a body leaves nothing behind.
    const QFileInfo target(targetPath);
    const QString temporaryPath = tools::temporaryOutputFilePath(target.absoluteFilePath(), taskId());
    QFile temporary(temporaryPath);
    QString storeError;
    auto store = [&](const char *data, size_t size) {
        if (!temporary.isOpen()) {
            if (!QDir().mkpath(target.absolutePath())) {
                storeError = msg("create_output_directory_failed");
                return false;
            }
            if (!temporary.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                storeError = msg("open_output_file_failed");
                return false;
            }
        }
        if (temporary.write(data, qint64(size)) != qint64(size)) {
            storeError = msg("save_output_file_failed");
            return false;
        }
        return true;
    };
    QElapsedTimer sinceCreep;
    sinceCreep.start();
    auto report = [&](uint64_t received, uint64_t total) {
        if (total > 0) {
            const double r = static_cast<double>(received) / static_cast<double>(total);
            double p = 0.8;
            if (r > 1.0)
                p = 0.99;
            else if (r > 0.0)
                p = qBound(0.8, 0.8 + 0.19 * logEaseOut(r), 0.99);
            advanceProgress(p);
        } else if (sinceCreep.elapsed() >= timing.downloadCreepMs) {
            // Without a total the bar creeps one step per interval. libcurl reports every piece
            // of at most 16 KiB: an animation held per report would stall the transfer.
            sinceCreep.restart();
            advanceProgress(qMin(0.98, currentProgressFloor() + 0.01));
        }
    };

    // The address comes from the server: only http and https are fetched (a file, device or
    // pipe named there never is), redirects never step down from https, the answer streams to
    // disk up to a cap, and the API's certificate settings apply.
    webapi::BlockingRequest request;
    request.url = url.toStdString();
    request.headers = {"User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) Tavrixo/1.0"};
    request.timeoutMs = qMax(1, timeoutMs);
    request.followRedirects = true;
    request.maxBodyBytes = uint64_t(qMax<qint64>(0, timing.downloadMaxBytes));
    request.sink = store;
    request.cancelled = [this] { return cancelRequested(); };
    request.checkMs = qMax(1, timing.downloadCheckMs);
    request.progress = report;
    const webapi::BlockingResult fetched = webapi::blockingTransfer(request);

    bool stored = temporary.isOpen() && temporary.flush();
    temporary.close();
    stored = stored && temporary.error() == QFileDevice::NoError;
    auto fail = [&](const QString &text) {
        QFile::remove(temporaryPath);
        *errorText = text;
        return false;
    };
    if (cancelRequested())
        return fail(msg("task_cancelled"));
    if (fetched.outcome == webapi::BlockingOutcome::TimedOut)
        return fail(msg("download_timeout"));
    if (fetched.outcome == webapi::BlockingOutcome::WriteFailed)
        return fail(storeError.isEmpty() ? msg("save_output_file_failed") : storeError);
    if (!fetched.ok() || fetched.bodyBytes == 0) {
        TVX_LOG_WARN << QStringLiteral("[VideoToText] download failed, taskId=%1 reason=%2")
                            .arg(taskId(), app::logExcerpt(QString::fromStdString(fetched.error)));
        // A refused address or an oversized answer is the server's doing: the plain download
        // failure. A transport error keeps libcurl's own words.
        const bool transport = fetched.outcome == webapi::BlockingOutcome::HttpError ||
                               fetched.outcome == webapi::BlockingOutcome::Failed;
        const QString text = QString::fromStdString(fetched.error).trimmed();
        return fail(transport && !text.isEmpty() ? text : msg("download_failed"));
    }
    if (!stored)
        return fail(msg("save_output_file_failed"));
    return commitResultFile(temporaryPath, target.absoluteFilePath(), savedPath, errorText);
}

bool VideoToTextTask::commitResultFile(const QString &temporaryPath, const QString &targetPath,
                                       QString *savedPath, QString *errorText)
{
    QMutexLocker lock(&m_commitMutex);
    if (cancelRequested()) {
        QFile::remove(temporaryPath);
        *errorText = msg("task_cancelled");
        return false;
    }
    // Chosen now rather than before the download: a file that appeared meanwhile is not replaced.
    const QString committed = tools::renameToFreeName(
        temporaryPath, [&targetPath](const QString &) { return ensureUniqueFilePath(targetPath); });
    if (!committed.isEmpty()) {
        m_committed = true;
        if (savedPath)
            *savedPath = QDir::fromNativeSeparators(committed);
        return true;
    }
    QFile::remove(temporaryPath);
    *errorText = msg("save_output_file_failed");
    return false;
}
