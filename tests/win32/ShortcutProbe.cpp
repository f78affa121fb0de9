// Reads a shortcut (.lnk) back through the shell's own IShellLink, as Explorer does when it
// starts one, and prints its target and working directory:
//   TavrixShortcutProbe.exe <path.lnk>  ->  "target <path>" and "workdir <path>" lines
// Exit code 0 when read, 3 when the shortcut can't be loaded, 2 on a wrong command line.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

namespace {

void PrintLine(const char* label, const wchar_t* text) {
    char utf8[4 * MAX_PATH] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
    std::printf("%s %s\n", label, utf8);
}

int PrintShortcut(const wchar_t* path) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return 3;
    int code = 3;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t workdir[MAX_PATH] = {};
        // SLGP_RAWPATH: the path as stored, with no environment strings expanded.
        if (SUCCEEDED(file->Load(path, STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetWorkingDirectory(workdir, MAX_PATH))) {
            PrintLine("target", target);
            PrintLine("workdir", workdir);
            code = 0;
        }
        file->Release();
    }
    link->Release();
    return code;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 2) return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    const int code = PrintShortcut(argv[1]);
    CoUninitialize();
    LocalFree(argv);
    return code;
}
