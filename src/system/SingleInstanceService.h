// Keeps the program to one running instance and carries a later start's file to the first.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QLockFile;

class SingleInstanceService : public QObject
{
    Q_OBJECT
public:
    // A partial line longer than this is never a message of ours: the peer is dropped.
    static constexpr int kMaxPayloadBytes = 64 * 1024;

    explicit SingleInstanceService(const QString &scope = QStringLiteral("main"), QObject *parent = nullptr);
    ~SingleInstanceService() override;

    QString serverName() const;
    QString lockFilePath() const;

    bool startPrimary();
    bool notifyPrimary(const QString &mediaFileUrl, int timeoutMs) const;

    void processMessage(const QByteArray &line);

signals:
    void activationRequested();
    void mediaOpenRequested(const QString &mediaFileUrl);

public slots:
    void onNewConnection();

private:
    void receiveFrom(QLocalSocket *socket);
    // Where the temporary folder is too deep for a socket file, the endpoint moves to an
    // abstract socket named after the server name and that folder.
    bool usesAbstractEndpoint() const;
    QByteArray abstractEndpointName() const;

    QString m_scope;
    QLockFile *m_lockFile = nullptr;
    QLocalServer *m_server = nullptr;
};
