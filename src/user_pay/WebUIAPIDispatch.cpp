// The bridge's dispatch of every answer of the account web API, on the client's worker threads:
// reading an answer, routing it to its handling by call type and object id, and the bookkeeping
// of the blocking calls' answers.
#include "core/DisplayText.h"
#include "i18n/I18n.h"
#include "user_pay/JsonValues.h"
#include "user_pay/WebUIAPIService.h"
#include "webapi/CallTypes.h"
#include "webapi/ObjectIds.h"
#include "webapi/WebInterface.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QMutexLocker>

#include <cmath>

namespace user_pay {

namespace calltype = webapi::calltype;
namespace objectid = webapi::objectid;

namespace {

// Which handling an answer gets, by its call type and object id (-1: any object id).
enum class AnswerRow {
    WeChatTicket,
    QQTicket,
    ServerTime,
    WeChatLoginState,
    QQLoginState,
    LenovoLogin,
    ImageCode,
    SmsCode,
    SmsLogin,
    VirtualLogin,
    Bind,
    Refresh,
    CheckToken,
    Logout,
};

struct AnswerRoute
{
    int callType;
    int objectId;
    AnswerRow row;
};

constexpr int kAnyObject = -1;

constexpr AnswerRoute kAnswerRoutes[] = {
    {calltype::V4WeChatLogin, objectid::WeChatLogin, AnswerRow::WeChatTicket},
    {calltype::V4QQlogin, objectid::QQLogin, AnswerRow::QQTicket},
    {calltype::V4GetServerTime, kAnyObject, AnswerRow::ServerTime},
    {calltype::V4GetLoginState, objectid::WeChatLogin, AnswerRow::WeChatLoginState},
    {calltype::V4GetLoginState, objectid::QQLogin, AnswerRow::QQLoginState},
    {calltype::V4_LenvoeLogin, objectid::LenovoLogin, AnswerRow::LenovoLogin},
    {calltype::V4GetImgCheckCode, kAnyObject, AnswerRow::ImageCode},
    {calltype::V4GetPhoneCheckCode, kAnyObject, AnswerRow::SmsCode},
    {calltype::SafeGetPhoneCheckCode, kAnyObject, AnswerRow::SmsCode},
    {calltype::V4PhoneCodeLogin, kAnyObject, AnswerRow::SmsLogin},
    {calltype::SafePhoneCodeLogin, kAnyObject, AnswerRow::SmsLogin},
    {calltype::VirtualactRegister, kAnyObject, AnswerRow::VirtualLogin},
    {calltype::VirtualactBind, objectid::BindPhone, AnswerRow::Bind},
    {calltype::BindWeChatQQ, objectid::BindOpenId, AnswerRow::Bind},
    {calltype::V4GetUserInfo, objectid::RefreshAccount, AnswerRow::Refresh},
    {calltype::V4CheckToken, objectid::CheckToken, AnswerRow::CheckToken},
    {calltype::V4Logout, objectid::Logout, AnswerRow::Logout},
};

const AnswerRoute *routeFor(int callType, int objectId)
{
    for (const AnswerRoute &route : kAnswerRoutes) {
        if (route.callType == callType && (route.objectId == kAnyObject || route.objectId == objectId)) {
            return &route;
        }
    }
    return nullptr;
}

// A signed 64-bit number given as a JSON number or as numeric text, in decimal; "0" otherwise.
QString int64Text(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0) {
            return QStringLiteral("0");
        }
        return QString::number(static_cast<qint64>(d));
    }
    if (value.isString()) {
        bool ok = false;
        const qint64 v = value.toString().trimmed().toLongLong(&ok);
        return QString::number(ok ? v : 0);
    }
    return QStringLiteral("0");
}

} // namespace

void WebUIAPIService::webInterfaceCallbackBridge(void *userData, int callType, int objectId,
                                                 std::string response)
{
    if (!userData) {
        return;
    }
    const QString text = QString::fromUtf8(response.data(), int(response.size()));
    static_cast<WebUIAPIService *>(userData)->handleWebInterfaceCallback(callType, objectId, text);
}

