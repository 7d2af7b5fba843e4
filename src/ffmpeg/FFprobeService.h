// The toolbox's shared media prober: duration, first video size (coded and displayed) and streams, cached per
// file version.
#pragma once

#include "ffmpeg/ProbeParsing.h"

#include <atomic>

#include <QHash>
#include <QMetaType>
#include <QMutex>
#include <QString>

#include <memory>

class FFmpegEnvironment;

class FFprobeService
{
public:
    struct MediaInfo
    {
        QString filePath;
        qint64 durationSeconds = 0;
        // The first video stream's coded size.
        int width = -1;
        int height = -1;
        // Its size as shown, upright and with square pixels: what a frame taken from it measures.
        int displayWidth = -1;
        int displayHeight = -1;
        QVector<ffmpeg::StreamInfo> streams;
        bool valid = false;
        // The probe timed out, could not start or was cancelled: it says nothing about the file,
        // was not cached, and is worth another try.
        bool transient = false;
        QString errorText;
    };

    struct CacheKey
    {
        QString absolutePath;
        qint64 size = 0;
        qint64 modifiedMs = 0;
        QString text() const;
    };

    explicit FFprobeService(FFmpegEnvironment *environment);
    // Kills the ffprobe runs still in progress (probes and warm-up) and waits for them, bounded.
    ~FFprobeService();

    FFprobeService(const FFprobeService &) = delete;
    FFprobeService &operator=(const FFprobeService &) = delete;

    FFmpegEnvironment *environment() const { return m_environment; }

    // Thread-safe; blocks while ffprobe runs. Call it on pool threads, never on the GUI thread.
    // A set cancel flag kills the running ffprobe; the cut-short result is not cached.
    MediaInfo probeMedia(const QString &path, const std::atomic_bool *cancel = nullptr) const;

    // Loads ffprobe from disk once on a pool thread; returns at once.
    void warmup() const;

private:
    struct Shared;

    CacheKey buildCacheKey(const QString &path) const;
    bool tryGetCachedMediaInfo(const CacheKey &key, MediaInfo *out) const;
    void updateCache(const CacheKey &key, const MediaInfo &info) const;
    MediaInfo readMediaInfo(const QString &filePath, QString *errorText, bool *transient,
                            const std::atomic_bool *callerCancel) const;
    qint64 readDurationSecondsFromPacketPts(const QString &filePath, const QString &selector, bool *transient,
                                            const std::atomic_bool *callerCancel) const;

    FFmpegEnvironment *m_environment = nullptr;
    mutable QMutex m_cacheMutex;
    mutable QHash<QString, MediaInfo> m_cache;
    // Outlives this object inside running jobs: the cancel flag and the count of runs in progress.
    std::shared_ptr<Shared> m_shared;
};

Q_DECLARE_METATYPE(FFprobeService::MediaInfo)
