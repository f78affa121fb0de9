#pragma once
#include <memory>
#include <string>

#include "fakes/FakeAnsiCodePage.h"
#include "fakes/FakeMainWindow.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/ServerRig.h"
#include "protocol/CommandExecutor.h"

// The main window as the window actions see it: a handle, and the list timer they arm.
struct ListTimerWindow : FakeMainWindow {
    WindowHandle Handle() const override { return 0x900; }
    void ArmListTimer() override { ++timersArmed; }
    int timersArmed = 0;
};

// An executor on a fake desktop, wired to a connection server with one device connected.
struct WindowRig {
    WindowRig() { device = server.StartAndConnect(); }

    // Everything the device received since the last call, hello excluded.
    std::string Received() {
        std::string all;
        for (size_t i = seen; i < device->sends.size(); ++i) all += device->sends[i];
        seen = device->sends.size();
        return all;
    }
    size_t SendCalls() const { return device->sends.size() - 1; }

    ServerRig server;
    std::shared_ptr<FakeStream> device;
    size_t seen = 1;
    FakeWindowSystem windows;
    FakeAnsiCodePage codePage;
    ListTimerWindow window;
    CCommandExecutor executor{&server.server, nullptr, &window, &windows, &codePage, &server.clock};
};

// The key of a title, as the device sees it.
inline std::string KeyOf(const std::string& title) {
    std::string key = "-1|-2";
    for (unsigned char c : title) key += "|" + std::to_string(c) + "|0";
    return key;
}
