// Switching to, launching and closing applications on the device's request. A fresh window
// list follows each shortly, through the main window's timer.
#include <vector>

#include "platform/MainWindow.h"
#include "platform/WindowSystem.h"
#include "protocol/CommandExecutor.h"
#include "protocol/TextFieldCodec.h"

void CCommandExecutor::ActivateApplication(const std::string& windowKey) {
    if (!m_pWindows || !m_pCodePage) return;
    m_pendingForeground = 0;
    const auto found = m_windowHandle.find(windowKey);
    if (found != m_windowHandle.end()) {
        const WindowHandle window = found->second;
        if (m_pWindows->IsIconic(window)) m_pWindows->RestoreWindow(window);
        m_pWindows->SetForegroundWindow(window);
        // Reported as the foreground window even where the system refuses to raise it.
        m_pendingForeground = window;
    } else {
        // Not a listed window: the encoded path of a program to start, as icons carry it.
        std::vector<char> field(windowKey.begin(), windowKey.end());
        field.push_back('\0');
        const std::string file = DecodeTextField(field.data(), *m_pCodePage);
        m_pWindows->ShellExecuteOpen(m_pMainWindow ? m_pMainWindow->Handle() : 0, file);
    }
    if (m_pMainWindow) m_pMainWindow->ArmListTimer();
}

void CCommandExecutor::CloseApplication(const std::string& windowKey) {
    if (!m_pWindows) return;
    const auto found = m_windowHandle.find(windowKey);
    if (found == m_windowHandle.end()) return;
    m_pWindows->SetForegroundWindow(found->second);
    m_pWindows->PostCloseMessage(found->second);
    if (m_pMainWindow) m_pMainWindow->ArmListTimer();
}
