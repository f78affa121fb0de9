#include "platform/win32/Win32TestWindow.h"

#include <cstring>

namespace {

constexpr char kClassName[] = "TavrixTestWnd";
constexpr char kTitle[] = "TestWnd - Server";
constexpr DWORD kStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr int kWidth = 400;
constexpr int kHeight = 300;

void RegisterClassOnce() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND + 1));
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
}

}  // namespace

Win32TestWindow::~Win32TestWindow() {
    // The device can close it (129, Alt+F4) before we do, and its handle value may since
    // name another of our windows: only a window of our class is ours to destroy.
    char className[sizeof(kClassName) + 1] = {};
    if (GetClassNameA(m_window, className, sizeof(className)) > 0 &&
        std::strcmp(className, kClassName) == 0)
        DestroyWindow(m_window);
}

std::unique_ptr<ITestWindow> Win32TestWindowFactory::Create(int x, int y) {
    RegisterClassOnce();
    HWND window = CreateWindowExA(0, kClassName, kTitle, kStyle, x, y, kWidth, kHeight, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    return std::make_unique<Win32TestWindow>(window);
}
