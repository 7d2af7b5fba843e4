// ThreadSanitizer builds only: Qt is not instrumented, so the locking inside QMutex and
// QWaitCondition is invisible to the sanitizer and every access they guard would read as a race.
// These definitions take the place of Qt's for the program's own code: each calls Qt's and
// tells the sanitizer which lock was taken or given back.
#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

#include <dlfcn.h>

extern "C" {
void __tsan_acquire(void *address);
void __tsan_release(void *address);
}

namespace {

template <typename Function> Function qtDefinition(const char *symbol)
{
    void *found = dlsym(RTLD_NEXT, symbol);
    if (!found)
        qFatal("ThreadSanitizer support: Qt does not export %s", symbol);
    return reinterpret_cast<Function>(found);
}

} // namespace

void QMutex::lock() noexcept
{
    static const auto qt = qtDefinition<void (*)(QMutex *)>("_ZN6QMutex4lockEv");
    qt(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) noexcept
{
    static const auto qt = qtDefinition<bool (*)(QMutex *, int)>("_ZN6QMutex7tryLockEi");
    const bool locked = qt(this, timeout);
    if (locked)
        __tsan_acquire(this);
    return locked;
}

void QMutex::unlock() noexcept
{
    static const auto qt = qtDefinition<void (*)(QMutex *)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    qt(this);
}

bool QWaitCondition::wait(QMutex *lockedMutex, QDeadlineTimer deadline)
{
    static const auto qt = qtDefinition<bool (*)(QWaitCondition *, QMutex *, QDeadlineTimer)>(
        "_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    __tsan_release(lockedMutex);
    const bool woken = qt(this, lockedMutex, deadline);
    __tsan_acquire(lockedMutex);
    return woken;
}

bool QWaitCondition::wait(QMutex *lockedMutex, unsigned long time)
{
    static const auto qt = qtDefinition<bool (*)(QWaitCondition *, QMutex *, unsigned long)>(
        "_ZN14QWaitCondition4waitEP6QMutexm");
    __tsan_release(lockedMutex);
    const bool woken = qt(this, lockedMutex, time);
    __tsan_acquire(lockedMutex);
    return woken;
}
