// Format-convert task list model.
#include "tools/format_convert/FormatConvertTaskModel.h"

#include "core/Log.h"
#include "tools/format_convert/FormatConvertTask.h"

FormatConvertTaskModel::FormatConvertTaskModel(QObject *parent)
    : FFmpegTaskListModel(
          {{"targetFormat", &read<FormatConvertTask, &FormatConvertTask::targetFormat>},
           {"targetResolution", &read<FormatConvertTask, &FormatConvertTask::targetResolution>}},
          parent)
{
    // The table above lists every role of the enum between the opening ones and the job's.
    static_assert(StatusRole == FirstToolRole + 2, "one reader a role of the tool");
}

FormatConvertTaskModel::~FormatConvertTaskModel() = default;

void FormatConvertTaskModel::addTask(FormatConvertTask *task)
{
    const int row = appendTask(task);
    if (row < 0)
        return;
    TVX_LOG_INFO << "[FormatConvert][TaskModel] addTask row=" << row << " sourcePath=" << task->sourcePath()
                 << " count=" << rowCount();
    notifyTaskChanged(task);
}

FormatConvertTask *FormatConvertTaskModel::taskObjectAt(int row) const
{
    return static_cast<FormatConvertTask *>(outputTaskAt(row));
}

QList<FormatConvertTask *> FormatConvertTaskModel::tasks() const
{
    return tasksAs<FormatConvertTask>();
}
