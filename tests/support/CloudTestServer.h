// The loopback cloud conversion server (cloud_server.py) run from a test or a benchmark: its own
// CA and certificate, a script of expectations, task states and faults, and its request log.
#pragma once

#include "LoopbackTestServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace tvxtest {

class CloudTestServer : public LoopbackTestServer
{
public:
    // Makes a CA, a certificate for 127.0.0.1 signed by it and an unrelated second CA inside
    // the scratch folder (folder is relative to it).
    explicit CloudTestServer(const QString &folder = QStringLiteral("cloud-server"));

    // Header and payload values every request must carry ("x-product", "x-version",
    // "x-credits", "productinfo").
    void setExpectations(const QJsonObject &expect);
    // A merge succeeds only when the merged upload equals this file byte for byte.
    void setSource(const QString &path);
    void setServerTimestamp(qint64 seconds);
    // Answers of the state query for a task tag ("*": any), in turn; the last one repeats.
    void setTaskStates(const QString &tag, const QJsonArray &answers);
    // Faults, each as described in cloud_server.py; adding or clearing restarts their counts.
    void addFault(const QJsonObject &fault);
    // Everything scripted goes, the expectations stay.
    void reset();

    using LoopbackTestServer::requests;
    QList<QJsonObject> requests(const QString &path) const;
    bool waitForRequests(const QString &path, int count, int timeoutMs = 10000) const;

    // Runs the server's own signature rules over objects: (sign string, digest) for each.
    QList<QPair<QString, QString>> signOffline(const QJsonArray &objects) const;

private:
    void writeScript();
    QJsonObject m_script;
    int m_generation = 0;
};

} // namespace tvxtest
