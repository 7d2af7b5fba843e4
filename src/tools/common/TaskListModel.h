// Rows of a tool window's task list over any task type; the tasks are not owned. Every list
// opens with the source's roles and closes with the job's state; a tool's model names the roles
// between them, each with the value it reads from a task.
#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

namespace tools {

template <typename Task> class TaskListModel : public QAbstractListModel
{
public:
    // The opening roles; a tool's own roles start at FirstToolRole and the job's state follows.
    enum OpeningRole {
        TaskIdRole = Qt::UserRole + 1,
        SourcePathRole,
        FileNameRole,
        FileSizeTextRole,
        SourceFormatRole,
        SourceResolutionRole,
        FirstToolRole,
    };

    struct ToolRole
    {
        const char *name;
        QVariant (*read)(const Task &task);
    };

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_tasks.size();
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() < 0 || index.row() >= m_tasks.size())
            return QVariant();
        const Task *task = m_tasks.at(index.row());
        if (!task)
            return QVariant();
        const int position = role - kFirstRole;
        if (position < 0 || position >= roleCount())
            return QVariant();
        if (position < kOpeningRoles)
            return openingValue(*task, position);
        if (position < kOpeningRoles + m_toolRoles.size())
            return m_toolRoles.at(position - kOpeningRoles).read(*task);
        return closingValue(*task, position - kOpeningRoles - m_toolRoles.size());
    }

    QHash<int, QByteArray> roleNames() const override
    {
        static const char *const opening[kOpeningRoles] = {
            "taskId", "sourcePath", "fileName", "fileSizeText", "sourceFormat", "sourceResolution"};
        static const char *const closing[kClosingRoles] = {"status", "progress", "message"};
        QHash<int, QByteArray> names;
        int role = kFirstRole;
        for (const char *name : opening)
            names.insert(role++, name);
        for (const ToolRole &own : m_toolRoles)
            names.insert(role++, own.name);
        for (const char *name : closing)
            names.insert(role++, name);
        return names;
    }

    void removeAt(int row)
    {
        if (row < 0 || row >= m_tasks.size())
            return;
        beginRemoveRows(QModelIndex(), row, row);
        m_tasks.removeAt(row);
        endRemoveRows();
    }

    void clear()
    {
        if (m_tasks.isEmpty())
            return;
        beginResetModel();
        m_tasks.clear();
        endResetModel();
    }

    bool containsSourcePath(const QString &path) const
    {
        for (const Task *task : m_tasks) {
            if (task && task->sourcePath() == path)
                return true;
        }
        return false;
    }

    // Redraws the task's row when it is listed.
    void notifyTaskChanged(Task *task)
    {
        const int row = m_tasks.indexOf(task);
        if (row < 0)
            return;
        const QModelIndex idx = index(row, 0);
        emit dataChanged(idx, idx, {});
    }

    // A tool role's reader: one getter of the tool's own task type.
    template <typename Own, auto getter> static QVariant read(const Task &task)
    {
        return QVariant::fromValue((static_cast<const Own &>(task).*getter)());
    }

protected:
    // The roles between the opening and the closing ones, in the order of the tool's role enum.
    TaskListModel(QVector<ToolRole> toolRoles, QObject *parent)
        : QAbstractListModel(parent), m_toolRoles(std::move(toolRoles))
    {
    }

    // Appends a non-null task and returns its row; -1 (and no row) for null.
    int appendTask(Task *task)
    {
        if (!task)
            return -1;
        const int row = m_tasks.size();
        beginInsertRows(QModelIndex(), row, row);
        m_tasks.append(task);
        endInsertRows();
        return row;
    }

    // Null for a row out of range.
    Task *rowTask(int row) const { return row >= 0 && row < m_tasks.size() ? m_tasks.at(row) : nullptr; }
    const QList<Task *> &rowTasks() const { return m_tasks; }

private:
    static constexpr int kFirstRole = TaskIdRole;
    static constexpr int kOpeningRoles = FirstToolRole - TaskIdRole;
    static constexpr int kClosingRoles = 3;

    int roleCount() const { return kOpeningRoles + m_toolRoles.size() + kClosingRoles; }

    static QVariant openingValue(const Task &task, int position)
    {
        switch (position) {
        case 0:
            return task.taskId();
        case 1:
            return task.sourcePath();
        case 2:
            return task.sourceFileName();
        case 3:
            return task.sourceFileSizeText();
        case 4:
            return task.sourceFormat();
        default:
            return task.sourceResolution();
        }
    }

    static QVariant closingValue(const Task &task, int position)
    {
        switch (position) {
        case 0:
            return task.status();
        case 1:
            return task.progress();
        default:
            return task.message();
        }
    }

    QList<Task *> m_tasks;
    const QVector<ToolRole> m_toolRoles;
};

} // namespace tools
