// Hands one task's start operation to Qt's global thread pool.
#pragma once

#include <QFuture>

class BackgroundTask;

class TaskWorker
{
public:
    // A null task gives an already finished, cancelled future.
    QFuture<void> runTask(BackgroundTask *task) const;
};
