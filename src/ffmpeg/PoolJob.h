// Starts a callable on Qt's global thread pool and returns its future (no QtConcurrent needed).
#pragma once

#include <QFuture>
#include <QFutureInterface>
#include <QRunnable>
#include <QThreadPool>

#include <type_traits>
#include <utility>

namespace ffmpeg {

template <typename Fn> auto startPoolJob(Fn fn) -> QFuture<std::invoke_result_t<Fn>>
{
    using T = std::invoke_result_t<Fn>;
    class Job : public QRunnable
    {
    public:
        explicit Job(Fn f) : m_fn(std::move(f)) { m_interface.reportStarted(); }
        QFuture<T> future() { return m_interface.future(); }
        void run() override
        {
            if constexpr (std::is_void_v<T>) {
                m_fn();
            } else {
                const T value = m_fn();
                m_interface.reportResult(value);
            }
            m_interface.reportFinished();
        }

    private:
        Fn m_fn;
        QFutureInterface<T> m_interface;
    };
    auto *job = new Job(std::move(fn));
    QFuture<T> future = job->future();
    QThreadPool::globalInstance()->start(job);
    return future;
}

} // namespace ffmpeg
