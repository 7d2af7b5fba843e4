// Controller of the video-compress tool window: container, compression mode and ratio over the
// batch machinery it shares with format convert (tools::ToolBatch).
#pragma once

#include "tools/common/BatchToolViewModel.h"
#include "tools/video_compress/VideoCompressParams.h"

#include <QObject>
#include <QString>
#include <QStringList>

class FFmpegEnvironment;
class FFprobeService;
class SystemActions;
class TaskManager;
class VideoCompressTaskFactory;
class VideoCompressTaskModel;

class VideoCompressViewModel : public tools::BatchToolViewModel
{
    Q_OBJECT
    Q_PROPERTY(QString toolTitle READ toolTitle CONSTANT)
    Q_PROPERTY(QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QStringList outputFormatOptions READ outputFormatOptions CONSTANT)
    Q_PROPERTY(
        QString compressionMode READ compressionMode WRITE setCompressionMode NOTIFY compressionModeChanged)
    Q_PROPERTY(
        int compressionRatio READ compressionRatio WRITE setCompressionRatio NOTIFY compressionRatioChanged)
    Q_PROPERTY(QString ffmpegStatusText READ ffmpegStatusText NOTIFY ffmpegStatusTextChanged)
    Q_PROPERTY(QString startButtonText READ startButtonText NOTIFY startActionChanged)

public:
    VideoCompressViewModel(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
                           SystemActions *systemActions, VideoCompressTaskFactory *taskFactory,
                           QObject *parent = nullptr);
    ~VideoCompressViewModel() override;

    QString toolTitle() const;
    QString outputFormat() const { return m_params.outputFormat; }
    QStringList outputFormatOptions() const;
    QString compressionMode() const { return m_params.compressionMode; }
    int compressionRatio() const { return m_params.compressionRatio; }
    QString ffmpegStatusText() const;
    QString startButtonText() const;

    VideoCompressTaskModel *taskModel() const { return m_taskModel; }
    VideoCompressParams buildParams() const;

public slots:
    void setOutputFormat(const QString &outputFormat);
    void setCompressionMode(const QString &compressionMode);
    void setCompressionRatio(int compressionRatio);

signals:
    void outputFormatChanged();
    void compressionModeChanged();
    void compressionRatioChanged();

private:
    void applyPresetToTasks() override;

    VideoCompressTaskFactory *m_taskFactory = nullptr;
    VideoCompressTaskModel *m_taskModel = nullptr;
    // Container, mode and ratio; the output folder and the shutdown flag live in the batch.
    VideoCompressParams m_params;
};
