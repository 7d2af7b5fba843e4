// The bridge's handling of every answer of the account web API, on the client's worker threads.
// State changes happen under the mutex; callbacks and follow-up requests run after it is
// released, so a callback may call back into the bridge.
#include "core/Log.h"
#include "i18n/I18n.h"
#include "user_pay/JsonValues.h"
#include "user_pay/WebUIAPIService.h"
#include "webapi/WebInterface.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QMutexLocker>

#include <cmath>

namespace user_pay {

namespace {

constexpr int kSuccess = 10000;
constexpr int kLoginNotFinished = 11000;
constexpr int kTokenInvalid = 10060;

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
    {41, 25, AnswerRow::WeChatTicket},
    {51, 24, AnswerRow::QQTicket},
    {65, kAnyObject, AnswerRow::ServerTime},
    {42, 25, AnswerRow::WeChatLoginState},
    {42, 24, AnswerRow::QQLoginState},
    {72, 27, AnswerRow::LenovoLogin},
    {29, kAnyObject, AnswerRow::ImageCode},
    {30, kAnyObject, AnswerRow::SmsCode},
    {57, kAnyObject, AnswerRow::SmsCode},
    {33, kAnyObject, AnswerRow::SmsLogin},
    {55, kAnyObject, AnswerRow::SmsLogin},
    {58, kAnyObject, AnswerRow::VirtualLogin},
    {59, 10030, AnswerRow::Bind},
    {64, 10031, AnswerRow::Bind},
    {45, 10010, AnswerRow::Refresh},
    {44, 10012, AnswerRow::CheckToken},
    {39, 10011, AnswerRow::Logout},
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

QString catalogText(const char *key)
{
    return i18n::t(QLatin1String(key));
}

// A member read at the top level when it is a string there, else from "data".
QString topOrDataString(const QJsonObject &root, const QString &key)
{
    const QJsonValue top = root.value(key);
    if (top.isString()) {
        return top.toString();
    }
    return json::stringOf(root.value(QStringLiteral("data")).toObject().value(key));
}

// The low 32 bits of an unsigned number given as a JSON number or as numeric text; 0 otherwise.
quint32 unsignedLow32(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d < 0 || d >= 18446744073709551616.0) {
            return 0;
        }
        return static_cast<quint32>(static_cast<quint64>(d) & 0xffffffffu);
    }
    if (value.isString()) {
        bool ok = false;
        const quint64 v = value.toString().trimmed().toULongLong(&ok);
        return ok ? static_cast<quint32>(v & 0xffffffffu) : 0;
    }
    return 0;
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

const char *boolText(bool value)
{
    return value ? "true" : "false";
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
    return code == 28001 || code == 28002;
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
    account.isVirtualAccount = account.accountType == 5;
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
        return serverMessage;
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
        // Unreadable, but still the answer to a blocking call's request: either one owed to a
        // call that gave up, or the waiting call's own, which then ends by its time-out.
        if (callType >= 0 && callType < kCallTypeCount) {
            QMutexLocker lock(&mutex);
            if (!takeLateAnswer(callType)) {
                BlockingCallState *state = blockingStateFor(callType, objectId);
                if (state && state->inFlight) {
                    state->unusableAnswer = true;
                }
            }
        }
        return;
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

void WebUIAPIService::handleTicket(bool weChat, int callType, int code, const QString &message,
                                   const QJsonObject &root, const QString &text)
{
    if (code == kSuccess) {
        const QString tag = topOrDataString(root, QStringLiteral("logintag"));
        QString address;
        if (weChat) {
            const QString appId = topOrDataString(root, QStringLiteral("appid"));
            address = buildWeChatQrUrl(appId, tag);
            TVX_LOG_INFO << "[WeChatLogin] code=" << code << "logintag=" << tag << "appid=" << appId
                         << "qrUrl=" << address;
        } else {
            address = buildQQLoginUrl(resolveWebsite(), tag);
            TVX_LOG_INFO << "[QQLogin] code=" << code << "logintag=" << tag << "url=" << address;
        }
        UrlCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            (weChat ? weChatLoginTag : qqLoginTag) = tag;
            (weChat ? weChatQrPending : qqLoginPending) = false;
            callback = weChat ? weChatLoginUrlChangedCallback : qqLoginUrlChangedCallback;
        }
        if (callback) {
            callback(address);
        }
        return;
    }
    if (weChat) {
        TVX_LOG_WARN << "[WeChatLogin] request failed, code=" << code << "message=" << message
                     << "payload=" << text;
    } else {
        TVX_LOG_WARN << "[QQLogin] request failed, code=" << code << "message=" << message
                     << "payload=" << text;
    }
    FailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        (weChat ? weChatQrPending : qqLoginPending) = false;
        callback = weChat ? weChatLoginFailedCallback : qqLoginFailedCallback;
        if (callback) {
            error = resolveWebApiErrorMessage(
                callType, code, message,
                weChat ? catalogText("user_pay.login.error.wechat_qr_request_failed")
                       : catalogText("user_pay.login.error.qq_request_failed"));
        }
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handleServerTime(int code, const QString &message, const QJsonObject &root)
{
    if (code != kSuccess) {
        TVX_LOG_WARN << "[ServerTime] callback failed, interfaceType =" << 65 << " code =" << code
                     << " message =" << message;
        // Requests that waited for the clock are ended with a failure instead of waiting for
        // ever; their next attempt asks for the server time again.
        FailureCallback weChatFailed;
        FailureCallback qqFailed;
        FailureCallback virtualFailed;
        QString weChatError;
        QString qqError;
        QString virtualError;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            if (weChatQrDeferred) {
                weChatQrDeferred = weChatQrPending = false;
                weChatFailed = weChatLoginFailedCallback;
                weChatError = resolveWebApiErrorMessage(
                    65, code, message, catalogText("user_pay.login.error.wechat_qr_request_failed"));
            }
            if (qqLoginDeferred) {
                qqLoginDeferred = qqLoginPending = false;
                qqFailed = qqLoginFailedCallback;
                qqError = resolveWebApiErrorMessage(65, code, message,
                                                    catalogText("user_pay.login.error.qq_request_failed"));
            }
            if (virtualLoginDeferred) {
                virtualLoginDeferred = virtualLoginPending = false;
                virtualFailed = virtualAccountLoginFailedCallback;
                virtualError = resolveWebApiErrorMessage(
                    65, code, message, catalogText("user_pay.login.error.login_request_failed"));
            }
        }
        if (weChatFailed) {
            weChatFailed(code, weChatError);
        }
        if (qqFailed) {
            qqFailed(code, qqError);
        }
        if (virtualFailed) {
            virtualFailed(code, virtualError);
        }
        return;
    }
    quint32 serverTime = unsignedLow32(root.value(QStringLiteral("utctime")));
    if (serverTime == 0) {
        serverTime =
            unsignedLow32(root.value(QStringLiteral("data")).toObject().value(QStringLiteral("utctime")));
    }
    bool reissueWeChat = false;
    bool reissueQQ = false;
    bool reissueVirtual = false;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        if (webInterface && serverTime != 0) {
            webInterface->V4SyncServerTime(serverTime);
        }
        serverTimeReady = true;
        std::swap(reissueWeChat, weChatQrDeferred);
        std::swap(reissueQQ, qqLoginDeferred);
        std::swap(reissueVirtual, virtualLoginDeferred);
        if (reissueWeChat) {
            weChatQrPending = false;
        }
        if (reissueQQ) {
            qqLoginPending = false;
        }
        if (reissueVirtual) {
            virtualLoginPending = false;
        }
    }
    if (reissueWeChat) {
        requestWeChatQrLogin();
    }
    if (reissueQQ) {
        requestQQLogin();
    }
    if (reissueVirtual) {
        requestVirtualAccountLogin();
    }
}

