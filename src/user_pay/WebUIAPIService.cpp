// The bridge's set-up, its request operations and its blocking calls.
#include "user_pay/WebUIAPIService.h"

#include "core/Log.h"
#include "i18n/I18n.h"
#include "user_pay/AccountConfig.h"
#include "user_pay/UUIDProvider.h"
#include "user_pay/WebUIAPIServiceInternal.h"
#include "webapi/ObjectIds.h"
#include "webapi/WebInterface.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QOperatingSystemVersion>
#include <QUuid>

namespace user_pay {

using detail::boolText;
namespace calltype = webapi::calltype;
namespace objectid = webapi::objectid;

namespace {

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

UserPayResult localFailure(int code, const QString &key)
{
    UserPayResult result;
    result.code = code;
    result.message = i18n::t(key);
    result.serviceCode = 0;
    return result;
}

} // namespace

ClientEnvironment detectClientEnvironment(int majorVersion)
{
    ClientEnvironment environment;
    if (majorVersion == 8) {
        environment.osVersion = QStringLiteral("8");
    } else if (majorVersion > 9) {
        environment.osVersion = QStringLiteral("10");
    }
    return environment;
}

ClientEnvironment detectClientEnvironment()
{
    return detectClientEnvironment(QOperatingSystemVersion::current().majorVersion());
}

std::shared_ptr<WebUIAPIService> WebUIAPIService::shared()
{
    // The client is made inside the initialiser on purpose: its TLS library registers a clean-up
    // at exit when the first client is made, and the bridge's destructor must be registered
    // after it, so that it runs first (exit handlers run in reverse) and the client is gone
    // before the library cleans up.
    static const std::shared_ptr<WebUIAPIService> instance = [] {
        auto created = std::make_shared<WebUIAPIService>();
        created->initialize();
        return created;
    }();
    instance->initialize();
    return instance;
}

WebUIAPIService::WebUIAPIService(DeviceIdProvider provider) : deviceIdProvider(std::move(provider)) {}

WebUIAPIService::~WebUIAPIService()
{
    shutdown();
}

void WebUIAPIService::shutdown()
{
    std::unique_ptr<WebInterface> client;
    {
        QMutexLocker lock(&mutex);
        closing = true;
        client = std::move(webInterface);
    }
    // Deleting the client joins its worker threads; one of them may be delivering an answer and
    // need the mutex, so the mutex must be free meanwhile.
    client.reset();
}

void WebUIAPIService::initialize()
{
    QMutexLocker lock(&mutex);
    if (webInterface || closing) {
        return;
    }
    webInterface.reset(createWebInterfaceInstance(this));
    webInterface->connect(&WebUIAPIService::webInterfaceCallbackBridge);
    webInterface->V4GetServerTime(objectid::ServerTime);
}

WebInterface *WebUIAPIService::createWebInterface(void *userData)
{
    QMutexLocker lock(&mutex);
    if (!webInterface && !closing) {
        webInterface.reset(createWebInterfaceInstance(userData));
        webInterface->connect(&WebUIAPIService::webInterfaceCallbackBridge);
    }
    return webInterface.get();
}

WebInterface *WebUIAPIService::createWebInterfaceInstance(void *userData) const
{
    const ClientEnvironment environment = detectClientEnvironment();
    const QString website = resolveWebsite();
    const QString deviceOs = environment.os + environment.osVersion;
    const QString id = getUuid();
    const std::string productId = utf8(config::productId());
    const std::string credential = utf8(config::clientCredential());
    auto *client = new WebInterface(userData, utf8(id), utf8(website), "Tavrixo", "1.0.0.0", "zh-cn",
                                    productId, credential, "windows");
    client->SetDetailedLogOut(false);
    client->SetTestServer(false, false);
    client->SetInterfaceVer(4);
    client->V4SetHttpHeadInfo(utf8(deviceOs), utf8(environment.deviceType), productId, credential);
    return client;
}

QString WebUIAPIService::resolveWebsite(const QString &organizationDomain)
{
    QString host = organizationDomain.trimmed();
    if (host.isEmpty()) {
        return config::accountHost();
    }
    if (host.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        host = host.mid(8);
    } else if (host.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
        host = host.mid(7);
    }
    const int slash = host.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        host = host.left(slash);
    }
    if (host.compare(config::websiteAlias(), Qt::CaseInsensitive) == 0 ||
        host.compare(config::websiteAliasWww(), Qt::CaseInsensitive) == 0) {
        return config::accountHost();
    }
    return host;
}

