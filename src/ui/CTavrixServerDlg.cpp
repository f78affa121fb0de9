// The main window's construction, initialisation, settings and status display.
#include "ui/CTavrixServerDlg.h"

// shellapi.h needs the types of windows.h, which the dialog header brings.
#include <shellapi.h>
#include <winsock2.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "settings/LaunchAtLogin.h"
#include "settings/SettingsFile.h"
#include "ui/CPasswordProtectionConfirmation.h"
#include "ui/WindowMessages.h"
#include "ui/resource.h"

namespace {

constexpr UINT kTrayIconId = IDR_MAINFRAME;
constexpr int kHostNameSize = 99;
// In pixels at 100 % scaling.
constexpr int kFontHeight = 18;
constexpr char kUnknownAddress[] = "Unknown";
constexpr char kIntegerPrompt[] = "Please enter an integer.";
constexpr char kSaveFailed[] =
    "Configuration Could not be saved, you may not have the required permissions.\n Please "
    "contact your administrator.";
// The settings file reads back at most this many characters of the name and the password.
constexpr WPARAM kTextLimit = 98;

// The window's dots per inch: its monitor's under per-monitor awareness (Windows 10), the
// system's before.
UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return dpi;
    }
    const ScreenDcHandle screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// Of the icon's sizes, the one drawn for the window's scaling, never stretched by the system.
HICON LoadSmallIcon(HWND window, int id) {
    const int size = MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(WindowDpi(window)),
                            static_cast<int>(WindowDpi(nullptr)));
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                         IMAGE_ICON, size, size, LR_SHARED));
}

std::string LoadResourceString(UINT id) {
    char text[256] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof(text));
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

}  // namespace

CTavrixServerDlg::CTavrixServerDlg(Win32Platform& platform, DiagnosticLog& log)
    : CDialog(IDD_TAVRIXSERVER_DIALOG),
      m_platform(platform),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_assembly(platform.Services(), m_settings, FrontEndHooks{*this, *this, *this, *this}, log),
      m_server(m_assembly.Server()),
      m_logic(m_assembly.Logic()) {}

CTavrixServerDlg::~CTavrixServerDlg() = default;

void CTavrixServerDlg::OnInitDialog() {
    m_settings.serverName = GetDefaultServerName();
    LoadSettings();
    SendDlgItemMessageA(m_hWnd, IDC_SERVER_NAME, EM_LIMITTEXT, kTextLimit, 0);
    SendDlgItemMessageA(m_hWnd, IDC_PASSWORD, EM_LIMITTEXT, kTextLimit, 0);
    UpdateData(false);
    CheckDlgButton(m_hWnd, IDC_PASSWORD_ENABLED,
                   m_settings.passwordEnabled != 0 ? BST_CHECKED : BST_UNCHECKED);
    AddSystemMenuItems();
    SetWindowIcons();
    CreateFonts();
    ShowHostAddress();
    ApplySettings();
    if (m_server.IsServerOn()) m_server.StartServer();
    SetTrayIcon(NIM_ADD, IDI_LISTENING, "Listening");
    UpdateStatusDisplay();
    m_logic.ArmStartupTimers();
}

void CTavrixServerDlg::AddSystemMenuItems() {
    const std::string about = LoadResourceString(IDS_ABOUTBOX);
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (about.empty() || !menu) return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT_SYSMENU, about.c_str());
    AppendMenuA(menu, MF_STRING, IDM_WEBSITE_SYSMENU, LoadResourceString(IDS_GOTO_WEBSITE).c_str());
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_EXIT_SYSMENU, LoadResourceString(IDS_EXIT).c_str());
}

void CTavrixServerDlg::SetWindowIcons() {
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadSmallIcon(m_hWnd, IDR_MAINFRAME)));
}

