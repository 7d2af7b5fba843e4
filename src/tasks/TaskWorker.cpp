// Pool runnable that drives a task's start() and reports the end through a future.
#include "tasks/TaskWorker.h"

#include "tasks/BackgroundTask.h"

#include <QFutureInterface>
#include <QRunnable>
#include <QThreadPool>

namespace {

class TaskRunnable : public QRunnable
{
public:
    explicit TaskRunnable(BackgroundTask *task) : m_task(task) { m_future.reportStarted(); }
    QFuture<void> future() { return m_future.future(); }

    void run() override
    {
        m_task->start();
        m_future.reportFinished();
    }

private:
    BackgroundTask *m_task;
    QFutureInterface<void> m_future;
};

} // namespace

QFuture<void> TaskWorker::runTask(BackgroundTask *task) const
{
    if (!task)
        return QFuture<void>();
    auto *runnable = new TaskRunnable(task);
    QFuture<void> future = runnable->future();
    QThreadPool::globalInstance()->start(runnable, 0);
    return future;
}
