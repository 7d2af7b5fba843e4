// A signal handler may only do async-signal-safe work: it writes the signal number into a
// socket pair, and the read end's notifier quits the event loop on the GUI thread.
#include "app/QuitSignals.h"

#include "core/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace app {
namespace {

int g_fds[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t g_received = 0;

void onSignal(int signalNumber)
{
    // A second signal while the first one's quit is still running (a hung teardown, a user
    // pressing Ctrl+C again) ends the process the default way.
    if (g_received) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    g_received = 1;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe means a quit is already pending; the byte may be dropped.
    [[maybe_unused]] const ssize_t written = ::write(g_fds[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    if (g_fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) {
        TVX_LOG_WARN << "[Startup][Signals] quit signals keep their default action: no socket pair";
        return;
    }
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);

    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (const int sig : kSignals) {
        if (::sigaction(sig, &action, nullptr) != 0)
            m_installed = false;
    }
}

QuitSignals::~QuitSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &fd : g_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignals::drain()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(g_fds[1], &byte, 1) == 1)
        last = byte;
    if (last == 0)
        return;
    TVX_LOG_INFO << "[Shutdown][Signals] signal" << last << "received, quitting";
    m_quitRequested = true;
    emit received(last);
    QCoreApplication::quit();
}

} // namespace app
