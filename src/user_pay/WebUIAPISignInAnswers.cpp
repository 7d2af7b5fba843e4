// The bridge's handling of the sign-in answers (login addresses, the server's clock, the login
// results and the phone codes), on the client's worker threads. State changes happen under the
// mutex; callbacks and follow-up requests run after it is released, so a callback may call back
// into the bridge.
#include "core/Log.h"
#include "user_pay/JsonValues.h"
#include "user_pay/WebUIAPIService.h"
#include "user_pay/WebUIAPIServiceInternal.h"
#include "webapi/WebInterface.h"

#include <QMutexLocker>

#include <cmath>
#include <utility>

namespace user_pay {

using detail::boolText;
namespace calltype = webapi::calltype;
using detail::catalogText;

namespace {

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

} // namespace

template <typename Callback, typename... Args>
void WebUIAPIService::deliverAnswer(const Callback &slot, bool *pending, const Args &...args)
{
    Callback callback;
    {
        QMutexLocker lock(&mutex);
        if (closing) {
            return;
        }
        if (pending) {
            *pending = false;
        }
        callback = slot;
    }
    if (callback) {
        callback(args...);
    }
}

template <typename Callback, typename Fallback>
bool WebUIAPIService::takeFailure(const Callback &slot, bool *pending, ErrorLookup lookup, int callType,
                                  int code, const QString &message, Fallback fallback, Callback *callback,
                                  QString *error)
{
    QMutexLocker lock(&mutex);
    if (closing) {
        return false;
    }
    if (pending) {
        *pending = false;
    }
    *callback = slot;
    if (*callback || lookup == ErrorLookup::Always) {
        *error = resolveWebApiErrorMessage(callType, code, message, fallback());
    }
    return true;
}

void WebUIAPIService::handleTicket(bool weChat, int callType, int code, const QString &message,
                                   const QJsonObject &root, const QString &text)
{
    if (code == webapi::servicecode::Success) {
        const QString tag = topOrDataString(root, QStringLiteral("logintag"));
        QString address;
        if (weChat) {
            const QString appId = topOrDataString(root, QStringLiteral("appid"));
            address = buildWeChatQrUrl(appId, tag);
            TVX_LOG_INFO << "[WeChatLogin] code=" << code << "logintag=" << tag << "appid=" << appId
                         << "qrUrl=" << app::maskAddress(address);
        } else {
            address = buildQQLoginUrl(resolveWebsite(), tag);
            TVX_LOG_INFO << "[QQLogin] code=" << code << "logintag=" << tag
                         << "url=" << app::maskAddress(address);
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
    TVX_LOG_WARN << (weChat ? "[WeChatLogin] request failed, code=" : "[QQLogin] request failed, code=")
                 << code << "message=" << app::logExcerpt(message) << "payload=" << app::logExcerpt(text);
    FailureCallback callback;
    QString error;
    if (!takeFailure(
            weChat ? weChatLoginFailedCallback : qqLoginFailedCallback,
            weChat ? &weChatQrPending : &qqLoginPending, ErrorLookup::ForCallback, callType, code, message,
            [weChat] {
                return catalogText(weChat ? "user_pay.login.error.wechat_qr_request_failed"
                                          : "user_pay.login.error.qq_request_failed");
            },
            &callback, &error)) {
        return;
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handleServerTime(int code, const QString &message, const QJsonObject &root)
{
    if (code != webapi::servicecode::Success) {
        TVX_LOG_WARN << "[ServerTime] callback failed, interfaceType =" << calltype::V4GetServerTime
                     << " code =" << code << " message =" << app::logExcerpt(message);
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
                weChatError =
                    resolveWebApiErrorMessage(calltype::V4GetServerTime, code, message,
                                              catalogText("user_pay.login.error.wechat_qr_request_failed"));
            }
            if (qqLoginDeferred) {
                qqLoginDeferred = qqLoginPending = false;
                qqFailed = qqLoginFailedCallback;
                qqError = resolveWebApiErrorMessage(calltype::V4GetServerTime, code, message,
                                                    catalogText("user_pay.login.error.qq_request_failed"));
            }
            if (virtualLoginDeferred) {
                virtualLoginDeferred = virtualLoginPending = false;
                virtualFailed = virtualAccountLoginFailedCallback;
                virtualError =
                    resolveWebApiErrorMessage(calltype::V4GetServerTime, code, message,
                                              catalogText("user_pay.login.error.login_request_failed"));
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
    TVX_LOG_INFO << (weChat ? "[WeChatLoginStatus] code=" : "[QQLoginStatus] code=") << code
                 << "message=" << app::logExcerpt(message);
    if (code == webapi::servicecode::LoginNotFinished) {
        return;
    }
    bool *pending = weChat ? &weChatQrPending : &qqLoginPending;
    if (code == webapi::servicecode::Success) {
        deliverAnswer(weChat ? weChatLoginSucceededCallback : qqLoginSucceededCallback, pending,
                      buildAccountInfoFromResponse(root));
        return;
    }
    FailureCallback callback;
    QString error;
    if (!takeFailure(
            weChat ? weChatLoginFailedCallback : qqLoginFailedCallback, pending, ErrorLookup::ForCallback,
            callType, code, message,
            [weChat] {
                return catalogText(weChat ? "user_pay.login.error.wechat_login_failed"
                                          : "user_pay.login.error.qq_login_failed");
            },
            &callback, &error)) {
        return;
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handleLenovoLogin(int callType, int code, const QString &message,
                                        const QJsonObject &root)
{
    if (code == webapi::servicecode::Success) {
        deliverAnswer(lenovoLoginSucceededCallback, &lenovoLoginPending, buildAccountInfoFromResponse(root));
        return;
    }
    FailureCallback callback;
    QString error;
    if (!takeFailure(
            lenovoLoginFailedCallback, &lenovoLoginPending, ErrorLookup::Always, callType, code, message,
            [] { return catalogText("user_pay.login.error.login_request_failed"); }, &callback, &error)) {
        return;
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handleImageCode(int callType, int code, const QString &message, const QJsonObject &root)
{
    if (code == webapi::servicecode::Success) {
        QString image = message;
        const int comma = image.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            image = image.mid(comma + 1);
        }
        if (image.trimmed().isEmpty()) {
            image = json::stringOf(
                root.value(QStringLiteral("data")).toObject().value(QStringLiteral("imagecode")));
        }
        deliverAnswer(phoneImageCodeChangedCallback, nullptr,
                      QStringLiteral("data:image/png;base64,") + image);
        return;
    }
    FailureCallback callback;
    QString error;
    if (!takeFailure(
            phoneImageCodeFailedCallback, nullptr, ErrorLookup::ForCallback, callType, code, message,
            [] { return catalogText("user_pay.login.error.image_captcha_request_failed"); }, &callback,
            &error)) {
        return;
    }
    if (callback) {
        callback(code, error);
    }
}

void WebUIAPIService::handlePhoneCode(int callType, int code, const QString &message)
{
    if (code == webapi::servicecode::Success) {
        deliverAnswer(phoneCodeSentCallback, nullptr);
        return;
    }
    const bool challenge = isSafeChallengeCode(code);
    ChallengeFailureCallback callback;
    QString error;
    if (!takeFailure(
            phoneCodeFailedCallback, nullptr, ErrorLookup::Always, callType, code, message,
            [] { return catalogText("user_pay.login.error.sms_code_request_failed"); }, &callback, &error)) {
        return;
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
    if (code == webapi::servicecode::Success) {
        deliverAnswer(phoneLoginSucceededCallback, nullptr, buildAccountInfoFromResponse(root));
        return;
    }
    const bool challenge = isSafeChallengeCode(code);
    ChallengeFailureCallback callback;
    QString error;
    const auto fallback = [code] {
        return catalogText("user_pay.login.error.sms_login_failed_with_code")
            .replace(QLatin1String("%1"), QString::number(code));
    };
    if (!takeFailure(phoneLoginFailedCallback, nullptr, ErrorLookup::Always, callType, code, message,
                     fallback, &callback, &error)) {
        return;
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
                 << " message =" << app::logExcerpt(message);
    if (code == webapi::servicecode::Success) {
        const AccountInfo account = buildAccountInfoFromResponse(root);
        TVX_LOG_INFO << "[VirtualAccountLogin] success accountId =" << app::maskPhone(account.accountId)
                     << " tokenEmpty =" << boolText(account.token.trimmed().isEmpty());
        deliverAnswer(virtualAccountLoginSucceededCallback, &virtualLoginPending, account);
        return;
    }
    FailureCallback callback;
    QString error;
    if (!takeFailure(
            virtualAccountLoginFailedCallback, &virtualLoginPending, ErrorLookup::Always, callType, code,
            message, [] { return catalogText("user_pay.login.error.login_request_failed"); }, &callback,
            &error)) {
        return;
    }
    TVX_LOG_WARN << "[VirtualAccountLogin] failed code =" << code << " message =" << app::logExcerpt(error);
    if (callback) {
        callback(code, error);
    }
}

} // namespace user_pay
