// Per-file previews for the pages: 320x180 thumbnail, duration, 4K/8K tag and a damaged-file flag,
// built on the thread pool with ffprobe and ffmpeg.
#pragma once

#include <QFuture>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <memory>

template <typename T> class QFutureWatcher;

class MediaPreviewService : public QObject
{
    Q_OBJECT
public:
    explicit MediaPreviewService(QObject *parent = nullptr);
    // Kills the ffmpeg/ffprobe runs of its jobs and waits for them (bounded); no previewReady after.
    ~MediaPreviewService() override;

    Q_INVOKABLE QVariantMap previewForFile(const QString &sourcePath);
    Q_INVOKABLE void setPlaybackActive(bool active);

    void warmup();
    // Deletes the thumbnails of every file not in sourcePaths and forgets their previews.
    void cleanupCacheBySourcePaths(const QStringList &sourcePaths);
    int recommendedIdleConcurrency() const;

    int runningJobCount() const { return m_running; }
    int maxConcurrentJobs() const { return m_maxConcurrent; }

    // Building blocks of the pool job. They touch no service object and may run on any thread;
    // a set cancel flag kills the child process in progress.
    static QString normalizeSourcePath(const QString &sourcePath);
    static QString previewCacheDirectory();
    static QString cacheFilePathForSource(const QString &key);
    static QVariantMap defaultPreview(bool loading);
    static QString formatDuration(qint64 seconds);
    static QVariantMap buildPreview(const QString &key, const std::atomic_bool *cancel = nullptr);
    static qint64 readDurationSeconds(const QString &source, const std::atomic_bool *cancel = nullptr);
    static qint64 readDurationSecondsFromPacketPts(const QString &source, const QString &selector,
                                                   const std::atomic_bool *cancel = nullptr);
    static QString extractThumbnail(const QString &source, const QString &thumbnailPath,
                                    qint64 durationSeconds, const std::atomic_bool *cancel = nullptr);
    static QString readVideoQualityTag(const QString &source, const std::atomic_bool *cancel = nullptr);
    // Duration and quality tag from one ffprobe run; false when that run gave no readable answer
    // (the duration is then 0, as readDurationSeconds would give, and the tag unknown).
    static bool readDurationAndQualityTag(const QString &source, const std::atomic_bool *cancel,
                                          qint64 *durationSeconds, QString *qualityTag);
    static QString qualityTagForSize(int width, int height);
    static bool isLikelyCorruptedMedia(const QString &source, qint64 durationSeconds);
    static void runVersionProbe(const std::atomic_bool *cancel = nullptr);
    static QString ffmpegExecutablePath();
    static QString ffprobeExecutablePath();

signals:
    void previewReady(const QString &sourcePath, const QVariantMap &preview);

private:
    static bool runDurationProbe(const QString &source, const QString &entries,
                                 const std::atomic_bool *cancel, QJsonObject *root);
    static qint64 durationFromProbe(const QString &source, const QJsonObject &root,
                                    const std::atomic_bool *cancel);
    void requestPreview(const QString &key);
    void schedulePendingRequests();
    void handlePreviewReady(const QString &key, QFutureWatcher<QVariantMap> *watcher);

    QHash<QString, QVariantMap> m_previewCache;
    QSet<QString> m_queuedKeys;
    QStringList m_pending;
    int m_running = 0;
    int m_maxConcurrent = 1;
    bool m_playbackActive = false;
    // Shared with the pool jobs, which may outlive this object by a few milliseconds.
    std::shared_ptr<std::atomic_bool> m_cancel;
    QSet<QFutureWatcher<QVariantMap> *> m_watchers;
    QFuture<void> m_warmupFuture;
};
