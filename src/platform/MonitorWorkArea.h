// The monitor a native window is on, with its work area (the monitor less the task bars).
#pragma once

#include <QRect>
#include <QtGlobal>

namespace platform {

struct MonitorAreas
{
    QRect monitor;
    QRect workArea;
};

// Areas of the monitor nearest to the native window (a window that is unknown or not shown
// yet counts as being on the primary monitor). False when no monitor can be queried.
bool monitorAreasForNativeWindow(quintptr nativeWindow, MonitorAreas *out);

} // namespace platform
