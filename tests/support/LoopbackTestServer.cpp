// Certificates, process and request log of the tests' loopback servers.
#include "LoopbackTestServer.h"

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

namespace tvxtest {

namespace {
bool openssl(const QStringList &args)
{
    const ProcessResult run = runProcess(QStringLiteral("openssl"), args, 30000);
    return run.started && !run.timedOut && !run.crashed && run.exitCode == 0;
}

bool makeCa(const QString &dir, const QString &name)
{
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".pem", "-days", "2",
                    "-subj", "/CN=" + name});
}
} // namespace

LoopbackTestServer::LoopbackTestServer(const QString &folder, const QString &script,
                                       const QStringList &extraArgs)
    : m_dir(scratchPath(folder)), m_script(script), m_extraArgs(extraArgs)
{
    QDir().mkpath(m_dir);
    writeFile(m_dir + "/san.ext", "subjectAltName=IP:127.0.0.1\n");
    m_certsOk =
        makeCa(m_dir, "ca") && makeCa(m_dir, "otherca") &&
        openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                 m_dir + "/server.key", "-out", m_dir + "/server.csr", "-subj", "/CN=127.0.0.1"}) &&
        openssl({"x509", "-req", "-in", m_dir + "/server.csr", "-CA", m_dir + "/ca.pem", "-CAkey",
                 m_dir + "/ca.key", "-CAcreateserial", "-out", m_dir + "/server.pem", "-days", "2",
                 "-extfile", m_dir + "/san.ext"});
}

LoopbackTestServer::~LoopbackTestServer()
{
    stop();
}

QString LoopbackTestServer::serverScript() const
{
    return sourceDir() + "/tests/support/" + m_script;
}

bool LoopbackTestServer::start()
{
    if (!m_certsOk)
        return false;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"), QStringList{serverScript(), "--cert", m_dir + "/server.pem",
                                                           "--key", m_dir + "/server.key", "--script",
                                                           scriptFile(), "--log", m_dir + "/log.jsonl"} +
                                                   m_extraArgs);
    // Python's start (its ssl module above all) is slow on a loaded machine: the limit only ends
    // a server that hangs.
    if (!m_process.waitForStarted(scaledMs(10000)))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < scaledMs(10000)) {
        if (m_process.canReadLine() || m_process.waitForReadyRead(200)) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("PORT ")) {
                m_port = quint16(line.mid(5).toUInt());
                return m_port != 0;
            }
        }
        if (m_process.state() != QProcess::Running)
            return false;
    }
    return false;
}

void LoopbackTestServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(scaledMs(5000));
    }
}

QString LoopbackTestServer::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString LoopbackTestServer::caFile() const
{
    return m_dir + "/ca.pem";
}

QString LoopbackTestServer::otherCaFile() const
{
    return m_dir + "/otherca.pem";
}

QList<QJsonObject> LoopbackTestServer::requests() const
{
    QList<QJsonObject> out;
    QFile file(m_dir + "/log.jsonl");
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            out << doc.object();
    }
    return out;
}

void LoopbackTestServer::clearRequests()
{
    QFile::remove(m_dir + "/log.jsonl");
}

} // namespace tvxtest
