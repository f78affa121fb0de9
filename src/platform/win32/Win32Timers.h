#pragma once
#include <windows.h>

#include <functional>
#include <map>

#include "platform/Timers.h"

// Timers of a hidden message-only window: WM_TIMER reaches it through whichever message loop
// runs on the GUI thread, nested modal ones included.
class Win32Timers : public ITimers {
public:
    Win32Timers();
    ~Win32Timers() override;
    Win32Timers(const Win32Timers&) = delete;
    Win32Timers& operator=(const Win32Timers&) = delete;

    TimerId StartOnce(uint32_t milliseconds, std::function<void()> callback) override;
    void Cancel(TimerId id) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Fire(TimerId id);

    HWND m_window = nullptr;
    std::map<TimerId, std::function<void()>> m_callbacks;
    TimerId m_nextId = 1;
};
