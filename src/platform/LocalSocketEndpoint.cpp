// Raw local-socket calls behind the single-instance endpoint.
#include "platform/LocalSocketEndpoint.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_UNIX

bool localSocketPathFits(const QString &path)
{
    sockaddr_un address;
    return static_cast<size_t>(QFile::encodeName(path).size()) < sizeof(address.sun_path);
}

#else

bool localSocketPathFits(const QString &)
{
    return true;
}

#endif

#ifdef Q_OS_LINUX

namespace {

bool fillAbstractAddress(const QByteArray &name, sockaddr_un *address, socklen_t *length)
{
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    // One leading NUL byte marks the abstract namespace; the name follows without a NUL.
    if (name.isEmpty() || static_cast<size_t>(name.size()) + 1 > sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path + 1, name.constData(), static_cast<size_t>(name.size()));
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(name.size()));
    return true;
}

} // namespace

bool abstractLocalSocketsAvailable()
{
    return true;
}

qintptr listenAbstractLocalSocket(const QByteArray &name)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!fillAbstractAddress(name, &address, &length))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0 || ::listen(fd, 50) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

qintptr connectAbstractLocalSocket(const QByteArray &name)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!fillAbstractAddress(name, &address, &length))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool localPeerIsCurrentUser(qintptr descriptor)
{
    ucred peer;
    socklen_t length = sizeof(peer);
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == ::getuid();
}

#else

bool abstractLocalSocketsAvailable()
{
    return false;
}

qintptr listenAbstractLocalSocket(const QByteArray &)
{
    return -1;
}

qintptr connectAbstractLocalSocket(const QByteArray &)
{
    return -1;
}

bool localPeerIsCurrentUser(qintptr)
{
    return true;
}

#endif

void closeLocalSocket(qintptr descriptor)
{
#ifdef Q_OS_UNIX
    if (descriptor >= 0)
        ::close(static_cast<int>(descriptor));
#else
    Q_UNUSED(descriptor)
#endif
}

} // namespace platform
