#pragma once
#include <string>

#include "platform/Geometry.h"

// The server's main window, as the device's commands need it.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual WindowHandle Handle() const = 0;
    // Posted, not handled at once: hides the window to the notification area.
    virtual void PostHideToTray() = 0;
    // Arms the timer after which a fresh window list follows a window action.
    virtual void ArmListTimer() = 0;
    // The connected device's name as the window shows it, for the titles of file dialogs.
    virtual std::string DeviceName() const = 0;
};
