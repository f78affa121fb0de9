#pragma once
#include "platform/common/PacedSound.h"
#include "platform/x11/X11DnsSd.h"
#include "platform/x11/X11FileDialogs.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11PointerDevice.h"
#include "platform/x11/X11Services.h"
#include "platform/x11/X11Sockets.h"
#include "platform/x11/X11TestWindow.h"
#include "platform/x11/X11Timers.h"
#include "platform/x11/X11WindowSystem.h"

// The concrete services of an X11 session, chosen once at start-up. The code page comes
// first: the keyboard converts text through it.
struct X11Platform {
    X11AnsiCodePage codePage;
    X11SocketFactory sockets;
    X11Clock clock;
    X11Sound systemSound;
    CPacedSound sound{systemSound, clock};
    X11Timers timers;
    X11DnsSd dnsSd;
    X11SystemInfo system;
    X11FileSystem files;
    X11PointerDevice pointer;
    X11Keyboard keyboard{codePage};
    X11FileDialogs fileDialogs;
    X11TestWindowFactory testWindows;
    X11WindowSystem windows;
};

// Whether the display that $DISPLAY names accepts a connection.
bool CanOpenDisplay();
