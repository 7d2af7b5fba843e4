// The one child-process runner: the prober, the previews, the frame tools and the file-writing
// jobs all start, read, time out and stop ffmpeg/ffprobe through it.
#include "ffmpeg/BoundedProcess.h"

#include <QDeadlineTimer>
#include <QProcess>

namespace ffmpeg {
namespace {

void appendCapped(QByteArray &buffer, const QByteArray &chunk, qint64 cap, bool keepTail)
{
    if (keepTail) {
        buffer.append(chunk);
        const qint64 excess = buffer.size() - qMax<qint64>(0, cap);
        if (excess > 0)
            buffer.remove(0, static_cast<int>(excess));
        return;
    }
    const qint64 room = cap - buffer.size();
    if (room > 0)
        buffer.append(chunk.constData(), static_cast<int>(qMin<qint64>(room, chunk.size())));
}

void stopProcess(QProcess &process, const BoundedRunOptions &options)
{
    if (options.terminateGraceMs > 0) {
        process.terminate();
        if (process.waitForFinished(options.terminateGraceMs))
            return;
    }
    process.kill();
    process.waitForFinished(options.killGraceMs);
}

} // namespace

BoundedRunResult runBoundedProcess(const QString &program, const QStringList &arguments,
                                   const BoundedRunOptions &options)
{
    BoundedRunResult result;
    const auto cancelled = [&options] {
        return (options.cancel && options.cancel->load()) ||
               (options.callerCancel && options.callerCancel->load()) ||
               (options.cancelRequested && options.cancelRequested());
    };
    if (cancelled()) {
        result.end = BoundedRunResult::End::Cancelled;
        return result;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());

    const bool limited = options.timeoutMs >= 0;
    const QDeadlineTimer deadline =
        limited ? QDeadlineTimer(options.timeoutMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    const int startLimit = options.startTimeoutMs >= 0 ? options.startTimeoutMs : options.timeoutMs;
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(startLimit >= 0 ? startLimit : -1)) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(options.killGraceMs);
        }
        result.end = BoundedRunResult::End::NotStarted;
        return result;
    }
    if (options.onStarted)
        options.onStarted();

    auto drain = [&]() {
        const QByteArray out = process.readAllStandardOutput();
        if (!out.isEmpty()) {
            if (options.onStdout)
                options.onStdout(out);
            else
                appendCapped(result.standardOutput, out, options.maxStdoutBytes, false);
        }
        const QByteArray err = process.readAllStandardError();
        if (!err.isEmpty())
            appendCapped(result.standardError, err, options.maxStderrBytes, options.keepStderrTail);
    };

    result.end = BoundedRunResult::End::Finished;
    const int pollMs = qMax(1, options.pollMs);
    for (;;) {
        // Waiting for the end rather than for output still reads the pipes, and wakes at least
        // every step to look at the cancel flags and the time limit.
        const bool done = process.waitForFinished(pollMs) || process.state() == QProcess::NotRunning;
        drain();
        if (done)
            break;
        if (cancelled()) {
            result.end = BoundedRunResult::End::Cancelled;
            break;
        }
        if (limited && deadline.hasExpired()) {
            result.end = BoundedRunResult::End::TimedOut;
            break;
        }
    }

    if (result.end != BoundedRunResult::End::Finished) {
        stopProcess(process, options);
        // What the process wrote while it was stopping still counts (the last progress line).
        drain();
        return result;
    }
    result.normalExit = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}

} // namespace ffmpeg
