#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeClock.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeDnsSd.h"
#include "fakes/FakeSockets.h"
#include "fakes/FakeSound.h"
#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

namespace {

using Calls = std::vector<std::string>;

// The real executor behind the real server, on fake sockets and a fake desktop, without a
// password.
struct Link {
    Link() {
        services.sockets = &sockets;
        services.mainWindow = &window;
        services.sound = &sound;
        services.clock = &clock;
        services.dnsSd = &dnsSd;
        services.log = &log;
        server = std::make_unique<CConnectionServer>(services);
        server->m_passwordEnabled = false;
        server->m_serverOn = true;
        server->StartServer(&dispatcher);
        device = sockets.Connect();
        desktop.PlaceCursor(600, 600);
    }
    void Send(const std::string& lines) {
        device->Arrive(lines);
        device->notify->OnReceive();
    }
    Calls Mouse() const { return desktop.CallsOf("mouse_event"); }

    FakeDesktop desktop;
    InputMainWindow window{0x500};
    FakeSocketFactory sockets;
    FakeSound sound;
    FakeClock clock;
    FakeDnsSd dnsSd;
    DiagnosticLog log{nullptr};
    CCommandExecutor executor{nullptr, &desktop, &window};
    CCommandDispatcher dispatcher{&executor, &window, &sound};
    ConnectionServerServices services;
    std::unique_ptr<CConnectionServer> server;
    std::shared_ptr<FakeStream> device;
};

TEST(DeviceInputEnd, ButtonsLeftPressedAreReleasedWhenTheDeviceLeaves) {
    Link link;
    link.Send("3:0\n3:1\n3:2\n4:1\n");
    link.desktop.ClearCalls();
    link.device->notify->OnClose();
    EXPECT_EQ(link.Mouse(), (Calls{"mouse_event(4)", "mouse_event(64)"}));
}

TEST(DeviceInputEnd, NothingIsReleasedTwiceOrWithoutAPress) {
    Link link;
    // A full click, a flag word that presses and releases at once, a hidden press.
    link.Send("33:0:2\n3:6\n");
    link.desktop.AddWindow(0x500, {0, 0, 300, 200});
    link.desktop.SetHitTest(0x500, 20);
    link.desktop.PlaceCursor(290, 5);
    link.Send("3:0\n");
    ASSERT_EQ(link.window.hides, 1);
    link.desktop.ClearCalls();
    link.device->notify->OnClose();
    link.server->StopServer();
    EXPECT_TRUE(link.Mouse().empty());
}

TEST(DeviceInputEnd, StoppingTheServerReleasesAndEndsTheGlide) {
    Link link;
    link.Send("3:0\n301:0:10:1\n");
    ASSERT_TRUE(link.desktop.WaitForSleeps(2, std::chrono::milliseconds(5000)));
    link.server->StopServer();
    EXPECT_EQ(link.Mouse(), (Calls{"mouse_event(2)", "mouse_event(4)"}));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (link.executor.m_glideDecay > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FLOAT_EQ(link.executor.m_glideDecay, -1.0f);
}

TEST(DeviceInputEnd, ExecutorReleasesWhatIsHeldWhenTheProgramEnds) {
    FakeDesktop desktop;
    {
        CCommandExecutor executor(nullptr, &desktop, nullptr);
        executor.ButtonDown(1);
    }
    EXPECT_EQ(desktop.CallsOf("mouse_event"), (Calls{"mouse_event(8)", "mouse_event(16)"}));
}

}  // namespace
