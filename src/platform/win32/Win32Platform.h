#pragma once
#include "platform/PlatformServices.h"
#include "platform/common/PacedSound.h"
#include "platform/win32/Win32DnsSd.h"
#include "platform/win32/Win32FileDialogs.h"
#include "platform/win32/Win32Keyboard.h"
#include "platform/win32/Win32PointerDevice.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Sockets.h"
#include "platform/win32/Win32StartupShortcut.h"
#include "platform/win32/Win32TestWindow.h"
#include "platform/win32/Win32Timers.h"
#include "platform/win32/Win32WindowSystem.h"

// The concrete Windows services, chosen once at start-up.
struct Win32Platform {
    Win32SocketFactory sockets;
    Win32Clock clock;
    Win32Sound systemSound;
    CPacedSound sound{systemSound, clock};
    Win32Timers timers;
    Win32DnsSd dnsSd;
    Win32SystemInfo system;
    Win32FileSystem files;
    Win32StartupShortcut startup;
    Win32PointerDevice pointer;
    Win32Keyboard keyboard;
    Win32AnsiCodePage codePage;
    Win32FileDialogs fileDialogs;
    Win32TestWindowFactory testWindows;
    Win32WindowSystem windows;

    PlatformServices Services() {
        return PlatformServices{sockets,  clock,    sound,       timers,      dnsSd,  pointer,
                                keyboard, codePage, fileDialogs, testWindows, windows};
    }
};
