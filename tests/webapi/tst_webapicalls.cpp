// The client's further request families against the loopback server: every entry point at
// interface versions 1 and 4, the two-stage statistics GET, the download, the wide interface.
#include "CallbackRecorder.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "webapi/DownloadFile.h"
#include "webapi/WebInterface.h"
#include "webapi/WideText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <QtTest>

#include <functional>
#include <memory>

using tvxtest::WebApiTestServer;

namespace {

struct WideAnswer
{
    int callType;
    int objectID;
    std::wstring response;
};
std::mutex g_wideMutex;
std::vector<WideAnswer> g_wide;

void wideCallback(void *, int callType, int objectID, std::wstring response)
{
    std::lock_guard<std::mutex> lock(g_wideMutex);
    g_wide.push_back({callType, objectID, std::move(response)});
}

std::vector<WideAnswer> wideAnswers()
{
    std::lock_guard<std::mutex> lock(g_wideMutex);
    return g_wide;
}

std::unique_ptr<WebInterface> makeClient()
{
    auto client =
        std::make_unique<WebInterface>(nullptr, "dev1", "www.kestrane.example", "Tavrixo", "1.0.0.0", "zh-cn",
                                       "101", "00112233445566778899aabbccddeeff", "windows");
    client->connect(&CallbackRecorder::callback);
    return client;
}

bool answered(int objectID, int timeoutMs = 8000)
{
    return tvxtest::waitUntil(
        [&] {
            for (const RecordedAnswer &a : CallbackRecorder::instance().answers()) {
                if (a.objectID == objectID)
                    return true;
            }
            return false;
        },
        timeoutMs);
}

// One entry point: what it is called with, and where it must land at each interface version
// (an empty path: nothing is sent at that version).
struct EntryPoint
{
    const char *name;
    const char *pathV1;
    const char *pathV4;
    std::function<int(WebInterface &, int objectID)> send;
};

const char kMeta[] = "a&b=c d"; // must stay one value in a form body

std::vector<EntryPoint> entryPoints()
{
    return {
        {"V4Register", "/api/v4/register", "/api/v4/register",
         [](WebInterface &w, int id) { return w.V4Register("86-138", "pw", "1234", "", id); }},
        {"V4Login", "/api/v4/login", "/api/v4/login",
         [](WebInterface &w, int id) { return w.V4Login("86-138", "pw", id); }},
        {"V4ResetPassword", "/api/v4/forgetpwd", "/api/v4/forgetpwd",
         [](WebInterface &w, int id) { return w.V4ResetPassword("86-138", "pw", "1234", "ab", id); }},
        {"V4EditPassword", "/api/v4/changepwd", "/api/v4/changepwd",
         [](WebInterface &w, int id) { return w.V4EditPassword("86-138", "tok", "old", "new", id); }},
        {"V4SetPassword", "/api/v4/setpwd", "/api/v4/setpwd",
         [](WebInterface &w, int id) { return w.V4SetPassword("86-138", "tok", "pw", id); }},
        {"V4ChangeNickname", "/api/v4/changenick", "/api/v4/changenick",
         [](WebInterface &w, int id) { return w.V4ChangeNickname("86-138", "tok", "小明", id); }},
        {"V4BindPhone", "/api/v4/bindaccount", "/api/v4/bindaccount",
         [](WebInterface &w, int id) { return w.V4BindPhone("a@b", "tok", "86-139", "1234", "", -1, id); }},
        {"V4WeChatLoginFZ", "/api/v4/wechatguid", "/api/v4/wechatguid",
         [](WebInterface &w, int id) { return w.V4WeChatLoginFZ(id); }},
        {"SafeRegister", "/api/v4/safregister", "/api/v4/safregister",
         [](WebInterface &w, int id) { return w.SafeRegister("86-138", "pw", "1234", id); }},
        {"SafeBindPhone", "/api/v4/safbindaccount", "/api/v4/safbindaccount",
         [](WebInterface &w, int id) { return w.SafeBindPhone("86-13800138000", "tok", "b", "1", "", id); }},
        {"SafeResetPassword", "/api/v4/safforgetpwd", "/api/v4/safforgetpwd",
         [](WebInterface &w, int id) { return w.SafeResetPassword("86-138", "pw", "1234", id); }},
        {"V4_LenvoeLogin", "/api/v4/loginlenovo", "/api/v4/loginlenovo",
         [](WebInterface &w, int id) { return w.V4_LenvoeLogin("acc-tok", id); }},
        {"Login", "/api/v2/login", "/api/v4/login",
         [](WebInterface &w, int id) { return w.Login(kMeta, "", id); }},
        {"WeChatLogin", "/api/weixinguid", "/api/v4/wechatguid",
         [](WebInterface &w, int id) { return w.WeChatLogin(id); }},
        {"QQlogin", "/api/weixinguid", "/api/v4/wechatguid",
         [](WebInterface &w, int id) { return w.QQlogin(id); }},
        {"GetLoginState", "/api/weixinreceipt", "/api/v4/wechatstate",
         [](WebInterface &w, int id) { return w.GetLoginState("g-1", id); }},
        {"PhoneCodeLogin", "/api/getphoneloginin", "/api/v4/loginquick",
         [](WebInterface &w, int id) { return w.PhoneCodeLogin("86-138", "1234", "ab", id); }},
        {"Register", "/api/v2/register", "/api/v4/register",
         [](WebInterface &w, int id) { return w.Register("86-138", "pw", "1234", "ab", id); }},
        {"ResetPassword", "/api/v2/forgetpwd", "/api/v4/forgetpwd",
         [](WebInterface &w, int id) { return w.ResetPassword("86-138", "pw", "1234", "ab", id); }},
        {"GetUserInfo", "/api/getprofile", "/api/v4/memprofile",
         [](WebInterface &w, int id) { return w.GetUserInfo("86-138", "key", id); }},
        {"GetPhoneCheckCode", "/api/v2/checkcode", "/api/v4/smsverify",
         [](WebInterface &w, int id) { return w.GetPhoneCheckCode("a@b", "ab", "1", "86-139", "tok", id); }},
        {"GetImgCheckCode", "/api/imageverify", "/api/v4/imgverify",
         [](WebInterface &w, int id) { return w.GetImgCheckCode(120, 40, 4, 18, "png", id); }},
        {"CheckAccount", "/api/v2/getpwd", "/api/v2/getpwd",
         [](WebInterface &w, int id) { return w.CheckAccount("86-138", "1234", "ab", id); }},
        {"EditPassword", "/api/v2/setpwd", "/api/v4/changepwd",
         [](WebInterface &w, int id) { return w.EditPassword("86-138", "old", "new", "key", "1", id); }},
        {"SetPassword", "", "/api/v4/setpwd",
         [](WebInterface &w, int id) { return w.SetPassword("86-138", "tok", "pw", id); }},
        {"BindPhone", "/api/v4/bindaccount", "/api/v4/bindaccount",
         [](WebInterface &w, int id) { return w.BindPhone("86-138", "tok", "86-139", "1234", "", id); }},
        {"V4VoiceToTextUploadTask", "/api/v4/uploadpar", "/api/v4/uploadpar",
         [](WebInterface &w, int id) {
             return w.V4VoiceToTextUploadTask("a.mp4", "zh", "en", "", "tok", id);
         }},
        {"V4VoiceConvertTextQueryStatus", "/api/v4/taskstate", "/api/v4/taskstate",
         [](WebInterface &w, int id) {
             return w.V4VoiceConvertTextQueryStatus("tag 1", "86-138", "tok", id);
         }},
        {"V4VoiceConvertTextTaskDown", "/api/v4/taskdown", "/api/v4/taskdown",
         [](WebInterface &w, int id) { return w.V4VoiceConvertTextTaskDown("tag", "", "", id); }},
        {"V4VoiceToTextUploadFile", "/api/v4/uploadfile", "/api/v4/uploadfile",
         [](WebInterface &w, int id) {
             static const char data[] = {'a', '\0', 'b', '\0', 'c'};
             return w.V4VoiceToTextUploadFile("t&g", "tok", "1700000000", 0, 3, 0, data, int(sizeof data),
                                              id);
         }},
        {"Update", "/ver1/checkUpdate", "/ver1/checkUpdate",
         [](WebInterface &w, int id) { return w.Update(id); }},
    };
}

QJsonObject lastNonHead(const QList<QJsonObject> &requests)
{
    for (int i = requests.size() - 1; i >= 0; --i) {
        if (requests[i]["method"].toString() != "HEAD")
            return requests[i];
    }
    return {};
}

} // namespace

