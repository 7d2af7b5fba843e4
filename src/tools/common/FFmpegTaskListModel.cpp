// Rows and list edits shared by the ffmpeg tools' task list models.
#include "tools/common/FFmpegTaskListModel.h"

#include "tools/common/FFmpegOutputTask.h"

namespace tools {

FFmpegTaskListModel::FFmpegTaskListModel(QObject *parent) : QAbstractListModel(parent) {}

int FFmpegTaskListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_tasks.size();
}

QVariant FFmpegTaskListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_tasks.size())
        return QVariant();
    const FFmpegOutputTask *task = m_tasks.at(index.row());
    if (!task)
        return QVariant();
    return taskData(*task, role);
}

int FFmpegTaskListModel::appendTask(FFmpegOutputTask *task)
{
    if (!task)
        return -1;
    const int row = m_tasks.size();
    beginInsertRows(QModelIndex(), row, row);
    m_tasks.append(task);
    endInsertRows();
    return row;
}

void FFmpegTaskListModel::removeAt(int row)
{
    if (row < 0 || row >= m_tasks.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_tasks.removeAt(row);
    endRemoveRows();
}

void FFmpegTaskListModel::clear()
{
    if (m_tasks.isEmpty())
        return;
    beginResetModel();
    m_tasks.clear();
    endResetModel();
}

bool FFmpegTaskListModel::containsSourcePath(const QString &path) const
{
    for (const FFmpegOutputTask *task : m_tasks) {
        if (task && task->sourcePath() == path)
            return true;
    }
    return false;
}

bool FFmpegTaskListModel::containsTask(const FFmpegOutputTask *task) const
{
    return task && m_tasks.contains(const_cast<FFmpegOutputTask *>(task));
}

FFmpegOutputTask *FFmpegTaskListModel::outputTaskAt(int row) const
{
    return row >= 0 && row < m_tasks.size() ? m_tasks.at(row) : nullptr;
}

const QList<FFmpegOutputTask *> &FFmpegTaskListModel::outputTasks() const
{
    return m_tasks;
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

void FFmpegTaskListModel::notifyTaskChanged(FFmpegOutputTask *task)
{
    handleTaskChanged(task);
}

void FFmpegTaskListModel::handleTaskChanged(FFmpegOutputTask *task)
{
    const int row = m_tasks.indexOf(task);
    if (row < 0)
        return;
    const QModelIndex idx = index(row, 0);
    emit dataChanged(idx, idx, {});
}

} // namespace tools
