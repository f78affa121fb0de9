#pragma once
#include <windows.h>

#include <memory>

#include "platform/TestWindow.h"

class Win32TestWindow : public ITestWindow {
public:
    explicit Win32TestWindow(HWND window) : m_window(window) {}
    ~Win32TestWindow() override;
    Win32TestWindow(const Win32TestWindow&) = delete;
    Win32TestWindow& operator=(const Win32TestWindow&) = delete;

private:
    HWND m_window;
};

class Win32TestWindowFactory : public ITestWindowFactory {
public:
    std::unique_ptr<ITestWindow> Create(int x, int y) override;
};
