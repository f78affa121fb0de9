#pragma once
#include <windows.h>

// One loaded library, freed with its owner.
class Win32Module {
public:
    Win32Module() = default;
    ~Win32Module() { Reset(); }
    Win32Module(Win32Module&& other) noexcept : m_module(other.m_module) {
        other.m_module = nullptr;
    }
    Win32Module& operator=(Win32Module&& other) noexcept;
    Win32Module(const Win32Module&) = delete;
    Win32Module& operator=(const Win32Module&) = delete;

    // Loads the library from the system folder only: a file of that name in the program's
    // folder or the working directory is never picked up.
    static Win32Module LoadFromSystemFolder(const char* fileName);

    explicit operator bool() const { return m_module != nullptr; }
    void Reset();
    // Keeps the library loaded for the rest of the process, for code that may still run in
    // it or call back out of it.
    void KeepLoaded() { m_module = nullptr; }

    // The named entry point as the given function type; null when there is none.
    template <typename Function>
    Function Find(const char* name) const {
        if (!m_module) return nullptr;
        // GetProcAddress hands back a generic function pointer; the generic one in between
        // keeps the compiler's function-type check quiet for this deliberate cast.
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(GetProcAddress(m_module, name)));
    }

private:
    explicit Win32Module(HMODULE module) : m_module(module) {}

    HMODULE m_module = nullptr;
};