QString WebUIAPIService::resolveWebsite() const
{
    return resolveWebsite(QCoreApplication::organizationDomain());
}

QString WebUIAPIService::getUuid() const
{
    if (!deviceId.isEmpty()) {
        return deviceId;
    }
    const QString provided = deviceIdProvider ? deviceIdProvider() : UUIDProvider::getUuid();
    if (!provided.trimmed().isEmpty()) {
        deviceId = provided;
        return deviceId;
    }
    // Nothing identifies this machine: an id of this run alone, rather than one shared by every
    // such machine.
    deviceId = QUuid::createUuid().toString(QUuid::WithoutBraces).remove(QLatin1Char('-'));
    return deviceId;
}

void WebUIAPIService::setWeChatLoginUrlChangedCallback(UrlCallback callback)
{
    QMutexLocker lock(&mutex);
    weChatLoginUrlChangedCallback = std::move(callback);
}
void WebUIAPIService::setWeChatLoginSucceededCallback(AccountCallback callback)
{
    QMutexLocker lock(&mutex);
    weChatLoginSucceededCallback = std::move(callback);
}
void WebUIAPIService::setWeChatLoginFailedCallback(FailureCallback callback)
{
    QMutexLocker lock(&mutex);
    weChatLoginFailedCallback = std::move(callback);
}
void WebUIAPIService::setQQLoginUrlChangedCallback(UrlCallback callback)
{
    QMutexLocker lock(&mutex);
    qqLoginUrlChangedCallback = std::move(callback);
}
void WebUIAPIService::setQQLoginSucceededCallback(AccountCallback callback)
{
    QMutexLocker lock(&mutex);
    qqLoginSucceededCallback = std::move(callback);
}
void WebUIAPIService::setQQLoginFailedCallback(FailureCallback callback)
{
    QMutexLocker lock(&mutex);
    qqLoginFailedCallback = std::move(callback);
}
void WebUIAPIService::setPhoneImageCodeChangedCallback(UrlCallback callback)
{
    QMutexLocker lock(&mutex);
    phoneImageCodeChangedCallback = std::move(callback);
}
void WebUIAPIService::setPhoneImageCodeFailedCallback(FailureCallback callback)
{
    QMutexLocker lock(&mutex);
    phoneImageCodeFailedCallback = std::move(callback);
}
void WebUIAPIService::setPhoneCodeSentCallback(NotifyCallback callback)
{
    QMutexLocker lock(&mutex);
    phoneCodeSentCallback = std::move(callback);
}
void WebUIAPIService::setPhoneCodeFailedCallback(ChallengeFailureCallback callback)
{
    QMutexLocker lock(&mutex);
    phoneCodeFailedCallback = std::move(callback);
}
void WebUIAPIService::setPhoneLoginSucceededCallback(AccountCallback callback)
{
    QMutexLocker lock(&mutex);
    phoneLoginSucceededCallback = std::move(callback);
}
void WebUIAPIService::setPhoneLoginFailedCallback(ChallengeFailureCallback callback)
{
    QMutexLocker lock(&mutex);
    phoneLoginFailedCallback = std::move(callback);
}
void WebUIAPIService::setLenovoLoginSucceededCallback(AccountCallback callback)
{
    QMutexLocker lock(&mutex);
    lenovoLoginSucceededCallback = std::move(callback);
}
void WebUIAPIService::setLenovoLoginFailedCallback(FailureCallback callback)
{
    QMutexLocker lock(&mutex);
    lenovoLoginFailedCallback = std::move(callback);
}
void WebUIAPIService::setVirtualAccountLoginSucceededCallback(AccountCallback callback)
{
    QMutexLocker lock(&mutex);
    virtualAccountLoginSucceededCallback = std::move(callback);
}
void WebUIAPIService::setVirtualAccountLoginFailedCallback(FailureCallback callback)
{
    QMutexLocker lock(&mutex);
    virtualAccountLoginFailedCallback = std::move(callback);
}

