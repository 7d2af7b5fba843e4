// Job queue owner.
#include "tasks/TaskManager.h"

#include "tasks/TaskScheduler.h"

TaskManager::TaskManager(QObject *parent) : QObject(parent), m_scheduler(new TaskScheduler(this)) {}

bool TaskManager::submitTask(BackgroundTask *task)
{
    return task && m_scheduler && m_scheduler->enqueue(task);
}

bool TaskManager::shutdown(int waitMs)
{
    return m_scheduler ? m_scheduler->shutdown(waitMs) : true;
}
