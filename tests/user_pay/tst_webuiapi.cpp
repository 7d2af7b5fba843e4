// The web-API bridge against the loopback account server: server-time gating, the blocking
// calls, the answer dispatcher, callbacks that call back in, and teardown with answers in flight.
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "i18n/I18n.h"
#include "user_pay/WebUIAPIService.h"
#include "webapi/ObjectIds.h"
#include "webapi/WebInterface.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using tvxtest::WebApiTestServer;
using user_pay::AccountInfo;
using user_pay::UserPayResult;
using user_pay::WebUIAPIService;

namespace {

constexpr int kBlockingTimeoutMs = 1500;
// What the account server answers an image-code request with.
const QString kServerImage = QStringLiteral("imageUrl:data:image/png;base64,iVBORw0KGgo=");

// Everything the callbacks report, as text, in arrival order.
class Events
{
public:
    void add(const QString &event)
    {
        QMutexLocker lock(&m_mutex);
        m_events << event;
    }
    QStringList all()
    {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_events.clear();
    }
    bool waitFor(int count, int timeoutMs = 8000)
    {
        return tvxtest::waitUntil([&] { return all().size() >= count; }, timeoutMs);
    }

private:
    QMutex m_mutex;
    QStringList m_events;
};

// Log lines of every thread, for the lines the Parts name.
QMutex g_logMutex;
QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;
void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    {
        QMutexLocker lock(&g_logMutex);
        g_log << text;
    }
    if (g_previousHandler) {
        g_previousHandler(type, context, text);
    }
}
// Blanks are compared loosely: the log line puts one between every two items.
bool logContains(const QString &part)
{
    QMutexLocker lock(&g_logMutex);
    const QString wanted = part.simplified();
    for (const QString &line : qAsConst(g_log)) {
        if (line.simplified().contains(wanted)) {
            return true;
        }
    }
    return false;
}

void registerAll(WebUIAPIService &bridge, Events &events)
{
    auto failure = [&events](const char *name) {
        return [&events, name](int code, const QString &message) {
            events.add(QStringLiteral("%1:%2:%3").arg(QLatin1String(name)).arg(code).arg(message));
        };
    };
    auto challengeFailure = [&events](const char *name) {
        return [&events, name](int code, const QString &message, bool challenge) {
            events.add(QStringLiteral("%1:%2:%3:%4")
                           .arg(QLatin1String(name))
                           .arg(code)
                           .arg(message, challenge ? QStringLiteral("true") : QStringLiteral("false")));
        };
    };
    auto account = [&events](const char *name) {
        return [&events, name](const AccountInfo &a) {
            events.add(QStringLiteral("%1:%2:%3").arg(QLatin1String(name), a.accountId, a.token));
        };
    };
    auto url = [&events](const char *name) {
        return [&events, name](const QString &u) {
            events.add(QStringLiteral("%1:%2").arg(QLatin1String(name), u));
        };
    };
    bridge.setWeChatLoginUrlChangedCallback(url("weChatUrl"));
    bridge.setWeChatLoginSucceededCallback(account("weChatOk"));
    bridge.setWeChatLoginFailedCallback(failure("weChatFailed"));
    bridge.setQQLoginUrlChangedCallback(url("qqUrl"));
    bridge.setQQLoginSucceededCallback(account("qqOk"));
    bridge.setQQLoginFailedCallback(failure("qqFailed"));
    bridge.setPhoneImageCodeChangedCallback(url("imageUrl"));
    bridge.setPhoneImageCodeFailedCallback(failure("imageFailed"));
    bridge.setPhoneCodeSentCallback([&events] { events.add(QStringLiteral("codeSent")); });
    bridge.setPhoneCodeFailedCallback(challengeFailure("codeFailed"));
    bridge.setPhoneLoginSucceededCallback(account("phoneOk"));
    bridge.setPhoneLoginFailedCallback(challengeFailure("phoneFailed"));
    bridge.setLenovoLoginSucceededCallback(account("lenovoOk"));
    bridge.setLenovoLoginFailedCallback(failure("lenovoFailed"));
    bridge.setVirtualAccountLoginSucceededCallback(account("virtualOk"));
    bridge.setVirtualAccountLoginFailedCallback(failure("virtualFailed"));
}

QJsonObject accountRule(const QJsonObject &options = QJsonObject(), int delayMs = 0)
{
    QJsonObject rule{{"account", options}};
    if (delayMs) {
        rule.insert("delay_ms", delayMs);
    }
    return rule;
}

QJsonObject bodyRule(const QByteArray &body, int delayMs = 0)
{
    QJsonObject rule{{"body", QString::fromUtf8(body)}};
    if (delayMs) {
        rule.insert("delay_ms", delayMs);
    }
    return rule;
}

