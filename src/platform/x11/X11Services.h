#pragma once
#include <string>

#include "platform/AnsiCodePage.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Sound.h"
#include "platform/SystemInfo.h"

// Windows-1252, the code page the device's text fields are written in.
class X11AnsiCodePage : public IAnsiCodePage {
public:
    int ToUtf16(const char* text, char16_t* out, int maxUnits) const override;
    int FromUtf16(const char16_t* units, char* out, int maxBytes) const override;
};

class X11Clock : public IClock {
public:
    void Sleep(uint32_t milliseconds) override;
    // CLOCK_MONOTONIC in milliseconds, wrapping at 2^32 like the Windows tick count.
    uint32_t TickCount() override;
};

// Plays the desktop's own device sounds through canberra-gtk-play when it is installed, one
// player at a time, reaped from the main loop; silence otherwise.
class X11Sound : public ISound {
public:
    X11Sound();
    ~X11Sound() override;
    X11Sound(const X11Sound&) = delete;
    X11Sound& operator=(const X11Sound&) = delete;
    void Play(const std::string& fileName) override;

private:
    static void OnPlayerExit(int pid, int status, void* data);

    std::string m_player;
    // The main loop's watch of the running player; 0 while none runs.
    unsigned m_playerWatch = 0;
};

class X11SystemInfo : public ISystemInfo {
public:
    // The account name in Windows-1252, as the settings file keeps the server name.
    std::string UserName() override;
};

class X11FileSystem : public IFileSystem {
public:
    bool ReplaceFile(const std::string& source, const std::string& target) override;
    bool WritePrivateFile(const std::string& path, const std::string& contents) override;
};
