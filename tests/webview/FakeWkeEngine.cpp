// Test-only web engine with the plain-function exports the view item binds: every view paints
// one known colour, calls are logged, and tests can make it refuse to start (environment
// TVX_FAKE_WKE_REFUSE_INIT=1), build it without wkePaint (FAKE_WKE_LACK_PAINT), or run a hook
// inside wkeUpdate or wkePaint to play an engine that re-enters the caller.
#include "FakeWkeControl.h"
#include "webview/WkeApi.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

struct wkeWebViewOpaque
{
    int id = 0;
    int width = 0;
    int height = 0;
    bool dirty = false;
};

namespace {

std::vector<std::string> g_log;
std::vector<std::unique_ptr<wkeWebViewOpaque>> g_views; // live until the library goes
int g_initializeCount = 0;
int g_hookWhere = kFakeWkeHookNone;
void (*g_hook)(void *) = nullptr;
void *g_hookContext = nullptr;

void log(const std::string &line)
{
    g_log.push_back(line);
}

std::string viewTag(wkeWebView view)
{
    return std::to_string(view ? view->id : 0);
}

void runHook(int where)
{
    if (g_hookWhere != where || !g_hook)
        return;
    void (*hook)(void *) = g_hook;
    g_hook = nullptr;
    g_hookWhere = kFakeWkeHookNone;
    hook(g_hookContext);
}

std::string utf16ToAscii(const std::uint16_t *text)
{
    std::string out;
    for (; text && *text; ++text)
        out.push_back(*text < 128 ? char(*text) : '?');
    return out;
}

} // namespace

FAKE_EXPORT int wkeInitializeEx(const wkeSettings *)
{
    ++g_initializeCount;
    const char *refuse = std::getenv("TVX_FAKE_WKE_REFUSE_INIT");
    const bool refused = refuse && std::strcmp(refuse, "1") == 0;
    log(refused ? "wkeInitializeEx refused" : "wkeInitializeEx");
    return refused ? 0 : 1;
}

FAKE_EXPORT wkeWebView wkeCreateWebView()
{
    g_views.push_back(std::make_unique<wkeWebViewOpaque>());
    wkeWebViewOpaque *view = g_views.back().get();
    view->id = int(g_views.size());
    log("wkeCreateWebView " + viewTag(view));
    return view;
}

FAKE_EXPORT void wkeSetTransparent(wkeWebView view, bool transparent)
{
    log("wkeSetTransparent " + viewTag(view) + " " + std::to_string(int(transparent)));
}

FAKE_EXPORT void wkeResize(wkeWebView view, int width, int height)
{
    view->width = width;
    view->height = height;
    view->dirty = true;
    log("wkeResize " + viewTag(view) + " " + std::to_string(width) + " " + std::to_string(height));
}

FAKE_EXPORT void wkeSetZoomFactor(wkeWebView view, float)
{
    log("wkeSetZoomFactor " + viewTag(view));
}

FAKE_EXPORT void wkeOnConsole(wkeWebView view, wkeConsoleCallback callback, void *param)
{
    // Pages of a real engine talk at once; the item must cope with a call right away.
    if (callback)
        callback(view, param, 0, "console from fake engine");
    log("wkeOnConsole " + viewTag(view));
}

FAKE_EXPORT void wkeSetLocalStorageFullPath(wkeWebView view, const std::uint16_t *path)
{
    log("wkeSetLocalStorageFullPath " + viewTag(view) + " " + utf16ToAscii(path));
}

FAKE_EXPORT void wkeSetCookieJarFullPath(wkeWebView view, const std::uint16_t *path)
{
    log("wkeSetCookieJarFullPath " + viewTag(view) + " " + utf16ToAscii(path));
}

FAKE_EXPORT void wkeLoadURL(wkeWebView view, const char *url)
{
    log("wkeLoadURL " + viewTag(view) + " " + std::string(url));
}

FAKE_EXPORT void wkeSetDirty(wkeWebView view, bool dirty)
{
    view->dirty = dirty;
}

FAKE_EXPORT void wkeUpdate()
{
    runHook(kFakeWkeHookUpdate);
}

FAKE_EXPORT void wkeRepaintIfNeeded(wkeWebView) {}

FAKE_EXPORT bool wkeIsDirty(wkeWebView view)
{
    return view->dirty;
}

#ifndef FAKE_WKE_LACK_PAINT
FAKE_EXPORT void wkePaint(wkeWebView view, void *bits, int pitch)
{
    log("wkePaint " + viewTag(view) + " " + std::to_string(view->width) + " " + std::to_string(view->height));
    runHook(kFakeWkeHookPaint);
    // Draws at the view's own size, as an engine does: a smaller buffer overflows.
    for (int y = 0; y < view->height; ++y) {
        auto *row =
            reinterpret_cast<std::uint32_t *>(static_cast<unsigned char *>(bits) + std::size_t(y) * pitch);
        for (int x = 0; x < view->width; ++x)
            row[x] = kFakeWkeColour;
    }
}
#endif

FAKE_EXPORT bool wkeFireMouseEvent(wkeWebView view, unsigned message, int x, int y, unsigned flags)
{
    log("wkeFireMouseEvent " + viewTag(view) + " " + std::to_string(message) + " " + std::to_string(x) + " " +
        std::to_string(y) + " " + std::to_string(flags));
    return true;
}

FAKE_EXPORT bool wkeFireMouseWheelEvent(wkeWebView view, int x, int y, int delta, unsigned flags)
{
    log("wkeFireMouseWheelEvent " + viewTag(view) + " " + std::to_string(x) + " " + std::to_string(y) + " " +
        std::to_string(delta) + " " + std::to_string(flags));
    return true;
}

FAKE_EXPORT bool wkeFireKeyPressEvent(wkeWebView view, unsigned charCode, unsigned flags, bool systemKey)
{
    log("wkeFireKeyPressEvent " + viewTag(view) + " " + std::to_string(charCode) + " " +
        std::to_string(flags) + " " + std::to_string(int(systemKey)));
    return true;
}

FAKE_EXPORT bool wkeFireKeyUpEvent(wkeWebView view, unsigned virtualKeyCode, unsigned flags, bool systemKey)
{
    log("wkeFireKeyUpEvent " + viewTag(view) + " " + std::to_string(virtualKeyCode) + " " +
        std::to_string(flags) + " " + std::to_string(int(systemKey)));
    return true;
}

FAKE_EXPORT bool wkeReload(wkeWebView view)
{
    log("wkeReload " + viewTag(view));
    view->dirty = true;
    return true;
}

FAKE_EXPORT bool wkeGoBack(wkeWebView view)
{
    log("wkeGoBack " + viewTag(view));
    return true;
}

FAKE_EXPORT bool wkeGoForward(wkeWebView view)
{
    log("wkeGoForward " + viewTag(view));
    return true;
}

FAKE_EXPORT void wkeStopLoading(wkeWebView view)
{
    log("wkeStopLoading " + viewTag(view));
}

// Test controls.

FAKE_EXPORT int fakeWke_logSize()
{
    return int(g_log.size());
}

FAKE_EXPORT const char *fakeWke_logLine(int index)
{
    return index >= 0 && index < int(g_log.size()) ? g_log[std::size_t(index)].c_str() : "";
}

FAKE_EXPORT int fakeWke_initializeCount()
{
    return g_initializeCount;
}

FAKE_EXPORT void fakeWke_setHook(int where, void (*hook)(void *), void *context)
{
    g_hookWhere = where;
    g_hook = hook;
    g_hookContext = context;
}
