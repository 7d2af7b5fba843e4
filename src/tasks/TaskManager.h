// Owner of the job queue; the tool view models submit their tasks here.
#pragma once

#include <QObject>

class BackgroundTask;
class TaskScheduler;

class TaskManager : public QObject
{
public:
    explicit TaskManager(QObject *parent = nullptr);

    TaskScheduler *scheduler() const { return m_scheduler; }
    // Whether the task will run (see TaskScheduler::enqueue).
    bool submitTask(BackgroundTask *task);
    // Quit path: cancel the running job and wait for it at most waitMs.
    bool shutdown(int waitMs);

private:
    TaskScheduler *m_scheduler = nullptr;
};