class TestWebApiCalls : public QObject
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
        m_config = {{"webapi/app_host", m_server.host()},    {"webapi/stats_host", m_server.host()},
                    {"webapi/update_host", m_server.host()}, {"webapi/ca_file", m_server.caFile()},
                    {"webapi/request_timeout_ms", "3000"},   {"webapi/server_time_timeout_ms", "3000"}};
        tvxtest::writeConfigOverride(m_config);
    }

    void init()
    {
        CallbackRecorder::instance().clear();
        m_server.clearRules();
        m_server.clearRequests();
    }

    // Every entry point at versions 1 and 4: the server checks method, path, content type and
    // signature of each request it receives.
    void everyEntryPoint_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("row");
        const auto rows = entryPoints();
        for (int version : {1, 4}) {
            for (int i = 0; i < int(rows.size()); ++i)
                QTest::addRow("v%d %s", version, rows[size_t(i)].name) << version << i;
        }
    }
    void everyEntryPoint()
    {
        QFETCH(int, version);
        QFETCH(int, row);
        const EntryPoint entry = entryPoints()[size_t(row)];
        auto client = makeClient();
        client->SetInterfaceVer(version);
        const QString path = QString::fromLatin1(version == 4 ? entry.pathV4 : entry.pathV1);
        const int objectID = 100 + row;
        if (path.isEmpty()) {
            QCOMPARE(entry.send(*client, objectID), 1); // nothing sent, and the caller is told so
            QTest::qWait(150);
            QVERIFY(lastNonHead(m_server.requests()).isEmpty());
            return;
        }
        QCOMPARE(entry.send(*client, objectID), 0);
        QVERIFY(answered(objectID));
        const QJsonObject r = lastNonHead(m_server.requests());
        QCOMPARE(r["path"].toString(), path);
        QCOMPARE(r["method"].toString(), QString("POST"));
        const QString type = r["headers"].toObject()["content-type"].toString();
        const QJsonObject json = QJsonDocument::fromJson(r["body"].toString().toUtf8()).object();
        if (path.startsWith("/api/v4/uploadfile")) {
            QCOMPARE(type, QString("application/octet-stream"));
            QCOMPARE(r["body_hex"].toString(), QString("6100620063")); // zero bytes are data
            const QUrlQuery query(r["query"].toString());
            QCOMPARE(query.queryItemValue("tasktag", QUrl::FullyDecoded), QString("t&g"));
            QVERIFY(r["query"].toString().endsWith("&fileindex=0&chunks=3&chunk=0"));
            QVERIFY(r["tls"].toBool());
        } else if (path == "/ver1/checkUpdate") {
            QVERIFY(type.startsWith("application/x-www-form-urlencoded"));
            QCOMPARE(json.keys().size(), 7);
            QCOMPARE(json["machine_code"].toString(), QString("dev1"));
        } else if (path.startsWith("/api/v4/")) {
            QCOMPARE(type, QString("application/json"));
            QVERIFY2(r["sign_ok"].toBool(), qPrintable(r["body"].toString()));
            QVERIFY(r["tls"].toBool());
        } else {
            QVERIFY(type.startsWith("application/x-www-form-urlencoded"));
            QVERIFY(r["tls"].toBool());
            const QUrlQuery form(r["body"].toString());
            QVERIFY(form.hasQueryItem("limituse") || path == "/api/weixinreceipt");
        }
    }

    // The exact bodies the unversioned forms and the reduced and voice members must have.
    void exactBodies()
    {
        auto client = makeClient();
        struct Case
        {
            std::function<int(WebInterface &)> send;
            int callType;
            QByteArray body; // a prefix where the time stamp and digest follow
        } cases[] = {
            {[](WebInterface &w) { return w.Login(kMeta, "", 1); }, 1,
             "account=a%26b%3Dc%20d&password=&language=zh-cn&limituse=1"},
            {[](WebInterface &w) { return w.GetLoginState("g 1", 2); }, 4, "guid=g%201"},
            {[](WebInterface &w) { return w.GetImgCheckCode(1, 2, 3, 4, "png", 3); }, 10,
             "uuid=dev1&width=1&height=2&length=3&fontsize=4&imagetype=png&language=zh-cn&limituse=1"},
            {[](WebInterface &w) { return w.V4_LenvoeLogin("t", 4); }, 72,
             "{\"accesstoken\":\"t\",\"deviceid\":\"dev1\",\"productid\":\"101\",\"softname\":\"Tavrixo\","
             "\"softversion\":\"1.0.0.0\",\"timestamp\":\""},
            {[](WebInterface &w) { return w.V4VoiceConvertTextQueryStatus("tag", "acc", "tok", 5); }, 68,
             "{\"account\":\"acc\",\"deviceid\":\"dev1\",\"ifshowtxt\":2,\"productid\":101,\"softname\":"
             "\"Tavrixo\","
             "\"softversion\":\"1.0.0.0\",\"tasktag\":\"tag\",\"usertoken\":\"tok\",\"timestamp\":"},
            {[](WebInterface &w) { return w.V4BindPhone("a", "t", "b", "s", "", -1, 6); }, 40,
             "{\"account\":\"a\",\"accounttype\":\"-1\","},
            {[](WebInterface &w) { return w.SafeBindPhone("86-13800138000", "t", "b", "s", "", 7); }, 56,
             "{\"account\":\"86-13800138000\",\"accounttype\":\"1\","},
            {[](WebInterface &w) { return w.SafeBindPhone("86-138001380000000", "t", "b", "s", "", 8); }, 56,
             "{\"account\":\"86-138001380000000\",\"accounttype\":\"0\","},
        };
        for (const Case &c : cases) {
            const size_t before = CallbackRecorder::instance().answers().size();
            QCOMPARE(c.send(*client), 0);
            QVERIFY2(QByteArray(client->bodyBuffer(c.callType)).startsWith(c.body),
                     client->bodyBuffer(c.callType));
            QVERIFY(CallbackRecorder::instance().waitFor(before + 1));
        }
        // The voice task's body carries no "parainfo" and writes the product id as a number.
        QCOMPARE(client->V4VoiceToTextUploadTask("f", "zh", "en", "", "tok", 9), 0);
        const QJsonObject task = QJsonDocument::fromJson(QByteArray(client->bodyBuffer(66))).object();
        QVERIFY(!task.contains("parainfo"));
        QVERIFY(task["productid"].isDouble());
        QCOMPARE(task["account"].toString(), QString(""));
        QCOMPARE(task["usertoken"].toString(), QString("tok"));
        QVERIFY(answered(9));
    }

    // A product id that is not a number would break the JSON of the voice bodies: refused.
    void voiceCallsRefuseANonNumericProductId()
    {
        WebInterface client(nullptr, "dev1", "", "Tavrixo", "1.0.0.0", "zh-cn", "101,\"x\":1", "c",
                            "windows");
        client.connect(&CallbackRecorder::callback);
        QCOMPARE(client.V4VoiceToTextUploadTask("f", "zh", "en", "", "tok", 1), 1);
        QCOMPARE(client.V4VoiceConvertTextTaskDown("tag", "", "", 2), 1);
        QTest::qWait(150);
        QVERIFY(lastNonHead(m_server.requests()).isEmpty());
    }

    // One event: the time answer first, then the event's own answer; the server checks the sign
    // line made from the time it sent and sees the ten header lines in order after it.
    void statisticsEventInTwoStages()
    {
        auto client = makeClient();
        client->V1APPHttpHead("Linux\r\nX-Injected: 1", "6.1", "1080", "1920", "setup.exe");
        client->V1APPLogin("sms", "1", "", 21);
        QVERIFY(CallbackRecorder::instance().waitFor(2));
        const auto answers = CallbackRecorder::instance().answers();
        QCOMPARE(answers[0].callType, 21);
        QCOMPARE(answers[0].objectID, 21);
        QVERIFY(QByteArray::fromStdString(answers[0].response).contains("\"time\""));
        QCOMPARE(answers[1].callType, 21);

        QList<QJsonObject> gets;
        for (const QJsonObject &r : m_server.requests()) {
            if (r["method"].toString() == "GET")
                gets << r;
        }
        QCOMPARE(gets.size(), 2);
        QCOMPARE(gets[0]["path"].toString(), QString("/ver1/getUnixTime"));
        QCOMPARE(gets[1]["path"].toString(),
                 QString("/ver1/AppLogin/loginMethod/sms/isSuccess/1/failReason/"));
        QCOMPARE(gets[1]["stats_sign_ok"].toBool(), true);
        QVERIFY(gets[1]["headers"].toObject()["sign"].toString().size() == 42); // digest and ten digits
        QStringList order;
        for (const QJsonValue &name : gets[1]["header_order"].toArray())
            order << name.toString();
        const QStringList expected = {"sign",          "distinct_id",     "os",
                                      "os_version",    "device_id",       "screen_height",
                                      "screen_width",  "mac_address",     "install_filename",
                                      "software_name", "software_version"};
        const int at = int(order.indexOf("sign"));
        QVERIFY(at >= 0);
        QCOMPARE(order.mid(at, expected.size()), expected);
        const QJsonObject headers = gets[1]["headers"].toObject();
        QCOMPARE(headers["os"].toString(), QString("LinuxX-Injected: 1"));
        QVERIFY(!headers.contains("x-injected"));
        QCOMPARE(headers["mac_address"].toString(), QString("dev1"));

        // The next signed request sends the description's system as deviceos (JSON-escaped there).
        QCOMPARE(client->V4Login("a", "b", 22), 0);
        QVERIFY(answered(22));
        const QJsonObject body =
            QJsonDocument::fromJson(lastNonHead(m_server.requests())["body"].toString().toUtf8()).object();
        QCOMPARE(body["deviceos"].toString(), QString("Linux\r\nX-Injected: 1"));
    }

    void statisticsSegmentsAndRefusals()
    {
        auto client = makeClient();
        client->V1APPHttpHead("Linux", "6.1", "1080", "1920", "setup.exe");
        // A segment cannot climb out of its path.
        client->V1APPOpenFile("1/../x y", 25);
        QVERIFY(CallbackRecorder::instance().waitFor(2));
        QCOMPARE(lastNonHead(m_server.requests())["path"].toString(),
                 QString("/ver1/AppOpenFile/isLogin/1%2F..%2Fx%20y"));
        // A header line longer than 255 characters: the event is not sent at all.
        m_server.clearRequests();
        client->V1APPHttpHead("Linux", std::string(300, 'v'), "1080", "1920", "setup.exe");
        client->V1APPStart(26);
        QTest::qWait(300);
        QVERIFY(lastNonHead(m_server.requests()).isEmpty());
        QCOMPARE(CallbackRecorder::instance().answers().size(), size_t(2));
    }

    void timeTextCut_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("timeText");
        QTest::newRow("22 characters") << QString(22, 'x') << "";
        QTest::newRow("no answer") << "{\"code\":-1}"
                                   << "";
        QTest::newRow("30 characters") << "abcdefghijklmnopqrstuvwxyz0123"
                                       << "stuvwxyz01";
        QTest::newRow("time answer") << "{\"code\":10000,\"time\":\"1700000000\"}"
                                     << "1700000000";
    }
    void timeTextCut()
    {
        QFETCH(QString, answer);
        QFETCH(QString, timeText);
        QCOMPARE(QString::fromStdString(curlhttp::statsTimeText(answer.toStdString())), timeText);
    }

    // The download follows a redirect into a file that appears whole, or not at all.
    void downloadIntoAFile_data()
    {
        QTest::addColumn<QJsonObject>("rule");
        QTest::addColumn<bool>("otherCa");
        QTest::addColumn<bool>("arrives");
        QTest::newRow("whole") << QJsonObject{{"size", 300000}} << false << true;
        QTest::newRow("cut mid-body") << QJsonObject{{"size", 300000}, {"mode", "close"}} << false << false;
        QTest::newRow("error status") << QJsonObject{{"status", 404}, {"body", "missing"}} << false << false;
        QTest::newRow("unverified certificate") << QJsonObject{{"size", 300000}} << true << false;
    }
    void downloadIntoAFile()
    {
        QFETCH(QJsonObject, rule);
        QFETCH(bool, otherCa);
        QFETCH(bool, arrives);
        const QString url = "https://" + m_server.host();
        m_server.setPathRule("/dl/start",
                             QJsonObject{{"status", 302},
                                         {"body", ""},
                                         {"headers", QJsonObject{{"Location", url + "/dl/file"}}}});
        m_server.setPathRule("/dl/file", rule);
        if (otherCa)
            setConfig("webapi/ca_file", m_server.otherCaFile());
        const QString target = tvxtest::scratchPath("download.bin");
        QFile::remove(target);
        auto client = makeClient();
        {
            webapi::DownloadFile file(target.toStdString());
            QCOMPARE(client->downfile((url + "/dl/start").toStdString(), &webapi::DownloadFile::write, &file,
                                      31, &webapi::DownloadFile::finished),
                     0);
            QVERIFY(answered(31));
            QCOMPARE(file.succeeded(), arrives);
        }
        setConfig("webapi/ca_file", m_server.caFile());
        // The callback reports "no answer" either way; only the file tells.
        QCOMPARE(CallbackRecorder::instance().answers()[0].response, std::string("{\"code\":-1}"));
        QCOMPARE(QFileInfo(target).exists(), arrives);
        QVERIFY(!QFileInfo::exists(target + ".part"));
        if (arrives)
            QCOMPARE(QFileInfo(target).size(), qint64(300000));
        if (otherCa)
            QVERIFY(lastNonHead(m_server.requests()).isEmpty());
    }

    // A client made and driven with wide text only: signed round trips in Chinese, the wide
    // no-answer text, and the families that need the narrow callback refuse.
    void wideOnlyClient()
    {
        WebInterface client(nullptr, L"dev1", L"", L"影音", L"1.0.0.0", L"zh-cn", L"101", L"c", L"windows");
        client.connectW(&wideCallback);
        QCOMPARE(client.V4LoginW(L"张三", L"密码", 41), 0);
        QCOMPARE(client.V4ChangeNicknameW(L"张三", L"tok", L"小明", 42), 0);
        QVERIFY(tvxtest::waitUntil([] { return wideAnswers().size() >= 2; }, 8000));
        for (const WideAnswer &a : wideAnswers())
            QVERIFY(a.response.find(L"\"code\"") != std::wstring::npos);
        int signedOk = 0;
        for (const QJsonObject &r : m_server.requests()) {
            if (r["path"].toString() == "/api/v4/changenick") {
                const QJsonObject body = QJsonDocument::fromJson(r["body"].toString().toUtf8()).object();
                QCOMPARE(body["nickname"].toString(), QString("小明"));
                QCOMPARE(body["softname"].toString(), QString("影音"));
            }
            signedOk += r["sign_ok"].toBool() ? 1 : 0;
        }
        QCOMPARE(signedOk, 2);

        m_server.setPathRule("/api/v4/checktoken", QJsonObject{{"body", ""}});
        QCOMPARE(client.V4CheckTokenW(L"张三", L"tok", 43), 0);
        QVERIFY(tvxtest::waitUntil([] { return wideAnswers().size() >= 3; }, 8000));
        QCOMPARE(wideAnswers()[2].response, std::wstring(L"{\"code\":0}"));

        QCOMPARE(client.LoginW(L"张三", L"pw", 44), 1);
        QCOMPARE(client.Update(45), 1);
        QCOMPARE(client.downfile("https://" + m_server.host().toStdString() + "/x",
                                 &webapi::DownloadFile::write, nullptr, 46),
                 1);
        QCOMPARE(client.BindPhone("86-138", "tok", "86-139", "1", "", 47), 0); // always a signed call
        QCOMPARE(client.CodeMessageW(30, 10061), std::wstring(L"发送过于频繁"));
    }

    void textConversions_data()
    {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<QString>("wide"); // as UTF-16 for the comparison
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("chinese") << QByteArray("发送") << QString("发送");
        QTest::newRow("outside the BMP")
            << QByteArray("\xF0\x9F\x98\x80") << QString::fromUcs4(U"\U0001F600", 1);
        QTest::newRow("zero inside") << QByteArray("ab\0cd", 5) << QString("ab");
        QTest::newRow("invalid byte") << QByteArray("a\xFFz") << QString("a\uFFFDz");
        QTest::newRow("cut sequence") << QByteArray("a\xE5\x8F") << QString("a\uFFFD");
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << QString("\uFFFD");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QString("\uFFFD\uFFFD");
    }
    void textConversions()
    {
        QFETCH(QByteArray, utf8);
        QFETCH(QString, wide);
        const std::wstring w = webapi::utf8ToWide(utf8.toStdString());
        QCOMPARE(QString::fromStdWString(w), wide);
        // And back: what came out of the decoder encodes to valid UTF-8 of the same text.
        QCOMPARE(QString::fromStdString(webapi::wideToUtf8(w)), wide);
        QCOMPARE(webapi::wideToUtf8(std::wstring(L"a\0b", 3)), std::string("a"));
        QCOMPARE(webapi::wideToUtf8(std::wstring(1, wchar_t(0xD800))), std::string("\xEF\xBF\xBD"));
    }

    // Octet-stream posts send exactly the bytes given, none for a length of 0; a second request on
    // a busy channel is dropped.
    void dataPostsAndBusyChannel()
    {
        m_server.setPathRule("/raw", QJsonObject{{"delay_ms", 200}});
        curlhttp channel(nullptr, webapi::calltype::V4VoiceToTextUploadFile, &CallbackRecorder::callback, 1);
        const std::string url = "https://" + m_server.host().toStdString() + "/raw";
        QVERIFY(channel.v4post_data(url.c_str(), "", 0));
        QVERIFY(!channel.post(url.c_str(), "x=1"));
        QVERIFY(CallbackRecorder::instance().waitFor(1));
        QTest::qWait(100);
        QCOMPARE(CallbackRecorder::instance().answers().size(), size_t(1));
        const QJsonObject r = lastNonHead(m_server.requests());
        QCOMPARE(r["headers"].toObject()["content-type"].toString(), QString("application/octet-stream"));
        QCOMPARE(r["body_hex"].toString(), QString());
    }
};

QTEST_GUILESS_MAIN(TestWebApiCalls)
#include "tst_webapicalls.moc"
