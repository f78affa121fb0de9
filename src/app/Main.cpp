#include <windows.h>
#include <winsock2.h>

#include "net/DiagnosticLog.h"
#include "platform/win32/Win32Platform.h"
#include "ui/CTavrixServerDlg.h"

// Opened (truncated) during static initialisation and kept for the life of the process.
static DiagnosticLog g_diagnosticLog("c:\\tavrix_log.txt");

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    WSADATA socketsData;
    if (WSAStartup(MAKEWORD(2, 2), &socketsData) != 0) return 1;
    int exitCode = 1;
    {
        Win32Platform platform;
        CTavrixServerDlg dialog(platform, g_diagnosticLog);
        dialog.Server().LoadServiceLibrary();
        if (dialog.Create(showCommand)) {
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            exitCode = 0;
        }
    }
    WSACleanup();
    return exitCode;
}
