#pragma once
#include <cstdint>
#include <vector>

#include "platform/Clock.h"

class FakeClock : public IClock {
public:
    void Sleep(uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
    }
    uint32_t TickCount() override { return now; }

    std::vector<uint32_t> sleeps;
    uint32_t now = 0;
};
