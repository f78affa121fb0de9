#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "net/ServerEvents.h"
#include "platform/MainWindow.h"
#include "platform/win32/Win32Handles.h"
#include "protocol/SessionGate.h"
#include "settings/ServerAssembly.h"
#include "settings/ServerSettings.h"
#include "ui/CDialog.h"
#include "ui/WinsockSession.h"

class DiagnosticLog;
struct Win32Platform;

// The server's main window (template 129): owns the settings and the server's assembly, shows the
// server's state and lives in the notification area.
class CTavrixServerDlg : public CDialog,
                         public IMainWindow,
                         private IServerEvents,
                         private ISessionGate,
                         private IServerDialogView {
public:
    CTavrixServerDlg(Win32Platform& platform, DiagnosticLog& log);
    ~CTavrixServerDlg() override;

    CConnectionServer& Server() { return m_server; }

    void UpdateStatusDisplay();
    std::string DeviceName() const override { return m_logic.DeviceName(); }
    WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(m_hWnd); }
    void PostHideToTray() override;
    void ArmListTimer() override;

    std::string GetDefaultServerName() override;
    void LoadSettings();
    void SaveSettings() override;
    void ApplySettings();

    // Adds, changes or deletes the tray icon; returns what the shell said.
    bool SetTrayIcon(DWORD operation, int iconId, const std::string& stateWord);

protected:
    void OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    using MessageHandler = bool (CTavrixServerDlg::*)(WPARAM, LPARAM);
    struct MessageRow {
        UINT message;
        MessageHandler handler;
    };
    using CommandHandler = void (CTavrixServerDlg::*)();
    struct CommandRow {
        unsigned id;
        CommandHandler handler;
    };
    static const MessageRow kMessages[];
    static const CommandRow kCommands[];
    static const CommandRow kSystemCommands[];

    // Window messages; true when handled.
    bool OnCommand(WPARAM wParam, LPARAM lParam);
    bool OnSysCommand(WPARAM wParam, LPARAM lParam);
    bool OnTimer(WPARAM wParam, LPARAM lParam);
    bool OnClose(WPARAM wParam, LPARAM lParam);
    bool OnSize(WPARAM wParam, LPARAM lParam);
    bool OnDpiChanged(WPARAM wParam, LPARAM lParam);
    bool OnTrayNotify(WPARAM wParam, LPARAM lParam);
    bool OnDropConnection(WPARAM wParam, LPARAM lParam);
    bool OnHideToTray(WPARAM wParam, LPARAM lParam);

    // Buttons, check boxes and menu commands.
    void OnServerOnOff();
    void OnApplyNamePort();
    void OnRevertToDefault();
    void OnPasswordCheckBox();
    void OnLaunchAtLogin();
    void RenewAdvertisement();
    void PlayCommandsFromFile();
    void OnAbout();
    void OnExit();
    void OnWebSite();
    void OnEnterKey();
    void OnEscapeKey();

    // Initialisation steps.
    void AddSystemMenuItems();
    void SetWindowIcons();
    void CreateFonts();
    void ShowHostAddress();
    void ShowTrayMenu();
    void ShowFromTray();

    // Fields to controls, or controls to fields; false when the port isn't an integer.
    bool UpdateData(bool saveAndValidate);
    std::string ControlText(int id) const;

    void OnLinkChanged() override;
    void PostDropConnection(uint32_t connectionId) override;
    void CheckPassword(const std::string& text) override;
    void SetDeviceName(const std::string& name) override;

    void ShowStatus(const StatusRow& row) override;
    void ShowDeviceName(const std::string& name) override;
    void RefillControls() override;
    bool RunPasswordConfirmation() override;
    void SetPasswordCheckBox(bool checked) override;
    void SetTimer(unsigned id, unsigned milliseconds) override;
    void KillTimer(unsigned id) override;
    void HideWindow() override;

    CWinsockSession m_winsock;
    Win32Platform& m_platform;
    ServerSettings m_settings;
    std::string m_confirmText;
    bool m_exitRequested = false;
    HICON m_hIcon = nullptr;
    FontHandle m_statusFont;
    FontHandle m_deviceFont;
    // The parts reach the device through the server, which is built after them; they use it
    // only once the dialog runs.
    CServerAssembly m_assembly;
    CConnectionServer& m_server;
    CServerDialogLogic& m_logic;
};
