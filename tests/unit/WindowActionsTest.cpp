#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/RecentKeys.h"
#include "fakes/WindowRig.h"

namespace {

using Calls = std::vector<std::string>;

// Two listed windows; the editor is minimised.
struct Actions : WindowRig {
    Actions() {
        windows.Add(0x10, "Editor").iconic = true;
        windows.Add(0x11, "Mail");
        windows.foreground = 0x11;
        registry.SendWindowList(false);
        Received();
    }
    // The list that follows an action, from the window's timer.
    std::string NextList() {
        registry.SendWindowList(false);
        return Received();
    }
    // An activation already pending, and a clean record of calls and timers.
    void Pending(const std::string& title) {
        registry.ActivateApplication(KeyOf(title));
        windows.calls.clear();
        window.timersArmed = 0;
    }
    const std::string both = ":" + KeyOf("Editor") + ":" + KeyOf("Mail") + "\n";
};

TEST(ActivateApplication, RestoresAMinimisedWindowThenBringsItForward) {
    Actions a;
    a.registry.ActivateApplication(KeyOf("Editor"));
    EXPECT_EQ(a.windows.calls, (Calls{"ShowWindow(16,SW_RESTORE)", "SetForegroundWindow(16)"}));
    EXPECT_EQ(a.window.timersArmed, 1);
    EXPECT_EQ(a.Received(), "");  // no direct answer
    // The list that follows names it without asking the system again.
    a.windows.foreground = 0x11;
    EXPECT_EQ(a.NextList(), "124:0" + a.both);
    EXPECT_EQ(a.windows.enumerations, 1);
}

TEST(ActivateApplication, AWindowThatIsNotMinimisedIsOnlyBroughtForward) {
    Actions a;
    a.registry.ActivateApplication(KeyOf("Mail"));
    EXPECT_EQ(a.windows.calls, Calls{"SetForegroundWindow(17)"});
}

TEST(ActivateApplication, TheListAfterwardsNamesTheWindowEvenIfTheSystemRefused) {
    Actions a;
    a.windows.windows[0].handle = 0x99;  // the window has gone since the list
    a.registry.ActivateApplication(KeyOf("Editor"));
    EXPECT_EQ(a.windows.foreground, 0x11u);
    EXPECT_EQ(a.NextList(), "124:0" + a.both);
}

TEST(ActivateApplication, AnUnlistedKeyIsAPathToOpen) {
    Actions a;
    a.Pending("Mail");
    a.registry.ActivateApplication(KeyOf("C:\\Program Files\\Editor\\editor.exe"));
    EXPECT_EQ(a.windows.calls,
              Calls{"ShellExecuteA(2304,open,C:\\Program Files\\Editor\\editor.exe)"});
    EXPECT_EQ(a.window.timersArmed, 1);
    // The pending window is forgotten: the next list asks the system.
    a.windows.foreground = 0x10;
    EXPECT_EQ(a.NextList(), "124:0" + a.both);
    EXPECT_EQ(a.windows.enumerations, 2);
    // Junk is decoded as far as it goes and handed over all the same.
    a.registry.ActivateApplication("garbage");
    EXPECT_EQ(a.windows.calls.back(), "ShellExecuteA(2304,open,)");
    EXPECT_EQ(a.window.timersArmed, 2);
}

// Any program chooses its window's title: a title that looks like a path, tapped after its
// window went, must not start that path.
TEST(ActivateApplication, AKeyOnceSentAsAWindowIsNeverLaunched) {
    Actions a;
    a.windows.Add(0x12, "/tmp/x/payload.sh");
    a.NextList();
    a.windows.windows.pop_back();
    a.windows.windows.erase(a.windows.windows.begin());
    a.NextList();
    a.windows.calls.clear();
    a.window.timersArmed = 0;
    a.registry.ActivateApplication(KeyOf("/tmp/x/payload.sh"));
    a.registry.ActivateApplication(KeyOf("Editor"));
    EXPECT_EQ(a.windows.calls, Calls{});
    EXPECT_EQ(a.window.timersArmed, 0);
}

TEST(ActivateApplication, TheMemoryOfSentKeysIsBoundedAndForgetsTheOldest) {
    CRecentKeys keys;
    for (size_t i = 0; i < CRecentKeys::kCapacity + 1; ++i) keys.Remember(std::to_string(i));
    keys.Remember("1");  // already known: no effect on the order
    EXPECT_EQ(keys.Size(), CRecentKeys::kCapacity);
    EXPECT_FALSE(keys.Contains("0"));
    EXPECT_TRUE(keys.Contains("1"));
    EXPECT_TRUE(keys.Contains(std::to_string(CRecentKeys::kCapacity)));
}

TEST(CloseApplication, BringsForwardThenAsksToClose) {
    Actions a;
    a.Pending("Editor");
    a.registry.CloseApplication(KeyOf("Mail"));
    EXPECT_EQ(a.windows.calls, (Calls{"SetForegroundWindow(17)", "PostMessageA(17,WM_CLOSE)"}));
    EXPECT_EQ(a.window.timersArmed, 1);
    // Closing leaves a pending activation as it was.
    EXPECT_EQ(a.windows.foreground, 0x11u);
    EXPECT_EQ(a.NextList(), "124:0" + a.both);
    EXPECT_EQ(a.windows.enumerations, 1);
}

TEST(CloseApplication, AnUnknownKeyDoesNothing) {
    Actions a;
    a.registry.CloseApplication(KeyOf("Nothing"));
    a.registry.CloseApplication("C:\\x.exe");
    EXPECT_TRUE(a.windows.calls.empty());
    EXPECT_EQ(a.window.timersArmed, 0);
}

}  // namespace
