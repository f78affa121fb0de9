#pragma once

class IAnsiCodePage;
class IClock;
class IDnsSd;
class IFileDialogs;
class IKeyboard;
class IPointerDevice;
class ISocketFactory;
class ISound;
class ITestWindowFactory;
class ITimers;
class IWindowSystem;

// The system services a server is built from, by interface. Each platform fills one at start;
// what the services are for one session (X11, a Wayland route) is decided there alone.
struct PlatformServices {
    ISocketFactory& sockets;
    IClock& clock;
    ISound& sound;
    ITimers& timers;
    IDnsSd& dnsSd;
    IPointerDevice& pointer;
    IKeyboard& keyboard;
    IAnsiCodePage& codePage;
    IFileDialogs& fileDialogs;
    ITestWindowFactory& testWindows;
    IWindowSystem& windows;
};
