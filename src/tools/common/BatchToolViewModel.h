// What the format-convert and video-compress view models share over their tools::ToolBatch: the
// output folder, the shutdown option, the start state and the list actions of the page.
#pragma once

#include "tools/common/ToolBatch.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace tools {

class BatchToolViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(
        QString outputDirectory READ outputDirectory WRITE setOutputDirectory NOTIFY outputDirectoryChanged)
    Q_PROPERTY(bool shutdownWhenFinished READ shutdownWhenFinished WRITE setShutdownWhenFinished NOTIFY
                   shutdownWhenFinishedChanged)
    Q_PROPERTY(bool ffmpegReady READ ffmpegReady NOTIFY ffmpegReadyChanged)
    Q_PROPERTY(bool exporting READ exporting NOTIFY startActionChanged)
    Q_PROPERTY(bool canStartTasks READ canStartTasks NOTIFY startActionChanged)

public:
    QString outputDirectory() const;
    bool shutdownWhenFinished() const;
    bool ffmpegReady() const;
    bool exporting() const;
    bool canStartTasks() const;

    Q_INVOKABLE QObject *taskModelObject() const;
    Q_INVOKABLE void addFiles(const QStringList &fileUrls);
    Q_INVOKABLE void addFolder(const QString &folderUrl);
    Q_INVOKABLE void removeTask(int row);
    Q_INVOKABLE void startTasks();
    Q_INVOKABLE void clearTasks();

public slots:
    void setOutputDirectory(const QString &outputDirectory);
    void setShutdownWhenFinished(bool shutdownWhenFinished);

signals:
    void outputDirectoryChanged();
    void outputDirectoryValidationFailed(const QString &message);
    void shutdownWhenFinishedChanged();
    void ffmpegReadyChanged();
    void ffmpegStatusTextChanged();
    void startActionChanged();
    void batchExecutionFinished(int successCount, int failedCount);

protected:
    explicit BatchToolViewModel(QObject *parent);

    // Called once from the tool's constructor, after its task model exists.
    void createBatch(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
                     SystemActions *systemActions, FFmpegTaskListModel *model, ToolBatch::Config config);
    ToolBatch *batch() const { return m_batch; }

    // Writes the current choices into the tasks that may still take them.
    virtual void applyPresetToTasks() = 0;
    // The refused folder's reason, before outputDirectoryValidationFailed is sent.
    virtual void outputDirectoryRefused(const QString &message) { Q_UNUSED(message) }
    // A new folder was taken, before the tasks are given it.
    virtual void outputDirectoryTaken() {}

private:
    ToolBatch *m_batch = nullptr;
};

} // namespace tools
