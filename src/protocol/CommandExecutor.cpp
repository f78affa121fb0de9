#include "protocol/CommandExecutor.h"

#include "input/KeyMap.h"
#include "platform/FileDialogs.h"
#include "platform/TestWindow.h"

// The window and file operations are filled in by their own features;
// until then a command for them is received and has no effect.

CCommandExecutor::CCommandExecutor(CConnectionServer* server, IDesktop* desktop,
                                   IMainWindow* mainWindow, IWindowSystem* windows,
                                   const IAnsiCodePage* codePage, IClock* clock)
    : m_pServer(server),
      m_pDesktop(desktop),
      m_pMainWindow(mainWindow),
      m_keyMap(MakeDeviceKeyMap()),
      m_pWindows(windows),
      m_pCodePage(codePage),
      m_pClock(clock) {}

CCommandExecutor::~CCommandExecutor() {
    // Nothing stays pressed and no worker outlives the members it uses.
    EndDeviceInput();
    StopAndJoinGlide();
    m_testWindow.reset();
}

void CCommandExecutor::IgnoreCode200(int, float, float, float, float) {}
