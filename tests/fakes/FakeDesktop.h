#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/Desktop.h"
#include "platform/MainWindow.h"

// A screen with a pointer and windows. Every call is recorded with its exact arguments, in
// the order made; the glide worker calls it from its own thread, so all of it is locked.
class FakeDesktop : public IDesktop {
public:
    static constexpr WindowHandle kDesktopWindow = 0x10010;

    struct Window {
        ScreenRect rect;
        uint32_t style = 0;
        WindowHandle parent = 0;
        intptr_t hitTest = 1;  // HTCLIENT
    };

    explicit FakeDesktop(int width = 1024, int height = 768) : m_width(width), m_height(height) {
        UseUsLayout();
    }

    // --- set-up -------------------------------------------------------------------------
    // Later windows lie above earlier ones.
    void AddWindow(WindowHandle handle, ScreenRect rect, uint32_t style = 0,
                   WindowHandle parent = 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_windows[handle] = Window{rect, style, parent, 1};
        m_zOrder.push_back(handle);
    }
    void SetHitTest(WindowHandle handle, intptr_t code) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_windows[handle].hitTest = code;
    }
    void SetLayout(char character, int16_t answer) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_layout[static_cast<unsigned char>(character)] = answer;
    }
    void PlaceCursor(int x, int y) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cursor = Clamp(ScreenPoint{x, y});
    }
    // While held, every Sleep blocks until released (or a few seconds pass).
    void HoldSleeps(bool hold) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_holdSleeps = hold;
        }
        m_changed.notify_all();
    }

    // --- what happened ------------------------------------------------------------------
    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // Only the calls whose text begins with prefix.
    std::vector<std::string> CallsOf(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& call : Calls()) {
            if (call.compare(0, prefix.size(), prefix) == 0) out.push_back(call);
        }
        return out;
    }
    void ClearCalls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }
    ScreenPoint Cursor() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_cursor;
    }
    ScreenRect RectOf(WindowHandle handle) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_windows.find(handle);
        return it == m_windows.end() ? ScreenRect{} : it->second.rect;
    }
    bool WaitForSleeps(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_sleeps >= count; });
    }

    // --- IDesktop -------------------------------------------------------------------------
    ScreenPoint GetCursorPos() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("GetCursorPos");
        return m_cursor;
    }
    void SetCursorPos(int x, int y) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("SetCursorPos(" + Join({x, y}) + ")");
        m_cursor = Clamp(ScreenPoint{x, y});
    }
    void MouseEvent(uint32_t flags) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("mouse_event(" + std::to_string(flags) + ")");
    }
    void KeybdEvent(uint8_t virtualKey, uint8_t scanCode, uint32_t flags) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("keybd_event(" + Join({virtualKey, scanCode, static_cast<long long>(flags)}) + ")");
    }
    int16_t VkKeyScanA(char character) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const unsigned char c = static_cast<unsigned char>(character);
        Record("VkKeyScanA(" + std::to_string(c) + ")");
        const auto it = m_layout.find(c);
        return it == m_layout.end() ? int16_t{-1} : it->second;
    }
    WindowHandle WindowFromPoint(ScreenPoint point) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("WindowFromPoint(" + Join({point.x, point.y}) + ")");
        for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it) {
            const ScreenRect& r = m_windows[*it].rect;
            if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom)
                return *it;
        }
        return 0;
    }
    bool GetWindowStyle(WindowHandle window, uint32_t* style) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("GetWindowInfo(" + Hex(window) + ")");
        const auto it = m_windows.find(window);
        if (it == m_windows.end()) return false;
        *style = it->second.style;
        return true;
    }
    WindowHandle GetParent(WindowHandle window) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("GetParent(" + Hex(window) + ")");
        const auto it = m_windows.find(window);
        return it == m_windows.end() ? 0 : it->second.parent;
    }
    WindowHandle GetDesktopWindow() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("GetDesktopWindow");
        return kDesktopWindow;
    }
    bool GetWindowRect(WindowHandle window, ScreenRect* rect) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("GetWindowRect(" + Hex(window) + ")");
        if (window == kDesktopWindow) {
            *rect = ScreenRect{0, 0, m_width, m_height};
            return true;
        }
        const auto it = m_windows.find(window);
        if (it == m_windows.end()) return false;
        *rect = it->second.rect;
        return true;
    }
    void MoveWindow(WindowHandle window, int x, int y, int width, int height,
                    bool repaint) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("MoveWindow(" + Hex(window) + "," + Join({x, y, width, height, repaint}) + ")");
        const auto it = m_windows.find(window);
        if (it != m_windows.end()) it->second.rect = ScreenRect{x, y, x + width, y + height};
    }
    intptr_t SendMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("SendMessage(" + Hex(window) + "," + Join({message}) + "," + Hex(wParam) + "," +
               Hex(static_cast<uintptr_t>(lParam)) + ")");
        const auto it = m_windows.find(window);
        if (message != desktop::kWmNcHitTest || it == m_windows.end()) return 0;
        return it->second.hitTest;
    }
    void PostMessageA(WindowHandle window, uint32_t message, uintptr_t wParam,
                      intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("PostMessage(" + Hex(window) + "," + Join({message}) + "," + Hex(wParam) + "," +
               Hex(static_cast<uintptr_t>(lParam)) + ")");
    }
    void Sleep(uint32_t milliseconds) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        Record("Sleep(" + std::to_string(milliseconds) + ")");
        ++m_sleeps;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return !m_holdSleeps; });
    }

    static std::string Hex(uintptr_t value) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
        return text;
    }

