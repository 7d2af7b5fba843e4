// The loopback account web-API server (webapi_server.py) run from a test: certificates made
// with openssl, per-path answer scripts, and the server's log of every request it received.
#pragma once

#include "LoopbackTestServer.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

namespace tvxtest {

class WebApiTestServer : public LoopbackTestServer
{
public:
    // Makes a CA, a server certificate for 127.0.0.1 signed by it and a second, unrelated CA
    // inside the scratch folder (folder is relative to it).
    explicit WebApiTestServer(const QString &folder = QStringLiteral("webapi-server"));

    // Scripted answer for one path (see the server's header for the members), or for all.
    void setPathRule(const QString &path, const QJsonObject &rule);
    void setDefaultRule(const QJsonObject &rule);
    // Every rule dropped and the default set in one write: a request answered in between
    // would otherwise meet the server's generic answer.
    void clearRules(const QJsonObject &defaultRule = QJsonObject());

    bool waitForRequests(int count, int timeoutMs = 5000) const;

private:
    void writeScript();
    QJsonObject m_paths;
    QJsonObject m_default;
};

// Writes the TVX_CONFIG override file with the given "group/key" values and points the
// environment variable at it.
QString writeConfigOverride(const QMap<QString, QString> &values);

} // namespace tvxtest