QString result(const UserPayResult &r)
{
    return QStringLiteral("%1|%2|%3").arg(r.code).arg(r.message).arg(r.serviceCode);
}

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

} // namespace

class WebUIApiTest : public QObject
{
    Q_OBJECT
    WebApiTestServer m_server;
    Events m_dispatchEvents;
    std::unique_ptr<WebUIAPIService> m_dispatchBridge;

    int count(const QString &name) const
    {
        int n = 0;
        for (const QJsonObject &request : m_server.requests()) {
            if (request.value("path").toString() == "/api/v4/" + name) {
                ++n;
            }
        }
        return n;
    }
    QJsonObject lastBody(const QString &name) const
    {
        QJsonObject body;
        for (const QJsonObject &request : m_server.requests()) {
            if (request.value("path").toString() == "/api/v4/" + name) {
                body = QJsonDocument::fromJson(request.value("body").toString().toUtf8()).object();
            }
        }
        return body;
    }
    bool waitForCount(const QString &name, int n, int timeoutMs = 8000) const
    {
        return tvxtest::waitUntil([&] { return count(name) >= n; }, timeoutMs);
    }

    // A bridge whose server time is known (its first answer has been handled).
    std::unique_ptr<WebUIAPIService> readyBridge(Events &events)
    {
        auto bridge = std::make_unique<WebUIAPIService>();
        registerAll(*bridge, events);
        bridge->initialize();
        // The first request that goes through is an image code, whose answer is then awaited, so
        // that nothing of the set-up is still on its way when the test begins.
        if (!tvxtest::waitUntil([&] { return bridge->requestPhoneImageCode(); }) ||
            !tvxtest::waitUntil([&] { return events.all().contains(kServerImage); })) {
            return nullptr;
        }
        events.clear();
        return bridge;
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        g_previousHandler = qInstallMessageHandler(captureLog);
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        QVERIFY(m_server.start());
        tvxtest::writeConfigOverride(
            {{"webapi/app_host", m_server.host()},
             {"webapi/app_host_backup", "127.0.0.1:" + QString::number(closedPort())},
             {"webapi/ca_file", m_server.caFile()},
             {"webapi/request_timeout_ms", "4000"},
             {"webapi/server_time_timeout_ms", "4000"},
             {"user_pay/qq_oauth_host", "oauth.qq.test"},
             {"user_pay/qq_client_id", "1234"},
             {"user_pay/blocking_call_timeout_ms", QString::number(kBlockingTimeoutMs)}});
    }

    void cleanupTestCase() { m_dispatchBridge.reset(); }

    void init()
    {
        m_server.clearRules(accountRule());
        m_server.clearRequests();
    }

    // Runs first: the process-wide bridge makes one client and asks for the time once.
    void sharedMakesOneClient()
    {
        auto first = WebUIAPIService::shared();
        auto second = WebUIAPIService::shared();
        QCOMPARE(first.get(), second.get());
        QVERIFY(tvxtest::waitUntil([&] { return first->requestPhoneImageCode(); }));
        QVERIFY(waitForCount("imgverify", 1));
        QCOMPARE(count("getutctime"), 1);
    }

    void ticketsWaitForTheServerTime()
    {
        m_server.setPathRule("/api/v4/getutctime", accountRule({}, 400));
        Events events;
        WebUIAPIService bridge;
        registerAll(bridge, events);
        QVERIFY(bridge.requestWeChatQrLogin());
        QVERIFY2(bridge.requestWeChatQrLogin(), "a second request while one waits reports success");
        QCOMPARE(count("wechatguid"), 0);
        QVERIFY(events.waitFor(1));
        QVERIFY2(events.all().first().startsWith("weChatUrl:https://" + m_server.host() + "/scanlogin/tag-"),
                 qPrintable(events.all().first()));
        QCOMPARE(count("wechatguid"), 1);
        QVERIFY(!bridge.weChatScanLoginUrl().isEmpty());
    }

    // A failed server-time answer ends the waiting ticket request with its failure callback;
    // the next request asks for the time again and goes through.
    void failedServerTimeEndsWaitingRequests()
    {
        m_server.setPathRule("/api/v4/getutctime", bodyRule(R"({"code":500,"message":"clock down"})"));
        Events events;
        WebUIAPIService bridge;
        registerAll(bridge, events);
        QVERIFY(bridge.requestQQLogin());
        QVERIFY(events.waitFor(1));
        QCOMPARE(events.all(), QStringList{"qqFailed:500:clock down"});
        QVERIFY(!bridge.requestPhoneImageCode());

        m_server.setPathRule("/api/v4/getutctime", accountRule());
        const int asked = count("getutctime");
        QVERIFY(bridge.requestQQLogin());
        QVERIFY(waitForCount("getutctime", asked + 1));
        QVERIFY(events.waitFor(2));
        QVERIFY2(events.all().at(1).startsWith("qqUrl:https://oauth.qq.test/oauth2.0/show?"),
                 qPrintable(events.all().at(1)));
        QVERIFY(events.all().at(1).contains("&redirect_uri=http%3a%2f%2f" + m_server.host() +
                                            "%2fscanlogin%2fqqlogin%3fstate%3dtag-"));
    }

