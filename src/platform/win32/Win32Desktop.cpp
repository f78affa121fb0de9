#include "platform/win32/Win32Desktop.h"

#include <windows.h>

namespace {

HWND ToHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

WindowHandle FromHwnd(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

}  // namespace

ScreenPoint Win32Desktop::GetCursorPos() {
    POINT point = {};
    if (!::GetCursorPos(&point)) return ScreenPoint{};
    return ScreenPoint{point.x, point.y};
}

void Win32Desktop::SetCursorPos(int x, int y) {
    ::SetCursorPos(x, y);
}

void Win32Desktop::MouseEvent(uint32_t flags) {
    ::mouse_event(flags, 0, 0, 0, 0);
}

void Win32Desktop::KeybdEvent(uint8_t virtualKey, uint8_t scanCode, uint32_t flags) {
    ::keybd_event(virtualKey, scanCode, flags, 0);
}

int16_t Win32Desktop::VkKeyScanA(char character) {
    return ::VkKeyScanA(character);
}

WindowHandle Win32Desktop::WindowFromPoint(ScreenPoint point) {
    return FromHwnd(::WindowFromPoint(POINT{point.x, point.y}));
}

bool Win32Desktop::GetWindowStyle(WindowHandle window, uint32_t* style) {
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetWindowInfo(ToHwnd(window), &info)) return false;
    *style = info.dwStyle;
    return true;
}

WindowHandle Win32Desktop::GetParent(WindowHandle window) {
    return FromHwnd(::GetParent(ToHwnd(window)));
}

WindowHandle Win32Desktop::GetDesktopWindow() {
    return FromHwnd(::GetDesktopWindow());
}

bool Win32Desktop::GetWindowRect(WindowHandle window, ScreenRect* rect) {
    RECT r = {};
    if (!::GetWindowRect(ToHwnd(window), &r)) return false;
    *rect = ScreenRect{r.left, r.top, r.right, r.bottom};
    return true;
}

void Win32Desktop::MoveWindow(WindowHandle window, int x, int y, int width, int height,
                              bool repaint) {
    ::MoveWindow(ToHwnd(window), x, y, width, height, repaint ? TRUE : FALSE);
}

intptr_t Win32Desktop::SendMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) {
    return ::SendMessageA(ToHwnd(window), message, wParam, lParam);
}

void Win32Desktop::PostMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam) {
    ::PostMessageA(ToHwnd(window), message, wParam, lParam);
}

void Win32Desktop::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}
