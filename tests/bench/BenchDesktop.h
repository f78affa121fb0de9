#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fakes/FakeWindowSystem.h"

// A busy desktop for the window list: 200 top-level windows of 40 programs, with titles of
// the lengths and shapes real ones have (document names, paths, repeated titles, a few
// accented letters), and, as on a real desktop, hidden helper windows, owned pop-ups and
// untitled windows that the list leaves out. The calls of the list path look windows up by
// index and record nothing, so that the fake costs little next to the core.
class BenchDesktop : public FakeWindowSystem {
public:
    static constexpr int kWindows = 200;
    static constexpr int kPrograms = 40;

    BenchDesktop() {
        static const char* const kApps[] = {
            "Notepad",
            "Google Chrome",
            "Mozilla Firefox",
            "Word",
            "Excel",
            "Outlook",
            "Visual Studio Code",
            "Command Prompt",
            "Windows PowerShell",
            "Paint",
            "File Explorer",
            "VLC media player",
            "Task Manager",
            "Calculator",
            "Adobe Acrobat Reader DC",
            "PuTTY",
        };
        static const char* const kDocuments[] = {
            "Untitled",
            "Quarterly report Q3.docx",
            "Budget 2024.xlsx",
            "Inbox - me@example.com",
            "README.md",
            "C:\\Users\\Public\\Documents",
            "R\xE9sum\xE9 final (2).pdf",
            "New Tab",
            "main.cpp - tavrix",
            "Holiday photos",
            "Caf\xE9 menu.txt",
            "192.168.1.20 - PuTTY",
        };
        for (int p = 0; p < kPrograms; ++p) {
            m_images.push_back("C:\\Program Files\\Vendor " + std::to_string(p % 7) +
                               "\\Application " + std::to_string(p) + "\\app" + std::to_string(p) +
                               ".exe");
        }
        for (int i = 0; i < kWindows; ++i) {
            Entry w;
            w.process = static_cast<uint32_t>(1000 + (i * 7) % kPrograms);
            // Hidden helper windows, owned pop-ups and untitled ones, as on a real desktop.
            w.visible = i % 5 != 4;
            w.parent = i % 11 == 10 ? Handle(0) : 0;
            if (i % 13 != 12) {
                // Some titles repeat (several "Untitled - Notepad"): they get numbered keys.
                const char* document = kDocuments[(i * 5) % 12];
                const char* app = kApps[(i * 3) % 16];
                w.title = i % 3 == 0
                              ? std::string(document) + " - " + app
                              : std::string(document) + " (" + std::to_string(i) + ") - " + app;
            }
            m_entries.push_back(w);
        }
    }

    static WindowHandle Handle(int index) { return 0x10000 + static_cast<WindowHandle>(index) * 4; }

    void EnumWindows(const std::function<bool(WindowHandle)>& visit) override {
        for (int i = 0; i < kWindows; ++i) {
            if (!visit(Handle(i))) return;
        }
    }
    WindowHandle GetParent(WindowHandle h) override { return At(h) ? At(h)->parent : 0; }
    bool IsWindowVisible(WindowHandle h) override { return At(h) && At(h)->visible; }
    std::string GetWindowTextA(WindowHandle h) override { return At(h) ? At(h)->title : ""; }
    bool HasChildWindow(WindowHandle h) override { return At(h) != nullptr; }
    uint32_t GetWindowThreadProcessId(WindowHandle h) override {
        return At(h) ? At(h)->process : 0;
    }
    bool GetProcessImagePath(uint32_t processId, std::string* path) override {
        const uint32_t index = processId - 1000;
        if (index >= m_images.size()) return false;
        *path = m_images[index];
        return true;
    }
    WindowHandle GetForegroundWindow() override { return Handle(7); }

private:
    struct Entry {
        std::string title;
        uint32_t process = 0;
        bool visible = true;
        WindowHandle parent = 0;
    };

    const Entry* At(WindowHandle h) const {
        const WindowHandle index = (h - 0x10000) / 4;
        if (h < 0x10000 || index >= m_entries.size()) return nullptr;
        return &m_entries[index];
    }

    std::vector<Entry> m_entries;
    std::vector<std::string> m_images;
};
