// Base of every queued tool job: status, progress, texts and times, safe to read while a pool
// thread writes them.
#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QMutex>
#include <QString>

#include <atomic>

class BackgroundTask
{
public:
    enum Status { Pending = 0, Running = 1, Completed = 2, Failed = 3, Cancelled = 4 };

    BackgroundTask(const QString &taskId, const QString &toolId);
    virtual ~BackgroundTask();

    BackgroundTask(const BackgroundTask &) = delete;
    BackgroundTask &operator=(const BackgroundTask &) = delete;

    QString taskId() const;
    QString toolId() const;
    int status() const;
    double progress() const;
    QString message() const;
    QString errorCode() const;
    QString errorText() const;
    QDateTime createdAt() const;
    QDateTime startedAt() const;
    QDateTime finishedAt() const;

    // Runs executeStart() on the calling (pool) thread when the task is Pending.
    void start();
    // Asks a Pending or Running task to stop; Completed, Failed and Cancelled tasks ignore it.
    void cancel();

    // True from cancel() until resetToPending(); a running executeStart() polls it.
    bool isCancelRequested() const;
    // True while start() is inside executeStart(): such a task must not be reset or resubmitted.
    bool isExecuting() const;

    // The marks return whether they were applied. Until resetToPending(), a Cancelled task refuses
    // markRunning, markCompleted and markFailed (a job cancelled while it ran never reports an
    // output), and a Completed or Failed task refuses markCancelled (a job that ended just before
    // the cancel keeps its outcome). A subclass that gets false from markRunning() must return at
    // once, and one that gets false from markCompleted() must discard what it produced.
    bool markRunning(const QString &message);
    bool markCompleted(const QString &message);
    bool markFailed(const QString &errorCode, const QString &errorText);
    bool markCancelled(const QString &message);
    // Does nothing while the task is Running or its job is still executing.
    bool resetToPending(const QString &message);

    void setProgress(double value);
    void setMessage(const QString &message);
    void clearError();

protected:
    // The whole job, synchronously on the calling pool thread.
    virtual void executeStart() = 0;
    // Runs on the GUI thread, possibly while executeStart() runs: only set flags and mark.
    virtual void executeCancel();

private:
    void clearErrorLocked();
    void replaceMessageLocked(const QString &message);

    const QString m_taskId;
    const QString m_toolId;
    mutable QMutex m_mutex;
    int m_status = Pending;
    double m_progress = 0.0;
    QString m_message;
    QString m_errorCode;
    QString m_errorText;
    const QDateTime m_createdAt;
    QDateTime m_startedAt;
    QDateTime m_finishedAt;
    std::atomic_bool m_cancelRequested{false};
    std::atomic_bool m_executing{false};
};

Q_DECLARE_METATYPE(BackgroundTask *)
