// Preview service: GUI-thread bookkeeping and the ffprobe/ffmpeg steps of one preview job.
#include "ffmpeg/MediaPreviewService.h"

#include "core/AppPaths.h"
#include "core/FileUrl.h"
#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/FFmpegCommandBuilder.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/PoolJob.h"
#include "ffmpeg/ProbeParsing.h"
#include "ffmpeg/TimingProfile.h"
#include "media/MediaFormats.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kShutdownWaitMs = 3000;

QString previewCacheDir()
{
    return app::appDataDirPath(QStringLiteral("cache/media_preview_cache"));
}

ffmpeg::BoundedRunOptions runOptions(int timeoutMs, const std::atomic_bool *cancel)
{
    ffmpeg::BoundedRunOptions options;
    options.timeoutMs = timeoutMs;
    options.killGraceMs = ffmpeg::timingProfile().killGraceMs;
    options.cancel = cancel;
    return options;
}

QStringList ffmpegArgs(const QStringList &args)
{
    return QStringList{QStringLiteral("-nostdin"), QStringLiteral("-hide_banner")} + args;
}

} // namespace

MediaPreviewService::MediaPreviewService(QObject *parent)
    : QObject(parent), m_cancel(std::make_shared<std::atomic_bool>(false))
{
    previewCacheDir();
    m_maxConcurrent = recommendedIdleConcurrency();
}

MediaPreviewService::~MediaPreviewService()
{
    *m_cancel = true;
    m_pending.clear();
    QDeadlineTimer deadline(kShutdownWaitMs);
    auto waitFor = [&deadline](const auto &future) {
        while (!future.isFinished() && !deadline.hasExpired())
            QThread::msleep(5);
    };
    for (QFutureWatcher<QVariantMap> *watcher : qAsConst(m_watchers))
        waitFor(watcher->future());
    waitFor(m_warmupFuture);
}

QVariantMap MediaPreviewService::previewForFile(const QString &sourcePath)
{
    const QString key = normalizeSourcePath(sourcePath);
    if (key.isEmpty())
        return defaultPreview(false);
    const auto it = m_previewCache.constFind(key);
    if (it != m_previewCache.constEnd()) {
        QVariantMap preview = it.value();
        const QString thumbnail = preview.value(QStringLiteral("thumbnailPath")).toString().trimmed();
        const QUrl url(thumbnail);
        if (!thumbnail.isEmpty() && url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
            m_previewCache.remove(key);
            requestPreview(key);
            preview.insert(QStringLiteral("thumbnailPath"), QString());
            preview.insert(QStringLiteral("loading"), true);
        }
        return preview;
    }
    requestPreview(key);
    return defaultPreview(true);
}

void MediaPreviewService::setPlaybackActive(bool active)
{
    if (active == m_playbackActive)
        return;
    m_playbackActive = active;
    m_maxConcurrent = active ? 1 : recommendedIdleConcurrency();
    schedulePendingRequests();
}

void MediaPreviewService::warmup()
{
    std::shared_ptr<std::atomic_bool> cancel = m_cancel;
    m_warmupFuture = ffmpeg::startPoolJob([cancel]() { runVersionProbe(cancel.get()); });
}

void MediaPreviewService::cleanupCacheBySourcePaths(const QStringList &sourcePaths)
{
    QSet<QString> keep;
    for (const QString &source : sourcePaths) {
        const QString key = normalizeSourcePath(source);
        if (!key.isEmpty())
            keep.insert(QDir::fromNativeSeparators(cacheFilePathForSource(key)));
    }
    const QDir dir(previewCacheDir());
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.png")}, QDir::Files);
    for (const QFileInfo &file : files) {
        const QString path = QDir::fromNativeSeparators(file.absoluteFilePath());
        if (!keep.contains(path))
            QFile::remove(path);
    }
    for (auto it = m_previewCache.begin(); it != m_previewCache.end();) {
        const QString thumbnail = it.value().value(QStringLiteral("thumbnailPath")).toString().trimmed();
        const QUrl url(thumbnail);
        const bool kept = !thumbnail.isEmpty() && url.isLocalFile() &&
                          keep.contains(QDir::fromNativeSeparators(url.toLocalFile()));
        if (kept)
            ++it;
        else
            it = m_previewCache.erase(it);
    }
}

