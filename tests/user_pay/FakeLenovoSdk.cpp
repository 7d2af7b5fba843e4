// Test-only vendor account SDK with the plain-function exports the wrapper binds: each export
// answers what the test scripted and counts its calls. FAKE_LYSDK_LACK_LOGOUT builds it
// without LYSDK_LidLogout.
#include "user_pay/LenovoSDKApi.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Script
{
    int result = 0;
    std::string text;
};

std::map<std::string, Script> g_scripts;
std::map<std::string, int> g_calls;
std::string g_lastAppInfo;
std::uint64_t g_lastWindowHandle = 0;

const Script &called(const char *name)
{
    ++g_calls[name];
    return g_scripts[name];
}

// Copies the scripted text, which may hold zero bytes of its own, clipped to the buffer.
void fill(char *buffer, int size, const std::string &text)
{
    std::memcpy(buffer, text.data(), std::min<std::size_t>(text.size(), std::size_t(size)));
}

} // namespace

FAKE_EXPORT int LYSDK_LidInit(const char *appInfoJson, int, int)
{
    g_lastAppInfo = appInfoJson ? appInfoJson : "";
    return called("LYSDK_LidInit").result;
}

FAKE_EXPORT int LYSDK_LidLogin(std::uint64_t windowHandle)
{
    g_lastWindowHandle = windowHandle;
    return called("LYSDK_LidLogin").result;
}

FAKE_EXPORT int LYSDK_LidGetLoginStatus(char *buffer, int size)
{
    const Script &script = called("LYSDK_LidGetLoginStatus");
    fill(buffer, size, script.text);
    return script.result;
}

#ifndef FAKE_LYSDK_LACK_LOGOUT
FAKE_EXPORT int LYSDK_LidLogout()
{
    return called("LYSDK_LidLogout").result;
}
#endif

FAKE_EXPORT int LYSDK_LidClose()
{
    return called("LYSDK_LidClose").result;
}

FAKE_EXPORT int LYSDK_GetDeviceID(const char *appInfoJson, char *buffer, int size)
{
    g_lastAppInfo = appInfoJson ? appInfoJson : "";
    const Script &script = called("LYSDK_GetDeviceID");
    fill(buffer, size, script.text);
    return script.result;
}

// Test controls.

FAKE_EXPORT void fakeLysdk_reset()
{
    g_scripts.clear();
    g_calls.clear();
    g_lastAppInfo.clear();
    g_lastWindowHandle = 0;
}

FAKE_EXPORT void fakeLysdk_script(const char *exportName, int result, const char *text, int textSize)
{
    g_scripts[exportName] = Script{result, std::string(text ? text : "", text ? std::size_t(textSize) : 0)};
}

FAKE_EXPORT int fakeLysdk_calls(const char *exportName)
{
    return g_calls[exportName];
}

FAKE_EXPORT const char *fakeLysdk_lastAppInfo()
{
    return g_lastAppInfo.c_str();
}

FAKE_EXPORT std::uint64_t fakeLysdk_lastWindowHandle()
{
    return g_lastWindowHandle;
}
