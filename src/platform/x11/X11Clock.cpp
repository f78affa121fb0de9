#include <cerrno>
#include <ctime>

#include "platform/x11/X11Services.h"

void X11Clock::Sleep(uint32_t milliseconds) {
    timespec left = {static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal handled meanwhile doesn't cut the pause short.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint32_t X11Clock::TickCount() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}
