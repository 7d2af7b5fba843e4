// The engine's plain-function interface, the only symbols the library exports. Every call
// belongs on the GUI thread; a handle that is not a live view is ignored.
#include "webengine/EngineHost.h"
#include "webengine/OffscreenWebView.h"
#include "webview/WkeApi.h"

#include <QString>

#define WKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

webengine::OffscreenWebView *viewOf(wkeWebView handle)
{
    webengine::EngineHost *host = webengine::EngineHost::instance();
    return host && handle ? host->view(handle) : nullptr;
}

QString fromUtf16(const std::uint16_t *text)
{
    return text ? QString::fromUtf16(reinterpret_cast<const char16_t *>(text)) : QString();
}

} // namespace

WKE_EXPORT int wkeInitializeEx(const wkeSettings *)
{
    return webengine::EngineHost::start() ? 1 : 0;
}

WKE_EXPORT wkeWebView wkeCreateWebView()
{
    webengine::EngineHost *host = webengine::EngineHost::instance();
    return host ? reinterpret_cast<wkeWebView>(host->createView()) : nullptr;
}

WKE_EXPORT void wkeSetTransparent(wkeWebView webView, bool transparent)
{
    if (auto *view = viewOf(webView))
        view->setTransparent(transparent);
}

WKE_EXPORT void wkeResize(wkeWebView webView, int width, int height)
{
    if (auto *view = viewOf(webView))
        view->resize(width, height);
}

WKE_EXPORT void wkeSetZoomFactor(wkeWebView webView, float factor)
{
    if (auto *view = viewOf(webView))
        view->setZoomFactor(factor);
}

WKE_EXPORT void wkeOnConsole(wkeWebView webView, wkeConsoleCallback callback, void *param)
{
    if (auto *view = viewOf(webView))
        view->setConsoleCallback(reinterpret_cast<webengine::ConsoleCallback>(callback), param);
}

WKE_EXPORT void wkeSetLocalStorageFullPath(wkeWebView webView, const std::uint16_t *path)
{
    if (auto *view = viewOf(webView))
        view->setLocalStoragePath(fromUtf16(path));
}

WKE_EXPORT void wkeSetCookieJarFullPath(wkeWebView webView, const std::uint16_t *path)
{
    if (auto *view = viewOf(webView))
        view->setCookieJarPath(fromUtf16(path));
}

WKE_EXPORT void wkeLoadURL(wkeWebView webView, const char *url)
{
    if (auto *view = viewOf(webView); view && url)
        view->load(QString::fromUtf8(url));
}

WKE_EXPORT void wkeSetDirty(wkeWebView webView, bool dirty)
{
    if (auto *view = viewOf(webView))
        view->setDirty(dirty);
}

WKE_EXPORT void wkeUpdate()
{
    // Qt WebEngine works in the caller's event loop; what is left is a key press still
    // waiting for a character that did not come.
    if (webengine::EngineHost *host = webengine::EngineHost::instance()) {
        for (webengine::OffscreenWebView *view : host->views())
            view->flushPendingKey();
    }
}

WKE_EXPORT void wkeRepaintIfNeeded(wkeWebView webView)
{
    // Frames are drawn as the page changes, in the caller's event loop.
    if (auto *view = viewOf(webView))
        view->flushPendingKey();
}

WKE_EXPORT bool wkeIsDirty(wkeWebView webView)
{
    auto *view = viewOf(webView);
    return view && view->isDirty();
}

WKE_EXPORT void wkePaint(wkeWebView webView, void *bits, int pitch)
{
    if (auto *view = viewOf(webView))
        view->paint(bits, pitch);
}

WKE_EXPORT bool wkeFireMouseEvent(wkeWebView webView, unsigned message, int x, int y, unsigned flags)
{
    auto *view = viewOf(webView);
    return view && view->fireMouseEvent(message, x, y, flags);
}

WKE_EXPORT bool wkeFireMouseWheelEvent(wkeWebView webView, int x, int y, int delta, unsigned flags)
{
    auto *view = viewOf(webView);
    return view && view->fireMouseWheelEvent(x, y, delta, flags);
}

WKE_EXPORT bool wkeFireKeyPressEvent(wkeWebView webView, unsigned charCode, unsigned flags, bool systemKey)
{
    auto *view = viewOf(webView);
    return view && view->fireKeyPressEvent(charCode, flags, systemKey);
}

WKE_EXPORT bool wkeFireKeyUpEvent(wkeWebView webView, unsigned virtualKeyCode, unsigned flags, bool)
{
    auto *view = viewOf(webView);
    return view && view->fireKeyUpEvent(virtualKeyCode, flags);
}

WKE_EXPORT bool wkeReload(wkeWebView webView)
{
    auto *view = viewOf(webView);
    return view && view->reload();
}

WKE_EXPORT bool wkeGoBack(wkeWebView webView)
{
    auto *view = viewOf(webView);
    return view && view->goBack();
}

WKE_EXPORT bool wkeGoForward(wkeWebView webView)
{
    auto *view = viewOf(webView);
    return view && view->goForward();
}

WKE_EXPORT void wkeStopLoading(wkeWebView webView)
{
    if (auto *view = viewOf(webView))
        view->stop();
}
