// The sign-in road in the real main window: the real account manager against the loopback
// account server and the real web view item, driven by mouse and keyboard. The second build of
// this suite has the web engine library beside it and shows the WeChat view with a loopback
// page. Also the page without any account service, whose user button must then do nothing.
// With TVX_SCREENSHOT_DIR set, the views are saved there as the README shows them.
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

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
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
#include <QTcpSocket>
#include <QTimer>
#include <QtQml>
#include <QtTest>

#include <cstdio>

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

// The window's picture around an item, with the margins beyond it, kept inside the window;
// saved under name when TVX_SCREENSHOT_DIR names a folder.
void saveShot(QQuickWindow *window, QQuickItem *target, const QMargins &margins, const QString &name)
{
    const QString dir = qEnvironmentVariable("TVX_SCREENSHOT_DIR");
    if (dir.isEmpty() || !window || !target)
        return;
    const QRect around =
        target->mapRectToScene(QRectF(0, 0, target->width(), target->height())).toAlignedRect() + margins;
    QDir().mkpath(dir);
    QVERIFY(window->grabWindow().copy(around & QRect(QPoint(0, 0), window->size())).save(dir + "/" + name));
}

// A stand-in QR page: a 21-module code with its three finder squares, drawn in black on white.
QByteArray qrPage()
{
    QByteArray cells;
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 21; ++x) {
            // Each corner's 8-module zone holds a finder square and its light border; the rest
            // is a fixed scatter of modules.
            const int fx = x < 8 ? x : x - 14;
            const int fy = y < 8 ? y : y - 14;
            const bool inFinderZone = (x < 8 || x >= 13) && (y < 8 || y >= 13) && !(x >= 13 && y >= 13);
            const int ring = qMax(qAbs(fx - 3), qAbs(fy - 3));
            const bool dark = inFinderZone ? (fx >= 0 && fy >= 0 && ring != 2 && ring <= 3)
                                           : ((x * 7 + y * 13 + x * y * 3) % 5) < 2;
            if (dark)
                cells += "<rect x='" + QByteArray::number(x) + "' y='" + QByteArray::number(y) +
                         "' width='1' height='1'/>";
        }
    }
    return "<!DOCTYPE html><html><head><meta charset='utf-8'></head>"
           "<body style='margin:0;background:#fff'><svg viewBox='-2 -2 25 25' width='100%' height='100%' "
           "style='position:fixed;inset:0' shape-rendering='crispEdges'>" +
           cells + "</svg></body></html>";
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
        QTRY_COMPARE_WITH_TIMEOUT(phone->property("codeCountDown").toInt(), 60, tvxtest::scaledMs(8000));
        QCOMPARE(count("smsverify") + count("safsmsverify"), codesBefore + 1);

        QVERIFY(click(scene.window, itemProperty(phone, "smsCodeInput")));
        typeText(scene.window, QStringLiteral("1234"));
        saveShot(scene.window, dialog, QMargins(164, 33, 164, 33), QStringLiteral("signin_sms_view.png"));
        QVERIFY(click(scene.window, item(phone, "loginButton")));
        QTRY_VERIFY_WITH_TIMEOUT(!scene.page->property("loginDialogVisible").toBool(),
                                 tvxtest::scaledMs(8000));
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
        // With the title bar's user button above it.
        saveShot(scene.window, popup, QMargins(114, 50, 114, 24), QStringLiteral("signin_account_popup.png"));
        QVERIFY(click(scene.window, item(popup, "popupLogoutLink")));
        QTRY_VERIFY(!manager.isLoggedIn());
        QTRY_COMPARE(item(scene.page, "userNameText")->property("text").toString(),
                     i18n::t(QStringLiteral("ui.text.account.login")));
        user_pay::AccountLocalStore().clear();
    }

    // With the engine library beside the program, the WeChat view draws the page it is given
    // (here a loopback stand-in for the QR page) and reports no failure.
    void weChatViewDrawsItsPage()
    {
        if (!QFileInfo::exists(QCoreApplication::applicationDirPath() + "/libminiblink.so"))
            QSKIP("this build has no web engine library beside it");
        QTcpServer pages;
        QVERIFY(pages.listen(QHostAddress::LocalHost));
        connect(&pages, &QTcpServer::newConnection, &pages, [&pages] {
            while (QTcpSocket *socket = pages.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    const QByteArray body = qrPage();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                                  "Content-Length: " +
                                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        qputenv("TVX_WEB_DEBUG_PREVIEW", "1");
        qputenv("TVX_WEB_DEBUG_URL",
                QStringLiteral("http://127.0.0.1:%1/qr").arg(pages.serverPort()).toUtf8());
        AccountManager manager(std::make_shared<user_pay::WebUIAPIService>([] { return kDevice; }), nullptr);
        Scene scene(&manager);
        QVERIFY(scene.page);
        QVERIFY(click(scene.window, item(scene.page, "userButton")));
        QQuickItem *dialog = nullptr;
        QTRY_VERIFY((dialog = item(scene.page, "loginDialog")) != nullptr);
        QQuickItem *weChat = nullptr;
        QTRY_VERIFY((weChat = item(dialog, "weChatPage")) != nullptr);
        QQuickItem *panel = item(weChat, "qrWebPanel");
        QVERIFY(panel);
        QTRY_VERIFY_WITH_TIMEOUT(!weChat->property("qrLoading").toBool(), tvxtest::scaledMs(30000));
        QVERIFY(!weChat->property("qrLoadFailed").toBool());
        // The top-left finder square's centre is dark, the quiet zone around the code light.
        const auto shade = [&](qreal fx, qreal fy) {
            const QPointF at = panel->mapToScene(QPointF(panel->width() * fx, panel->height() * fy));
            const qreal ratio = scene.window->effectiveDevicePixelRatio();
            return qGray(scene.window->grabWindow().pixel(int(at.x() * ratio), int(at.y() * ratio)));
        };
        QTRY_VERIFY_WITH_TIMEOUT(shade(5.5 / 25, 5.5 / 25) < 60, tvxtest::scaledMs(30000));
        QVERIFY(shade(1.0 / 25, 1.0 / 25) > 200);
        saveShot(scene.window, dialog, QMargins(164, 33, 164, 33), QStringLiteral("signin_wechat_view.png"));
        qunsetenv("TVX_WEB_DEBUG_PREVIEW");
        qunsetenv("TVX_WEB_DEBUG_URL");
    }
};

int main(int argc, char **argv)
{
    // The program's own application set-up: Qt WebEngine needs the shared OpenGL context.
    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL, true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    int result = 0;
    {
        SignInTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    // The web client's channels and Qt WebEngine talk as they shut down; the test log is closed
    // by now.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    app.exec();
    return result;
}

#include "tst_signin.moc"
