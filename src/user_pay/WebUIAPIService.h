// The bridge between the sign-in layer and the account web client: owns the client, holds
// requests back until the server's clock is known, keeps the callbacks through which the
// account manager hears answers, and offers the blocking account calls.
#pragma once

#include "user_pay/AccountInfo.h"
#include "user_pay/UserPayResult.h"
#include "webapi/CallTypes.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <functional>
#include <memory>
#include <string>

class WebInterface;

namespace user_pay {

struct LoginRequest
{
    QString account;
    QString credential;
};

// What the client tells the service about the machine ("deviceos" is os + osVersion).
struct ClientEnvironment
{
    QString deviceType = QStringLiteral("pc");
    QString os = QStringLiteral("win");
    QString osVersion = QStringLiteral("7");
};
ClientEnvironment detectClientEnvironment();
ClientEnvironment detectClientEnvironment(int majorVersion);

// The bridge's callback slots, numbered as the bridge keeps them.
enum class BridgeCallback {
    WeChatLoginUrlChanged = 1,
    WeChatLoginSucceeded,
    WeChatLoginFailed,
    QQLoginUrlChanged,
    QQLoginSucceeded,
    QQLoginFailed,
    PhoneImageCodeChanged,
    PhoneImageCodeFailed,
    PhoneCodeSent,
    PhoneCodeFailed,
    PhoneLoginSucceeded,
    PhoneLoginFailed,
    LenovoLoginSucceeded,
    LenovoLoginFailed,
    VirtualAccountLoginSucceeded,
    VirtualAccountLoginFailed,
};

// The account manager registers fourteen of the sixteen slots, in its own order; the two of the
// vendor account channel stay empty. registrationOrder 0: the manager does not register it.
struct BridgeCallbackRegistration
{
    BridgeCallback slot;
    int registrationOrder;
};
constexpr BridgeCallbackRegistration kBridgeCallbackRegistrations[] = {
    {BridgeCallback::WeChatLoginUrlChanged, 1},
    {BridgeCallback::WeChatLoginSucceeded, 2},
    {BridgeCallback::WeChatLoginFailed, 3},
    {BridgeCallback::QQLoginUrlChanged, 4},
    {BridgeCallback::QQLoginSucceeded, 5},
    {BridgeCallback::QQLoginFailed, 6},
    {BridgeCallback::PhoneImageCodeChanged, 7},
    {BridgeCallback::PhoneImageCodeFailed, 8},
    {BridgeCallback::PhoneCodeSent, 9},
    {BridgeCallback::PhoneCodeFailed, 10},
    {BridgeCallback::PhoneLoginSucceeded, 11},
    {BridgeCallback::PhoneLoginFailed, 12},
    {BridgeCallback::LenovoLoginSucceeded, 0},
    {BridgeCallback::LenovoLoginFailed, 0},
    {BridgeCallback::VirtualAccountLoginSucceeded, 13},
    {BridgeCallback::VirtualAccountLoginFailed, 14},
};

class WebUIAPIService
{
public:
    using UrlCallback = std::function<void(const QString &url)>;
    using AccountCallback = std::function<void(const AccountInfo &account)>;
    using FailureCallback = std::function<void(int code, const QString &message)>;
    using ChallengeFailureCallback =
        std::function<void(int code, const QString &message, bool challengeRequired)>;
    using NotifyCallback = std::function<void()>;
    using DeviceIdProvider = std::function<QString()>;

    // The program's one bridge (created on first use); every call also runs initialize().
    static std::shared_ptr<WebUIAPIService> shared();

    // The program reaches the bridge through shared() only; tests make their own.
    explicit WebUIAPIService(DeviceIdProvider deviceIdProvider = DeviceIdProvider());
    ~WebUIAPIService();
    WebUIAPIService(const WebUIAPIService &) = delete;
    WebUIAPIService &operator=(const WebUIAPIService &) = delete;

    // Creates and configures the client and asks for the server time, once.
    void initialize();
    WebInterface *createWebInterface(void *userData);

