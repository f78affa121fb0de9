#pragma once

// The program's shortcut in the user's Startup folder, which the desktop starts at login.
class IStartupShortcut {
public:
    virtual ~IStartupShortcut() = default;
    virtual bool Exists() = 0;
    // To this program, started in the current working directory, where its settings are.
    virtual bool Create() = 0;
    virtual bool Remove() = 0;
};