void CTavrixServerDlg::CreateFonts() {
    const int height =
        MulDiv(kFontHeight, static_cast<int>(WindowDpi(m_hWnd)), USER_DEFAULT_SCREEN_DPI);
    auto make = [height](int weight) {
        return FontHandle(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_SWISS, kStatusFontFace));
    };
    // The old fonts go only once the controls have the new ones.
    FontHandle status = make(FW_BOLD);
    FontHandle device = make(FW_NORMAL);
    SendDlgItemMessageA(m_hWnd, IDC_STATUS, WM_SETFONT, reinterpret_cast<WPARAM>(status.get()),
                        TRUE);
    SendDlgItemMessageA(m_hWnd, IDC_DEVICE_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(device.get()),
                        TRUE);
    m_statusFont = std::move(status);
    m_deviceFont = std::move(device);
}

void CTavrixServerDlg::ShowHostAddress() {
    std::string address = kUnknownAddress;
    char hostName[kHostNameSize] = {};
    if (m_winsock.Start() && gethostname(hostName, kHostNameSize) == 0) {
        hostName[kHostNameSize - 1] = '\0';
        const hostent* host = gethostbyname(hostName);
        if (host && host->h_addrtype == AF_INET && host->h_length == 4 && host->h_addr_list &&
            host->h_addr_list[0]) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
            char text[16] = {};
            std::snprintf(text, sizeof(text), "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2],
                          bytes[3]);
            address = text;
        }
    }
    SetDlgItemTextA(m_hWnd, IDC_IP_ADDRESS, address.c_str());
}