bool WebUIAPIService::parseResponse(const QString &text, int *code, QString *message, QJsonObject *root)
{
    if (!code || !message || !root) {
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    *root = document.object();
    *code = json::intOf(root->value(QStringLiteral("code")), -1);
    *message = json::stringOf(root->value(QStringLiteral("message")));
    return true;
}

bool WebUIAPIService::isSafeChallengeCode(int code)
{
    return code == webapi::servicecode::SafeChallenge1 || code == webapi::servicecode::SafeChallenge2;
}

AccountInfo WebUIAPIService::buildAccountInfoFromResponse(const QJsonObject &root)
{
    AccountInfo account;
    const QJsonValue value = root.value(QStringLiteral("userinfo"));
    const QJsonObject info = value.toObject();
    if (!value.isObject() || info.isEmpty()) {
        return account;
    }
    account.token = json::stringOf(info.value(QStringLiteral("usertoken")));
    account.accountId = json::stringOf(info.value(QStringLiteral("username")));
    account.uid = int64Text(info.value(QStringLiteral("uid")));
    account.nickname = json::stringOf(info.value(QStringLiteral("nickname")));
    if (account.nickname.isEmpty()) {
        account.nickname = account.accountId;
    }
    account.avatarUrl = json::stringOf(info.value(QStringLiteral("head_portrait")));
    account.accountType = json::intOf(info.value(QStringLiteral("accounttype")), 0);
    account.isVirtualAccount = account.accountType == kVirtualAccountType;
    return account;
}

// Called with the mutex held.
QString WebUIAPIService::resolveWebApiErrorMessage(int callType, int code, const QString &serverMessage,
                                                   const QString &fallback) const
{
    const QString key = QStringLiteral("user_pay.webapi.error.%1.%2").arg(callType).arg(code);
    const QString text = i18n::t(key);
    const QString trimmed = text.trimmed();
    const bool missing = trimmed.startsWith(QLatin1String("[[")) && trimmed.endsWith(QLatin1String("]]"));
    if (!missing && !trimmed.isEmpty()) {
        return text;
    }
    if (!serverMessage.trimmed().isEmpty()) {
        // Shown to the user in toasts and dialogs: one line, in the order it was written.
        return app::displayText(serverMessage);
    }
    if (webInterface) {
        const QString known = QString::fromStdString(webInterface->CodeMessage(callType, code)).trimmed();
        if (!known.isEmpty()) {
            return known;
        }
    }
    return fallback;
}

void WebUIAPIService::handleWebInterfaceCallback(int callType, int objectId, const QString &text)
{
    int code = -1;
    QString message;
    QJsonObject root;
    if (!parseResponse(text, &code, &message, &root)) {
        // An error page or an answer too deep to read: nothing more will come for its request,
        // so a blocking call that waits for it ends now, as on an exchange that received
        // nothing. Asynchronous requests are left as they are.
        if (!blockingStateFor(callType, objectId)) {
            return;
        }
        code = -1;
        message.clear();
        root = QJsonObject();
    }
    const AnswerRoute *route = routeFor(callType, objectId);
    if (!route) {
        return;
    }
    switch (route->row) {
    case AnswerRow::WeChatTicket:
        handleTicket(true, callType, code, message, root, text);
        break;
    case AnswerRow::QQTicket:
        handleTicket(false, callType, code, message, root, text);
        break;
    case AnswerRow::ServerTime:
        handleServerTime(code, message, root);
        break;
    case AnswerRow::WeChatLoginState:
        handleLoginState(true, callType, code, message, root);
        break;
    case AnswerRow::QQLoginState:
        handleLoginState(false, callType, code, message, root);
        break;
    case AnswerRow::LenovoLogin:
        handleLenovoLogin(callType, code, message, root);
        break;
    case AnswerRow::ImageCode:
        handleImageCode(callType, code, message, root);
        break;
    case AnswerRow::SmsCode:
        handlePhoneCode(callType, code, message);
        break;
    case AnswerRow::SmsLogin:
        handlePhoneLogin(callType, code, message, root);
        break;
    case AnswerRow::VirtualLogin:
        handleVirtualLogin(callType, objectId, code, message, root);
        break;
    case AnswerRow::Bind:
        handleBind(callType, objectId, code, message, root);
        break;
    case AnswerRow::Refresh:
        handleRefresh(callType, code, message, root);
        break;
    case AnswerRow::CheckToken:
        handleCheckToken(callType, code, message);
        break;
    case AnswerRow::Logout:
        handleLogout(callType, code, message);
        break;
    }
}
WebUIAPIService::BlockingCallState *WebUIAPIService::blockingStateFor(int callType, int objectId)
{
    const AnswerRoute *route = routeFor(callType, objectId);
    if (!route) {
        return nullptr;
    }
    switch (route->row) {
    case AnswerRow::Bind:
        return &bindState;
    case AnswerRow::Refresh:
        return &refreshState;
    case AnswerRow::CheckToken:
        return &checkTokenState;
    case AnswerRow::Logout:
        return &logoutState;
    default:
        return nullptr;
    }
}

bool WebUIAPIService::takeLateAnswer(int callType)
{
    if (lateAnswers[callType] == 0) {
        return false;
    }
    --lateAnswers[callType];
    return true;
}

void WebUIAPIService::finishBlockingCall(BlockingCallState &state, const UserPayResult &result)
{
    state.result = result;
    state.done = true;
    state.condition.wakeAll();
}

} // namespace user_pay
