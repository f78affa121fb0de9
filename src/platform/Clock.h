#pragma once
#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Milliseconds since start-up, wrapping at 2^32.
    virtual uint32_t TickCount() = 0;
};