std::string CTavrixServerDlg::ControlText(int id) const {
    HWND control = GetDlgItem(m_hWnd, id);
    const int length = control ? GetWindowTextLengthA(control) : 0;
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(control, text.data(), length + 1);
    return std::string(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

bool CTavrixServerDlg::UpdateData(bool saveAndValidate) {
    struct CheckRow {
        int id;
        int* field;
    };
    const CheckRow checks[] = {{IDC_BOUNCE_OFF_EDGES, &m_settings.bounceOffEdges},
                               {IDC_VISIBLE_AT_LAUNCH, &m_settings.visibleAtLaunch},
                               {IDC_LAUNCH_AT_LOGIN, &m_settings.launchAtLogin},
                               {IDC_ALERT_SOUND, &m_settings.alertSound}};
    if (!saveAndValidate) {
        SetDlgItemTextA(m_hWnd, IDC_SERVER_NAME, m_settings.serverName.c_str());
        SetDlgItemTextA(m_hWnd, IDC_PASSWORD, m_settings.password.c_str());
        SetDlgItemTextA(m_hWnd, IDC_CONFIRM_PASSWORD, m_confirmText.c_str());
        for (const CheckRow& row : checks)
            CheckDlgButton(m_hWnd, row.id, *row.field != 0 ? BST_CHECKED : BST_UNCHECKED);
        SetDlgItemTextA(m_hWnd, IDC_DEVICE_NAME, m_logic.DeviceName().c_str());
        SetDlgItemTextA(m_hWnd, IDC_PORT, std::to_string(m_settings.port).c_str());
        return true;
    }
    m_settings.serverName = ControlText(IDC_SERVER_NAME);
    m_settings.password = ControlText(IDC_PASSWORD);
    m_confirmText = ControlText(IDC_CONFIRM_PASSWORD);
    for (const CheckRow& row : checks)
        *row.field = IsDlgButtonChecked(m_hWnd, row.id) == BST_CHECKED ? 1 : 0;
    if (ParseDialogInt(ControlText(IDC_PORT), m_settings.port)) return true;
    MessageBoxA(m_hWnd, kIntegerPrompt, ApplicationName().c_str(), MB_OK | MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(m_hWnd, IDC_PORT));
    SendDlgItemMessageA(m_hWnd, IDC_PORT, EM_SETSEL, 0, -1);
    return false;
}

std::string CTavrixServerDlg::GetDefaultServerName() {
    return m_platform.system.UserName();
}

void CTavrixServerDlg::LoadSettings() {
    LoadSettingsFile(kSettingsFileName, m_settings);
    if (m_settings.serverName.empty()) m_settings.serverName = GetDefaultServerName();
    AgreeWithStartupShortcut(m_settings, m_platform.startup);
    m_server.SetServerOn(m_settings.serverOn);
}

void CTavrixServerDlg::ApplySettings() {
    m_assembly.ApplySettings();
}

void CTavrixServerDlg::SaveSettings() {
    UpdateData(true);
    ApplySettings();
    // A server that couldn't listen is off for now; the user's switch stays as stored.
    m_settings.serverOn =
        m_server.IsServerOn() || m_server.ListenFailureReason() != ListenFailure::None;
    if (!SaveSettingsFile(kSettingsFileName, m_settings, m_platform.files))
        MessageBoxA(m_hWnd, kSaveFailed, ApplicationName().c_str(), MB_OK);
}

bool CTavrixServerDlg::SetTrayIcon(DWORD operation, int iconId, const std::string& stateWord) {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof(data);
    data.hWnd = m_hWnd;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kWmTrayNotify;
    // The notification area is drawn at the system's scaling.
    data.hIcon = LoadSmallIcon(nullptr, iconId);
    const std::string tip = TrayTip(stateWord);
    tip.copy(data.szTip, sizeof(data.szTip) - 1);
    return Shell_NotifyIconA(operation, &data) != FALSE;
}

void CTavrixServerDlg::UpdateStatusDisplay() {
    m_logic.UpdateStatusDisplay();
}

void CTavrixServerDlg::OnLinkChanged() {
    UpdateStatusDisplay();
}

void CTavrixServerDlg::SetDeviceName(const std::string& name) {
    m_logic.SetDeviceName(name);
}

void CTavrixServerDlg::CheckPassword(const std::string& text) {
    m_server.CheckPassword(text);
}

void CTavrixServerDlg::PostDropConnection(uint32_t connectionId) {
    if (m_hWnd) PostMessageA(m_hWnd, kWmDropConnection, 0, static_cast<LPARAM>(connectionId));
}

void CTavrixServerDlg::PostHideToTray() {
    if (m_hWnd) PostMessageA(m_hWnd, kWmHideToTray, 0, 0);
}

void CTavrixServerDlg::ArmListTimer() {
    SetTimer(IDT_LIST_AFTER_ACTION, kListAfterActionMs);
}

void CTavrixServerDlg::ShowStatus(const StatusRow& row) {
    SetDlgItemTextA(m_hWnd, IDC_SERVER_ON_OFF, row.buttonCaption);
    SetDlgItemTextA(m_hWnd, IDC_STATUS, row.statusText);
    SetTrayIcon(NIM_MODIFY, row.trayIcon, row.tipWord);
}

void CTavrixServerDlg::ShowDeviceName(const std::string& name) {
    SetDlgItemTextA(m_hWnd, IDC_DEVICE_NAME, name.c_str());
}

void CTavrixServerDlg::RefillControls() {
    UpdateData(false);
}

bool CTavrixServerDlg::RunPasswordConfirmation() {
    CPasswordProtectionConfirmation confirmation;
    confirmation.DoModal(m_hWnd);
    return confirmation.acknowledged;
}

void CTavrixServerDlg::SetPasswordCheckBox(bool checked) {
    CheckDlgButton(m_hWnd, IDC_PASSWORD_ENABLED, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CTavrixServerDlg::SetTimer(unsigned id, unsigned milliseconds) {
    if (m_hWnd) ::SetTimer(m_hWnd, id, milliseconds, nullptr);
}

void CTavrixServerDlg::KillTimer(unsigned id) {
    if (m_hWnd) ::KillTimer(m_hWnd, id);
}

void CTavrixServerDlg::HideWindow() {
    ShowWindow(m_hWnd, SW_HIDE);
}
