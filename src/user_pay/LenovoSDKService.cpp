// The vendor account SDK, loaded at run time from the application folder.
#include "user_pay/LenovoSDKService.h"

#include "core/AppPaths.h"
#include "core/BuildConfig.h"
#include "core/Log.h"
#include "i18n/I18n.h"
#include "user_pay/LenovoSDKApi.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <vector>

namespace user_pay {
namespace {

constexpr int kStatusBufferSize = 1024;
constexpr int kDeviceIdBufferSize = 256;

// The loaded SDK; guarded by the service's mutex.
struct SdkRuntime
{
    QLibrary *library = nullptr;
    LYSDK_LidInitFn lidInit = nullptr;
    LYSDK_LidLoginFn lidLogin = nullptr;
    LYSDK_LidGetLoginStatusFn lidGetLoginStatus = nullptr;
    LYSDK_LidLogoutFn lidLogout = nullptr;
    LYSDK_LidCloseFn lidClose = nullptr;
    LYSDK_GetDeviceIDFn getDeviceId = nullptr;

    void forgetFunctions() { *this = SdkRuntime{library}; }
};

SdkRuntime &runtime()
{
    static SdkRuntime instance;
    return instance;
}

QString loginRequestFailedText()
{
    return i18n::t(QStringLiteral("user_pay.login.error.login_request_failed"));
}

UserPayResult failure(int code, const QString &message, int serviceCode)
{
    UserPayResult r;
    r.code = code;
    r.message = message;
    r.serviceCode = serviceCode;
    return r;
}

const char *found(const void *fn)
{
    return fn ? "true" : "false";
}

bool resolveFunctions(QString *error)
{
    SdkRuntime &rt = runtime();
    rt.lidInit = reinterpret_cast<LYSDK_LidInitFn>(rt.library->resolve("LYSDK_LidInit"));
    rt.lidClose = reinterpret_cast<LYSDK_LidCloseFn>(rt.library->resolve("LYSDK_LidClose"));
    rt.lidGetLoginStatus =
        reinterpret_cast<LYSDK_LidGetLoginStatusFn>(rt.library->resolve("LYSDK_LidGetLoginStatus"));
    rt.lidLogin = reinterpret_cast<LYSDK_LidLoginFn>(rt.library->resolve("LYSDK_LidLogin"));
    rt.lidLogout = reinterpret_cast<LYSDK_LidLogoutFn>(rt.library->resolve("LYSDK_LidLogout"));
    rt.getDeviceId = reinterpret_cast<LYSDK_GetDeviceIDFn>(rt.library->resolve("LYSDK_GetDeviceID"));
    if (rt.lidInit && rt.lidClose && rt.lidGetLoginStatus && rt.lidLogin && rt.lidLogout && rt.getDeviceId)
        return true;
    TVX_LOG_WARN << "[LenovoSDK] required exports missing."
                 << " LidInit =" << found(reinterpret_cast<const void *>(rt.lidInit))
                 << " LidClose =" << found(reinterpret_cast<const void *>(rt.lidClose))
                 << " LidGetLoginStatus =" << found(reinterpret_cast<const void *>(rt.lidGetLoginStatus))
                 << " LidLogin =" << found(reinterpret_cast<const void *>(rt.lidLogin))
                 << " LidLogout =" << found(reinterpret_cast<const void *>(rt.lidLogout))
                 << " GetDeviceID =" << found(reinterpret_cast<const void *>(rt.getDeviceId));
    rt.forgetFunctions();
    *error = QStringLiteral("GetProcAddress LYSDK_* failed.");
    return false;
}

bool ensureLoaded(QString *error)
{
    SdkRuntime &rt = runtime();
    const QString path = app::applicationDirFilePath(sdkMainDllName());
    TVX_LOG_INFO << "[LenovoSDK] trying LoadLibrary, dllPath =" << path
                 << " exists =" << (QFileInfo::exists(path) ? "true" : "false");
    auto *library = new QLibrary(path);
    errno = 0;
    if (!library->load()) {
        const int code = errno;
        TVX_LOG_WARN << "[LenovoSDK] LoadLibrary failed, lastError =" << code << library->errorString();
        delete library;
        *error = QStringLiteral("Load %1 failed, code=%2 path=%3").arg(sdkMainDllName()).arg(code).arg(path);
        return false;
    }
    rt.library = library;
    if (!resolveFunctions(error)) {
        rt.library->unload();
        delete rt.library;
        rt.library = nullptr;
        return false;
    }
    TVX_LOG_INFO << "[LenovoSDK] runtime loaded successfully.";
    return true;
}

// Text of a buffer the SDK filled, up to its first zero byte within the buffer.
QByteArray bufferText(const char *buffer, std::size_t size)
{
    const void *end = std::memchr(buffer, 0, size);
    return QByteArray(buffer, end ? int(static_cast<const char *>(end) - buffer) : int(size));
}

} // namespace

QString sdkMainDllName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("LYSDK2.dll");
#else
    return QStringLiteral("libLYSDK2.so");
#endif
}

