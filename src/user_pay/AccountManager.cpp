// Account manager: state, the bridge's answers, start-up check, refresh, apply and clear.
#include "user_pay/AccountManager.h"

#include "core/Log.h"
#include "i18n/I18n.h"
#include "user_pay/WebUIAPIService.h"

#include <QFile>
#include <QMetaObject>
#include <QMutex>
#include <QThreadPool>

#include <utility>

namespace user_pay {

// Answers arrive on the web client's worker threads and may do so while or after the manager
// is destroyed: they post to it only through this gate, under its lock.
struct CallbackGate
{
    QMutex mutex;
    AccountManager *manager = nullptr;

    template <typename F> void post(F &&work)
    {
        QMutexLocker lock(&mutex);
        if (manager)
            QMetaObject::invokeMethod(manager, std::forward<F>(work), Qt::QueuedConnection);
    }
};

AccountManager::AccountManager(QObject *parent) : AccountManager(WebUIAPIService::shared(), parent) {}

AccountManager::AccountManager(std::shared_ptr<WebUIAPIService> bridge, QObject *parent)
    : QObject(parent), webApiService(std::move(bridge)), gate(std::make_shared<CallbackGate>())
{
    gate->manager = this;
    registerCallbacks();
}

AccountManager::~AccountManager()
{
    {
        QMutexLocker lock(&gate->mutex);
        gate->manager = nullptr;
    }
}

void AccountManager::registerCallbacks()
{
    if (!webApiService)
        return;
    const std::shared_ptr<CallbackGate> g = gate;
    WebUIAPIService &bridge = *webApiService;
    bridge.setWeChatLoginUrlChangedCallback([g](const QString &url) {
        g->post([m = g->manager, url] {
            m->weChatLoginUrl = m->resolveWeChatLoginUrlForDisplay(url);
            TVX_LOG_INFO << "[AccountManager] weChatLoginUrl updated ="
                         << app::maskAddress(m->weChatLoginUrl);
            emit m->weChatLoginUrlChanged();
        });
    });
    bridge.setWeChatLoginSucceededCallback([g](const AccountInfo &account) {
        g->post([m = g->manager, account] {
            if (m->weChatLoginUrl.isEmpty()) {
                TVX_LOG_WARN << "[AccountManager] ignore stale weChat login success callback.";
                return;
            }
            m->handleThirdLoginSucceeded(account, ThirdLoginWeChat);
        });
    });
    bridge.setWeChatLoginFailedCallback([g](int code, const QString &message) {
        g->post([m = g->manager, code, message] {
            // An expired or refused ticket must not be shown again: the next attempt asks anew.
            const bool hadPage = !m->weChatLoginUrl.isEmpty();
            m->weChatLoginUrl.clear();
            emit m->operationFailed(code, message);
            emit m->weChatLoginFailed(code, message);
            if (hadPage)
                emit m->weChatLoginUrlChanged();
        });
    });
    bridge.setQQLoginUrlChangedCallback([g](const QString &url) {
        g->post([m = g->manager, url] {
            m->qqLoginUrl = url;
            TVX_LOG_INFO << "[AccountManager] qqLoginUrl updated =" << app::maskAddress(url);
            emit m->qqLoginUrlChanged();
        });
    });
    bridge.setQQLoginSucceededCallback([g](const AccountInfo &account) {
        g->post([m = g->manager, account] {
            if (m->qqLoginUrl.isEmpty()) {
                TVX_LOG_WARN << "[AccountManager] ignore stale QQ login success callback.";
                return;
            }
            m->handleThirdLoginSucceeded(account, ThirdLoginQQ);
        });
    });
    bridge.setQQLoginFailedCallback([g](int code, const QString &message) {
        g->post([m = g->manager, code, message] {
            const bool hadPage = !m->qqLoginUrl.isEmpty();
            m->qqLoginUrl.clear();
            emit m->operationFailed(code, message);
            emit m->qqLoginFailed(code, message);
            if (hadPage)
                emit m->qqLoginUrlChanged();
        });
    });
    bridge.setPhoneImageCodeChangedCallback([g](const QString &url) {
        g->post([m = g->manager, url] {
            m->phoneImageCodeUrl = url;
            emit m->phoneImageCodeUrlChanged();
        });
    });
    bridge.setPhoneImageCodeFailedCallback([g](int code, const QString &message) {
        g->post([m = g->manager, code, message] {
            emit m->operationFailed(code, message);
            emit m->phoneCodeFailed(code, message);
        });
    });
    bridge.setPhoneCodeSentCallback([g] {
        g->post([m = g->manager] {
            m->setChallengeRequired(false);
            emit m->phoneCodeSent();
        });
    });
    bridge.setPhoneCodeFailedCallback([g](int code, const QString &message, bool challenge) {
        g->post([m = g->manager, code, message, challenge] {
            m->setChallengeRequired(challenge);
            emit m->operationFailed(code, message);
            emit m->phoneCodeFailed(code, message);
        });
    });
    bridge.setPhoneLoginSucceededCallback([g](const AccountInfo &account) {
        g->post([m = g->manager, account] { m->handleThirdLoginSucceeded(account, ThirdLoginPhone); });
    });
    bridge.setPhoneLoginFailedCallback([g](int code, const QString &message, bool challenge) {
        g->post([m = g->manager, code, message, challenge] {
            m->setChallengeRequired(challenge);
            emit m->operationFailed(code, message);
            emit m->loginFinished(false);
            emit m->phoneLoginFailed(code, message);
        });
    });
    bridge.setVirtualAccountLoginSucceededCallback([g](const AccountInfo &account) {
        g->post([m = g->manager, account] { m->completeVirtualAccountLogin(account); });
    });
    bridge.setVirtualAccountLoginFailedCallback([g](int code, const QString &message) {
        g->post([code, message] {
            TVX_LOG_WARN << "[AccountManager] virtual account login failed, code=" << code
                         << " message=" << app::logExcerpt(message);
        });
    });
}

void AccountManager::setChallengeRequired(bool required)
{
    if (phoneCodeChallengeRequired == required)
        return;
    phoneCodeChallengeRequired = required;
    emit phoneCodeChallengeRequiredChanged();
}

void AccountManager::initialize()
{
    if (!webApiService)
        webApiService = WebUIAPIService::shared();
    webApiService->initialize();
    refreshLenovoLoginState();

    AccountInfo stored;
    if (loggedIn || !localStore.load(&stored)) {
        requestVirtualAccountLoginIfNeeded();
        return;
    }
    TVX_LOG_INFO << "[AccountManager] local account loaded, accountId =" << app::maskPhone(stored.accountId)
                 << " isVirtualAccount =" << stored.isVirtualAccount;
    const UserPayResult check = webApiService->checkToken(stored.accountId, stored.token);
    // Only the service saying the token is invalid costs the user the stored account. A time-out,
    // a refused connection, a busy channel, an answer that cannot be read and every other code
    // (maintenance, overload) say nothing about the token.
    if (check.code != UserPayResult::Ok && check.serviceCode == webapi::servicecode::TokenInvalid) {
        TVX_LOG_WARN << "[AccountManager] auto login token validation failed:"
                     << app::logExcerpt(check.message) << " serviceCode=" << check.serviceCode;
        clearAccountInfo();
        requestVirtualAccountLoginIfNeeded();
        return;
    }
    // Unverified, the stored account stays signed in as it was saved.
    const bool verified = check.code == UserPayResult::Ok;
    if (!verified)
        TVX_LOG_WARN << "[AccountManager] auto login token check not answered, keep local account:"
                     << app::logExcerpt(check.message);
    applyAccountInfo(stored);
    if (!loggedIn) {
        loggedIn = true;
        emit loggedInChanged();
    }
    if (!verified)
        return;
    AccountInfo copy = accountInfo;
    const UserPayResult refresh = webApiService->refreshAccount(&copy);
    if (refresh.code == UserPayResult::Ok) {
        applyAccountInfo(copy);
    } else if (refresh.serviceCode == webapi::servicecode::TokenInvalid) {
        TVX_LOG_WARN << "[AccountManager] auto login refresh hit invalid token, clear local login state.";
        clearAccountInfo();
    } else {
        TVX_LOG_WARN << "[AccountManager] silent refresh failed:" << app::logExcerpt(refresh.message);
    }
}

void AccountManager::refreshAccountInfoInfo()
{
    if (!loggedIn) {
        emit operationFailed(UserPayResult::Refused,
                             i18n::t(QStringLiteral("user_pay.login.error.account_not_logged_in")));
        return;
    }
    AccountInfo copy = accountInfo;
    const UserPayResult result = webApiService->refreshAccount(&copy);
    if (result.code == UserPayResult::Ok) {
        applyAccountInfo(copy);
        return;
    }
    if (result.serviceCode == webapi::servicecode::TokenInvalid)
        clearAccountInfo();
    emit operationFailed(result.serviceCode != 0 ? result.serviceCode : result.code, result.message);
}

void AccountManager::applyAccountInfo(const AccountInfo &account)
{
    accountInfo = account;
    if (applyingAccount) {
        // Inside the avatar download of an outer apply: that one fetches the picture of the
        // account that is current when its download returns, and saves that account.
        avatarOutdated = true;
        emit accountInfoChanged();
        return;
    }
    applyingAccount = true;
    const quint64 clearsBefore = clearCount;
    for (int round = 0; round < 3; ++round) {
        avatarOutdated = false;
        updateAvatarLocalPath(accountInfo.avatarUrl);
        if (!avatarOutdated || clearCount != clearsBefore)
            break;
    }
    applyingAccount = false;
    if (clearCount != clearsBefore) {
        // Signed out while the picture was on its way: nothing of it may come back.
        avatarLocalPath.clear();
        return;
    }
    emit accountInfoChanged();
    if (!localStore.save(accountInfo))
        TVX_LOG_WARN << "[AccountManager] failed to save account info to local storage.";
}

void AccountManager::clearAccountInfo()
{
    ++clearCount;
    signInCompleted = false;
    const bool hadWeChat = !weChatLoginUrl.isEmpty();
    const bool hadQQ = !qqLoginUrl.isEmpty();
    const bool hadImage = !phoneImageCodeUrl.isEmpty();
    const bool hadChallenge = phoneCodeChallengeRequired;

    accountInfo = AccountInfo();
    avatarLocalPath.clear();
    weChatLoginUrl.clear();
    qqLoginUrl.clear();
    phoneImageCodeUrl.clear();
    pendingPhoneNumber.clear();
    pendingPhoneCode.clear();
    pendingImageCode.clear();
    phoneCodeChallengeRequired = false;
    if (lenovoLoggedIn) {
        lenovoLoggedIn = false;
        emit lenovoLoginStateChanged();
    }
    QFile::remove(avatarCacheFilePath());
    if (loggedIn) {
        loggedIn = false;
        emit loggedInChanged();
    }
    emit accountInfoChanged();
    if (hadWeChat)
        emit weChatLoginUrlChanged();
    if (hadQQ)
        emit qqLoginUrlChanged();
    if (hadImage)
        emit phoneImageCodeUrlChanged();
    if (hadChallenge)
        emit phoneCodeChallengeRequiredChanged();
    if (!localStore.clear())
        TVX_LOG_WARN << "[AccountManager] failed to clear local account storage.";
    refreshLenovoLoginState();
}

void AccountManager::warmupLoginResources()
{
    if (webApiService && !loggedIn)
        webApiService->initialize();
}

void AccountManager::setLoginScene(int scene)
{
    const int normalized = scene == LoginSceneVirtualBind ? LoginSceneVirtualBind : LoginSceneNormal;
    TVX_LOG_INFO << "[AccountManager][VirtualBind] setLoginScene called, input =" << scene
                 << " normalized =" << normalized << " current =" << loginScene;
    if (normalized == loginScene)
        return;
    loginScene = normalized;
    TVX_LOG_INFO << "[AccountManager][VirtualBind] loginScene changed to" << loginScene;
    emit loginSceneChanged();
}

void AccountManager::requestLenovoLogin()
{
    refreshLenovoLoginState();
}

void AccountManager::pollLenovoLoginStatus()
{
    refreshLenovoLoginState();
}

void AccountManager::updateLenovoState(bool loggedInState, bool tokenAvailable, bool deviceMode)
{
    if (lenovoLoggedIn == loggedInState && lenovoTokenAvailable == tokenAvailable &&
        lenovoDeviceMode == deviceMode)
        return;
    lenovoLoggedIn = loggedInState;
    lenovoTokenAvailable = tokenAvailable;
    lenovoDeviceMode = deviceMode;
    emit lenovoLoginStateChanged();
}

void AccountManager::refreshLenovoLoginState()
{
    updateLenovoState(false, false, false);
}

void AccountManager::signOutRemotely(const AccountInfo &account, const char *failureText) const
{
    std::shared_ptr<WebUIAPIService> bridge = webApiService;
    if (!bridge)
        return;
    QThreadPool::globalInstance()->start([bridge, account, failureText] {
        const UserPayResult result = bridge->logout(account);
        if (result.code != UserPayResult::Ok)
            TVX_LOG_WARN << failureText << app::logExcerpt(result.message);
    });
}

} // namespace user_pay
