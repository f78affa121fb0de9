#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "net/ConnectionServer.h"
#include "platform/MainWindow.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"
#include "settings/ServerSettings.h"

class DiagnosticLog;
struct Win32Platform;

// The server's main window: owns the settings, the executor, the connection server and the
// dispatcher, and shows the server's state.
class CTavrixServerDlg : public IMainWindow {
public:
    CTavrixServerDlg(Win32Platform& platform, DiagnosticLog& log);
    ~CTavrixServerDlg() override;
    CTavrixServerDlg(const CTavrixServerDlg&) = delete;
    CTavrixServerDlg& operator=(const CTavrixServerDlg&) = delete;

    bool Create(int showCommand);
    CConnectionServer& Server() { return m_server; }

    void PostDropConnection(CConnectionSocket* connection) override;
    void UpdateStatusDisplay() override;
    void SetDeviceName(const std::string& name) override;
    WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(m_window); }
    void PostHideToTray() override;

    std::string GetDefaultServerName();
    void LoadSettings();
    void SaveSettings();
    void ApplySettings();

private:
    using Handler = LRESULT (CTavrixServerDlg::*)(WPARAM, LPARAM);
    struct MessageRow {
        UINT message;
        Handler handler;
    };
    static const MessageRow kMessageTable[];

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnDropConnection(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    std::string StatusText() const;

    Win32Platform& m_platform;
    HWND m_window = nullptr;
    HWND m_statusLabel = nullptr;
    HFONT m_font = nullptr;
    ServerSettings m_settings;
    std::string m_deviceName = "No Device";
    CConnectionServer m_server;
    CCommandExecutor m_executor;
    std::unique_ptr<CCommandDispatcher> m_pDispatcher;
};