QByteArray buildLenovoAppInfo()
{
    QJsonObject info;
    info.insert(QStringLiteral("appid"), platform::config::lenovoAppId());
    info.insert(QStringLiteral("key"), platform::config::lenovoAppKey());
    info.insert(QStringLiteral("mchId"), platform::config::lenovoMerchantId());
    return QJsonDocument(info).toJson(QJsonDocument::Compact);
}

LenovoLoginStatus parseLoginStatusPayload(const char *buffer, std::size_t size)
{
    LenovoLoginStatus status;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bufferText(buffer, size), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return status;
    status.valid = true;
    const QJsonObject loginInfo = document.object().value(QStringLiteral("loginInfo")).toObject();
    const bool loginStatus = loginInfo.value(QStringLiteral("loginstatus")).toBool(false);
    const QString token = loginInfo.value(QStringLiteral("token")).toString().trimmed();
    if (loginStatus && !token.isEmpty() && token.compare(QLatin1String("null"), Qt::CaseInsensitive) != 0) {
        status.loggedIn = true;
        status.token = token;
    }
    return status;
}

LenovoSDKService &LenovoSDKService::shared()
{
    static LenovoSDKService instance;
    return instance;
}

UserPayResult LenovoSDKService::initialize()
{
    QMutexLocker lock(&m_mutex);
    if (m_initialized)
        return UserPayResult();
    QString error;
    const bool loaded = runtime().library ? resolveFunctions(&error) : ensureLoaded(&error);
    if (!loaded)
        return failure(UserPayResult::Failed, error, 0);
    const QByteArray appInfo = buildLenovoAppInfo();
    const int r = runtime().lidInit(appInfo.constData(), 0, 0);
    if (r != 0)
        return failure(UserPayResult::Failed, loginRequestFailedText(), r);
    m_initialized = true;
    refreshDeviceIdLocked();
    const UserPayResult refreshed = refreshLoginStateLocked();
    if (refreshed.code != UserPayResult::Ok)
        TVX_LOG_WARN << "[LenovoSDK] refresh login state after initialize failed:"
                     << app::logExcerpt(refreshed.message) << " serviceCode =" << refreshed.serviceCode;
    return UserPayResult();
}

void LenovoSDKService::refreshDeviceIdLocked()
{
    m_lenovoDeviceId.clear();
    if (!runtime().getDeviceId)
        return;
    const QByteArray appInfo = buildLenovoAppInfo();
    std::vector<char> buffer(kDeviceIdBufferSize, 0);
    const int r = runtime().getDeviceId(appInfo.constData(), buffer.data(), kDeviceIdBufferSize);
    if (r != 0) {
        TVX_LOG_WARN << "[LenovoSDK] LYSDK_GetDeviceID failed, code =" << r;
        return;
    }
    m_lenovoDeviceId = QString::fromUtf8(bufferText(buffer.data(), buffer.size())).trimmed();
}

void LenovoSDKService::clearLoginLocked()
{
    m_lenovoLoggedIn = false;
    m_lenovoToken.clear();
}

