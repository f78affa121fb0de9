#pragma once
#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Win32DnsSd.h"
#include "platform/win32/Win32FileDialogs.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Sockets.h"
#include "platform/win32/Win32TestWindow.h"
#include "platform/win32/Win32WindowSystem.h"

// The concrete Windows services, chosen once at start-up.
struct Win32Platform {
    Win32SocketFactory sockets;
    Win32Sound sound;
    Win32Clock clock;
    Win32DnsSd dnsSd;
    Win32SystemInfo system;
    Win32Desktop desktop;
    Win32AnsiCodePage codePage;
    Win32FileDialogs fileDialogs;
    Win32TestWindowFactory testWindows;
    Win32WindowSystem windows;
};
