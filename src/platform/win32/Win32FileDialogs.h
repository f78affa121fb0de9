#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "platform/FileDialogs.h"

// The standard open and save dialogs (GetOpenFileNameA, GetSaveFileNameA). A hook learns
// the dialog's window so that it can be cancelled from outside.
class Win32FileDialog : public IFileDialog {
public:
    Win32FileDialog(const FileDialogOptions& options, HWND owner);
    Win32FileDialog(const Win32FileDialog&) = delete;
    Win32FileDialog& operator=(const Win32FileDialog&) = delete;

    bool DoModal(std::string* path) override;
    void Cancel() override;

private:
    static UINT_PTR CALLBACK HookProc(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);
    void OnDialogReady(HWND dialog);

    FileDialogOptions m_options;
    HWND m_owner;
    HWND m_dialog = nullptr;
    bool m_cancelRequested = false;
};

class Win32FileDialogs : public IFileDialogs {
public:
    void BringForward(WindowHandle window) override;
    std::unique_ptr<IFileDialog> Create(const FileDialogOptions& options,
                                        WindowHandle owner) override;
};
