#include <windows.h>

#include "app/CTavrixServerApp.h"
#include "net/DiagnosticLog.h"

// Both made during static initialisation; the log is opened (truncated) first and kept for
// the life of the process.
static DiagnosticLog g_diagnosticLog("c:\\tavrix_log.txt");
static CTavrixServerApp theApp(g_diagnosticLog);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.InitInstance();
    return 0;
}