UserPayResult LenovoSDKService::refreshLoginStateLocked()
{
    if (!runtime().lidGetLoginStatus)
        return failure(UserPayResult::Failed, loginRequestFailedText(), 0);
    std::vector<char> buffer(kStatusBufferSize, 0);
    const int r = runtime().lidGetLoginStatus(buffer.data(), kStatusBufferSize);
    if (r != 0) {
        clearLoginLocked();
        return failure(UserPayResult::Failed, loginRequestFailedText(), r);
    }
    if (buffer[0] == 0) {
        clearLoginLocked();
        return UserPayResult();
    }
    const LenovoLoginStatus status = parseLoginStatusPayload(buffer.data(), buffer.size());
    if (!status.valid) {
        clearLoginLocked();
        return failure(UserPayResult::Failed, loginRequestFailedText(), 0);
    }
    m_lenovoLoggedIn = status.loggedIn;
    m_lenovoToken = status.token;
    return UserPayResult();
}

UserPayResult LenovoSDKService::requestLogin()
{
    bool initialized = false;
    {
        QMutexLocker lock(&m_mutex);
        initialized = m_initialized;
    }
    if (!initialized) {
        const UserPayResult started = initialize();
        if (started.code != UserPayResult::Ok)
            return started;
    }
    QMutexLocker lock(&m_mutex);
    if (!runtime().lidLogin)
        return failure(UserPayResult::Failed, loginRequestFailedText(), 0);
    const int r = runtime().lidLogin(m_loginWindowHandle);
    if (r != 0)
        return failure(UserPayResult::Failed, loginRequestFailedText(), r);
    return UserPayResult();
}

UserPayResult LenovoSDKService::refreshLoginState()
{
    QMutexLocker lock(&m_mutex);
    if (!m_initialized)
        return failure(UserPayResult::Refused,
                       i18n::t(QStringLiteral("user_pay.service.error.webui_not_ready")), 0);
    return refreshLoginStateLocked();
}

UserPayResult LenovoSDKService::logout()
{
    QMutexLocker lock(&m_mutex);
    if (m_initialized) {
        if (!runtime().lidLogout)
            return failure(UserPayResult::Failed, loginRequestFailedText(), 0);
        const int r = runtime().lidLogout();
        if (r != 0)
            return failure(UserPayResult::Failed, loginRequestFailedText(), r);
    }
    clearLoginLocked();
    return UserPayResult();
}

void LenovoSDKService::shutdown()
{
    QMutexLocker lock(&m_mutex);
    SdkRuntime &rt = runtime();
    if (m_initialized && rt.lidClose)
        rt.lidClose();
    rt.forgetFunctions();
    if (rt.library) {
        rt.library->unload();
        delete rt.library;
        rt.library = nullptr;
    }
    m_initialized = false;
    clearLoginLocked();
    m_lenovoDeviceId.clear();
}

void LenovoSDKService::setLoginWindowHandle(quint64 handle)
{
    QMutexLocker lock(&m_mutex);
    m_loginWindowHandle = handle;
}

bool LenovoSDKService::isInitialized()
{
    QMutexLocker lock(&m_mutex);
    return m_initialized;
}

bool LenovoSDKService::isLenovoLoggedIn()
{
    QMutexLocker lock(&m_mutex);
    return m_lenovoLoggedIn;
}

bool LenovoSDKService::hasLenovoToken()
{
    QMutexLocker lock(&m_mutex);
    return !m_lenovoToken.trimmed().isEmpty();
}

bool LenovoSDKService::isDeviceMode()
{
    QMutexLocker lock(&m_mutex);
    return !m_lenovoLoggedIn && !m_lenovoDeviceId.trimmed().isEmpty();
}

QString LenovoSDKService::lenovoToken()
{
    QMutexLocker lock(&m_mutex);
    return m_lenovoToken;
}

QString LenovoSDKService::lenovoDeviceId()
{
    QMutexLocker lock(&m_mutex);
    return m_lenovoDeviceId;
}

} // namespace user_pay
