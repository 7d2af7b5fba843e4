// Keeps maximised frameless windows inside the work area of their monitor.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QPoint>
#include <QRect>
#include <QSize>

class FramelessWindowMaximizeFilter : public QAbstractNativeEventFilter
{
public:
    struct MaximizedPlacement
    {
        QSize size;
        QPoint position; // relative to the monitor's own top-left corner
    };

    FramelessWindowMaximizeFilter() = default;
    ~FramelessWindowMaximizeFilter() override = default;

    // Size and position of a maximised window: the whole work area, placed relative to the
    // monitor (a task bar at the left or top moves the origin, one at the right or bottom
    // only shrinks the size). Both rectangles are in the same virtual-desktop coordinates.
    static MaximizedPlacement maximizedPlacement(const QRect &monitor, const QRect &workArea);

    // Lets every message through to Qt; only adjusts the maximise limits that the platform
    // asks a frameless window for. Window managers on X11 already keep maximised windows
    // inside the work area, so there no message needs adjusting.
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;
};