    void setWeChatLoginUrlChangedCallback(UrlCallback callback);
    void setWeChatLoginSucceededCallback(AccountCallback callback);
    void setWeChatLoginFailedCallback(FailureCallback callback);
    void setQQLoginUrlChangedCallback(UrlCallback callback);
    void setQQLoginSucceededCallback(AccountCallback callback);
    void setQQLoginFailedCallback(FailureCallback callback);
    void setPhoneImageCodeChangedCallback(UrlCallback callback);
    void setPhoneImageCodeFailedCallback(FailureCallback callback);
    void setPhoneCodeSentCallback(NotifyCallback callback);
    void setPhoneCodeFailedCallback(ChallengeFailureCallback callback);
    void setPhoneLoginSucceededCallback(AccountCallback callback);
    void setPhoneLoginFailedCallback(ChallengeFailureCallback callback);
    void setLenovoLoginSucceededCallback(AccountCallback callback);
    void setLenovoLoginFailedCallback(FailureCallback callback);
    void setVirtualAccountLoginSucceededCallback(AccountCallback callback);
    void setVirtualAccountLoginFailedCallback(FailureCallback callback);

    // Asynchronous requests: true when the client took the request (or one is already on its
    // way); the answer reaches the callbacks on a worker thread of the client.
    bool requestWeChatQrLogin();
    bool pollWeChatLoginStatus();
    bool requestQQLogin();
    bool pollQQLoginStatus();
    bool requestPhoneImageCode();
    bool requestPhoneCode(const QString &phone, bool challengeRequired, const QString &imageCode);
    bool phoneCodeLogin(const QString &phone, const QString &smsCode, bool challengeRequired,
                        const QString &imageCode);
    bool requestVirtualAccountLogin();
    bool requestLenovoTokenLogin(const QString &token);

    // Blocking calls: wait for their answer for at most the blocking-call time limit in all.
    UserPayResult logout(const AccountInfo &account);
    UserPayResult checkToken(const QString &account, const QString &token);
    UserPayResult refreshAccount(AccountInfo *account);
    UserPayResult bindVirtualAccountWithPhone(const QString &phone, const QString &token,
                                              const QString &smsCode, const QString &imageCode);
    UserPayResult bindVirtualAccountWithOpenId(const QString &openId, const QString &token, int accountType);

    UserPayResult login(const LoginRequest &request, AccountInfo *out);
    QString takeLastVirtualBindUserToken();
    QString weChatScanLoginUrl() const;

    // Sign-in page addresses.
    static QString buildWeChatScanLoginUrl(const QString &tag);
    static QString buildWeChatQrUrl(const QString &appId, const QString &tag);
    static QString buildQQLoginUrl(const QString &websiteHost, const QString &tag);

    // The website host named by an organisation domain (the default website when it names none).
    static QString resolveWebsite(const QString &organizationDomain);

    // Answer handling, on the client's worker threads.
    static void webInterfaceCallbackBridge(void *userData, int callType, int objectId, std::string response);
    void handleWebInterfaceCallback(int callType, int objectId, const QString &text);
    static bool parseResponse(const QString &text, int *code, QString *message, QJsonObject *root);
    static bool isSafeChallengeCode(int code);
    static AccountInfo buildAccountInfoFromResponse(const QJsonObject &root);

private:
    struct BlockingCallState
    {
        QWaitCondition condition;
        bool inFlight = false;
        bool done = false;
        UserPayResult result;
    };
    struct RefreshAccountState : BlockingCallState
    {
        AccountInfo account;
    };
    // What differs between the five blocking calls; every hook runs with the mutex held.
    struct BlockingCall
    {
        BlockingCallState *state;
        int callType;
        QString busyKey;
        QString presetKey;
        QString refusedKey;
        QString timeoutKey;
        std::function<void()> prepare;           // before sending
        std::function<int(WebInterface *)> send; // the client's result
        std::function<void()> onBusy;
        std::function<void(int ret)> onRefused;
        std::function<void(int timeoutMs)> onTimeout;
        std::function<void(const UserPayResult &)> complete; // when the answer came
    };

    // Marks the bridge closing and deletes the client (joining its worker threads).
    void shutdown();
    WebInterface *createWebInterfaceInstance(void *userData) const;
    QString resolveWebsite() const;
    QString getUuid() const;
    UserPayResult runBlockingCall(const BlockingCall &call);
    QString resolveWebApiErrorMessage(int callType, int code, const QString &serverMessage,
                                      const QString &fallback) const;
    void finishBlockingCall(BlockingCallState &state, const UserPayResult &result);
    // True when an answer of this call type belongs to a call that already gave up (and counts
    // it off). Called with the mutex held.
    bool takeLateAnswer(int callType);
    BlockingCallState *blockingStateFor(int callType, int objectId);
    // Called with the mutex held: true when a waiting blocking call is owed this answer; false
    // while closing, for a late answer (counted off) or when no call waits.
    bool owesAnswer(int callType, const BlockingCallState &state);