bool WebUIAPIService::requestWeChatQrLogin()
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface) {
        return false;
    }
    if (weChatQrPending) {
        return true;
    }
    weChatLoginTag.clear();
    weChatQrPending = true;
    if (!serverTimeReady) {
        weChatQrDeferred = true;
        webInterface->V4GetServerTime(objectid::ServerTime);
        return true;
    }
    if (webInterface->V4WeChatLogin(objectid::WeChatLogin) != 0) {
        weChatQrPending = false;
        return false;
    }
    return true;
}

bool WebUIAPIService::requestQQLogin()
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface) {
        return false;
    }
    if (qqLoginPending) {
        return true;
    }
    qqLoginTag.clear();
    qqLoginPending = true;
    if (!serverTimeReady) {
        qqLoginDeferred = true;
        webInterface->V4GetServerTime(objectid::ServerTime);
        return true;
    }
    if (webInterface->V4QQlogin(objectid::QQLogin) != 0) {
        qqLoginPending = false;
        return false;
    }
    return true;
}

bool WebUIAPIService::pollWeChatLoginStatus()
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface || weChatLoginTag.isEmpty()) {
        return false;
    }
    return webInterface->V4GetLoginState(utf8(weChatLoginTag), objectid::WeChatLogin) == 0;
}

bool WebUIAPIService::pollQQLoginStatus()
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface || qqLoginTag.isEmpty()) {
        return false;
    }
    return webInterface->V4GetLoginState(utf8(qqLoginTag), objectid::QQLogin) == 0;
}

bool WebUIAPIService::requestPhoneImageCode()
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface || !serverTimeReady) {
        return false;
    }
    return webInterface->V4GetImgCheckCode(80, 36, 4, 15, objectid::PhoneCode) == 0;
}

bool WebUIAPIService::requestPhoneCode(const QString &phone, bool challengeRequired, const QString &imageCode)
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface || !serverTimeReady) {
        return false;
    }
    // The safety-challenge call carries no image code.
    const int ret =
        challengeRequired
            ? webInterface->SafeGetPhoneCheckCode(utf8(phone), "quicklogin", "", "", objectid::SafePhoneCode)
            : webInterface->V4GetPhoneCheckCode(utf8(phone), -1, utf8(imageCode), "quicklogin", "", "",
                                                objectid::PhoneCode);
    return ret == 0;
}

bool WebUIAPIService::phoneCodeLogin(const QString &phone, const QString &smsCode, bool challengeRequired,
                                     const QString &imageCode)
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface || !serverTimeReady) {
        return false;
    }
    const int ret = challengeRequired
                        ? webInterface->SafePhoneCodeLogin(utf8(phone), utf8(smsCode), objectid::PhoneLogin)
                        : webInterface->V4PhoneCodeLogin(utf8(phone), -1, utf8(smsCode), utf8(imageCode),
                                                         objectid::PhoneLogin);
    return ret == 0;
}

bool WebUIAPIService::requestVirtualAccountLogin()
{
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface) {
        return false;
    }
    if (virtualLoginPending) {
        return true;
    }
    virtualLoginPending = true;
    if (serverTimeReady) {
        const int ret = webInterface->VirtualactRegister(utf8(getUuid()), 0, objectid::VirtualAccountLogin);
        TVX_LOG_INFO << "[VirtualAccountLogin] VirtualactRegister ret =" << ret
                     << " objectId =" << objectid::VirtualAccountLogin;
        if (ret != 0) {
            virtualLoginPending = false;
        }
        return ret == 0;
    }
    TVX_LOG_INFO << "[VirtualAccountLogin] server time not ready, request V4GetServerTime first.";
    virtualLoginDeferred = true;
    webInterface->V4GetServerTime(objectid::ServerTime);
    // Sent at once on the local clock; should the client refuse it, the marks stay set and the
    // server-time answer sends it again.
    const int ret = webInterface->VirtualactRegister(utf8(getUuid()), 0, objectid::VirtualAccountLogin);
    TVX_LOG_INFO << "[VirtualAccountLogin] fallback VirtualactRegister ret =" << ret
                 << " objectId =" << objectid::VirtualAccountLogin;
    if (ret == 0) {
        virtualLoginDeferred = false;
    }
    return true;
}

