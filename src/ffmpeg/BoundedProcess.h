// Runs a child process with a time limit, a cancel flag and capped output buffers.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace ffmpeg {

struct BoundedRunOptions
{
    int timeoutMs = 10000;   // from start to exit; the process is killed when it runs longer
    int startTimeoutMs = -1; // limit for the start alone; -1 uses timeoutMs
    int killGraceMs = 1000;  // wait after kill
    qint64 maxStdoutBytes = 8 * 1024 * 1024;
    qint64 maxStderrBytes = 256 * 1024;
    // When set, standard output is handed over chunk by chunk instead of being kept.
    std::function<void(const QByteArray &)> onStdout;
    // Checked between waits; either set flag kills the process (the owner's and the caller's).
    const std::atomic_bool *cancel = nullptr;
    const std::atomic_bool *callerCancel = nullptr;
};

struct BoundedRunResult
{
    enum class End { Finished, NotStarted, TimedOut, Cancelled };
    End end = End::NotStarted;
    bool normalExit = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    bool finished() const { return end == End::Finished; }
    bool succeeded() const { return finished() && normalExit && exitCode == 0; }
    // Time-outs, start failures and cancels say nothing about the file being read.
    bool transientFailure() const { return end != End::Finished; }
};

BoundedRunResult runBoundedProcess(const QString &program, const QStringList &arguments,
                                   const BoundedRunOptions &options);

} // namespace ffmpeg
