#include "settings/ServerAssembly.h"

#include "settings/ServerSettings.h"

CServerAssembly::CServerAssembly(const PlatformServices& platform, ServerSettings& settings,
                                 const FrontEndHooks& hooks, DiagnosticLog& log)
    : m_settings(settings),
      m_pointerInput(platform.pointer, platform.windows, hooks.mainWindow, platform.clock),
      m_keyboardInput(platform.keyboard),
      m_windowRegistry(platform.windows, platform.codePage, platform.clock, hooks.mainWindow,
                       m_server, m_modals),
      m_fileExchange(platform.fileDialogs, platform.testWindows, platform.pointer, hooks.mainWindow,
                     m_server, m_modals),
      m_executor(CommandParts{m_pointerInput, m_keyboardInput, m_windowRegistry, m_fileExchange}),
      m_dispatcher(m_executor, hooks.gate, platform.sound),
      m_server(ConnectionServerServices{platform.sockets, hooks.events, platform.sound,
                                        platform.clock, platform.timers, platform.dnsSd, log,
                                        m_dispatcher}),
      m_logic(m_settings, m_server, m_executor, hooks.view) {}

void CServerAssembly::ApplySettings() {
    ::ApplySettings(m_settings, m_executor, m_server, m_dispatcher);
}
