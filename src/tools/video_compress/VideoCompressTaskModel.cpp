// Video-compress task list model.
#include "tools/video_compress/VideoCompressTaskModel.h"

#include "tools/video_compress/VideoCompressTask.h"

VideoCompressTaskModel::VideoCompressTaskModel(QObject *parent) : FFmpegTaskListModel(parent) {}

VideoCompressTaskModel::~VideoCompressTaskModel() = default;

QVariant VideoCompressTaskModel::taskData(const tools::FFmpegOutputTask &outputTask, int role) const
{
    const auto *task = static_cast<const VideoCompressTask *>(&outputTask);
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
    const int row = appendTask(task);
    if (row < 0)
        return;
    handleTaskChanged(task);
}

VideoCompressTask *VideoCompressTaskModel::taskObjectAt(int row) const
{
    return static_cast<VideoCompressTask *>(outputTaskAt(row));
}

QList<VideoCompressTask *> VideoCompressTaskModel::tasks() const
{
    QList<VideoCompressTask *> result;
    result.reserve(outputTasks().size());
    for (tools::FFmpegOutputTask *task : outputTasks())
        result.append(static_cast<VideoCompressTask *>(task));
    return result;
}
