// Local-socket endpoints that QLocalServer cannot make by name: Linux's abstract namespace and
// the identity of the peer behind an accepted connection.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace platform {

// True when a socket file at this path can be bound and connected to (Unix-domain addresses
// hold about a hundred bytes, so deep temporary folders cannot take a socket file).
bool localSocketPathFits(const QString &path);

// True where listenAbstractLocalSocket and connectAbstractLocalSocket work (Linux).
bool abstractLocalSocketsAvailable();

// A listening socket in the abstract namespace: it has no file, so nothing is left behind
// and no path limit applies, but it has no permissions either (see localPeerIsCurrentUser).
// Returns the descriptor, or -1.
qintptr listenAbstractLocalSocket(const QByteArray &name);

// A socket connected to an abstract-namespace listener; never blocks (a listener whose
// backlog is full counts as unreachable). Returns the descriptor, or -1.
qintptr connectAbstractLocalSocket(const QByteArray &name);

void closeLocalSocket(qintptr descriptor);

// True when the process at the other end of a connected local socket runs as this user, or
// when the platform cannot tell.
bool localPeerIsCurrentUser(qintptr descriptor);

} // namespace platform
