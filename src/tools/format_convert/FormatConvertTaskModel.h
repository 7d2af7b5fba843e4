// Rows of the format-convert window's task list; the tasks are not owned.
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>

class FormatConvertTask;

class FormatConvertTaskModel : public QAbstractListModel
{
public:
    enum Role {
        TaskIdRole = Qt::UserRole + 1,
        SourcePathRole,
        FileNameRole,
        FileSizeTextRole,
        SourceFormatRole,
        SourceResolutionRole,
        TargetFormatRole,
        TargetResolutionRole,
        StatusRole,
        ProgressRole,
        MessageRole,
    };

    explicit FormatConvertTaskModel(QObject *parent = nullptr);
    ~FormatConvertTaskModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void addTask(FormatConvertTask *task);
    void removeAt(int row);
    void clear();
    bool containsSourcePath(const QString &path) const;
    bool containsTask(const FormatConvertTask *task) const;
    FormatConvertTask *taskObjectAt(int row) const;
    QList<FormatConvertTask *> tasks() const;
    // Every role of the row, by name; invalid values for a row out of range.
    QVariantMap taskAt(int row) const;
    void notifyTaskChanged(FormatConvertTask *task);
    void handleTaskChanged(FormatConvertTask *task);

private:
    QList<FormatConvertTask *> m_tasks;
};
