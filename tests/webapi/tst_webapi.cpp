// Web client: digest and signature, the account calls against the TLS loopback server, and
// the transport's failures (refused, silent, untrusted, hostile answers, teardown).
#include "CallbackRecorder.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "core/Log.h"
#include "webapi/DebugOutput.h"
#include "webapi/Md5.h"
#include "webapi/WebInterface.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

using tvxtest::WebApiTestServer;

namespace {
std::time_t fixedClock(std::time_t *)
{
    return 1700000000;
}

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort(); // closed again when s goes out of scope
}

std::unique_ptr<WebInterface> makeClient()
{
    auto client =
        std::make_unique<WebInterface>(nullptr, "dev1", "www.kestrane.example", "Tavrixo", "1.0.0.0", "zh-cn",
                                       "101", "00112233445566778899aabbccddeeff", "windows");
    client->connect(&CallbackRecorder::callback);
    return client;
}
} // namespace

class TestWebApi : public QObject
{
    Q_OBJECT
    WebApiTestServer m_server;
    QMap<QString, QString> m_config;

    void setConfig(const QString &key, const QString &value)
    {
        m_config[key] = value;
        tvxtest::writeConfigOverride(m_config);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(m_server.start());
        m_config = {{"webapi/app_host", m_server.host()},
                    {"webapi/app_host_backup", "127.0.0.1:" + QString::number(closedPort())},
                    {"webapi/ca_file", m_server.caFile()},
                    {"webapi/request_timeout_ms", "3000"}};
        tvxtest::writeConfigOverride(m_config);
    }

    void init()
    {
        CallbackRecorder::instance().clear();
        m_server.clearRules();
        m_server.clearRequests();
        WebInterface::setClockForTesting(nullptr);
    }

