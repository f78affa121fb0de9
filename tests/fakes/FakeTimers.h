#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "platform/Timers.h"

// Timers that fire only when the test says time has passed.
class FakeTimers : public ITimers {
public:
    TimerId StartOnce(uint32_t milliseconds, std::function<void()> callback) override {
        const TimerId id = ++m_last;
        m_timers[id] = Timer{m_now + milliseconds, std::move(callback)};
        return id;
    }
    void Cancel(TimerId id) override { m_timers.erase(id); }

    // Moves the clock on and fires, in order of their deadlines, the timers due by then.
    void Advance(uint64_t milliseconds) {
        const uint64_t until = m_now + milliseconds;
        for (;;) {
            auto due = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                if (it->second.deadline <= until &&
                    (due == m_timers.end() || it->second.deadline < due->second.deadline))
                    due = it;
            }
            if (due == m_timers.end()) break;
            m_now = due->second.deadline;
            std::function<void()> callback = std::move(due->second.callback);
            m_timers.erase(due);
            callback();
        }
        m_now = until;
    }
    size_t Pending() const { return m_timers.size(); }

private:
    struct Timer {
        uint64_t deadline;
        std::function<void()> callback;
    };
    std::map<TimerId, Timer> m_timers;
    uint64_t m_now = 0;
    TimerId m_last = 0;
};
