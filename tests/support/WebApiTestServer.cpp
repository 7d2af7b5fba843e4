// Runs the loopback account web-API server for a test.
#include "WebApiTestServer.h"

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSettings>

#include <cstdio>

namespace tvxtest {

namespace {
bool openssl(const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("openssl"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeCa(const QString &dir, const QString &name)
{
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", name + ".key", "-out", name + ".pem", "-days", "2", "-subj", "/CN=" + name},
                   dir);
}
} // namespace

WebApiTestServer::WebApiTestServer(const QString &folder) : m_dir(scratchPath(folder))
{
    QDir().mkpath(m_dir);
    writeFile(m_dir + "/san.ext", "subjectAltName=IP:127.0.0.1\n");
    m_certsOk = makeCa(m_dir, "ca") && makeCa(m_dir, "otherca") &&
                openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                         "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
                        m_dir) &&
                openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                         "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "san.ext"},
                        m_dir);
    writeScript();
}

WebApiTestServer::~WebApiTestServer()
{
    stop();
}

bool WebApiTestServer::start()
{
    if (!m_certsOk)
        return false;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"),
                    {sourceDir() + "/tests/support/webapi_server.py", "--cert", m_dir + "/server.pem",
                     "--key", m_dir + "/server.key", "--script", m_dir + "/script.json", "--log",
                     m_dir + "/log.jsonl"});
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

void WebApiTestServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString WebApiTestServer::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}
QString WebApiTestServer::caFile() const
{
    return m_dir + "/ca.pem";
}
QString WebApiTestServer::otherCaFile() const
{
    return m_dir + "/otherca.pem";
}

void WebApiTestServer::setPathRule(const QString &path, const QJsonObject &rule)
{
    m_paths.insert(path, rule);
    writeScript();
}

void WebApiTestServer::setDefaultRule(const QJsonObject &rule)
{
    m_default = rule;
    writeScript();
}

void WebApiTestServer::clearRules()
{
    m_paths = QJsonObject();
    m_default = QJsonObject();
    writeScript();
}

void WebApiTestServer::writeScript()
{
    // The server re-reads the script for every request: replace it whole, never half-written
    // and never missing. QSaveFile of Qt 5.15 on Linux removes the old file before linking the
    // new one, so a request could meet no script at all; rename(2) replaces in one step.
    const QString target = m_dir + "/script.json";
    const QString temporary = target + ".new";
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(QJsonDocument(QJsonObject{{"paths", m_paths}, {"default", m_default}}).toJson());
    file.close();
    ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData());
}

QList<QJsonObject> WebApiTestServer::requests() const
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

void WebApiTestServer::clearRequests()
{
    QFile::remove(m_dir + "/log.jsonl");
}

bool WebApiTestServer::waitForRequests(int count, int timeoutMs) const
{
    return waitUntil([&] { return requests().size() >= count; }, timeoutMs);
}

QString writeConfigOverride(const QMap<QString, QString> &values)
{
    const QString path = scratchPath(QStringLiteral("tvx-config.ini"));
    QFile::remove(path);
    {
        QSettings settings(path, QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
    }
    qputenv("TVX_CONFIG", path.toLocal8Bit());
    return path;
}

} // namespace tvxtest
