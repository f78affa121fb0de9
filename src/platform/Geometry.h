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