void WebUIAPIService::handleLoginState(bool weChat, int callType, int code, const QString &message,
                                       const QJsonObject &root)
{
    if (weChat) {
        TVX_LOG_INFO << "[WeChatLoginStatus] code=" << code << "message=" << message;
    } else {
        TVX_LOG_INFO << "[QQLoginStatus] code=" << code << "message=" << message;
    }
    if (code == kLoginNotFinished) {
        return;
    }
    if (code == kSuccess) {
        const AccountInfo account = buildAccountInfoFromResponse(root);
        AccountCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            (weChat ? weChatQrPending : qqLoginPending) = false;
            callback = weChat ? weChatLoginSucceededCallback : qqLoginSucceededCallback;
        }
        if (callback) {
            callback(account);
        }
        return;
    }
    FailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        (weChat ? weChatQrPending : qqLoginPending) = false;
        callback = weChat ? weChatLoginFailedCallback : qqLoginFailedCallback;
        if (callback) {
            error = resolveWebApiErrorMessage(callType, code, message,
                                              weChat ? catalogText("user_pay.login.error.wechat_login_failed")
                                                     : catalogText("user_pay.login.error.qq_login_failed"));
        }
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handleLenovoLogin(int callType, int code, const QString &message,
                                        const QJsonObject &root)
{
    if (code == kSuccess) {
        const AccountInfo account = buildAccountInfoFromResponse(root);
        AccountCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            lenovoLoginPending = false;
            callback = lenovoLoginSucceededCallback;
        }
        if (callback) {
            callback(account);
        }
        return;
    }
    FailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        lenovoLoginPending = false;
        callback = lenovoLoginFailedCallback;
        error = resolveWebApiErrorMessage(callType, code, message,
                                          catalogText("user_pay.login.error.login_request_failed"));
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handleImageCode(int callType, int code, const QString &message, const QJsonObject &root)
{
    if (code == kSuccess) {
        QString image = message;
        const int comma = image.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            image = image.mid(comma + 1);
        }
        if (image.trimmed().isEmpty()) {
            image = json::stringOf(
                root.value(QStringLiteral("data")).toObject().value(QStringLiteral("imagecode")));
        }
        const QString dataUrl = QStringLiteral("data:image/png;base64,") + image;
        UrlCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            callback = phoneImageCodeChangedCallback;
        }
        if (callback) {
            callback(dataUrl);
        }
        return;
    }
    FailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        callback = phoneImageCodeFailedCallback;
        if (callback) {
            error = resolveWebApiErrorMessage(
                callType, code, message, catalogText("user_pay.login.error.image_captcha_request_failed"));
        }
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handlePhoneCode(int callType, int code, const QString &message)
{
    if (code == kSuccess) {
        NotifyCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            callback = phoneCodeSentCallback;
        }
        if (callback) {
            callback();
        }
        return;
    }
    const bool challenge = isSafeChallengeCode(code);
    ChallengeFailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        callback = phoneCodeFailedCallback;
        error = resolveWebApiErrorMessage(callType, code, message,
                                          catalogText("user_pay.login.error.sms_code_request_failed"));
    }
    if (challenge) {
        requestPhoneImageCode();
    }
    if (callback) {
        callback(code, error, challenge);
    }
}

