// Runs a child process with a time limit, a cancel flag and capped output buffers.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace ffmpeg {

// How long a killed child is given to go.
inline constexpr int kKillGraceMs = 1000;
// A job that writes a file is asked to stop first so that ffmpeg can close it; these are the
// waits after that request and after the kill that follows when it is ignored.
inline constexpr int kJobTerminateGraceMs = 1500;
inline constexpr int kJobKillGraceMs = 1500;

struct BoundedRunOptions
{
    // From start to exit; the process is stopped when it runs longer. Negative: no limit.
    int timeoutMs = 10000;
    int startTimeoutMs = -1; // limit for the start alone; -1 uses timeoutMs
    int pollMs = 50;         // the cancel flags and the time limit are looked at this often
    // Above 0: a stop first asks the process to end and waits this long before it kills.
    int terminateGraceMs = 0;
    int killGraceMs = kKillGraceMs; // wait after kill
    qint64 maxStdoutBytes = 8 * 1024 * 1024;
    qint64 maxStderrBytes = 256 * 1024;
    // Keeps the last maxStderrBytes instead of the first: ffmpeg may repeat a complaint per
    // frame, and the end of its text holds the reason for a failure.
    bool keepStderrTail = false;
    // When set, standard output is handed over chunk by chunk instead of being kept.
    std::function<void(const QByteArray &)> onStdout;
    // Called once the process has started.
    std::function<void()> onStarted;
    // Checked between waits: a set flag (the owner's or the caller's) or a true answer stops
    // the process, and one before the start keeps it from starting.
    const std::atomic_bool *cancel = nullptr;
    const std::atomic_bool *callerCancel = nullptr;
    std::function<bool()> cancelRequested;
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
