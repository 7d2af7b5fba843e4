// Video-compress job: mode table, bit-rate plan, naming, ffmpeg arguments and the shared run.
#include "tools/video_compress/VideoCompressTask.h"

#include "core/Log.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "i18n/I18n.h"
#include "tools/ToolIds.h"
#include "tools/common/OutputNaming.h"
#include "tools/common/SizeText.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <limits>

namespace {

constexpr int kMinVideoBitrateKbps = 220;
constexpr double kFloorThresholdKbps = 260.0;
constexpr int kMinAudioBitrateKbps = 64;
// Far beyond any real stream; keeps the derived -maxrate and -bufsize inside an int.
constexpr int kMaxVideoBitrateKbps = std::numeric_limits<int>::max() / 4;

QString normalizedModeName(const QString &mode)
{
    const QString m = mode.trimmed();
    if (m.compare(QLatin1String("Speed"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Speed");
    if (m.compare(QLatin1String("Quality"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Quality");
    return QStringLiteral("Balanced");
}

QString displayModeName(const QString &mode)
{
    const QString normalized = normalizedModeName(mode);
    if (normalized == QLatin1String("Speed"))
        return i18n::t(QStringLiteral("tool.video_compress.mode.speed"));
    if (normalized == QLatin1String("Quality"))
        return i18n::t(QStringLiteral("tool.video_compress.mode.quality"));
    return i18n::t(QStringLiteral("tool.video_compress.mode.balanced"));
}

QString bitrateArgumentFromKbps(int kbps)
{
    return kbps > 0 ? QStringLiteral("%1k").arg(kbps) : QString();
}

bool supportsSourceContainer(const QString &suffix)
{
    return suffix == QLatin1String("mp4") || suffix == QLatin1String("mkv") ||
           suffix == QLatin1String("mov") || suffix == QLatin1String("m4v");
}

int clampedRatio(int ratio)
{
    return qBound(20, ratio, 100);
}

QString outputBaseName(const VideoCompressParams &params)
{
    const QString base = QFileInfo(params.sourcePath).completeBaseName().trimmed();
    return base.isEmpty() ? QStringLiteral("compressed_video") : base;
}

// Said after the source's name even when a long name has to be shortened.
QString outputBaseTail(const VideoCompressParams &params)
{
    return QFileInfo(params.sourcePath).completeBaseName().trimmed().isEmpty()
               ? QString()
               : QStringLiteral("_compressed");
}

QString outputDirectoryOf(const VideoCompressParams &params)
{
    return QDir::fromNativeSeparators(params.outputDirectory.trimmed());
}

// What the source itself spends, in kbit/s: its picture (0 when the container does not say)
// and each audio track in the file's order (0 for a track whose rate is not stated).
struct SourceRates
{
    double videoKbps = 0;
    QVector<double> audioKbps;
};

SourceRates sourceRates(const FFprobeService::MediaInfo &info, double sourceKbps)
{
    SourceRates rates;
    bool videoTaken = false;
    bool coverOnly = true;
    for (const ffmpeg::StreamInfo &stream : info.streams)
        coverOnly = coverOnly && !(stream.codecType == QLatin1String("video") && !stream.attachedPicture);
    for (const ffmpeg::StreamInfo &stream : info.streams) {
        const double kbps = stream.bitRate > 0 ? qMin(stream.bitRate / 1000.0, sourceKbps) : 0.0;
        if (stream.codecType == QLatin1String("audio")) {
            rates.audioKbps << kbps;
        } else if (stream.codecType == QLatin1String("video") && !videoTaken &&
                   (coverOnly || !stream.attachedPicture)) {
            // The picture the output keeps: the first moving one (a cover only when it is all).
            rates.videoKbps = kbps;
            videoTaken = true;
        }
    }
    return rates;
}

} // namespace

VideoCompressTask::VideoCompressTask(const QString &taskId, const VideoCompressParams &params,
                                     FFprobeService *prober)
    : FFmpegOutputTask(
          taskId, QString(tools::ToolIds::VideoCompress), params.sourcePath,
          {QStringLiteral("tool.common.unknown"), QStringLiteral("tool.common.error.output_dir_empty"),
           QStringLiteral("tool.common.error.output_dir_create_failed"), &VideoCompressTask::formatFileSize}),
      m_params(params), m_ffprobeService(prober)
{
}

VideoCompressParams VideoCompressTask::params() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_params;
}

void VideoCompressTask::applyPreset(const VideoCompressParams &preset)
{
    QMutexLocker lock(&m_paramsMutex);
    const QString source = m_params.sourcePath;
    m_params = preset;
    m_params.sourcePath = source;
}

QString VideoCompressTask::outputExtensionFor(const VideoCompressParams &params)
{
    const QString format = params.outputFormat.trimmed();
    if (format.isEmpty() || format.compare(QLatin1String("Source"), Qt::CaseInsensitive) == 0) {
        const QString suffix = QFileInfo(params.sourcePath).suffix().trimmed().toLower();
        return supportsSourceContainer(suffix) ? suffix : QStringLiteral("mp4");
    }
    return format.toLower();
}

QString VideoCompressTask::normalizedOutputExtension() const
{
    return outputExtensionFor(params());
}
QString VideoCompressTask::targetFormat() const
{
    return normalizedOutputExtension().toUpper();
}

QString VideoCompressTask::compressionRatioText() const
{
    return QStringLiteral("%1%").arg(clampedRatio(params().compressionRatio));
}

QString VideoCompressTask::compressionModeLabel() const
{
    return displayModeName(params().compressionMode);
}

QString VideoCompressTask::targetResolution() const
{
    return QStringLiteral("%1 %2").arg(compressionRatioText(), compressionModeLabel());
}

double VideoCompressTask::compressionFactorFor(const VideoCompressParams &params)
{
    double x = clampedRatio(params.compressionRatio) / 100.0;
    const QString mode = normalizedModeName(params.compressionMode);
    if (mode == QLatin1String("Speed"))
        x *= 0.86;
    else if (mode == QLatin1String("Quality"))
        x *= 1.12;
    if (x > 0.98)
        x = 0.98;
    if (x < 0.18)
        x = 0.18;
    return x;
}

double VideoCompressTask::effectiveCompressionFactor() const
{
    return compressionFactorFor(params());
}

qint64 VideoCompressTask::estimatedOutputSizeBytes() const
{
    const qint64 size = qMax<qint64>(0, sourceFileSizeBytes());
    return static_cast<qint64>(static_cast<double>(size) * effectiveCompressionFactor());
}

qint64 VideoCompressTask::actualOutputSizeBytes() const
{
    return m_actualOutputSizeBytes.load();
}

QString VideoCompressTask::targetSizeText() const
{
    const qint64 actual = actualOutputSizeBytes();
    if (status() == Completed && actual >= 0)
        return formatFileSize(actual);
    return formatFileSize(estimatedOutputSizeBytes());
}

QString VideoCompressTask::targetSizeLabel() const
{
    if (status() == Completed && actualOutputSizeBytes() >= 0)
        return i18n::t(QStringLiteral("tool.video_compress.size.actual_label"));
    return i18n::t(QStringLiteral("tool.video_compress.size.estimated_label"));
}

QString VideoCompressTask::formatFileSize(qint64 bytes)
{
    return tools::twoDecimalFileSizeText(bytes);
}

VideoCompressTask::CompressionPlan
VideoCompressTask::compressionPlanFor(const VideoCompressParams &params, qint64 sourceSizeBytes,
                                      const FFprobeService::MediaInfo &info)
{
    CompressionPlan plan;
    plan.extension = outputExtensionFor(params);
    plan.streams = tools::selectStreams(plan.extension, info.streams);
    plan.videoCodec = QStringLiteral("libx264");
    plan.audioCodec = QStringLiteral("aac");
    const QString mode = normalizedModeName(params.compressionMode);
    if (mode == QLatin1String("Speed")) {
        plan.preset = QStringLiteral("veryfast");
        plan.audioBitrate = QStringLiteral("96k");
        plan.crf = 30;
    } else if (mode == QLatin1String("Quality")) {
        plan.preset = QStringLiteral("slow");
        plan.audioBitrate = QStringLiteral("160k");
        plan.crf = 22;
    } else {
        plan.preset = QStringLiteral("medium");
        plan.audioBitrate = QStringLiteral("128k");
        plan.crf = 25;
    }

    const double seconds = static_cast<double>(qMax<qint64>(info.durationSeconds, 1));
    const double sourceKbps = static_cast<double>(qMax<qint64>(sourceSizeBytes, 0)) * 8.0 / seconds / 1000.0;
    const double total = sourceKbps * compressionFactorFor(params);

    // A file made at rates above the source's own is bigger than the source: every audio track
    // gets at most its own rate (or, unstated, the whole file's), the picture at most what the
    // source's picture takes.
    const SourceRates source = sourceRates(info, sourceKbps);
    const int modeAudioKbps = plan.audioBitrate.left(plan.audioBitrate.size() - 1).toInt();
    QVector<int> trackKbps;
    for (const double rate : source.audioKbps)
        trackKbps << qMax(1, static_cast<int>(qMin<double>(modeAudioKbps, rate > 0 ? rate : sourceKbps)));
    int commonAudioKbps = qMax(1, static_cast<int>(qMin<double>(modeAudioKbps, sourceKbps)));
    if (!trackKbps.isEmpty())
        commonAudioKbps = *std::max_element(trackKbps.cbegin(), trackKbps.cend());
    plan.audioBitrate = bitrateArgumentFromKbps(commonAudioKbps);
    for (int i = 0; i < trackKbps.size(); ++i) {
        if (trackKbps.at(i) < commonAudioKbps)
            plan.audioTrackBitrates << QStringLiteral("-b:a:%1").arg(i)
                                    << bitrateArgumentFromKbps(trackKbps.at(i));
    }
    double sourceAudioKbps = 0;
    for (int i = 0; i < trackKbps.size(); ++i)
        sourceAudioKbps += source.audioKbps.at(i) > 0 ? source.audioKbps.at(i) : trackKbps.at(i);
    if (info.streams.isEmpty())
        sourceAudioKbps = commonAudioKbps; // nothing listed: one track, as ffmpeg would pick
    const double sourceVideoKbps = source.videoKbps > 0 ? source.videoKbps : sourceKbps - sourceAudioKbps;

    const int audioKbps = qMax(kMinAudioBitrateKbps, commonAudioKbps);
    if (total <= kFloorThresholdKbps) {
        plan.videoBitrateKbps = kMinVideoBitrateKbps;
    } else {
        const double video = total - audioKbps;
        if (video >= kMaxVideoBitrateKbps)
            plan.videoBitrateKbps = kMaxVideoBitrateKbps;
        else
            plan.videoBitrateKbps = qMax(kMinVideoBitrateKbps, static_cast<int>(video));
    }
    const int videoCeiling = sourceVideoKbps >= kMaxVideoBitrateKbps
                                 ? kMaxVideoBitrateKbps
                                 : static_cast<int>(qMax(0.0, sourceVideoKbps));
    plan.videoBitrateKbps = qMin(plan.videoBitrateKbps, videoCeiling);
    plan.videoMaxRateKbps = qMin(static_cast<int>(plan.videoBitrateKbps * 1.15), videoCeiling);
    plan.belowSource = plan.videoBitrateKbps > 0;
    return plan;
}

VideoCompressTask::CompressionPlan
VideoCompressTask::buildCompressionPlan(const FFprobeService::MediaInfo &info) const
{
    return compressionPlanFor(params(), sourceFileSizeBytes(), info);
}

QStringList VideoCompressTask::buildFFmpegArguments(const VideoCompressParams &params,
                                                    const CompressionPlan &plan, const QString &temporaryPath)
{
    QStringList args{QStringLiteral("-nostdin"),
                     QStringLiteral("-hide_banner"),
                     QStringLiteral("-y"),
                     QStringLiteral("-i"),
                     QDir::toNativeSeparators(params.sourcePath),
                     QStringLiteral("-progress"),
                     QStringLiteral("pipe:1"),
                     QStringLiteral("-nostats")};
    args << QStringLiteral("-c:v") << plan.videoCodec << QStringLiteral("-preset") << plan.preset
         << QStringLiteral("-crf") << QString::number(plan.crf);
    const int v = plan.videoBitrateKbps;
    if (v > 0) {
        args << QStringLiteral("-b:v") << bitrateArgumentFromKbps(v) << QStringLiteral("-maxrate")
             << bitrateArgumentFromKbps(plan.videoMaxRateKbps > 0 ? plan.videoMaxRateKbps : v)
             << QStringLiteral("-bufsize") << bitrateArgumentFromKbps(2 * v);
    }
    if (!plan.audioCodec.isEmpty())
        args << QStringLiteral("-c:a") << plan.audioCodec;
    if (!plan.audioBitrate.isEmpty())
        args << QStringLiteral("-b:a") << plan.audioBitrate << plan.audioTrackBitrates;
    if (plan.videoCodec == QLatin1String("libx264")) {
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
        if (normalizedModeName(params.compressionMode) == QLatin1String("Speed"))
            args << QStringLiteral("-tune") << QStringLiteral("fastdecode");
    }
    args << plan.streams.arguments;
    args << QDir::toNativeSeparators(temporaryPath);
    return args;
}

QString VideoCompressTask::outputFilePathFor(const VideoCompressParams &params)
{
    return tools::freeOutputFilePath(outputDirectoryOf(params), outputBaseName(params),
                                     outputExtensionFor(params), params.sourcePath, outputBaseTail(params));
}

QString VideoCompressTask::buildOutputFilePath() const
{
    return outputFilePathFor(params());
}

bool VideoCompressTask::ensureOutputDirectoryReady(QString *errorText) const
{
    return ensureOutputDirectoryExists(params().outputDirectory, errorText);
}

QString VideoCompressTask::cancelledText() const
{
    return i18n::t(QStringLiteral("tool.common.task_cancelled"));
}

void VideoCompressTask::executeStart()
{
    if (!beginRun())
        return;
    m_actualOutputSizeBytes = -1;
    if (!markRunning(i18n::t(QStringLiteral("tool.video_compress.task.preparing"))))
        return; // cancelled before it could run
    setProgress(0.05);

    const VideoCompressParams job = params();
    FFmpegEnvironment *environment =
        checkRunInputs(m_ffprobeService, job.sourcePath, job.outputDirectory,
                       "tool.video_compress.error.source_empty", "tool.common.ffmpeg_unavailable");
    if (!environment)
        return;
    const FFprobeService::MediaInfo info = m_ffprobeService->probeMedia(job.sourcePath, cancelFlag());
    if (cancelRequestedNow())
        return finishCancelled(cancelledText());
    // The probe said nothing about the file (it timed out or was cut short): a try-again error,
    // not the verdict of a source without a picture.
    if (info.transient)
        return finishFailed(QStringLiteral("source_probe_failed"), info.errorText);
    if (info.width < 0 || info.height < 0)
        return finishFailedWithKey("invalid_video_source", "tool.video_compress.error.only_video_supported");
    const QString outputPath = outputFilePathFor(job);
    const QString temporaryPath =
        prepareTemporaryOutput(outputPath, "tool.video_compress.error.output_path_invalid",
                               "tool.video_compress.error.temp_output_path_invalid");
    if (temporaryPath.isEmpty())
        return;

    const qint64 sourceBytes = QFileInfo(job.sourcePath).size();
    const CompressionPlan plan = compressionPlanFor(job, sourceBytes, info);
    if (!plan.belowSource)
        return finishFailedWithKey("output_not_smaller", "tool.video_compress.error.cannot_shrink");
    for (const QString &line : plan.streams.leftOut)
        TVX_LOG_INFO << "[VideoCompress][Task]" << job.sourcePath << line;
    RunSpec spec;
    spec.program = environment->ffmpegExecutablePath();
    spec.arguments = buildFFmpegArguments(job, plan, temporaryPath);
    spec.durationSeconds = qMax<qint64>(0, info.durationSeconds);
    spec.target = {outputDirectoryOf(job), outputBaseName(job), plan.extension,
                   job.sourcePath,         outputPath,          outputBaseTail(job)};
    spec.texts.cancelled = cancelledText();
    spec.texts.startFailed = i18n::t(QStringLiteral("tool.video_compress.error.ffmpeg_start_failed"));
    spec.texts.failedFallback = i18n::t(QStringLiteral("tool.video_compress.error.compress_failed"));
    spec.texts.commitFailed = i18n::t(QStringLiteral("tool.video_compress.error.finalize_output_failed"));
    spec.texts.progressMessage = [](int percent) {
        return i18n::t(QStringLiteral("tool.video_compress.task.compressing_percent"),
                       {{QStringLiteral("percent"), percent}});
    };
    spec.texts.completedMessage = [this](const QString &committedPath) {
        m_actualOutputSizeBytes = QFileInfo(committedPath).size();
        return i18n::t(QStringLiteral("tool.video_compress.task.completed_with_path"),
                       {{QStringLiteral("path"), QDir::toNativeSeparators(committedPath)}});
    };
    // Even at rates below the source's an encoder can spend more than the source did; a file
    // that is not smaller is no compression, so it never takes the output's name.
    spec.acceptOutput = [this, sourceBytes](const QString &temporary) {
        const qint64 outputBytes = QFileInfo(temporary).size();
        if (outputBytes < sourceBytes)
            return true;
        TVX_LOG_INFO << "[VideoCompress][Task]" << params().sourcePath << "output not smaller:" << outputBytes
                     << "bytes from" << sourceBytes;
        return false;
    };
    spec.rejectedCode = QStringLiteral("output_not_smaller");
    spec.texts.rejected = i18n::t(QStringLiteral("tool.video_compress.error.cannot_shrink"));
    spec.onStarted = [this]() {
        setProgress(0.15);
        setMessage(i18n::t(QStringLiteral("tool.video_compress.task.compressing")));
    };
    runAndCommit(spec);
}