    void md5TestSuite_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("digest");
        QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
        QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
        QTest::newRow("message") << QByteArray("message digest")
                                 << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
        QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                                  << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
        QTest::newRow("alnum") << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
                               << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
        QTest::newRow("digits80") << QByteArray("1234567890").repeated(8)
                                  << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
    }
    void md5TestSuite()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, digest);
        auto client = makeClient();
        char out[33] = {};
        client->Md5(out, text.constData());
        QCOMPARE(QByteArray(out), digest);
    }

    // Pieces that straddle 64-byte blocks give the same digest as one append.
    void md5PiecewiseAppends()
    {
        QByteArray text;
        for (int i = 0; i < 300; ++i)
            text += char('A' + i % 50);
        const QByteArray expected = QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
        for (int piece : {1, 3, 55, 56, 63, 64, 65, 127, 299}) {
            md5_state_t state;
            md5_init(&state);
            for (int at = 0; at < text.size(); at += piece)
                md5_append(&state, reinterpret_cast<const uint8_t *>(text.constData() + at),
                           std::min(piece, int(text.size()) - at));
            md5_append(&state, reinterpret_cast<const uint8_t *>(text.constData()), 0);
            uint8_t digest[16];
            md5_finish(&state, digest);
            QCOMPARE(QByteArray(reinterpret_cast<char *>(digest), 16).toHex(), expected);
        }
    }

    // One call with a fixed clock: exact sign string and body, an empty value kept, a
    // negative number with its sign; the server agrees with the signature.
    void exactSignStringAndBody()
    {
        WebInterface::setClockForTesting(&fixedClock);
        auto client = makeClient();
        QCOMPARE(client->V4PhoneCodeLogin("86-13800138000", -1, "1234", "", 7), 0);
        const QByteArray sign =
            "account=86-13800138000&accounttype=-1&deviceid=dev1&deviceos=Win7&devicetype=pc&"
            "imgcode=&language=zh-cn&productid=101&smscode=1234&softname=Tavrixo&"
            "softversion=1.0.0.0&timestamp=1700000000kQwRt20190311ZmXaP";
        const QByteArray datasign = QCryptographicHash::hash(sign, QCryptographicHash::Md5).toHex();
        const QByteArray body =
            "{\"account\":\"86-13800138000\",\"accounttype\":\"-1\",\"deviceid\":\"dev1\","
            "\"deviceos\":\"Win7\",\"devicetype\":\"pc\",\"imgcode\":\"\",\"language\":\"zh-cn\","
            "\"productid\":\"101\",\"smscode\":\"1234\",\"softname\":\"Tavrixo\","
            "\"softversion\":\"1.0.0.0\",\"timestamp\":\"1700000000\",\"datasign\":\"" +
            datasign + "\"}";
        QCOMPARE(QByteArray(client->bodyBuffer(33)), body);
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        const auto requests = m_server.requests();
        QVERIFY(!requests.isEmpty());
        const QJsonObject post = requests.last(); // after the host probe's HEAD requests
        QCOMPARE(post["method"].toString(), QString("POST"));
        QCOMPARE(post["sign_string"].toString().toUtf8(), sign);
        QVERIFY(post["sign_ok"].toBool());
    }

    // Every call in use reaches the TLS server, which recomputes each signature.
    void everyCallReachesTheServerSigned()
    {
        auto client = makeClient();
        struct Call
        {
            int type;
            const char *path;
            std::function<int(WebInterface &)> send;
        };
        const Call calls[] = {
            {29, "imgverify", [](WebInterface &w) { return w.V4GetImgCheckCode(120, 40, 4, 18, 1); }},
            {30, "smsverify",
             [](WebInterface &w) {
                 return w.V4GetPhoneCheckCode("86-138", 1, "ab12", "1", "86-139", "tok", 2);
             }},
            {33, "loginquick",
             [](WebInterface &w) { return w.V4PhoneCodeLogin("86-138", 1, "9999", "", 3); }},
            {39, "signout", [](WebInterface &w) { return w.V4Logout("a\"quote\\back", "tok", 4); }},
            {41, "wechatguid", [](WebInterface &w) { return w.V4WeChatLogin(5); }},
            {42, "wechatstate", [](WebInterface &w) { return w.V4GetLoginState("tag", 6); }},
            {44, "checktoken", [](WebInterface &w) { return w.V4CheckToken("86-138", "tok", 7); }},
            {45, "memprofile", [](WebInterface &w) { return w.V4GetUserInfo("86-138", 1, "tok", 8); }},
            {51, "wechatguid", [](WebInterface &w) { return w.V4QQlogin(9); }},
            {55, "safloginquick", [](WebInterface &w) { return w.SafePhoneCodeLogin("86-138", "9999", 10); }},
            {57, "safsmsverify",
             [](WebInterface &w) { return w.SafeGetPhoneCheckCode("86-138", "1", "x@y", "tok", 11); }},
            {58, "virtualactregister", [](WebInterface &w) { return w.VirtualactRegister("", 99, 12); }},
            {59, "virtualactbind",
             [](WebInterface &w) { return w.VirtualactBind("86-138", "tok", "9999", "", 13); }},
            {64, "virtualactbindopenid",
             [](WebInterface &w) { return w.BindWeChatQQ("open\tid", "tok", 2, 14); }},
            {65, "getutctime", [](WebInterface &w) { return w.V4GetServerTime(15); }},
        };
        for (const Call &c : calls)
            QCOMPARE(c.send(*client), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(15));
        for (const RecordedAnswer &a : CallbackRecorder::instance().answers()) {
            QVERIFY(a.thread != std::this_thread::get_id());
            const QJsonObject answer =
                QJsonDocument::fromJson(QByteArray::fromStdString(a.response)).object();
            QVERIFY2(answer["code"].toInt() == 10000, a.response.c_str());
        }
        QHash<QString, int> seen;
        for (const QJsonObject &r : m_server.requests()) {
            if (r["method"].toString() == "HEAD")
                continue;
            QVERIFY(r["tls"].toBool());
            QCOMPARE(r["headers"].toObject()["x-domain"].toString(), m_server.host());
            QCOMPARE(r["headers"].toObject()["x-credits"].toString(),
                     QString("00112233445566778899aabbccddeeff"));
            if (r["method"].toString() == "POST")
                QVERIFY2(r["sign_ok"].toBool(), qPrintable(r["body"].toString()));
            ++seen[r["path"].toString()];
        }
        for (const Call &c : calls)
            QVERIFY2(seen.value(QStringLiteral("/api/v4/") + c.path) > 0, c.path);
        QCOMPARE(seen.value("/api/v4/wechatguid"), 2);
        // Conditional fields: absent when the condition fails, the device id from the client.
        for (const QJsonObject &r : m_server.requests()) {
            const QJsonObject body = QJsonDocument::fromJson(r["body"].toString().toUtf8()).object();
            if (r["path"] == "/api/v4/virtualactbind")
                QVERIFY(!body.contains("imgcode"));
            if (r["path"] == "/api/v4/virtualactregister")
                QCOMPARE(body["deviceid"].toString(), QString("dev1"));
            if (r["path"] == "/api/v4/safsmsverify")
                QCOMPARE(body["accounttype"].toString(), QString("0")); // derived from bindaccount "x@y"
        }
    }

    // Each live call's body: its exact members in their order, "datasign" last. The server
    // checks the signature against whatever body arrives, so only this table shows a member
    // missing, added or out of place.
    void liveCallMembers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("members");
        const QString common =
            "deviceid,deviceos,devicetype,language,productid,softname,softversion,timestamp";
        QTest::newRow("29 image code")
            << "imgverify"
            << "deviceid,deviceos,devicetype,fontsize,height,language,length,productid,"
               "softname,softversion,timestamp,width";
        QTest::newRow("30 SMS code") << "smsverify"
                                     << "account,accounttype,deviceid,deviceos,devicetype,imgcode,language,"
                                        "productid,softname,softversion,timestamp,verifytype";
        QTest::newRow("30 SMS code with a token")
            << "smsverify"
            << "account,accounttype,bindaccount,deviceid,deviceos,devicetype,imgcode,language,productid,"
               "softname,softversion,timestamp,usertoken,verifytype";
        QTest::newRow("33 SMS login") << "loginquick"
                                      << "account,accounttype,deviceid,deviceos,devicetype,imgcode,language,"
                                         "productid,smscode,softname,softversion,timestamp";
        QTest::newRow("39 sign-out") << "signout"
                                     << "account,deviceid,deviceos,devicetype,language,productid,softname,"
                                        "softversion,timestamp,usertoken";
        QTest::newRow("41 WeChat ticket") << "wechatguid" << common;
        QTest::newRow("42 login state")
            << "wechatstate"
            << "deviceid,deviceos,devicetype,language,logintag,productid,softname,"
               "softversion,timestamp";
        QTest::newRow("44 token check") << "checktoken"
                                        << "account,deviceid,deviceos,devicetype,language,productid,softname,"
                                           "softversion,timestamp,usertoken";
        QTest::newRow("45 profile") << "memprofile"
                                    << "account,accounttype,deviceid,deviceos,devicetype,language,productid,"
                                       "softname,softversion,timestamp,usertoken";
        QTest::newRow("51 QQ ticket") << "wechatguid" << common;
        QTest::newRow("55 safe SMS login") << "safloginquick"
                                           << "account,accounttype,deviceid,deviceos,devicetype,language,"
                                              "productid,smscode,softname,softversion,timestamp";
        QTest::newRow("57 safe SMS code") << "safsmsverify"
                                          << "account,accounttype,appsource,apptype,deviceid,deviceos,"
                                             "devicetype,language,productid,softname,softversion,timestamp,"
                                             "verifytype";
        QTest::newRow("57 safe SMS code with a token")
            << "safsmsverify"
            << "account,accounttype,appsource,apptype,bindaccount,deviceid,deviceos,devicetype,language,"
               "productid,softname,softversion,timestamp,usertoken,verifytype";
        QTest::newRow("58 virtual account") << "virtualactregister" << common;
        QTest::newRow("59 phone bind") << "virtualactbind"
                                       << "accounttype,bindaccount,deviceid,deviceos,devicetype,language,"
                                          "productid,smscode,softname,softversion,timestamp,usertoken";
        QTest::newRow("59 phone bind with an image code")
            << "virtualactbind"
            << "accounttype,bindaccount,deviceid,deviceos,devicetype,imgcode,language,productid,smscode,"
               "softname,softversion,timestamp,usertoken";
        QTest::newRow("64 WeChat or QQ bind") << "virtualactbindopenid"
                                              << "accounttype,deviceid,deviceos,devicetype,language,openid,"
                                                 "productid,softname,softversion,timestamp,usertoken";
    }
    void liveCallMembers()
    {
        QFETCH(QString, path);
        QFETCH(QString, members);
        static const QMap<QString, std::function<int(WebInterface &)>> calls{
            {"29 image code", [](WebInterface &w) { return w.V4GetImgCheckCode(80, 36, 4, 15, 2); }},
            {"30 SMS code",
             [](WebInterface &w) {
                 return w.V4GetPhoneCheckCode("86-138", -1, "ab12", "quicklogin", "", "", 2);
             }},
            {"30 SMS code with a token",
             [](WebInterface &w) {
                 return w.V4GetPhoneCheckCode("86-138", 1, "ab12", "bind", "86-139", "tok", 2);
             }},
            {"33 SMS login",
             [](WebInterface &w) { return w.V4PhoneCodeLogin("86-138", -1, "1234", "", 21); }},
            {"39 sign-out", [](WebInterface &w) { return w.V4Logout("86-138", "tok", 10011); }},
            {"41 WeChat ticket", [](WebInterface &w) { return w.V4WeChatLogin(25); }},
            {"42 login state", [](WebInterface &w) { return w.V4GetLoginState("tag-1", 25); }},
            {"44 token check", [](WebInterface &w) { return w.V4CheckToken("86-138", "tok", 10012); }},
            {"45 profile", [](WebInterface &w) { return w.V4GetUserInfo("86-138", -1, "tok", 10010); }},
            {"51 QQ ticket", [](WebInterface &w) { return w.V4QQlogin(24); }},
            {"55 safe SMS login", [](WebInterface &w) { return w.SafePhoneCodeLogin("86-138", "1234", 21); }},
            {"57 safe SMS code",
             [](WebInterface &w) { return w.SafeGetPhoneCheckCode("86-138", "quicklogin", "", "", 5); }},
            {"57 safe SMS code with a token",
             [](WebInterface &w) { return w.SafeGetPhoneCheckCode("86-138", "bind", "86-139", "tok", 5); }},
            {"58 virtual account", [](WebInterface &w) { return w.VirtualactRegister("dev2", 0, 26); }},
            {"59 phone bind",
             [](WebInterface &w) { return w.VirtualactBind("86-138", "vt", "1234", "", 10030); }},
            {"59 phone bind with an image code",
             [](WebInterface &w) { return w.VirtualactBind("86-138", "vt", "1234", "ab12", 10030); }},
            {"64 WeChat or QQ bind", [](WebInterface &w) { return w.BindWeChatQQ("open1", "vt", 2, 10031); }},
        };
        const QString row = QString::fromLatin1(QTest::currentDataTag());
        QVERIFY(calls.contains(row));
        auto client = makeClient();
        QCOMPARE(calls.value(row)(*client), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        QString body;
        for (const QJsonObject &r : m_server.requests()) {
            if (r["method"].toString() == "POST" && r["path"].toString() == "/api/v4/" + path)
                body = r["body"].toString();
        }
        QStringList keys;
        // The members' names in the order they stand in the body text (every value is a string).
        static const QRegularExpression member("\"((?:[^\"\\\\]|\\\\.)*)\":\"(?:[^\"\\\\]|\\\\.)*\"");
        for (auto it = member.globalMatch(body); it.hasNext();)
            keys << it.next().captured(1);
        QCOMPARE(keys.join(','), members + ",datasign");
    }

    void refusalsBeforeSending()
    {
        WebInterface client(nullptr, "dev1", "", "Tavrixo", "1.0.0.0", "zh-cn", "101", "c", "windows");
        QCOMPARE(client.V4CheckToken("a", "t", 1), 1); // no callback yet
        QVERIFY(client.bodyBuffer(44) != nullptr);
        client.connect(&CallbackRecorder::callback);
        // Too long for its 1024-byte buffer: refused, never truncated.
        QCOMPARE(client.V4CheckToken("a", std::string(1100, 't'), 2), 1);
        QCOMPARE(client.InitParameters(78), 0);
        QCOMPARE(client.InitCurlHttp(-1, 0), 0);
        QTest::qWait(200);
        QCOMPARE(m_server.requests().size(), 0);
    }

    void busyChannelDropsTheSecondRequest()
    {
        m_server.setPathRule("/api/v4/wechatstate", QJsonObject{{"delay_ms", 300}});
        auto client = makeClient();
        QCOMPARE(client->V4GetLoginState("first", 1), 0);
        QCOMPARE(client->V4GetLoginState("second", 2), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        QTest::qWait(400);
        const auto answers = CallbackRecorder::instance().answers();
        QCOMPARE(answers.size(), size_t(1));
        QCOMPARE(answers[0].objectID, 1);
    }

    void refusedPortDeliversNoAnswerOnTheWorker()
    {
        curlhttp channel(nullptr, webapi::calltype::V4Logout, &CallbackRecorder::callback, 77);
        const std::string url = "https://127.0.0.1:" + std::to_string(closedPort()) + "/api/v4/signout";
        QVERIFY(channel.v4post(url.c_str(), "{}"));
        QVERIFY(!channel.v4post(url.c_str(), "{}")); // busy
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        const RecordedAnswer a = CallbackRecorder::instance().answers().front();
        QCOMPARE(a.response, std::string("{\"code\":-1}"));
        QCOMPARE(a.callType, webapi::calltype::V4Logout);
        QCOMPARE(a.objectID, 77);
        QVERIFY(a.thread != std::this_thread::get_id());
    }

    void silentServerIsCutOffAtItsTimeOut()
    {
        m_server.setPathRule("/api/v4/checktoken", QJsonObject{{"mode", "silent"}, {"hold_s", 20}});
        auto client = makeClient();
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client->V4CheckToken("a", "t", 1), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(1, 8000));
        QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(CallbackRecorder::instance().answers()[0].response, std::string("{\"code\":-1}"));
    }

    void untrustedCertificateIsRefused()
    {
        setConfig("webapi/ca_file", m_server.otherCaFile());
        auto client = makeClient();
        QCOMPARE(client->V4CheckToken("a", "t", 1), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        setConfig("webapi/ca_file", m_server.caFile());
        QCOMPARE(CallbackRecorder::instance().answers()[0].response, std::string("{\"code\":-1}"));
        QCOMPARE(m_server.requests().size(), 0); // the handshake failed before any request
    }

    void hostileAnswers_data()
    {
        QTest::addColumn<QJsonObject>("rule");
        QTest::addColumn<QByteArray>("expected"); // empty: compare by size
        QTest::addColumn<int>("size");
        QTest::newRow("zero bytes") << QJsonObject{{"body", ""}} << QByteArray("{\"code\":-1}") << 0;
        QTest::newRow("10 MB") << QJsonObject{{"size", 10 * 1024 * 1024}} << QByteArray() << 10 * 1024 * 1024;
        QTest::newRow("invalid UTF-8")
            << QJsonObject{{"body_hex", "7bc328ff22fe7d"}} << QByteArray::fromHex("7bc328ff22fe7d") << 0;
        QTest::newRow("NUL inside") << QJsonObject{{"body_hex", "7b7d00414243"}} << QByteArray("{}")
                                    << 0; // a chunk ends at its NUL
        QTest::newRow("chunks") << QJsonObject{{"mode", "chunks"},
                                               {"body", "{\"code\":10000,\"long\":\"abcdefghijklmnop\"}"}}
                                << QByteArray("{\"code\":10000,\"long\":\"abcdefghijklmnop\"}") << 0;
        QTest::newRow("closed mid-answer")
            << QJsonObject{{"mode", "close"}, {"body", "{\"code\":10000,\"x\":1}"}}
            << QByteArray("{\"code\":-1}") << 0;
        QTest::newRow("garbage") << QJsonObject{{"mode", "garbage"}} << QByteArray("{\"code\":-1}") << 0;
        QTest::newRow("error status")
            << QJsonObject{{"status", 500}, {"body", "oops"}} << QByteArray("oops") << 0;
    }
    void hostileAnswers()
    {
        QFETCH(QJsonObject, rule);
        QFETCH(QByteArray, expected);
        QFETCH(int, size);
        m_server.setPathRule("/api/v4/memprofile", rule);
        // Ten megabytes through the test server's TLS can outlast the suite's short request
        // time-out on a loaded machine (and under the sanitizers); the row is about the size.
        const QString suiteTimeout = m_config.value("webapi/request_timeout_ms");
        if (size > 0)
            setConfig("webapi/request_timeout_ms", "30000");
        auto restoreTimeout =
            qScopeGuard([this, suiteTimeout]() { setConfig("webapi/request_timeout_ms", suiteTimeout); });
        auto client = makeClient();
        QCOMPARE(client->V4GetUserInfo("a", 0, "t", 1), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(1, 40000));
        const std::string response = CallbackRecorder::instance().answers()[0].response;
        if (expected.isEmpty())
            QCOMPARE(int(response.size()), size);
        else
            QCOMPARE(QByteArray::fromStdString(response), expected);
    }

    // Teardown with requests in flight and threads possibly not yet running.
    void constructRequestDestroyLoop()
    {
        m_server.setDefaultRule(QJsonObject{{"delay_ms", 30}});
        for (int i = 0; i < 20; ++i) {
            auto client = makeClient();
            client->V4CheckToken("a", "t", i);
            client->V4GetLoginState("tag", i);
            if (i % 2)
                QTest::qWait(40);
        }
        {
            curlhttp channel(nullptr, webapi::calltype::Login, WebInterfaceCallback(nullptr), 0);
        } // destroyed before its thread ran
        curlhttp silent(nullptr, webapi::calltype::V4GetServerTime, WebInterfaceCallback(nullptr), 0);
        QVERIFY(silent.getservertime(
            ("https://" + m_server.host().toStdString() + "/api/v4/getutctime").c_str()));
        QVERIFY(tvxtest::waitUntil([&] { return !silent.busy(); }, 5000)); // completes without a callback
    }

    // A result callback that throws, with a standard exception or anything else: the channel
    // logs it and serves the next request, and the process lives on.
    void throwingCallbackLeavesTheChannelServing()
    {
        static std::atomic<int> calls{0};
        static std::mutex linesMutex;
        static std::vector<std::string> lines;
        calls = 0;
        lines.clear();
        webapi::setDebugSink([](const char *line) {
            std::lock_guard<std::mutex> lock(linesMutex);
            lines.emplace_back(line);
        });
        auto restoreSink = qScopeGuard([] { webapi::setDebugSink(nullptr); });
        WebInterface client(nullptr, "dev1", "", "Tavrixo", "1.0.0.0", "zh-cn", "101", "c", "windows");
        client.connect([](void *, int, int, std::string) {
            const int n = ++calls;
            if (n == 1)
                throw std::runtime_error("first answer");
            if (n == 2)
                throw 42;
        });
        const auto posts = [this] {
            int n = 0;
            for (const QJsonObject &r : m_server.requests())
                n += r["method"].toString() == "POST" ? 1 : 0;
            return n;
        };
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(client.V4CheckToken("a", "t", i), 0);
            QVERIFY(tvxtest::waitUntil([&] { return calls.load() == i; }));
            QTest::qWait(100); // the channel is idle again once the callback has returned
        }
        QCOMPARE(posts(), 3);
        std::lock_guard<std::mutex> lock(linesMutex);
        const auto has = [](const std::string &text) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const std::string &l) { return l.find(text) != std::string::npos; });
        };
        QVERIFY(has("[WEBINTERFACE][run] CallBack Type:44 threw: first answer"));
        QVERIFY(has("[WEBINTERFACE][run] CallBack Type:44 threw\n"));
    }

    // With the detailed log on, the request bodies, addresses and answers are written, but no
    // token and no phone number appears whole in them.
    void detailedLogHidesTokensAndPhoneNumbers()
    {
        static std::mutex linesMutex;
        static std::string written;
        written.clear();
        webapi::setDebugSink([](const char *line) {
            std::lock_guard<std::mutex> lock(linesMutex);
            written += line;
        });
        m_server.clearRules(QJsonObject{{"account", QJsonObject()}}); // answers carry the account
        auto client = makeClient();
        client->SetDetailedLogOut(true);
        auto restore = qScopeGuard([&] {
            client->SetDetailedLogOut(false);
            webapi::setDebugSink(nullptr);
        });
        static const char slice[] = "slice";
        QCOMPARE(client->V4PhoneCodeLogin("86-13812345678", 1, "1234", "", 1), 0);
        QCOMPARE(client->VirtualactBind("86-13912345678", "tok-secret-1", "1234", "", 2), 0);
        QCOMPARE(client->V4CheckToken("86-13812345678", "tok-1", 3), 0);
        QCOMPARE(client->V4VoiceToTextUploadFile("T1", "tt-secret-2", "5", 0, 1, 0, slice, 5, 4), 0);
        client->SetInterfaceVer(1); // the unversioned form post
        QCOMPARE(client->GetUserInfo("13712345678", "lk-secret-3", 5), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(5));
        std::lock_guard<std::mutex> lock(linesMutex);
        const QString text = QString::fromStdString(written);
        // The lines themselves are all there: request, address, body and answer.
        QVERIFY2(text.contains("[WEBINTERFACE][v4post] pszData: {"), qPrintable(text));
        QVERIFY2(text.contains("[WEBINTERFACE][v4post_data] pszUrl: https://"), qPrintable(text));
        QVERIFY2(text.contains("[WEBINTERFACE][run] CallBack Data:{"), qPrintable(text));
        QVERIFY2(text.contains("\"username\""), qPrintable(text));
        QVERIFY2(text.contains("[WEBINTERFACE][post] pszData: phonenumber="), qPrintable(text));
        for (const char *secret : {"13812345678", "13912345678", "13712345678", "tok-secret-1", "tok-1",
                                   "tt-secret-2", "lk-secret-3"})
            QVERIFY2(!text.contains(QLatin1String(secret)), qPrintable(secret + ("\n" + text)));
    }

    // An answer of megabytes in the detailed log: its line keeps the bound, says how long the
    // answer was, and a token that the cut ends is masked whole.
    void detailedLogCutsLongAnswers()
    {
        static std::mutex linesMutex;
        static std::vector<std::string> lines;
        lines.clear();
        webapi::setDebugSink([](const char *line) {
            std::lock_guard<std::mutex> lock(linesMutex);
            lines.emplace_back(line);
        });
        const QByteArray head =
            "{\"code\":10000,\"message\":\"" + QByteArray(3990, 'm') + "\",\"usertoken\":\"";
        const QByteArray answer = head + "tok-secret-4711" + QByteArray(3 << 20, 'z') + "\"}";
        m_server.setPathRule("/api/v4/checktoken",
                             QJsonObject{{"body_hex", QString::fromLatin1(answer.toHex())}});
        auto client = makeClient();
        client->SetDetailedLogOut(true);
        auto restore = qScopeGuard([&] {
            client->SetDetailedLogOut(false);
            webapi::setDebugSink(nullptr);
        });
        QCOMPARE(client->V4CheckToken("86-13812345678", "tok-1", 8), 0);
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        std::lock_guard<std::mutex> lock(linesMutex);
        bool answerLine = false;
        for (const std::string &line : lines) {
            QVERIFY2(line.size() <= size_t(app::kLogExcerptBytes) + 64, line.substr(0, 200).c_str());
            QVERIFY2(line.find("tok-") == std::string::npos, line.c_str());
            if (line.find("CallBack Data:") != std::string::npos) {
                answerLine = true;
                // The whole length counts the line's prefix, less its line feed.
                const QString whole = QString::number(answer.size() + line.find("{\"code\"")) + " bytes)\n";
                const QString shown = QString::fromStdString(line);
                QVERIFY2(shown.endsWith("\"usertoken\":\"***\u2026 (" + whole), qPrintable(shown.right(100)));
            }
        }
        QVERIFY(answerLine);
    }

    void codeMessages_data()
    {
        QTest::addColumn<int>("callType");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("30/10061") << 30 << 10061 << QString("发送过于频繁");
        QTest::newRow("33/10061") << 33 << 10061 << QString("缺少参数");
        QTest::newRow("33/10060") << 33 << 10060 << QString("登录失败");
        QTest::newRow("45/19004") << 45 << 19004 << QString("错误的图形验证码或短信校验码");
        QTest::newRow("30/0") << 30 << 0 << QString("缺少参数");
        QTest::newRow("any/18012") << 7 << 18012 << QString("无效的图形验证码");
    }
    void codeMessages()
    {
        QFETCH(int, callType);
        QFETCH(int, code);
        QFETCH(QString, text);
        auto client = makeClient();
        QCOMPARE(QString::fromStdString(client->CodeMessage(callType, code)), text);
    }

    void derivedAccountType_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<int>("type");
        QTest::newRow("area-number") << "86-13800138000" << 1;
        QTest::newRow("no dash") << "13800138000" << 0;
        QTest::newRow("leading dash") << "-13800138000" << 0;
        QTest::newRow("18 bytes") << "86-138001380001234" << 0;
        QTest::newRow("at sign") << "86-1@x" << 0;
    }
    void derivedAccountType()
    {
        QFETCH(QString, account);
        QFETCH(int, type);
        QCOMPARE(WebInterface::deriveAccountType(account.toStdString()), type);
    }

    void serverTimeOffset()
    {
        WebInterface::setClockForTesting(&fixedClock);
        auto client = makeClient();
        const struct
        {
            uint32_t server;
            int32_t offset;
        } rows[] = {{1700000000u + 119, 0}, {1700000000u + 120, 120}, {1700000000u - 1, -1}};
        for (const auto &row : rows) {
            client->V4SyncServerTime(row.server);
            QCOMPARE(client->timeOffsetSeconds(), row.offset);
        }
    }
};

QTEST_GUILESS_MAIN(TestWebApi)
#include "tst_webapi.moc"
