// The one object through which the interface sees and changes the signed-in account: sign-in
// flows, the device-bound virtual account and its binding, the avatar, the stored account.
#pragma once

#include "core/DisplayText.h"
#include "user_pay/AccountInfo.h"
#include "user_pay/AccountLocalStore.h"
#include "user_pay/UserPayResult.h"

#include <QObject>
#include <QString>

#include <memory>

namespace user_pay {

class WebUIAPIService;
struct CallbackGate;

class AccountManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool loggedIn READ isLoggedIn NOTIFY loggedInChanged)
    Q_PROPERTY(QString accountId READ accountId NOTIFY accountInfoChanged)
    Q_PROPERTY(QString uid READ uid NOTIFY accountInfoChanged)
    Q_PROPERTY(QString nickname READ nickname NOTIFY accountInfoChanged)
    Q_PROPERTY(bool virtualAccount READ isVirtualAccount NOTIFY accountInfoChanged)
    Q_PROPERTY(QString avatarUrl READ avatarUrl NOTIFY accountInfoChanged)
    Q_PROPERTY(QString avatarLocalPath READ avatarLocalPathValue NOTIFY accountInfoChanged)
    Q_PROPERTY(QString weChatLoginUrl READ weChatLoginUrlValue NOTIFY weChatLoginUrlChanged)
    Q_PROPERTY(QString qqLoginUrl READ qqLoginUrlValue NOTIFY qqLoginUrlChanged)
    Q_PROPERTY(QString phoneImageCodeUrl READ phoneImageCodeUrlValue NOTIFY phoneImageCodeUrlChanged)
    Q_PROPERTY(bool phoneCodeChallengeRequired READ isPhoneCodeChallengeRequired NOTIFY
                   phoneCodeChallengeRequiredChanged)
    Q_PROPERTY(bool lenovoLoggedIn READ isLenovoLoggedIn NOTIFY lenovoLoginStateChanged)
    Q_PROPERTY(bool lenovoTokenAvailable READ isLenovoTokenAvailable NOTIFY lenovoLoginStateChanged)
    Q_PROPERTY(bool lenovoDeviceMode READ isLenovoDeviceMode NOTIFY lenovoLoginStateChanged)
    Q_PROPERTY(bool lenovoLoginEnabled READ isLenovoLoginEnabled CONSTANT)
    Q_PROPERTY(int loginScene READ loginSceneValue WRITE setLoginScene NOTIFY loginSceneChanged)

public:
    enum LoginScene { LoginSceneNormal = 0, LoginSceneVirtualBind = 1 };
    Q_ENUM(LoginScene)
    enum ThirdLoginType { ThirdLoginWeChat = 0, ThirdLoginQQ = 1, ThirdLoginPhone = 2, ThirdLoginLenovo = 3 };

    explicit AccountManager(QObject *parent = nullptr);
    // Tests hand in a bridge of their own; the program uses the process-wide one.
    AccountManager(std::shared_ptr<WebUIAPIService> bridge, QObject *parent);
    ~AccountManager() override;

    bool isLoggedIn() const { return loggedIn; }
    // What the interface shows of the account: the server's text without controls or
    // bidirectional formatting, so it reads on one line in the order it was written.
    QString accountId() const { return app::displayText(accountInfo.accountId); }
    QString uid() const { return app::displayText(accountInfo.uid); }
    QString nickname() const { return app::displayText(accountInfo.nickname); }
    bool isVirtualAccount() const { return accountInfo.isVirtualAccount; }
    QString avatarUrl() const { return accountInfo.avatarUrl; }
    QString avatarLocalPathValue() const { return avatarLocalPath; }
    QString weChatLoginUrlValue() const { return weChatLoginUrl; }
    QString qqLoginUrlValue() const { return qqLoginUrl; }
    QString phoneImageCodeUrlValue() const { return phoneImageCodeUrl; }
    bool isPhoneCodeChallengeRequired() const { return phoneCodeChallengeRequired; }
    bool isLenovoLoggedIn() const { return lenovoLoggedIn; }
    bool isLenovoTokenAvailable() const { return lenovoTokenAvailable; }
    bool isLenovoDeviceMode() const { return lenovoDeviceMode; }
    bool isLenovoLoginEnabled() const { return false; }
    int loginSceneValue() const { return loginScene; }
    const AccountInfo &currentAccount() const { return accountInfo; }

    Q_INVOKABLE void initialize();
    Q_INVOKABLE void setLoginScene(int scene);
    Q_INVOKABLE void login(const QString &account, const QString &credential);
    Q_INVOKABLE void logout();
    Q_INVOKABLE void refreshAccountInfoInfo();
    Q_INVOKABLE void requestWeChatQrLogin();
    Q_INVOKABLE void pollWeChatLoginStatus();
    Q_INVOKABLE QString weChatBrowserLoginUrl();
    Q_INVOKABLE void requestQQLogin();
    Q_INVOKABLE void pollQQLoginStatus();
    Q_INVOKABLE void requestPhoneImageCode();
    Q_INVOKABLE void requestPhoneSmsCode(const QString &phoneNumber, const QString &imageCode);
    Q_INVOKABLE void loginByPhoneCode(const QString &phoneNumber, const QString &phoneCode,
                                      const QString &imageCode);
    Q_INVOKABLE void requestLenovoLogin();
    Q_INVOKABLE void pollLenovoLoginStatus();

    // On the first turn of the event loop: makes the web client and asks the server time early.
    void warmupLoginResources();

    static QString normalizeAvatarDownloadUrl(const QString &address);
    static bool validatePhoneNumber(const QString &text, QString *error = nullptr);
    static bool validatePhoneCode(const QString &text, QString *error = nullptr);
    static bool validateImageCode(const QString &text, QString *error = nullptr);
    static QString avatarCacheFilePath();

