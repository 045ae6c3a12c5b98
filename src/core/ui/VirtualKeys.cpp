#include "core/ui/VirtualKeys.h"

#include "core/AutoType.h"

namespace pelmar::ui {

uint16_t VirtualKeyOf(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return static_cast<uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        case Qt::Key_Semicolon:
            return 0xBA;
        case Qt::Key_Equal:
            return 0xBB;
        case Qt::Key_Comma:
            return 0xBC;
        case Qt::Key_Minus:
            return 0xBD;
        case Qt::Key_Period:
            return 0xBE;
        case Qt::Key_Slash:
            return 0xBF;
        case Qt::Key_QuoteLeft:
            return 0xC0;
        case Qt::Key_BracketLeft:
            return 0xDB;
        case Qt::Key_Backslash:
            return 0xDC;
        case Qt::Key_BracketRight:
            return 0xDD;
        case Qt::Key_Apostrophe:
            return 0xDE;
        default:
            return 0;
    }
}

uint8_t ShiftStateOf(Qt::KeyboardModifiers m) {
    uint8_t s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    return s;
}

}  // namespace pelmar::ui
