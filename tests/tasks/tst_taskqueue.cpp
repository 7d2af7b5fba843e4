// Job queue and task bookkeeping: FIFO one at a time, cancel paths, the mark table, a race test.
#include "TestSupport.h"
#include "tasks/BackgroundTask.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/ToolIds.h"

#include <QMutex>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <limits>

namespace {

// Records which tasks started, in order, and how many ran at once.
struct RunLog
{
    QMutex mutex;
    QStringList started;
    std::atomic_int running{0};
    std::atomic_int maxRunning{0};
};

// Runs until released (or cancelled), like a tool job waiting on ffmpeg.
class LatchedTask : public BackgroundTask
{
public:
    LatchedTask(const QString &id, RunLog *log)
        : BackgroundTask(id, QString(tools::ToolIds::FormatConvert)), m_log(log)
    {
    }

    void release() { m_latch.release(); }
    bool startedRunning() const { return m_started; }
    int executeCount() const { return m_executeCount; }

protected:
    void executeStart() override
    {
        ++m_executeCount;
        if (!markRunning(QStringLiteral("running")))
            return;
        m_started = true;
        const int now = ++m_log->running;
        int seen = m_log->maxRunning;
        while (now > seen && !m_log->maxRunning.compare_exchange_weak(seen, now)) {
        }
        {
            QMutexLocker lock(&m_log->mutex);
            m_log->started << taskId();
        }
        bool released = false;
        while (!(released = m_latch.tryAcquire(1, 5)) && !isCancelRequested()) {
        }
        --m_log->running;
        if (released)
            markCompleted(QStringLiteral("done"));
    }

private:
    RunLog *m_log;
    QSemaphore m_latch;
    std::atomic_bool m_started{false};
    std::atomic_int m_executeCount{0};
};

// A task that runs no job; used to drive the marks directly.
class PlainTask : public BackgroundTask
{
public:
    PlainTask() : BackgroundTask(QStringLiteral("t"), QString(tools::ToolIds::VideoCompress)) {}
    void executeStart() override {}
};

// Busy task for the race test: keeps writing progress and messages until done or cancelled.
class BusyTask : public BackgroundTask
{
public:
    explicit BusyTask(int n) : BackgroundTask(QString::number(n), QString(tools::ToolIds::VideoToText)) {}

protected:
    void executeStart() override
    {
        if (!markRunning(QStringLiteral("busy")))
            return;
        for (int i = 0; i <= 200; ++i) {
            if (isCancelRequested())
                return;
            setProgress(i / 200.0);
            setMessage(QStringLiteral("step %1").arg(i));
            if (i % 20 == 0)
                QThread::usleep(200);
        }
        markCompleted(QStringLiteral("done"));
    }
};

void applyStep(BackgroundTask &task, const QString &step)
{
    const int colon = step.indexOf(QLatin1Char(':'));
    const QString op = colon < 0 ? step : step.left(colon);
    // "~" stands for a null string argument, distinct from an empty one.
    const QString arg =
        colon < 0 || step.mid(colon + 1) == QLatin1String("~") ? QString() : step.mid(colon + 1);
    if (op == QLatin1String("running"))
        task.markRunning(arg);
    else if (op == QLatin1String("completed"))
        task.markCompleted(arg);
    else if (op == QLatin1String("failed"))
        task.markFailed(arg, arg.trimmed().isEmpty() ? arg : arg + QStringLiteral(" text"));
    else if (op == QLatin1String("cancelled"))
        task.markCancelled(arg);
    else if (op == QLatin1String("reset"))
        task.resetToPending(arg);
    else if (op == QLatin1String("cancel"))
        task.cancel();
    else if (op == QLatin1String("message"))
        task.setMessage(arg);
    else if (op == QLatin1String("clearError"))
        task.clearError();
    else if (op == QLatin1String("progress"))
        task.setProgress(arg == QLatin1String("nan") ? std::numeric_limits<double>::quiet_NaN()
                                                     : arg.toDouble());
    else
        qFatal("unknown step %s", qPrintable(step));
}

} // namespace

class TaskQueueTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void toolIds()
    {
        QCOMPARE(QString(tools::ToolIds::FormatConvert), QStringLiteral("format-convert"));
        QCOMPARE(QString(tools::ToolIds::VideoCompress), QStringLiteral("video-compress"));
        QCOMPARE(QString(tools::ToolIds::VideoToText), QStringLiteral("video-to-text"));
        QCOMPARE(QString(tools::ToolMessages::Cancelled), QStringLiteral("Cancelled"));
    }

    void nullTaskIsIgnored()
    {
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        QVERIFY(!manager.submitTask(nullptr));
        QCOMPARE(manager.scheduler()->queuedTaskCount(), 0);
        QCOMPARE(manager.scheduler()->activeTaskCount(), 0);
        QTest::qWait(20);
        QCOMPARE(finished.count(), 0);
    }

    void strictFifoOneAtATime()
    {
        RunLog log;
        LatchedTask a(QStringLiteral("a"), &log), b(QStringLiteral("b"), &log), c(QStringLiteral("c"), &log);
        TaskManager manager;
        TaskScheduler *scheduler = manager.scheduler();
        QList<BackgroundTask *> finishedOrder;
        bool nextWasHandedOver = true;
        connect(scheduler, &TaskScheduler::taskFinished, this, [&](BackgroundTask *task) {
            finishedOrder << task;
            // The next queued task is already with the pool when a task's end is announced.
            if (task == &a)
                nextWasHandedOver = nextWasHandedOver && scheduler->isTaskActive(&b);
            if (task == &b)
                nextWasHandedOver = nextWasHandedOver && scheduler->isTaskActive(&c);
        });
        manager.submitTask(&a);
        manager.submitTask(&b);
        manager.submitTask(&c);
        QVERIFY(tvxtest::waitUntil([&] { return a.startedRunning(); }));
        QCOMPARE(scheduler->activeTaskCount(), 1);
        QCOMPARE(scheduler->queuedTaskCount(), 2);
        QCOMPARE(b.status(), int(BackgroundTask::Pending));
        for (LatchedTask *t : {&a, &b, &c}) {
            QVERIFY(tvxtest::waitUntil([&] { return t->startedRunning(); }));
            t->release();
            QVERIFY(tvxtest::waitUntil([&] { return finishedOrder.contains(t); }));
        }
        QCOMPARE(finishedOrder, (QList<BackgroundTask *>{&a, &b, &c}));
        QCOMPARE(log.started, (QStringList{"a", "b", "c"}));
        QCOMPARE(log.maxRunning.load(), 1);
        QVERIFY(nextWasHandedOver);
        for (LatchedTask *t : {&a, &b, &c})
            QCOMPARE(t->status(), int(BackgroundTask::Completed));
    }

    void cancelWhileWaiting()
    {
        RunLog log;
        LatchedTask running(QStringLiteral("r"), &log), waiting(QStringLiteral("w"), &log);
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        manager.submitTask(&running);
        manager.submitTask(&waiting);
        QVERIFY(tvxtest::waitUntil([&] { return running.startedRunning(); }));
        waiting.setProgress(0.25);
        waiting.cancel();
        QCOMPARE(waiting.status(), int(BackgroundTask::Cancelled));
        QCOMPARE(waiting.message(), QStringLiteral("Task cancelled"));
        QVERIFY(waiting.startedAt().isValid());
        QVERIFY(waiting.finishedAt().isValid());
        QCOMPARE(waiting.progress(), 0.25);
        running.release();
        QVERIFY(tvxtest::waitUntil([&] { return finished.count() == 2; }));
        QTest::qWait(30);
        QCOMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1).at(0).value<BackgroundTask *>(), static_cast<BackgroundTask *>(&waiting));
        QCOMPARE(waiting.executeCount(), 0);
        QCOMPARE(waiting.status(), int(BackgroundTask::Cancelled));
    }

    // A job that is cancelled keeps running until it notices; meanwhile the task must not be reset
    // to Pending nor queued again, or two jobs would run on one task.
    void activeJobIsNotResetOrResubmitted()
    {
        RunLog log;
        LatchedTask task(QStringLiteral("x"), &log);
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        // Keep the job from noticing the cancel by holding the pool thread inside a fake "ffmpeg".
        class StubbornTask : public BackgroundTask
        {
        public:
            StubbornTask() : BackgroundTask(QStringLiteral("s"), QString(tools::ToolIds::FormatConvert)) {}
            QSemaphore latch;
            std::atomic_int runs{0};

        protected:
            void executeStart() override
            {
                ++runs;
                markRunning(QStringLiteral("run"));
                latch.acquire();
                if (!markCompleted(QStringLiteral("done")))
                    return; // cancelled meanwhile: the output would be discarded here
            }
        } stubborn;
        manager.submitTask(&stubborn);
        QVERIFY(tvxtest::waitUntil([&] { return stubborn.status() == BackgroundTask::Running; }));
        stubborn.cancel();
        QCOMPARE(stubborn.status(), int(BackgroundTask::Cancelled));
        QVERIFY(stubborn.isExecuting());
        QVERIFY(!stubborn.resetToPending(QStringLiteral("again")));
        QCOMPARE(stubborn.status(), int(BackgroundTask::Cancelled));
        QVERIFY(manager.scheduler()->isTaskActive(&stubborn));
        QVERIFY(!manager.submitTask(&stubborn));
        QCOMPARE(manager.scheduler()->queuedTaskCount(), 0);
        stubborn.latch.release();
        QVERIFY(tvxtest::waitUntil([&] { return finished.count() == 1; }));
        QCOMPARE(stubborn.status(), int(BackgroundTask::Cancelled));
        QCOMPARE(stubborn.message(), QStringLiteral("Task cancelled"));
        QCOMPARE(stubborn.runs.load(), 1);
        QVERIFY(!manager.scheduler()->isTaskActive(&stubborn));
        QVERIFY(stubborn.resetToPending(QStringLiteral("again")));
        QCOMPARE(stubborn.status(), int(BackgroundTask::Pending));
        QVERIFY(!stubborn.isCancelRequested());
    }

    // A batch restarted between the end of a job and its report must not lose the task: it waits
    // for the report and then runs again, and the caller is told it will.
    void taskResetBeforeItsReportRunsAgain()
    {
        RunLog log;
        LatchedTask task(QStringLiteral("again"), &log);
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        QVERIFY(manager.submitTask(&task));
        QVERIFY(tvxtest::waitUntil([&] { return task.startedRunning(); }));
        task.release();
        // No event is processed here, so the job's report is still on its way.
        for (int i = 0; i < 500 && (task.isExecuting() || task.status() != BackgroundTask::Completed); ++i)
            QThread::msleep(5);
        QCOMPARE(task.status(), int(BackgroundTask::Completed));
        QVERIFY(manager.scheduler()->isTaskActive(&task));
        QVERIFY(task.resetToPending(QString()));
        QVERIFY(manager.submitTask(&task));
        QVERIFY(manager.submitTask(&task)); // already waiting: not queued twice
        QCOMPARE(manager.scheduler()->queuedTaskCount(), 1);
        QVERIFY(tvxtest::waitUntil(
            [&] { return task.executeCount() == 2 && task.status() == BackgroundTask::Running; }));
        task.release();
        QVERIFY(tvxtest::waitUntil([&] { return finished.count() == 2; }));
        QCOMPARE(task.status(), int(BackgroundTask::Completed));
        QTest::qWait(20);
        QCOMPARE(finished.count(), 2);
    }

    void shutdownCancelsRunningAndDropsQueued()
    {
        RunLog log;
        LatchedTask running(QStringLiteral("r"), &log), queued(QStringLiteral("q"), &log);
        auto *manager = new TaskManager;
        QSignalSpy finished(manager->scheduler(), &TaskScheduler::taskFinished);
        manager->submitTask(&running);
        manager->submitTask(&queued);
        QVERIFY(tvxtest::waitUntil([&] { return running.startedRunning(); }));
        QVERIFY(manager->shutdown(5000));
        QVERIFY(!running.isExecuting());
        QCOMPARE(running.status(), int(BackgroundTask::Cancelled));
        QCOMPARE(queued.executeCount(), 0);
        QCOMPARE(manager->scheduler()->queuedTaskCount(), 0);
        manager->submitTask(&queued);
        QCOMPARE(manager->scheduler()->queuedTaskCount(), 0);
        delete manager;
        QTest::qWait(20);
        QCOMPARE(queued.executeCount(), 0);
    }

    void marks_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("status");
        QTest::addColumn<double>("progress");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("errorCode");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("finished");

        QTest::newRow("new task") << QStringList{} << 0 << 0.0 << QString() << QString() << false << false;
        QTest::newRow("cancel pending") << QStringList{"progress:0.4", "cancel"} << 4 << 0.4
                                        << "Task cancelled" << QString() << true << true;
        QTest::newRow("cancel completed does nothing")
            << QStringList{"completed:done", "cancel"} << 2 << 1.0 << "done" << QString() << true << true;
        QTest::newRow("cancel failed does nothing")
            << QStringList{"failed:e1", "cancel"} << 3 << 0.0 << QString() << "e1" << true << true;
        QTest::newRow("cancel cancelled keeps message")
            << QStringList{"cancelled:stop", "cancel"} << 4 << 0.0 << "stop" << QString() << true << true;
        QTest::newRow("reset running does nothing") << QStringList{"running:go", "progress:0.5", "reset:m"}
                                                    << 1 << 0.5 << "go" << QString() << true << false;
        QTest::newRow("reset failed") << QStringList{"running:go", "progress:0.5", "failed:e1", "reset:m"}
                                      << 0 << 0.0 << "m" << QString() << false << false;
        QTest::newRow("reset with null message") << QStringList{"completed:done", "reset:~"} << 0 << 0.0
                                                 << QString() << QString() << false << false;
        QTest::newRow("running null message kept")
            << QStringList{"message:old", "running:~"} << 1 << 0.0 << "old" << QString() << true << false;
        QTest::newRow("running empty message empties")
            << QStringList{"message:old", "running:"} << 1 << 0.0 << "" << QString() << true << false;
        QTest::newRow("running clears error")
            << QStringList{"failed:e1", "running:go"} << 1 << 0.0 << "go" << QString() << true << true;
        QTest::newRow("failed keeps message and progress")
            << QStringList{"message:m", "progress:0.3", "failed:e2"} << 3 << 0.3 << "m"
            << "e2" << true << true;
        QTest::newRow("completed sets full progress")
            << QStringList{"running:go", "completed:~"} << 2 << 1.0 << "go" << QString() << true << true;
        QTest::newRow("completed after cancel is refused")
            << QStringList{"running:go", "cancel", "completed:done"} << 4 << 0.0 << "Task cancelled"
            << QString() << true << true;
        QTest::newRow("failed after cancel is refused")
            << QStringList{"running:go", "cancel", "failed:e3"} << 4 << 0.0 << "Task cancelled" << QString()
            << true << true;
        QTest::newRow("cancelled after completed is refused")
            << QStringList{"completed:done", "cancelled:stop"} << 2 << 1.0 << "done" << QString() << true
            << true;
        QTest::newRow("cancelled after failed is refused")
            << QStringList{"failed:e4", "cancelled:stop"} << 3 << 0.0 << QString() << "e4" << true << true;
        QTest::newRow("blank error code is not cleared")
            << QStringList{"failed: ", "clearError"} << 3 << 0.0 << QString() << " " << true << true;
        QTest::newRow("progress above one")
            << QStringList{"progress:1.5"} << 0 << 1.0 << QString() << QString() << false << false;
        QTest::newRow("progress negative") << QStringList{"progress:0.6", "progress:-0.2"} << 0 << 0.0
                                           << QString() << QString() << false << false;
        QTest::newRow("progress NaN") << QStringList{"progress:0.6", "progress:nan"} << 0 << 0.0 << QString()
                                      << QString() << false << false;
        QTest::newRow("progress fraction")
            << QStringList{"progress:0.25"} << 0 << 0.25 << QString() << QString() << false << false;
    }

    void marks()
    {
        QFETCH(QStringList, steps);
        PlainTask task;
        for (const QString &step : steps)
            applyStep(task, step);
        QTEST(task.status(), "status");
        QTEST(task.progress(), "progress");
        QFETCH(QString, message);
        QCOMPARE(task.message(), message);
        QCOMPARE(task.message().isNull(), message.isNull());
        QTEST(task.errorCode(), "errorCode");
        QTEST(task.startedAt().isValid(), "started");
        QTEST(task.finishedAt().isValid(), "finished");
        QVERIFY(task.createdAt().isValid());
        QCOMPARE(task.toolId(), QStringLiteral("video-compress"));
    }

    // The GUI thread polls and cancels while pool jobs write: one taskFinished per task, and a
    // task seen Cancelled never ends otherwise.
    void pollAndCancelStress()
    {
        constexpr int kTasks = 60;
        QList<BusyTask *> tasks;
        for (int i = 0; i < kTasks; ++i)
            tasks << new BusyTask(i);
        TaskManager manager;
        QHash<BackgroundTask *, int> finishedCount;
        connect(manager.scheduler(), &TaskScheduler::taskFinished, this,
                [&](BackgroundTask *t) { ++finishedCount[t]; });
        for (BusyTask *t : tasks)
            manager.submitTask(t);
        QSet<BackgroundTask *> seenCancelled;
        QRandomGenerator rng(7);
        QVERIFY(tvxtest::waitUntil(
            [&] {
                for (BusyTask *t : tasks) {
                    const double p = t->progress();
                    if (!(p >= 0.0 && p <= 1.0))
                        qFatal("progress out of range");
                    (void)t->message();
                    if (rng.bounded(10) == 0) {
                        t->cancel();
                        if (t->status() == BackgroundTask::Cancelled)
                            seenCancelled.insert(t);
                    }
                }
                return finishedCount.size() == kTasks;
            },
            30000));
        QTest::qWait(20);
        for (BusyTask *t : tasks) {
            QCOMPARE(finishedCount.value(t), 1);
            if (seenCancelled.contains(t))
                QCOMPARE(t->status(), int(BackgroundTask::Cancelled));
            else
                QVERIFY(t->status() == BackgroundTask::Completed || t->status() == BackgroundTask::Cancelled);
        }
        QVERIFY(!seenCancelled.isEmpty());
        qDeleteAll(tasks);
    }
};

QTEST_GUILESS_MAIN(TaskQueueTest)
#include "tst_taskqueue.moc"
