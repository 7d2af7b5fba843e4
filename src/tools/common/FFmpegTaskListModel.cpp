// Rows and list edits shared by the ffmpeg tools' task list models.
#include "tools/common/FFmpegTaskListModel.h"

#include "tools/common/FFmpegOutputTask.h"

namespace tools {

FFmpegTaskListModel::FFmpegTaskListModel(QVector<ToolRole> toolRoles, QObject *parent)
    : TaskListModel(std::move(toolRoles), parent)
{
}

bool FFmpegTaskListModel::containsTask(const FFmpegOutputTask *task) const
{
    return task && rowTasks().contains(const_cast<FFmpegOutputTask *>(task));
}

QVariantMap FFmpegTaskListModel::taskAt(int row) const
{
    QVariantMap map;
    const QModelIndex idx = index(row, 0);
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.constBegin(); it != roles.constEnd(); ++it)
        map.insert(QString::fromLatin1(it.value()), data(idx, it.key()));
    return map;
}

} // namespace tools
