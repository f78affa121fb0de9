#pragma once
#include <string>

#include "platform/MainWindow.h"

// The server's main window as the parts see it: a handle, the name it shows for the device,
// and counts of what was posted or armed.
class FakeMainWindow : public IMainWindow {
public:
    explicit FakeMainWindow(WindowHandle handle = 0) : handle(handle) {}

    WindowHandle Handle() const override { return handle; }
    void PostHideToTray() override { ++hides; }
    void ArmListTimer() override { ++timersArmed; }
    std::string DeviceName() const override { return deviceName; }

    WindowHandle handle;
    std::string deviceName;
    int hides = 0;
    int timersArmed = 0;
};