signals:
    void loggedInChanged();
    void accountInfoChanged();
    void operationFailed(int code, const QString &message);
    void loginFinished(bool success);
    void logoutFinished(bool success);
    void weChatLoginUrlChanged();
    void weChatLoginSucceeded();
    void weChatLoginFailed(int code, const QString &message);
    void qqLoginUrlChanged();
    void qqLoginSucceeded();
    void qqLoginFailed(int code, const QString &message);
    void phoneImageCodeUrlChanged();
    void phoneCodeChallengeRequiredChanged();
    void phoneCodeSent();
    void phoneCodeFailed(int code, const QString &message);
    void phoneLoginSucceeded();
    void phoneLoginFailed(int code, const QString &message);
    void lenovoLoginSucceeded();
    void lenovoLoginFailed(int code, const QString &message);
    void lenovoLoginStateChanged();
    void loginSceneChanged();
    void virtualBindFailed(const QString &message);

private:
    void registerCallbacks();
    void applyAccountInfo(const AccountInfo &account);
    void clearAccountInfo();
    void updateAvatarLocalPath(const QString &avatarAddress);
    void startWeChatQrLoginRequest();
    QString resolveWeChatLoginUrlForDisplay(const QString &url) const;
    void requestVirtualAccountLoginIfNeeded();
    void completeVirtualAccountLogin(AccountInfo account);
    bool shouldTriggerVirtualBind() const;
    UserPayResult bindVirtualAccountAfterLogin(const AccountInfo &thirdAccount, ThirdLoginType type,
                                               const AccountInfo &virtualAccount) const;
    void handleThirdLoginSucceeded(const AccountInfo &thirdAccount, ThirdLoginType type);
    void completeThirdLogin(const AccountInfo &thirdAccount, ThirdLoginType type);
    void rollbackToVirtualAccountAfterBindFailure(const AccountInfo &thirdAccount,
                                                  const AccountInfo &virtualAccount,
                                                  const UserPayResult &bindResult, ThirdLoginType type);
    void bindPhoneDirectly(const QString &phone, const QString &smsCode, const QString &imageCode);
    void setChallengeRequired(bool required);
    void updateLenovoState(bool loggedInState, bool tokenAvailable, bool deviceMode);
    void refreshLenovoLoginState();
    void signOutRemotely(const AccountInfo &account, const char *failureText) const;

    std::shared_ptr<WebUIAPIService> webApiService;
    AccountLocalStore localStore;
    AccountInfo accountInfo;
    QString avatarLocalPath;
    bool loggedIn = false;
    QString weChatLoginUrl;
    QString qqLoginUrl;
    QString phoneImageCodeUrl;
    bool phoneCodeChallengeRequired = false;
    bool lenovoLoggedIn = false;
    bool lenovoTokenAvailable = false;
    bool lenovoDeviceMode = false;
    qint32 loginScene = LoginSceneNormal;
    QString pendingPhoneNumber;
    QString pendingPhoneCode;
    QString pendingImageCode;

    // Lets answers arriving on the client's threads reach this object only while it lives.
    std::shared_ptr<CallbackGate> gate;
    // The avatar download spins a local event loop; a second apply from inside it waits its turn.
    bool applyingAccount = false;
    bool avatarOutdated = false;
    // The program quit while a picture was on its way: no further picture is fetched.
    bool quitting = false;
    quint64 clearCount = 0;
    // A sign-in answer that arrives while another is being applied (from inside the avatar
    // download's event loop) waits here for it to finish; only the latest is kept.
    bool signInRunning = false;
    bool signInDeferred = false;
    AccountInfo deferredSignIn;
    ThirdLoginType deferredSignInType = ThirdLoginWeChat;
    // The sign-in last completed, until a new one is started or the account is cleared: a
    // further poll's answer that repeats it is the same sign-in.
    bool signInCompleted = false;
    AccountInfo completedSignIn;
    ThirdLoginType completedSignInType = ThirdLoginWeChat;
};

} // namespace user_pay
