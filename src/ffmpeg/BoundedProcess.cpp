// Child-process runner shared by the prober, the preview service and the command runner.
#include "ffmpeg/BoundedProcess.h"

#include <QDeadlineTimer>
#include <QProcess>

namespace ffmpeg {
namespace {

constexpr int kPollStepMs = 50;

void appendCapped(QByteArray &buffer, const QByteArray &chunk, qint64 cap)
{
    const qint64 room = cap - buffer.size();
    if (room > 0)
        buffer.append(chunk.constData(), static_cast<int>(qMin<qint64>(room, chunk.size())));
}

} // namespace

BoundedRunResult runBoundedProcess(const QString &program, const QStringList &arguments,
                                   const BoundedRunOptions &options)
{
    BoundedRunResult result;
    const auto cancelled = [&options] {
        return (options.cancel && options.cancel->load()) ||
               (options.callerCancel && options.callerCancel->load());
    };
    if (cancelled()) {
        result.end = BoundedRunResult::End::Cancelled;
        return result;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());

    const QDeadlineTimer deadline(qMax(0, options.timeoutMs));
    const int startLimit = options.startTimeoutMs >= 0 ? options.startTimeoutMs : options.timeoutMs;
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(qMax(0, startLimit))) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(options.killGraceMs);
        }
        result.end = BoundedRunResult::End::NotStarted;
        return result;
    }

    auto drain = [&]() {
        const QByteArray out = process.readAllStandardOutput();
        if (!out.isEmpty()) {
            if (options.onStdout)
                options.onStdout(out);
            else
                appendCapped(result.standardOutput, out, options.maxStdoutBytes);
        }
        const QByteArray err = process.readAllStandardError();
        if (!err.isEmpty())
            appendCapped(result.standardError, err, options.maxStderrBytes);
    };

    result.end = BoundedRunResult::End::Finished;
    for (;;) {
        const bool done = process.waitForFinished(kPollStepMs) || process.state() == QProcess::NotRunning;
        drain();
        if (done)
            break;
        if (cancelled()) {
            result.end = BoundedRunResult::End::Cancelled;
            break;
        }
        if (deadline.hasExpired()) {
            result.end = BoundedRunResult::End::TimedOut;
            break;
        }
    }

    if (result.end != BoundedRunResult::End::Finished) {
        process.kill();
        process.waitForFinished(options.killGraceMs);
        return result;
    }
    result.normalExit = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}

} // namespace ffmpeg
