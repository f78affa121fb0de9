#pragma once
#include <cstdint>

// A window of the desktop, as the platform names it; 0 is none.
using WindowHandle = std::uintptr_t;

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// The desktop that the device's input goes to.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual ScreenPoint GetCursorPos() = 0;
    virtual void SetCursorPos(int x, int y) = 0;
};
