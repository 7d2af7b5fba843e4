// The vendor account SDK wrapper against a fake SDK beside the test program: status parsing,
// the results of every operation, initialisation once, and load failures in copies of the
// program placed in folders of their own.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "i18n/I18n.h"
#include "user_pay/LenovoSDKService.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTextStream>
#include <QtTest>

using user_pay::LenovoSDKService;
using user_pay::UserPayResult;

namespace {

const char kStatusSignedIn[] = R"({"loginInfo":{"loginstatus":true,"token":" tok-1 "}})";

// The fake SDK's controls, from the same library the wrapper loads.
struct FakeSdk
{
    QLibrary library;
    void (*reset)() = nullptr;
    void (*scriptFn)(const char *, int, const char *, int) = nullptr;
    int (*calls)(const char *) = nullptr;
    const char *(*lastAppInfo)() = nullptr;
    quint64 (*lastWindowHandle)() = nullptr;

    bool open()
    {
        library.setFileName(app::applicationDirFilePath(user_pay::sdkMainDllName()));
        if (!library.load())
            return false;
        reset = reinterpret_cast<decltype(reset)>(library.resolve("fakeLysdk_reset"));
        scriptFn = reinterpret_cast<decltype(scriptFn)>(library.resolve("fakeLysdk_script"));
        calls = reinterpret_cast<decltype(calls)>(library.resolve("fakeLysdk_calls"));
        lastAppInfo = reinterpret_cast<decltype(lastAppInfo)>(library.resolve("fakeLysdk_lastAppInfo"));
        lastWindowHandle =
            reinterpret_cast<decltype(lastWindowHandle)>(library.resolve("fakeLysdk_lastWindowHandle"));
        return reset && scriptFn && calls && lastAppInfo && lastWindowHandle;
    }

    void script(const char *exportName, int result, const QByteArray &text = QByteArray())
    {
        scriptFn(exportName, result, text.constData(), text.size());
    }
};

QString failedText()
{
    return i18n::t(QStringLiteral("user_pay.login.error.login_request_failed"));
}

void printResult(QTextStream &out, const char *name, const UserPayResult &r)
{
    out << name << "=" << r.code << "|" << r.message << "|" << r.serviceCode << "\n";
}

// Child run of a copy of this program: two initialisations, printed for the parent to judge.
int probeSdkChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    printResult(out, "first", LenovoSDKService::shared().initialize());
    printResult(out, "second", LenovoSDKService::shared().initialize());
    out << "initialized=" << int(LenovoSDKService::shared().isInitialized()) << "\n";
    return 0;
}

} // namespace

class TestLenovoSdk : public QObject
{
    Q_OBJECT

private:
    FakeSdk m_fake;
    LenovoSDKService &sdk = LenovoSDKService::shared();

    void verifyResult(const UserPayResult &r, int code, const QString &message, int serviceCode)
    {
        QCOMPARE(r.code, code);
        QCOMPARE(r.message, message);
        QCOMPARE(r.serviceCode, serviceCode);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        QVERIFY2(m_fake.open(), "the fake SDK must sit beside the test program");
        const QString config =
            tvxtest::writeFile(tvxtest::scratchPath("config.ini"),
                               "[lenovo_sdk]\nappid=1234567890123456\nmch_id=123456789012345\n"
                               "key=MIIEvQIBADANBgkq+/=\n");
        qputenv("TVX_CONFIG", config.toUtf8());
    }

    void init()
    {
        sdk.shutdown();
        m_fake.reset();
    }

