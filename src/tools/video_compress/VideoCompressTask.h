// One video-compress job: the source re-encoded with x264 and AAC at a bit rate planned from its
// size, its duration, the chosen ratio and the chosen mode.
#pragma once

#include "ffmpeg/FFprobeService.h"
#include "tools/common/FFmpegOutputTask.h"
#include "tools/common/StreamSelection.h"
#include "tools/video_compress/VideoCompressParams.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>

class VideoCompressTask : public tools::FFmpegOutputTask
{
public:
    struct CompressionPlan
    {
        QString extension;
        QString videoCodec;
        QString audioCodec;
        QString preset;
        // The rate of every audio track, and the lower rates of single tracks ("-b:a:N"), so no
        // track is given more than the source's own.
        QString audioBitrate;
        QStringList audioTrackBitrates;
        int videoBitrateKbps = 0;
        // The ceiling of the video rate: at most the source's own video rate.
        int videoMaxRateKbps = 0;
        // False when the source's own rates leave no room for a smaller file.
        bool belowSource = true;
        int crf = 23;
        // Every audio track and the subtitles the container holds.
        tools::StreamSelection streams;
    };

    VideoCompressTask(const QString &taskId, const VideoCompressParams &params, FFprobeService *prober);

    VideoCompressParams params() const;
    // Takes every option of params except its source path.
    void applyPreset(const VideoCompressParams &params);
    QString normalizedOutputExtension() const;
    QString targetFormat() const;
    QString compressionRatioText() const;
    QString compressionModeLabel() const;
    QString targetResolution() const;
    double effectiveCompressionFactor() const;
    qint64 estimatedOutputSizeBytes() const;
    qint64 actualOutputSizeBytes() const;
    QString targetSizeText() const;
    QString targetSizeLabel() const;

    static QString formatFileSize(qint64 bytes);
    CompressionPlan buildCompressionPlan(const FFprobeService::MediaInfo &info) const;
    QString buildOutputFilePath() const;
    bool ensureOutputDirectoryReady(QString *errorText) const;

    // The plan for params and a source of sourceSizeBytes described by info.
    static CompressionPlan compressionPlanFor(const VideoCompressParams &params, qint64 sourceSizeBytes,
                                              const FFprobeService::MediaInfo &info);
    // ffmpeg's arguments (everything after the program).
    static QStringList buildFFmpegArguments(const VideoCompressParams &params, const CompressionPlan &plan,
                                            const QString &temporaryPath);
    static QString outputFilePathFor(const VideoCompressParams &params);
    static QString outputExtensionFor(const VideoCompressParams &params);
    static double compressionFactorFor(const VideoCompressParams &params);

protected:
    void executeStart() override;
    QString cancelledText() const override;

private:
    // The GUI thread may rewrite the options while a job is starting: the job works on a copy.
    mutable QMutex m_paramsMutex;
    VideoCompressParams m_params;
    FFprobeService *m_ffprobeService = nullptr;
    std::atomic<qint64> m_actualOutputSizeBytes{-1};
};
