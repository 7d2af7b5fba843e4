// The batch loop the tool windows share whatever their task type: the start of the sound pending
// rows through the job queue, the polling that redraws running rows while the batch lasts, and
// the count of the batch's outcomes once none of its rows waits or runs.
#pragma once

#include "tasks/BackgroundTask.h"
#include "tasks/TaskManager.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

namespace tools {

template <typename Task> class TaskBatchRun
{
public:
    using Rows = std::function<QList<Task *>()>;
    using Redraw = std::function<void(Task *)>;
    using Damaged = std::function<bool(const Task *)>;

    // What the rows leave to the start button, rows present.
    enum class RowsState { Running, Startable, NothingToStart };

    struct Outcome
    {
        int successes = 0;
        int failures = 0;
    };

    // rows: the tool's tasks in row order; redraw: repaints one row; damaged: rows that never
    // run; poll: what the owner does at each tick (it calls refresh()).
    TaskBatchRun(Rows rows, Redraw redraw, Damaged damaged, std::function<void()> poll, int pollIntervalMs)
        : m_rows(std::move(rows)), m_redraw(std::move(redraw)), m_damaged(std::move(damaged)),
          m_poll(std::move(poll))
    {
        m_pollTimer.setInterval(pollIntervalMs);
        QObject::connect(&m_pollTimer, &QTimer::timeout, [this]() { m_poll(); });
    }

    TaskBatchRun(const TaskBatchRun &) = delete;
    TaskBatchRun &operator=(const TaskBatchRun &) = delete;

    static bool isUnfinished(const Task *task)
    {
        const int status = task->status();
        return status == BackgroundTask::Pending || status == BackgroundTask::Running;
    }

    // Submits every sound pending row as a new batch; beforeSubmit sees each row first. Ends
    // with the owner's poll, then keeps polling while the batch has rows.
    template <typename BeforeSubmit> void start(TaskManager *taskManager, BeforeSubmit beforeSubmit)
    {
        m_batchTaskIds.clear();
        for (Task *task : m_rows()) {
            if (!task || task->status() != BackgroundTask::Pending || m_damaged(task))
                continue;
            beforeSubmit(task);
            // A job the queue refuses would never end, and the batch would never report.
            if (taskManager->submitTask(task))
                m_batchTaskIds.insert(task->taskId());
            m_redraw(task);
        }
        m_poll();
        if (!m_batchTaskIds.isEmpty() && !m_pollTimer.isActive())
            m_pollTimer.start();
    }

    // Redraws the running rows; the polling stops once nothing runs and the batch has no row
    // left waiting.
    void refresh()
    {
        bool running = false;
        for (Task *task : m_rows()) {
            if (task && task->status() == BackgroundTask::Running) {
                running = true;
                m_redraw(task);
            }
        }
        // A batch row still queued behind another tool's job keeps the polling alive, so it
        // moves as soon as it begins.
        if (!running && !batchHasUnfinishedTask() && m_pollTimer.isActive())
            m_pollTimer.stop();
    }

    // The counts once every row of the batch has ended; false while one waits or runs, or
    // when there is no batch.
    bool finishedOutcome(Outcome *outcome) const
    {
        if (m_batchTaskIds.isEmpty())
            return false;
        QHash<QString, int> statusById;
        for (const Task *task : m_rows()) {
            if (task)
                statusById.insert(task->taskId(), task->status());
        }
        Outcome counted;
        for (const QString &id : m_batchTaskIds) {
            const auto it = statusById.constFind(id);
            if (it == statusById.constEnd())
                continue;
            switch (it.value()) {
            case BackgroundTask::Pending:
            case BackgroundTask::Running:
                return false;
            case BackgroundTask::Completed:
                ++counted.successes;
                break;
            case BackgroundTask::Failed:
                ++counted.failures;
                break;
            default:
                break;
            }
        }
        *outcome = counted;
        return true;
    }

    bool inBatch(const Task *task) const { return m_batchTaskIds.contains(task->taskId()); }
    void endBatch() { m_batchTaskIds.clear(); }

    // Cancels a row about to leave the list; it no longer counts for the batch.
    void drop(Task *task)
    {
        m_batchTaskIds.remove(task->taskId());
        task->cancel();
    }

    // Cancels every row before the list is emptied.
    void dropAll()
    {
        m_batchTaskIds.clear();
        for (Task *task : m_rows()) {
            if (task)
                task->cancel();
        }
    }

    bool anyRunning() const
    {
        const QList<Task *> tasks = m_rows();
        return std::any_of(tasks.begin(), tasks.end(),
                           [](const Task *t) { return t && t->status() == BackgroundTask::Running; });
    }

    RowsState rowsState() const
    {
        bool startable = false;
        for (const Task *task : m_rows()) {
            if (!task)
                continue;
            if (task->status() == BackgroundTask::Running)
                return RowsState::Running;
            if (task->status() == BackgroundTask::Pending && !m_damaged(task))
                startable = true;
        }
        return startable ? RowsState::Startable : RowsState::NothingToStart;
    }

private:
    bool batchHasUnfinishedTask() const
    {
        for (const Task *task : m_rows()) {
            if (task && m_batchTaskIds.contains(task->taskId()) && isUnfinished(task))
                return true;
        }
        return false;
    }

    const Rows m_rows;
    const Redraw m_redraw;
    const Damaged m_damaged;
    const std::function<void()> m_poll;
    QTimer m_pollTimer;
    QSet<QString> m_batchTaskIds;
};

} // namespace tools