bool WebUIAPIService::requestLenovoTokenLogin(const QString &token)
{
    const QString trimmed = token.trimmed();
    if (trimmed.isEmpty()) {
        return false;
    }
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface) {
        return false;
    }
    if (lenovoLoginPending) {
        return true;
    }
    lenovoLoginPending = true;
    const int ret = webInterface->V4_LenvoeLogin(utf8(trimmed), objectid::LenovoLogin);
    if (ret != 0) {
        lenovoLoginPending = false;
        return false;
    }
    return true;
}

UserPayResult WebUIAPIService::runBlockingCall(const BlockingCall &call)
{
    // Read before the mutex is taken: the configuration is a file.
    const int timeoutMs = config::blockingCallTimeoutMs();
    initialize();
    QMutexLocker lock(&mutex);
    if (!webInterface) {
        return localFailure(UserPayResult::Failed, QStringLiteral("user_pay.service.error.webui_not_ready"));
    }
    BlockingCallState &state = *call.state;
    if (state.inFlight) {
        if (call.onBusy) {
            call.onBusy();
        }
        return localFailure(UserPayResult::Refused, call.busyKey);
    }
    state.inFlight = true;
    state.done = false;
    state.result = localFailure(UserPayResult::Failed, call.presetKey);
    if (call.prepare) {
        call.prepare();
    }
    // While an earlier call's answer is still owed, the client drops this request (its call
    // type's channel is busy) and no answer of its own will come.
    const bool answerOwed = lateAnswers[call.callType] > 0;
    const int ret = call.send(webInterface.get());
    if (ret != 0) {
        state.inFlight = false;
        if (call.onRefused) {
            call.onRefused(ret);
        }
        return localFailure(UserPayResult::Failed, call.refusedKey);
    }
    // One deadline for the whole wait: wake-ups that find no answer do not restart the clock.
    const QDeadlineTimer deadline(timeoutMs);
    while (!state.done) {
        if (!state.condition.wait(&mutex, deadline)) {
            break;
        }
    }
    if (!state.done) {
        state.inFlight = false;
        if (!answerOwed) {
            ++lateAnswers[call.callType];
        }
        if (call.onTimeout) {
            call.onTimeout(timeoutMs);
        }
        return localFailure(UserPayResult::Failed, call.timeoutKey);
    }
    const UserPayResult result = state.result;
    if (call.complete) {
        call.complete(result);
    }
    state.inFlight = false;
    state.done = false;
    return result;
}

UserPayResult WebUIAPIService::logout(const AccountInfo &account)
{
    const QString accountId = account.accountId.trimmed();
    const QString token = account.token.trimmed();
    if (accountId.isEmpty() || token.isEmpty()) {
        // Nobody is signed in at the service: nothing to sign out.
        return UserPayResult();
    }
    BlockingCall call;
    call.state = &logoutState;
    call.callType = calltype::V4Logout;
    call.busyKey = QStringLiteral("user_pay.login.error.logout_in_progress");
    call.refusedKey = QStringLiteral("user_pay.login.error.logout_request_failed");
    call.presetKey = call.timeoutKey = QStringLiteral("user_pay.login.error.logout_timeout");
    call.send = [&](WebInterface *client) {
        return client->V4Logout(utf8(accountId), utf8(token), objectid::Logout);
    };
    return runBlockingCall(call);
}

