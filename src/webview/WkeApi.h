// The web engine's plain-function interface: the exports the view item binds by name from the
// engine library. Any engine (or the tests' fake) that exports these with these signatures fits.
#pragma once

#include <cstdint>

extern "C" {

typedef struct wkeWebViewOpaque *wkeWebView;
typedef struct wkeSettingsOpaque wkeSettings;

// Console messages of a page; level and texts as the engine reports them.
typedef void (*wkeConsoleCallback)(wkeWebView webView, void *param, int level, const char *message);

// Returns 1 when the engine is ready for views, 0 when it refuses to start.
typedef int (*wkeInitializeExFn)(const wkeSettings *settings);
typedef wkeWebView (*wkeCreateWebViewFn)();
typedef void (*wkeSetTransparentFn)(wkeWebView webView, bool transparent);
typedef void (*wkeResizeFn)(wkeWebView webView, int width, int height);
typedef void (*wkeSetZoomFactorFn)(wkeWebView webView, float factor);
typedef void (*wkeOnConsoleFn)(wkeWebView webView, wkeConsoleCallback callback, void *param);
// Folder paths are NUL-terminated UTF-16.
typedef void (*wkeSetLocalStorageFullPathFn)(wkeWebView webView, const std::uint16_t *path);
typedef void (*wkeSetCookieJarFullPathFn)(wkeWebView webView, const std::uint16_t *path);
// The address is NUL-terminated UTF-8; the engine copies it.
typedef void (*wkeLoadURLFn)(wkeWebView webView, const char *url);
typedef void (*wkeSetDirtyFn)(wkeWebView webView, bool dirty);
typedef void (*wkeUpdateFn)();
typedef void (*wkeRepaintIfNeededFn)(wkeWebView webView);
typedef bool (*wkeIsDirtyFn)(wkeWebView webView);
// Writes the page picture at the view's size: rows top first, 32 bits per pixel (0xAARRGGBB
// in native byte order), pitch bytes apart.
typedef void (*wkePaintFn)(wkeWebView webView, void *bits, int pitch);
typedef bool (*wkeFireMouseEventFn)(wkeWebView webView, unsigned message, int x, int y, unsigned flags);
typedef bool (*wkeFireMouseWheelEventFn)(wkeWebView webView, int x, int y, int delta, unsigned flags);
typedef bool (*wkeFireKeyPressEventFn)(wkeWebView webView, unsigned charCode, unsigned flags, bool systemKey);
typedef bool (*wkeFireKeyUpEventFn)(wkeWebView webView, unsigned virtualKeyCode, unsigned flags,
                                    bool systemKey);
typedef bool (*wkeNavigateFn)(wkeWebView webView); // wkeReload, wkeGoBack, wkeGoForward
typedef void (*wkeStopLoadingFn)(wkeWebView webView);

} // extern "C"

// Every operation the view item uses, bound from one loaded engine library. Bound only when
// all of them resolved, so no caller ever meets a null pointer.
struct WkeFunctions
{
    wkeCreateWebViewFn createWebView = nullptr;
    wkeSetTransparentFn setTransparent = nullptr;
    wkeResizeFn resize = nullptr;
    wkeSetZoomFactorFn setZoomFactor = nullptr;
    wkeOnConsoleFn onConsole = nullptr;
    wkeSetLocalStorageFullPathFn setLocalStorageFullPath = nullptr;
    wkeSetCookieJarFullPathFn setCookieJarFullPath = nullptr;
    wkeLoadURLFn loadURL = nullptr;
    wkeSetDirtyFn setDirty = nullptr;
    wkeUpdateFn update = nullptr;
    wkeRepaintIfNeededFn repaintIfNeeded = nullptr;
    wkeIsDirtyFn isDirty = nullptr;
    wkePaintFn paint = nullptr;
    wkeFireMouseEventFn fireMouseEvent = nullptr;
    wkeFireMouseWheelEventFn fireMouseWheelEvent = nullptr;
    wkeFireKeyPressEventFn fireKeyPressEvent = nullptr;
    wkeFireKeyUpEventFn fireKeyUpEvent = nullptr;
    wkeNavigateFn reload = nullptr;
    wkeNavigateFn goBack = nullptr;
    wkeNavigateFn goForward = nullptr;
    wkeStopLoadingFn stopLoading = nullptr;
};
