// Media prober: one JSON ffprobe run per file version, packet scans when no duration is listed.
#include "ffmpeg/FFprobeService.h"

#include "core/Log.h"
#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/PoolJob.h"
#include "ffmpeg/ProbeParsing.h"
#include "ffmpeg/TimingProfile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QThread>

#include <atomic>

namespace {

constexpr int kShutdownWaitMs = 3000;

const QString kTimedOutText = QStringLiteral("Timed out while reading media info");

} // namespace

struct FFprobeService::Shared
{
    std::atomic_bool cancel{false};
    std::atomic_int inFlight{0};
};

namespace {

// Counts a run in progress for the destructor's wait.
class InFlight
{
public:
    explicit InFlight(std::atomic_int &counter) : m_counter(counter) { ++m_counter; }
    ~InFlight() { --m_counter; }
    InFlight(const InFlight &) = delete;
    InFlight &operator=(const InFlight &) = delete;

private:
    std::atomic_int &m_counter;
};

} // namespace

QString FFprobeService::CacheKey::text() const
{
    return QStringLiteral("%1|%2|%3").arg(absolutePath).arg(size).arg(modifiedMs);
}

FFprobeService::FFprobeService(FFmpegEnvironment *environment)
    : m_environment(environment), m_shared(std::make_shared<Shared>())
{
}

FFprobeService::~FFprobeService()
{
    m_shared->cancel = true;
    QDeadlineTimer deadline(kShutdownWaitMs);
    while (m_shared->inFlight.load() > 0 && !deadline.hasExpired())
        QThread::msleep(5);
}

FFprobeService::MediaInfo FFprobeService::probeMedia(const QString &path,
                                                     const std::atomic_bool *cancel) const
{
    InFlight inFlight(m_shared->inFlight);
    MediaInfo result;
    result.filePath = QDir::fromNativeSeparators(path);
    if (!m_environment || !m_environment->hasFFprobeExecutable()) {
        result.errorText = QStringLiteral("ffprobe unavailable");
        return result;
    }
    if (!QFileInfo::exists(result.filePath)) {
        result.errorText = QStringLiteral("Source file does not exist");
        return result;
    }

    const CacheKey key = buildCacheKey(result.filePath);
    MediaInfo cached;
    if (tryGetCachedMediaInfo(key, &cached)) {
        TVX_LOG_INFO << "[FormatConvert][FFprobe] cache hit path=" << result.filePath
                     << " valid=" << (cached.valid ? "true" : "false");
        return cached;
    }

    TVX_LOG_INFO << "[FormatConvert][FFprobe] process start path=" << result.filePath;
    QString errorText;
    bool transient = false;
    const MediaInfo read = readMediaInfo(result.filePath, &errorText, &transient, cancel);
    result.filePath = read.filePath;
    result.durationSeconds = read.durationSeconds;
    result.width = read.width;
    result.height = read.height;
    result.displayWidth = read.displayWidth;
    result.displayHeight = read.displayHeight;
    result.streams = read.streams;
    result.valid = errorText.isEmpty();
    result.transient = transient && !result.valid;
    result.errorText = errorText;
    // A probe that timed out, could not start or was cancelled says nothing about the file: a busy
    // machine must not mark a good file damaged for the rest of the run.
    if (!transient)
        updateCache(key, result);
    TVX_LOG_INFO << "[FormatConvert][FFprobe] process end path=" << result.filePath
                 << " valid=" << (result.valid ? "true" : "false") << " error=" << result.errorText;
    return result;
}

void FFprobeService::warmup() const
{
    if (!m_environment)
        return;
    // The job gets its own copy of the environment and the shared state, never this object.
    const FFmpegEnvironment environment = *m_environment;
    std::shared_ptr<Shared> shared = m_shared;
    ++shared->inFlight;
    ffmpeg::startPoolJob([environment, shared]() {
        // Releases the count taken on the caller's thread, so the destructor never misses this job.
        struct Release
        {
            std::atomic_int &counter;
            ~Release() { --counter; }
        } release{shared->inFlight};
        if (!environment.hasFFprobeExecutable())
            return;
        const ffmpeg::TimingProfile timing = ffmpeg::timingProfile();
        ffmpeg::BoundedRunOptions options;
        options.timeoutMs = timing.versionProbeMs;
        options.killGraceMs = timing.killGraceMs;
        options.cancel = &shared->cancel;
        ffmpeg::runBoundedProcess(environment.ffprobeExecutablePath(), {QStringLiteral("-version")}, options);
    });
}

