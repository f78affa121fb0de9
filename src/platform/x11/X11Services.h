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

// Plays the desktop's own device sounds through canberra-gtk-play when it is installed, as a
// child that nobody waits for; silence otherwise.
class X11Sound : public ISound {
public:
    X11Sound();
    void Play(const std::string& fileName) override;

private:
    std::string m_player;
};

class X11SystemInfo : public ISystemInfo {
public:
    // The account name in Windows-1252, as the settings file keeps the server name.
    std::string UserName() override;
};

class X11FileSystem : public IFileSystem {
public:
    bool ReplaceFile(const std::string& source, const std::string& target) override;
};
