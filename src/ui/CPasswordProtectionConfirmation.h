#pragma once
#include "ui/CDialog.h"
#include "ui/resource.h"

// Asks the user to accept running the server without password protection. Only the state of
// its check box counts, however the dialog is closed.
class CPasswordProtectionConfirmation : public CDialog {
public:
    CPasswordProtectionConfirmation() : CDialog(IDD_PASSWORD_CONFIRMATION) {}

    bool acknowledged = false;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_ACKNOWLEDGE &&
            HIWORD(wParam) == BN_CLICKED) {
            acknowledged = !acknowledged;
            result = TRUE;
            return true;
        }
        return CDialog::OnMessage(message, wParam, lParam, result);
    }
};
