// Video-compress task list model.
#include "tools/video_compress/VideoCompressTaskModel.h"

#include "tools/video_compress/VideoCompressTask.h"

VideoCompressTaskModel::VideoCompressTaskModel(QObject *parent) : QAbstractListModel(parent) {}

VideoCompressTaskModel::~VideoCompressTaskModel() = default;

int VideoCompressTaskModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_tasks.size();
}

QVariant VideoCompressTaskModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_tasks.size())
        return QVariant();
    const VideoCompressTask *task = m_tasks.at(index.row());
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
    case TargetResolutionRole:
        return task->targetResolution();
    case CompressionModeLabelRole:
        return task->compressionModeLabel();
    case CompressionRatioTextRole:
        return task->compressionRatioText();
    case TargetSizeLabelRole:
        return task->targetSizeLabel();
    case TargetSizeTextRole:
        return task->targetSizeText();
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

QHash<int, QByteArray> VideoCompressTaskModel::roleNames() const
{
    return {{TaskIdRole, "taskId"},
            {SourcePathRole, "sourcePath"},
            {FileNameRole, "fileName"},
            {FileSizeTextRole, "fileSizeText"},
            {SourceFormatRole, "sourceFormat"},
            {SourceResolutionRole, "sourceResolution"},
            {TargetFormatRole, "targetFormat"},
            {TargetResolutionRole, "targetResolution"},
            {CompressionModeLabelRole, "compressionModeLabel"},
            {CompressionRatioTextRole, "compressionRatioText"},
            {TargetSizeLabelRole, "targetSizeLabel"},
            {TargetSizeTextRole, "targetSizeText"},
            {StatusRole, "status"},
            {ProgressRole, "progress"},
            {MessageRole, "message"}};
}

void VideoCompressTaskModel::addTask(VideoCompressTask *task)
{
    if (!task)
        return;
    const int row = m_tasks.size();
    beginInsertRows(QModelIndex(), row, row);
    m_tasks.append(task);
    endInsertRows();
    handleTaskChanged(task);
}

void VideoCompressTaskModel::removeAt(int row)
{
    if (row < 0 || row >= m_tasks.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_tasks.removeAt(row);
    endRemoveRows();
}

void VideoCompressTaskModel::clear()
{
    if (m_tasks.isEmpty())
        return;
    beginResetModel();
    m_tasks.clear();
    endResetModel();
}

bool VideoCompressTaskModel::containsSourcePath(const QString &path) const
{
    for (const VideoCompressTask *task : m_tasks) {
        if (task && task->sourcePath() == path)
            return true;
    }
    return false;
}

VideoCompressTask *VideoCompressTaskModel::taskObjectAt(int row) const
{
    return row >= 0 && row < m_tasks.size() ? m_tasks.at(row) : nullptr;
}

QList<VideoCompressTask *> VideoCompressTaskModel::tasks() const
{
    return m_tasks;
}

void VideoCompressTaskModel::notifyTaskChanged(VideoCompressTask *task)
{
    handleTaskChanged(task);
}

void VideoCompressTaskModel::handleTaskChanged(VideoCompressTask *task)
{
    const int row = m_tasks.indexOf(task);
    if (row < 0)
        return;
    const QModelIndex idx = index(row, 0);
    emit dataChanged(idx, idx, {});
}
