// What the capture and to-image tools share: paths, time texts, output sizes, image formats,
// free names, the persisted output folder, one-frame ffmpeg runs and the wait for pool jobs.
#pragma once

#include "core/ProcessWide.h"
#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/PoolJob.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <type_traits>
#include <utility>

namespace tools::frames {

// Time limits of the tools' ffmpeg runs, process-wide, so tests can shorten them.
struct Timings
{
    int captureMs = 20000;     // one capture of the capture tool
    int singleFrameMs = 30000; // one frame of the to-image tool
    int seriesMs = 120000;     // one series of the to-image tool
    int killGraceMs = ffmpeg::kKillGraceMs;
};
inline Timings timings()
{
    return app::ProcessWide<Timings>::get();
}
inline void setTimings(const Timings &value)
{
    app::ProcessWide<Timings>::set(value);
}

inline constexpr int kMaxOutputDimension = 16384;
inline constexpr int kMaxNameCounter = 99999;

// Trimmed text, a file URL's local path, made absolute with forward slashes; empty stays empty.
QString normalizeLocalPath(const QString &urlOrPath);
// "HH:MM:SS.mmm", hours not wrapped; negative values read as 0.
QString formatDurationText(double seconds);
// Clamp for a time value: 0..duration, no upper bound while the duration is 0, NaN gives 0.
double clampSeconds(double value, int durationSeconds);
// Qt's fuzzy equality that also holds for two zeros: |a − b| × 10^12 ≤ min(|a|, |b|).
bool secondsEqual(double a, double b);
int normalizeOutputDimension(int value);
// The other side of a locked aspect: value × sourceOther / sourceThis, rounded, at least 1.
int lockedDimension(int value, int sourceThis, int sourceOther);
// Stores one typed side of the output size (clamped) and, with the aspect lock and a known
// source size, derives the other side. False when the side already had that value.
bool applyOutputDimension(int value, int *side, int *otherSide, bool keepAspect, int sourceSide,
                          int sourceOther);
// Upper-case member of the image export formats, "PNG" for anything else.
QString normalizeImageFormat(const QString &format);
// "high", "medium" or "low"; "high" for anything else.
QString normalizeQualityPreset(const QString &preset);
QString extensionForFormat(const QString &format);
QStringList qualityArguments(const QString &format, const QString &preset);
// Seconds as ffmpeg reads them: 3 decimals, negative values as 0.
QString secondsArgument(double seconds);
// The source's complete base name, or "capture" when it is blank.
QString sourceBaseName(const QString &sourcePath);
// The first of "<base><tail>.<ext>", "<base><tail>(1).<ext>" ... "<base><tail>(99999).<ext>" in
// folder that is not taken, base shortened where a name would not fit a file name's bytes (the
// tail, a time stamp, is kept whole); empty when every one is taken, so a caller can never
// replace a file.
QString freeNumberedPath(const QString &folder, const QString &base, const QString &extension,
                         const QString &tail = QString());
// The damaged-file text the tools announce when a source cannot be probed.
QString sourceLoadFailedMessage();
// Escapes "%" for ffmpeg's image-sequence pattern, where "%d" and friends are counters.
QString escapeSequencePattern(const QString &text);

// The output folder stored under key in the INI file at settingsPath; empty when none.
QString loadOutputDirectory(const QString &settingsPath, const QString &key);
void saveOutputDirectory(const QString &settingsPath, const QString &key, const QString &folder);

// One frame of a video saved as one image.
struct FrameGrabRequest
{
    QString ffmpegPath;
    QString sourcePath;
    QString outputPath;
    double seconds = 0;
    // The source's probed duration (whole seconds, rounded up); 0 when unknown.
    int durationSeconds = 0;
    QString format;
    int width = 0;
    int height = 0;
    QString qualityPreset;
};

// The "-vf" filter that gives frames of width x height with square pixels; with a side of 0 or
// less, the source's displayed size (its sample aspect applied, as players show it).
QString sizeFilter(int width, int height);
QStringList buildFrameGrabArguments(const FrameGrabRequest &request);
// Whether request's time may lie at or past the end of the video, where no frame decodes.
bool atEndOfVideo(const FrameGrabRequest &request);
// The last frame of the video: seeks from the end and keeps overwriting the one image it owns.
QStringList buildLastFrameArguments(const FrameGrabRequest &request);

struct FrameGrabOutcome
{
    enum class End { Saved, TimedOut, Failed };
    End end = End::Failed;
    QString detail; // ffmpeg's standard error, trimmed, when it failed
};

// Runs ffmpeg for the frame (blocking; pool threads only). ffmpeg never replaces a file ("-n");
// an image it leaves behind on failure, time-out or abort is removed. A time at or past the end
// of the video saves the last frame instead.
FrameGrabOutcome grabFrame(const FrameGrabRequest &request, int timeoutMs, const std::atomic_bool *abort);

// Removes path when it exists and was not there before the run.
void removePartialOutput(const QString &path);

// The pool jobs of one view model: an abort flag they check and a bounded wait for them.
class PoolJobSet
{
public:
    PoolJobSet();
    const std::atomic_bool *abortFlag() const { return m_abort.get(); }
    std::shared_ptr<std::atomic_bool> sharedAbortFlag() const { return m_abort; }
    void track(const QFuture<void> &future);
    // Sets the abort flag and waits up to timeoutMs for every tracked job; true when all ended.
    bool abortAndWait(int timeoutMs);

private:
    std::shared_ptr<std::atomic_bool> m_abort;
    QList<QFuture<void>> m_futures;
};

// Runs fn on the pool under jobs' wait; done(watcher) runs on owner's thread when it ends. The
// watcher is a child of owner.
template <typename Fn, typename Done>
auto startWatchedJob(QObject *owner, PoolJobSet &jobs, Fn fn, Done done)
    -> QFutureWatcher<std::invoke_result_t<Fn>> *
{
    using T = std::invoke_result_t<Fn>;
    auto *watcher = new QFutureWatcher<T>(owner);
    QObject::connect(watcher, &QFutureWatcher<T>::finished, owner, [watcher, done] { done(watcher); });
    const QFuture<T> future = ffmpeg::startPoolJob(std::move(fn));
    jobs.track(future);
    watcher->setFuture(future);
    return watcher;
}

// The result of a finished watcher (a default record when it holds none); the watcher goes.
template <typename T> T takeWatcherResult(QFutureWatcher<T> *watcher)
{
    const T result = watcher->future().resultCount() > 0 ? watcher->result() : T();
    watcher->deleteLater();
    return result;
}

// A superseded watcher: it no longer reports to owner, and goes once it can.
void dropWatcher(QObject *watcher, QObject *owner);

// What a finished probe says about the source: valid with its displayed size (upright, square
// pixels) and whole seconds, or nothing at all.
struct ProbedSource
{
    bool valid = false;
    int durationSeconds = 0;
    int width = 0;
    int height = 0;
};
ProbedSource readProbedSource(const FFprobeService::MediaInfo &info);

} // namespace tools::frames
