#pragma once
#include "desktop/WindowRegistry.h"
#include "input/FileExchange.h"
#include "input/KeyboardInput.h"
#include "input/PointerInput.h"
#include "net/ConnectionServer.h"
#include "platform/PlatformServices.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"
#include "protocol/ModalNesting.h"
#include "settings/ServerDialogLogic.h"

class DiagnosticLog;
class IMainWindow;
class IServerEvents;
class ISessionGate;
struct ServerSettings;

// What a front end lends the server it assembles: its window, the handlers of the server's
// events, the password gate and the view of the dialog's logic.
struct FrontEndHooks {
    IMainWindow& mainWindow;
    IServerEvents& events;
    ISessionGate& gate;
    IServerDialogView& view;
};

// The parts, the executor, the dispatcher, the connection server and the dialog's logic,
// wired the same way for every front end (the Windows dialog, the console).
class CServerAssembly {
public:
    CServerAssembly(const PlatformServices& platform, ServerSettings& settings,
                    const FrontEndHooks& hooks, DiagnosticLog& log);
    CServerAssembly(const CServerAssembly&) = delete;
    CServerAssembly& operator=(const CServerAssembly&) = delete;

    CConnectionServer& Server() { return m_server; }
    CCommandExecutor& Executor() { return m_executor; }
    CCommandDispatcher& Dispatcher() { return m_dispatcher; }
    CServerDialogLogic& Logic() { return m_logic; }

    // The settings into the executor, the server and the dispatcher.
    void ApplySettings();

private:
    ServerSettings& m_settings;
    CModalNesting m_modals;
    CPointerInput m_pointerInput;
    CKeyboardInput m_keyboardInput;
    CWindowRegistry m_windowRegistry;
    CFileExchange m_fileExchange;
    CCommandExecutor m_executor;
    CCommandDispatcher m_dispatcher;
    CConnectionServer m_server;
    CServerDialogLogic m_logic;
};
