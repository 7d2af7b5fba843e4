// A record the whole process shares, read and replaced whole under a lock: the time limits that
// tests shorten live in such records.
#pragma once

#include <QMutex>
#include <QMutexLocker>

namespace app {

// One store per record type, made on first use (so never before another static needs it).
template <typename T> class ProcessWide
{
public:
    static T get()
    {
        Store &store = instance();
        QMutexLocker lock(&store.mutex);
        return store.value;
    }

    static void set(const T &value)
    {
        Store &store = instance();
        QMutexLocker lock(&store.mutex);
        store.value = value;
    }

private:
    struct Store
    {
        QMutex mutex;
        T value{};
    };

    static Store &instance()
    {
        static Store store;
        return store;
    }
};

} // namespace app
