#pragma once
#include <cstdint>

namespace platform {

// Windows virtual-key codes, the numbering the widget tree and the game use.
enum VirtualKey : int {
    VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
    VK_MENU = 0x12, VK_PAUSE = 0x13, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21,
    VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
    VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
    VK_F1 = 0x70,
};

enum class EventKind {
    None,
    KeyDown,      // key = virtual-key code
    KeyUp,
    Char,         // ch = one UTF-16 code unit
    MouseMove,    // x, y in picture coordinates; buttons = held buttons mask
    MouseDown,    // x, y, clickCount (signed: 1, 2 left; -1, -2 right; 3 middle)
    MouseUp,      // x, y, clickCount as for MouseDown
    MouseWheel,   // delta: positive away from the user, 120 per notch
    MouseLeave,   // pointer left the window
    FocusGained,
    FocusLost,
    Minimized,
    Restored,
    Quit,         // window closed or the system asked to end
};

struct InputEvent {
    EventKind kind = EventKind::None;
    int key = 0;
    char16_t ch = 0;
    int x = 0;
    int y = 0;
    int clickCount = 0;
    int delta = 0;
    int buttons = 0;
};

// SDL keycode (SDL_Keycode) to virtual-key code; 0 when the key has none.
int TranslateKey(int sdlKeycode);

} // namespace platform
