#pragma once
#include <windows.h>

#include <string>

#include "platform/Geometry.h"

// One owner for every handle the system gives out: it holds the handle, releases it with
// its own deleter when it goes, and is never copied.
template <typename Handle, typename Deleter, Handle kNone = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != kNone; }
    Handle release() {
        const Handle handle = m_handle;
        m_handle = kNone;
        return handle;
    }
    void reset(Handle handle = kNone) {
        if (m_handle != kNone) Deleter()(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = kNone;
};

struct CloseHandleDeleter {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct FreeLibraryDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct DestroyMenuDeleter {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct DestroyIconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct DeleteObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct ScreenDcDeleter {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};

using ProcessHandle = UniqueHandle<HANDLE, CloseHandleDeleter>;
using ModuleHandle = UniqueHandle<HMODULE, FreeLibraryDeleter>;
using MenuHandle = UniqueHandle<HMENU, DestroyMenuDeleter>;
using IconHandle = UniqueHandle<HICON, DestroyIconDeleter>;
using BitmapHandle = UniqueHandle<HBITMAP, DeleteObjectDeleter>;
using FontHandle = UniqueHandle<HFONT, DeleteObjectDeleter>;
using ScreenDcHandle = UniqueHandle<HDC, ScreenDcDeleter>;

inline HWND ToHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

inline WindowHandle FromHwnd(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

// The program's file name without folder and extension, the title of its message boxes.
std::string ApplicationName();