    // Once the server's clock is known, requests are stamped with it: the local clock plus the
    // offset its answer gave.
    void requestsCarryTheServerClock()
    {
        WebInterface::setClockForTesting([](std::time_t *) -> std::time_t { return 1700000000; });
        auto restoreClock = qScopeGuard([] { WebInterface::setClockForTesting(nullptr); });
        m_server.clearRules(accountRule({{"utctime", 1700003600}}));
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        QCOMPARE(result(bridge->checkToken("u1", "tok-1")), QStringLiteral("0||10000"));
        QCOMPARE(lastBody("checktoken").value("timestamp").toString(), QStringLiteral("1700003600"));
    }

    void phoneRequestsNeedTheServerTime()
    {
        m_server.setPathRule("/api/v4/getutctime", accountRule({}, 400));
        Events events;
        WebUIAPIService bridge;
        registerAll(bridge, events);
        QVERIFY(!bridge.requestPhoneCode("86-13800000000", false, "abcd"));
        QVERIFY(!bridge.phoneCodeLogin("86-13800000000", "1234", false, "abcd"));
        QVERIFY(tvxtest::waitUntil([&] { return bridge.requestPhoneCode("86-13800000000", true, "abcd"); }));
        QVERIFY(waitForCount("safsmsverify", 1));
        QCOMPARE(count("smsverify"), 0);
        QVERIFY2(!lastBody("safsmsverify").contains("imgcode"), "the challenge call carries no image code");
        QVERIFY(events.waitFor(1));
        QCOMPARE(events.all(), QStringList{"codeSent"});
    }

