// Single instance: a lock file decides who listens; later starts send one JSON line each.
#include "system/SingleInstanceService.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/Log.h"
#include "platform/LocalSocketEndpoint.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRandomGenerator>
#include <QTimer>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

const char kPayloadBufferProperty[] = "ipcPayloadBuffer";
constexpr int kStaleLockTimeMs = 60000;
constexpr int kAbstractNameBytes = 16;

QString normalizeScopeKey(const QString &scope)
{
    const QString key = scope.trimmed().toLower();
    return key.isEmpty() ? QStringLiteral("main") : key;
}

// Nobody can bind a name first that nobody can predict.
QByteArray randomAbstractName(const QString &serverName)
{
    QByteArray random(kAbstractNameBytes, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(random.data()),
                                          kAbstractNameBytes / static_cast<int>(sizeof(quint32)));
    return serverName.toUtf8() + '.' + random.toHex();
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
    if (m_lockFile && m_lockFile->isLocked() && usesAbstractEndpoint())
        QFile::remove(endpointFilePath());
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
    // A runtime folder may be shared after all (a fallback, a misconfigured session): the user
    // id keeps one user's instance from answering another user's start.
    name += QLatin1Char('.') + QString::number(static_cast<qulonglong>(::getuid()));
#endif
    return name;
}

// Lock file and socket live in the user's private runtime folder: nobody else can plant a
// lock there that stops the start, or a listener that hears which file the user opens.
QString SingleInstanceService::lockFilePath() const
{
    const QString dir = app::runtimeDirPath();
    return dir.isEmpty() ? QString() : QDir(dir).filePath(serverName() + QStringLiteral(".lock"));
}

QString SingleInstanceService::socketFilePath() const
{
#ifdef Q_OS_WIN
    return serverName(); // a named pipe
#else
    const QString dir = app::runtimeDirPath();
    return dir.isEmpty() ? QString() : QDir(dir).filePath(serverName());
#endif
}

QString SingleInstanceService::endpointFilePath() const
{
    const QString dir = app::runtimeDirPath();
    return dir.isEmpty() ? QString() : QDir(dir).filePath(serverName() + QStringLiteral(".endpoint"));
}

bool SingleInstanceService::usesAbstractEndpoint() const
{
    return platform::abstractLocalSocketsAvailable() && !platform::localSocketPathFits(socketFilePath());
}

// The abstract name is random per listen and published only inside the private folder.
QByteArray SingleInstanceService::publishedAbstractName() const
{
    QFile file(endpointFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(1024).trimmed();
}

QString SingleInstanceService::endpointAddress() const
{
    if (usesAbstractEndpoint()) {
        const QByteArray name = publishedAbstractName();
        return name.isEmpty() ? QString() : QLatin1Char('@') + QString::fromUtf8(name);
    }
    return socketFilePath();
}

bool SingleInstanceService::isListening() const
{
    return m_server && m_server->isListening();
}

void SingleInstanceService::setListenCheckIntervalMs(int ms)
{
    m_listenCheckMs = ms;
    if (m_listenCheck)
        m_listenCheck->setInterval(ms);
}

bool SingleInstanceService::startPrimary()
{
    if (isListening())
        return true;

    if (!m_lockFile) {
        const QString lockPath = lockFilePath();
        if (lockPath.isEmpty())
            return false;
        m_lockFile = new QLockFile(lockPath);
        m_lockFile->setStaleLockTime(kStaleLockTimeMs);
    }
    if (!m_lockFile->isLocked() && !m_lockFile->tryLock(0))
        return false;

    if (!m_server) {
        m_server = new QLocalServer(this);
#ifndef Q_OS_WIN
        // The folder is private already; the socket is made private too before it has its name.
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
#endif
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceService::onNewConnection);
    }

    if (!listenOnEndpoint()) {
        m_lockFile->unlock();
        return false;
    }
    if (!m_listenCheck) {
        // Qt closes a local server for good when an accept fails (no descriptors left, say):
        // the lock is still ours, so the endpoint is brought back.
        m_listenCheck = new QTimer(this);
        m_listenCheck->setInterval(m_listenCheckMs);
        connect(m_listenCheck, &QTimer::timeout, this, &SingleInstanceService::checkListening);
    }
    m_listenCheck->start();
    return true;
}

