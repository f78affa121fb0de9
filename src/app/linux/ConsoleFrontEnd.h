#pragma once
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "net/ServerEvents.h"
#include "platform/MainWindow.h"
#include "platform/Timers.h"
#include "protocol/SessionGate.h"
#include "settings/ServerAssembly.h"
#include "settings/ServerSettings.h"

class DiagnosticLog;
class CLinuxPlatform;

// The program's settings for this run: the file's, and what the command line changes.
struct ConsoleOptions {
    // -1 keeps the file's port.
    int port = -1;
    bool hasName = false;
    // In the ANSI code page, as the settings file keeps it.
    std::string name;
};

// The server without a window: owns the settings and the server's assembly, and says what
// happens in status lines. It has no off switch: it listens for as long as it runs.
class CConsoleFrontEnd : public IMainWindow,
                         private IServerEvents,
                         private ISessionGate,
                         private IServerDialogView {
public:
    CConsoleFrontEnd(CLinuxPlatform& platform, DiagnosticLog& log, std::FILE* status);
    ~CConsoleFrontEnd() override;
    CConsoleFrontEnd(const CConsoleFrontEnd&) = delete;
    CConsoleFrontEnd& operator=(const CConsoleFrontEnd&) = delete;

    // Reads the settings and starts listening; false when the port can't be had.
    bool Start(const ConsoleOptions& options);
    // Stops listening and ends the device's session: nothing stays pressed or advertised.
    void Stop();

    WindowHandle Handle() const override { return 0; }
    void PostHideToTray() override {}
    void ArmListTimer() override;
    std::string DeviceName() const override;

    // A status line, "tavrix-server: " and the text.
    void Say(const std::string& text);

private:
    void UpdateStatusDisplay();

    void OnLinkChanged() override;
    void PostDropConnection(uint32_t connectionId) override;
    void CheckPassword(const std::string& text) override;
    void SetDeviceName(const std::string& name) override;

    void ShowStatus(const StatusRow& row) override;
    void ShowDeviceName(const std::string& name) override;
    void RefillControls() override {}
    void SaveSettings() override;
    bool RunPasswordConfirmation() override { return false; }
    void SetPasswordCheckBox(bool) override {}
    void SetTimer(unsigned id, unsigned milliseconds) override;
    void KillTimer(unsigned id) override;
    void HideWindow() override {}
    std::string GetDefaultServerName() override;

    CLinuxPlatform& m_platform;
    std::FILE* m_status;
    ServerSettings m_settings;
    std::string m_shownStatus;
    std::string m_shownDevice;
    // The dialog's timers by their ids, and the posted drop requests, all on ITimers.
    std::map<unsigned, ITimers::TimerId> m_timers;
    std::map<uint32_t, ITimers::TimerId> m_posted;
    uint32_t m_nextPost = 0;
    CServerAssembly m_assembly;
    CConnectionServer& m_server;
    CServerDialogLogic& m_logic;
};
