// Cloud conversion client against its own TLS loopback server: signature, addresses, headers,
// device id, transports and their failures, validation, slicing and the task operations.
#include "CloudTestServer.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "cloud/FileProcessService.h"
#include "user_pay/UUIDProvider.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

using tvxtest::CloudTestServer;
using user_pay::CreateConvertTaskRequest;
using user_pay::FileProcessService;
using user_pay::UserPayResult;

namespace {
const char kCredits[] = "00112233445566778899aabbccddeeff";
const char kProductInfo[] =
    "5D2A9C7E1B4F8036A2C5E9D17B3F6A084C1E7D2B9A5F3C60E8B4D1A7C2F95E3B6D0A8C4E1F7B2D95";
const char kFixedDeviceId[] = "0123456789abcdef0123456789abcdef";
const char kChunk[] = "/api/v4/uploadpointfile";
const char kPoint[] = "/api/v4/uploadpointpar";
const char kMerge[] = "/api/v4/uploadpointmerge";

QString g_uuidText;
QString uuidFromTest()
{
    return g_uuidText;
}

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

// Bytes that differ from slice to slice and within one, so a misplaced slice shows.
QString makeFile(const QString &name, qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131 + i / 1024 * 7 + 3) % 251);
    return tvxtest::writeFile(tvxtest::scratchPath("files/" + name), bytes);
}

QString md5Of(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString invalidJsonText(const QByteArray &body)
{
    QJsonParseError error;
    QJsonDocument::fromJson(body, &error);
    return "Invalid JSON response: " + error.errorString();
}
} // namespace

class TestCloudService : public QObject
{
    Q_OBJECT
    CloudTestServer m_server;
    QMap<QString, QString> m_config;
    std::unique_ptr<FileProcessService> m_service;

    FileProcessService &service() { return *m_service; }

    void setConfig(const QString &key, const QString &value)
    {
        m_config[key] = value;
        tvxtest::writeConfigOverride(m_config);
    }

    CreateConvertTaskRequest createRequest(const QString &file, int sliceSizeK = 2048)
    {
        CreateConvertTaskRequest r;
        r.filePath = file;
        r.taskType = "voice2text";
        r.outExt = "txt";
        r.limitSizeK = 512000;
        r.sliceSizeK = sliceSizeK;
        r.requestTimeoutMs = 5000;
        return r;
    }

    // Every request the server saw carried the right headers and, where signed, a good
    // signature over a well-formed payload.
    void verifyCleanTraffic()
    {
        for (const QJsonObject &entry : m_server.requests()) {
            QVERIFY2(entry.value("problems").toArray().isEmpty(),
                     qPrintable(QJsonDocument(entry).toJson(QJsonDocument::Compact)));
        }
    }

    QJsonObject sentJson(const QString &path)
    {
        const QList<QJsonObject> seen = m_server.requests(path);
        return seen.isEmpty() ? QJsonObject() : seen.last().value("json").toObject();
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(m_server.start());
        m_config = {{"cloud/host", m_server.host()},
                    {"webapi/app_host", "account.invalid"},
                    {"webapi/ca_file", m_server.caFile()},
                    {"webapi/product_id", "101"},
                    {"webapi/credits", kCredits}};
        tvxtest::writeConfigOverride(m_config);
        m_server.setExpectations(QJsonObject{{"x-product", "101"},
                                             {"x-version", "1.0.0.0"},
                                             {"x-credits", kCredits},
                                             {"productinfo", kProductInfo}});
    }

    void init()
    {
        m_server.reset();
        m_server.clearRequests();
        g_uuidText = kFixedDeviceId;
        FileProcessService::setUuidSourceForTesting(&uuidFromTest);
        m_service = std::make_unique<FileProcessService>();
        m_service->initialize();
    }

    void cleanupTestCase() { FileProcessService::setUuidSourceForTesting(nullptr); }

    // ---- signature ----

