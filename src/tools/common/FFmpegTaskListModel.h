// Base of the ffmpeg tools' task list models: the rows (tasks not owned) and the edits shared by
// every tool; each tool's model adds its own roles.
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>

namespace tools {

class FFmpegOutputTask;

class FFmpegTaskListModel : public QAbstractListModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    void removeAt(int row);
    void clear();
    bool containsSourcePath(const QString &path) const;
    bool containsTask(const FFmpegOutputTask *task) const;
    // Every role of the row, by name; invalid values for a row out of range.
    QVariantMap taskAt(int row) const;
    void notifyTaskChanged(FFmpegOutputTask *task);
    void handleTaskChanged(FFmpegOutputTask *task);
    // Null for a row out of range.
    FFmpegOutputTask *outputTaskAt(int row) const;
    const QList<FFmpegOutputTask *> &outputTasks() const;

protected:
    explicit FFmpegTaskListModel(QObject *parent);

    // Appends a non-null task and returns its row; -1 (and no row) for null.
    int appendTask(FFmpegOutputTask *task);
    // The tool's own roles; task is the one of a valid row.
    virtual QVariant taskData(const FFmpegOutputTask &task, int role) const = 0;

private:
    QList<FFmpegOutputTask *> m_tasks;
};

} // namespace tools
