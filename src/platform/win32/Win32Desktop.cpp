#include "platform/win32/Win32Desktop.h"

#include <windows.h>

ScreenPoint Win32Desktop::GetCursorPos() {
    POINT point = {};
    if (!::GetCursorPos(&point)) return ScreenPoint{};
    return ScreenPoint{point.x, point.y};
}

void Win32Desktop::SetCursorPos(int x, int y) {
    ::SetCursorPos(x, y);
}
