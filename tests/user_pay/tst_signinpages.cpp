// Sign-in page addresses, the website host and the client's system description: pure
// functions of their arguments and of the configuration.
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "user_pay/WebUIAPIService.h"

#include <QtTest>

using user_pay::WebUIAPIService;

namespace {
const QString kStyle = QStringLiteral(
    "LnRpdGxle2Rpc3BsYXk6bm9uZX0KLmltcG93ZXJCb3ggLmluZm97cG9zaXRpb246YWJzb2x1dGU7dG9wOjA7bGVmdDowO3JpZ2h0OjA7"
    "Ym90dG9tOjA7d2lkdGg6YXV0bztkaXNwbGF5OmZsZXg7YWxpZ24taXRlbXM6Y2VudGVyO2p1c3RpZnktY29udGVudDpjZW50ZXJ9Ci5q"
    "c193eF9kZWZhdWx0X3RpcHtkaXNwbGF5Om5vbmV9Ci5zdGF0dXNfdHh0e2Rpc3BsYXk6bm9uZSAhaW1wb3J0YW50fQouaW1wb3dlckJv"
    "eCAuc3RhdHVzLm5vcm1hbHtiYWNrZ3JvdW5kOm5vbmU7Ym94LXNoYWRvdzpub25lOy13ZWJraXQtYm94LXNoYWRvdzpub25lfQouaW1w"
    "b3dlckJveCAuc3RhdHVzX2ljb257bWFyZ2luOjB9CmJvZHl7cGFkZGluZzowICFpbXBvcnRhbnQ7b3ZlcmZsb3c6aGlkZGVufQoqe3Vz"
    "ZXItc2VsZWN0Om5vbmV9Ci5pbXBvd2VyQm94IC53cnBfY29kZSAucXJjb2Rle2JvcmRlcjowO21hcmdpbjowO3dpZHRoOjEwMCV9Ci5q"
    "c19zd2l0Y2hUb05vcm1hbF93cnAge2Rpc3BsYXk6bm9uZX0KLmpzX3F1aWNrX2xvZ2lue2JhY2tncm91bmQ6I2ZmZjtoZWlnaHQ6MTAw"
    "dmg7ZGlzcGxheTpmbGV4O2FsaWduLWl0ZW1zOmNlbnRlcjtqdXN0aWZ5LWNvbnRlbnQ6Y2VudGVyfQoucWxvZ2luX3VzZXJfbmlja25h"
    "bWV7bWFyZ2luLWJvdHRvbTo4cHh9");
} // namespace

class SignInPagesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        tvxtest::writeConfigOverride({{"webapi/app_host", "acct.test"},
                                      {"webapi/page_host", "pages.test"},
                                      {"user_pay/wechat_open_host", "open.wx.test"},
                                      {"user_pay/qq_oauth_host", "oauth.qq.test"},
                                      {"user_pay/qq_client_id", "1234"},
                                      {"user_pay/website_alias", "site.test"},
                                      {"user_pay/website_alias_www", "www.site.test"}});
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("first"); // app id or website host
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("expected");

        const QString qrHead =
            "https://open.wx.test/connect/qrconnect?appid=wx1&scope=snsapi_login&redirect_uri="
            "https%3A%2F%2Facct.test%2Fapi%2Fv4%2Fwechatquicklogin%3Faddr%3Dhttps%3A%2F%2F"
            "pages.test%2Fwap_pay%2Fvideo_wx_login%2Flogin.html&state=";
        const QString qrTail = "&login_type=jssdk&self_redirect=default&styletype=&sizetype=&bgcolor=&rst="
                               "&style=black&href=data:text/css;base64," +
                               kStyle;

        QTest::newRow("scan page") << "scan"
                                   << ""
                                   << "t1"
                                   << "https://acct.test/scanlogin/t1";
        QTest::newRow("scan page keeps blanks of the tag") << "scan"
                                                           << ""
                                                           << " t1 "
                                                           << "https://acct.test/scanlogin/ t1 ";
        QTest::newRow("scan page of a blank tag") << "scan"
                                                  << ""
                                                  << "  "
                                                  << "";
        QTest::newRow("QR page") << "qr"
                                 << "wx1"
                                 << "t1" << qrHead + "t1" + qrTail;
        QTest::newRow("QR page keeps blanks of the tag") << "qr"
                                                         << "wx1"
                                                         << " t1 " << qrHead + " t1 " + qrTail;
        QTest::newRow("QR page without app id is the scan page") << "qr"
                                                                 << "  "
                                                                 << " t1 "
                                                                 << "https://acct.test/scanlogin/ t1 ";
        QTest::newRow("QR page of a blank tag and no app id") << "qr"
                                                              << ""
                                                              << " "
                                                              << "";
        QTest::newRow("QQ page trims host and tag")
            << "qq"
            << " site.example "
            << " t1 "
            << "https://oauth.qq.test/oauth2.0/show?which=Login&display=pc&client_id=1234&response_type=token"
               "&scope=all&redirect_uri=http%3a%2f%2fsite.example%2fscanlogin%2fqqlogin%3fstate%3dt1";
        QTest::newRow("QQ page without website host") << "qq"
                                                      << " "
                                                      << "t1"
                                                      << "";
        QTest::newRow("QQ page of a blank tag") << "qq"
                                                << "site.example"
                                                << "  "
                                                << "";
    }

    void addresses()
    {
        QFETCH(QString, kind);
        QFETCH(QString, first);
        QFETCH(QString, tag);
        QFETCH(QString, expected);
        const QString url = kind == "scan" ? WebUIAPIService::buildWeChatScanLoginUrl(tag)
                            : kind == "qr" ? WebUIAPIService::buildWeChatQrUrl(first, tag)
                                           : WebUIAPIService::buildQQLoginUrl(first, tag);
        QCOMPARE(url, expected);
    }

    void qrPageEndsWithTheWholeStyleSheet()
    {
        const QString url = WebUIAPIService::buildWeChatQrUrl("wx1", "t");
        const QString marker = "data:text/css;base64,";
        QCOMPARE(url.size() - (url.indexOf(marker) + marker.size()), 860);
        QCOMPARE(QByteArray::fromBase64(kStyle.toLatin1()).size(), 645);
    }

    void website_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "acct.test";
        QTest::newRow("blank") << "  "
                               << "acct.test";
        QTest::newRow("upper-case scheme, path, letters kept") << " HTTPS://Other.Example/a/b "
                                                               << "Other.Example";
        QTest::newRow("http scheme") << "http://other.example"
                                     << "other.example";
        QTest::newRow("alias in other letter case") << "SITE.test"
                                                    << "acct.test";
        QTest::newRow("www alias with a path") << "https://WWW.site.test/x"
                                               << "acct.test";
        QTest::newRow("scheme only") << "https://"
                                     << "";
    }

    void website()
    {
        QFETCH(QString, domain);
        QFETCH(QString, expected);
        QCOMPARE(WebUIAPIService::resolveWebsite(domain), expected);
    }

    void clientEnvironment_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<QString>("os");
        QTest::newRow("6") << 6 << "win7";
        QTest::newRow("7") << 7 << "win7";
        QTest::newRow("8") << 8 << "win8";
        QTest::newRow("9") << 9 << "win7";
        QTest::newRow("10") << 10 << "win10";
        QTest::newRow("11") << 11 << "win10";
        QTest::newRow("unknown") << -1 << "win7";
    }

    void clientEnvironment()
    {
        QFETCH(int, major);
        QFETCH(QString, os);
        const user_pay::ClientEnvironment environment = user_pay::detectClientEnvironment(major);
        QCOMPARE(environment.os + environment.osVersion, os);
        QCOMPARE(environment.deviceType, QStringLiteral("pc"));
    }

    // The manager registers fourteen slots in its own order; every slot appears once, and the
    // registered ones are numbered 1 to 14 without gaps.
    void callbackTableCoversEverySlotOnce()
    {
        QSet<int> slotNumbers;
        QList<int> orders;
        for (const auto &row : user_pay::kBridgeCallbackRegistrations) {
            slotNumbers.insert(int(row.slot));
            if (row.registrationOrder) {
                orders << row.registrationOrder;
            }
        }
        QCOMPARE(slotNumbers.size(), 16);
        QCOMPARE(*std::min_element(slotNumbers.begin(), slotNumbers.end()), 1);
        QCOMPARE(*std::max_element(slotNumbers.begin(), slotNumbers.end()), 16);
        QCOMPARE(orders, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    }
};

QTEST_GUILESS_MAIN(SignInPagesTest)
#include "tst_signinpages.moc"