UserPayResult WebUIAPIService::checkToken(const QString &account, const QString &token)
{
    const QString accountId = account.trimmed();
    const QString trimmedToken = token.trimmed();
    if (accountId.isEmpty() || trimmedToken.isEmpty()) {
        return localFailure(UserPayResult::InvalidInput,
                            QStringLiteral("user_pay.login.error.account_or_token_empty"));
    }
    BlockingCall call;
    call.state = &checkTokenState;
    call.callType = calltype::V4CheckToken;
    call.busyKey = QStringLiteral("user_pay.login.error.check_token_in_progress");
    call.refusedKey = QStringLiteral("user_pay.login.error.check_token_request_failed");
    call.presetKey = call.timeoutKey = QStringLiteral("user_pay.login.error.check_token_timeout");
    call.send = [&](WebInterface *client) {
        return client->V4CheckToken(utf8(accountId), utf8(trimmedToken), objectid::CheckToken);
    };
    return runBlockingCall(call);
}

UserPayResult WebUIAPIService::refreshAccount(AccountInfo *account)
{
    if (!account) {
        return localFailure(UserPayResult::InvalidInput,
                            QStringLiteral("user_pay.login.error.output_account_info_null"));
    }
    const QString accountId = account->accountId.trimmed();
    const QString token = account->token.trimmed();
    if (accountId.isEmpty() || token.isEmpty()) {
        return localFailure(UserPayResult::InvalidInput,
                            QStringLiteral("user_pay.login.error.account_or_token_empty"));
    }
    BlockingCall call;
    call.state = &refreshState;
    call.callType = calltype::V4GetUserInfo;
    call.busyKey = QStringLiteral("user_pay.login.error.refresh_account_in_progress");
    call.refusedKey = QStringLiteral("user_pay.login.error.refresh_account_request_failed");
    call.presetKey = call.timeoutKey = QStringLiteral("user_pay.login.error.refresh_account_timeout");
    call.prepare = [this] { refreshState.account = AccountInfo(); };
    call.send = [&](WebInterface *client) {
        return client->V4GetUserInfo(utf8(accountId), -1, utf8(token), objectid::RefreshAccount);
    };
    call.complete = [&](const UserPayResult &result) {
        if (result.code == UserPayResult::Ok) {
            *account = refreshState.account;
        }
    };
    return runBlockingCall(call);
}

UserPayResult WebUIAPIService::bindVirtualAccountWithPhone(const QString &phone, const QString &token,
                                                           const QString &smsCode, const QString &imageCode)
{
    const QString trimmedPhone = phone.trimmed();
    const QString trimmedToken = token.trimmed();
    const QString trimmedSms = smsCode.trimmed();
    const QString trimmedImage = imageCode.trimmed();
    if (trimmedPhone.isEmpty() || trimmedToken.isEmpty() || trimmedSms.isEmpty()) {
        TVX_LOG_WARN << "[VirtualBind] invalid phone bind args, phoneEmpty ="
                     << boolText(trimmedPhone.isEmpty())
                     << " tokenEmpty =" << boolText(trimmedToken.isEmpty())
                     << " smsEmpty =" << boolText(trimmedSms.isEmpty())
                     << " imageCodeEmpty =" << boolText(trimmedImage.isEmpty());
        return localFailure(UserPayResult::InvalidInput,
                            QStringLiteral("user_pay.login.error.account_or_token_empty"));
    }
    const QString failedKey = QStringLiteral("user_pay.login.error.login_request_failed");
    BlockingCall call;
    call.state = &bindState;
    call.callType = calltype::VirtualactBind;
    call.busyKey = call.presetKey = call.refusedKey = call.timeoutKey = failedKey;
    call.prepare = [&] {
        lastVirtualBindUserToken.clear();
        TVX_LOG_INFO << "[VirtualBind] send phone bind request, phone =" << app::maskPhone(trimmedPhone)
                     << " imageCodeEmpty =" << boolText(trimmedImage.isEmpty())
                     << " objectId =" << objectid::BindPhone;
    };
    call.send = [&](WebInterface *client) {
        return client->VirtualactBind(utf8(trimmedPhone), utf8(trimmedToken), utf8(trimmedSms),
                                      utf8(trimmedImage), objectid::BindPhone);
    };
    call.onRefused = [](int ret) {
        TVX_LOG_WARN << "[VirtualBind] phone bind request failed to send, ret =" << ret;
    };
    call.onTimeout = [](int timeoutMs) {
        TVX_LOG_WARN << "[VirtualBind] wait phone bind callback timeout, timeoutMs =" << timeoutMs;
    };
    call.onBusy = [] {
        TVX_LOG_WARN << "[VirtualBind] phone bind rejected, previous bind request still pending.";
    };
    call.complete = [](const UserPayResult &result) {
        TVX_LOG_INFO << "[VirtualBind] phone bind finished, ok ="
                     << boolText(result.code == UserPayResult::Ok) << " code =" << result.code
                     << " serviceCode =" << result.serviceCode
                     << " message =" << app::logExcerpt(result.message);
    };
    return runBlockingCall(call);
}

