// Single instance: a lock file decides who listens; later starts send one JSON line each.
#include "system/SingleInstanceService.h"

#include "core/AppPaths.h"
#include "platform/LocalSocketEndpoint.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

const char kPayloadBufferProperty[] = "ipcPayloadBuffer";
constexpr int kStaleLockTimeMs = 60000;

QString normalizeScopeKey(const QString &scope)
{
    const QString key = scope.trimmed().toLower();
    return key.isEmpty() ? QStringLiteral("main") : key;
}

} // namespace

SingleInstanceService::SingleInstanceService(const QString &scope, QObject *parent)
    : QObject(parent), m_scope(normalizeScopeKey(scope))
{
}

SingleInstanceService::~SingleInstanceService()
{
    // Deleting the lock object unlocks and removes the lock file; the server (a child) stops
    // listening when QObject destroys it.
    delete m_lockFile;
    m_lockFile = nullptr;
}

QString SingleInstanceService::serverName() const
{
    const QString identity = QStringLiteral("%1|%2|%3")
                                 .arg(QCoreApplication::organizationName().trimmed(),
                                      QCoreApplication::applicationName().trimmed(), m_scope);
    const QByteArray digest =
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex().toLower();
    QString name = QStringLiteral("Tavrixo.single_instance.%1").arg(QString::fromLatin1(digest.left(16)));
#ifndef Q_OS_WIN
    // Local sockets and the temporary folder may be shared by every user of the machine: the
    // user id keeps one user's instance from answering (or blocking) another user's start.
    name += QLatin1Char('.') + QString::number(static_cast<qulonglong>(::getuid()));
#endif
    return name;
}

QString SingleInstanceService::lockFilePath() const
{
    return app::tempFilePath(serverName() + QStringLiteral(".lock"));
}

bool SingleInstanceService::usesAbstractEndpoint() const
{
    // QLocalServer puts a socket file named after the server into the temporary folder.
    return platform::abstractLocalSocketsAvailable() &&
           !platform::localSocketPathFits(QDir::tempPath() + QLatin1Char('/') + serverName());
}

QByteArray SingleInstanceService::abstractEndpointName() const
{
    // The folder's hash keeps the endpoint paired with the lock file in that folder.
    const QByteArray folderHash =
        QCryptographicHash::hash(QDir::tempPath().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return serverName().toUtf8() + '.' + folderHash;
}

bool SingleInstanceService::startPrimary()
{
    if (m_server && m_server->isListening())
        return true;

    if (!m_lockFile) {
        m_lockFile = new QLockFile(lockFilePath());
        m_lockFile->setStaleLockTime(kStaleLockTimeMs);
    }
    if (!m_lockFile->isLocked() && !m_lockFile->tryLock(0))
        return false;

    if (!m_server) {
        m_server = new QLocalServer(this);
#ifndef Q_OS_WIN
        // Only this user may connect: the socket is created private before it gets its name.
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
#endif
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceService::onNewConnection);
    }

    if (usesAbstractEndpoint()) {
        const qintptr descriptor = platform::listenAbstractLocalSocket(abstractEndpointName());
        if (descriptor < 0 || !m_server->listen(descriptor)) {
            platform::closeLocalSocket(descriptor);
            m_lockFile->unlock();
            return false;
        }
        return true;
    }

    const QString name = serverName();
    if (!m_server->listen(name)) {
        // We hold the lock, so whatever sits at the name was left behind by a dead instance.
        QLocalServer::removeServer(name);
        if (!m_server->listen(name)) {
            m_lockFile->unlock();
            return false;
        }
    }
    return true;
}

bool SingleInstanceService::notifyPrimary(const QString &mediaFileUrl, int timeoutMs) const
{
    QLocalSocket socket;
    if (usesAbstractEndpoint()) {
        const qintptr descriptor = platform::connectAbstractLocalSocket(abstractEndpointName());
        if (descriptor < 0)
            return false;
        if (!socket.setSocketDescriptor(descriptor, QLocalSocket::ConnectedState, QIODevice::WriteOnly)) {
            platform::closeLocalSocket(descriptor);
            return false;
        }
    } else {
        socket.connectToServer(serverName(), QIODevice::WriteOnly);
        if (!socket.waitForConnected(timeoutMs))
            return false;
    }
    // A listener of another user (squatting the name) must never learn which file we open.
    if (!platform::localPeerIsCurrentUser(socket.socketDescriptor())) {
        socket.abort();
        return false;
    }

    QJsonObject message;
    message.insert(QStringLiteral("action"), QStringLiteral("activate"));
    const QString url = mediaFileUrl.trimmed();
    if (!url.isEmpty())
        message.insert(QStringLiteral("mediaFileUrl"), url);
    QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact);
    bytes.append('\n');

    const qint64 written = socket.write(bytes);
    if (written <= 0) {
        socket.disconnectFromServer();
        return false;
    }
    const bool flushed = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return flushed;
}

void SingleInstanceService::onNewConnection()
{
    while (m_server && m_server->hasPendingConnections()) {
        QLocalSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            continue;
        // The socket file's permissions already keep other users out; an abstract endpoint
        // has none, so the peer's identity is what counts.
        if (!platform::localPeerIsCurrentUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt's own buffer stays near our cap, so a flooding peer never makes us hold more
        // than about twice the cap before it is dropped.
        socket->setReadBufferSize(kMaxPayloadBytes);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { receiveFrom(socket); });
        if (socket->bytesAvailable() > 0)
            receiveFrom(socket);
    }
}

void SingleInstanceService::receiveFrom(QLocalSocket *socket)
{
    QByteArray buffer = socket->property(kPayloadBufferProperty).toByteArray();
    buffer.append(socket->readAll());

    int lineEnd = buffer.indexOf('\n');
    while (lineEnd >= 0) {
        if (lineEnd > kMaxPayloadBytes)
            break;
        processMessage(buffer.left(lineEnd));
        buffer.remove(0, lineEnd + 1);
        lineEnd = buffer.indexOf('\n');
    }

    const bool overLong = lineEnd > kMaxPayloadBytes || (lineEnd < 0 && buffer.size() > kMaxPayloadBytes);
    if (overLong) {
        socket->setProperty(kPayloadBufferProperty, QByteArray());
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->setProperty(kPayloadBufferProperty, buffer);
}

void SingleInstanceService::processMessage(const QByteArray &line)
{
    const QByteArray text = line.trimmed();
    if (text.isEmpty())
        return;
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return;
    const QJsonObject message = document.object();
    if (message.value(QStringLiteral("action")).toString() != QLatin1String("activate"))
        return;

    emit activationRequested();
    const QString url = message.value(QStringLiteral("mediaFileUrl")).toString().trimmed();
    if (!url.isEmpty())
        emit mediaOpenRequested(url);
}
