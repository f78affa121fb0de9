#pragma once
#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeWindowSystem.h"
#include "platform/PointerDevice.h"

// A screen with a pointer and windows that lie somewhere. Every call on the pointer and on
// the windows' geometry is recorded with its arguments, in the order made. The glide worker
// calls the pointer from its own thread, so all of this part is locked.
class FakeDesktop : public FakeWindowSystem, public IPointerDevice {
public:
    explicit FakeDesktop(int width = 1024, int height = 768) : m_width(width), m_height(height) {}

    // --- set-up -------------------------------------------------------------------------
    // Later windows lie above earlier ones. An embedded window is a part of its parent.
    void AddWindow(WindowHandle handle, ScreenRect rect, bool embedded = false,
                   WindowHandle parent = 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Add(handle, "").parent = parent;
        m_places[handle] = Place{rect, embedded, true, {}};
        m_zOrder.push_back(handle);
    }
    // Where the window's minimize and close boxes lie.
    void SetBoxes(WindowHandle handle, ScreenRect boxes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_places[handle].boxes = boxes;
    }
    // Its style can't be read, as for a window that is going.
    void MakeUnreadable(WindowHandle handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_places[handle].readable = false;
    }
    // The window closes: it lies nowhere any more.
    void CloseWindow(WindowHandle handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_places.erase(handle);
        m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), handle), m_zOrder.end());
    }
    void PlaceCursor(int x, int y) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cursor = Clamp(ScreenPoint{x, y});
    }
    // What SendRawButtonWord answers for a word; a word not set presses and releases nothing.
    void SetRawWord(uint32_t word, ButtonChange change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rawWords[word] = change;
    }

    // --- what happened ------------------------------------------------------------------
    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // Only the calls of one name: "MoveTo" gives "MoveTo(1,2)" and none of "MoveWindow".
    std::vector<std::string> CallsTo(const std::string& name) const {
        std::vector<std::string> found;
        for (const std::string& call : Calls()) {
            if (call.compare(0, name.size() + 1, name + "(") == 0) found.push_back(call);
        }
        return found;
    }
    // The presses and releases, raw words included.
    std::vector<std::string> Buttons() const {
        std::vector<std::string> found;
        for (const std::string& call : Calls()) {
            if (call.rfind("Press(", 0) == 0 || call.rfind("Release(", 0) == 0 ||
                call.rfind("RawButtonWord(", 0) == 0) {
                found.push_back(call);
            }
        }
        return found;
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
        const auto it = m_places.find(handle);
        return it == m_places.end() ? ScreenRect{} : it->second.rect;
    }

    static std::string Hex(uintptr_t value) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
        return text;
    }

    // --- IPointerDevice -----------------------------------------------------------------
    // The system keeps the pointer on the screen.
    ScreenPoint Position() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_cursor;
    }
    void MoveTo(ScreenPoint point) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("MoveTo(" + Text(point) + ")");
        m_cursor = Clamp(point);
    }
    void Press(Button button) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record(std::string("Press(") + NameOf(button) + ")");
    }
    void Release(Button button) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record(std::string("Release(") + NameOf(button) + ")");
    }
    ButtonChange SendRawButtonWord(uint32_t word) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("RawButtonWord(" + std::to_string(word) + ")");
        const auto it = m_rawWords.find(word);
        return it == m_rawWords.end() ? ButtonChange{} : it->second;
    }
    void TurnWheelAt(ScreenPoint point, int delta) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("TurnWheelAt(" + Text(point) + "," + std::to_string(delta) + ")");
    }

    // --- IWindowSystem: geometry ----------------------------------------------------------
    WindowHandle WindowAt(ScreenPoint point) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("WindowAt(" + Text(point) + ")");
        for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it) {
            if (Contains(m_places[*it].rect, point)) return *it;
        }
        return 0;
    }
    bool IsEmbedded(WindowHandle window, bool* readable) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("IsEmbedded(" + Hex(window) + ")");
        const auto it = m_places.find(window);
        *readable = it != m_places.end() && it->second.readable;
        return *readable && it->second.embedded;
    }
    bool IsMinimizeOrCloseBox(WindowHandle window, ScreenPoint point) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("IsMinimizeOrCloseBox(" + Hex(window) + "," + Text(point) + ")");
        const auto it = m_places.find(window);
        return it != m_places.end() && Contains(it->second.boxes, point);
    }
    bool GetScreenRect(ScreenRect* rect) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        *rect = ScreenRect{0, 0, m_width, m_height};
        return true;
    }
    bool GetWindowRect(WindowHandle window, ScreenRect* rect) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_places.find(window);
        if (it == m_places.end()) return false;
        *rect = it->second.rect;
        return true;
    }
    void MoveWindow(WindowHandle window, const ScreenRect& rect) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record("MoveWindow(" + Hex(window) + "," + Text(ScreenPoint{rect.left, rect.top}) + "," +
               Text(ScreenPoint{rect.right, rect.bottom}) + ")");
        const auto it = m_places.find(window);
        if (it != m_places.end()) it->second.rect = rect;
    }

private:
    struct Place {
        ScreenRect rect;
        bool embedded = false;
        bool readable = true;
        ScreenRect boxes;  // empty: the window has none
    };

    void Record(std::string call) { m_calls.push_back(std::move(call)); }

    static std::string Text(ScreenPoint p) {
        return std::to_string(p.x) + "," + std::to_string(p.y);
    }
    static const char* NameOf(Button button) {
        switch (button) {
            case Button::Left:
                return "Left";
            case Button::Right:
                return "Right";
            case Button::Middle:
                return "Middle";
            case Button::Extra:
                return "Extra";
        }
        return "?";
    }
    static bool Contains(const ScreenRect& r, ScreenPoint p) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    }
    ScreenPoint Clamp(ScreenPoint p) const {
        p.x = p.x < 0 ? 0 : (p.x >= m_width ? m_width - 1 : p.x);
        p.y = p.y < 0 ? 0 : (p.y >= m_height ? m_height - 1 : p.y);
        return p;
    }

    mutable std::mutex m_mutex;
    const int m_width;
    const int m_height;
    ScreenPoint m_cursor;
    std::map<WindowHandle, Place> m_places;
    std::vector<WindowHandle> m_zOrder;
    std::map<uint32_t, ButtonChange> m_rawWords;
    std::vector<std::string> m_calls;
};
