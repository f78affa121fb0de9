#include "platform/win32/Win32Timers.h"

#include <utility>

namespace {

constexpr wchar_t kWindowClass[] = L"TavrixTimerWindow";

}  // namespace

Win32Timers::Win32Timers() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!m_window) return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
}

Win32Timers::~Win32Timers() {
    if (m_window) DestroyWindow(m_window);
}

ITimers::TimerId Win32Timers::StartOnce(uint32_t milliseconds, std::function<void()> callback) {
    if (!m_window) return 0;
    const TimerId id = m_nextId;
    m_nextId = m_nextId == UINT32_MAX ? 1 : m_nextId + 1;
    if (!SetTimer(m_window, id, milliseconds, nullptr)) return 0;
    m_callbacks[id] = std::move(callback);
    return id;
}

void Win32Timers::Cancel(TimerId id) {
    if (m_callbacks.erase(id) != 0) KillTimer(m_window, id);
}

LRESULT CALLBACK Win32Timers::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Timers*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_TIMER) {
        self->Fire(static_cast<TimerId>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Timers::Fire(TimerId id) {
    KillTimer(m_window, id);
    const auto it = m_callbacks.find(id);
    if (it == m_callbacks.end()) return;
    // Out of the map before it runs: the callback may start or cancel timers.
    std::function<void()> callback = std::move(it->second);
    m_callbacks.erase(it);
    callback();
}