bool SingleInstanceService::listenOnEndpoint()
{
    if (usesAbstractEndpoint()) {
        const QByteArray name = randomAbstractName(serverName());
        const qintptr descriptor = platform::listenAbstractLocalSocket(name);
        if (descriptor < 0 || !m_server->listen(descriptor)) {
            platform::closeLocalSocket(descriptor);
            return false;
        }
        if (!app::writeFileAtomically(endpointFilePath(), name + '\n',
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            m_server->close();
            return false;
        }
        return true;
    }

    const QString path = socketFilePath();
    if (path.isEmpty())
        return false;
    if (!m_server->listen(path)) {
        // We hold the lock, so whatever sits at the name was left behind by a dead instance.
        QLocalServer::removeServer(path);
        if (!m_server->listen(path))
            return false;
    }
    return true;
}

void SingleInstanceService::checkListening()
{
    if (!m_server || !m_lockFile || !m_lockFile->isLocked() || m_server->isListening())
        return;
    const bool listening = listenOnEndpoint();
    if (listening || !m_relistenLogged) {
        TVX_LOG_WARN << "[SingleInstance] endpoint had stopped; listening again:" << listening;
        m_relistenLogged = !listening;
    }
}

bool SingleInstanceService::notifyPrimary(const QString &mediaFileUrl, int timeoutMs) const
{
    QLocalSocket socket;
    if (usesAbstractEndpoint()) {
        const QByteArray name = publishedAbstractName();
        const qintptr descriptor = name.isEmpty() ? -1 : platform::connectAbstractLocalSocket(name);
        if (descriptor < 0)
            return false;
        if (!socket.setSocketDescriptor(descriptor, QLocalSocket::ConnectedState, QIODevice::WriteOnly)) {
            platform::closeLocalSocket(descriptor);
            return false;
        }
    } else {
        const QString path = socketFilePath();
        if (path.isEmpty())
            return false;
        socket.connectToServer(path, QIODevice::WriteOnly);
        if (!socket.waitForConnected(timeoutMs))
            return false;
    }
    // A listener of another user must never learn which file we open.
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
        // The private folder keeps other users out; an abstract endpoint has no folder, so
        // the peer's identity is what counts.
        if (!platform::localPeerIsCurrentUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_peers.removeAll(nullptr);
        while (m_peers.size() >= kMaxPeers)
            dropPeer(m_peers.first());
        m_peers.append(socket);

        // Qt's own buffer stays near our cap, so a flooding peer never makes us hold more
        // than about twice the cap before it is dropped.
        socket->setReadBufferSize(kMaxPayloadBytes);
        auto *deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("peerDeadline"));
        deadline->setSingleShot(true);
        deadline->setInterval(m_peerTimeoutMs);
        connect(deadline, &QTimer::timeout, this, [this, socket]() { dropPeer(socket); });
        deadline->start();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::disconnected, this, [this, socket]() { m_peers.removeAll(socket); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { receiveFrom(socket); });
        if (socket->bytesAvailable() > 0)
            receiveFrom(socket);
    }
}

void SingleInstanceService::dropPeer(QLocalSocket *socket)
{
    m_peers.removeAll(socket);
    if (!socket)
        return;
    socket->setProperty(kPayloadBufferProperty, QByteArray());
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void SingleInstanceService::receiveFrom(QLocalSocket *socket)
{
    QByteArray buffer = socket->property(kPayloadBufferProperty).toByteArray();
    buffer.append(socket->readAll());

    bool completeLine = false;
    int lineEnd = buffer.indexOf('\n');
    while (lineEnd >= 0) {
        if (lineEnd > kMaxPayloadBytes)
            break;
        completeLine = true;
        processMessage(buffer.left(lineEnd));
        buffer.remove(0, lineEnd + 1);
        lineEnd = buffer.indexOf('\n');
    }

    const bool overLong = lineEnd > kMaxPayloadBytes || (lineEnd < 0 && buffer.size() > kMaxPayloadBytes);
    if (overLong) {
        dropPeer(socket);
        return;
    }
    socket->setProperty(kPayloadBufferProperty, buffer);
    if (completeLine) {
        if (auto *deadline = socket->findChild<QTimer *>(QStringLiteral("peerDeadline")))
            deadline->start();
    }
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
