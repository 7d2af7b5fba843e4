// Runs the loopback cloud conversion server for a test or a benchmark.
#include "CloudTestServer.h"

#include "TestSupport.h"
#include "core/AtomicFile.h"

#include <QJsonDocument>

namespace tvxtest {

CloudTestServer::CloudTestServer(const QString &folder)
    : LoopbackTestServer(folder, QStringLiteral("cloud_server.py"),
                         {"--store", scratchPath(folder) + "/store"})
{
    writeScript();
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
    app::writeFileAtomically(scriptFile(), QJsonDocument(m_script).toJson());
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

bool CloudTestServer::waitForRequests(const QString &path, int count, int timeoutMs) const
{
    return waitUntil([&] { return requests(path).size() >= count; }, timeoutMs);
}

QList<QPair<QString, QString>> CloudTestServer::signOffline(const QJsonArray &objects) const
{
    QList<QPair<QString, QString>> out;
    const QString input = writeFile(folder() + "/sign-input.json", QJsonDocument(objects).toJson());
    const ProcessResult run = runProcess(QStringLiteral("python3"), {serverScript(), "--sign", input}, 30000);
    if (run.exitCode != 0)
        return out;
    for (const QJsonValue &pair : QJsonDocument::fromJson(run.out).array())
        out << qMakePair(pair.toArray().at(0).toString(), pair.toArray().at(1).toString());
    return out;
}

} // namespace tvxtest
