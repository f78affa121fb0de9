#pragma once
#include <windows.h>

#include "platform/AnsiCodePage.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Sound.h"
#include "platform/SystemInfo.h"

class Win32AnsiCodePage : public IAnsiCodePage {
public:
    int ToUtf16(const char* text, char16_t* out, int maxUnits) const override;
    int FromUtf16(const char16_t* units, char* out, int maxBytes) const override;
};

class Win32Clock : public IClock {
public:
    void Sleep(uint32_t milliseconds) override;
    uint32_t TickCount() override;
};

class Win32Sound : public ISound {
public:
    void Play(const std::string& fileName) override;
};

class Win32SystemInfo : public ISystemInfo {
public:
    std::string UserName() override;
};

class Win32FileSystem : public IFileSystem {
public:
    bool ReplaceFile(const std::string& source, const std::string& target) override;
    bool WritePrivateFile(const std::string& path, const std::string& contents) override;
};
