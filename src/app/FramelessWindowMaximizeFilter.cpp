// Maximise limits of frameless windows: without a system frame Windows would maximise them
// over the task bar, so the monitor's work area is handed back as the maximised rectangle.
#include "app/FramelessWindowMaximizeFilter.h"

#include "platform/MonitorWorkArea.h"

#include <QByteArray>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

FramelessWindowMaximizeFilter::MaximizedPlacement
FramelessWindowMaximizeFilter::maximizedPlacement(const QRect &monitor, const QRect &workArea)
{
    MaximizedPlacement placement;
    placement.size = workArea.size();
    placement.position = workArea.topLeft() - monitor.topLeft();
    return placement;
}

bool FramelessWindowMaximizeFilter::nativeEventFilter(const QByteArray &eventType, void *message,
                                                      long *result)
{
    Q_UNUSED(result)
    if (eventType != QByteArrayLiteral("windows_generic_MSG") &&
        eventType != QByteArrayLiteral("windows_dispatcher_MSG"))
        return false;
    if (!message)
        return false;
#ifdef Q_OS_WIN
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_GETMINMAXINFO || msg->lParam == 0)
        return false;
    platform::MonitorAreas areas;
    if (!platform::monitorAreasForNativeWindow(reinterpret_cast<quintptr>(msg->hwnd), &areas))
        return false;
    const MaximizedPlacement placement = maximizedPlacement(areas.monitor, areas.workArea);
    auto *info = reinterpret_cast<MINMAXINFO *>(msg->lParam);
    info->ptMaxSize.x = placement.size.width();
    info->ptMaxSize.y = placement.size.height();
    info->ptMaxPosition.x = placement.position.x();
    info->ptMaxPosition.y = placement.position.y();
#endif
    return false;
}
