// The device-bound virtual account, binding it to a real account, and the rollback of a failed
// bind; with the success handling shared by every sign-in, whose first step is the bind test.
#include "user_pay/AccountManager.h"

#include "core/Log.h"
#include "i18n/I18n.h"
#include "user_pay/WebUIAPIService.h"

namespace user_pay {

namespace {
int reportedCode(const UserPayResult &result)
{
    return result.serviceCode != 0 && result.serviceCode != webapi::servicecode::Success ? result.serviceCode
                                                                                         : result.code;
}
} // namespace

void AccountManager::requestVirtualAccountLoginIfNeeded()
{
    if (!webApiService || loggedIn)
        return;
    if (webApiService->requestVirtualAccountLogin())
        TVX_LOG_INFO << "[AccountManager] request virtual account login started.";
    else
        TVX_LOG_WARN << "[AccountManager] request virtual account login failed.";
}

void AccountManager::completeVirtualAccountLogin(AccountInfo account)
{
    // The answer may come late, after somebody signed in for real: a virtual account never
    // replaces a real one.
    if (loggedIn && !accountInfo.isVirtualAccount) {
        TVX_LOG_WARN << "[AccountManager] ignore late virtual account login, a real account is signed in.";
        return;
    }
    if (webApiService) {
        AccountInfo copy = account;
        const UserPayResult refresh = webApiService->refreshAccount(&copy);
        if (refresh.code == UserPayResult::Ok) {
            account = copy;
            TVX_LOG_INFO << "[AccountManager] virtual auto login refresh succeeded, accountId ="
                         << app::maskPhone(account.accountId) << " accountType =" << account.accountType
                         << " isVirtualAccount =" << account.isVirtualAccount;
        } else {
            TVX_LOG_WARN << "[AccountManager] virtual auto login refresh failed:"
                         << app::logExcerpt(refresh.message) << " serviceCode =" << refresh.serviceCode;
        }
    }
    // The refresh waited on this thread; a real sign-in may have landed meanwhile.
    if (loggedIn && !accountInfo.isVirtualAccount)
        return;
    applyAccountInfo(account);
    if (lenovoLoggedIn) {
        lenovoLoggedIn = false;
        emit lenovoLoginStateChanged();
    }
    if (!loggedIn) {
        loggedIn = true;
        emit loggedInChanged();
    }
    emit loginFinished(true);
}

bool AccountManager::shouldTriggerVirtualBind() const
{
    const bool sceneMatched = loginScene == LoginSceneVirtualBind;
    const bool result = sceneMatched && loggedIn && accountInfo.isVirtualAccount;
    TVX_LOG_INFO << "[AccountManager][VirtualBind] shouldTriggerVirtualBind check:"
                 << " sceneMatched =" << sceneMatched << " loggedIn =" << loggedIn
                 << " virtualAccount =" << accountInfo.isVirtualAccount << " result =" << result;
    return result;
}

void AccountManager::handleThirdLoginSucceeded(const AccountInfo &thirdAccount, ThirdLoginType type)
{
    if (signInRunning) {
        // The next poll's answer to the same sign-in, or another sign-in, came in while the
        // avatar of this one downloads: it must not close the dialog and announce a sign-in
        // from inside, nor fetch the picture again. It waits; only the latest is kept.
        deferredSignIn = thirdAccount;
        deferredSignInType = type;
        signInDeferred = true;
        return;
    }
    if (signInCompleted && completedSignInType == type &&
        completedSignIn.accountId == thirdAccount.accountId && completedSignIn.token == thirdAccount.token) {
        TVX_LOG_INFO << "[AccountManager] drop repeated login success, loginType =" << int(type);
        return;
    }
    signInRunning = true;
    completeThirdLogin(thirdAccount, type);
    signInRunning = false;
    completedSignIn = thirdAccount;
    completedSignInType = type;
    signInCompleted = true;
    if (signInDeferred) {
        signInDeferred = false;
        handleThirdLoginSucceeded(deferredSignIn, deferredSignInType);
    }
}

void AccountManager::completeThirdLogin(const AccountInfo &thirdAccount, ThirdLoginType type)
{
    if (lenovoLoggedIn != (type == ThirdLoginLenovo)) {
        lenovoLoggedIn = type == ThirdLoginLenovo;
        emit lenovoLoginStateChanged();
    }
    refreshLenovoLoginState();

    const bool bind = shouldTriggerVirtualBind();
    const AccountInfo snapshot = accountInfo;
    TVX_LOG_INFO << "[AccountManager][VirtualBind] third login success, loginType =" << int(type)
                 << " loginScene =" << loginScene << " shouldBindVirtual =" << bind
                 << " thirdAccount =" << app::maskPhone(thirdAccount.accountId)
                 << " thirdAccountType =" << thirdAccount.accountType
                 << " virtualAccount =" << app::maskPhone(snapshot.accountId)
                 << " virtualTokenEmpty =" << snapshot.token.trimmed().isEmpty();
    if (bind) {
        TVX_LOG_INFO << "[AccountManager][VirtualBind] start bind after third login.";
        const UserPayResult result = bindVirtualAccountAfterLogin(thirdAccount, type, snapshot);
        if (result.code != UserPayResult::Ok) {
            TVX_LOG_WARN << "[AccountManager][VirtualBind] bind failed, code =" << result.code
                         << " serviceCode =" << result.serviceCode
                         << " message =" << app::logExcerpt(result.message);
            rollbackToVirtualAccountAfterBindFailure(thirdAccount, snapshot, result, type);
            return;
        }
        TVX_LOG_INFO << "[AccountManager][VirtualBind] bind succeeded.";
    }
    applyAccountInfo(thirdAccount);
    setChallengeRequired(false);
    switch (type) {
    case ThirdLoginWeChat:
        emit weChatLoginSucceeded();
        break;
    case ThirdLoginQQ:
        emit qqLoginSucceeded();
        break;
    case ThirdLoginLenovo:
        emit lenovoLoginSucceeded();
        break;
    default:
        emit phoneLoginSucceeded();
        break;
    }
    if (!loggedIn) {
        loggedIn = true;
        emit loggedInChanged();
    }
    emit loginFinished(true);
}

UserPayResult AccountManager::bindVirtualAccountAfterLogin(const AccountInfo &thirdAccount,
                                                           ThirdLoginType type,
                                                           const AccountInfo &virtualAccount) const
{
    if (!webApiService)
        return {UserPayResult::Failed, i18n::t(QStringLiteral("user_pay.service.error.webui_not_ready")), 0};
    const QString virtualToken = virtualAccount.token.trimmed();
    if (virtualToken.isEmpty()) {
        TVX_LOG_WARN << "[AccountManager][VirtualBind] virtual token is empty, skip bind.";
        return {UserPayResult::InvalidInput,
                i18n::t(QStringLiteral("user_pay.login.error.account_or_token_empty")), 0};
    }
    if (type == ThirdLoginPhone) {
        const QString accountId = virtualAccount.accountId.trimmed();
        TVX_LOG_INFO << "[AccountManager][VirtualBind] check virtual token before phone bind, accountId ="
                     << app::maskPhone(accountId) << " tokenEmpty =" << false;
        const UserPayResult check = webApiService->checkToken(accountId, virtualToken);
        if (check.code != UserPayResult::Ok) {
            TVX_LOG_WARN << "[AccountManager][VirtualBind] check virtual token before phone bind failed:"
                         << app::logExcerpt(check.message) << " serviceCode =" << check.serviceCode;
            return check;
        }
        QString phone = pendingPhoneNumber.trimmed();
        if (phone.isEmpty())
            phone = thirdAccount.accountId.trimmed();
        const QString smsCode = pendingPhoneCode.trimmed();
        const QString imageCode = pendingImageCode.trimmed();
        TVX_LOG_INFO << "[AccountManager][VirtualBind] bind with phone, phone =" << app::maskPhone(phone)
                     << " smsCodeEmpty =" << smsCode.isEmpty() << " imageCodeEmpty =" << imageCode.isEmpty();
        return webApiService->bindVirtualAccountWithPhone(phone, virtualToken, smsCode, imageCode);
    }
    TVX_LOG_INFO << "[AccountManager][VirtualBind] bind with openId, openId =" << thirdAccount.accountId
                 << " accountType =" << thirdAccount.accountType;
    return webApiService->bindVirtualAccountWithOpenId(thirdAccount.accountId, virtualToken,
                                                       thirdAccount.accountType);
}

void AccountManager::rollbackToVirtualAccountAfterBindFailure(const AccountInfo &thirdAccount,
                                                              const AccountInfo &virtualAccount,
                                                              const UserPayResult &bindResult,
                                                              ThirdLoginType type)
{
    if (lenovoLoggedIn) {
        lenovoLoggedIn = false;
        emit lenovoLoginStateChanged();
    }
    const int code = reportedCode(bindResult);
    const QString message = bindResult.message.trimmed().isEmpty()
                                ? QStringLiteral("Bind failed, please try again.")
                                : bindResult.message;
    TVX_LOG_WARN << "[AccountManager][VirtualBind] rollback after bind failure, loginType =" << int(type)
                 << " bindErrorCode =" << code << " bindErrorMessage =" << app::logExcerpt(message)
                 << " thirdAccount =" << app::maskPhone(thirdAccount.accountId)
                 << " virtualAccount =" << app::maskPhone(virtualAccount.accountId);
    if (!thirdAccount.accountId.trimmed().isEmpty() && !thirdAccount.token.trimmed().isEmpty())
        signOutRemotely(thirdAccount,
                        "[AccountManager] logout third-party account after bind failure failed:");
    if (!virtualAccount.accountId.trimmed().isEmpty() && !virtualAccount.token.trimmed().isEmpty()) {
        TVX_LOG_INFO << "[AccountManager][VirtualBind] restore local virtual account snapshot.";
        applyAccountInfo(virtualAccount);
        if (!loggedIn) {
            loggedIn = true;
            emit loggedInChanged();
        }
    } else {
        TVX_LOG_INFO
            << "[AccountManager][VirtualBind] no local virtual snapshot, request virtual account login.";
        requestVirtualAccountLoginIfNeeded();
    }
    setChallengeRequired(false);
    emit operationFailed(code, message);
    emit virtualBindFailed(message);
    emit loginFinished(false);
    switch (type) {
    case ThirdLoginWeChat:
        emit weChatLoginFailed(code, message);
        break;
    case ThirdLoginQQ:
        emit qqLoginFailed(code, message);
        break;
    case ThirdLoginLenovo:
        emit lenovoLoginFailed(code, message);
        break;
    default:
        emit phoneLoginFailed(code, message);
        break;
    }
}

void AccountManager::bindPhoneDirectly(const QString &phone, const QString &smsCode, const QString &imageCode)
{
    const QString accountId = accountInfo.accountId.trimmed();
    const QString token = accountInfo.token.trimmed();
    TVX_LOG_INFO << "[AccountManager][VirtualBind] bind phone directly without phone login, accountId ="
                 << app::maskPhone(accountId) << " tokenEmpty =" << token.isEmpty();
    auto fail = [this](const UserPayResult &result) {
        const int code = reportedCode(result);
        emit operationFailed(code, result.message);
        emit virtualBindFailed(result.message);
        emit loginFinished(false);
        emit phoneLoginFailed(code, result.message);
    };
    const UserPayResult check = webApiService->checkToken(accountId, token);
    if (check.code != UserPayResult::Ok) {
        TVX_LOG_WARN << "[AccountManager][VirtualBind] check virtual token before phone bind failed:"
                     << app::logExcerpt(check.message) << " serviceCode =" << check.serviceCode;
        return fail(check);
    }
    const UserPayResult bound = webApiService->bindVirtualAccountWithPhone(phone, token, smsCode, imageCode);
    if (bound.code != UserPayResult::Ok) {
        TVX_LOG_WARN << "[AccountManager][VirtualBind] direct phone bind failed:"
                     << app::logExcerpt(bound.message) << " serviceCode =" << bound.serviceCode;
        return fail(bound);
    }
    AccountInfo copy = accountInfo;
    const QString issued = webApiService->takeLastVirtualBindUserToken().trimmed();
    if (!issued.isEmpty())
        copy.token = issued;
    TVX_LOG_INFO << "[AccountManager][VirtualBind] refresh account after direct phone bind, useIssuedToken ="
                 << !issued.isEmpty();
    const UserPayResult refresh = webApiService->refreshAccount(&copy);
    if (refresh.code == UserPayResult::Ok) {
        applyAccountInfo(copy);
    } else {
        TVX_LOG_WARN << "[AccountManager][VirtualBind] refresh account after direct phone bind failed:"
                     << app::logExcerpt(refresh.message) << " serviceCode =" << refresh.serviceCode;
        // The bind made the old token worthless: keep the one it issued, or the next start
        // would find a stored account that can no longer sign in.
        if (!issued.isEmpty()) {
            AccountInfo kept = accountInfo;
            kept.token = issued;
            applyAccountInfo(kept);
        }
    }
    setChallengeRequired(false);
    emit loginFinished(true);
    emit phoneLoginSucceeded();
}

} // namespace user_pay
