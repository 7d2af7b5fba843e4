// Monitor and work-area query: the window manager's answer on Windows, QScreen elsewhere.
#include "platform/MonitorWorkArea.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#endif

namespace platform {

#ifdef Q_OS_WIN

bool monitorAreasForNativeWindow(quintptr nativeWindow, MonitorAreas *out)
{
    if (!out)
        return false;
    HMONITOR monitor = MonitorFromWindow(reinterpret_cast<HWND>(nativeWindow), MONITOR_DEFAULTTONEAREST);
    if (!monitor)
        return false;
    MONITORINFO info;
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info))
        return false;
    const auto toRect = [](const RECT &r) {
        return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
    };
    out->monitor = toRect(info.rcMonitor);
    out->workArea = toRect(info.rcWork);
    return true;
}

#else

bool monitorAreasForNativeWindow(quintptr nativeWindow, MonitorAreas *out)
{
    if (!out || !QGuiApplication::instance())
        return false;
    QScreen *screen = nullptr;
    const auto windows = QGuiApplication::allWindows();
    for (QWindow *window : windows) {
        if (window->handle() && static_cast<quintptr>(window->winId()) == nativeWindow) {
            screen = window->screen();
            break;
        }
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    out->monitor = screen->geometry();
    out->workArea = screen->availableGeometry();
    return true;
}

#endif

} // namespace platform
