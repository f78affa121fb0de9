#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/WindowRig.h"

namespace {

using Calls = std::vector<std::string>;

// Two listed windows; the editor is minimised.
struct Actions : WindowRig {
    Actions() {
        windows.Add(0x10, "Editor").iconic = true;
        windows.Add(0x11, "Mail");
        windows.foreground = 0x11;
        executor.SendWindowList(false);
        Received();
    }
};

TEST(ActivateApplication, RestoresAMinimisedWindowThenBringsItForward) {
    Actions a;
    a.executor.ActivateApplication(KeyOf("Editor"));
    EXPECT_EQ(a.windows.calls, (Calls{"ShowWindow(16,SW_RESTORE)", "SetForegroundWindow(16)"}));
    EXPECT_EQ(a.executor.m_pendingForeground, 0x10u);
    EXPECT_EQ(a.window.timersArmed, 1);
    EXPECT_EQ(a.Received(), "");  // no direct answer
}

TEST(ActivateApplication, AWindowThatIsNotMinimisedIsOnlyBroughtForward) {
    Actions a;
    a.executor.ActivateApplication(KeyOf("Mail"));
    EXPECT_EQ(a.windows.calls, Calls{"SetForegroundWindow(17)"});
}

TEST(ActivateApplication, TheListAfterwardsNamesTheWindowEvenIfTheSystemRefused) {
    Actions a;
    a.windows.windows[0].handle = 0x99;  // the window has gone since the list
    a.executor.ActivateApplication(KeyOf("Editor"));
    EXPECT_EQ(a.windows.foreground, 0x11u);
    a.executor.SendWindowList(false);
    EXPECT_EQ(a.Received(), "124:0:" + KeyOf("Editor") + ":" + KeyOf("Mail") + "\n");
}

TEST(ActivateApplication, AnUnlistedKeyIsAPathToOpen) {
    Actions a;
    a.executor.m_pendingForeground = 0x11;
    a.executor.ActivateApplication(KeyOf("C:\\Program Files\\Editor\\editor.exe"));
    EXPECT_EQ(a.windows.calls,
              Calls{"ShellExecuteA(2304,open,C:\\Program Files\\Editor\\editor.exe)"});
    EXPECT_EQ(a.executor.m_pendingForeground, 0u);
    EXPECT_EQ(a.window.timersArmed, 1);
    // Junk is decoded as far as it goes and handed over all the same.
    a.executor.ActivateApplication("garbage");
    EXPECT_EQ(a.windows.calls.back(), "ShellExecuteA(2304,open,)");
    EXPECT_EQ(a.window.timersArmed, 2);
}

TEST(ActivateApplication, AKeyDroppedByALaterListIsTakenAsAPath) {
    Actions a;
    a.windows.windows.erase(a.windows.windows.begin());
    a.executor.SendWindowList(false);
    a.windows.calls.clear();
    a.executor.ActivateApplication(KeyOf("Editor"));
    EXPECT_EQ(a.windows.calls, Calls{"ShellExecuteA(2304,open,Editor)"});
}

TEST(CloseApplication, BringsForwardThenAsksToClose) {
    Actions a;
    a.executor.m_pendingForeground = 0x10;
    a.executor.CloseApplication(KeyOf("Mail"));
    EXPECT_EQ(a.windows.calls, (Calls{"SetForegroundWindow(17)", "PostMessageA(17,WM_CLOSE)"}));
    EXPECT_EQ(a.executor.m_pendingForeground, 0x10u);
    EXPECT_EQ(a.window.timersArmed, 1);
}

TEST(CloseApplication, AnUnknownKeyDoesNothing) {
    Actions a;
    a.executor.CloseApplication(KeyOf("Nothing"));
    a.executor.CloseApplication("C:\\x.exe");
    EXPECT_TRUE(a.windows.calls.empty());
    EXPECT_EQ(a.window.timersArmed, 0);
}

}  // namespace
