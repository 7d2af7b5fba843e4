// Base of the ffmpeg tools' task list models: the rows (tasks not owned) and the edits shared by
// every tool; each tool's model adds its own roles.
#pragma once

#include "tools/common/TaskListModel.h"

#include <QList>
#include <QVariantMap>

namespace tools {

class FFmpegOutputTask;

class FFmpegTaskListModel : public TaskListModel<FFmpegOutputTask>
{
public:
    bool containsTask(const FFmpegOutputTask *task) const;
    // Every role of the row, by name; invalid values for a row out of range.
    QVariantMap taskAt(int row) const;
    // Null for a row out of range.
    FFmpegOutputTask *outputTaskAt(int row) const { return rowTask(row); }
    const QList<FFmpegOutputTask *> &outputTasks() const { return rowTasks(); }

protected:
    FFmpegTaskListModel(QVector<ToolRole> toolRoles, QObject *parent);

    // The rows as the tool's own task type.
    template <typename Own> QList<Own *> tasksAs() const
    {
        QList<Own *> result;
        result.reserve(rowTasks().size());
        for (FFmpegOutputTask *task : rowTasks())
            result.append(static_cast<Own *>(task));
        return result;
    }
};

} // namespace tools
