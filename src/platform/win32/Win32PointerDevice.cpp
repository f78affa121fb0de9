#include "platform/win32/Win32PointerDevice.h"

#include "platform/win32/Win32Handles.h"

namespace {

struct ButtonFlags {
    Button button;
    DWORD press;
    DWORD release;
};
constexpr ButtonFlags kButtonFlags[] = {
    {Button::Left, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
    {Button::Right, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
    {Button::Middle, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
    {Button::Extra, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP},
};

const ButtonFlags& FlagsOf(Button button) {
    return kButtonFlags[static_cast<int>(button)];
}

// Synthetic input at the pointer's position: coordinates, wheel data and extra info are 0.
void MouseEvent(DWORD flags) {
    mouse_event(flags, 0, 0, 0, 0);
}

// x in the low word and y in the high word, as window messages carry a screen position.
LPARAM PackScreenPoint(ScreenPoint point) {
    const DWORD packed = static_cast<DWORD>(static_cast<WORD>(point.x)) |
                         (static_cast<DWORD>(static_cast<WORD>(point.y)) << 16);
    return static_cast<LPARAM>(packed);
}

}  // namespace

ScreenPoint Win32PointerDevice::Position() {
    POINT point = {};
    if (!GetCursorPos(&point)) return ScreenPoint{};
    return ScreenPoint{point.x, point.y};
}

void Win32PointerDevice::MoveTo(ScreenPoint point) {
    SetCursorPos(point.x, point.y);
}

void Win32PointerDevice::Press(Button button) {
    MouseEvent(FlagsOf(button).press);
}

void Win32PointerDevice::Release(Button button) {
    MouseEvent(FlagsOf(button).release);
}

ButtonChange Win32PointerDevice::SendRawButtonWord(uint32_t word) {
    MouseEvent(word);
    ButtonChange change;
    for (const ButtonFlags& flags : kButtonFlags) {
        if (word & flags.press) change.pressed |= ButtonBit(flags.button);
        if (word & flags.release) change.released |= ButtonBit(flags.button);
    }
    return change;
}

void Win32PointerDevice::TurnWheelAt(ScreenPoint point, int delta) {
    const HWND under = WindowFromPoint(POINT{point.x, point.y});
    if (!under) return;
    const WPARAM wParam = static_cast<WPARAM>(static_cast<WORD>(delta)) << 16;
    PostMessageA(under, WM_MOUSEWHEEL, wParam, PackScreenPoint(point));
}
