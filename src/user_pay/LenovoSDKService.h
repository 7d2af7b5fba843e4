// The vendor account SDK, loaded at run time from the application folder: initialise, sign
// in, read the sign-in state and device id, sign out. Nothing in the program calls it yet.
#pragma once

#include "user_pay/UserPayResult.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <cstddef>

namespace user_pay {

// What one status text of the SDK says.
struct LenovoLoginStatus
{
    bool valid = false; // the text was a JSON object
    bool loggedIn = false;
    QString token; // empty unless loggedIn
};

// Reads the status text up to its first zero byte within size bytes.
LenovoLoginStatus parseLoginStatusPayload(const char *buffer, std::size_t size);
// The application information the SDK is started with: compact JSON, keys in order.
QByteArray buildLenovoAppInfo();
// The SDK library's file name on this platform.
QString sdkMainDllName();

class LenovoSDKService
{
public:
    static LenovoSDKService &shared();

    UserPayResult initialize();
    UserPayResult requestLogin();
    UserPayResult refreshLoginState();
    UserPayResult logout();
    void shutdown();

    void setLoginWindowHandle(quint64 handle);
    bool isInitialized();
    bool isLenovoLoggedIn();
    bool hasLenovoToken();
    bool isDeviceMode();
    QString lenovoToken();
    QString lenovoDeviceId();

private:
    LenovoSDKService() = default;
    LenovoSDKService(const LenovoSDKService &) = delete;
    LenovoSDKService &operator=(const LenovoSDKService &) = delete;

    void refreshDeviceIdLocked();
    UserPayResult refreshLoginStateLocked();
    void clearLoginLocked();

    QMutex m_mutex;
    bool m_initialized = false;
    bool m_lenovoLoggedIn = false;
    quint64 m_loginWindowHandle = 0;
    QString m_lenovoToken;
    QString m_lenovoDeviceId;
};

} // namespace user_pay
