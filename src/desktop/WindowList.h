#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/Geometry.h"

// Periodic lists wait this long after the last list of any origin.
constexpr uint32_t kListThrottleMs = 10000;

// The tick count wraps at 2^32; the unsigned difference is the time that has passed.
inline bool ListThrottled(uint32_t now, uint32_t lastListTick) {
    return static_cast<uint32_t>(now - lastListTick) < kListThrottleMs;
}

// Position of the foreground window in key order; the number of windows when it isn't listed.
size_t ForegroundIndex(const std::map<std::string, WindowHandle>& windows, WindowHandle foreground);

// "124:" index, then ":" and each key in key order, then a line feed.
std::string BuildWindowListMessage(const std::map<std::string, WindowHandle>& windows,
                                   WindowHandle foreground);
