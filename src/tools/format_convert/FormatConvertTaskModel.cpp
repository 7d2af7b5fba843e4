// Format-convert task list model.
#include "tools/format_convert/FormatConvertTaskModel.h"

#include "core/Log.h"
#include "tools/format_convert/FormatConvertTask.h"

FormatConvertTaskModel::FormatConvertTaskModel(QObject *parent) : FFmpegTaskListModel(parent) {}

FormatConvertTaskModel::~FormatConvertTaskModel() = default;

QVariant FormatConvertTaskModel::taskData(const tools::FFmpegOutputTask &outputTask, int role) const
{
    const auto *task = static_cast<const FormatConvertTask *>(&outputTask);
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

QHash<int, QByteArray> FormatConvertTaskModel::roleNames() const
{
    return {{TaskIdRole, "taskId"},
            {SourcePathRole, "sourcePath"},
            {FileNameRole, "fileName"},
            {FileSizeTextRole, "fileSizeText"},
            {SourceFormatRole, "sourceFormat"},
            {SourceResolutionRole, "sourceResolution"},
            {TargetFormatRole, "targetFormat"},
            {TargetResolutionRole, "targetResolution"},
            {StatusRole, "status"},
            {ProgressRole, "progress"},
            {MessageRole, "message"}};
}

void FormatConvertTaskModel::addTask(FormatConvertTask *task)
{
    const int row = appendTask(task);
    if (row < 0)
        return;
    TVX_LOG_INFO << "[FormatConvert][TaskModel] addTask row=" << row << " sourcePath=" << task->sourcePath()
                 << " count=" << rowCount();
    handleTaskChanged(task);
}

FormatConvertTask *FormatConvertTaskModel::taskObjectAt(int row) const
{
    return static_cast<FormatConvertTask *>(outputTaskAt(row));
}

QList<FormatConvertTask *> FormatConvertTaskModel::tasks() const
{
    QList<FormatConvertTask *> result;
    result.reserve(outputTasks().size());
    for (tools::FFmpegOutputTask *task : outputTasks())
        result.append(static_cast<FormatConvertTask *>(task));
    return result;
}