    // When a failed answer's text is looked up: only for a callback that will hear it, or always
    // (the text is also logged). A lookup logs the catalog keys it misses.
    enum class ErrorLookup { ForCallback, Always };
    // An asynchronous request's answer: under the mutex, unless the bridge is closing, clears
    // *pending (when given) and takes the callback from slot, which hears args after the lock.
    template <typename Callback, typename... Args>
    void deliverAnswer(const Callback &slot, bool *pending, const Args &...args);
    // The same for a failed answer, which also takes the text the callback is to hear (fallback()
    // when nothing better is known); false when the bridge is closing.
    template <typename Callback, typename Fallback>
    bool takeFailure(const Callback &slot, bool *pending, ErrorLookup lookup, int callType, int code,
                     const QString &message, Fallback fallback, Callback *callback, QString *error);

    void handleTicket(bool weChat, int callType, int code, const QString &message, const QJsonObject &root,
                      const QString &text);
    void handleServerTime(int code, const QString &message, const QJsonObject &root);
    void handleLoginState(bool weChat, int callType, int code, const QString &message,
                          const QJsonObject &root);
    void handleLenovoLogin(int callType, int code, const QString &message, const QJsonObject &root);
    void handleImageCode(int callType, int code, const QString &message, const QJsonObject &root);
    void handlePhoneCode(int callType, int code, const QString &message);
    void handlePhoneLogin(int callType, int code, const QString &message, const QJsonObject &root);
    void handleVirtualLogin(int callType, int objectId, int code, const QString &message,
                            const QJsonObject &root);
    void handleBind(int callType, int objectId, int code, const QString &message, const QJsonObject &root);
    void handleRefresh(int callType, int code, const QString &message, const QJsonObject &root);
    void handleCheckToken(int callType, int code, const QString &message);
    void handleLogout(int callType, int code, const QString &message);

    mutable QMutex mutex;
    const DeviceIdProvider deviceIdProvider;
    mutable QString deviceId;
    std::unique_ptr<WebInterface> webInterface;
    // Set once destruction begins: no client is made again, and answers still arriving from the
    // client's worker threads change nothing and reach nobody.
    bool closing = false;
    QString weChatLoginTag;
    QString qqLoginTag;
    bool serverTimeReady = false;
    bool weChatQrDeferred = false;
    bool weChatQrPending = false;
    bool qqLoginDeferred = false;
    bool qqLoginPending = false;
    bool lenovoLoginPending = false;
    bool virtualLoginDeferred = false;
    bool virtualLoginPending = false;

    UrlCallback weChatLoginUrlChangedCallback;
    AccountCallback weChatLoginSucceededCallback;
    FailureCallback weChatLoginFailedCallback;
    UrlCallback qqLoginUrlChangedCallback;
    AccountCallback qqLoginSucceededCallback;
    FailureCallback qqLoginFailedCallback;
    UrlCallback phoneImageCodeChangedCallback;
    FailureCallback phoneImageCodeFailedCallback;
    NotifyCallback phoneCodeSentCallback;
    ChallengeFailureCallback phoneCodeFailedCallback;
    AccountCallback phoneLoginSucceededCallback;
    ChallengeFailureCallback phoneLoginFailedCallback;
    AccountCallback lenovoLoginSucceededCallback;
    FailureCallback lenovoLoginFailedCallback;
    AccountCallback virtualAccountLoginSucceededCallback;
    FailureCallback virtualAccountLoginFailedCallback;

    RefreshAccountState refreshState;
    BlockingCallState logoutState;
    BlockingCallState checkTokenState;
    BlockingCallState bindState;
    QString lastVirtualBindUserToken;
    // Per call type: answers still to come for blocking calls that timed out. The client drops a
    // request made while its call type's previous one is in flight and reports it sent, so such
    // an answer can arrive while the next call of that kind waits; it must not become that
    // call's result.
    int lateAnswers[webapi::calltype::kCount] = {};
};

} // namespace user_pay
