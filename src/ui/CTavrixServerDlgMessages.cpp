// The main window's message, command and tray handlers.
#include "ui/CTavrixServerDlg.h"
// shellapi.h needs the types of windows.h, which the dialog header brings.
#include <shellapi.h>

#include "net/CommandReplay.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "settings/LaunchAtLogin.h"
#include "ui/CTavrixAboutDlg.h"
#include "ui/WindowMessages.h"
#include "ui/resource.h"

namespace {

constexpr char kMakerWebSite[] = "http://www.tavrix.example/";
constexpr WPARAM kSystemCommandMask = 0xFFF0;

}  // namespace

const CTavrixServerDlg::MessageRow CTavrixServerDlg::kMessages[] = {
    {WM_COMMAND, &CTavrixServerDlg::OnCommand},
    {WM_SYSCOMMAND, &CTavrixServerDlg::OnSysCommand},
    {WM_TIMER, &CTavrixServerDlg::OnTimer},
    {WM_CLOSE, &CTavrixServerDlg::OnClose},
    {WM_SIZE, &CTavrixServerDlg::OnSize},
    {WM_DPICHANGED, &CTavrixServerDlg::OnDpiChanged},
    {kWmTrayNotify, &CTavrixServerDlg::OnTrayNotify},
    {kWmDropConnection, &CTavrixServerDlg::OnDropConnection},
    {kWmHideToTray, &CTavrixServerDlg::OnHideToTray},
};

const CTavrixServerDlg::CommandRow CTavrixServerDlg::kCommands[] = {
    {IDOK, &CTavrixServerDlg::OnEnterKey},
    {IDCANCEL, &CTavrixServerDlg::OnEscapeKey},
    {IDC_SERVER_ON_OFF, &CTavrixServerDlg::OnServerOnOff},
    {IDC_APPLY_NAME_PORT, &CTavrixServerDlg::OnApplyNamePort},
    {IDC_REVERT_TO_DEFAULT, &CTavrixServerDlg::OnRevertToDefault},
    {IDC_BOUNCE_OFF_EDGES, &CTavrixServerDlg::SaveSettings},
    {IDC_ALERT_SOUND, &CTavrixServerDlg::SaveSettings},
    {IDC_VISIBLE_AT_LAUNCH, &CTavrixServerDlg::SaveSettings},
    {IDC_LAUNCH_AT_LOGIN, &CTavrixServerDlg::OnLaunchAtLogin},
    {IDC_PASSWORD_ENABLED, &CTavrixServerDlg::OnPasswordCheckBox},
    {IDC_SET_PASSWORD, &CTavrixServerDlg::RenewAdvertisement},
    {IDC_PLAY_FROM_FILE, &CTavrixServerDlg::PlayCommandsFromFile},
    {ID_TRAY_ABOUT, &CTavrixServerDlg::OnAbout},
    {ID_TRAY_EXIT, &CTavrixServerDlg::OnExit},
    {ID_HELP, &CTavrixServerDlg::OnWebSite},
};

const CTavrixServerDlg::CommandRow CTavrixServerDlg::kSystemCommands[] = {
    {IDM_ABOUT_SYSMENU, &CTavrixServerDlg::OnAbout},
    {IDM_EXIT_SYSMENU, &CTavrixServerDlg::OnExit},
    {IDM_WEBSITE_SYSMENU, &CTavrixServerDlg::OnWebSite},
};

bool CTavrixServerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    for (const MessageRow& row : kMessages) {
        if (row.message != message) continue;
        if (!(this->*row.handler)(wParam, lParam)) return false;
        result = TRUE;
        return true;
    }
    return false;
}

bool CTavrixServerDlg::OnCommand(WPARAM wParam, LPARAM) {
    // Clicks and menu items only; edits report their changes with other codes.
    if (HIWORD(wParam) != BN_CLICKED) return false;
    for (const CommandRow& row : kCommands) {
        if (row.id != LOWORD(wParam)) continue;
        (this->*row.handler)();
        return true;
    }
    return false;
}

