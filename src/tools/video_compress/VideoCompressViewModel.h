// Controller of the video-compress tool window: container, compression mode and ratio over the
// batch machinery it shares with format convert (tools::ToolBatch).
#pragma once

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

namespace tools {
class ToolBatch;
}

class VideoCompressViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString toolTitle READ toolTitle CONSTANT)
    Q_PROPERTY(QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QStringList outputFormatOptions READ outputFormatOptions CONSTANT)
    Q_PROPERTY(
        QString outputDirectory READ outputDirectory WRITE setOutputDirectory NOTIFY outputDirectoryChanged)
    Q_PROPERTY(
        QString compressionMode READ compressionMode WRITE setCompressionMode NOTIFY compressionModeChanged)
    Q_PROPERTY(
        int compressionRatio READ compressionRatio WRITE setCompressionRatio NOTIFY compressionRatioChanged)
    Q_PROPERTY(QString ffmpegStatusText READ ffmpegStatusText NOTIFY ffmpegStatusTextChanged)
    Q_PROPERTY(bool ffmpegReady READ ffmpegReady NOTIFY ffmpegReadyChanged)
    Q_PROPERTY(bool shutdownWhenFinished READ shutdownWhenFinished WRITE setShutdownWhenFinished NOTIFY
                   shutdownWhenFinishedChanged)
    Q_PROPERTY(bool exporting READ exporting NOTIFY startActionChanged)
    Q_PROPERTY(bool canStartTasks READ canStartTasks NOTIFY startActionChanged)
    Q_PROPERTY(QString startButtonText READ startButtonText NOTIFY startActionChanged)

public:
    VideoCompressViewModel(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
                           SystemActions *systemActions, VideoCompressTaskFactory *taskFactory,
                           QObject *parent = nullptr);
    ~VideoCompressViewModel() override;

    QString toolTitle() const;
    QString outputFormat() const { return m_params.outputFormat; }
    QStringList outputFormatOptions() const;
    QString outputDirectory() const;
    QString compressionMode() const { return m_params.compressionMode; }
    int compressionRatio() const { return m_params.compressionRatio; }
    QString ffmpegStatusText() const;
    bool ffmpegReady() const;
    bool shutdownWhenFinished() const;
    bool exporting() const;
    bool canStartTasks() const;
    QString startButtonText() const;

    VideoCompressTaskModel *taskModel() const { return m_taskModel; }
    VideoCompressParams buildParams() const;

    Q_INVOKABLE QObject *taskModelObject() const;
    Q_INVOKABLE void addFiles(const QStringList &fileUrls);
    Q_INVOKABLE void addFolder(const QString &folderUrl);
    Q_INVOKABLE void removeTask(int row);
    Q_INVOKABLE void startTasks();
    Q_INVOKABLE void clearTasks();

public slots:
    void setOutputFormat(const QString &outputFormat);
    void setOutputDirectory(const QString &outputDirectory);
    void setCompressionMode(const QString &compressionMode);
    void setCompressionRatio(int compressionRatio);
    void setShutdownWhenFinished(bool shutdownWhenFinished);

signals:
    void outputFormatChanged();
    void outputDirectoryChanged();
    void outputDirectoryValidationFailed(const QString &message);
    void compressionModeChanged();
    void compressionRatioChanged();
    void ffmpegStatusTextChanged();
    void ffmpegReadyChanged();
    void shutdownWhenFinishedChanged();
    void startActionChanged();
    void batchExecutionFinished(int successCount, int failedCount);

private:
    void applyPresetToTasks();

    VideoCompressTaskFactory *m_taskFactory = nullptr;
    VideoCompressTaskModel *m_taskModel = nullptr;
    tools::ToolBatch *m_batch = nullptr;
    // Container, mode and ratio; the output folder and the shutdown flag live in the batch.
    VideoCompressParams m_params;
};
