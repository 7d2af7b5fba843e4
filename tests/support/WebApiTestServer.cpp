// Runs the loopback account web-API server for a test.
#include "WebApiTestServer.h"

#include "TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QSettings>

#include <cstdio>

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
    // and never missing. QSaveFile of Qt 5.15 on Linux removes the old file before linking the
    // new one, so a request could meet no script at all; rename(2) replaces in one step.
    const QString target = scriptFile();
    const QString temporary = target + ".new";
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(QJsonDocument(QJsonObject{{"paths", m_paths}, {"default", m_default}}).toJson());
    file.close();
    ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData());
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
