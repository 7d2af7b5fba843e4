// Sign-in flows of the account manager: SMS code, WeChat and QQ pages, sign-out, validators.
#include "user_pay/AccountManager.h"

#include "core/Log.h"
#include "i18n/I18n.h"
#include "user_pay/WebUIAPIService.h"

namespace user_pay {

namespace {

const char kPreviewPage[] =
    "data:text/html;charset=utf-8,<html><head><meta charset='utf-8'/><style>body{margin:0;background:#f5f7fb;"
    "font-family:Arial;} .box{height:100vh;display:flex;align-items:center;justify-content:center;} "
    ".card{padding:16px 20px;border:1px solid #d8e2f0;border-radius:10px;background:#fff;color:#1f2d3d;"
    "font-size:16px;box-shadow:0 6px 18px rgba(0,0,0,.08);} "
    ".ok{color:#1e72d8;font-weight:700;}</style></head>"
    "<body><div class='box'><div class='card'>MiniBlink <span class='ok'>WebView OK</span></div></div></body>"
    "</html>";

bool previewEnabled()
{
    bool ok = false;
    const int value = qEnvironmentVariable("TVX_WEB_DEBUG_PREVIEW").toInt(&ok);
    return ok && value == 1;
}

QString previewPage()
{
    const QString url = qEnvironmentVariable("TVX_WEB_DEBUG_URL").trimmed();
    return url.isEmpty() ? QString::fromLatin1(kPreviewPage) : url;
}

QString text(const char *key)
{
    return i18n::t(QString::fromLatin1(key));
}

bool validate(const QString &value, bool valid, const char *emptyKey, const char *invalidKey, QString *error)
{
    if (valid)
        return true;
    if (error)
        *error = text(value.trimmed().isEmpty() ? emptyKey : invalidKey);
    return false;
}

} // namespace

bool AccountManager::validatePhoneNumber(const QString &value, QString *error)
{
    const QString t = value.trimmed();
    bool digits = t.size() == 11;
    for (const QChar c : t)
        digits = digits &&
                 (c.isDigit() && (c.unicode() >= 0x80 || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))));
    return validate(value, digits, "user_pay.login.error.phone_required",
                    "user_pay.login.error.phone_invalid", error);
}

bool AccountManager::validatePhoneCode(const QString &value, QString *error)
{
    return validate(value, value.trimmed().size() == 4, "user_pay.login.error.sms_required",
                    "user_pay.login.error.sms_invalid", error);
}

bool AccountManager::validateImageCode(const QString &value, QString *error)
{
    return validate(value, value.trimmed().size() == 4, "user_pay.login.error.image_captcha_required",
                    "user_pay.login.error.image_captcha_invalid", error);
}

void AccountManager::requestPhoneImageCode()
{
    auto fail = [this](const char *key) {
        emit operationFailed(UserPayResult::Failed, text(key));
        emit phoneCodeFailed(UserPayResult::Failed, text(key));
    };
    if (!webApiService)
        return fail("user_pay.login.error.phone_service_not_ready");
    if (!webApiService->requestPhoneImageCode())
        fail("user_pay.login.error.image_captcha_request_failed");
}

void AccountManager::requestPhoneSmsCode(const QString &phoneNumber, const QString &imageCode)
{
    const QString phone = phoneNumber.trimmed();
    const QString image = imageCode.trimmed();
    auto fail = [this](int code, const QString &message) {
        emit operationFailed(code, message);
        emit phoneCodeFailed(code, message);
    };
    QString error;
    if (!validatePhoneNumber(phone, &error) ||
        (phoneCodeChallengeRequired && !validateImageCode(image, &error)))
        return fail(UserPayResult::InvalidInput, error);
    if (!webApiService)
        return fail(UserPayResult::Failed, text("user_pay.login.error.phone_service_not_ready"));
    if (!webApiService->requestPhoneCode(phone, phoneCodeChallengeRequired, image))
        fail(UserPayResult::Failed, text("user_pay.login.error.sms_code_request_failed"));
}

void AccountManager::loginByPhoneCode(const QString &phoneNumber, const QString &phoneCode,
                                      const QString &imageCode)
{
    signInCompleted = false;
    pendingPhoneNumber = phoneNumber.trimmed();
    pendingPhoneCode = phoneCode.trimmed();
    pendingImageCode = imageCode.trimmed();
    QString error;
    if (!validatePhoneNumber(pendingPhoneNumber, &error) || !validatePhoneCode(pendingPhoneCode, &error) ||
        (phoneCodeChallengeRequired && !validateImageCode(pendingImageCode, &error))) {
        emit operationFailed(UserPayResult::InvalidInput, error);
        emit phoneLoginFailed(UserPayResult::InvalidInput, error);
        return;
    }
    if (!webApiService) {
        const QString message = text("user_pay.login.error.phone_service_not_ready");
        emit operationFailed(UserPayResult::Failed, message);
        emit phoneLoginFailed(UserPayResult::Failed, message);
        return;
    }
    if (shouldTriggerVirtualBind())
        return bindPhoneDirectly(pendingPhoneNumber, pendingPhoneCode, pendingImageCode);
    if (!webApiService->phoneCodeLogin(pendingPhoneNumber, pendingPhoneCode, phoneCodeChallengeRequired,
                                       pendingImageCode)) {
        const QString message = text("user_pay.login.error.login_request_failed");
        emit operationFailed(UserPayResult::Failed, message);
        emit loginFinished(false);
        emit phoneLoginFailed(UserPayResult::Failed, message);
    }
}

