#include "ui/CDialog.h"

INT_PTR CDialog::DoModal(HWND owner) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                           &DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message != WM_COMMAND) return false;
    const WORD id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL) return false;
    EndDialog(id);
    result = TRUE;
    return true;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_hWnd = window;
        self->OnInitDialog();
        return TRUE;
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) self->m_hWnd = nullptr;
    INT_PTR result = FALSE;
    return self->OnMessage(message, wParam, lParam, result) ? result : FALSE;
}
