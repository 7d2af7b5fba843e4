// Video-to-text job list model.
#include "tools/video_to_text/VideoToTextTaskModel.h"

#include "tools/video_to_text/VideoToTextTask.h"

VideoToTextTaskModel::VideoToTextTaskModel(QObject *parent) : QAbstractListModel(parent) {}

// The jobs outlive the list: the queue and a probe in flight may still hold them.
VideoToTextTaskModel::~VideoToTextTaskModel() = default;

int VideoToTextTaskModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_tasks.size();
}

QVariant VideoToTextTaskModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_tasks.size())
        return QVariant();
    const VideoToTextTask *task = m_tasks.at(index.row());
    if (!task)
        return QVariant();
    switch (role) {
    case TaskIdRole:
        return task->taskId();
    case SourcePathRole:
        return task->sourcePath();
    case FileNameRole:
        return task->sourceFileName();
    case FileSizeTextRole:
        return task->sourceFileSizeText();
    case SourceFormatRole:
        return task->sourceFormat();
    case SourceResolutionRole:
        return task->sourceResolution();
    case TargetFormatRole:
        return task->targetFormat();
    case TargetLanguageRole:
        return task->targetLanguage();
    case StatusRole:
        return task->status();
    case ProgressRole:
        return task->progress();
    case MessageRole:
        return task->message();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> VideoToTextTaskModel::roleNames() const
{
    return {{TaskIdRole, "taskId"},
            {SourcePathRole, "sourcePath"},
            {FileNameRole, "fileName"},
            {FileSizeTextRole, "fileSizeText"},
            {SourceFormatRole, "sourceFormat"},
            {SourceResolutionRole, "sourceResolution"},
            {TargetFormatRole, "targetFormat"},
            {TargetLanguageRole, "targetLanguage"},
            {StatusRole, "status"},
            {ProgressRole, "progress"},
            {MessageRole, "message"}};
}

void VideoToTextTaskModel::addTask(VideoToTextTask *task)
{
    if (!task)
        return;
    const int row = m_tasks.size();
    beginInsertRows(QModelIndex(), row, row);
    m_tasks.append(task);
    endInsertRows();
    handleTaskChanged(task);
}

void VideoToTextTaskModel::removeAt(int row)
{
    if (row < 0 || row >= m_tasks.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_tasks.removeAt(row);
    endRemoveRows();
}

void VideoToTextTaskModel::clear()
{
    if (m_tasks.isEmpty())
        return;
    beginResetModel();
    m_tasks.clear();
    endResetModel();
}

bool VideoToTextTaskModel::containsSourcePath(const QString &path) const
{
    for (const VideoToTextTask *task : m_tasks) {
        if (task && task->sourcePath() == path)
            return true;
    }
    return false;
}

VideoToTextTask *VideoToTextTaskModel::taskObjectAt(int row) const
{
    return row >= 0 && row < m_tasks.size() ? m_tasks.at(row) : nullptr;
}

QList<VideoToTextTask *> VideoToTextTaskModel::tasks() const
{
    return m_tasks;
}

void VideoToTextTaskModel::notifyTaskChanged(VideoToTextTask *task)
{
    handleTaskChanged(task);
}

void VideoToTextTaskModel::handleTaskChanged(VideoToTextTask *task)
{
    const int row = m_tasks.indexOf(task);
    if (row < 0)
        return;
    const QModelIndex idx = index(row, 0);
    emit dataChanged(idx, idx, {});
}
