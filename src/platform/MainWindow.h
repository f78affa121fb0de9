#pragma once
#include <string>

#include "platform/Desktop.h"

class CConnectionSocket;

// What the core asks of the server's main window.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // Posted, not handled at once: the connection is shut down after the current dispatch.
    virtual void PostDropConnection(CConnectionSocket* connection) = 0;
    virtual void UpdateStatusDisplay() = 0;
    // Stores the device's name and refreshes every bound control from the dialog's fields.
    virtual void SetDeviceName(const std::string& name) = 0;
    // The main window itself, for the input rules that concern it.
    virtual WindowHandle Handle() const { return 0; }
    // Posts WM_HIDE_TO_TRAY to the main window.
    virtual void PostHideToTray() {}
    // Arms IDT_LIST_AFTER_ACTION: a fresh window list follows a window action shortly.
    virtual void ArmListTimer() {}
    // The connected device's name as the dialog shows it, for the titles of file dialogs.
    virtual std::string DeviceName() const { return std::string(); }
};
