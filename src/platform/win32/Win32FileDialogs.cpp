#include "platform/win32/Win32FileDialogs.h"

#include <commdlg.h>

#include <vector>

namespace {

// Longer than any path the dialog lets one type; a longer one fails like a cancel.
constexpr DWORD kPathBufferSize = 4096;

// The dialogs move the working directory as the user browses (the open dialog even with
// OFN_NOCHANGEDIR); the settings file is found through it, so it is put back.
class WorkingDirectoryKeeper {
public:
    WorkingDirectoryKeeper() : m_path(kPathBufferSize, '\0') {
        const DWORD length = GetCurrentDirectoryA(kPathBufferSize, m_path.data());
        m_saved = length > 0 && length < kPathBufferSize;
    }
    ~WorkingDirectoryKeeper() {
        if (m_saved) SetCurrentDirectoryA(m_path.data());
    }
    WorkingDirectoryKeeper(const WorkingDirectoryKeeper&) = delete;
    WorkingDirectoryKeeper& operator=(const WorkingDirectoryKeeper&) = delete;

private:
    std::vector<char> m_path;
    bool m_saved = false;
};

// Description and pattern, each ended by a NUL, and a NUL after the last pair.
std::string FilterOf(const FileDialogOptions& options) {
    if (options.filterPattern.empty()) return std::string();
    std::string filter = options.filterDescription;
    filter.push_back('\0');
    filter += options.filterPattern;
    filter.push_back('\0');
    filter.push_back('\0');
    return filter;
}

}  // namespace

Win32FileDialog::Win32FileDialog(const FileDialogOptions& options, HWND owner)
    : m_options(options), m_owner(owner) {}

bool Win32FileDialog::DoModal(std::string* path) {
    std::vector<char> file(kPathBufferSize, '\0');
    const std::string filter = FilterOf(m_options);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_owner;
    ofn.hInstance = GetModuleHandleA(nullptr);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathBufferSize;
    ofn.lpstrTitle = m_options.title.c_str();
    ofn.lpstrDefExt =
        m_options.defaultExtension.empty() ? nullptr : m_options.defaultExtension.c_str();
    ofn.Flags =
        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = &Win32FileDialog::HookProc;
    ofn.lCustData = reinterpret_cast<LPARAM>(this);

    BOOL chosen = FALSE;
    {
        WorkingDirectoryKeeper keeper;
        chosen = m_options.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    }
    m_dialog = nullptr;
    if (!chosen) return false;
    file.back() = '\0';
    path->assign(file.data());
    return true;
}

void Win32FileDialog::Cancel() {
    m_cancelRequested = true;
    if (m_dialog) PostMessageA(m_dialog, WM_COMMAND, IDCANCEL, 0);
}

void Win32FileDialog::OnDialogReady(HWND dialog) {
    m_dialog = dialog;
    // A cancel that came before the window existed takes effect now.
    if (m_cancelRequested) PostMessageA(m_dialog, WM_COMMAND, IDCANCEL, 0);
}

// The hook's own window is a child of the explorer-style dialog.
UINT_PTR CALLBACK Win32FileDialog::HookProc(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return 0;
    const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    auto* self = reinterpret_cast<Win32FileDialog*>(ofn->lCustData);
    if (self) self->OnDialogReady(GetParent(hook));
    return 0;
}

void Win32FileDialogs::BringForward(WindowHandle window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    SetForegroundWindow(hwnd);
}

std::unique_ptr<IFileDialog> Win32FileDialogs::Create(const FileDialogOptions& options,
                                                      WindowHandle owner) {
    return std::make_unique<Win32FileDialog>(options, reinterpret_cast<HWND>(owner));
}