int MediaPreviewService::recommendedIdleConcurrency() const
{
    const int n = QThread::idealThreadCount();
    if (n <= 1)
        return 1;
    if (n >= 10)
        return 4;
    return n / 2;
}

void MediaPreviewService::requestPreview(const QString &key)
{
    if (key.isEmpty() || m_queuedKeys.contains(key))
        return;
    m_queuedKeys.insert(key);
    m_pending.append(key);
    schedulePendingRequests();
}

void MediaPreviewService::schedulePendingRequests()
{
    while (m_running < m_maxConcurrent && !m_pending.isEmpty()) {
        const QString key = m_pending.takeFirst();
        ++m_running;
        auto *watcher = new QFutureWatcher<QVariantMap>(this);
        m_watchers.insert(watcher);
        connect(watcher, &QFutureWatcher<QVariantMap>::finished, this,
                [this, key, watcher]() { handlePreviewReady(key, watcher); });
        std::shared_ptr<std::atomic_bool> cancel = m_cancel;
        watcher->setFuture(ffmpeg::startPoolJob([key, cancel]() { return buildPreview(key, cancel.get()); }));
    }
}

void MediaPreviewService::handlePreviewReady(const QString &key, QFutureWatcher<QVariantMap> *watcher)
{
    const QFuture<QVariantMap> future = watcher->future();
    const QVariantMap preview = future.resultCount() > 0 ? future.result() : defaultPreview(false);
    m_watchers.remove(watcher);
    watcher->deleteLater();
    if (m_running > 0)
        --m_running;
    m_queuedKeys.remove(key);
    m_previewCache.insert(key, preview);
    emit previewReady(key, preview);
    schedulePendingRequests();
}

QString MediaPreviewService::normalizeSourcePath(const QString &sourcePath)
{
    const QString trimmed = sourcePath.trimmed();
    if (trimmed.isEmpty())
        return QString();
    // QML may hand over a file URL; it names the same file as its local path.
    const QString path = trimmed.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
                             ? app::localPathFromUrlOrPath(trimmed)
                             : sourcePath;
    return QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString MediaPreviewService::previewCacheDirectory()
{
    return previewCacheDir();
}

QString MediaPreviewService::cacheFilePathForSource(const QString &key)
{
    const QFileInfo info(key);
    const QString identity =
        QStringLiteral("%1|%2|%3").arg(key).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    const QByteArray digest = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Md5).toHex();
    return QDir(previewCacheDir()).filePath(QString::fromLatin1(digest) + QStringLiteral(".png"));
}

QVariantMap MediaPreviewService::defaultPreview(bool loading)
{
    QVariantMap preview;
    preview.insert(QStringLiteral("thumbnailPath"), QString());
    preview.insert(QStringLiteral("durationSeconds"), QVariant::fromValue<qint64>(0));
    preview.insert(QStringLiteral("durationText"), QStringLiteral("00:00:00"));
    preview.insert(QStringLiteral("qualityTag"), QString());
    preview.insert(QStringLiteral("parseFailed"), false);
    preview.insert(QStringLiteral("loading"), loading);
    return preview;
}

