// One format-convert job: the source re-muxed or re-encoded by ffmpeg into a new file.
#pragma once

#include "tools/common/FFmpegOutputTask.h"
#include "tools/common/StreamSelection.h"
#include "tools/format_convert/FormatConvertParams.h"

#include <QMutex>
#include <QString>
#include <QStringList>

class FFprobeService;

class FormatConvertTask : public tools::FFmpegOutputTask
{
public:
    FormatConvertTask(const QString &taskId, const FormatConvertParams &params, FFprobeService *prober);

    FormatConvertParams params() const;
    QString targetFormat() const;
    QString targetResolution() const;
    // Takes every option of params except its source path.
    void applyPreset(const FormatConvertParams &params);
    QString normalizedOutputExtension() const;

    static QString formatFileSize(qint64 bytes);
    QString buildOutputFilePath() const;
    bool ensureOutputDirectoryReady(QString *errorText) const;

    // ffmpeg's arguments for params writing to temporaryPath (everything after the program), with
    // the source streams the output keeps.
    static QStringList buildFFmpegArguments(const FormatConvertParams &params, const QString &temporaryPath,
                                            const tools::StreamSelection &streams = {});
    // The final name for params (free, never the source), or empty.
    static QString outputFilePathFor(const FormatConvertParams &params);

protected:
    void executeStart() override;
    QString cancelledText() const override;

private:
    // The GUI thread may rewrite the options while a job is starting: the job works on a copy.
    mutable QMutex m_paramsMutex;
    FormatConvertParams m_params;
    FFprobeService *m_ffprobeService = nullptr;
};
