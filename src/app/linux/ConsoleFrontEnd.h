#pragma once
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "desktop/WindowRegistry.h"
#include "input/FileExchange.h"
#include "input/KeyboardInput.h"
#include "input/PointerInput.h"
#include "net/ConnectionServer.h"
#include "net/ServerEvents.h"
#include "platform/MainWindow.h"
#include "platform/Timers.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"
#include "protocol/ModalNesting.h"
#include "protocol/SessionGate.h"
#include "settings/ServerDialogLogic.h"
#include "settings/ServerSettings.h"

class DiagnosticLog;
struct X11Platform;

// The program's settings for this run: the file's, and what the command line changes.
struct ConsoleOptions {
    // -1 keeps the file's port.
    int port = -1;
    bool hasName = false;
    // In the ANSI code page, as the settings file keeps it.
    std::string name;
};

// The server without a window: owns the settings, the parts, the executor, the connection
// server and the dispatcher, wired as the Windows dialog wires them, and says what happens
// in status lines. It has no off switch: it listens for as long as it runs.
class CConsoleFrontEnd : public IMainWindow,
                         private IServerEvents,
                         private ISessionGate,
                         private IServerDialogView {
public:
    CConsoleFrontEnd(X11Platform& platform, DiagnosticLog& log, std::FILE* status);
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
    std::string DeviceName() const override { return m_logic.DeviceName(); }

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

    X11Platform& m_platform;
    std::FILE* m_status;
    ServerSettings m_settings;
    std::string m_shownStatus;
    std::string m_shownDevice;
    // The dialog's timers by their ids, and the posted drop requests, all on ITimers.
    std::map<unsigned, ITimers::TimerId> m_timers;
    std::map<uint32_t, ITimers::TimerId> m_posted;
    uint32_t m_nextPost = 0;
    CModalNesting m_modals;
    CPointerInput m_pointerInput;
    CKeyboardInput m_keyboardInput;
    CWindowRegistry m_windowRegistry;
    CFileExchange m_fileExchange;
    CCommandExecutor m_executor;
    std::unique_ptr<CCommandDispatcher> m_pDispatcher;
    CConnectionServer m_server;
    CServerDialogLogic m_logic;
};
