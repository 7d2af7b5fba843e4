// Runs the loopback account web-API server for a test.
#include "WebApiTestServer.h"

#include "TestSupport.h"
#include "core/AtomicFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QSettings>

namespace tvxtest {

WebApiTestServer::WebApiTestServer(const QString &folder)
    : LoopbackTestServer(folder, QStringLiteral("webapi_server.py"), {})
{
    writeScript();
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

void WebApiTestServer::clearRules(const QJsonObject &defaultRule)
{
    m_paths = QJsonObject();
    m_default = defaultRule;
    writeScript();
}

void WebApiTestServer::writeScript()
{
    // The server re-reads the script for every request: replace it whole, never half-written
    // and never missing.
    app::writeFileAtomically(scriptFile(),
                             QJsonDocument(QJsonObject{{"paths", m_paths}, {"default", m_default}}).toJson());
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
