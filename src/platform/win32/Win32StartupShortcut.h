#pragma once
#include <string>

#include "platform/StartupShortcut.h"

// "Tavrix Server.lnk" in the user's Startup folder (CSIDL_STARTUP), as the installer makes it.
class Win32StartupShortcut : public IStartupShortcut {
public:
    bool Exists() override;
    bool Create() override;
    bool Remove() override;

private:
    // Empty when the folder is unknown.
    static std::wstring Path();
};
