// Runs the loopback cloud conversion server for a test or a benchmark.
#include "CloudTestServer.h"

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace tvxtest {

namespace {
bool openssl(const QStringList &args)
{
    return runProcess(QStringLiteral("openssl"), args, 30000).exitCode == 0;
}

bool makeCa(const QString &dir, const QString &name)
{
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".pem", "-days", "2",
                    "-subj", "/CN=" + name});
}

QString serverScript()
{
    return sourceDir() + "/tests/support/cloud_server.py";
}
} // namespace

CloudTestServer::CloudTestServer(const QString &folder) : m_dir(scratchPath(folder))
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
    writeScript();
}

CloudTestServer::~CloudTestServer()
{
    stop();
}

bool CloudTestServer::start()
{
    if (!m_certsOk)
        return false;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"), {serverScript(), "--cert", m_dir + "/server.pem", "--key",
                                                m_dir + "/server.key", "--script", m_dir + "/script.json",
                                                "--log", m_dir + "/log.jsonl", "--store", m_dir + "/store"});
    if (!m_process.waitForStarted(10000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
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

void CloudTestServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString CloudTestServer::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}
QString CloudTestServer::caFile() const
{
    return m_dir + "/ca.pem";
}
QString CloudTestServer::otherCaFile() const
{
    return m_dir + "/otherca.pem";
}

void CloudTestServer::setExpectations(const QJsonObject &expect)
{
    m_script.insert("expect", expect);
    writeScript();
}

void CloudTestServer::setSource(const QString &path)
{
    m_script.insert("source", path);
    writeScript();
}

void CloudTestServer::setServerTimestamp(qint64 seconds)
{
    m_script.insert("server_timestamp", double(seconds));
    writeScript();
}

void CloudTestServer::setTaskStates(const QString &tag, const QJsonArray &answers)
{
    QJsonObject states = m_script.value("states").toObject();
    states.insert(tag, answers);
    m_script.insert("states", states);
    writeScript();
}

void CloudTestServer::addFault(const QJsonObject &fault)
{
    QJsonArray faults = m_script.value("faults").toArray();
    faults.append(fault);
    m_script.insert("faults", faults);
    writeScript();
}

void CloudTestServer::reset()
{
    m_script = QJsonObject{{"expect", m_script.value("expect")}};
    writeScript();
}

void CloudTestServer::writeScript()
{
    // The server re-reads the script for every request: replace it whole, never half-written.
    m_script.insert("generation", ++m_generation);
    QSaveFile file(m_dir + "/script.json");
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(m_script).toJson());
        file.commit();
    }
}

QList<QJsonObject> CloudTestServer::requests() const
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

QList<QJsonObject> CloudTestServer::requests(const QString &path) const
{
    QList<QJsonObject> out;
    for (const QJsonObject &entry : requests()) {
        if (entry.value("path").toString() == path)
            out << entry;
    }
    return out;
}

void CloudTestServer::clearRequests()
{
    QFile::remove(m_dir + "/log.jsonl");
}

bool CloudTestServer::waitForRequests(const QString &path, int count, int timeoutMs) const
{
    return waitUntil([&] { return requests(path).size() >= count; }, timeoutMs);
}

QList<QPair<QString, QString>> CloudTestServer::signOffline(const QJsonArray &objects) const
{
    QList<QPair<QString, QString>> out;
    const QString input = writeFile(m_dir + "/sign-input.json", QJsonDocument(objects).toJson());
    const ProcessResult run = runProcess(QStringLiteral("python3"), {serverScript(), "--sign", input}, 30000);
    if (run.exitCode != 0)
        return out;
    for (const QJsonValue &pair : QJsonDocument::fromJson(run.out).array())
        out << qMakePair(pair.toArray().at(0).toString(), pair.toArray().at(1).toString());
    return out;
}

} // namespace tvxtest
