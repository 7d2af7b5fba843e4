// Rows of the video-to-text window's job list; the jobs are not owned.
#pragma once

#include <QAbstractListModel>
#include <QList>

class VideoToTextTask;

class VideoToTextTaskModel : public QAbstractListModel
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
        TargetLanguageRole,
        StatusRole,
        ProgressRole,
        MessageRole,
    };

    explicit VideoToTextTaskModel(QObject *parent = nullptr);
    ~VideoToTextTaskModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void addTask(VideoToTextTask *task);
    void removeAt(int row);
    void clear();
    bool containsSourcePath(const QString &path) const;
    // Null for a row out of range.
    VideoToTextTask *taskObjectAt(int row) const;
    QList<VideoToTextTask *> tasks() const;
    // Redraws the job's row when it is listed.
    void notifyTaskChanged(VideoToTextTask *task);

private:
    void handleTaskChanged(VideoToTextTask *task);

    QList<VideoToTextTask *> m_tasks;
};