UserPayResult WebUIAPIService::bindVirtualAccountWithOpenId(const QString &openId, const QString &token,
                                                            int accountType)
{
    const QString trimmedOpenId = openId.trimmed();
    const QString trimmedToken = token.trimmed();
    if (trimmedOpenId.isEmpty() || trimmedToken.isEmpty() || accountType <= 0) {
        TVX_LOG_WARN << "[VirtualBind] invalid openId bind args, bindAccountEmpty ="
                     << boolText(trimmedOpenId.isEmpty())
                     << " tokenEmpty =" << boolText(trimmedToken.isEmpty())
                     << " accountType =" << accountType;
        return localFailure(UserPayResult::InvalidInput,
                            QStringLiteral("user_pay.login.error.account_or_token_empty"));
    }
    const QString failedKey = QStringLiteral("user_pay.login.error.login_request_failed");
    BlockingCall call;
    call.state = &bindState;
    call.callType = calltype::BindWeChatQQ;
    call.busyKey = call.presetKey = call.refusedKey = call.timeoutKey = failedKey;
    call.prepare = [&] {
        lastVirtualBindUserToken.clear();
        TVX_LOG_INFO << "[VirtualBind] send openId bind request, bindAccount =" << trimmedOpenId
                     << " accountType =" << accountType << " objectId =" << objectid::BindOpenId;
    };
    call.send = [&](WebInterface *client) {
        return client->BindWeChatQQ(utf8(trimmedOpenId), utf8(trimmedToken), accountType,
                                    objectid::BindOpenId);
    };
    call.onRefused = [](int ret) {
        TVX_LOG_WARN << "[VirtualBind] openId bind request failed to send, ret =" << ret;
    };
    call.onTimeout = [](int timeoutMs) {
        TVX_LOG_WARN << "[VirtualBind] wait openId bind callback timeout, timeoutMs =" << timeoutMs;
    };
    call.onBusy = [] {
        TVX_LOG_WARN << "[VirtualBind] openId bind rejected, previous bind request still pending.";
    };
    call.complete = [](const UserPayResult &result) {
        TVX_LOG_INFO << "[VirtualBind] openId bind finished, ok ="
                     << boolText(result.code == UserPayResult::Ok) << " code =" << result.code
                     << " serviceCode =" << result.serviceCode
                     << " message =" << app::logExcerpt(result.message);
    };
    return runBlockingCall(call);
}

UserPayResult WebUIAPIService::login(const LoginRequest &request, AccountInfo *out)
{
    Q_UNUSED(out)
    if (request.account.isEmpty() || request.credential.isEmpty()) {
        return localFailure(UserPayResult::InvalidInput,
                            QStringLiteral("user_pay.login.error.account_or_credential_empty"));
    }
    initialize();
    return localFailure(UserPayResult::NotImplemented,
                        QStringLiteral("user_pay.login.error.not_implemented"));
}

QString WebUIAPIService::takeLastVirtualBindUserToken()
{
    QMutexLocker lock(&mutex);
    QString token;
    std::swap(token, lastVirtualBindUserToken);
    return token;
}

QString WebUIAPIService::weChatScanLoginUrl() const
{
    QMutexLocker lock(&mutex);
    return buildWeChatScanLoginUrl(weChatLoginTag);
}

} // namespace user_pay
