// The one first-in-first-out job queue of the toolbox: one task at a time on the global pool.
#pragma once

#include "tasks/BackgroundTask.h"
#include "tasks/TaskWorker.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>

class TaskScheduler : public QObject
{
    Q_OBJECT
public:
    explicit TaskScheduler(QObject *parent = nullptr);
    // Cancels the running job and waits for it (bounded), so the job never outlives what it uses.
    ~TaskScheduler() override;

    // Returns whether the task will run: false for a null task, after shutdown, and for a task
    // whose job is still active and that is not Pending. A Pending task whose previous job is
    // still being wound up waits in the queue until that job has been reported; a task already
    // waiting is not queued twice.
    bool enqueue(BackgroundTask *task);

    void setMaxConcurrentTasks(int count);
    int maxConcurrentTasks() const { return m_maxConcurrentTasks; }
    int activeTaskCount() const { return m_active.size(); }
    int queuedTaskCount() const { return m_queue.size(); }
    // True while the task has been handed to the pool and its job has not been reported back.
    bool isTaskActive(const BackgroundTask *task) const;

    // Quit path: drops the queue (no taskFinished for dropped tasks), cancels the running tasks
    // and waits up to waitMs for their jobs. Returns true when no job is left running.
    bool shutdown(int waitMs);

signals:
    void taskFinished(BackgroundTask *task);

private:
    void startNextTasks();
    void handleTaskFinished(BackgroundTask *task);

    QList<BackgroundTask *> m_queue;
    QList<BackgroundTask *> m_active;
    QList<QFutureWatcher<void> *> m_watchers;
    int m_maxConcurrentTasks = 1;
    TaskWorker m_worker;
    bool m_shutDown = false;
};