    // Sign strings and digests worked out by hand (digests with md5sum); the server's own
    // rules are checked against the same table before the client's signatures are trusted to it.
    void signatureGolden_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<QString>("signString");
        QTest::addColumn<QString>("digest");
        const QString salt = "kQwRt20190311ZmXaP";
        QTest::newRow("empty object signs the salt alone")
            << QJsonObject() << salt << "afb089bb9459ec83a8f266a5e32226c8";
        QTest::newRow("keys in order")
            << QJsonObject{{"b", "2"}, {"a", "1"}} << "a=1&b=2" + salt << "d4151803c9482686e7f1b373017823c2";
        QTest::newRow("types, blanks, null and datasign in any case")
            << QJsonObject{{"tasktype", "voice2text"},
                           {"slicesize", 2048},
                           {"ifshow", true},
                           {"flag", false},
                           {"rate", 0.1},
                           {"blank", "  "},
                           {"DataSign", "x"},
                           {"datasign", "y"},
                           {"nul", QJsonValue::Null},
                           {"convertparm", QJsonObject{{"fanyi_from", "en"}}},
                           {"arr", QJsonArray{1, "a"}}}
            << "arr=[1,\"a\"]&convertparm={\"fanyi_from\":\"en\"}&flag=false&ifshow=true&rate=0.1&"
               "slicesize=2048&tasktype=voice2text" +
                   salt
            << "288971e8df343e02e4d316837a26c02a";
        QTest::newRow("numbers, exponents, trimmed text, upper-case key first")
            << QJsonObject{{"timestamp", 1700000000},
                           {"half", 0.5},
                           {"big", 1e20},
                           {"tiny", 1e-7},
                           {"name", QString::fromUtf8(" Tavrixo 视频 ")},
                           {"Zed", "upper"}}
            << QString::fromUtf8(
                   "Zed=upper&big=1e+20&half=0.5&name=Tavrixo 视频&timestamp=1700000000&tiny=1e-07") +
                   salt
            << "82c97f674a0b922e4335b45fd0a70c72";
        QTest::newRow("order of UTF-16 code units, not code points")
            << QJsonObject{{QString::fromUtf8("Ａ"), "x"}, {QString::fromUtf8("😀"), "y"}}
            << QString::fromUtf8("😀=y&Ａ=x") + salt << "f7389bea4a643a5b979aa12ec9fb5517";
    }
    void signatureGolden()
    {
        QFETCH(QJsonObject, object);
        QFETCH(QString, signString);
        QFETCH(QString, digest);
        const auto offline = m_server.signOffline(QJsonArray{object});
        QCOMPARE(offline.size(), 1);
        QCOMPARE(offline.first().first, signString);
        QCOMPARE(offline.first().second, digest);
        QCOMPARE(service().signString(object), signString);
        QCOMPARE(service().generateDataSign(object), digest);
    }

    void signValueText_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("true") << QJsonValue(true) << "true";
        QTest::newRow("false") << QJsonValue(false) << "false";
        QTest::newRow("2048") << QJsonValue(2048) << "2048";
        QTest::newRow("ten-digit time stamp") << QJsonValue(double(1700000000)) << "1700000000";
        QTest::newRow("0.1") << QJsonValue(0.1) << "0.1";
        QTest::newRow("fifteen digits") << QJsonValue(1.0 / 3) << "0.333333333333333";
        QTest::newRow("negative") << QJsonValue(-12.5) << "-12.5";
        QTest::newRow("string kept as is") << QJsonValue(" a b ") << " a b ";
        QTest::newRow("null") << QJsonValue(QJsonValue::Null) << "";
        QTest::newRow("array compact") << QJsonValue(QJsonArray{1, true, "x"}) << "[1,true,\"x\"]";
        QTest::newRow("object compact")
            << QJsonValue(QJsonObject{{"fanyi_from", "en"}, {"n", 2}}) << "{\"fanyi_from\":\"en\",\"n\":2}";
    }
    void signValueText()
    {
        QFETCH(QJsonValue, value);
        QFETCH(QString, text);
        QCOMPARE(service().jsonValueToSignString(value), text);
    }

    void signedPayload()
    {
        service().setTimestampProvider([] { return qint64(1700000123); });
        const QJsonObject body{{"tasktag", "T9"}, {"deviceid", "stale"}, {"empty", "  "}};
        UserPayResult result{9, "untouched", 9};
        const QJsonObject payload = service().buildSignedPayload(body, " 10.0.0.1 ", "  ", 0, &result);
        QCOMPARE(result.code, 0);
        QCOMPARE(result.serviceCode, 10000);
        QVERIFY(result.message.isEmpty());
        QCOMPARE(payload.value("deviceid").toString(), QString(kFixedDeviceId));
        QCOMPARE(payload.value("timestamp").toDouble(), 1700000123.0);
        QCOMPARE(payload.value("devicetype").toString(), QString("pc"));
        QCOMPARE(payload.value("productinfo").toString(), QString(kProductInfo));
        QCOMPARE(payload.value("clientip").toString(), QString("10.0.0.1"));
        QVERIFY(!payload.contains("plattag"));
        QCOMPARE(payload.value("empty").toString(), QString("  ")); // sent, though not signed
        const auto offline = m_server.signOffline(QJsonArray{payload});
        QCOMPARE(offline.size(), 1);
        QCOMPARE(payload.value("datasign").toString(), offline.first().second);

        // A negative stamp also falls back to the provider; a positive one is sent unchanged.
        QCOMPARE(service().buildSignedPayload(body, "", "", -5, &result).value("timestamp").toDouble(),
                 1700000123.0);
        const QJsonObject stamped = service().buildSignedPayload(body, "", "tag", 1234567890, &result);
        QCOMPARE(stamped.value("timestamp").toDouble(), 1234567890.0);
        QCOMPARE(stamped.value("plattag").toString(), QString("tag"));
        QCOMPARE(service().buildSignedPayload(body, "", "", 0, nullptr), QJsonObject());
    }

    // ---- device id ----

    void deviceId_data()
    {
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("expected"); // empty: a digest of a random UUID
        QTest::newRow("kept as it comes") << QString(kFixedDeviceId) << QString(kFixedDeviceId);
        QTest::newRow("upper case and blanks") << "  0123456789ABCDEF0123456789ABCDEF\n"
                                               << QString(kFixedDeviceId);
        QTest::newRow("another form is digested") << " Machine-ID 42 " << md5Of("machine-id 42");
        QTest::newRow("33 characters are digested") << QString(33, 'a') << md5Of(QString(33, 'a'));
        QTest::newRow("blank gives a random one") << "   "
                                                  << "";
    }
    void deviceId()
    {
        QFETCH(QString, uuid);
        QFETCH(QString, expected);
        g_uuidText = uuid;
        FileProcessService first;
        const QString id = first.resolveDeviceId();
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(id).hasMatch());
        if (!expected.isEmpty())
            QCOMPARE(id, expected);
        else
            QVERIFY(FileProcessService().resolveDeviceId() != id); // each process makes its own
        g_uuidText = "fedcba9876543210fedcba9876543210";
        QCOMPARE(first.resolveDeviceId(), id); // kept for the life of the service
    }

    // Without a test source the id comes from the machine's reader, kept as it comes when it
    // has the expected form.
    void deviceIdFromMachine()
    {
        FileProcessService::setUuidSourceForTesting(nullptr);
        const QRegularExpression form("^[0-9a-z]{32}$");
        const QString machine = UUIDProvider::getUuid().trimmed().toLower();
        const QString id = FileProcessService().resolveDeviceId();
        QVERIFY(form.match(id).hasMatch());
        if (form.match(machine).hasMatch())
            QCOMPARE(id, machine);
    }

    void deviceIdMadeOnceUnderConcurrentFirstUse()
    {
        g_uuidText = "";
        FileProcessService fresh;
        std::vector<QString> ids(8);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < ids.size(); ++i)
            threads.emplace_back([&, i] { ids[i] = fresh.resolveDeviceId(); });
        for (auto &t : threads)
            t.join();
        for (const QString &id : ids)
            QCOMPARE(id, ids.front());
    }

    // ---- addresses and headers ----

    void requestUrl_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected"); // "BASE" stands for the base URL
        QTest::newRow("relative") << "api/v4/taskstate"
                                  << "BASE/api/v4/taskstate";
        QTest::newRow("absolute path") << "/api/v4/taskstate"
                                       << "BASE/api/v4/taskstate";
        QTest::newRow("blanks around") << "  /api/v4/taskstate \t"
                                       << "BASE/api/v4/taskstate";
        QTest::newRow("blanks, relative") << " api/v4/taskstate "
                                          << "BASE/api/v4/taskstate";
        QTest::newRow("empty") << ""
                               << "BASE";
        QTest::newRow("blank") << "   "
                               << "BASE";
        QTest::newRow("upper-case scheme kept") << "HTTPS://Other.example/x"
                                                << "HTTPS://Other.example/x";
        QTest::newRow("plain http kept") << " http://other.example:81/y "
                                         << "http://other.example:81/y";
    }
    void requestUrl()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        expected.replace("BASE", "https://" + m_server.host());
        QCOMPARE(service().buildRequestUrl(path), expected);
    }

    void cloudHostFollowsAccountHostUnlessConfigured()
    {
        m_config.remove("cloud/host");
        tvxtest::writeConfigOverride(m_config);
        const QString onAccountHost = service().buildRequestUrl("/x");
        setConfig("cloud/host", m_server.host());
        QCOMPARE(onAccountHost, QString("https://account.invalid/x"));
    }

    void domainHeader_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("domain");
        QTest::newRow("explicit port") << "https://127.0.0.1:8443/api/v4/x"
                                       << "127.0.0.1:8443";
        QTest::newRow("no port") << "https://cloud.example/api/v4/x"
                                 << "cloud.example";
        QTest::newRow("default port written out") << "http://cloud.example:80/x"
                                                  << "cloud.example:80";
        QTest::newRow("no scheme") << "cloud.example/api"
                                   << "cloud.example";
        QTest::newRow("host alone") << "cloud.example"
                                    << "cloud.example";
    }
    void domainHeader()
    {
        QFETCH(QString, url);
        QFETCH(QString, domain);
        QCOMPARE(service().resolveDomainHeader(url), domain);
    }

    void commonHeadersInOrder()
    {
        const auto headers = service().commonHeaders("https://cloud.example:9443/api/v4/taskstate");
        const QList<QPair<QByteArray, QByteArray>> expected{{"X-Product", "101"},
                                                            {"X-Version", "1.0.0.0"},
                                                            {"X-Credits", kCredits},
                                                            {"X-Domain", "cloud.example:9443"}};
        QCOMPARE(headers, expected);
    }

    void sliceUrlIsFullyEncoded()
    {
        FileProcessService::UploadPointContext context;
        context.taskTag = "T 1";
        context.timestamp = 1700000000;
        context.taskToken = "a+b/c=d&e";
        QCOMPARE(user_pay::buildUploadChunkUrl("https://h.example/api/v4/uploadpointfile", context, 7),
                 QString("https://h.example/api/v4/uploadpointfile?tasktag=T%201&timestamp=1700000000&"
                         "tasktoken=a%2Bb%2Fc%3Dd%26e&fileindex=0&chunk=7"));
    }

    // ---- transports ----

    void transportAnswers_data()
    {
        QTest::addColumn<bool>("binary");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("message"); // "URL" stands for the request's URL; "*" ends a prefix
        for (bool binary : {false, true}) {
            const char *kind = binary ? "bin " : "json ";
            auto row = [&](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(kind + QString(name))) << binary;
            };
            row("object, whatever its code") << QJsonObject() << 5000 << "";
            row("HTTP 500") << QJsonObject{{"status", 500}} << 5000
                            << "Network error: server replied with HTTP status 500";
            row("array") << QJsonObject{{"body", "[]"}} << 5000 << invalidJsonText("[]");
            row("null") << QJsonObject{{"body", "null"}} << 5000 << invalidJsonText("null");
            row("not JSON") << QJsonObject{{"body", "<html>busy</html>"}} << 5000
                            << invalidJsonText("<html>busy</html>");
            row("garbage instead of HTTP") << QJsonObject{{"mode", "garbage"}} << 5000 << "Network error: *";
            row("answer cut short") << QJsonObject{{"mode", "close"}} << 5000 << "Network error: *";
            row("connection dropped while sending")
                << QJsonObject{{"mode", "drop"}} << 5000 << "Network error: *";
            row("silence") << QJsonObject{{"mode", "silent"}, {"hold_s", 5}} << 300 << "Request timeout: URL";
        }
    }
    void transportAnswers()
    {
        QFETCH(bool, binary);
        QFETCH(QJsonObject, fault);
        QFETCH(int, timeoutMs);
        QFETCH(QString, message);
        fault.insert("path", "/t/transport");
        m_server.addFault(fault);
        const QString url = service().buildRequestUrl("/t/transport");
        QJsonObject response;
        const UserPayResult r = binary
                                    ? service().postBinary(url, QByteArray(70000, 'b'), timeoutMs, &response)
                                    : service().postJson(url, QJsonObject{{"k", "v"}}, timeoutMs, &response);
        message.replace("URL", url);
        if (message.isEmpty()) {
            QCOMPARE(r.code, 0);
            QCOMPARE(r.serviceCode, 10000);
            QCOMPARE(response.value("code").toInt(), 40404);
        } else {
            QCOMPARE(r.code, 4);
            QCOMPARE(r.serviceCode, 0);
            if (message.endsWith('*'))
                QVERIFY2(r.message.startsWith(message.chopped(1)) && r.message.size() > message.size(),
                         qPrintable(r.message));
            else
                QCOMPARE(r.message, message);
            QVERIFY(response.isEmpty());
        }
        QVERIFY(m_server.waitForRequests("/t/transport", 1));
        verifyCleanTraffic();
    }

    void transportRefusesMissingOutput()
    {
        const QString url = service().buildRequestUrl("/t/none");
        for (const UserPayResult &r : {service().postJson(url, QJsonObject(), 1000, nullptr),
                                       service().postBinary(url, QByteArray("x"), 1000, nullptr)}) {
            QCOMPARE(r.code, 1);
            QCOMPARE(r.message, QString("Output response object is null."));
            QCOMPARE(r.serviceCode, 0);
        }
        QVERIFY(m_server.requests().isEmpty());
    }

    void transportChecksCertificateAndReportsRefusal_data()
    {
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QString>("host");
        QTest::newRow("certificate from another CA") << "OTHER"
                                                     << "";
        QTest::newRow("nobody listening") << ""
                                          << "127.0.0.1:" + QString::number(closedPort());
    }
    void transportChecksCertificateAndReportsRefusal()
    {
        QFETCH(QString, caFile);
        QFETCH(QString, host);
        setConfig("webapi/ca_file", caFile == "OTHER" ? m_server.otherCaFile() : m_server.caFile());
        const QString url = "https://" + (host.isEmpty() ? m_server.host() : host) + "/t/tls";
        QJsonObject response;
        const UserPayResult r = service().postJson(url, QJsonObject{{"a", 1}}, 3000, &response);
        setConfig("webapi/ca_file", m_server.caFile());
        QCOMPARE(r.code, 4);
        QVERIFY2(r.message.startsWith("Network error: "), qPrintable(r.message));
        QVERIFY(m_server.requests("/t/tls").isEmpty());
    }

    void commonAnswerCheck_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("serviceCode");
        QTest::newRow("success") << QJsonObject{{"code", 10000}, {"message", "ok"}, {"x", 1}} << 0 << ""
                                 << 10000;
        QTest::newRow("server's code and message")
            << QJsonObject{{"code", 15000}, {"message", "slice rejected"}} << 4 << "op failed: slice rejected"
            << 15000;
        QTest::newRow("no code") << QJsonObject{{"message", "m"}} << 4 << "op failed: m" << 0;
        QTest::newRow("code as text is not a number")
            << QJsonObject{{"code", "10000"}} << 4 << "op failed: " << 0;
    }
    void commonAnswerCheck()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(int, serviceCode);
        QJsonObject data{{"before", true}};
        const UserPayResult r = service().parseCommonResponse(answer, "op", &data);
        QCOMPARE(r.code, code);
        QCOMPARE(r.message, message);
        QCOMPARE(r.serviceCode, serviceCode);
        const QJsonObject untouched{{"before", true}};
        QCOMPARE(data, code == 0 ? answer : untouched);
        QCOMPARE(service().parseCommonResponse(answer, "op", nullptr).code, code);
    }

    // ---- validation ----

    void createValidation_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("no file") << "filePath" << QVariant("  ") << "filePath is empty.";
        QTest::newRow("no task type") << "taskType" << QVariant(" ") << "taskType or outExt is empty.";
        QTest::newRow("no extension") << "outExt" << QVariant("") << "taskType or outExt is empty.";
        QTest::newRow("limit left at 0")
            << "limitSizeK" << QVariant(0) << "limitSizeK or sliceSizeK must be greater than 0.";
        QTest::newRow("slice 0") << "sliceSizeK" << QVariant(0)
                                 << "limitSizeK or sliceSizeK must be greater than 0.";
        QTest::newRow("missing file")
            << "filePath" << QVariant("/nonexistent/x.mp4") << "filePath does not exist or is not a file.";
        QTest::newRow("folder") << "filePath" << QVariant(tvxtest::scratchDir())
                                << "filePath does not exist or is not a file.";
        QTest::newRow("negative retries")
            << "chunkRetryCount" << QVariant(-1) << "chunkRetryCount cannot be negative.";
        QTest::newRow("no time-out") << "requestTimeoutMs" << QVariant(0)
                                     << "requestTimeoutMs must be greater than 0.";
        QTest::newRow("valid") << "" << QVariant() << "";
    }
    void createValidation()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, message);
        CreateConvertTaskRequest r = createRequest(makeFile("valid.bin", 10));
        if (field == "filePath")
            r.filePath = value.toString();
        else if (field == "taskType")
            r.taskType = value.toString();
        else if (field == "outExt")
            r.outExt = value.toString();
        else if (field == "limitSizeK")
            r.limitSizeK = value.toInt();
        else if (field == "sliceSizeK")
            r.sliceSizeK = value.toInt();
        else if (field == "chunkRetryCount")
            r.chunkRetryCount = value.toInt();
        else if (field == "requestTimeoutMs")
            r.requestTimeoutMs = value.toInt();
        QString written = "unchanged";
        const UserPayResult v = service().validateCreateRequest(r, &written);
        QCOMPARE(v.code, message.isEmpty() ? 0 : 1);
        QCOMPARE(v.message, message);
        QCOMPARE(written, message.isEmpty() ? QString("unchanged") : message);
        if (!message.isEmpty()) {
            const auto result = service().createConvertTask(r);
            QVERIFY(!result.success);
            QCOMPARE(result.message, message);
            QVERIFY(m_server.requests().isEmpty());
        }
    }

    void queryValidation_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("state: no tag") << "state"
                                       << "taskTag" << QVariant(" ") << "taskTag is empty.";
        QTest::newRow("state: ifShowTxt -1")
            << "state"
            << "ifShowTxt" << QVariant(-1) << "ifShowTxt must be in range [0,2].";
        QTest::newRow("state: ifShowTxt 3")
            << "state"
            << "ifShowTxt" << QVariant(3) << "ifShowTxt must be in range [0,2].";
        QTest::newRow("state: isSchedule 2") << "state"
                                             << "isSchedule" << QVariant(2) << "isSchedule must be 0 or 1.";
        QTest::newRow("state: time-out")
            << "state"
            << "requestTimeoutMs" << QVariant(0) << "requestTimeoutMs must be greater than 0.";
        QTest::newRow("down: no tag") << "down"
                                      << "taskTag" << QVariant("") << "taskTag is empty.";
        QTest::newRow("down: downType 0") << "down"
                                          << "downType" << QVariant(0) << "downType must be 1 or 2.";
        QTest::newRow("down: multiUrl 2") << "down"
                                          << "multiUrl" << QVariant(2) << "multiUrl must be 0 or 1.";
        QTest::newRow("down: band of 31")
            << "down"
            << "bandName" << QVariant(QString(31, 'b')) << "bandName length must be in range [1,30].";
        QTest::newRow("down: band of 30 with blanks")
            << "down"
            << "bandName" << QVariant(" " + QString(30, 'b') + " ") << "";
        QTest::newRow("down: time-out")
            << "down"
            << "requestTimeoutMs" << QVariant(-1) << "requestTimeoutMs must be greater than 0.";
        QTest::newRow("delete: no account") << "delete"
                                            << "account" << QVariant(" ") << "account is empty.";
        QTest::newRow("delete: no token") << "delete"
                                          << "userToken" << QVariant("") << "userToken is empty.";
        QTest::newRow("delete: no tag") << "delete"
                                        << "taskTag" << QVariant("") << "taskTag is empty.";
        QTest::newRow("delete: time-out")
            << "delete"
            << "requestTimeoutMs" << QVariant(0) << "requestTimeoutMs must be greater than 0.";
    }
    void queryValidation()
    {
        QFETCH(QString, kind);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, message);
        QString written;
        UserPayResult v;
        QString operationMessage;
        if (kind == "state") {
            user_pay::QueryTaskStateRequest r;
            r.taskTag = field == "taskTag" ? value.toString() : "T1";
            r.ifShowTxt = field == "ifShowTxt" ? value.toInt() : 0;
            r.isSchedule = field == "isSchedule" ? value.toInt() : 0;
            r.requestTimeoutMs = field == "requestTimeoutMs" ? value.toInt() : 3000;
            v = service().validateQueryTaskStateRequest(r, &written);
            operationMessage = service().queryTaskState(r).message;
        } else if (kind == "down") {
            user_pay::QueryTaskDownRequest r;
            r.taskTag = field == "taskTag" ? value.toString() : "T1";
            r.downType = field == "downType" ? value.toInt() : 2;
            r.multiUrl = field == "multiUrl" ? value.toInt() : 0;
            r.bandName = field == "bandName" ? value.toString() : QString();
            r.requestTimeoutMs = field == "requestTimeoutMs" ? value.toInt() : 3000;
            v = service().validateQueryTaskDownRequest(r, &written);
            operationMessage = service().queryTaskDown(r).message;
        } else {
            user_pay::DeleteTaskRequest r{"acc", "tok", "T1", "", "", 3000};
            if (field == "account")
                r.account = value.toString();
            else if (field == "userToken")
                r.userToken = value.toString();
            else if (field == "taskTag")
                r.taskTag = value.toString();
            else
                r.requestTimeoutMs = value.toInt();
            v = service().validateDeleteTaskRequest(r, &written);
            operationMessage = service().deleteTask(r).message;
        }
        QCOMPARE(v.code, message.isEmpty() ? 0 : 1);
        QCOMPARE(v.message, message);
        QCOMPARE(written, message);
        if (!message.isEmpty()) {
            QCOMPARE(operationMessage, message);
            QVERIFY(m_server.requests().isEmpty());
        }
    }

    void uninitialisedServiceRefusesEverything()
    {
        FileProcessService fresh;
        QVERIFY(!fresh.isInitialized());
        const QString text = "File process service is not initialized.";
        QString written;
        const UserPayResult v = fresh.validateCreateRequest(createRequest(makeFile("u.bin", 5)), &written);
        QCOMPARE(v.code, 2);
        QCOMPARE(v.message, text);
        QCOMPARE(written, text);
        QCOMPARE(fresh.createConvertTask(createRequest(makeFile("u.bin", 5))).message, text);
        user_pay::QueryTaskStateRequest state;
        state.taskTag = "T1";
        QCOMPARE(fresh.queryTaskState(state).message, text);
        user_pay::QueryTaskDownRequest down;
        down.taskTag = "T1";
        QCOMPARE(fresh.queryTaskDown(down).message, text);
        QCOMPARE(fresh.deleteTask(user_pay::DeleteTaskRequest{"a", "t", "T1", "", "", 1000}).message, text);
        QCOMPARE(fresh.validateDeleteTaskRequest(user_pay::DeleteTaskRequest{}, nullptr).code, 2);
        QVERIFY(m_server.requests().isEmpty());
        fresh.initialize();
        QVERIFY(fresh.isInitialized());
    }

    // ---- slicing ----

    void sliceCount_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("slice");
        QTest::addColumn<qint64>("count");
        const qint64 two = 2048 * 1024;
        QTest::newRow("empty") << qint64(0) << two << qint64(0);
        QTest::newRow("two whole slices") << 2 * two << two << qint64(2);
        QTest::newRow("one byte more") << 2 * two + 1 << two << qint64(3);
        QTest::newRow("one byte") << qint64(1) << two << qint64(1);
        QTest::newRow("beyond 4 GiB") << (qint64(5) << 30) + 1 << two << qint64(2561);
        QTest::newRow("no slice size") << qint64(10) << qint64(0) << qint64(0);
    }
    void sliceCount()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, slice);
        QFETCH(qint64, count);
        QCOMPARE(user_pay::FileSliceReader::sliceCountFor(size, slice), count);
    }

    // Offsets past 2 and 4 GiB land in the right slice at the right place.
    void slicesOfSparseFileBeyond4GiB()
    {
        const QString path = tvxtest::scratchPath("files/sparse-5g.bin");
        const qint64 size = (qint64(4) << 30) + 3;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(size))
            QSKIP("the scratch file system cannot hold a sparse 4 GiB file");
        const QList<qint64> marks{
            0, (qint64(1) << 31) - 1, qint64(1) << 31, (qint64(1) << 32) - 1, qint64(1) << 32, size - 1};
        for (int i = 0; i < marks.size(); ++i) {
            QVERIFY(file.seek(marks[i]));
            QVERIFY(file.putChar(char(0x41 + i)));
        }
        file.close();

        const qint64 slice = 2048 * 1024;
        user_pay::FileSliceReader reader(path, size, slice);
        QVERIFY(reader.open());
        QByteArray bytes;
        for (int i = 0; i < marks.size(); ++i) {
            QVERIFY(reader.read(marks[i] / slice, &bytes));
            QCOMPARE(bytes.at(int(marks[i] % slice)), char(0x41 + i));
        }
        QVERIFY(reader.read(2048, &bytes));
        QCOMPARE(bytes.size(), 3);
        QCOMPARE(bytes.at(2), char(0x41 + marks.size() - 1));
        QVERIFY(!reader.read(2049, &bytes));
        QVERIFY(bytes.isEmpty());

        // The upload point announces the 64-bit size and count; the first slice goes out whole.
        m_server.addFault(QJsonObject{{"path", kChunk}, {"status", 500}});
        CreateConvertTaskRequest r = createRequest(path);
        r.chunkRetryCount = 0;
        const auto result = service().createConvertTask(r);
        QVERIFY(!result.success);
        QCOMPARE(result.totalChunkCount, 2049);
        QCOMPARE(result.uploadedChunkCount, 0);
        const QJsonObject info = sentJson(kPoint).value("fileinfo").toArray().at(0).toObject();
        QCOMPARE(qint64(info.value("filesize").toDouble()), size);
        QCOMPARE(info.value("slicecount").toInt(), 2049);
        QCOMPARE(m_server.requests(kChunk).size(), 1);
        QCOMPARE(m_server.requests(kChunk).first().value("bytes").toInt(), int(slice));
        verifyCleanTraffic();
        QFile::remove(path);
    }

    // A file that shrank after the upload point was granted fails at its first missing slice
    // instead of sending a short one.
    void fileThatShrankIsNotSentShort()
    {
        const QString file = makeFile("shrinks.bin", 3000);
        m_server.setSource(file);
        m_server.addFault(
            QJsonObject{{"path", kChunk}, {"chunk", 0}, {"hold_until", tvxtest::scratchPath("go")}});
        QFuture<user_pay::CreateConvertTaskResult> future =
            service().createConvertTaskAsync(createRequest(file, 1));
        QVERIFY(m_server.waitForRequests(kChunk, 1));
        QFile shrink(file);
        QVERIFY(shrink.resize(1500)); // slice 1 now holds 476 of its 1024 bytes
        tvxtest::writeFile(tvxtest::scratchPath("go"), "go");
        future.waitForFinished();
        const auto result = future.result();
        QVERIFY(!result.success);
        QCOMPARE(result.message, QString("Failed to read chunk 1 from file."));
        QCOMPARE(result.uploadedChunkCount, 1);
        QCOMPARE(m_server.requests(kChunk).size(), 1);
    }

    void sizesThatDoNotFitAreRefused()
    {
        const QString small = makeFile("small.bin", 100);
        CreateConvertTaskRequest r = createRequest(small, 2 * 1024 * 1024); // 2 GiB slices
        FileProcessService::UploadPointContext context;
        UserPayResult refused = service().requestUploadPoint(r, &context);
        QCOMPARE(refused.code, 1);
        QCOMPARE(refused.message, QString("sliceSizeK is too large."));

        const QString huge = tvxtest::scratchPath("files/sparse-2t.bin");
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(qint64(2) << 40))
            QSKIP("the scratch file system cannot hold a sparse 2 TiB file");
        file.close();
        r = createRequest(huge, 1); // 2^31 slices of 1 KiB
        refused = service().requestUploadPoint(r, &context);
        QCOMPARE(refused.code, 1);
        QCOMPARE(refused.message, QString("File has too many slices for sliceSizeK."));
        QCOMPARE(service().createConvertTask(r).message, refused.message);
        QVERIFY(m_server.requests().isEmpty());
        QFile::remove(huge);
        QCOMPARE(service().requestUploadPoint(r, nullptr).message, QString("Output context is null."));
    }

    // ---- creation ----

    void createSendsEverySliceAndMerges_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("slices");
        const qint64 two = 2048 * 1024;
        QTest::newRow("empty file goes straight to the merge") << qint64(0) << 0;
        QTest::newRow("two whole slices") << 2 * two << 2;
        QTest::newRow("one byte more") << 2 * two + 1 << 3;
    }
    void createSendsEverySliceAndMerges()
    {
        QFETCH(qint64, size);
        QFETCH(int, slices);
        const QString file = makeFile(QString("create-%1.bin").arg(size), size);
        m_server.setSource(file);
        m_server.setServerTimestamp(1600000000);
        CreateConvertTaskRequest r = createRequest(file);
        r.convertParams = QJsonObject{{"fanyi_from", "en"}};
        r.account = " 86-13800000000 ";
        r.userToken = "tok";
        r.clientIp = "10.1.2.3";
        const auto result = service().createConvertTask(r);
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.serviceCode, 10000);
        QCOMPARE(result.message, QString("Create convert task success."));
        QCOMPARE(result.totalChunkCount, slices);
        QCOMPARE(result.uploadedChunkCount, slices);
        QCOMPARE(result.timestamp, qint64(1600000000));
        QVERIFY(result.taskTag.startsWith("T"));
        QVERIFY(result.taskToken.contains('+'));

        const QJsonObject point = sentJson(kPoint);
        QCOMPARE(point.value("tasktype").toString(), QString("voice2text"));
        QCOMPARE(point.value("limitsize").toInt(), 512000);
        QCOMPARE(point.value("slicesize").toInt(), 2048);
        QCOMPARE(point.value("outext").toString(), QString("txt"));
        QCOMPARE(point.value("convertparm").toObject(), r.convertParams);
        QCOMPARE(point.value("account").toString(), QString("86-13800000000"));
        QCOMPARE(point.value("usertoken").toString(), QString("tok"));
        QCOMPARE(point.value("clientip").toString(), QString("10.1.2.3"));
        const QJsonObject info = point.value("fileinfo").toArray().at(0).toObject();
        QCOMPARE(info.value("filename").toString(), QFileInfo(file).fileName());
        QCOMPARE(qint64(info.value("filesize").toDouble()), size);
        QCOMPARE(info.value("slicecount").toInt(), slices);

        const QList<QJsonObject> sent = m_server.requests(kChunk);
        QCOMPARE(sent.size(), slices);
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(sent[i].value("query").toObject().value("chunk").toString(), QString::number(i));
        const QJsonObject merge = sentJson(kMerge);
        QCOMPARE(merge.value("timestamp").toDouble(), 1600000000.0); // the server's, not the clock
        QCOMPARE(merge.value("tasktag").toString(), result.taskTag);
        QCOMPARE(merge.value("clientip").toString(), QString("10.1.2.3"));
        verifyCleanTraffic();
    }

    void createUsesMinimalBodyWithoutOptionalMembers()
    {
        const auto result = service().createConvertTask(createRequest(makeFile("min.bin", 10)));
        QVERIFY2(result.success, qPrintable(result.message));
        const QJsonObject point = sentJson(kPoint);
        for (const char *absent : {"convertparm", "account", "usertoken", "clientip", "plattag"})
            QVERIFY2(!point.contains(absent), absent);
    }

    void uploadPointAnswers_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("message"); // empty: success
        QTest::addColumn<int>("serviceCode");
        const QString missing = "uploadpointpar response missing tasktag/tasktoken/timestamp.";
        QTest::newRow("time stamp as ten-digit text")
            << QJsonObject{{"patch", QJsonObject{{"timestamp", "1600000000"}}}} << "" << 10000;
        QTest::newRow("no token") << QJsonObject{{"remove", QJsonArray{"tasktoken"}}} << missing << 0;
        QTest::newRow("blank tag") << QJsonObject{{"patch", QJsonObject{{"tasktag", "  "}}}} << missing << 0;
        QTest::newRow("no time stamp") << QJsonObject{{"remove", QJsonArray{"timestamp"}}} << missing << 0;
        QTest::newRow("time stamp not a number")
            << QJsonObject{{"patch", QJsonObject{{"timestamp", "soon"}}}} << missing << 0;
        QTest::newRow("time stamp 0")
            << QJsonObject{{"patch", QJsonObject{{"timestamp", 0}}}} << missing << 0;
        QTest::newRow("server refuses")
            << QJsonObject{{"json", QJsonObject{{"code", 12000}, {"message", "quota exceeded"}}}}
            << "uploadpointpar failed: quota exceeded" << 12000;
        QTest::newRow("null answer") << QJsonObject{{"body", "null"}} << invalidJsonText("null") << 0;
    }
    void uploadPointAnswers()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, message);
        QFETCH(int, serviceCode);
        fault.insert("path", kPoint);
        m_server.addFault(fault);
        const QString file = makeFile("point.bin", 3000);
        m_server.setSource(file);
        m_server.setServerTimestamp(1600000000);
        const auto result = service().createConvertTask(createRequest(file, 1));
        QCOMPARE(result.serviceCode, serviceCode);
        if (message.isEmpty()) {
            QVERIFY2(result.success, qPrintable(result.message));
            QCOMPARE(result.timestamp, qint64(1600000000));
        } else {
            QVERIFY(!result.success);
            QCOMPARE(result.message, message);
            QVERIFY(m_server.requests(kChunk).isEmpty());
            QVERIFY(m_server.requests(kMerge).isEmpty());
        }
    }

    // A time stamp read from the answer is a whole number of seconds, or none when the number
    // has no 64-bit value.
    void uploadPointTimeStampRange_data()
    {
        QTest::addColumn<double>("stamp");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("fraction cut off") << 1600000000.7 << qint64(1600000000);
        QTest::newRow("beyond 64 bits") << 9.3e18 << qint64(0);
        QTest::newRow("huge") << 1e300 << qint64(0);
        QTest::newRow("huge negative") << -1e300 << qint64(0);
    }
    void uploadPointTimeStampRange()
    {
        QFETCH(double, stamp);
        QFETCH(qint64, seconds);
        FileProcessService::UploadPointContext context;
        FileProcessService::readUploadPointAnswer(
            QJsonObject{{"tasktag", "T1"}, {"tasktoken", "tk"}, {"timestamp", stamp}}, &context);
        QCOMPARE(context.timestamp, seconds);
        QCOMPARE(context.taskTag, QString("T1"));
        QCOMPARE(context.taskToken, QString("tk"));
    }

    void sliceRetries_data()
    {
        QTest::addColumn<int>("retries");
        QTest::addColumn<QJsonObject>("fault"); // applied to slice 1
        QTest::addColumn<int>("attempts");      // requests for slice 1
        QTest::addColumn<QString>("reason");    // empty: the creation succeeds
        QTest::addColumn<int>("serviceCode");
        const QJsonObject http500{{"status", 500}, {"body", "oops"}};
        QJsonObject twice = http500;
        twice.insert("times", 2);
        QJsonObject thrice = http500;
        thrice.insert("times", 3);
        QTest::newRow("fails twice, third attempt passes") << 2 << twice << 3 << "" << 10000;
        QTest::newRow("fails three times")
            << 2 << thrice << 3 << "Network error: server replied with HTTP status 500" << 0;
        QTest::newRow("server rejects three times")
            << 2
            << QJsonObject{{"json", QJsonObject{{"code", 15000}, {"message", "slice rejected"}}},
                           {"times", 3}}
            << 3 << "uploadpointfile failed: slice rejected" << 15000;
        QTest::newRow("connection dropped mid-slice, then passes")
            << 2 << QJsonObject{{"mode", "drop"}, {"times", 1}} << 2 << "" << 10000;
        QTest::newRow("garbage twice, then passes")
            << 2 << QJsonObject{{"mode", "garbage"}, {"times", 2}} << 3 << "" << 10000;
        QTest::newRow("null answer without retries")
            << 0 << QJsonObject{{"body", "null"}, {"times", 1}} << 1 << invalidJsonText("null") << 0;
        QTest::newRow("silence within the time-out")
            << 1 << QJsonObject{{"mode", "silent"}, {"hold_s", 3}, {"times", 1}} << 2 << "" << 10000;
    }
    void sliceRetries()
    {
        QFETCH(int, retries);
        QFETCH(QJsonObject, fault);
        QFETCH(int, attempts);
        QFETCH(QString, reason);
        QFETCH(int, serviceCode);
        fault.insert("path", kChunk);
        fault.insert("chunk", 1);
        m_server.addFault(fault);
        const QString file = makeFile("retry.bin", 2500); // three slices of 1 KiB
        m_server.setSource(file);
        CreateConvertTaskRequest r = createRequest(file, 1);
        r.chunkRetryCount = retries;
        r.requestTimeoutMs = 1500;
        const auto result = service().createConvertTask(r);
        int forSlice1 = 0;
        for (const QJsonObject &entry : m_server.requests(kChunk))
            forSlice1 += entry.value("query").toObject().value("chunk").toString() == "1";
        QCOMPARE(forSlice1, attempts);
        QCOMPARE(result.serviceCode, serviceCode);
        QCOMPARE(result.totalChunkCount, 3);
        if (reason.isEmpty()) {
            QVERIFY2(result.success, qPrintable(result.message));
            QCOMPARE(result.uploadedChunkCount, 3); // the retried slice counts once
        } else {
            QVERIFY(!result.success);
            QCOMPARE(result.message, "Chunk upload failed. index=1, reason=" + reason);
            QCOMPARE(result.uploadedChunkCount, 1);
            QVERIFY(m_server.requests(kMerge).isEmpty());
            QVERIFY(!result.taskTag.isEmpty()); // the granted task is still named
        }
        verifyCleanTraffic();
    }

    void mergeFailureIsReported()
    {
        m_server.addFault(
            QJsonObject{{"path", kMerge}, {"json", QJsonObject{{"code", 13000}, {"message", "late"}}}});
        const auto result = service().createConvertTask(createRequest(makeFile("m.bin", 10)));
        QVERIFY(!result.success);
        QCOMPARE(result.message, QString("uploadpointmerge failed: late"));
        QCOMPARE(result.serviceCode, 13000);
        QCOMPARE(result.uploadedChunkCount, 1);
    }

    void cancelBetweenSlicesAndBeforeMerge_data()
    {
        QTest::addColumn<int>("heldSlice");
        QTest::addColumn<int>("uploaded");
        QTest::newRow("after the first slice") << 0 << 1;
        QTest::newRow("after the last slice, before the merge") << 2 << 3;
    }
    void cancelBetweenSlicesAndBeforeMerge()
    {
        QFETCH(int, heldSlice);
        QFETCH(int, uploaded);
        const QString release = tvxtest::scratchPath(QString("release-%1").arg(heldSlice));
        m_server.addFault(QJsonObject{{"path", kChunk}, {"chunk", heldSlice}, {"hold_until", release}});
        auto flag = std::make_shared<std::atomic<bool>>(false);
        CreateConvertTaskRequest r = createRequest(makeFile("cancel.bin", 2500), 1);
        r.cancelFlag = flag;
        QFuture<user_pay::CreateConvertTaskResult> future = service().createConvertTaskAsync(r);
        QVERIFY(m_server.waitForRequests(kChunk, heldSlice + 1));
        flag->store(true);
        tvxtest::writeFile(release, "go");
        future.waitForFinished();
        const auto result = future.result();
        QVERIFY(!result.success);
        QCOMPARE(result.message, QString("Create convert task cancelled."));
        QCOMPARE(result.serviceCode, 0);
        QCOMPARE(result.uploadedChunkCount, uploaded);
        QCOMPARE(m_server.requests(kChunk).size(), heldSlice + 1);
        QVERIFY(m_server.requests(kMerge).isEmpty());
    }

    void asyncCreationRunsOnPoolWithCopy()
    {
        std::atomic<QThread *> stampThread{nullptr};
        service().setTimestampProvider([&stampThread] {
            stampThread.store(QThread::currentThread());
            return qint64(1700000555);
        });
        const QString file = makeFile("async.bin", 5000);
        m_server.setSource(file);
        auto request = std::make_unique<CreateConvertTaskRequest>(createRequest(file, 2));
        QFuture<user_pay::CreateConvertTaskResult> future = service().createConvertTaskAsync(*request);
        request.reset(); // the creation works on its own copy
        future.waitForFinished();
        const auto result = future.result();
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.uploadedChunkCount, 3);
        QVERIFY(stampThread.load() != nullptr);
        QVERIFY(stampThread.load() != QThread::currentThread());
        QCOMPARE(sentJson(kPoint).value("timestamp").toDouble(), 1700000555.0);
        verifyCleanTraffic();
    }

    // ---- queries ----

    void taskStateMapping_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("finished");
        QTest::addColumn<bool>("shouldPoll");
        QTest::addColumn<QString>("message");
        QTest::newRow("done") << QJsonObject{{"code", 10000}, {"message", "done"}} << true << false << "done";
        QTest::newRow("working") << QJsonObject{{"code", 20000}, {"message", "busy"}} << false << true
                                 << "busy";
        QTest::newRow("18000 with empty message")
            << QJsonObject{{"code", 18000}, {"message", ""}} << false << false << "";
        QTest::newRow("19000") << QJsonObject{{"code", 19000}, {"message", "failed"}} << false << false
                               << "failed";
        QTest::newRow("unknown, empty") << QJsonObject{{"code", 12345}, {"message", ""}} << false << false
                                        << "taskstate returned unknown code.";
        QTest::newRow("unknown, blank") << QJsonObject{{"code", 12345}, {"message", "  "}} << false << false
                                        << "taskstate returned unknown code.";
        QTest::newRow("unknown with text")
            << QJsonObject{{"code", 12345}, {"message", "odd"}} << false << false << "odd";
    }
    void taskStateMapping()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(bool, finished);
        QFETCH(bool, shouldPoll);
        QFETCH(QString, message);
        m_server.setTaskStates("T-state", QJsonArray{answer});
        user_pay::QueryTaskStateRequest r;
        r.taskTag = " T-state ";
        r.requestTimeoutMs = 3000;
        const auto result = service().queryTaskState(r);
        QCOMPARE(result.finished, finished);
        QCOMPARE(result.shouldPoll, shouldPoll);
        QCOMPARE(result.code, answer.value("code").toInt());
        QCOMPARE(result.message, message);
        QCOMPARE(result.response, answer);
        verifyCleanTraffic();
    }

    void taskStateSequenceAndFailure()
    {
        m_server.setTaskStates("T-seq", QJsonArray{QJsonObject{{"code", 20000}, {"message", "queued"}},
                                                   QJsonObject{{"code", 10000}, {"message", "done"}}});
        user_pay::QueryTaskStateRequest r;
        r.taskTag = "T-seq";
        r.requestTimeoutMs = 3000;
        QVERIFY(service().queryTaskState(r).shouldPoll);
        QVERIFY(service().queryTaskState(r).finished);
        m_server.addFault(QJsonObject{{"path", "/api/v4/taskstate"}, {"status", 503}});
        const auto failed = service().queryTaskState(r);
        QCOMPARE(failed.code, 0);
        QCOMPARE(failed.message, QString("Network error: server replied with HTTP status 503"));
        QVERIFY(failed.response.isEmpty());
        QVERIFY(!failed.finished && !failed.shouldPoll);
    }

    void optionalQueryMembers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("a"); // ifShowTxt or downType
        QTest::addColumn<int>("b"); // isSchedule or multiUrl
        QTest::addColumn<QString>("band");
        QTest::addColumn<QJsonObject>("expected"); // members beyond the tag and the signed ones
        QTest::newRow("state, defaults") << "state" << 0 << 0 << "" << QJsonObject();
        QTest::newRow("state, both set")
            << "state" << 2 << 1 << "" << QJsonObject{{"ifshowtxt", 2}, {"isschedule", 1}};
        QTest::newRow("down, defaults") << "down" << 2 << 0 << "  " << QJsonObject();
        QTest::newRow("down, all set") << "down" << 1 << 1 << " band "
                                       << QJsonObject{{"downtype", 1}, {"multiurl", 1}, {"bandname", "band"}};
    }
    void optionalQueryMembers()
    {
        QFETCH(QString, kind);
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(QString, band);
        QFETCH(QJsonObject, expected);
        QString path;
        if (kind == "state") {
            user_pay::QueryTaskStateRequest r;
            r.taskTag = "T5";
            r.ifShowTxt = a;
            r.isSchedule = b;
            r.account = " acc ";
            r.userToken = "  ";
            QVERIFY(service().queryTaskState(r).finished);
            path = "/api/v4/taskstate";
        } else {
            user_pay::QueryTaskDownRequest r;
            r.taskTag = "T5";
            r.downType = a;
            r.multiUrl = b;
            r.bandName = band;
            r.account = " acc ";
            r.userToken = "  ";
            QVERIFY(service().queryTaskDown(r).success);
            path = "/api/v4/taskdown";
        }
        QJsonObject sent = sentJson(path);
        QCOMPARE(sent.value("tasktag").toString(), QString("T5"));
        QCOMPARE(sent.value("account").toString(), QString("acc"));
        for (const char *signedKey :
             {"tasktag", "account", "deviceid", "timestamp", "devicetype", "productinfo", "datasign"})
            sent.remove(signedKey);
        QCOMPARE(sent, expected);
        verifyCleanTraffic();
    }

    void taskDownAnswers_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("downUrl");
        QTest::newRow("address trimmed")
            << QJsonObject{{"code", 10000}, {"message", "ok"}, {"downurl", " https://files.example/r.txt "}}
            << true << "ok"
            << "https://files.example/r.txt";
        QTest::newRow("blank address") << QJsonObject{{"code", 10000}, {"downurl", "   "}} << false
                                       << "taskdown success response missing downurl."
                                       << "";
        QTest::newRow("refused, no text")
            << QJsonObject{{"code", 16000}, {"message", ""}} << false << "taskdown failed."
            << "";
        QTest::newRow("refused with text")
            << QJsonObject{{"code", 16000}, {"message", "expired"}} << false << "expired"
            << "";
    }
    void taskDownAnswers()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(bool, success);
        QFETCH(QString, message);
        QFETCH(QString, downUrl);
        m_server.addFault(QJsonObject{{"path", "/api/v4/taskdown"}, {"json", answer}});
        user_pay::QueryTaskDownRequest r;
        r.taskTag = "T7";
        const auto result = service().queryTaskDown(r);
        QCOMPARE(result.success, success);
        QCOMPARE(result.message, message);
        QCOMPARE(result.downUrl, downUrl);
        QCOMPARE(result.code, answer.value("code").toInt());
        QCOMPARE(result.response, answer);
    }

    void deleteTaskAnswers()
    {
        const user_pay::DeleteTaskRequest r{" acc ", " tok ", " T3 ", "", "plat", 3000};
        const auto done = service().deleteTask(r);
        QVERIFY(done.success);
        QCOMPARE(done.code, 10000);
        const QJsonObject sent = sentJson("/api/v4/deltask");
        QCOMPARE(sent.value("account").toString(), QString("acc"));
        QCOMPARE(sent.value("usertoken").toString(), QString("tok"));
        QCOMPARE(sent.value("tasktag").toString(), QString("T3"));
        QCOMPARE(sent.value("plattag").toString(), QString("plat"));
        m_server.addFault(QJsonObject{{"path", "/api/v4/deltask"}, {"json", QJsonObject{{"code", 17000}}}});
        const auto refused = service().deleteTask(r);
        QVERIFY(!refused.success);
        QCOMPARE(refused.code, 17000);
        QCOMPARE(refused.message, QString("deltask failed."));
        verifyCleanTraffic();
    }
};

QTEST_GUILESS_MAIN(TestCloudService)
#include "tst_cloudservice.moc"
