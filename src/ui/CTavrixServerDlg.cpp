#include "ui/CTavrixServerDlg.h"

#include "platform/win32/Win32Platform.h"
#include "settings/SettingsFile.h"
#include "ui/WindowMessages.h"

namespace {

constexpr char kWindowClass[] = "TavrixServerWindow";
constexpr char kTitle[] = "Tavrix Server";
constexpr char kSaveFailed[] =
    "Configuration Could not be saved, you may not have the required permissions.\n Please "
    "contact your administrator.";

ConnectionServerServices ServicesOf(Win32Platform& platform, IMainWindow* window,
                                    DiagnosticLog& log) {
    ConnectionServerServices services;
    services.sockets = &platform.sockets;
    services.mainWindow = window;
    services.sound = &platform.sound;
    services.clock = &platform.clock;
    services.dnsSd = &platform.dnsSd;
    services.log = &log;
    return services;
}

}  // namespace

const CTavrixServerDlg::MessageRow CTavrixServerDlg::kMessageTable[] = {
    {kWmDropConnection, &CTavrixServerDlg::OnDropConnection},
    {WM_CLOSE, &CTavrixServerDlg::OnClose},
    {WM_DESTROY, &CTavrixServerDlg::OnDestroy},
};

CTavrixServerDlg::CTavrixServerDlg(Win32Platform& platform, DiagnosticLog& log)
    : m_platform(platform),
      m_server(ServicesOf(platform, this, log)),
      m_executor(&m_server, &platform.desktop, this),
      m_pDispatcher(std::make_unique<CCommandDispatcher>(&m_executor, this, &platform.sound)) {}

CTavrixServerDlg::~CTavrixServerDlg() {
    if (m_font) DeleteObject(m_font);
}

bool CTavrixServerDlg::Create(int showCommand) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    m_window = CreateWindowExA(
        0, kWindowClass, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
        CW_USEDEFAULT, CW_USEDEFAULT, 360, 140, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    if (!m_window) return false;
    m_statusLabel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 12, 12, 320, 80,
                                    m_window, nullptr, GetModuleHandleA(nullptr), nullptr);
    m_font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    SendMessageA(m_statusLabel, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    OnInitDialog();
    ShowWindow(m_window, showCommand);
    return true;
}

void CTavrixServerDlg::OnInitDialog() {
    m_settings.serverName = GetDefaultServerName();
    LoadSettings();
    m_server.m_pDispatcher = m_pDispatcher.get();
    ApplySettings();
    if (m_server.m_serverOn) m_server.StartServer(m_pDispatcher.get());
    UpdateStatusDisplay();
}

LRESULT CALLBACK CTavrixServerDlg::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CTavrixServerDlg*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self) {
        for (const MessageRow& row : kMessageTable) {
            if (row.message == message) return (self->*row.handler)(wParam, lParam);
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CTavrixServerDlg::OnDropConnection(WPARAM, LPARAM lParam) {
    m_server.CloseConnectionGracefully(reinterpret_cast<CConnectionSocket*>(lParam));
    return 1;
}

LRESULT CTavrixServerDlg::OnClose(WPARAM, LPARAM) {
    SaveSettings();
    DestroyWindow(m_window);
    return 0;
}

LRESULT CTavrixServerDlg::OnDestroy(WPARAM, LPARAM) {
    m_window = nullptr;
    PostQuitMessage(0);
    return 0;
}

void CTavrixServerDlg::PostDropConnection(CConnectionSocket* connection) {
    if (m_window)
        PostMessageA(m_window, kWmDropConnection, 0, reinterpret_cast<LPARAM>(connection));
}

void CTavrixServerDlg::PostHideToTray() {
    if (m_window) PostMessageA(m_window, kWmHideToTray, 0, 0);
}

std::string CTavrixServerDlg::StatusText() const {
    std::string state = "Stopped";
    if (m_server.IsConnected()) {
        state = "Connected";
    } else if (m_server.m_listeningPort >= 0) {
        state = "Listening on port " + std::to_string(m_server.m_listeningPort);
    }
    return "Server name: " + m_settings.serverName + "\nStatus: " + state +
           "\nDevice: " + m_deviceName;
}

void CTavrixServerDlg::UpdateStatusDisplay() {
    if (m_statusLabel) SetWindowTextA(m_statusLabel, StatusText().c_str());
}

void CTavrixServerDlg::SetDeviceName(const std::string& name) {
    m_deviceName = name;
    UpdateStatusDisplay();
}

std::string CTavrixServerDlg::GetDefaultServerName() {
    return m_platform.system.UserName();
}

void CTavrixServerDlg::LoadSettings() {
    LoadSettingsFile(kSettingsFileName, m_settings);
    if (m_settings.serverName.empty()) m_settings.serverName = GetDefaultServerName();
    m_server.m_serverOn = m_settings.serverOn;
}

void CTavrixServerDlg::ApplySettings() {
    ::ApplySettings(m_settings, m_executor, m_server, *m_pDispatcher);
}

void CTavrixServerDlg::SaveSettings() {
    ApplySettings();
    m_settings.serverOn = m_server.m_serverOn;
    if (!SaveSettingsFile(kSettingsFileName, m_settings))
        MessageBoxA(m_window, kSaveFailed, kTitle, MB_OK);
}
