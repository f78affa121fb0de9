#pragma once
#include "platform/Desktop.h"

// USER32's pointer, keyboard and window calls. It holds no state, so the glide worker and the
// GUI thread can share it.
class Win32Desktop : public IDesktop {
public:
    ScreenPoint GetCursorPos() override;
    void SetCursorPos(int x, int y) override;
    void MouseEvent(uint32_t flags) override;
    void KeybdEvent(uint8_t virtualKey, uint8_t scanCode, uint32_t flags) override;
    int16_t VkKeyScanA(char character) override;
    WindowHandle WindowFromPoint(ScreenPoint point) override;
    bool GetWindowStyle(WindowHandle window, uint32_t* style) override;
    WindowHandle GetParent(WindowHandle window) override;
    WindowHandle GetDesktopWindow() override;
    bool GetWindowRect(WindowHandle window, ScreenRect* rect) override;
    void MoveWindow(WindowHandle window, int x, int y, int width, int height,
                    bool repaint) override;
    intptr_t SendMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) override;
    void PostMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                      intptr_t lParam) override;
    void Sleep(uint32_t milliseconds) override;
};