bool CTavrixServerDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    for (const CommandRow& row : kSystemCommands) {
        if (row.id != (wParam & kSystemCommandMask)) continue;
        (this->*row.handler)();
        return true;
    }
    return false;
}

bool CTavrixServerDlg::OnTimer(WPARAM wParam, LPARAM) {
    m_logic.OnTimer(static_cast<unsigned>(wParam));
    return true;
}

bool CTavrixServerDlg::OnClose(WPARAM, LPARAM) {
    if (!m_exitRequested) {
        PostHideToTray();
        return true;
    }
    SaveSettings();
    SetTrayIcon(NIM_DELETE, IDI_OFF, "OFF");
    EndDialog(IDCANCEL);
    return true;
}

// Moved to a monitor of another scaling: the system lays the dialog out anew, but the fonts
// and the small icon it was given are the program's to renew.
bool CTavrixServerDlg::OnDpiChanged(WPARAM, LPARAM) {
    CreateFonts();
    SetWindowIcons();
    return false;
}

bool CTavrixServerDlg::OnSize(WPARAM wParam, LPARAM) {
    if (wParam != SIZE_MINIMIZED) return false;
    PostHideToTray();
    return true;
}

bool CTavrixServerDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != IDR_MAINFRAME) return true;
    if (lParam == WM_LBUTTONDBLCLK) {
        ShowFromTray();
        return true;
    }
    if (lParam == WM_RBUTTONUP) {
        ShowTrayMenu();
        return true;
    }
    return false;
}

bool CTavrixServerDlg::OnDropConnection(WPARAM, LPARAM lParam) {
    m_server.CloseConnectionGracefully(static_cast<uint32_t>(lParam));
    return true;
}

bool CTavrixServerDlg::OnHideToTray(WPARAM, LPARAM) {
    HideWindow();
    return true;
}

void CTavrixServerDlg::ShowFromTray() {
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
}

void CTavrixServerDlg::ShowTrayMenu() {
    const MenuHandle menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu.get(), 0);
    POINT cursor = {};
    GetCursorPos(&cursor);
    SetForegroundWindow(m_hWnd);
    if (popup)
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, m_hWnd,
                       nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

void CTavrixServerDlg::OnServerOnOff() {
    m_logic.OnServerOnOff();
}

void CTavrixServerDlg::OnApplyNamePort() {
    m_logic.OnApplyNamePort();
}

void CTavrixServerDlg::OnRevertToDefault() {
    m_logic.OnRevertToDefault();
}

void CTavrixServerDlg::OnPasswordCheckBox() {
    m_logic.OnPasswordCheckBox();
}

void CTavrixServerDlg::OnLaunchAtLogin() {
    UpdateData(true);
    if (!ApplyLaunchAtLogin(m_settings, m_platform.startup))
        CheckDlgButton(m_hWnd, IDC_LAUNCH_AT_LOGIN,
                       m_settings.launchAtLogin != 0 ? BST_CHECKED : BST_UNCHECKED);
    SaveSettings();
}

void CTavrixServerDlg::RenewAdvertisement() {
    m_logic.RenewAdvertisement();
}

void CTavrixServerDlg::PlayCommandsFromFile() {
    if (!::PlayCommandsFromFile(m_server))
        MessageBoxA(m_hWnd, kCommandFileMissing, ApplicationName().c_str(), MB_OK);
}

void CTavrixServerDlg::OnAbout() {
    CTavrixAboutDlg about;
    about.DoModal(m_hWnd);
}

void CTavrixServerDlg::OnExit() {
    m_exitRequested = true;
    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

void CTavrixServerDlg::OnWebSite() {
    ShellExecuteA(nullptr, "open", kMakerWebSite, nullptr, nullptr, SW_SHOWNORMAL);
}

// Enter must not end the program: leaving the modal loop this way would skip the save.
void CTavrixServerDlg::OnEnterKey() {}

// Esc hides the window like the close box, so only Exit ends the program.
void CTavrixServerDlg::OnEscapeKey() {
    PostHideToTray();
}
