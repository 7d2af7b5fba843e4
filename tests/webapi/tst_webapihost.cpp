// Host choice: a silent primary host is cut off by the probe's time limit and the backup is
// chosen by its "x-machineid:" header; requests then go to it with X-Domain naming it.
#include "CallbackRecorder.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "webapi/QxUrlList.h"
#include "webapi/WebInterface.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTcpServer>
#include <QtTest>

#include <string>
#include <thread>

using tvxtest::WebApiTestServer;

class TestWebApiHost : public QObject
{
    Q_OBJECT
    WebApiTestServer m_primary{QStringLiteral("primary")};
    WebApiTestServer m_backup{QStringLiteral("backup")};

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(m_primary.start());
        QVERIFY(m_backup.start());
        tvxtest::writeConfigOverride({{"webapi/app_host", m_primary.host()},
                                      {"webapi/app_host_backup", m_backup.host()},
                                      {"webapi/ca_file", m_backup.caFile()},
                                      {"webapi/probe_timeout_ms", "400"}});
    }

    void candidatesByMachineId_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("passes");
        QTest::newRow("exact") << "x-machineid"
                               << "20-201" << true;
        QTest::newRow("longer value") << "x-machineid"
                                      << "20-201-b7" << true;
        QTest::newRow("other case") << "X-MachineId"
                                    << "20-201" << false;
        QTest::newRow("other id") << "x-machineid"
                                  << "20-202" << false;
    }
    void candidatesByMachineId()
    {
        QFETCH(QString, header);
        QFETCH(QString, value);
        QFETCH(bool, passes);
        m_backup.setPathRule("/health", QJsonObject{{"headers", QJsonObject{{header, value}}}});
        const std::string host = m_backup.host().toStdString();
        QCOMPARE(curlhttp::checkAvailableDomain(host, "20-201", "101", "1.0.0.0", "c", "windows"), passes);
        // An empty expected id passes on any completed transfer, whatever its status.
        m_backup.setPathRule("/health", QJsonObject{{"status", 503}});
        QVERIFY(curlhttp::checkAvailableDomain(host, "", "101", "1.0.0.0", "c", "windows"));
        m_backup.clearRules();
    }

    void silentPrimaryFallsBackToTheBackup()
    {
        m_primary.setDefaultRule(QJsonObject{{"mode", "silent"}, {"hold_s", 30}});
        m_backup.setPathRule("/health", QJsonObject{{"headers", QJsonObject{{"x-machineid", "20-201"}}}});
        m_backup.clearRequests();
        WebInterface client(nullptr, "dev1", "", "Tavrixo", "1.0.0.0", "zh-cn", "101",
                            "00112233445566778899aabbccddeeff", "windows");
        client.connect(&CallbackRecorder::callback);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client.V4CheckToken("86-138", "tok", 3), 0); // probes synchronously
        QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(QString::fromStdString(getApphost()), m_backup.host());
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        QCOMPARE(CallbackRecorder::instance().answers()[0].response.find("\"code\": 10000") !=
                         std::string::npos ||
                     CallbackRecorder::instance().answers()[0].response.find("\"code\":10000") !=
                         std::string::npos,
                 true);
        const QJsonObject post = m_backup.requests().last();
        QCOMPARE(post["path"].toString(), QString("/api/v4/checktoken"));
        QVERIFY(post["tls"].toBool());
        QVERIFY(post["sign_ok"].toBool());
        const QJsonObject headers = post["headers"].toObject();
        QCOMPARE(headers["x-domain"].toString(), m_backup.host());
        QCOMPARE(headers["x-product"].toString(), QString("101"));
        QCOMPARE(headers["x-version"].toString(), QString("1.0.0.0"));
        QCOMPARE(headers["x-channel"].toString(), QString("windows"));
    }

    // No candidate passes: the primary is used and named by X-Domain; values that are "0" or
    // do not start with a positive number leave their header as it was.
    void unreachableCandidatesAndHeaderValues()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const std::string a = "127.0.0.1:" + std::to_string(closed.serverPort());
        closed.close();
        QX_URL_LIST table;
        table.domainList = {{a, ""}, {m_backup.host().toStdString(), "no-such-id"}};
        const curlhttp::HeaderValues before = curlhttp::headerValues();
        QCOMPARE(QX_URL_LIST::getAvailableDomain(table, "abc", "v2", "0", "0"), a);
        QCOMPARE(curlhttp::headerValues().domain, a);
        QCOMPARE(QX_URL_LIST::checkDomainEnable(table, "-5", "0", "0", "0"), std::string());
        const curlhttp::HeaderValues after = curlhttp::headerValues();
        QCOMPARE(after.productId, before.productId);
        QCOMPARE(after.softVersion, before.softVersion);
        QCOMPARE(after.credits, before.credits);
        QCOMPARE(after.channel, before.channel);
    }

    // The candidates are probed side by side: the backup's probe arrives while the silent
    // primary's is still waiting (one after the other it would come only after the primary's
    // time-out), and each probe names its own host. The primary keeps its precedence: the
    // backup is chosen once the primary has failed.
    void candidatesAreProbedSideBySide()
    {
        const QMap<QString, QString> config{{"webapi/app_host", m_primary.host()},
                                            {"webapi/app_host_backup", m_backup.host()},
                                            {"webapi/ca_file", m_backup.caFile()},
                                            {"webapi/probe_timeout_ms", "3000"}};
        tvxtest::writeConfigOverride(config);
        auto restore = qScopeGuard([config] {
            QMap<QString, QString> suite = config;
            suite["webapi/probe_timeout_ms"] = "400";
            tvxtest::writeConfigOverride(suite);
        });
        m_primary.clearRules(QJsonObject{{"mode", "silent"}, {"hold_s", 10}});
        m_primary.clearRequests();
        m_backup.clearRules();
        m_backup.setPathRule("/health", QJsonObject{{"headers", QJsonObject{{"x-machineid", "20-201"}}}});
        m_backup.clearRequests();
        QX_URL_LIST table;
        table.domainList = {{m_primary.host().toStdString(), ""}, {m_backup.host().toStdString(), "20-201"}};
        std::string chosen;
        std::thread probe(
            [&] { chosen = QX_URL_LIST::getAvailableDomain(table, "101", "1.0.0.0", "c", "windows"); });
        const bool backupProbedEarly =
            tvxtest::waitUntil([&] { return m_backup.requests().size() >= 2; }, 2000);
        probe.join();
        m_primary.clearRules();
        QVERIFY(backupProbedEarly);
        QCOMPARE(chosen, m_backup.host().toStdString());
        QCOMPARE(curlhttp::headerValues().domain, m_backup.host().toStdString());
        for (const QJsonObject &r : m_backup.requests()) {
            QCOMPARE(r["method"].toString(), QString("HEAD"));
            QCOMPARE(r["headers"].toObject()["x-domain"].toString(), m_backup.host());
        }
        QCOMPARE(m_primary.requests().size(), 1);
        QCOMPARE(m_primary.requests()[0]["headers"].toObject()["x-domain"].toString(), m_primary.host());
    }

    void testSwitchesSkipTheProbe()
    {
        WebInterface client(nullptr, "dev1", "", "Tavrixo", "1.0.0.0", "zh-cn", "101", "c", "windows");
        const std::string primary = apphostTable().primary();
        client.SetTestServer(true, false);
        QCOMPARE(client.getEditionURL("https://" + primary + "/api/v4/x"), "http://" + primary + "/api/v4/x");
        client.SetTestServer(true, true);
        QCOMPARE(client.getEditionURL("https://" + primary + "/api/v4/x"),
                 std::string("http://127.0.0.1:8080/api/v4/x"));
        client.SetTestServer(false, false);
        QCOMPARE(client.getEditionURL("https://elsewhere.example/a"),
                 std::string("https://elsewhere.example/a"));
    }
};

QTEST_GUILESS_MAIN(TestWebApiHost)
#include "tst_webapihost.moc"
