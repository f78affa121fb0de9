#include "app/CTavrixServerApp.h"

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <string>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "ui/CTavrixServerDlg.h"

namespace {

constexpr char kMainWindowTitle[] = "Tavrix Server";
constexpr char kAlreadyRunning[] = "Tavrix Server is already running!";
constexpr char kBonjourTitle[] = "Bonjour Not Found";
constexpr char kBonjourDownload[] = "https://support.apple.com/kb/DL999";

std::string BonjourMissingText() {
    return std::string(
               "Could not find Apple Bonjour !\n\n\n If you want your Tavrix client to "
               "automatically discover this Tavrix server, \n then please install Apple "
               "Bonjour from: ") +
           kBonjourDownload + "\n Before running Tavrix Server again.";
}

}  // namespace

bool CTavrixServerApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    // Hidden windows count too: a running instance usually sits in the notification area.
    if (FindWindowA(nullptr, kMainWindowTitle)) {
        MessageBoxA(nullptr, kAlreadyRunning, ApplicationName().c_str(),
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    Win32Platform platform;
    CTavrixServerDlg dialog(platform, m_log);
    if (!dialog.Server().LoadServiceLibrary())
        MessageBoxA(nullptr, BonjourMissingText().c_str(), kBonjourTitle, MB_OK | MB_ICONWARNING);
    dialog.DoModal(nullptr);
    return false;
}
