#pragma once
#include <windows.h>

// The small part of a dialog framework the program needs: a modal run of a dialog template
// whose messages reach the object that runs it.
class CDialog {
public:
    explicit CDialog(int templateId) : m_templateId(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog until EndDialog; returns its result, or -1 when it couldn't be made.
    INT_PTR DoModal(HWND owner);
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // True when the message was handled; result then is the dialog procedure's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    virtual void OnInitDialog() {}
    void EndDialog(INT_PTR result);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int m_templateId;
};
