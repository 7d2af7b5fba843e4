// The desktop's virtual-key codes, as the engine's callers speak them, in Qt's terms.
#pragma once

namespace webengine {

// Qt's key for a virtual-key code; Qt::Key_unknown for codes without one.
int qtKeyForVirtualKey(unsigned virtualKey);

} // namespace webengine