    void virtualLoginUsesOneDeviceIdForTheRun()
    {
        Events events;
        WebUIAPIService bridge([] { return QStringLiteral(" "); });
        registerAll(bridge, events);
        QVERIFY(bridge.requestVirtualAccountLogin());
        QVERIFY(events.waitFor(1));
        // The answer is heard while its channel still counts as busy, and a request on a busy
        // channel is dropped without an answer: the channel is given time to mark itself idle.
        QTest::qWait(200);
        QVERIFY(bridge.requestVirtualAccountLogin());
        QVERIFY(events.waitFor(2));
        const QString id = lastBody("virtualactregister").value("deviceid").toString();
        QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(id).hasMatch(), qPrintable(id));
        QCOMPARE(events.all().at(0), "virtualOk:v-" + id.left(8) + ":vt-" + id.left(8));
        QCOMPARE(events.all().at(1), events.all().at(0));
    }

    void loginAndLenovoEntries()
    {
        WebUIAPIService bridge;
        QCOMPARE(result(bridge.login({"", "x"}, nullptr)), QStringLiteral("1|账号或凭证不能为空。|0"));
        QVERIFY(!bridge.requestLenovoTokenLogin("   "));
        QVERIFY(m_server.requests().isEmpty());
        AccountInfo out;
        out.accountId = "kept";
        QCOMPARE(result(bridge.login({"a", "b"}, &out)), QStringLiteral("3|当前登录方式暂未实现。|0"));
        QCOMPARE(out.accountId, QStringLiteral("kept"));
        QVERIFY2(waitForCount("getutctime", 1), "login makes the client");

        // The vendor-channel token goes out as the client's signed Lenovo login.
        Events events;
        registerAll(bridge, events);
        QVERIFY(bridge.requestLenovoTokenLogin(" acc-token "));
        QVERIFY(waitForCount("loginlenovo", 1));
        QCOMPARE(lastBody("loginlenovo").value("accesstoken").toString(), QStringLiteral("acc-token"));
        QVERIFY(events.waitFor(1));
        QVERIFY(events.all().at(0).startsWith("lenovo"));
    }

    void blockingCalls_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("rule");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("sends");

        const QJsonObject account = accountRule();
        const QJsonObject garbage = bodyRule("this is no JSON");
        QTest::newRow("check: empty account")
            << "check:|tok-1"
            << "checktoken" << account << "1|账号或令牌不能为空。|0" << false;
        QTest::newRow("check: valid") << "check:u1|tok-1"
                                      << "checktoken" << account << "0||10000" << true;
        QTest::newRow("check: code 0 counts as valid")
            << "check:u1|x"
            << "checktoken" << bodyRule(R"({"code":0})") << "0||10000" << true;
        QTest::newRow("check: code 11120 counts as valid")
            << "check:u1|x"
            << "checktoken" << bodyRule(R"({"code":11120})") << "0||10000" << true;
        QTest::newRow("check: invalid token") << "check:u1|bad"
                                              << "checktoken" << account << "2|缺少参数|10060" << true;
        QTest::newRow("check: server text")
            << "check:u1|bad"
            << "checktoken" << bodyRule(R"({"code":18052,"message":"说明"})") << "4|说明|18052" << true;
        QTest::newRow("check: refused by the client") << "check:u1|" + QString(2000, 'x') << "checktoken"
                                                      << account << "4|发起登录状态校验失败。|0" << false;
        // An answer that came but cannot be read ends the wait at once, as one that brought
        // nothing: not with the time-out's text.
        QTest::newRow("check: unreadable answer fails at once")
            << "check:u1|tok-1"
            << "checktoken" << garbage << "4|缺少参数|-1" << true;
        QJsonObject errorPage = bodyRule("<html><body>Internal Server Error</body></html>");
        errorPage.insert("status", 500);
        QTest::newRow("check: error page fails at once")
            << "check:u1|tok-1"
            << "checktoken" << errorPage << "4|缺少参数|-1" << true;
        QTest::newRow("check: answer nested too deep fails at once")
            << "check:u1|tok-1"
            << "checktoken" << bodyRule(QByteArray(5000, '[') + QByteArray(5000, ']')) << "4|缺少参数|-1"
            << true;
        QTest::newRow("refresh: unreadable answer fails at once")
            << "refresh:u1|tok-1"
            << "memprofile" << garbage << "4|缺少参数|-1" << true;
        QTest::newRow("logout: unreadable answer fails at once")
            << "logout:u1|tok-1"
            << "signout" << garbage << "4|缺少参数|0" << true;
        QTest::newRow("phone bind: unreadable answer fails at once")
            << "phone:86-1|vt-1|1234|"
            << "virtualactbind" << garbage << "4|缺少参数|-1" << true;
        QTest::newRow("refresh: no record")
            << "refresh:null"
            << "memprofile" << account << "1|账号信息输出对象为空。|0" << false;
        QTest::newRow("refresh: blank token")
            << "refresh:u1| "
            << "memprofile" << account << "1|账号或令牌不能为空。|0" << false;
        QTest::newRow("refresh: success") << "refresh:u1|tok-1"
                                          << "memprofile" << account << "0||10000" << true;
        QTest::newRow("refresh: invalid token") << "refresh:u1|bad"
                                                << "memprofile" << account << "2|无效|10060" << true;
        QTest::newRow("refresh: answer without account name")
            << "refresh:u1|tok-1"
            << "memprofile" << bodyRule(R"({"code":10000,"userinfo":{"usertoken":"t"}})")
            << "4|刷新账号信息返回缺少必要字段。|0" << true;
        QTest::newRow("logout: blank token sends nothing") << "logout:u1| "
                                                           << "signout" << account << "0||10000" << false;
        QTest::newRow("logout: success") << "logout:u1|tok-1"
                                         << "signout" << account << "0||10000" << true;
        QTest::newRow("logout: failure keeps no service code")
            << "logout:u1|tok-1"
            << "signout" << bodyRule(R"({"code":18051})") << "4|缺少参数|0" << true;
        QTest::newRow("phone bind: success") << "phone:86-1|vt-1|1234|"
                                             << "virtualactbind" << account << "0||10000" << true;
        QTest::newRow("phone bind: no sms code")
            << "phone:86-1|vt-1| |x"
            << "virtualactbind" << account << "1|账号或令牌不能为空。|0" << false;
        QTest::newRow("phone bind: server refuses")
            << "phone:86-1|vt-1|1234|"
            << "virtualactbind" << bodyRule(R"({"code":19313})") << "4|短信校验码错误或超时|19313" << true;
        QTest::newRow("openId bind: success") << "openid:wx-1|vt-1|2"
                                              << "virtualactbindopenid" << account << "0||10000" << true;
        QTest::newRow("openId bind: account type 0")
            << "openid:wx-1|vt-1|0"
            << "virtualactbindopenid" << account << "1|账号或令牌不能为空。|0" << false;
    }

    void blockingCalls()
    {
        QFETCH(QString, call);
        QFETCH(QString, path);
        QFETCH(QJsonObject, rule);
        QFETCH(QString, expected);
        QFETCH(bool, sends);

        m_server.setPathRule("/api/v4/" + path, rule);
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        m_server.clearRequests();

        const QString kind = call.section(':', 0, 0);
        const QStringList args = call.section(':', 1).split('|');
        AccountInfo record;
        UserPayResult r;
        if (kind == "check") {
            r = bridge->checkToken(args[0], args[1]);
        } else if (kind == "refresh") {
            if (args[0] == "null") {
                r = bridge->refreshAccount(nullptr);
            } else {
                record.accountId = args[0];
                record.token = args[1];
                record.nickname = "before";
                r = bridge->refreshAccount(&record);
            }
        } else if (kind == "logout") {
            record.accountId = args[0];
            record.token = args[1];
            r = bridge->logout(record);
        } else if (kind == "phone") {
            r = bridge->bindVirtualAccountWithPhone(args[0], args[1], args[2], args[3]);
        } else {
            r = bridge->bindVirtualAccountWithOpenId(args[0], args[1], args[2].toInt());
        }
        QCOMPARE(result(r), expected);
        QCOMPARE(count(path) > 0, sends);

        if (kind == "refresh" && args[0] != "null") {
            // Only a success replaces the caller's record, and then whole.
            QCOMPARE(record.nickname, r.code == 0 ? QStringLiteral("u1") : QStringLiteral("before"));
            QCOMPARE(record.uid, r.code == 0 ? QStringLiteral("1002") : QString());
        }
        if (kind == "phone" && r.code == 0) {
            QCOMPARE(bridge->takeLastVirtualBindUserToken(), QStringLiteral("bound-vt-1"));
            QCOMPARE(bridge->takeLastVirtualBindUserToken(), QString());
        }
        if (kind == "openid" && r.code == 1) {
            QVERIFY(logContains(
                "[VirtualBind] invalid openId bind args, bindAccountEmpty = false tokenEmpty = false "
                "accountType = 0"));
        }
    }

    // A second call of a kind while one waits is refused at once; the first still gets its
    // own answer. The two binds share one state.
    void busyCallsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("check token") << "check";
        QTest::newRow("binds") << "bind";
    }

    void busyCallsAreRefused()
    {
        QFETCH(QString, kind);
        const QString path = kind == "check" ? "checktoken" : "virtualactbindopenid";
        m_server.setPathRule("/api/v4/" + path, accountRule({}, 600));
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        m_server.clearRequests();

        UserPayResult first;
        std::thread waiter([&] {
            first = kind == "check" ? bridge->checkToken("u1", "tok-1")
                                    : bridge->bindVirtualAccountWithOpenId("wx-1", "vt-1", 2);
        });
        QVERIFY(waitForCount(path, 1));
        const UserPayResult second = kind == "check"
                                         ? bridge->checkToken("u2", "tok-1")
                                         : bridge->bindVirtualAccountWithPhone("86-1", "vt-1", "1234", "");
        waiter.join();
        QCOMPARE(result(second), kind == "check" ? QStringLiteral("2|登录状态校验进行中，请稍后重试。|0")
                                                 : QStringLiteral("2|登录请求失败。|0"));
        QCOMPARE(result(first), QStringLiteral("0||10000"));
        QCOMPARE(count(path), 1);
        QCOMPARE(count("virtualactbind"), 0);
    }

    // The answer comes after the call gave up: the call reports its time-out, leaves the
    // caller's record alone, and the late answer changes nothing.
    void lateAnswerIsDropped()
    {
        m_server.setPathRule("/api/v4/virtualactbind", accountRule({}, kBlockingTimeoutMs + 500));
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        const UserPayResult r = bridge->bindVirtualAccountWithPhone("86-1", "vt-1", "1234", "");
        QCOMPARE(result(r), QStringLiteral("4|登录请求失败。|0"));
        QVERIFY(logContains("[VirtualBind] wait phone bind callback timeout, timeoutMs = 1500"));
        QVERIFY(tvxtest::waitUntil(
            [] { return logContains("[VirtualBind] callback ignored, bind state is not pending."); }));
        QCOMPARE(bridge->takeLastVirtualBindUserToken(), QString());
    }

    // The first call gives up; the second is made while the first's request is still on its
    // way, so the client drops it. The first's late answer must not become the second's result.
    void lateAnswerDoesNotAnswerTheNextCall()
    {
        QJsonObject slowValid = bodyRule(R"({"code":10000})", kBlockingTimeoutMs + 500);
        m_server.setPathRule("/api/v4/checktoken",
                             QJsonObject{{"sequence", QJsonArray{slowValid, bodyRule(R"({"code":10060})")}}});
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        QCOMPARE(result(bridge->checkToken("u1", "tok-1")), QStringLiteral("4|登录状态校验超时。|0"));
        QCOMPARE(result(bridge->checkToken("u2", "tok-2")), QStringLiteral("4|登录状态校验超时。|0"));
        QCOMPARE(count("checktoken"), 1);
        // Once the late answer is counted off, the next call gets its own answer.
        QCOMPARE(result(bridge->checkToken("u3", "tok-3")), QStringLiteral("2|缺少参数|10060"));
    }

    // An unreadable answer ends its call, and it was that call's answer: the next call is not
    // kept from its own.
    void unreadableAnswerIsNotOwedAgain()
    {
        m_server.setPathRule(
            "/api/v4/checktoken",
            QJsonObject{{"sequence", QJsonArray{bodyRule("no JSON"), bodyRule(R"({"code":10060})")}}});
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        QCOMPARE(result(bridge->checkToken("u1", "tok-1")), QStringLiteral("4|缺少参数|-1"));
        // The call ends inside the answer's callback, while its channel still counts as busy, and
        // a request on a busy channel is dropped without an answer: the channel is given time to
        // mark itself idle.
        QTest::qWait(200);
        QCOMPARE(result(bridge->checkToken("u2", "tok-2")), QStringLiteral("2|缺少参数|10060"));
    }

    void dispatcher_data()
    {
        QTest::addColumn<int>("callType");
        QTest::addColumn<int>("objectId");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("expected");

        const QString qr =
            "weChatUrl:https://open.wechat.example/connect/qrconnect?appid=wx1&scope=snsapi_login";
        QTest::newRow("WeChat ticket, app id")
            << 41 << 25 << QByteArray(R"({"code":10000,"logintag":"t1","appid":"wx1"})")
            << QStringList{"prefix:" + qr};
        QTest::newRow("WeChat ticket, empty top-level tag wins")
            << 41 << 25 << QByteArray(R"({"code":10000,"logintag":"","data":{"logintag":"d","appid":"wx1"}})")
            << QStringList{"contains:&state=&login_type=jssdk"};
        QTest::newRow("WeChat ticket, tag in data, no app id")
            << 41 << 25 << QByteArray(R"({"code":10000,"data":{"logintag":"d1"}})")
            << QStringList{"weChatUrl:https://HOST/scanlogin/d1"};
        QTest::newRow("WeChat ticket, neither")
            << 41 << 25 << QByteArray(R"({"code":10000})") << QStringList{"weChatUrl:"};
        QTest::newRow("WeChat ticket fails with server text")
            << 41 << 25 << QByteArray(R"({"code":500,"message":"busy"})")
            << QStringList{"weChatFailed:500:busy"};
        QTest::newRow("WeChat ticket, no answer")
            << 41 << 25 << QByteArray(R"({"code":-1})") << QStringList{"weChatFailed:-1:缺少参数"};
        QTest::newRow("QQ ticket") << 51 << 24 << QByteArray(R"({"code":10000,"logintag":" q1 "})")
                                   << QStringList{
                                          "qqUrl:https://oauth.qq.test/oauth2.0/show?which=Login&display=pc"
                                          "&client_id=1234&response_type=token&scope=all&redirect_uri=http%3a"
                                          "%2f%2fHOST%2fscanlogin%2fqqlogin%3fstate%3dq1"};
        QTest::newRow("WeChat state: not yet")
            << 42 << 25 << QByteArray(R"({"code":11000})") << QStringList();
        QTest::newRow("WeChat state: signed in")
            << 42 << 25 << QByteArray(R"({"code":10000,"userinfo":{"username":"w","usertoken":"t"}})")
            << QStringList{"weChatOk:w:t"};
        QTest::newRow("QQ state: failed")
            << 42 << 24 << QByteArray(R"({"code":18000,"message":"m"})") << QStringList{"qqFailed:18000:m"};
        QTest::newRow("login state of an unknown object")
            << 42 << 7 << QByteArray(R"({"code":10000})") << QStringList();
        QTest::newRow("vendor login")
            << 72 << 27 << QByteArray(R"({"code":10000,"userinfo":{"username":"l"}})")
            << QStringList{"lenovoOk:l:"};
        QTest::newRow("image code as a data URL")
            << 29 << 2 << QByteArray(R"({"code":10000,"message":"data:image/png;base64,AAA"})")
            << QStringList{"imageUrl:data:image/png;base64,AAA"};
        QTest::newRow("image code in data")
            << 29 << 2 << QByteArray(R"({"code":10000,"message":"x,","data":{"imagecode":"BBB"}})")
            << QStringList{"imageUrl:data:image/png;base64,BBB"};
        QTest::newRow("image code missing")
            << 29 << 2 << QByteArray(R"({"code":10000})") << QStringList{"imageUrl:data:image/png;base64,"};
        QTest::newRow("SMS code sent")
            << 30 << 2 << QByteArray(R"({"code":10000})") << QStringList{"codeSent"};
        QTest::newRow("SMS code needs the challenge")
            << 57 << 5 << QByteArray(R"({"code":28001})") << QStringList{"codeFailed:28001:缺少参数:true"};
        QTest::newRow("SMS login, catalog text")
            << 33 << 21 << QByteArray(R"({"code":19004,"message":"srv"})")
            << QStringList{"phoneFailed:19004:错误的 图形验证码或短信校验码（超过20分钟）:false"};
        QTest::newRow("SMS login needs the challenge")
            << 55 << 21 << QByteArray(R"({"code":28002,"message":"again"})")
            << QStringList{"phoneFailed:28002:again:true"};
        QTest::newRow("SMS login") << 55 << 21
                                   << QByteArray(
                                          R"({"code":10000,"userinfo":{"username":"p","usertoken":"pt"}})")
                                   << QStringList{"phoneOk:p:pt"};
        QTest::newRow("virtual login fails")
            << 58 << 26 << QByteArray(R"({"code":500,"message":"m"})") << QStringList{"virtualFailed:500:m"};
        QTest::newRow("server time without utctime")
            << 65 << 0 << QByteArray(R"({"code":10000})") << QStringList();
        QTest::newRow("garbage") << 41 << 25 << QByteArray("<html>") << QStringList();
        QTest::newRow("null") << 41 << 25 << QByteArray("null") << QStringList();
        QTest::newRow("array") << 41 << 25 << QByteArray("[1,2]") << QStringList();
        QTest::newRow("empty") << 58 << 26 << QByteArray("") << QStringList();
        QTest::newRow("missing code")
            << 41 << 25 << QByteArray("{}") << QStringList{"weChatFailed:-1:缺少参数"};
        QTest::newRow("code as text")
            << 41 << 25 << QByteArray(R"({"code":"10000"})") << QStringList{"weChatFailed:-1:缺少参数"};
        QTest::newRow("code out of range")
            << 41 << 25 << QByteArray(R"({"code":1e300})") << QStringList{"weChatFailed:-1:缺少参数"};
        QTest::newRow("code not whole")
            << 41 << 25 << QByteArray(R"({"code":10000.5})") << QStringList{"weChatFailed:-1:缺少参数"};
        QTest::newRow("userinfo of the wrong type")
            << 55 << 21 << QByteArray(R"({"code":10000,"userinfo":[1]})") << QStringList{"phoneOk::"};
        QTest::newRow("members of the wrong type")
            << 55 << 21 << QByteArray(R"({"code":10000,"userinfo":{"username":5,"usertoken":null}})")
            << QStringList{"phoneOk::"};
        QTest::newRow("message of the wrong type")
            << 41 << 25 << QByteArray(R"({"code":7,"message":{"a":1}})")
            << QStringList{"weChatFailed:7:缺少参数"};
        QTest::newRow("bind answer with nobody waiting")
            << 59 << 10030 << QByteArray(R"({"code":10000})") << QStringList();
        QTest::newRow("refresh answer with nobody waiting")
            << 45 << 10010 << QByteArray(R"({"code":10000})") << QStringList();
    }

    void dispatcher()
    {
        QFETCH(int, callType);
        QFETCH(int, objectId);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, expected);

        // One bridge for the whole table: no row changes state that another row reads.
        if (!m_dispatchBridge) {
            m_dispatchBridge = readyBridge(m_dispatchEvents);
        }
        QVERIFY(m_dispatchBridge);
        Events &events = m_dispatchEvents;
        events.clear();
        WebUIAPIService::webInterfaceCallbackBridge(m_dispatchBridge.get(), callType, objectId,
                                                    answer.toStdString());
        WebUIAPIService::webInterfaceCallbackBridge(nullptr, callType, objectId, answer.toStdString());
        // A challenge answer also asks for a new image code, whose answer may come at any time.
        QStringList got = events.all();
        got.removeAll(kServerImage);
        QVERIFY2(got.size() == expected.size(), qPrintable(got.join(QStringLiteral(" | "))));
        for (int i = 0; i < expected.size(); ++i) {
            QString want = expected[i];
            want.replace("HOST", m_server.host());
            if (want.startsWith("prefix:")) {
                QVERIFY2(got[i].startsWith(want.mid(7)), qPrintable(got[i]));
            } else if (want.startsWith("contains:")) {
                QVERIFY2(got[i].contains(want.mid(9)), qPrintable(got[i]));
            } else {
                QCOMPARE(got[i], want);
            }
        }
    }

    // A challenge answer asks for a new image code on its own.
    void challengeRequestsANewImageCode()
    {
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        const int before = count("imgverify");
        bridge->handleWebInterfaceCallback(webapi::calltype::V4PhoneCodeLogin, webapi::objectid::PhoneLogin,
                                           R"({"code":28001})");
        QVERIFY(waitForCount("imgverify", before + 1));
        QVERIFY(events.waitFor(2));
        QCOMPARE(events.all().at(0), QStringLiteral("phoneFailed:28001:缺少参数:true"));
        QCOMPARE(events.all().at(1), kServerImage);
    }

    void accountFromAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("fields"); // accountId, token, uid, nickname, avatarUrl
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("isVirtual");
        QTest::newRow("full") << QByteArray(R"({"userinfo":{"username":" u ","usertoken":" t ","uid":42,)"
                                            R"("nickname":"N","head_portrait":"h","accounttype":1}})")
                              << QStringList{" u ", " t ", "42", "N", "h"} << 1 << false;
        QTest::newRow("no uid, empty nickname, virtual")
            << QByteArray(R"({"userinfo":{"username":"u","nickname":"","accounttype":5}})")
            << QStringList{"u", "", "0", "u", ""} << 5 << true;
        QTest::newRow("uid as text") << QByteArray(R"({"userinfo":{"uid":"9007199254740993"}})")
                                     << QStringList{"", "", "9007199254740993", "", ""} << 0 << false;
        QTest::newRow("uid unconvertible") << QByteArray(R"({"userinfo":{"uid":"abc","accounttype":"5"}})")
                                           << QStringList{"", "", "0", "", ""} << 0 << false;
        QTest::newRow("uid out of range")
            << QByteArray(R"({"userinfo":{"uid":1e30}})") << QStringList{"", "", "0", "", ""} << 0 << false;
        QTest::newRow("userinfo inside data is not read")
            << QByteArray(R"({"data":{"userinfo":{"username":"u"}}})") << QStringList{"", "", "", "", ""} << 0
            << false;
        QTest::newRow("empty userinfo")
            << QByteArray(R"({"userinfo":{}})") << QStringList{"", "", "", "", ""} << 0 << false;
    }

    void accountFromAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, fields);
        QFETCH(int, type);
        QFETCH(bool, isVirtual);
        const AccountInfo a =
            WebUIAPIService::buildAccountInfoFromResponse(QJsonDocument::fromJson(answer).object());
        QCOMPARE((QStringList{a.accountId, a.token, a.uid, a.nickname, a.avatarUrl}), fields);
        QCOMPARE(a.accountType, type);
        QCOMPARE(a.isVirtualAccount, isVirtual);
    }

    void parseResponseRefusesMissingTargets()
    {
        int code = 0;
        QString message;
        QJsonObject root;
        QVERIFY(!WebUIAPIService::parseResponse("{}", nullptr, &message, &root));
        QVERIFY(!WebUIAPIService::parseResponse("{}", &code, nullptr, &root));
        QVERIFY(!WebUIAPIService::parseResponse("{}", &code, &message, nullptr));
        QVERIFY(WebUIAPIService::parseResponse(R"({"code":12,"message":"m"})", &code, &message, &root));
        QCOMPARE(code, 12);
        QCOMPARE(message, QStringLiteral("m"));
    }

    // Callbacks run outside the bridge's lock: one that calls back into the bridge (even a
    // blocking call) completes.
    void callbackMayCallBackIn()
    {
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        WebUIAPIService *b = bridge.get();
        std::atomic<bool> done{false};
        bridge->setWeChatLoginUrlChangedCallback([&, b](const QString &) {
            events.add("scan:" + b->weChatScanLoginUrl());
            events.add("check:" + result(b->checkToken("u1", "tok-1")));
            b->setWeChatLoginUrlChangedCallback(nullptr);
            done = true;
        });
        QVERIFY(bridge->requestWeChatQrLogin());
        QVERIFY(tvxtest::waitUntil([&] { return done.load(); }));
        const QStringList got = events.all();
        QVERIFY2(got.contains("check:0||10000"), qPrintable(got.join(", ")));
        QVERIFY(std::any_of(got.begin(), got.end(), [&](const QString &e) {
            return e.startsWith("scan:https://" + m_server.host() + "/scanlogin/tag-");
        }));
    }

    // The bridge goes away while answers are on their way: nothing reaches the callbacks and
    // nothing touches the destroyed bridge (the sanitizer pass checks the latter).
    void teardownWithAnswersInFlight()
    {
        m_server.setPathRule("/api/v4/virtualactregister", accountRule({}, 300));
        m_server.setPathRule("/api/v4/wechatguid", accountRule({}, 300));
        Events events;
        auto bridge = readyBridge(events);
        QVERIFY(bridge);
        const int before = events.all().size();
        QVERIFY(bridge->requestVirtualAccountLogin());
        QVERIFY(bridge->requestWeChatQrLogin());
        QVERIFY(waitForCount("virtualactregister", 1));
        QVERIFY(waitForCount("wechatguid", 1));
        bridge.reset();
        QCOMPARE(events.all().size(), before);
    }
};

QTEST_GUILESS_MAIN(WebUIApiTest)
#include "tst_webuiapi.moc"
