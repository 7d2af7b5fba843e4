// Scripted cloud and loopback result server of the video-to-text job's tests.
#include "V2tTestKit.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QThread>

namespace v2ttest {
namespace {

void waitWhile(const std::atomic_bool &flag)
{
    for (int i = 0; i < 2000 && flag.load(); ++i)
        QThread::msleep(10);
}

} // namespace

FakeCloud::FakeCloud(const QString &uploadCopyFolder) : m_copyFolder(uploadCopyFolder)
{
    createResult.success = true;
    createResult.serviceCode = 10000;
    createResult.taskTag = QStringLiteral("T1");
    createResult.uploadedChunkCount = 1;
    createResult.totalChunkCount = 1;
    states = {stateAnswer(10000, QStringLiteral("done"))};
    downResult.success = true;
    downResult.code = 10000;
}

void FakeCloud::initialize()
{
    ++initializeCount;
}

user_pay::CreateConvertTaskResult
FakeCloud::createConvertTask(const user_pay::CreateConvertTaskRequest &request)
{
    const int n = ++createCount;
    const QString copy = m_copyFolder + QStringLiteral("/upload_%1.mp3").arg(n);
    QFile::remove(copy);
    const bool existed = QFileInfo::exists(request.filePath);
    if (existed)
        QFile::copy(request.filePath, copy);
    {
        QMutexLocker lock(&m_mutex);
        m_create = request;
        m_audioExisted = existed;
        m_uploadedCopy = existed ? copy : QString();
    }
    creationWaiting = holdCreation.load();
    waitWhile(holdCreation);
    creationWaiting = false;
    createFinished = true;
    QMutexLocker lock(&m_mutex);
    return createResult;
}

user_pay::QueryTaskStateResult FakeCloud::queryTaskState(const user_pay::QueryTaskStateRequest &request)
{
    QMutexLocker lock(&m_mutex);
    m_state = request;
    const int n = stateCount++;
    return states.at(qMin(n, states.size() - 1));
}

user_pay::QueryTaskDownResult FakeCloud::queryTaskDown(const user_pay::QueryTaskDownRequest &request)
{
    {
        QMutexLocker lock(&m_mutex);
        m_down = request;
        ++downCount;
    }
    downQueryWaiting = holdDownQuery.load();
    waitWhile(holdDownQuery);
    downQueryWaiting = false;
    QMutexLocker lock(&m_mutex);
    return downResult;
}

user_pay::CreateConvertTaskRequest FakeCloud::lastCreate() const
{
    QMutexLocker lock(&m_mutex);
    return m_create;
}

user_pay::QueryTaskStateRequest FakeCloud::lastState() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

user_pay::QueryTaskDownRequest FakeCloud::lastDown() const
{
    QMutexLocker lock(&m_mutex);
    return m_down;
}

QString FakeCloud::uploadedCopy() const
{
    QMutexLocker lock(&m_mutex);
    return m_uploadedCopy;
}

bool FakeCloud::audioExistedAtCreate() const
{
    QMutexLocker lock(&m_mutex);
    return m_audioExisted;
}

user_pay::QueryTaskStateResult stateAnswer(int code, const QString &message)
{
    user_pay::QueryTaskStateResult state;
    state.code = code;
    state.message = message;
    state.finished = code == 10000;
    state.shouldPoll = code == 20000;
    return state;
}

ResultServer::ResultServer()
{
    listen(QHostAddress::LocalHost, 0);
}

bool ResultServer::useTls(const QString &certificatePath, const QString &keyPath)
{
    QFile certificate(certificatePath);
    QFile key(keyPath);
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return false;
    m_certificate = certificate.readAll();
    m_key = key.readAll();
    return !m_certificate.isEmpty() && !m_key.isEmpty();
}

QString ResultServer::url(const QString &path) const
{
    const QString scheme = m_certificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https");
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(serverPort()).arg(path);
}

void ResultServer::setRoute(const QString &path, const Route &route)
{
    m_routes.insert(path, route);
}

int ResultServer::hits(const QString &path) const
{
    return m_hits.value(path);
}

QByteArray ResultServer::lastUserAgent() const
{
    return m_userAgent;
}

void ResultServer::incomingConnection(qintptr handle)
{
    auto *socket = new QSslSocket(this);
    socket->setSocketDescriptor(handle);
    if (!m_certificate.isEmpty()) {
        socket->setLocalCertificate(QSslCertificate(m_certificate, QSsl::Pem));
        socket->setPrivateKey(QSslKey(m_key, QSsl::Ec, QSsl::Pem));
        socket->startServerEncryption();
    }
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::readyRead, socket, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const int end = buffer->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer->left(end).split('\n');
        buffer->clear();
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        const QString path = QString::fromLatin1(requestLine.value(1));
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("user-agent:"))
                m_userAgent = line.mid(11).trimmed();
        }
        m_hits[path] += 1;
        const Route route = m_routes.value(path, Route{404, "missing", true, false, {}});
        if (route.hold)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " Scripted\r\n";
        if (!route.location.isEmpty())
            head += "Location: " + route.location + "\r\n";
        QByteArray body = route.body;
        if (route.chunked) {
            head += "Transfer-Encoding: chunked\r\n";
            body.clear();
            for (int at = 0; at < route.body.size(); at += 16384) {
                const QByteArray piece = route.body.mid(at, 16384);
                body += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
            }
            body += "0\r\n\r\n";
        } else if (route.sendLength) {
            head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
        }
        head += "Connection: close\r\n\r\n";
        socket->write(head + body);
        socket->disconnectFromHost();
    });
}

} // namespace v2ttest
