#include "protocol/CommandExecutor.h"

#include "input/KeyMap.h"

// The pointer, keyboard, window and file operations are filled in by their own features;
// until then a command for them is received and has no effect.

CCommandExecutor::CCommandExecutor(CConnectionServer* server, IDesktop* desktop,
                                   IMainWindow* mainWindow)
    : m_pServer(server),
      m_pDesktop(desktop),
      m_pMainWindow(mainWindow),
      m_keyMap(MakeDeviceKeyMap()) {}

CCommandExecutor::~CCommandExecutor() {
    // Nothing stays pressed and no worker outlives the members it uses.
    EndDeviceInput();
    StopAndJoinGlide();
}

void CCommandExecutor::IgnoreCode200(int, float, float, float, float) {}
bool CCommandExecutor::SendWindowList(bool) {
    return false;
}
void CCommandExecutor::SendWindowIcon(const std::string&) {}
void CCommandExecutor::ActivateApplication(const std::string&) {}
void CCommandExecutor::CloseApplication(const std::string&) {}
void CCommandExecutor::ReceiveRemoteScreen(const void*, int) {}
void CCommandExecutor::SendFileToDevice(bool) {}
void CCommandExecutor::CancelFileDialog() {}
void CCommandExecutor::ShowTestWindow(int, int, int) {}