QString MediaPreviewService::formatDuration(qint64 seconds)
{
    const qint64 s = qMax<qint64>(0, seconds);
    const qint64 hours = s / 3600;
    const qint64 minutes = (s - hours * 3600) / 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QVariantMap MediaPreviewService::buildPreview(const QString &key, const std::atomic_bool *cancel)
{
    QVariantMap preview = defaultPreview(false);
    const QFileInfo info(key);
    if (!info.exists() || !info.isFile())
        return preview;
    qint64 duration = 0;
    QString qualityTag;
    const bool tagKnown = readDurationAndQualityTag(key, cancel, &duration, &qualityTag);
    const QString thumbnail = extractThumbnail(key, cacheFilePathForSource(key), duration, cancel);
    preview.insert(QStringLiteral("thumbnailPath"),
                   thumbnail.isEmpty() ? QString() : QUrl::fromLocalFile(thumbnail).toString());
    preview.insert(QStringLiteral("durationSeconds"), QVariant::fromValue<qint64>(duration));
    preview.insert(QStringLiteral("durationText"), formatDuration(duration));
    preview.insert(QStringLiteral("qualityTag"), tagKnown ? qualityTag : readVideoQualityTag(key, cancel));
    preview.insert(QStringLiteral("parseFailed"), isLikelyCorruptedMedia(key, duration));
    return preview;
}

qint64 MediaPreviewService::readDurationSeconds(const QString &source, const std::atomic_bool *cancel)
{
    QJsonObject root;
    if (!runDurationProbe(source, QStringLiteral("format=duration:stream=duration"), cancel, &root))
        return 0;
    return durationFromProbe(source, root, cancel);
}

bool MediaPreviewService::readDurationAndQualityTag(const QString &source, const std::atomic_bool *cancel,
                                                    qint64 *durationSeconds, QString *qualityTag)
{
    // One ffprobe run answers both the duration and the quality tag; the tag's own probe runs
    // only where this one gave no readable answer, so a preview reads as it would from two runs.
    *durationSeconds = 0;
    qualityTag->clear();
    QJsonObject root;
    if (!runDurationProbe(source, QStringLiteral("format=duration:stream=duration,codec_type,width,height"),
                          cancel, &root))
        return false;
    *durationSeconds = durationFromProbe(source, root, cancel);
    // The tag probe reads "v:0": the first video stream in stream order, cover pictures included.
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    for (const QJsonValue &stream : streams) {
        const QJsonObject object = stream.toObject();
        if (object.value(QStringLiteral("codec_type")).toString() != QLatin1String("video"))
            continue;
        const QJsonValue width = object.value(QStringLiteral("width"));
        const QJsonValue height = object.value(QStringLiteral("height"));
        if (width.isDouble() && height.isDouble())
            *qualityTag = qualityTagForSize(width.toInt(), height.toInt());
        break;
    }
    return true;
}

bool MediaPreviewService::runDurationProbe(const QString &source, const QString &entries,
                                           const std::atomic_bool *cancel, QJsonObject *root)
{
    const QString ffprobe = ffprobeExecutablePath();
    if (ffprobe.isEmpty())
        return false;
    const ffmpeg::BoundedRunResult run = ffmpeg::runBoundedProcess(
        ffprobe,
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"), entries,
         QStringLiteral("-of"), QStringLiteral("json"), QDir::toNativeSeparators(source)},
        runOptions(ffmpeg::timingProfile().probeMs, cancel));
    if (!run.finished())
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(run.standardOutput, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *root = document.object();
    return true;
}

qint64 MediaPreviewService::durationFromProbe(const QString &source, const QJsonObject &root,
                                              const std::atomic_bool *cancel)
{
    double largest = 0.0;
    double value = 0.0;
    if (ffmpeg::countedDuration(
            root.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration")), &value))
        largest = value;
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    for (const QJsonValue &stream : streams) {
        if (ffmpeg::countedDuration(stream.toObject().value(QStringLiteral("duration")), &value))
            largest = std::max(largest, value);
    }
    if (largest > 0.0)
        return ffmpeg::ceilSeconds(largest);
    const qint64 fromVideo = readDurationSecondsFromPacketPts(source, QStringLiteral("v:0"), cancel);
    if (fromVideo >= 1)
        return fromVideo;
    return qMax<qint64>(0, readDurationSecondsFromPacketPts(source, QStringLiteral("a:0"), cancel));
}

qint64 MediaPreviewService::readDurationSecondsFromPacketPts(const QString &source, const QString &selector,
                                                             const std::atomic_bool *cancel)
{
    return ffmpeg::scanMaxPacketPts(ffprobeExecutablePath(), source, selector, cancel).seconds;
}

QString MediaPreviewService::extractThumbnail(const QString &source, const QString &thumbnailPath,
                                              qint64 durationSeconds, const std::atomic_bool *cancel)
{
    if (QFileInfo::exists(thumbnailPath))
        return thumbnailPath;
    const QString ffmpegPath = ffmpegExecutablePath();
    if (ffmpegPath.isEmpty())
        return QString();
    const QFileInfo target(thumbnailPath);
    QDir().mkpath(target.absolutePath());

    const double d = static_cast<double>(durationSeconds);
    const double seek = durationSeconds <= 6 ? 0.0 : std::min(d * 0.1, d - 1.0);
    // ffmpeg writes to a private name that becomes the thumbnail only when complete, so a killed
    // or failed run never leaves a partial PNG that later runs would take as finished.
    const QString temporary =
        QDir(target.absolutePath())
            .filePath(target.completeBaseName() +
                      QStringLiteral(".tmp-%1.png")
                          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    const ffmpeg::BoundedRunResult run = ffmpeg::runBoundedProcess(
        ffmpegPath,
        ffmpegArgs(QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                               QStringLiteral("-ss"), QString::number(seek, 'f', 3), QStringLiteral("-i"),
                               QDir::toNativeSeparators(source), QStringLiteral("-frames:v"),
                               QStringLiteral("1"), QStringLiteral("-vf"),
                               QStringLiteral("scale=320:180:force_original_aspect_ratio=decrease,"
                                              "pad=320:180:(ow-iw)/2:(oh-ih)/2:black")} +
                   ffmpeg::singleImageOutputArguments(temporary)),
        runOptions(ffmpeg::timingProfile().thumbnailMs, cancel));
    const bool produced = run.succeeded() && QFileInfo(temporary).size() > 0;
    if (!produced) {
        QFile::remove(temporary);
        return QString();
    }
    if (QFileInfo::exists(thumbnailPath)) {
        QFile::remove(temporary);
        return thumbnailPath;
    }
    if (!QFile::rename(temporary, thumbnailPath)) {
        QFile::remove(temporary);
        return QFileInfo::exists(thumbnailPath) ? thumbnailPath : QString();
    }
    return thumbnailPath;
}

QString MediaPreviewService::readVideoQualityTag(const QString &source, const std::atomic_bool *cancel)
{
    const QString ffprobe = ffprobeExecutablePath();
    if (ffprobe.isEmpty())
        return QString();
    const ffmpeg::BoundedRunResult run = ffmpeg::runBoundedProcess(
        ffprobe,
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("stream=width,height"),
         QStringLiteral("-of"), QStringLiteral("csv=s=x:p=0"), QDir::toNativeSeparators(source)},
        runOptions(ffmpeg::timingProfile().qualityTagMs, cancel));
    if (!run.finished())
        return QString();
    const QString text = QString::fromUtf8(run.standardOutput).trimmed();
    if (text.isEmpty())
        return QString();
    QString firstLine;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")));
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty()) {
            firstLine = line.trimmed();
            break;
        }
    }
    const QStringList parts = firstLine.split(QLatin1Char('x'));
    if (parts.size() < 2)
        return QString();
    bool widthOk = false;
    bool heightOk = false;
    const int width = parts.at(0).trimmed().toInt(&widthOk);
    const int height = parts.at(1).trimmed().toInt(&heightOk);
    if (!widthOk || !heightOk)
        return QString();
    return qualityTagForSize(width, height);
}

QString MediaPreviewService::qualityTagForSize(int width, int height)
{
    const int longest = std::max(width, height);
    if (longest >= 7680)
        return QStringLiteral("8K");
    if (longest >= 3840)
        return QStringLiteral("4K");
    return QString();
}

bool MediaPreviewService::isLikelyCorruptedMedia(const QString &source, qint64 durationSeconds)
{
    return media::isVideoPath(source) && durationSeconds <= 0;
}

void MediaPreviewService::runVersionProbe(const std::atomic_bool *cancel)
{
    const int timeoutMs = ffmpeg::timingProfile().versionProbeMs;
    for (const QString &program : {ffprobeExecutablePath(), ffmpegExecutablePath()}) {
        if (!program.isEmpty() && QFileInfo::exists(program))
            ffmpeg::runBoundedProcess(program, {QStringLiteral("-version")}, runOptions(timeoutMs, cancel));
    }
}

QString MediaPreviewService::ffmpegExecutablePath()
{
    return FFmpegEnvironment().ffmpegExecutablePath();
}

QString MediaPreviewService::ffprobeExecutablePath()
{
    return FFmpegEnvironment().ffprobeExecutablePath();
}
