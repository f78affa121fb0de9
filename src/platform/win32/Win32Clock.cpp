#include "platform/win32/Win32Services.h"

void Win32Clock::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

uint32_t Win32Clock::TickCount() {
    return GetTickCount();
}