FFprobeService::CacheKey FFprobeService::buildCacheKey(const QString &path) const
{
    const QFileInfo info(path);
    CacheKey key;
    key.absolutePath = QDir::fromNativeSeparators(info.absoluteFilePath());
    key.size = info.size();
    key.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    return key;
}

bool FFprobeService::tryGetCachedMediaInfo(const CacheKey &key, MediaInfo *out) const
{
    QMutexLocker lock(&m_cacheMutex);
    const auto it = m_cache.constFind(key.text());
    if (it == m_cache.constEnd())
        return false;
    if (out)
        *out = it.value();
    return true;
}

void FFprobeService::updateCache(const CacheKey &key, const MediaInfo &info) const
{
    QMutexLocker lock(&m_cacheMutex);
    m_cache.insert(key.text(), info);
}

FFprobeService::MediaInfo FFprobeService::readMediaInfo(const QString &filePath, QString *errorText,
                                                        bool *transient,
                                                        const std::atomic_bool *callerCancel) const
{
    MediaInfo info;
    info.filePath = filePath;
    auto setError = [errorText](const QString &text) {
        if (errorText && errorText->isEmpty())
            *errorText = text;
    };

    const ffmpeg::TimingProfile timing = ffmpeg::timingProfile();
    ffmpeg::BoundedRunOptions options;
    options.timeoutMs = timing.probeMs;
    options.killGraceMs = timing.killGraceMs;
    options.cancel = &m_shared->cancel;
    options.callerCancel = callerCancel;
    const ffmpeg::BoundedRunResult run = ffmpeg::runBoundedProcess(
        m_environment->ffprobeExecutablePath(),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
         QStringLiteral("format=duration:stream=index,codec_type,codec_name,width,height,duration,"
                        "sample_aspect_ratio,bit_rate:stream_tags=rotate:stream_side_data=rotation:"
                        "stream_disposition=default,attached_pic"),
         QStringLiteral("-of"), QStringLiteral("json"), QDir::toNativeSeparators(filePath)},
        options);
    if (!run.finished()) {
        if (transient)
            *transient = true;
        if (errorText)
            *errorText = run.end == ffmpeg::BoundedRunResult::End::Cancelled
                             ? QStringLiteral("Probe cancelled")
                             : kTimedOutText;
        return info;
    }

    const ffmpeg::ProbeSummary summary = ffmpeg::parseProbeJson(run.standardOutput);
    if (!summary.parsed) {
        setError(QStringLiteral("Failed to parse ffprobe output"));
        return info;
    }
    info.width = summary.width;
    info.height = summary.height;
    info.displayWidth = summary.displayWidth;
    info.displayHeight = summary.displayHeight;
    info.streams = summary.streams;
    const double largest = summary.largestDuration;

    if (largest > 0.0) {
        info.durationSeconds = ffmpeg::ceilSeconds(largest);
    } else {
        bool scanTransient = false;
        qint64 seconds =
            readDurationSecondsFromPacketPts(filePath, QStringLiteral("v:0"), &scanTransient, callerCancel);
        if (seconds <= 0)
            seconds = readDurationSecondsFromPacketPts(filePath, QStringLiteral("a:0"), &scanTransient,
                                                       callerCancel);
        info.durationSeconds = qMax<qint64>(0, seconds);
        if (scanTransient && transient)
            *transient = true;
    }

    if (!run.normalExit || run.exitCode != 0) {
        const QString stderrText = QString::fromUtf8(run.standardError).trimmed();
        // A failed ffprobe is never reported as a valid probe, whether or not it explained itself.
        if (!stderrText.isEmpty())
            setError(stderrText);
        else if (!run.normalExit)
            setError(QStringLiteral("ffprobe exited abnormally"));
        else
            setError(QStringLiteral("ffprobe exited with code %1").arg(run.exitCode));
    }
    return info;
}

qint64 FFprobeService::readDurationSecondsFromPacketPts(const QString &filePath, const QString &selector,
                                                        bool *transient,
                                                        const std::atomic_bool *callerCancel) const
{
    if (!m_environment || !m_environment->hasFFprobeExecutable())
        return 0;
    const ffmpeg::PacketScanResult scan = ffmpeg::scanMaxPacketPts(
        m_environment->ffprobeExecutablePath(), filePath, selector, &m_shared->cancel, callerCancel);
    if (scan.transientFailure && transient)
        *transient = true;
    return scan.seconds;
}
