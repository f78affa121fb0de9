#include "platform/win32/Win32Module.h"

#include <string>

Win32Module& Win32Module::operator=(Win32Module&& other) noexcept {
    if (this != &other) {
        Reset();
        m_module = other.m_module;
        other.m_module = nullptr;
    }
    return *this;
}

Win32Module Win32Module::LoadFromSystemFolder(const char* fileName) {
    HMODULE module = LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return Win32Module(module);
    // Systems without the search flags refuse them: name the file by its full path instead.
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return Win32Module();
    const std::string path = std::string(folder, length) + "\\" + fileName;
    return Win32Module(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

void Win32Module::Reset() {
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
}
