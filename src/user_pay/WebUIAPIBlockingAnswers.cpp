// The bridge's handling of the answers its blocking calls wait for, on the client's worker threads:
// each ends the waiting call with its result, under the mutex.
#include "core/Log.h"
#include "user_pay/JsonValues.h"
#include "user_pay/WebUIAPIService.h"
#include "user_pay/WebUIAPIServiceInternal.h"

#include <QMutexLocker>

namespace user_pay {

using detail::boolText;
using detail::catalogText;

bool WebUIAPIService::owesAnswer(int callType, const BlockingCallState &state)
{
    return !closing && !takeLateAnswer(callType) && state.inFlight;
}

void WebUIAPIService::handleBind(int callType, int objectId, int code, const QString &message,
                                 const QJsonObject &root)
{
    TVX_LOG_INFO << "[VirtualBind] callback received, interfaceType =" << callType
                 << " objectId =" << objectId << " code =" << code
                 << " message =" << app::logExcerpt(message);
    QMutexLocker lock(&mutex);
    if (closing) {
        return;
    }
    if (takeLateAnswer(callType) || !bindState.inFlight) {
        TVX_LOG_WARN << "[VirtualBind] callback ignored, bind state is not pending.";
        return;
    }
    UserPayResult result;
    if (code == webapi::servicecode::Success) {
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
        TVX_LOG_WARN << "[VirtualBind] callback failed, code =" << code
                     << " errorMessage =" << app::logExcerpt(error);
        result.code = UserPayResult::Failed;
        result.message = error;
        result.serviceCode = code;
    }
    finishBlockingCall(bindState, result);
}

void WebUIAPIService::handleRefresh(int callType, int code, const QString &message, const QJsonObject &root)
{
    const AccountInfo account = buildAccountInfoFromResponse(root);
    QMutexLocker lock(&mutex);
    if (!owesAnswer(callType, refreshState)) {
        return;
    }
    UserPayResult result;
    if (code == webapi::servicecode::Success) {
        if (isUsableAccount(account)) {
            refreshState.account = account;
        } else {
            result.code = UserPayResult::Failed;
            result.message = catalogText("user_pay.login.error.refresh_account_response_invalid");
            result.serviceCode = 0;
        }
    } else {
        result.code =
            code == webapi::servicecode::TokenInvalid ? UserPayResult::Refused : UserPayResult::Failed;
        result.message = resolveWebApiErrorMessage(
            callType, code, message, catalogText("user_pay.login.error.refresh_account_failed"));
        result.serviceCode = code;
    }
    finishBlockingCall(refreshState, result);
}

void WebUIAPIService::handleCheckToken(int callType, int code, const QString &message)
{
    QMutexLocker lock(&mutex);
    if (!owesAnswer(callType, checkTokenState)) {
        return;
    }
    UserPayResult result;
    if (code == webapi::servicecode::Success || code == webapi::servicecode::TokenCheckNoCode ||
        code == webapi::servicecode::TokenCheckValid) {
        // The service also answers a valid token with these codes.
    } else if (code == webapi::servicecode::TokenInvalid) {
        result.code = UserPayResult::Refused;
        result.message = resolveWebApiErrorMessage(callType, code, message,
                                                   catalogText("user_pay.login.error.token_invalid"));
        result.serviceCode = code;
    } else {
        result.code = UserPayResult::Failed;
        result.message = resolveWebApiErrorMessage(
            callType, code, message, catalogText("user_pay.login.error.token_validation_failed"));
        result.serviceCode = code;
    }
    finishBlockingCall(checkTokenState, result);
}

void WebUIAPIService::handleLogout(int callType, int code, const QString &message)
{
    QMutexLocker lock(&mutex);
    if (!owesAnswer(callType, logoutState)) {
        return;
    }
    UserPayResult result;
    if (code != webapi::servicecode::Success) {
        result.code = UserPayResult::Failed;
        result.message = resolveWebApiErrorMessage(callType, code, message,
                                                   catalogText("user_pay.login.error.logout_failed"));
        result.serviceCode = 0;
    }
    finishBlockingCall(logoutState, result);
}

} // namespace user_pay
