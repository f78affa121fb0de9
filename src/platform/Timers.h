#pragma once
#include <cstdint>
#include <functional>

// One-shot timers that call back on the GUI thread, from whichever message loop runs, nested
// modal ones included.
class ITimers {
public:
    using TimerId = uint32_t;
    virtual ~ITimers() = default;
    // Calls back once after the delay; 0 when no timer could be made.
    virtual TimerId StartOnce(uint32_t milliseconds, std::function<void()> callback) = 0;
    // Harmless for a timer that has fired or was never made.
    virtual void Cancel(TimerId id) = 0;
};
