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

void TaskScheduler::enqueue(BackgroundTask *task)
{
    if (!task || m_shutDown || isTaskActive(task))
        return;
    m_queue.append(task);
    startNextTasks();
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
    while (!m_shutDown && m_active.size() < m_maxConcurrentTasks && !m_queue.isEmpty()) {
        BackgroundTask *task = m_queue.takeFirst();
        if (!task)
            continue;
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
