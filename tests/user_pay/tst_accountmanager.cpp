// The account manager against the loopback account server: start-up with and without a stored
// account, the SMS, WeChat and sign-out flows, the virtual account's bind and rollback, the
// avatar, and how long the GUI thread is held on the way.
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "core/AppPaths.h"
#include "i18n/I18n.h"
#include "user_pay/AccountLocalStore.h"
#include "user_pay/AccountManager.h"
#include "user_pay/WebUIAPIService.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using tvxtest::WebApiTestServer;
using user_pay::AccountInfo;
using user_pay::AccountLocalStore;
using user_pay::AccountManager;
using user_pay::WebUIAPIService;

namespace {

constexpr int kBlockingTimeoutMs = 1500;
const QString kDevice = QStringLiteral("0123456789abcdef0123456789abcdef");

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

// The server as the account service, knowing the stored account's token and the virtual one
// it issues for this device.
QJsonObject accountRule(QJsonObject options = QJsonObject())
{
    options.insert("valid_tokens", QJsonArray{"tok-1", "vt-01234567"});
    return QJsonObject{{"account", options}};
}

AccountInfo storedAccount(const QString &token)
{
    AccountInfo a;
    a.accountId = QStringLiteral("13800138000");
    a.uid = QStringLiteral("1011");
    a.nickname = QStringLiteral("Stored");
    a.token = token;
    a.accountType = 1;
    return a;
}

QByteArray pngBytes()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(QColor(20, 120, 200, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Records the longest gap between two ticks of a 10 ms timer of the GUI thread.
class Heartbeat : public QObject
{
public:
    Heartbeat()
    {
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, [this] { m_longest = qMax(m_longest, m_clock.restart()); });
        m_timer.start(10);
    }
    qint64 longest()
    {
        m_longest = qMax(m_longest, m_clock.elapsed());
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

} // namespace

class AccountManagerTest : public QObject
{
    Q_OBJECT
    WebApiTestServer m_server;

    int count(const QString &name) const
    {
        int n = 0;
        for (const QJsonObject &request : m_server.requests())
            n += request.value("path").toString() == "/api/v4/" + name ? 1 : 0;
        return n;
    }

    std::shared_ptr<WebUIAPIService> bridge() const
    {
        return std::make_shared<WebUIAPIService>([] { return kDevice; });
    }

    // A manager started as the program starts it, signed in with the virtual account.
    std::unique_ptr<AccountManager> virtualManager()
    {
        AccountLocalStore().clear();
        auto manager = std::make_unique<AccountManager>(bridge(), nullptr);
        manager->initialize();
        if (!tvxtest::waitUntil([&] { return manager->isLoggedIn(); }, 8000))
            return nullptr;
        return manager;
    }

    // The bridge fails SMS and image requests at once until it knows the server's clock.
    bool waitForImageCode(AccountManager &manager)
    {
        QSignalSpy image(&manager, &AccountManager::phoneImageCodeUrlChanged);
        QSignalSpy failed(&manager, &AccountManager::phoneCodeFailed);
        for (int attempt = 0; attempt < 50 && image.isEmpty(); ++attempt) {
            manager.requestPhoneImageCode();
            image.wait(200);
        }
        return !image.isEmpty();
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        QVERIFY(m_server.start());
        tvxtest::writeConfigOverride(
            {{"webapi/app_host", m_server.host()},
             {"webapi/app_host_backup", "127.0.0.1:" + QString::number(closedPort())},
             {"webapi/ca_file", m_server.caFile()},
             {"webapi/request_timeout_ms", "3000"},
             {"webapi/server_time_timeout_ms", "3000"},
             {"user_pay/blocking_call_timeout_ms", QString::number(kBlockingTimeoutMs)}});
    }

    void init()
    {
        m_server.clearRules(accountRule({{"nickname", "Nick"}}));
        m_server.clearRequests();
        AccountLocalStore().clear();
    }

    // What start-up leaves behind for each state of the stored account and of the server.
    void startUp_data()
    {
        QTest::addColumn<QString>("storedToken"); // empty: no stored account
        QTest::addColumn<QJsonObject>("pathRules");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<bool>("virtualAccount");
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<int>("virtualRequests");
        QTest::newRow("no stored account") << "" << QJsonObject() << true << true << "" << 1;
        QTest::newRow("token and refresh pass") << "tok-1" << QJsonObject() << true << false << "Nick" << 0;
        QTest::newRow("token refused") << "stale" << QJsonObject() << true << true << "" << 1;
        QTest::newRow("refresh says invalid token")
            << "tok-1" << QJsonObject{{"/api/v4/memprofile", QJsonObject{{"body", "{\"code\":10060}"}}}}
            << false << false << "" << 0;
        // Only the service saying the token is invalid clears the stored account.
        QTest::newRow("maintenance answer keeps the account")
            << "tok-1"
            << QJsonObject{{"/api/v4/checktoken",
                            QJsonObject{{"status", 503},
                                        {"body", "{\"code\":50300,\"message\":\"maintenance\"}"}}}}
            << true << false << "Stored" << 0;
        QTest::newRow("other service code keeps the account")
            << "tok-1" << QJsonObject{{"/api/v4/checktoken", QJsonObject{{"body", "{\"code\":18052}"}}}}
            << true << false << "Stored" << 0;
        QTest::newRow("error page keeps the account")
            << "tok-1"
            << QJsonObject{{"/api/v4/checktoken",
                            QJsonObject{{"status", 500},
                                        {"body", "<html><body>Internal Server Error</body></html>"}}}}
            << true << false << "Stored" << 0;
        QTest::newRow("silent server keeps the account")
            << "tok-1" << QJsonObject{{"/api/v4/checktoken", QJsonObject{{"mode", "silent"}, {"hold_s", 5}}}}
            << true << false << "Stored" << 0;
    }
    void startUp()
    {
        QFETCH(QString, storedToken);
        QFETCH(QJsonObject, pathRules);
        QFETCH(bool, loggedIn);
        QFETCH(bool, virtualAccount);
        QFETCH(QString, nickname);
        QFETCH(int, virtualRequests);
        for (auto it = pathRules.begin(); it != pathRules.end(); ++it)
            m_server.setPathRule(it.key(), it.value().toObject());
        if (!storedToken.isEmpty())
            QVERIFY(AccountLocalStore().save(storedAccount(storedToken)));

        AccountManager manager(bridge(), nullptr);
        QSignalSpy finished(&manager, &AccountManager::loginFinished);
        manager.initialize();
        if (virtualRequests)
            QVERIFY(finished.wait(tvxtest::scaledMs(8000)));
        else
            QTest::qWait(300);
        QCOMPARE(manager.isLoggedIn(), loggedIn);
        QCOMPARE(manager.isVirtualAccount(), virtualAccount);
        if (!virtualAccount)
            QCOMPARE(manager.nickname(), nickname);
        QCOMPARE(count("virtualactregister"), virtualRequests);
        AccountInfo onDisk;
        QCOMPARE(AccountLocalStore().load(&onDisk), loggedIn);
        if (loggedIn)
            QCOMPARE(onDisk.accountId, manager.accountId());
    }

    // SMS sign-in through the server's safety challenge, then sign-out.
    void smsFlowWithChallengeAndSignOut()
    {
        m_server.setPathRule("/api/v4/smsverify", accountRule({{"sms_code_error", 28001}}));
        auto manager = virtualManager();
        QVERIFY(manager);
        QVERIFY(waitForImageCode(*manager));
        QVERIFY(manager->phoneImageCodeUrlValue().startsWith("data:image/png;base64,"));

        QSignalSpy operationFailed(manager.get(), &AccountManager::operationFailed);
        QSignalSpy codeFailed(manager.get(), &AccountManager::phoneCodeFailed);
        QSignalSpy codeSent(manager.get(), &AccountManager::phoneCodeSent);
        manager->requestPhoneSmsCode(" 13800138000 ", "");
        QVERIFY(codeFailed.wait(tvxtest::scaledMs(8000)));
        QVERIFY(manager->isPhoneCodeChallengeRequired());
        // With the challenge raised, an image code is needed before anything is sent.
        const int sentBefore = count("safsmsverify");
        manager->requestPhoneSmsCode("13800138000", "");
        QCOMPARE(codeFailed.last().at(0).toInt(), 1);
        QCOMPARE(codeFailed.last().at(1).toString(), QString("请输入图形验证码。"));
        manager->requestPhoneSmsCode("13800138000", "ab12");
        QVERIFY(codeSent.wait(tvxtest::scaledMs(8000)));
        QCOMPARE(count("safsmsverify"), sentBefore + 1);
        QVERIFY(!manager->isPhoneCodeChallengeRequired());

        QSignalSpy succeeded(manager.get(), &AccountManager::phoneLoginSucceeded);
        QSignalSpy finished(manager.get(), &AccountManager::loginFinished);
        manager->loginByPhoneCode("13800138000", "1234", "ab12");
        QVERIFY(succeeded.wait(tvxtest::scaledMs(8000)));
        QCOMPARE(finished.last().at(0).toBool(), true);
        QCOMPARE(manager->accountId(), QString("13800138000"));
        QVERIFY(!manager->isVirtualAccount());
        AccountInfo onDisk;
        QVERIFY(AccountLocalStore().load(&onDisk));
        QCOMPARE(onDisk.accountId, QString("13800138000"));

        QSignalSpy loggedOut(manager.get(), &AccountManager::logoutFinished);
        QSignalSpy loggedInChanged(manager.get(), &AccountManager::loggedInChanged);
        manager->logout();
        QCOMPARE(loggedOut.count(), 1);
        QCOMPARE(loggedInChanged.count(), 1);
        QVERIFY(!manager->isLoggedIn());
        QVERIFY(!AccountLocalStore().load(&onDisk));
        QVERIFY(tvxtest::waitUntil([&] { return count("signout") == 1; }, 8000));
        QCOMPARE(count("virtualactregister"), 1); // no virtual account after a sign-out
    }

    void validators_data()
    {
        QTest::addColumn<int>("which"); // 0 phone, 1 SMS code, 2 image code
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error"); // empty: valid
        QTest::newRow("phone with blanks") << 0 << " 13800138000 "
                                           << "";
        QTest::newRow("full-width digits") << 0 << QString::fromUtf8("１３８００１３８０００") << "";
        QTest::newRow("phone with a letter") << 0 << "1380013800a"
                                             << "手机号格式不正确。";
        QTest::newRow("no phone") << 0 << "  "
                                  << "请输入手机号。";
        QTest::newRow("letters as SMS code") << 1 << "abcd"
                                             << "";
        QTest::newRow("five-digit SMS code") << 1 << "12345"
                                             << "短信验证码格式不正确。";
        QTest::newRow("no image code") << 2 << ""
                                       << "请输入图形验证码。";
    }
    void validators()
    {
        QFETCH(int, which);
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString message;
        const bool valid = which == 0   ? AccountManager::validatePhoneNumber(text, &message)
                           : which == 1 ? AccountManager::validatePhoneCode(text, &message)
                                        : AccountManager::validateImageCode(text, &message);
        QCOMPARE(valid, error.isEmpty());
        QCOMPARE(message, error);
    }

    // WeChat in the bind scene: the ticket, the polls, the bind, and a failed bind's rollback.
    void weChatBindAndRollback_data()
    {
        QTest::addColumn<bool>("bindSucceeds");
        QTest::newRow("bind succeeds") << true;
        QTest::newRow("bind fails") << false;
    }
    void weChatBindAndRollback()
    {
        QFETCH(bool, bindSucceeds);
        if (!bindSucceeds)
            m_server.setPathRule("/api/v4/virtualactbindopenid",
                                 QJsonObject{{"body", "{\"code\":19004,\"message\":\"\"}"}});
        auto manager = virtualManager();
        QVERIFY(manager);
        const QString virtualId = manager->accountId();
        manager->setLoginScene(7);
        QCOMPARE(manager->loginSceneValue(), 0);
        QSignalSpy scene(manager.get(), &AccountManager::loginSceneChanged);
        manager->setLoginScene(1);
        manager->setLoginScene(1);
        QCOMPARE(scene.count(), 1);

        QSignalSpy url(manager.get(), &AccountManager::weChatLoginUrlChanged);
        QSignalSpy succeeded(manager.get(), &AccountManager::weChatLoginSucceeded);
        QSignalSpy failed(manager.get(), &AccountManager::weChatLoginFailed);
        QSignalSpy bindFailed(manager.get(), &AccountManager::virtualBindFailed);
        QSignalSpy loggedInChanged(manager.get(), &AccountManager::loggedInChanged);
        Heartbeat heartbeat;
        for (int attempt = 0; attempt < 50 && url.isEmpty(); ++attempt) {
            manager->requestWeChatQrLogin();
            url.wait(200);
        }
        QVERIFY(!manager->weChatLoginUrlValue().isEmpty());
        for (int poll = 0; poll < 20 && succeeded.isEmpty() && failed.isEmpty(); ++poll) {
            manager->pollWeChatLoginStatus();
            QTest::qWait(150);
        }
        QVERIFY(tvxtest::waitUntil([&] { return !succeeded.isEmpty() || !failed.isEmpty(); }, 8000));
        // Each bind holds the GUI thread for one blocking call at most.
        QVERIFY2(heartbeat.longest() < kBlockingTimeoutMs + 1000,
                 qPrintable(QString::number(heartbeat.longest())));
        QCOMPARE(count("virtualactbindopenid"), 1);
        QCOMPARE(loggedInChanged.count(), 0);
        if (bindSucceeds) {
            QCOMPARE(succeeded.count(), 1);
            QVERIFY(manager->accountId().startsWith("wx-"));
            QVERIFY(!manager->isVirtualAccount());
        } else {
            QCOMPARE(failed.count(), 1);
            QCOMPARE(bindFailed.count(), 1);
            QCOMPARE(manager->accountId(), virtualId);
            QVERIFY(manager->isVirtualAccount());
            QVERIFY(tvxtest::waitUntil([&] { return count("signout") == 1; }, 8000)); // the WeChat account
        }
    }

    // The polls go on while the signed-in account's avatar downloads: their answers to the same
    // sign-in, arriving inside the download's event loop, announce nothing a second time.
    void repeatedSignInAnswerDuringTheAvatar()
    {
        m_server.setPathRule("/avatar.png",
                             QJsonObject{{"body_hex", QString::fromLatin1(pngBytes().toHex())},
                                         {"headers", QJsonObject{{"Content-Type", "image/png"}}},
                                         {"delay_ms", 1000}});
        const QJsonObject user{{"username", "wx-1"},
                               {"usertoken", "wt-1"},
                               {"accounttype", 2},
                               {"head_portrait", "http://" + m_server.host() + "/avatar.png"}};
        m_server.setPathRule(
            "/api/v4/wechatstate",
            QJsonObject{
                {"body", QString::fromUtf8(QJsonDocument(QJsonObject{{"code", 10000}, {"userinfo", user}})
                                               .toJson(QJsonDocument::Compact))}});
        auto manager = virtualManager();
        QVERIFY(manager);
        QSignalSpy url(manager.get(), &AccountManager::weChatLoginUrlChanged);
        for (int attempt = 0; attempt < 50 && manager->weChatLoginUrlValue().isEmpty(); ++attempt) {
            manager->requestWeChatQrLogin();
            url.wait(200);
        }
        QVERIFY(!manager->weChatLoginUrlValue().isEmpty());

        QSignalSpy succeeded(manager.get(), &AccountManager::weChatLoginSucceeded);
        QSignalSpy finished(manager.get(), &AccountManager::loginFinished);
        QTimer poll;
        connect(&poll, &QTimer::timeout, manager.get(), [&] { manager->pollWeChatLoginStatus(); });
        poll.start(100);
        manager->pollWeChatLoginStatus();
        QVERIFY(tvxtest::waitUntil([&] { return !succeeded.isEmpty(); }, 8000));
        QTest::qWait(400); // polls answered after the sign-in completed repeat it too
        poll.stop();
        QTest::qWait(300);
        QCOMPARE(manager->accountId(), QString("wx-1"));
        QVERIFY(count("wechatstate") > 2); // polls were answered while the picture was on its way
        QCOMPARE(succeeded.count(), 1);
        QCOMPARE(finished.count(), 1);
        int avatarRequests = 0;
        for (const QJsonObject &r : m_server.requests())
            avatarRequests += r["path"].toString() == "/avatar.png" ? 1 : 0;
        QCOMPARE(avatarRequests, 1);
    }

    // In the bind scene a phone number and SMS code bind the virtual account itself.
    void directPhoneBind()
    {
        auto manager = virtualManager();
        QVERIFY(manager);
        QVERIFY(waitForImageCode(*manager));
        manager->setLoginScene(1);
        QSignalSpy succeeded(manager.get(), &AccountManager::phoneLoginSucceeded);
        manager->loginByPhoneCode("13800138000", "1234", "");
        QCOMPARE(succeeded.count(), 1); // the bind's calls are blocking
        QCOMPARE(count("loginquick") + count("safloginquick"), 0);
        QCOMPARE(count("virtualactbind"), 1);
    }

    // A virtual account that answers late never replaces a real sign-in made meanwhile.
    void lateVirtualAnswerKeepsTheRealAccount()
    {
        m_server.setPathRule("/api/v4/virtualactregister",
                             QJsonObject{{"account", accountRule()["account"]}, {"delay_ms", 1500}});
        AccountManager manager(bridge(), nullptr);
        manager.initialize();
        QVERIFY(waitForImageCode(manager));
        QSignalSpy succeeded(&manager, &AccountManager::phoneLoginSucceeded);
        manager.loginByPhoneCode("13800138000", "1234", "");
        QVERIFY(succeeded.wait(tvxtest::scaledMs(8000)));
        QVERIFY(tvxtest::waitUntil([&] { return count("virtualactregister") == 1; }, 8000));
        QTest::qWait(2000);
        QCOMPARE(manager.accountId(), QString("13800138000"));
        QVERIFY(!manager.isVirtualAccount());
    }

    void refreshWhileSignedOutAndInvalidToken()
    {
        AccountManager manager(bridge(), nullptr);
        QSignalSpy failed(&manager, &AccountManager::operationFailed);
        manager.refreshAccountInfoInfo();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.last().at(0).toInt(), 2);
        QCOMPARE(failed.last().at(1).toString(), QString("账号未登录。"));

        QVERIFY(AccountLocalStore().save(storedAccount("tok-1")));
        AccountManager signedIn(bridge(), nullptr);
        signedIn.initialize();
        QVERIFY(signedIn.isLoggedIn());
        m_server.setPathRule("/api/v4/memprofile", QJsonObject{{"body", "{\"code\":10060}"}});
        QSignalSpy refreshFailed(&signedIn, &AccountManager::operationFailed);
        signedIn.refreshAccountInfoInfo();
        QCOMPARE(refreshFailed.count(), 1);
        QCOMPARE(refreshFailed.last().at(0).toInt(), 10060);
        QVERIFY(!signedIn.isLoggedIn());
    }

    // A nickname and a message from the server reach the interface on one line and in
    // the order they were written: line breaks become blanks, controls and bidirectional
    // formatting go. The stored account keeps what the server sent.
    void serverTextForTheInterface()
    {
        m_server.clearRules(accountRule({{"nickname", "Bob\u202eevil\nFAKE"}}));
        QVERIFY(AccountLocalStore().save(storedAccount("tok-1")));
        AccountManager manager(bridge(), nullptr);
        manager.initialize();
        QVERIFY(manager.isLoggedIn());
        QCOMPARE(manager.nickname(), QString("Bobevil FAKE"));
        QCOMPARE(manager.property("nickname").toString(), QString("Bobevil FAKE"));
        AccountInfo saved;
        QVERIFY(AccountLocalStore().load(&saved));
        QCOMPARE(saved.nickname, QString("Bob\u202eevil\nFAKE"));

        m_server.setPathRule(
            "/api/v4/memprofile",
            QJsonObject{{"body", "{\"code\":12345,\"message\":\"Try\\u2066 again\\r\\nlater\\u0007\"}"}});
        QSignalSpy failed(&manager, &AccountManager::operationFailed);
        manager.refreshAccountInfoInfo();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.last().at(1).toString(), QString("Try again later"));
    }

    // The avatar: fetched as its address says (https over TLS), kept as a JPEG, refused when it
    // is not a picture or when its address, or one it is sent on to, is not a web address.
    void avatar_data()
    {
        QTest::addColumn<QString>("address"); // %1: the server, %2: a file on this machine
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("cached");
        const QString picture = QString::fromLatin1(pngBytes().toHex());
        const auto served = [&](const QString &type) {
            return QJsonObject{{"body_hex", picture}, {"headers", QJsonObject{{"Content-Type", type}}}};
        };
        const QJsonObject toLocalFile{{"status", 302}, {"headers", QJsonObject{{"Location", "%2"}}}};
        QTest::newRow("picture, type in mixed case")
            << "HTTPS://%1/avatar.png" << served("Image/PNG") << true;
        QTest::newRow("picture sent as a page") << "HTTPS://%1/avatar.png" << served("text/html") << false;
        QTest::newRow("redirect to a web address") << "http://%1/moved" << served("image/png") << true;
        QTest::newRow("beyond 8 MiB")
            << "http://%1/avatar.png"
            << QJsonObject{{"size", 9 << 20}, {"headers", QJsonObject{{"Content-Type", "image/png"}}}}
            << false;
        // The one row that waits out the avatar's 5000 ms limit.
        QTest::newRow("silent server")
            << "http://%1/avatar.png" << QJsonObject{{"mode", "silent"}, {"hold_s", 8}} << false;
        QTest::newRow("local file") << "%2" << QJsonObject() << false;
        QTest::newRow("redirect to a local file") << "http://%1/avatar.png" << toLocalFile << false;
        QTest::newRow("data address") << "data:image/png;base64," + QString::fromLatin1(pngBytes().toBase64())
                                      << QJsonObject() << false;
    }
    void avatar()
    {
        QFETCH(QString, address);
        QFETCH(QJsonObject, answer);
        QFETCH(bool, cached);
        // A pipe nobody writes to: a reader of the local address would wait on it for ever, so
        // the watcher opens the other end whenever someone reads and tells.
        const QString pipe = tvxtest::scratchPath("avatar/pipe");
        QFile::remove(pipe);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString localAddress = QUrl::fromLocalFile(pipe).toString();
        std::atomic<bool> done{false}, read{false};
        std::thread watcher([&] {
            while (!done) {
                const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    read = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        const auto stopWatcher = qScopeGuard([&] {
            done = true;
            watcher.join();
        });
        answer = QJsonDocument::fromJson(QJsonDocument(answer).toJson().replace("%2", localAddress.toUtf8()))
                     .object();
        m_server.setPathRule("/avatar.png", answer);
        m_server.setPathRule(
            "/moved", QJsonObject{{"status", 302}, {"headers", QJsonObject{{"Location", "/avatar.png"}}}});
        address.replace("%1", m_server.host()).replace("%2", localAddress);
        m_server.setDefaultRule(accountRule({{"nickname", "Nick"}, {"avatar", address}}));
        QFile::remove(AccountManager::avatarCacheFilePath());
        QVERIFY(AccountLocalStore().save(storedAccount("tok-1")));
        AccountManager manager(bridge(), nullptr);
        manager.initialize();
        QVERIFY(manager.isLoggedIn());
        QCOMPARE(manager.nickname(), QString("Nick"));
        QCOMPARE(!manager.avatarLocalPathValue().isEmpty(), cached);
        QCOMPARE(QFile::exists(AccountManager::avatarCacheFilePath()), cached);
        QVERIFY(!read);
        if (address.startsWith("HTTPS")) {
            int secure = 0, plain = 0;
            for (const QJsonObject &r : m_server.requests()) {
                if (r["path"].toString() == "/avatar.png")
                    (r["tls"].toBool() ? secure : plain) += 1;
            }
            QVERIFY(secure > 0);
            QCOMPARE(plain, 0);
        }
        if (cached) {
            QFile file(AccountManager::avatarCacheFilePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.read(3).startsWith("\xFF\xD8\xFF")); // JPEG
            const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                    QFileDevice::ReadOther | QFileDevice::WriteOther;
            QCOMPARE(file.permissions() & others, QFileDevice::Permissions()); // private like the account
            QCOMPARE(QUrl(manager.avatarLocalPathValue()).toLocalFile(),
                     AccountManager::avatarCacheFilePath());
        }
        manager.logout();
        QVERIFY(!QFile::exists(AccountManager::avatarCacheFilePath()));
    }

    void normalizedAvatarAddress()
    {
        QCOMPARE(AccountManager::normalizeAvatarDownloadUrl(" HTTPS://a.example/x.png "),
                 QString("HTTPS://a.example/x.png"));
        QCOMPARE(AccountManager::normalizeAvatarDownloadUrl("https://a.example/x.png"),
                 QString("https://a.example/x.png"));
        QCOMPARE(AccountManager::normalizeAvatarDownloadUrl("   "), QString());
    }

    // Answers still on their way when the manager goes away reach nothing.
    void destroyedManagerHearsNothing()
    {
        auto shared = bridge();
        {
            AccountManager manager(shared, nullptr);
            manager.initialize(); // a virtual login is now on its way
        }
        QVERIFY(tvxtest::waitUntil([&] { return count("virtualactregister") == 1; }, 8000));
        QTest::qWait(500); // its answer is delivered and dropped
    }
};

QTEST_GUILESS_MAIN(AccountManagerTest)
#include "tst_accountmanager.moc"
