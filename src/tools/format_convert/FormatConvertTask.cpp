// Format-convert job: naming, ffmpeg arguments and the run through the shared mechanism.
#include "tools/format_convert/FormatConvertTask.h"

#include "core/Log.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "tools/ToolIds.h"
#include "tools/common/OutputNaming.h"
#include "tools/common/SizeText.h"
#include "tools/common/StreamSelection.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

namespace {

// The catalog's format-convert texts take one positional argument.
QString withFirstArgument(QString text, const QString &value)
{
    const int at = text.indexOf(QLatin1String("%1"));
    if (at >= 0)
        text.replace(at, 2, value);
    return text;
}

bool isAudioOnlyOutputFormat(const QString &format)
{
    return tools::isAudioOnlyContainer(format);
}

QString bitrateArgumentFromKbps(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("Auto"))
        return QString();
    bool ok = false;
    const int value = trimmed.toInt(&ok, 10);
    if (ok && value > 0)
        return QStringLiteral("%1k").arg(value);
    return trimmed;
}

QString resolvedVideoCodec(const FormatConvertParams &params)
{
    const QString codec = params.videoCodec.trimmed();
    if (!codec.isEmpty() && codec != QLatin1String("Auto")) {
        if (codec == QLatin1String("H.264"))
            return QStringLiteral("libx264");
        if (codec == QLatin1String("H.265"))
            return QStringLiteral("libx265");
        if (codec == QLatin1String("MPEG-4"))
            return QStringLiteral("mpeg4");
        if (codec == QLatin1String("VP9"))
            return QStringLiteral("libvpx-vp9");
        if (codec == QLatin1String("Copy"))
            return QStringLiteral("copy");
        return codec;
    }
    if (params.outputFormat.trimmed().toUpper() == QLatin1String("AVI"))
        return QStringLiteral("mpeg4");
    return QStringLiteral("libx264");
}

QString resolvedAudioCodec(const FormatConvertParams &params)
{
    const QString codec = params.audioCodec.trimmed();
    if (!codec.isEmpty() && codec != QLatin1String("Auto")) {
        if (codec == QLatin1String("AAC"))
            return QStringLiteral("aac");
        if (codec == QLatin1String("MP3"))
            return QStringLiteral("libmp3lame");
        if (codec == QLatin1String("FLAC"))
            return QStringLiteral("flac");
        if (codec == QLatin1String("PCM"))
            return QStringLiteral("pcm_s16le");
        if (codec == QLatin1String("Copy"))
            return QStringLiteral("copy");
        return codec;
    }
    const QString container = params.outputFormat.trimmed().toUpper();
    if (container == QLatin1String("MP3") || container == QLatin1String("AVI"))
        return QStringLiteral("libmp3lame");
    if (container == QLatin1String("WAV"))
        return QStringLiteral("pcm_s16le");
    if (container == QLatin1String("FLAC"))
        return QStringLiteral("flac");
    return QStringLiteral("aac");
}

QString defaultAudioBitrate(const QString &codec)
{
    if (codec == QLatin1String("aac") || codec == QLatin1String("libmp3lame"))
        return QStringLiteral("192");
    return QString();
}

bool audioBitrateSupported(const QString &codec)
{
    return codec == QLatin1String("aac") || codec == QLatin1String("libmp3lame");
}

QString outputBaseName(const FormatConvertParams &params)
{
    const QString base = QFileInfo(params.sourcePath).completeBaseName().trimmed();
    return base.isEmpty() ? QStringLiteral("converted_file") : base;
}

QString outputDirectoryOf(const FormatConvertParams &params)
{
    return QDir::fromNativeSeparators(params.outputDirectory.trimmed());
}

QString outputExtensionOf(const FormatConvertParams &params)
{
    return params.outputFormat.trimmed().toLower();
}

} // namespace

FormatConvertTask::FormatConvertTask(const QString &taskId, const FormatConvertParams &params,
                                     FFprobeService *prober)
    : FFmpegOutputTask(taskId, QString(tools::ToolIds::FormatConvert), params.sourcePath,
                       {QStringLiteral("cpp.msg.unknown"), QStringLiteral("cpp.msg.output_directory_empty"),
                        QStringLiteral("cpp.msg.create_output_directory_failed"),
                        &FormatConvertTask::formatFileSize}),
      m_params(params), m_ffprobeService(prober)
{
}

FormatConvertParams FormatConvertTask::params() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_params;
}

QString FormatConvertTask::targetFormat() const
{
    return params().outputFormat;
}

QString FormatConvertTask::targetResolution() const
{
    const FormatConvertParams p = params();
    if (isAudioOnlyOutputFormat(p.outputFormat))
        return i18n::t(QStringLiteral("cpp.msg.audio_only"));
    return p.resolution;
}

void FormatConvertTask::applyPreset(const FormatConvertParams &preset)
{
    QMutexLocker lock(&m_paramsMutex);
    const QString source = m_params.sourcePath;
    m_params = preset;
    m_params.sourcePath = source;
}

QString FormatConvertTask::normalizedOutputExtension() const
{
    return outputExtensionOf(params());
}

QString FormatConvertTask::formatFileSize(qint64 bytes)
{
    return tools::shortFileSizeText(bytes);
}

