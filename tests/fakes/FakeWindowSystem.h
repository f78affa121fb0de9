#pragma once
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

// A desktop of top-level windows, front to back, with their processes and the icons of their
// programs. Every call that acts on the desktop is recorded with its arguments.
class FakeWindowSystem : public IWindowSystem {
public:
    struct Window {
        WindowHandle handle = 0;
        std::string title;
        uint32_t processId = 0;
        bool hasChild = true;
        bool visible = true;
        WindowHandle parent = 0;
        bool iconic = false;
    };

    // A colour bitmap: what GetObjectA tells of it and what GetDIBits does.
    struct Icon {
        bool described = true;
        BitmapDescription description{32, 32, 1, 32};
        int linesCopied = 32;
        uint8_t fill = 0xAB;             // every pixel byte GetDIBits writes
        uint32_t reportedImageSize = 0;  // 0: GetDIBits leaves the header's size
        uint32_t reportedColours = ~0u;  // ~0: GetDIBits leaves the header's count
    };

    // --- set-up --------------------------------------------------------------------------
    // Behind every window added so far.
    Window& Add(WindowHandle handle, const std::string& title, uint32_t processId = 1) {
        windows.push_back(Window{handle, title, processId});
        return windows.back();
    }

    std::vector<Window> windows;
    std::map<uint32_t, std::string> images;  // a process without an entry can't be opened
    std::map<std::string, Icon> icons;       // by program path
    WindowHandle foreground = 0;

    // --- what happened ---------------------------------------------------------------------
    std::vector<std::string> calls;
    std::map<uint32_t, int> opens;  // OpenProcess per process id
    std::vector<std::string> messageBoxes;
    int enumerations = 0;
    // The last GetDIBits: lines asked for and the buffer sizes it was given.
    uint32_t dibLines = 0;
    size_t dibInfoSize = 0;
    size_t dibPixelSize = 0;

    // --- IWindowSystem ----------------------------------------------------------------------
    // Geometry is the pointer tests' business; here no window lies anywhere.
    WindowHandle WindowAt(ScreenPoint) override { return 0; }
    bool IsEmbedded(WindowHandle, bool* readable) override {
        *readable = false;
        return false;
    }
    bool IsMinimizeOrCloseBox(WindowHandle, ScreenPoint) override { return false; }
    bool GetScreenRect(ScreenRect*) override { return false; }
    bool GetWindowRect(WindowHandle, ScreenRect*) override { return false; }
    void MoveWindow(WindowHandle, const ScreenRect&) override {}

    void EnumWindows(const std::function<bool(WindowHandle)>& visit) override {
        ++enumerations;
        for (const Window& w : std::vector<Window>(windows)) {
            if (!visit(w.handle)) return;
        }
    }
    WindowHandle GetParent(WindowHandle h) override { return Find(h) ? Find(h)->parent : 0; }
    bool IsWindowVisible(WindowHandle h) override { return Find(h) && Find(h)->visible; }
    std::string GetWindowTextA(WindowHandle h) override { return Find(h) ? Find(h)->title : ""; }
    bool HasChildWindow(WindowHandle h) override { return Find(h) && Find(h)->hasChild; }
    uint32_t GetWindowThreadProcessId(WindowHandle h) override {
        return Find(h) ? Find(h)->processId : 0;
    }
    bool GetProcessImagePath(uint32_t processId, std::string* path) override {
        ++opens[processId];
        const auto found = images.find(processId);
        if (found == images.end()) return false;
        *path = found->second;
        return true;
    }
    WindowHandle GetForegroundWindow() override { return foreground; }
    bool IsIconic(WindowHandle h) override { return Find(h) && Find(h)->iconic; }
    void RestoreWindow(WindowHandle h) override {
        Record("ShowWindow", h, "SW_RESTORE");
        if (Find(h)) Find(h)->iconic = false;
    }
    void SetForegroundWindow(WindowHandle h) override {
        Record("SetForegroundWindow", h);
        if (Find(h)) foreground = h;
    }
    void PostCloseMessage(WindowHandle h) override { Record("PostMessageA", h, "WM_CLOSE"); }
    void ShellExecuteOpen(WindowHandle owner, const std::string& file) override {
        Record("ShellExecuteA", owner, "open," + file);
    }
    bool WithFileIcon(const std::string& path,
                      const std::function<void(IDeviceBitmap&)>& use) override {
        calls.push_back("ExtractIconA(" + path + ")");
        const auto found = icons.find(path);
        if (found == icons.end()) return false;
        Bitmap bitmap{*this, found->second};
        use(bitmap);
        calls.push_back("released()");
        return true;
    }
    void ShowMessageBox(const std::string& text) override { messageBoxes.push_back(text); }

    std::vector<std::string> CallsOf(const std::string& name) const {
        std::vector<std::string> found;
        for (const std::string& c : calls) {
            if (c.compare(0, name.size() + 1, name + "(") == 0) found.push_back(c);
        }
        return found;
    }

private:
    struct Bitmap : IDeviceBitmap {
        Bitmap(FakeWindowSystem& owner, const Icon& icon) : owner(owner), icon(icon) {}
        bool GetObjectA(BitmapDescription* description) override {
            if (!icon.described) return false;
            *description = icon.description;
            return true;
        }
        int GetDIBits(uint32_t lines, uint8_t* info, size_t infoSize, uint8_t* pixels,
                      size_t pixelSize) override {
            owner.dibLines = lines;
            owner.dibInfoSize = infoSize;
            owner.dibPixelSize = pixelSize;
            if (icon.linesCopied == 0) return 0;
            // The rows the system writes: each padded to four bytes.
            const BitmapDescription& d = icon.description;
            const size_t rows = (static_cast<size_t>(d.width) * d.bitsPerPixel + 31) / 32 * 4 *
                                static_cast<size_t>(d.height);
            if (rows > pixelSize) owner.calls.push_back("overrun");
            std::memset(pixels, icon.fill, rows < pixelSize ? rows : pixelSize);
            // The first two colour entries, where the table has room for them.
            for (size_t at = 40; at + 4 <= infoSize && at < 48; at += 4) info[at] = 0x10;
            if (icon.reportedImageSize) Put32(info + 20, icon.reportedImageSize);
            if (icon.reportedColours != ~0u) Put32(info + 32, icon.reportedColours);
            return icon.linesCopied;
        }
        static void Put32(uint8_t* at, uint32_t v) {
            for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
        }
        FakeWindowSystem& owner;
        const Icon& icon;
    };

    Window* Find(WindowHandle h) {
        for (Window& w : windows) {
            if (w.handle == h) return &w;
        }
        return nullptr;
    }
    void Record(const char* name, WindowHandle h, const std::string& extra = "") {
        calls.push_back(std::string(name) + "(" + std::to_string(h) +
                        (extra.empty() ? "" : "," + extra) + ")");
    }
};
