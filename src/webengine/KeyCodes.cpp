// The desktop's virtual-key codes in Qt's terms.
#include "webengine/KeyCodes.h"

#include <Qt>

namespace webengine {

int qtKeyForVirtualKey(unsigned virtualKey)
{
    // Letters and digits share their codes with Qt's keys.
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
        return int(virtualKey);
    if (virtualKey >= 0x70 && virtualKey <= 0x7B) // F1 to F12
        return Qt::Key_F1 + int(virtualKey - 0x70);
    if (virtualKey >= 0x60 && virtualKey <= 0x69) // the keypad's digits
        return Qt::Key_0 + int(virtualKey - 0x60);
    switch (virtualKey) {
    case 0x08:
        return Qt::Key_Backspace;
    case 0x09:
        return Qt::Key_Tab;
    case 0x0D:
        return Qt::Key_Return;
    case 0x10:
        return Qt::Key_Shift;
    case 0x11:
        return Qt::Key_Control;
    case 0x12:
        return Qt::Key_Alt;
    case 0x14:
        return Qt::Key_CapsLock;
    case 0x1B:
        return Qt::Key_Escape;
    case 0x20:
        return Qt::Key_Space;
    case 0x21:
        return Qt::Key_PageUp;
    case 0x22:
        return Qt::Key_PageDown;
    case 0x23:
        return Qt::Key_End;
    case 0x24:
        return Qt::Key_Home;
    case 0x25:
        return Qt::Key_Left;
    case 0x26:
        return Qt::Key_Up;
    case 0x27:
        return Qt::Key_Right;
    case 0x28:
        return Qt::Key_Down;
    case 0x2D:
        return Qt::Key_Insert;
    case 0x2E:
        return Qt::Key_Delete;
    default:
        return Qt::Key_unknown;
    }
}

} // namespace webengine
