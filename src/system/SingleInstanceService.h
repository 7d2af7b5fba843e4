// Keeps the program to one running instance and carries a later start's file to the first.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QLockFile;
class QTimer;

class SingleInstanceService : public QObject
{
    Q_OBJECT
public:
    // A partial line longer than this is never a message of ours: the peer is dropped.
    static constexpr int kMaxPayloadBytes = 64 * 1024;
    // Far more than any burst of real starts (each sends one line and goes); beyond it the
    // oldest peer makes room, so idle connections can never use up the descriptors.
    static constexpr int kMaxPeers = 32;
    // A real start sends its line at once; a peer silent for longer is dropped.
    static constexpr int kDefaultPeerTimeoutMs = 3000;
    // How often the primary makes sure it still listens.
    static constexpr int kDefaultListenCheckMs = 1000;

    explicit SingleInstanceService(const QString &scope = QStringLiteral("main"), QObject *parent = nullptr);
    ~SingleInstanceService() override;

    QString serverName() const;
    QString lockFilePath() const;
    // Where the primary listens: the socket file's path, or "@" and the name in the abstract
    // namespace (used where the runtime folder is too deep for a socket file); empty when
    // no such endpoint is known.
    QString endpointAddress() const;

    bool startPrimary();
    bool notifyPrimary(const QString &mediaFileUrl, int timeoutMs) const;
    bool isListening() const;

    void processMessage(const QByteArray &line);

    // Timing seams for tests; production keeps the defaults.
    void setPeerTimeoutMs(int ms) { m_peerTimeoutMs = ms; }
    void setListenCheckIntervalMs(int ms);

signals:
    void activationRequested();
    void mediaOpenRequested(const QString &mediaFileUrl);

public slots:
    void onNewConnection();

private:
    void receiveFrom(QLocalSocket *socket);
    void dropPeer(QLocalSocket *socket);
    bool listenOnEndpoint();
    void checkListening();

    QString socketFilePath() const;
    QString endpointFilePath() const;
    bool usesAbstractEndpoint() const;
    QByteArray publishedAbstractName() const;

    QString m_scope;
    QLockFile *m_lockFile = nullptr;
    QLocalServer *m_server = nullptr;
    QTimer *m_listenCheck = nullptr;
    QList<QPointer<QLocalSocket>> m_peers; // in order of arrival
    int m_peerTimeoutMs = kDefaultPeerTimeoutMs;
    int m_listenCheckMs = kDefaultListenCheckMs;
    bool m_relistenLogged = false;
};