QString AccountManager::resolveWeChatLoginUrlForDisplay(const QString &url) const
{
    if (!previewEnabled())
        return url;
    const QString page = previewPage();
    TVX_LOG_INFO << "[AccountManager][Debug] TVX_WEB_DEBUG_PREVIEW=1, use web preview url ="
                 << app::maskAddress(page);
    return page;
}

void AccountManager::requestWeChatQrLogin()
{
    TVX_LOG_INFO << "[AccountManager][VirtualBind] requestWeChatQrLogin, loginScene =" << loginScene
                 << " loggedIn =" << loggedIn << " virtualAccount =" << accountInfo.isVirtualAccount;
    if (previewEnabled()) {
        weChatLoginUrl = previewPage();
        TVX_LOG_INFO << "[AccountManager][Debug] skip wechat QR request, direct preview url ="
                     << app::maskAddress(weChatLoginUrl);
        emit weChatLoginUrlChanged();
        return;
    }
    startWeChatQrLoginRequest();
}

void AccountManager::startWeChatQrLoginRequest()
{
    signInCompleted = false;
    auto fail = [this](const char *key) {
        emit operationFailed(UserPayResult::Failed, text(key));
        emit weChatLoginFailed(UserPayResult::Failed, text(key));
    };
    if (!webApiService)
        return fail("user_pay.login.error.wechat_service_not_ready");
    if (!weChatLoginUrl.isEmpty()) {
        emit weChatLoginUrlChanged();
        return;
    }
    if (!webApiService->requestWeChatQrLogin())
        fail("user_pay.login.error.wechat_qr_request_failed");
}

void AccountManager::pollWeChatLoginStatus()
{
    if (!previewEnabled() && webApiService)
        webApiService->pollWeChatLoginStatus();
}

QString AccountManager::weChatBrowserLoginUrl()
{
    return webApiService ? webApiService->weChatScanLoginUrl() : QString();
}

void AccountManager::requestQQLogin()
{
    TVX_LOG_INFO << "[AccountManager][VirtualBind] requestQQLogin, loginScene =" << loginScene
                 << " loggedIn =" << loggedIn << " virtualAccount =" << accountInfo.isVirtualAccount;
    auto fail = [this](const char *key) {
        emit operationFailed(UserPayResult::Failed, text(key));
        emit qqLoginFailed(UserPayResult::Failed, text(key));
    };
    signInCompleted = false;
    if (!webApiService)
        return fail("user_pay.login.error.qq_service_not_ready");
    if (!qqLoginUrl.isEmpty()) {
        emit qqLoginUrlChanged();
        return;
    }
    if (!webApiService->requestQQLogin())
        fail("user_pay.login.error.qq_request_failed");
}

void AccountManager::pollQQLoginStatus()
{
    if (webApiService)
        webApiService->pollQQLoginStatus();
}

void AccountManager::login(const QString &account, const QString &credential)
{
    if (account.isEmpty() || credential.isEmpty()) {
        emit operationFailed(UserPayResult::InvalidInput,
                             text("user_pay.login.error.account_or_credential_empty"));
        emit loginFinished(false);
        return;
    }
    AccountInfo signedIn;
    const UserPayResult result =
        webApiService
            ? webApiService->login({account, credential}, &signedIn)
            : UserPayResult{UserPayResult::Failed, text("user_pay.service.error.webui_not_ready"), 0};
    if (result.code != UserPayResult::Ok) {
        emit operationFailed(result.code, result.message);
        emit loginFinished(false);
        return;
    }
    applyAccountInfo(signedIn);
    if (!loggedIn) {
        loggedIn = true;
        emit loggedInChanged();
    }
    emit loginFinished(true);
}

void AccountManager::logout()
{
    const AccountInfo signedOut = accountInfo;
    clearAccountInfo();
    emit logoutFinished(true);
    TVX_LOG_INFO << "[AccountManager] auto virtual-account login after logout is disabled.";
    signOutRemotely(signedOut, "[AccountManager] remote logout failed:");
}

} // namespace user_pay