void WebUIAPIService::handlePhoneLogin(int callType, int code, const QString &message,
                                       const QJsonObject &root)
{
    if (code == kSuccess) {
        const AccountInfo account = buildAccountInfoFromResponse(root);
        AccountCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            callback = phoneLoginSucceededCallback;
        }
        if (callback) {
            callback(account);
        }
        return;
    }
    const bool challenge = isSafeChallengeCode(code);
    ChallengeFailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        callback = phoneLoginFailedCallback;
        const QString fallback = catalogText("user_pay.login.error.sms_login_failed_with_code")
                                     .replace(QLatin1String("%1"), QString::number(code));
        error = resolveWebApiErrorMessage(callType, code, message, fallback);
    }
    if (challenge) {
        requestPhoneImageCode();
    }
    if (callback) {
        callback(code, error, challenge);
    }
}

void WebUIAPIService::handleVirtualLogin(int callType, int objectId, int code, const QString &message,
                                         const QJsonObject &root)
{
    TVX_LOG_INFO << "[VirtualAccountLogin] callback objectId =" << objectId << " code =" << code
                 << " message =" << message;
    if (code == kSuccess) {
        const AccountInfo account = buildAccountInfoFromResponse(root);
        TVX_LOG_INFO << "[VirtualAccountLogin] success accountId =" << account.accountId
                     << " tokenEmpty =" << boolText(account.token.trimmed().isEmpty());
        AccountCallback callback;
        {
            QMutexLocker lock(&mutex);
            if (closing) {
                return;
            }
            virtualLoginPending = false;
            callback = virtualAccountLoginSucceededCallback;
        }
        if (callback) {
            callback(account);
        }
        return;
    }
    FailureCallback callback;
    QString error;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        virtualLoginPending = false;
        callback = virtualAccountLoginFailedCallback;
        error = resolveWebApiErrorMessage(callType, code, message,
                                          catalogText("user_pay.login.error.login_request_failed"));
    }
    TVX_LOG_WARN << "[VirtualAccountLogin] failed code =" << code << " message =" << error;
    if (callback) {
        callback(code, error);
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

void WebUIAPIService::handleBind(int callType, int objectId, int code, const QString &message,
                                 const QJsonObject &root)
{
    TVX_LOG_INFO << "[VirtualBind] callback received, interfaceType =" << callType
                 << " objectId =" << objectId << " code =" << code << " message =" << message;
    QMutexLocker lock(&mutex);
    if (closing) {
        return;
    }
    if (takeLateAnswer(callType) || !bindState.inFlight) {
        TVX_LOG_WARN << "[VirtualBind] callback ignored, bind state is not pending.";
        return;
    }
    UserPayResult result;
    if (code == kSuccess) {
        QString token =
            json::stringOf(
                root.value(QStringLiteral("userinfo")).toObject().value(QStringLiteral("usertoken")))
                .trimmed();
        if (token.isEmpty()) {
            token = json::stringOf(root.value(QStringLiteral("usertoken"))).trimmed();
        }
        lastVirtualBindUserToken = token;
        TVX_LOG_INFO << "[VirtualBind] callback success.";
        TVX_LOG_INFO << "[VirtualBind] callback token captured, tokenEmpty =" << boolText(token.isEmpty());
    } else {
        lastVirtualBindUserToken.clear();
        const QString error = resolveWebApiErrorMessage(
            callType, code, message, catalogText("user_pay.login.error.login_request_failed"));
        TVX_LOG_WARN << "[VirtualBind] callback failed, code =" << code << " errorMessage =" << error;
        result.code = 4;
        result.message = error;
        result.serviceCode = code;
    }
    finishBlockingCall(bindState, result);
}

void WebUIAPIService::handleRefresh(int callType, int code, const QString &message, const QJsonObject &root)
{
    const AccountInfo account = buildAccountInfoFromResponse(root);
    QMutexLocker lock(&mutex);
    if (closing || takeLateAnswer(callType) || !refreshState.inFlight) {
        return;
    }
    UserPayResult result;
    if (code == kSuccess) {
        if (isUsableAccount(account)) {
            refreshState.account = account;
        } else {
            result.code = 4;
            result.message = catalogText("user_pay.login.error.refresh_account_response_invalid");
            result.serviceCode = 0;
        }
    } else {
        result.code = code == kTokenInvalid ? 2 : 4;
        result.message = resolveWebApiErrorMessage(
            callType, code, message, catalogText("user_pay.login.error.refresh_account_failed"));
        result.serviceCode = code;
    }
    finishBlockingCall(refreshState, result);
}

void WebUIAPIService::handleCheckToken(int callType, int code, const QString &message)
{
    QMutexLocker lock(&mutex);
    if (closing || takeLateAnswer(callType) || !checkTokenState.inFlight) {
        return;
    }
    UserPayResult result;
    if (code == kSuccess || code == 0 || code == 11120) {
        // The service also answers a valid token with these codes.
    } else if (code == kTokenInvalid) {
        result.code = 2;
        result.message = resolveWebApiErrorMessage(callType, code, message,
                                                   catalogText("user_pay.login.error.token_invalid"));
        result.serviceCode = code;
    } else {
        result.code = 4;
        result.message = resolveWebApiErrorMessage(
            callType, code, message, catalogText("user_pay.login.error.token_validation_failed"));
        result.serviceCode = code;
    }
    finishBlockingCall(checkTokenState, result);
}

void WebUIAPIService::handleLogout(int callType, int code, const QString &message)
{
    QMutexLocker lock(&mutex);
    if (closing || takeLateAnswer(callType) || !logoutState.inFlight) {
        return;
    }
    UserPayResult result;
    if (code != kSuccess) {
        result.code = 4;
        result.message = resolveWebApiErrorMessage(callType, code, message,
                                                   catalogText("user_pay.login.error.logout_failed"));
        result.serviceCode = 0;
    }
    finishBlockingCall(logoutState, result);
}

} // namespace user_pay
