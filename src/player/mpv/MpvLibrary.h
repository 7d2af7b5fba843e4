// libmpv is opened at run time, at the first call into it (MpvLibrary.cpp).
#pragma once

namespace mpvlib {

// Opens libmpv once per process; later calls, from any thread, wait for that first opening and
// return its outcome. True when the library and every function the player calls were found.
bool open();

// Whether the opening has ended (either way), without waiting for it.
bool openingDone();

} // namespace mpvlib
