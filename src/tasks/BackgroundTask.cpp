// Status bookkeeping of queued tool jobs.
#include "tasks/BackgroundTask.h"

#include <QMutexLocker>

#include <cmath>

namespace {

bool fuzzyEqual(double a, double b)
{
    return std::abs(a - b) * 1000000000000.0 <= std::min(std::abs(a), std::abs(b));
}

} // namespace

BackgroundTask::BackgroundTask(const QString &taskId, const QString &toolId)
    : m_taskId(taskId), m_toolId(toolId), m_createdAt(QDateTime::currentDateTime())
{
}

BackgroundTask::~BackgroundTask() = default;

QString BackgroundTask::taskId() const
{
    return m_taskId;
}
QString BackgroundTask::toolId() const
{
    return m_toolId;
}

int BackgroundTask::status() const
{
    QMutexLocker lock(&m_mutex);
    return m_status;
}

double BackgroundTask::progress() const
{
    QMutexLocker lock(&m_mutex);
    return m_progress;
}

QString BackgroundTask::message() const
{
    QMutexLocker lock(&m_mutex);
    return m_message;
}

QString BackgroundTask::errorCode() const
{
    QMutexLocker lock(&m_mutex);
    return m_errorCode;
}

QString BackgroundTask::errorText() const
{
    QMutexLocker lock(&m_mutex);
    return m_errorText;
}

QDateTime BackgroundTask::createdAt() const
{
    return m_createdAt;
}

QDateTime BackgroundTask::startedAt() const
{
    QMutexLocker lock(&m_mutex);
    return m_startedAt;
}

QDateTime BackgroundTask::finishedAt() const
{
    QMutexLocker lock(&m_mutex);
    return m_finishedAt;
}

void BackgroundTask::start()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_status != Pending || m_executing)
            return;
        m_executing = true;
    }
    executeStart();
    m_executing = false;
}

void BackgroundTask::cancel()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_status == Completed || m_status == Failed || m_status == Cancelled)
            return;
    }
    m_cancelRequested = true;
    executeCancel();
}

bool BackgroundTask::isCancelRequested() const
{
    return m_cancelRequested;
}
bool BackgroundTask::isExecuting() const
{
    return m_executing;
}

void BackgroundTask::executeCancel()
{
    markCancelled(QStringLiteral("Task cancelled"));
}

bool BackgroundTask::markRunning(const QString &message)
{
    QMutexLocker lock(&m_mutex);
    if (m_status == Cancelled)
        return false;
    m_status = Running;
    m_startedAt = QDateTime::currentDateTime();
    clearErrorLocked();
    replaceMessageLocked(message);
    return true;
}

bool BackgroundTask::markCompleted(const QString &message)
{
    QMutexLocker lock(&m_mutex);
    if (m_status == Cancelled)
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    m_status = Completed;
    m_progress = 1.0;
    if (!m_startedAt.isValid())
        m_startedAt = now;
    m_finishedAt = now;
    clearErrorLocked();
    replaceMessageLocked(message);
    return true;
}

bool BackgroundTask::markFailed(const QString &errorCode, const QString &errorText)
{
    QMutexLocker lock(&m_mutex);
    if (m_status == Cancelled)
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    m_status = Failed;
    if (!m_startedAt.isValid())
        m_startedAt = now;
    m_finishedAt = now;
    m_errorCode = errorCode;
    m_errorText = errorText;
    return true;
}

bool BackgroundTask::markCancelled(const QString &message)
{
    QMutexLocker lock(&m_mutex);
    // A job that finished while the user pressed cancel keeps its real outcome.
    if (m_status == Completed || m_status == Failed)
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    m_status = Cancelled;
    if (!m_startedAt.isValid())
        m_startedAt = now;
    m_finishedAt = now;
    clearErrorLocked();
    replaceMessageLocked(message);
    return true;
}

bool BackgroundTask::resetToPending(const QString &message)
{
    QMutexLocker lock(&m_mutex);
    if (m_status == Running || m_executing)
        return false;
    m_status = Pending;
    m_progress = 0.0;
    m_startedAt = QDateTime();
    m_finishedAt = QDateTime();
    clearErrorLocked();
    if (m_message != message || m_message.isNull() != message.isNull())
        m_message = message;
    m_cancelRequested = false;
    return true;
}

void BackgroundTask::setProgress(double value)
{
    // NaN fails "value > 0" and so lands on 0 with the negatives.
    double clamped = 0.0;
    if (value > 1.0)
        clamped = 1.0;
    else if (value > 0.0)
        clamped = value;
    QMutexLocker lock(&m_mutex);
    if (!fuzzyEqual(m_progress, clamped))
        m_progress = clamped;
}

void BackgroundTask::setMessage(const QString &message)
{
    QMutexLocker lock(&m_mutex);
    if (m_message != message)
        m_message = message;
}

void BackgroundTask::clearError()
{
    QMutexLocker lock(&m_mutex);
    clearErrorLocked();
}

void BackgroundTask::clearErrorLocked()
{
    if (!m_errorCode.trimmed().isEmpty() || !m_errorText.trimmed().isEmpty()) {
        m_errorCode = QString();
        m_errorText = QString();
    }
}

void BackgroundTask::replaceMessageLocked(const QString &message)
{
    if (message.isNull() || m_message == message)
        return;
    m_message = message;
}
