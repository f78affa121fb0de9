#include "protocol/CommandExecutor.h"

// The pointer, keyboard, window and file operations are filled in by their own features;
// until then a command for them is received and has no effect.

CCommandExecutor::CCommandExecutor(CConnectionServer* server, IDesktop* desktop,
                                   IMainWindow* mainWindow)
    : m_pServer(server), m_pDesktop(desktop), m_pMainWindow(mainWindow) {}
CCommandExecutor::~CCommandExecutor() = default;

void CCommandExecutor::ButtonDown(int) {}
void CCommandExecutor::ButtonUp(int) {}
void CCommandExecutor::ClickButton(int, int) {}
void CCommandExecutor::GrabWindowUnderCursor() {}
void CCommandExecutor::DragGrabbedWindowBy(float, float) {}
void CCommandExecutor::IgnoreCode200(int, float, float, float, float) {}
void CCommandExecutor::ReleaseGrabbedWindow() {}
void CCommandExecutor::ScrollWheel(float, float) {}
void CCommandExecutor::StartCursorGlide(float, float, float) {}
void CCommandExecutor::StartScrollGlide(float, float, float) {}
void CCommandExecutor::StopGlide() {}
bool CCommandExecutor::SendWindowList(bool) {
    return false;
}
void CCommandExecutor::SendWindowIcon(const std::string&) {}
void CCommandExecutor::ActivateApplication(const std::string&) {}
void CCommandExecutor::CloseApplication(const std::string&) {}
void CCommandExecutor::ReceiveRemoteScreen(const void*, int) {}
void CCommandExecutor::SendFileToDevice(bool) {}
void CCommandExecutor::CancelFileDialog() {}
void CCommandExecutor::TypeCharacter(int) {}
void CCommandExecutor::PressKey(int, bool, int) {}
void CCommandExecutor::SetBounceOffEdges(bool on) {
    m_bounceOffEdges = on;
}
void CCommandExecutor::ShowTestWindow(int, int, int) {}