QString FormatConvertTask::outputFilePathFor(const FormatConvertParams &params)
{
    return tools::freeOutputFilePath(outputDirectoryOf(params), outputBaseName(params),
                                     outputExtensionOf(params), params.sourcePath);
}

QString FormatConvertTask::buildOutputFilePath() const
{
    return outputFilePathFor(params());
}

bool FormatConvertTask::ensureOutputDirectoryReady(QString *errorText) const
{
    return ensureOutputDirectoryExists(params().outputDirectory, errorText);
}

QStringList FormatConvertTask::buildFFmpegArguments(const FormatConvertParams &params,
                                                    const QString &temporaryPath,
                                                    const tools::StreamSelection &streams)
{
    QStringList args{QStringLiteral("-nostdin"),
                     QStringLiteral("-hide_banner"),
                     QStringLiteral("-y"),
                     QStringLiteral("-i"),
                     QDir::toNativeSeparators(params.sourcePath),
                     QStringLiteral("-progress"),
                     QStringLiteral("pipe:1"),
                     QStringLiteral("-nostats")};
    if (isAudioOnlyOutputFormat(params.outputFormat)) {
        args << QStringLiteral("-vn");
    } else {
        const QString videoCodec = resolvedVideoCodec(params);
        args << QStringLiteral("-c:v") << videoCodec;
        if (params.frameRate != QLatin1String("Auto") && !params.frameRate.trimmed().isEmpty())
            args << QStringLiteral("-r") << params.frameRate.trimmed();
        if (params.resolution != QLatin1String("Auto") && !params.resolution.trimmed().isEmpty())
            args << QStringLiteral("-vf") << QStringLiteral("scale=%1").arg(params.resolution.trimmed());
        if (params.videoBitrate != QLatin1String("Auto") && !params.videoBitrate.trimmed().isEmpty() &&
            videoCodec != QLatin1String("copy")) {
            const QString v = bitrateArgumentFromKbps(params.videoBitrate);
            if (!v.isEmpty())
                args << QStringLiteral("-b:v") << v;
        }
    }
    const QString audioCodec = resolvedAudioCodec(params);
    args << QStringLiteral("-c:a") << audioCodec;
    const QString audioBitrate = params.audioBitrate == QLatin1String("Auto")
                                     ? defaultAudioBitrate(audioCodec)
                                     : params.audioBitrate.trimmed();
    if (!audioBitrate.isEmpty() && audioBitrateSupported(audioCodec)) {
        const QString v = bitrateArgumentFromKbps(audioBitrate);
        if (!v.isEmpty())
            args << QStringLiteral("-b:a") << v;
    }
    args << streams.arguments;
    args << QDir::toNativeSeparators(temporaryPath);
    return args;
}

QString FormatConvertTask::cancelledText() const
{
    return i18n::t(QStringLiteral("cpp.msg.task_cancelled"));
}

void FormatConvertTask::executeStart()
{
    if (!beginRun())
        return;
    if (!markRunning(i18n::t(QStringLiteral("cpp.msg.preparing_conversion"))))
        return; // cancelled before it could run
    setProgress(0.05);

    const FormatConvertParams job = params();
    FFmpegEnvironment *environment =
        checkRunInputs(m_ffprobeService, job.sourcePath, job.outputDirectory, "cpp.msg.source_file_empty",
                       "cpp.msg.ffmpeg_unavailable");
    if (!environment)
        return;
    const QString outputPath = outputFilePathFor(job);
    const QString temporaryPath = prepareTemporaryOutput(outputPath, "cpp.msg.output_file_path_invalid",
                                                         "cpp.msg.temporary_output_path_invalid");
    if (temporaryPath.isEmpty())
        return;

    setProgress(0.15);
    setMessage(i18n::t(QStringLiteral("cpp.msg.converting")));
    const FFprobeService::MediaInfo info = m_ffprobeService->probeMedia(job.sourcePath, cancelFlag());
    const qint64 duration = qMax<qint64>(0, info.durationSeconds);
    const tools::StreamSelection streams = tools::selectStreams(outputExtensionOf(job), info.streams);
    for (const QString &line : streams.leftOut)
        TVX_LOG_INFO << "[FormatConvert][Task]" << job.sourcePath << line;

    RunSpec spec;
    spec.program = environment->ffmpegExecutablePath();
    spec.arguments = buildFFmpegArguments(job, temporaryPath, streams);
    spec.durationSeconds = duration;
    spec.target = {outputDirectoryOf(job), outputBaseName(job), outputExtensionOf(job),
                   job.sourcePath,         outputPath,          QString()};
    spec.texts.cancelled = cancelledText();
    spec.texts.startFailed = i18n::t(QStringLiteral("cpp.msg.start_ffmpeg_failed"));
    spec.texts.failedFallback = i18n::t(QStringLiteral("cpp.msg.conversion_failed"));
    spec.texts.commitFailed = i18n::t(QStringLiteral("cpp.msg.finalize_output_file_failed"));
    spec.texts.progressMessage = [](int percent) {
        return withFirstArgument(i18n::t(QStringLiteral("cpp.msg.converting_progress_percent")),
                                 QString::number(percent));
    };
    spec.texts.completedMessage = [](const QString &committedPath) {
        return withFirstArgument(i18n::t(QStringLiteral("cpp.msg.completed_with_path")),
                                 QDir::toNativeSeparators(committedPath));
    };
    runAndCommit(spec);
}
