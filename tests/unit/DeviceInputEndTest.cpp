#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fakes/InputRig.h"

namespace {

using Calls = std::vector<std::string>;

// A raw word that presses the side button, and one that releases it.
constexpr uint32_t kExtraDown = 0x80;
constexpr uint32_t kExtraUp = 0x100;

// A device connected to the real server and parts, the pointer at (600, 600) over no window.
struct Link {
    Link() {
        device = rig.Connect();
        rig.desktop.PlaceCursor(600, 600);
        rig.desktop.SetRawWord(kExtraDown, {ButtonBit(Button::Extra), 0});
        rig.desktop.SetRawWord(kExtraUp, {0, ButtonBit(Button::Extra)});
    }
    void Send(const std::string& lines) { InputRig::Arrive(*device, lines); }
    void Leave() { device->notify->OnClose(); }

    InputRig rig;
    std::shared_ptr<FakeStream> device;
};

TEST(DeviceInputEnd, ButtonsLeftPressedAreReleasedWhenTheDeviceLeaves) {
    Link link;
    link.Send("3:0\n3:1\n3:2\n4:1\n");
    link.rig.desktop.ClearCalls();
    link.Leave();
    EXPECT_EQ(link.rig.desktop.Buttons(), (Calls{"Release(Left)", "Release(Middle)"}));
}

TEST(DeviceInputEnd, ExtraButtonARawWordPressedIsReleased) {
    Link link;
    link.Send("3:" + std::to_string(kExtraDown) + "\n");
    link.rig.desktop.ClearCalls();
    link.Leave();
    EXPECT_EQ(link.rig.desktop.Buttons(), Calls{"Release(Extra)"});
}

TEST(DeviceInputEnd, NothingIsReleasedTwiceOrWithoutAPress) {
    Link link;
    // A full click; a raw word that presses and releases at once; the side button pressed
    // and released by raw words; a press that went to the server's close box instead.
    link.rig.desktop.SetRawWord(6, {ButtonBit(Button::Left), ButtonBit(Button::Left)});
    link.Send("33:0:2\n3:6\n");
    link.Send("3:" + std::to_string(kExtraDown) + "\n4:" + std::to_string(kExtraUp) + "\n");
    link.rig.desktop.AddWindow(InputRig::kMainWindow, {0, 0, 300, 200});
    link.rig.desktop.SetBoxes(InputRig::kMainWindow, {260, 0, 300, 20});
    link.rig.desktop.PlaceCursor(290, 5);
    link.Send("3:0\n");
    ASSERT_EQ(link.rig.window.hides, 1);
    link.rig.desktop.ClearCalls();
    link.Leave();
    link.rig.server.StopServer();
    EXPECT_TRUE(link.rig.desktop.Buttons().empty());
}

TEST(DeviceInputEnd, WindowTakenByTheDeviceIsLetGo) {
    Link link;
    link.rig.desktop.AddWindow(0x700, {400, 300, 700, 500});
    link.rig.desktop.PlaceCursor(450, 350);
    link.Send("19\n");
    ASSERT_EQ(link.rig.pointer.GrabbedWindow(), 0x700u);
    link.Leave();
    EXPECT_EQ(link.rig.pointer.GrabbedWindow(), 0u);
    // The next device's drag moves nothing it didn't take itself.
    std::shared_ptr<FakeStream> next = link.rig.Connect();
    link.rig.desktop.ClearCalls();
    InputRig::Arrive(*next, "20:10:10\n");
    EXPECT_TRUE(link.rig.desktop.CallsTo("MoveWindow").empty());
    EXPECT_EQ(link.rig.desktop.RectOf(0x700).left, 400);
}

TEST(DeviceInputEnd, StoppingTheServerReleasesAndEndsTheGlide) {
    Link link;
    link.Send("3:0\n301:0:10:1\n");
    ASSERT_TRUE(link.rig.clock.WaitForSleeps(2, std::chrono::milliseconds(5000)));
    link.rig.server.StopServer();
    EXPECT_EQ(link.rig.desktop.Buttons(), (Calls{"Press(Left)", "Release(Left)"}));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (link.rig.pointer.Gliding() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(link.rig.pointer.Gliding());
}

TEST(DeviceInputEnd, PointerInputReleasesWhatIsHeldWhenTheProgramEnds) {
    FakeDesktop desktop;
    FakeMainWindow window;
    FakeGlideClock clock;
    {
        CPointerInput input(desktop, desktop, window, clock);
        input.ButtonDown(1);
    }
    EXPECT_EQ(desktop.Buttons(), (Calls{"Press(Right)", "Release(Right)"}));
}

}  // namespace
