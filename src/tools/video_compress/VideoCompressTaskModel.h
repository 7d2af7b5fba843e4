// Rows of the video-compress window's task list; the tasks are not owned.
#pragma once

#include <QAbstractListModel>
#include <QList>

class VideoCompressTask;

class VideoCompressTaskModel : public QAbstractListModel
{
public:
    enum Role {
        TaskIdRole = Qt::UserRole + 1,
        SourcePathRole,
        FileNameRole,
        FileSizeTextRole,
        SourceFormatRole,
        SourceResolutionRole,
        TargetFormatRole,
        TargetResolutionRole,
        CompressionModeLabelRole,
        CompressionRatioTextRole,
        TargetSizeLabelRole,
        TargetSizeTextRole,
        StatusRole,
        ProgressRole,
        MessageRole,
    };

    explicit VideoCompressTaskModel(QObject *parent = nullptr);
    ~VideoCompressTaskModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void addTask(VideoCompressTask *task);
    void removeAt(int row);
    void clear();
    bool containsSourcePath(const QString &path) const;
    VideoCompressTask *taskObjectAt(int row) const;
    QList<VideoCompressTask *> tasks() const;
    void notifyTaskChanged(VideoCompressTask *task);
    void handleTaskChanged(VideoCompressTask *task);

private:
    QList<VideoCompressTask *> m_tasks;
};
