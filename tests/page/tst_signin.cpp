// The sign-in road in the real main window: the real account manager against the loopback
// account server and the real web view item (no engine here), driven by mouse and keyboard.
// Also the page without any account service, whose user button must then do nothing at all.
#include "RealPlayerTypes.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "app/QmlContextObjects.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "player/PlaylistModel.h"
#include "system/SystemActions.h"
#include "user_pay/AccountLocalStore.h"
#include "user_pay/AccountManager.h"
#include "user_pay/WebUIAPIService.h"
#include "webview/MiniBlinkWrapper.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtQml>
#include <QtTest>

using tvxtest::WebApiTestServer;
using user_pay::AccountManager;

namespace {

const QString kDevice = QStringLiteral("0123456789abcdef0123456789abcdef");
const QString kPhone = QStringLiteral("13800138000");
const QString kNickname = QStringLiteral("小林");

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

QByteArray captchaPng()
{
    QImage image(90, 32, QImage::Format_ARGB32);
    image.fill(QColor(235, 240, 250));
    QPainter painter(&image);
    painter.setPen(QColor(40, 60, 120));
    painter.drawLine(4, 20, 86, 8);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("ab12"));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QQuickItem *item(QObject *root, const char *name)
{
    return root ? root->findChild<QQuickItem *>(QLatin1String(name)) : nullptr;
}

// A click in the middle of the item, as the user makes it.
bool click(QQuickWindow *window, QQuickItem *target)
{
    if (!window || !target || !target->isVisible())
        return false;
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

// Keys typed into the window's focused item, one after the other.
void typeText(QQuickWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

QQuickItem *itemProperty(QObject *object, const char *name)
{
    return object ? object->property(name).value<QQuickItem *>() : nullptr;
}

// The main window over the given account service (none: nothing published under its name).
struct Scene
{
    PlaylistModel playlist;
    SystemActions actions;
    I18nService i18nService;
    QQmlApplicationEngine engine;
    QQuickWindow *window = nullptr;
    QObject *page = nullptr;

    explicit Scene(AccountManager *account)
    {
        i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        app::QmlContextObjects objects;
        objects.playlistStore = &playlist;
        objects.systemActions = &actions;
        objects.i18n = &i18nService;
        objects.appSettingsMenuSettingsFilePath = tvxtest::scratchPath("signin/app_settings_menu.ini");
        objects.loginDialogSettingsFilePath = tvxtest::scratchPath("signin/login_dialog.ini");
        objects.startupShouldTrackActivityFromCpp = false;
        objects.accountManager = account;
        app::publishToQml(engine.rootContext(), objects);
        engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
        if (engine.rootObjects().size() != 1)
            return;
        window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        if (!window || !QTest::qWaitForWindowExposed(window))
            return;
        page = window->property("pageItem").value<QObject *>();
    }
};

} // namespace

class SignInTest : public QObject
{
    Q_OBJECT
    WebApiTestServer m_server{QStringLiteral("signin-server")};

    int count(const QString &name) const
    {
        int n = 0;
        for (const QJsonObject &request : m_server.requests())
            n += request.value("path").toString() == "/api/v4/" + name ? 1 : 0;
        return n;
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
        tvxtest::registerRealPlayerTypes();
        qmlRegisterType<MiniBlinkWrapper>("com.myapp.miniblink", 1, 0, "MiniBlinkWrapper");
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        QVERIFY(m_server.start());
        tvxtest::writeConfigOverride(
            {{"webapi/app_host", m_server.host()},
             {"webapi/app_host_backup", "127.0.0.1:" + QString::number(closedPort())},
             {"webapi/ca_file", m_server.caFile()},
             {"webapi/request_timeout_ms", "3000"},
             {"webapi/server_time_timeout_ms", "3000"},
             {"user_pay/blocking_call_timeout_ms", "1500"}});
        // The SMS login answers with a named account whatever the code (the server's own
        // answer carries no nickname).
        const QJsonObject user{{"username", kPhone},  {"uid", 1011},      {"nickname", kNickname},
                               {"head_portrait", ""}, {"accounttype", 1}, {"usertoken", "pt-1"}};
        const QString body = QString::fromUtf8(
            QJsonDocument(QJsonObject{{"code", 10000}, {"userinfo", user}}).toJson(QJsonDocument::Compact));
        m_server.setDefaultRule(QJsonObject{
            {"account", QJsonObject{{"valid_tokens", QJsonArray{"pt-1"}}, {"nickname", kNickname}}}});
        // An image code the picture can draw.
        const QString png = QString::fromLatin1(captchaPng().toBase64());
        m_server.setPathRule(
            "/api/v4/imgverify",
            QJsonObject{{"body", "{\"code\":10000,\"message\":\"data:image/png;base64," + png + "\"}"}});
        m_server.setPathRule("/api/v4/loginquick", QJsonObject{{"body", body}});
        m_server.setPathRule("/api/v4/safloginquick", QJsonObject{{"body", body}});
        user_pay::AccountLocalStore().clear();
    }

    // No account service: the user button raises nothing, and the next click still counts.
    void userButtonInertWithoutAccountService()
    {
        Scene scene(nullptr);
        QVERIFY(scene.page);
        QQuickItem *overlay = item(scene.page, "loginOverlay");
        QVERIFY(overlay);
        QVERIFY(click(scene.window, item(scene.page, "userButton")));
        QTest::qWait(50);
        QVERIFY(!scene.page->property("loginDialogVisible").toBool());
        QVERIFY(!overlay->isVisible());
        QVERIFY(!scene.page->property("userInfoPopupVisible").toBool());
        QVERIFY(click(scene.window, item(scene.page, "settingsButton")));
        QTRY_VERIFY(scene.page->property("settingsMenuVisible").toBool());
    }

    // Signed out, the user signs in by SMS code: the dialog closes and the title bar names him.
    void smsSignInClosesTheDialogAndShowsTheName()
    {
        AccountManager manager(std::make_shared<user_pay::WebUIAPIService>([] { return kDevice; }), nullptr);
        manager.warmupLoginResources();
        // SMS requests fail at once until the bridge knows the server's clock.
        QSignalSpy image(&manager, &AccountManager::phoneImageCodeUrlChanged);
        for (int attempt = 0; attempt < 50 && image.isEmpty(); ++attempt) {
            manager.requestPhoneImageCode();
            image.wait(200);
        }
        QVERIFY(!image.isEmpty());
        QVERIFY(!manager.isLoggedIn());

        Scene scene(&manager);
        QVERIFY(scene.page);
        QQuickItem *overlay = item(scene.page, "loginOverlay");
        QVERIFY(click(scene.window, item(scene.page, "userButton")));
        QTRY_VERIFY(overlay->isVisible());
        QQuickItem *dialog = item(scene.page, "loginDialog");
        QVERIFY(dialog);
        QCOMPARE(dialog->property("currentLoginIndex").toInt(), 0);

        QVERIFY(click(scene.window, item(dialog, "phoneMethodButton")));
        QTRY_COMPARE(dialog->property("currentLoginIndex").toInt(), 2);
        QQuickItem *phone = nullptr;
        QTRY_VERIFY((phone = item(dialog, "phonePage")) != nullptr);
        QTRY_VERIFY(phone->property("captchaImageUrl").toString().startsWith("data:image/png"));
        QTRY_COMPARE(item(phone, "captchaImage")->property("status").toInt(), 1); // drawn

        QVERIFY(click(scene.window, itemProperty(phone, "phoneInput")));
        typeText(scene.window, kPhone + "9x");
        QCOMPARE(phone->property("phoneText").toString(), kPhone);
        const int codesBefore = count("smsverify") + count("safsmsverify");
        QVERIFY(click(scene.window, item(phone, "sendCodeAction")));
        QTRY_COMPARE_WITH_TIMEOUT(phone->property("codeCountDown").toInt(), 60, 8000);
        QCOMPARE(count("smsverify") + count("safsmsverify"), codesBefore + 1);

        QVERIFY(click(scene.window, itemProperty(phone, "smsCodeInput")));
        typeText(scene.window, QStringLiteral("1234"));
        QVERIFY(click(scene.window, item(phone, "loginButton")));
        QTRY_VERIFY_WITH_TIMEOUT(!scene.page->property("loginDialogVisible").toBool(), 8000);
        QVERIFY(!overlay->isVisible());
        QVERIFY(manager.isLoggedIn());
        QCOMPARE(manager.accountId(), kPhone);
        QTRY_COMPARE(item(scene.page, "userNameText")->property("text").toString(), kNickname);
        QCOMPARE(count("loginquick") + count("safloginquick"), 1);
        QTRY_COMPARE(QSettings(tvxtest::scratchPath("signin/login_dialog.ini"), QSettings::IniFormat)
                         .value("LoginDialog/lastLoginMethod")
                         .toInt(),
                     2);

        // The popup now names the account, and signs it out.
        QVERIFY(click(scene.window, item(scene.page, "userButton")));
        QQuickItem *popup = nullptr;
        QTRY_VERIFY((popup = itemProperty(item(scene.page, "userInfoPopupLoader"), "item")) != nullptr);
        QCOMPARE(popup->property("userName").toString(), kNickname);
        QCOMPARE(popup->property("accountId").toString(), QStringLiteral("1011"));
        QVERIFY(click(scene.window, item(popup, "popupLogoutLink")));
        QTRY_VERIFY(!manager.isLoggedIn());
        QTRY_COMPARE(item(scene.page, "userNameText")->property("text").toString(),
                     i18n::t(QStringLiteral("ui.text.account.login")));
        user_pay::AccountLocalStore().clear();
    }
};

QTEST_MAIN(SignInTest)
#include "tst_signin.moc"
