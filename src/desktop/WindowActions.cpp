// Switching to, launching and closing applications on the device's request. A fresh window
// list follows each shortly, through the main window's timer.
#include <vector>

#include "desktop/WindowRegistry.h"
#include "platform/MainWindow.h"
#include "platform/WindowSystem.h"
#include "protocol/TextFieldCodec.h"

void CWindowRegistry::ActivateApplication(const std::string& windowKey) {
    m_pendingForeground = 0;
    const auto found = m_windowHandle.find(windowKey);
    // A window that went: nothing to do, as when closing it.
    if (found == m_windowHandle.end() && m_sentKeys.Contains(windowKey)) return;
    if (found != m_windowHandle.end()) {
        const WindowHandle window = found->second;
        if (m_windows.IsIconic(window)) m_windows.RestoreWindow(window);
        m_windows.SetForegroundWindow(window);
        // Reported as the foreground window even where the system refuses to raise it.
        m_pendingForeground = window;
    } else {
        // Not a listed window: the encoded path of a program to start, as icons carry it.
        std::vector<char> field(windowKey.begin(), windowKey.end());
        field.push_back('\0');
        const std::string file = DecodeTextField(field.data(), m_codePage);
        m_windows.ShellExecuteOpen(m_mainWindow.Handle(), file);
    }
    m_mainWindow.ArmListTimer();
}

void CWindowRegistry::CloseApplication(const std::string& windowKey) {
    const auto found = m_windowHandle.find(windowKey);
    if (found == m_windowHandle.end()) return;
    m_windows.SetForegroundWindow(found->second);
    m_windows.PostCloseMessage(found->second);
    m_mainWindow.ArmListTimer();
}
