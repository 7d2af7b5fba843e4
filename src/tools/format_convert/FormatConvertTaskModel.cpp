// Format-convert task list model.
#include "tools/format_convert/FormatConvertTaskModel.h"

#include "app/Log.h"
#include "tools/format_convert/FormatConvertTask.h"

FormatConvertTaskModel::FormatConvertTaskModel(QObject *parent) : QAbstractListModel(parent) {}

FormatConvertTaskModel::~FormatConvertTaskModel() = default;

int FormatConvertTaskModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_tasks.size();
}

QVariant FormatConvertTaskModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_tasks.size())
        return QVariant();
    const FormatConvertTask *task = m_tasks.at(index.row());
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
    if (!task)
        return;
    const int row = m_tasks.size();
    beginInsertRows(QModelIndex(), row, row);
    m_tasks.append(task);
    endInsertRows();
    TVX_LOG_INFO << "[FormatConvert][TaskModel] addTask row=" << row << " sourcePath=" << task->sourcePath()
                 << " count=" << m_tasks.size();
    handleTaskChanged(task);
}

void FormatConvertTaskModel::removeAt(int row)
{
    if (row < 0 || row >= m_tasks.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_tasks.removeAt(row);
    endRemoveRows();
}

void FormatConvertTaskModel::clear()
{
    if (m_tasks.isEmpty())
        return;
    beginResetModel();
    m_tasks.clear();
    endResetModel();
}

bool FormatConvertTaskModel::containsSourcePath(const QString &path) const
{
    for (const FormatConvertTask *task : m_tasks) {
        if (task && task->sourcePath() == path)
            return true;
    }
    return false;
}

bool FormatConvertTaskModel::containsTask(const FormatConvertTask *task) const
{
    return task && m_tasks.contains(const_cast<FormatConvertTask *>(task));
}

FormatConvertTask *FormatConvertTaskModel::taskObjectAt(int row) const
{
    return row >= 0 && row < m_tasks.size() ? m_tasks.at(row) : nullptr;
}

QList<FormatConvertTask *> FormatConvertTaskModel::tasks() const
{
    return m_tasks;
}

QVariantMap FormatConvertTaskModel::taskAt(int row) const
{
    QVariantMap map;
    const QModelIndex idx = index(row, 0);
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.constBegin(); it != roles.constEnd(); ++it)
        map.insert(QString::fromLatin1(it.value()), data(idx, it.key()));
    return map;
}

void FormatConvertTaskModel::notifyTaskChanged(FormatConvertTask *task)
{
    handleTaskChanged(task);
}

void FormatConvertTaskModel::handleTaskChanged(FormatConvertTask *task)
{
    const int row = m_tasks.indexOf(task);
    if (row < 0)
        return;
    const QModelIndex idx = index(row, 0);
    emit dataChanged(idx, idx, {});
}
