// The loopback account web-API server (webapi_server.py) run from a test: certificates made
// with openssl, per-path answer scripts, and the server's log of every request it received.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>

namespace tvxtest {

class WebApiTestServer
{
public:
    // Makes a CA, a server certificate for 127.0.0.1 signed by it and a second, unrelated CA
    // inside the scratch folder (folder is relative to it).
    explicit WebApiTestServer(const QString &folder = QStringLiteral("webapi-server"));
    ~WebApiTestServer();
    WebApiTestServer(const WebApiTestServer &) = delete;
    WebApiTestServer &operator=(const WebApiTestServer &) = delete;

    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString host() const;        // "127.0.0.1:<port>"
    QString caFile() const;      // the CA that signed the server's certificate
    QString otherCaFile() const; // a CA that did not

    // Scripted answer for one path (see the server's header for the members), or for all.
    void setPathRule(const QString &path, const QJsonObject &rule);
    void setDefaultRule(const QJsonObject &rule);
    void clearRules();

    // Requests received so far, oldest first, each as the server logged it.
    QList<QJsonObject> requests() const;
    void clearRequests();
    bool waitForRequests(int count, int timeoutMs = 5000) const;

private:
    void writeScript();
    QString m_dir;
    QJsonObject m_paths;
    QJsonObject m_default;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_certsOk = false;
};

// Writes the TVX_CONFIG override file with the given "group/key" values and points the
// environment variable at it.
QString writeConfigOverride(const QMap<QString, QString> &values);

} // namespace tvxtest
