#pragma once
#include <cstdint>

// A window of the desktop, as the platform names it; 0 is none.
using WindowHandle = std::uintptr_t;

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The few values of the system's own that the input rules use, so that the core needs no
// system header.
namespace desktop {
constexpr WindowHandle kBroadcast = 0xFFFF;  // HWND_BROADCAST
constexpr uint32_t kWmNcHitTest = 0x0084;
constexpr uint32_t kWmHotKey = 0x0312;
constexpr uint32_t kWmMouseWheel = 0x020A;
constexpr uint32_t kWsChild = 0x40000000u;
constexpr uint32_t kWsPopup = 0x80000000u;
constexpr uint32_t kKeyEventKeyUp = 0x0002;  // KEYEVENTF_KEYUP
constexpr int kHitMinButton = 8;             // HTMINBUTTON
constexpr int kHitClose = 20;                // HTCLOSE
}  // namespace desktop

// The desktop that the device's input goes to. Every call may come from the GUI thread or
// from the glide worker, so an implementation keeps no unguarded state of its own.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual ScreenPoint GetCursorPos() = 0;
    virtual void SetCursorPos(int x, int y) = 0;
    // Synthetic input at the pointer's position: coordinates, wheel data and extra info are 0.
    virtual void MouseEvent(uint32_t flags) = 0;
    virtual void KeybdEvent(uint8_t virtualKey, uint8_t scanCode, uint32_t flags) = 0;
    // Virtual key in the low byte, shift state in the high byte; -1 when the layout has none.
    virtual int16_t VkKeyScanA(char character) = 0;

    virtual WindowHandle WindowFromPoint(ScreenPoint point) = 0;
    // The window's style from its window information; false when it can't be read.
    virtual bool GetWindowStyle(WindowHandle window, uint32_t* style) = 0;
    virtual WindowHandle GetParent(WindowHandle window) = 0;
    virtual WindowHandle GetDesktopWindow() = 0;
    virtual bool GetWindowRect(WindowHandle window, ScreenRect* rect) = 0;
    virtual void MoveWindow(WindowHandle window, int x, int y, int width, int height,
                            bool repaint) = 0;
    // The ANSI names: the plain ones are macros in the system's headers.
    virtual intptr_t SendMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) = 0;
    virtual void PostMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) = 0;

    virtual void Sleep(uint32_t milliseconds) = 0;
};

// x in the low word and y in the high word, as window messages carry a screen position.
inline intptr_t PackScreenPoint(ScreenPoint point) {
    const uint32_t packed = static_cast<uint32_t>(static_cast<uint16_t>(point.x)) |
                            (static_cast<uint32_t>(static_cast<uint16_t>(point.y)) << 16);
    return static_cast<intptr_t>(packed);
}
