// Addresses of the WeChat, QQ and scan-login pages that the sign-in web view shows.
#include "user_pay/AccountConfig.h"
#include "user_pay/WebUIAPIService.h"

namespace user_pay {

namespace {

// Hides everything of WeChat's QR-connect page but the QR code (and the quick-login box).
const char kWeChatPageStyle[] =
    "LnRpdGxle2Rpc3BsYXk6bm9uZX0KLmltcG93ZXJCb3ggLmluZm97cG9zaXRpb246YWJzb2x1dGU7dG9wOjA7bGVmdDowO3JpZ2h0OjA7"
    "Ym90dG9tOjA7d2lkdGg6YXV0bztkaXNwbGF5OmZsZXg7YWxpZ24taXRlbXM6Y2VudGVyO2p1c3RpZnktY29udGVudDpjZW50ZXJ9Ci5q"
    "c193eF9kZWZhdWx0X3RpcHtkaXNwbGF5Om5vbmV9Ci5zdGF0dXNfdHh0e2Rpc3BsYXk6bm9uZSAhaW1wb3J0YW50fQouaW1wb3dlckJv"
    "eCAuc3RhdHVzLm5vcm1hbHtiYWNrZ3JvdW5kOm5vbmU7Ym94LXNoYWRvdzpub25lOy13ZWJraXQtYm94LXNoYWRvdzpub25lfQouaW1w"
    "b3dlckJveCAuc3RhdHVzX2ljb257bWFyZ2luOjB9CmJvZHl7cGFkZGluZzowICFpbXBvcnRhbnQ7b3ZlcmZsb3c6aGlkZGVufQoqe3Vz"
    "ZXItc2VsZWN0Om5vbmV9Ci5pbXBvd2VyQm94IC53cnBfY29kZSAucXJjb2Rle2JvcmRlcjowO21hcmdpbjowO3dpZHRoOjEwMCV9Ci5q"
    "c19zd2l0Y2hUb05vcm1hbF93cnAge2Rpc3BsYXk6bm9uZX0KLmpzX3F1aWNrX2xvZ2lue2JhY2tncm91bmQ6I2ZmZjtoZWlnaHQ6MTAw"
    "dmg7ZGlzcGxheTpmbGV4O2FsaWduLWl0ZW1zOmNlbnRlcjtqdXN0aWZ5LWNvbnRlbnQ6Y2VudGVyfQoucWxvZ2luX3VzZXJfbmlja25h"
    "bWV7bWFyZ2luLWJvdHRvbTo4cHh9";

} // namespace

QString WebUIAPIService::buildWeChatScanLoginUrl(const QString &tag)
{
    if (tag.trimmed().isEmpty()) {
        return QString();
    }
    return QStringLiteral("https://") + config::accountHost() + QStringLiteral("/scanlogin/") + tag;
}

QString WebUIAPIService::buildWeChatQrUrl(const QString &appId, const QString &tag)
{
    if (appId.trimmed().isEmpty()) {
        return buildWeChatScanLoginUrl(tag);
    }
    // The redirect is already percent-encoded as the open platform expects it.
    const QString redirect = QStringLiteral("https%3A%2F%2F") + config::accountHost() +
                             QStringLiteral("%2Fapi%2Fv4%2Fwechatquicklogin%3Faddr%3Dhttps%3A%2F%2F") +
                             config::loginPageHost() +
                             QStringLiteral("%2Fwap_pay%2Fvideo_wx_login%2Flogin.html");
    return QStringLiteral("https://") + config::weChatOpenHost() +
           QStringLiteral("/connect/qrconnect?appid=") + appId +
           QStringLiteral("&scope=snsapi_login&redirect_uri=") + redirect + QStringLiteral("&state=") + tag +
           QStringLiteral(
               "&login_type=jssdk&self_redirect=default&styletype=&sizetype=&bgcolor=&rst=&style=black"
               "&href=data:text/css;base64,") +
           QLatin1String(kWeChatPageStyle);
}

QString WebUIAPIService::buildQQLoginUrl(const QString &websiteHost, const QString &tag)
{
    const QString host = websiteHost.trimmed();
    const QString trimmedTag = tag.trimmed();
    if (trimmedTag.isEmpty() || host.isEmpty()) {
        return QString();
    }
    return QStringLiteral("https://") + config::qqOAuthHost() +
           QStringLiteral("/oauth2.0/show?which=Login&display=pc&client_id=") + config::qqClientId() +
           QStringLiteral("&response_type=token&scope=all&redirect_uri=http%3a%2f%2f") + host +
           QStringLiteral("%2fscanlogin%2fqqlogin%3fstate%3d") + trimmedTag;
}

} // namespace user_pay