private:
    void Record(std::string call) { m_calls.push_back(std::move(call)); }

    static std::string Join(std::initializer_list<long long> values) {
        std::string out;
        for (long long v : values) out += (out.empty() ? "" : ",") + std::to_string(v);
        return out;
    }

    ScreenPoint Clamp(ScreenPoint p) const {
        p.x = p.x < 0 ? 0 : (p.x >= m_width ? m_width - 1 : p.x);
        p.y = p.y < 0 ? 0 : (p.y >= m_height ? m_height - 1 : p.y);
        return p;
    }

    // The answers of a US layout for the characters the tests type.
    void UseUsLayout() {
        for (char c = 'a'; c <= 'z'; ++c) m_layout[c] = static_cast<int16_t>(c - 'a' + 'A');
        for (char c = 'A'; c <= 'Z'; ++c) m_layout[c] = static_cast<int16_t>(0x100 | c);
        for (char c = '0'; c <= '9'; ++c) m_layout[c] = c;
        const std::pair<char, int16_t> others[] = {{' ', 0x20},  {'\b', 0x08}, {'\t', 0x09},
                                                   {'\r', 0x0D}, {'!', 0x131}, {'@', 0x132}};
        for (const auto& [c, answer] : others) m_layout[static_cast<unsigned char>(c)] = answer;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    const int m_width;
    const int m_height;
    ScreenPoint m_cursor;
    std::map<WindowHandle, Window> m_windows;
    std::vector<WindowHandle> m_zOrder;
    std::map<unsigned char, int16_t> m_layout;
    std::vector<std::string> m_calls;
    size_t m_sleeps = 0;
    bool m_holdSleeps = false;
};

// The server's own window as the input rules see it: a handle and the hide request.
class InputMainWindow : public IMainWindow {
public:
    explicit InputMainWindow(WindowHandle handle) : m_handle(handle) {}
    void PostDropConnection(CConnectionSocket*) override {}
    void UpdateStatusDisplay() override {}
    void SetDeviceName(const std::string&) override {}
    WindowHandle Handle() const override { return m_handle; }
    void PostHideToTray() override { ++hides; }

    int hides = 0;

private:
    WindowHandle m_handle;
};
