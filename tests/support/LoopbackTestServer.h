// What the loopback servers of the tests share: a scratch folder with a CA, a certificate for
// 127.0.0.1 signed by it and an unrelated second CA, the python server started on it that
// tells its port, and the log of the requests it received.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tvxtest {

class LoopbackTestServer
{
public:
    ~LoopbackTestServer();
    LoopbackTestServer(const LoopbackTestServer &) = delete;
    LoopbackTestServer &operator=(const LoopbackTestServer &) = delete;

    // False when the certificates could not be made or the server never told its port.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString host() const;        // "127.0.0.1:<port>"
    QString caFile() const;      // the CA that signed the server's certificate
    QString otherCaFile() const; // a CA that did not
    QString folder() const { return m_dir; }

    // Requests received so far, oldest first, each as the server logged it.
    QList<QJsonObject> requests() const;
    void clearRequests();

protected:
    // folder is relative to the scratch folder; script is a file of tests/support, started with
    // the certificate, "script.json" and "log.jsonl" of the folder and then extraArgs.
    LoopbackTestServer(const QString &folder, const QString &script, const QStringList &extraArgs);

    QString serverScript() const;
    QString scriptFile() const { return m_dir + "/script.json"; }

private:
    const QString m_dir;
    const QString m_script;
    const QStringList m_extraArgs;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_certsOk = false;
};

} // namespace tvxtest
