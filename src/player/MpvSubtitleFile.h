// Loading an external subtitle file into mpv, robust against paths mpv cannot open as given.
#pragma once

#include <QString>

#include <mpv/client.h>

namespace mpvsubtitle {

// Tries the native, "/"-separated and file-URL forms of the path, an ASCII-named copy of a
// non-ASCII path, and each absolute form again in the local 8-bit encoding. With select the
// added track becomes the current subtitle; without it mpv adds the track and leaves the
// current choice alone. True when mpv took one of the forms.
bool add(mpv_handle *handle, const QString &path, bool select);

// Folder of the ASCII-named subtitle copies under the temporary root.
QString mirrorBasePath();

} // namespace mpvsubtitle
