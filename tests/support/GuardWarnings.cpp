// See GuardWarnings.h.
#include "GuardWarnings.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QString>
#include <QtGlobal>
#include <QtTest/qtestcase.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace tvxtest {
namespace {

QtMessageHandler g_previous = nullptr;
QAtomicInt g_count;
QAtomicInt g_expected;
bool g_exitHookSet = false;

thread_local int t_depth = 0;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The test log, once it stops, puts back the handler it displaced (this one) and forwards
    // to it: answer that call directly instead of going round again.
    if (t_depth > 0) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    ++t_depth;
    if (g_previous)
        g_previous(type, context, message);
    --t_depth;
    if (type != QtWarningMsg || !message.contains(QLatin1String("tvx-guard:")))
        return;
    if (g_expected.fetchAndAddOrdered(-1) > 0)
        return;
    g_expected.ref();
    g_count.ref();
    // Inside a test function the failure lands on that function; elsewhere the exit hook
    // below fails the process.
    if (QTest::currentTestFunction())
        QTest::qFail(qPrintable(QStringLiteral("QML guard warning: ") + message), __FILE__, __LINE__);
}

void exitHook()
{
    if (g_count.loadRelaxed() == 0)
        return;
    std::fprintf(stderr, "FAIL: %d QML guard warning(s) were logged\n", g_count.loadRelaxed());
    std::fflush(stderr);
    _exit(1);
}

void installInFront()
{
    const QtMessageHandler previous = qInstallMessageHandler(handler);
    if (previous != handler)
        g_previous = previous;
}

class HandlerKeeper : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        installInFront();
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void failOnGuardWarnings()
{
    static HandlerKeeper *keeper = nullptr;
    installInFront();
    if (!g_exitHookSet) {
        g_exitHookSet = true;
        std::atexit(exitHook);
    }
    if (!keeper && QCoreApplication::instance()) {
        keeper = new HandlerKeeper(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(keeper);
    }
}

void expectGuardWarnings(int n)
{
    g_expected.storeRelease(n);
}

int GuardWarningProbe::pending() const
{
    return g_expected.loadAcquire();
}

int guardWarningCount()
{
    return g_count.loadRelaxed();
}

} // namespace tvxtest

namespace {
void failOnGuardWarningsAtStart()
{
    tvxtest::failOnGuardWarnings();
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(failOnGuardWarningsAtStart)
