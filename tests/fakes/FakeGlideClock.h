#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Clock.h"

// A clock whose Sleep returns at once unless held, safe to call from the glide worker. Time
// moves only by the sleeps.
class FakeGlideClock : public IClock {
public:
    // While held, every Sleep blocks until released (or a few seconds pass, so that a test
    // that fails can't hang).
    void HoldSleeps(bool hold) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_hold = hold;
        }
        m_changed.notify_all();
    }
    bool WaitForSleeps(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_sleeps.size() >= count; });
    }
    std::vector<uint32_t> Sleeps() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sleeps;
    }
    void ClearSleeps() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sleeps.clear();
    }

    void Sleep(uint32_t milliseconds) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_sleeps.push_back(milliseconds);
        m_now += milliseconds;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return !m_hold; });
    }
    uint32_t TickCount() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_now;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint32_t> m_sleeps;
    uint32_t m_now = 0;
    bool m_hold = false;
};