    void parsesLoginStatus_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("token");
        QTest::newRow("signed in, token trimmed") << QByteArray(kStatusSignedIn) << true << true << "tok-1";
        QTest::newRow("token NULL") << QByteArray(R"({"loginInfo":{"loginstatus":true,"token":"NULL"}})")
                                    << true << false << "";
        QTest::newRow("token of blanks")
            << QByteArray(R"({"loginInfo":{"loginstatus":true,"token":"   "}})") << true << false << "";
        QTest::newRow("status false")
            << QByteArray(R"({"loginInfo":{"loginstatus":false,"token":"t"}})") << true << false << "";
        QTest::newRow("status not a boolean")
            << QByteArray(R"({"loginInfo":{"loginstatus":"true","token":"t"}})") << true << false << "";
        QTest::newRow("no loginInfo") << QByteArray("{}") << true << false << "";
        QTest::newRow("not JSON") << QByteArray("not json") << false << false << "";
        QTest::newRow("array at the top") << QByteArray("[1]") << false << false << "";
        QTest::newRow("bytes after the first zero ignored")
            << QByteArray(kStatusSignedIn) + QByteArray(1, '\0') + "garbage" << true << true << "tok-1";
    }

    void parsesLoginStatus()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(bool, valid);
        QFETCH(bool, loggedIn);
        QFETCH(QString, token);
        const auto status = user_pay::parseLoginStatusPayload(buffer.constData(), std::size_t(buffer.size()));
        QCOMPARE(status.valid, valid);
        QCOMPARE(status.loggedIn, loggedIn);
        QCOMPARE(status.token, token);
    }

    void statusTextFillingTheWholeBuffer()
    {
        // No zero byte at all: only the buffer's own bytes are read.
        QByteArray buffer(kStatusSignedIn);
        const auto status =
            user_pay::parseLoginStatusPayload(buffer.constData(), std::size_t(buffer.size() - 2));
        QVERIFY(!status.valid);
    }

    void initializeOnceReadsDeviceAndStatus()
    {
        m_fake.script("LYSDK_GetDeviceID", 0, "  DEV-1 \n");
        m_fake.script("LYSDK_LidGetLoginStatus", 0, kStatusSignedIn);
        verifyResult(sdk.initialize(), 0, QString(), 10000);
        QVERIFY(sdk.isInitialized());
        QCOMPARE(
            QByteArray(m_fake.lastAppInfo()),
            QByteArray(
                R"({"appid":"1234567890123456","key":"MIIEvQIBADANBgkq+/=","mchId":"123456789012345"})"));
        QCOMPARE(sdk.lenovoDeviceId(), QString("DEV-1"));
        QVERIFY(sdk.isLenovoLoggedIn());
        QCOMPARE(sdk.lenovoToken(), QString("tok-1"));
        QVERIFY(sdk.hasLenovoToken());
        QVERIFY(!sdk.isDeviceMode());

        verifyResult(sdk.initialize(), 0, QString(), 10000);
        QCOMPARE(m_fake.calls("LYSDK_LidInit"), 1);
        QCOMPARE(m_fake.calls("LYSDK_GetDeviceID"), 1);
    }

    void statusReadsFollowTheSdk()
    {
        m_fake.script("LYSDK_GetDeviceID", 0, "DEV-2");
        m_fake.script("LYSDK_LidGetLoginStatus", 0, kStatusSignedIn);
        QCOMPARE(sdk.initialize().code, 0);
        QVERIFY(sdk.isLenovoLoggedIn());

        m_fake.script("LYSDK_LidGetLoginStatus", 5, kStatusSignedIn);
        verifyResult(sdk.refreshLoginState(), 4, failedText(), 5);
        QVERIFY(!sdk.isLenovoLoggedIn());
        QVERIFY(sdk.lenovoToken().isEmpty());

        m_fake.script("LYSDK_LidGetLoginStatus", 0, kStatusSignedIn);
        QCOMPARE(sdk.refreshLoginState().code, 0);
        m_fake.script("LYSDK_LidGetLoginStatus", 0, QByteArray()); // the buffer stays zero
        verifyResult(sdk.refreshLoginState(), 0, QString(), 10000);
        QVERIFY(!sdk.isLenovoLoggedIn());
        QVERIFY(sdk.isDeviceMode());

        m_fake.script("LYSDK_LidGetLoginStatus", 0, kStatusSignedIn);
        QCOMPARE(sdk.refreshLoginState().code, 0);
        m_fake.script("LYSDK_LidGetLoginStatus", 0, "<html>");
        verifyResult(sdk.refreshLoginState(), 4, failedText(), 0);
        QVERIFY(!sdk.isLenovoLoggedIn());
        QVERIFY(sdk.lenovoToken().isEmpty());
    }

    void loginAndLogout()
    {
        m_fake.script("LYSDK_GetDeviceID", 9);
        sdk.setLoginWindowHandle(0x1234abcdULL);
        // Login initialises first; a failed device-id read is only logged.
        verifyResult(sdk.requestLogin(), 0, QString(), 10000);
        QCOMPARE(m_fake.lastWindowHandle(), quint64(0x1234abcdULL));
        QVERIFY(sdk.lenovoDeviceId().isEmpty());
        QVERIFY(!sdk.isDeviceMode());
        m_fake.script("LYSDK_LidLogin", 3);
        verifyResult(sdk.requestLogin(), 4, failedText(), 3);
        QCOMPARE(m_fake.calls("LYSDK_LidInit"), 1);

        m_fake.script("LYSDK_LidGetLoginStatus", 0, kStatusSignedIn);
        QCOMPARE(sdk.refreshLoginState().code, 0);
        m_fake.script("LYSDK_LidLogout", 8);
        verifyResult(sdk.logout(), 4, failedText(), 8);
        QVERIFY(sdk.isLenovoLoggedIn());
        m_fake.script("LYSDK_LidLogout", 0);
        verifyResult(sdk.logout(), 0, QString(), 10000);
        QVERIFY(!sdk.isLenovoLoggedIn());
        QVERIFY(sdk.lenovoToken().isEmpty());

        sdk.shutdown();
        QCOMPARE(m_fake.calls("LYSDK_LidClose"), 1);
        QVERIFY(!sdk.isInitialized());
    }

    void refusedInitialisationIsTriedAgain()
    {
        // Before any start: the status is refused and a sign-out never reaches the SDK.
        verifyResult(sdk.refreshLoginState(), 2, i18n::t("user_pay.service.error.webui_not_ready"), 0);
        QCOMPARE(sdk.refreshLoginState().message, QString::fromUtf8("服务未就绪。"));
        verifyResult(sdk.logout(), 0, QString(), 10000);
        QCOMPARE(m_fake.calls("LYSDK_LidLogout"), 0);

        m_fake.script("LYSDK_LidInit", 7);
        verifyResult(sdk.initialize(), 4, QString::fromUtf8("登录请求失败。"), 7);
        QVERIFY(!sdk.isInitialized());
        QCOMPARE(sdk.requestLogin().serviceCode, 7);
        QCOMPARE(m_fake.calls("LYSDK_LidLogin"), 0);
        m_fake.script("LYSDK_LidInit", 0);
        verifyResult(sdk.initialize(), 0, QString(), 10000);
        QCOMPARE(m_fake.calls("LYSDK_LidInit"), 3);
    }

    void loadFailures_data()
    {
        QTest::addColumn<bool>("lacking"); // a library without LYSDK_LidLogout, else none at all
        QTest::addColumn<QString>("messagePattern");
        QTest::newRow("no SDK file") << false << "^Load %1 failed, code=\\d+ path=%2$";
        QTest::newRow("SDK lacks an export") << true << "^GetProcAddress LYSDK_\\* failed\\.$";
    }

    void loadFailures()
    {
        QFETCH(bool, lacking);
        QFETCH(QString, messagePattern);
        const QString folder =
            tvxtest::scratchPath("sdk-" + QString(QTest::currentDataTag()).replace(' ', '-'));
        const QString program = tvxtest::copyTestProgramInto(folder);
        QVERIFY(!program.isEmpty());
        const QString libraryPath = QDir(folder).filePath(user_pay::sdkMainDllName());
        if (lacking)
            QVERIFY(QFile::copy(QStringLiteral(TVX_FAKE_SDK_LACKING), libraryPath));
        const auto run = tvxtest::runProcess(program, {"--probe-sdk"});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const QRegularExpression pattern(
            QString("^4\\|%1\\|0$")
                .arg(QString(messagePattern).mid(1).chopped(1))
                .replace("%1", QRegularExpression::escape(user_pay::sdkMainDllName()))
                .replace("%2", QRegularExpression::escape(libraryPath)));
        // A failed load is tried again by the next call, and fails the same way.
        int results = 0;
        for (const QString &line : QString::fromUtf8(run.out).split('\n')) {
            if (line.startsWith("first=") || line.startsWith("second=")) {
                QVERIFY2(pattern.match(line.section('=', 1)).hasMatch(), qPrintable(line));
                ++results;
            }
        }
        QCOMPARE(results, 2);
        QVERIFY(run.out.contains("initialized=0"));
    }
};

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--probe-sdk") == 0)
            return probeSdkChild(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestLenovoSdk test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lenovosdk.moc"
