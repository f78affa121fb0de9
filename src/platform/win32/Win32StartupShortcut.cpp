#include "platform/win32/Win32StartupShortcut.h"

#include <windows.h>
// The shell's headers need the types of windows.h.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

constexpr wchar_t kShortcutName[] = L"\\Tavrix Server.lnk";
constexpr wchar_t kDescription[] = L"Tavrix Server: remote control of this PC";

// COM for the length of one call, on a thread that may or may not have it already.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Usable() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

template <typename Interface>
struct Released {
    Interface* pointer = nullptr;
    ~Released() {
        if (pointer) pointer->Release();
    }
};

bool SaveShortcut(const std::wstring& path) {
    wchar_t program[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    const DWORD programLength = GetModuleFileNameW(nullptr, program, MAX_PATH);
    const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
    if (programLength == 0 || programLength >= MAX_PATH || folderLength == 0 ||
        folderLength >= MAX_PATH)
        return false;
    Released<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.pointer))))
        return false;
    if (FAILED(link.pointer->SetPath(program)) ||
        FAILED(link.pointer->SetWorkingDirectory(folder)) ||
        FAILED(link.pointer->SetDescription(kDescription)))
        return false;
    Released<IPersistFile> file;
    if (FAILED(link.pointer->QueryInterface(IID_IPersistFile,
                                            reinterpret_cast<void**>(&file.pointer))))
        return false;
    return SUCCEEDED(file.pointer->Save(path.c_str(), TRUE));
}

}  // namespace

// Created when missing, as a fresh profile may lack it.
std::wstring Win32StartupShortcut::Path() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return std::wstring(folder) + kShortcutName;
}

bool Win32StartupShortcut::Exists() {
    const std::wstring path = Path();
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32StartupShortcut::Create() {
    const std::wstring path = Path();
    const ComScope com;
    return !path.empty() && com.Usable() && SaveShortcut(path);
}

bool Win32StartupShortcut::Remove() {
    const std::wstring path = Path();
    return !path.empty() && DeleteFileW(path.c_str()) != FALSE;
}
