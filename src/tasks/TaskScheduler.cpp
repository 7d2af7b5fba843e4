// Job queue: hands queued tasks to the worker and reports each end on the GUI thread.
#include "tasks/TaskScheduler.h"

#include "tasks/BackgroundTask.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {
constexpr int kDestructorWaitMs = 5000;
}

TaskScheduler::TaskScheduler(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<BackgroundTask *>("BackgroundTask*");
}

TaskScheduler::~TaskScheduler()
{
    shutdown(kDestructorWaitMs);
}

bool TaskScheduler::enqueue(BackgroundTask *task)
{
    if (!task || m_shutDown)
        return false;
    if (m_queue.contains(task))
        return true;
    // Only a task reset to Pending has anything left to run once its last job is reported.
    if (isTaskActive(task) && task->status() != BackgroundTask::Pending)
        return false;
    m_queue.append(task);
    startNextTasks();
    return true;
}

void TaskScheduler::setMaxConcurrentTasks(int count)
{
    if (count <= 0)
        count = 1;
    if (count == m_maxConcurrentTasks)
        return;
    m_maxConcurrentTasks = count;
    startNextTasks();
}

bool TaskScheduler::isTaskActive(const BackgroundTask *task) const
{
    return task && m_active.contains(const_cast<BackgroundTask *>(task));
}

void TaskScheduler::startNextTasks()
{
    int next = 0;
    while (!m_shutDown && m_active.size() < m_maxConcurrentTasks && next < m_queue.size()) {
        // A task whose last job has not been reported yet keeps its place; the jobs behind it
        // go first, and the report of its last job starts it.
        if (m_active.contains(m_queue.at(next))) {
            ++next;
            continue;
        }
        BackgroundTask *task = m_queue.takeAt(next);
        m_active.append(task);
        auto *watcher = new QFutureWatcher<void>(this);
        m_watchers.append(watcher);
        connect(watcher, &QFutureWatcher<void>::finished, this, [this, task, watcher]() {
            m_watchers.removeAll(watcher);
            watcher->deleteLater();
            handleTaskFinished(task);
            emit taskFinished(task);
        });
        watcher->setFuture(m_worker.runTask(task));
    }
}

void TaskScheduler::handleTaskFinished(BackgroundTask *task)
{
    for (int i = m_active.size() - 1; i >= 0; --i) {
        if (m_active.at(i) == task || m_active.at(i) == nullptr)
            m_active.removeAt(i);
    }
    startNextTasks();
}

bool TaskScheduler::shutdown(int waitMs)
{
    m_shutDown = true;
    m_queue.clear();
    for (BackgroundTask *task : qAsConst(m_active))
        task->cancel();
    // Polling instead of QFuture::waitForFinished(), which has no time limit.
    QDeadlineTimer deadline(waitMs);
    for (QFutureWatcher<void> *watcher : qAsConst(m_watchers)) {
        while (!watcher->future().isFinished() && !deadline.hasExpired())
            QThread::msleep(5);
    }
    bool allDone = true;
    for (QFutureWatcher<void> *watcher : qAsConst(m_watchers))
        allDone = allDone && watcher->future().isFinished();
    return allDone;
}
