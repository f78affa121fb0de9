#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/WindowRig.h"

namespace {

using Keys = std::vector<std::string>;

Keys KeysOf(const CCommandExecutor& executor) {
    Keys keys;
    for (const auto& entry : executor.m_windowHandle) keys.push_back(entry.first);
    return keys;
}

TEST(WindowRegistry, KeysAreEncodedTitlesInByteOrder) {
    WindowRig rig;
    rig.windows.Add(0x10, "A", 7);
    rig.windows.Add(0x20, "d", 8);
    rig.executor.RefreshWindowRegistry();
    // "|100" sorts before "|65": the order is that of the encoded keys, not of the titles.
    EXPECT_EQ(KeysOf(rig.executor), (Keys{KeyOf("d"), KeyOf("A")}));
    EXPECT_EQ(rig.executor.m_windowProcess.at(KeyOf("A")), 7u);
    EXPECT_EQ(rig.executor.m_windowHandle.at(KeyOf("d")), 0x20u);
}

TEST(WindowRegistry, SkipsOwnedInvisibleUntitledAndTheProgramManager) {
    WindowRig rig;
    rig.windows.Add(0x10, "Owned").parent = 0x99;
    rig.windows.Add(0x11, "Hidden").visible = false;
    rig.windows.Add(0x12, "");
    rig.windows.Add(0x13, "Program Manager");
    rig.windows.Add(0x14, "program manager");
    rig.executor.RefreshWindowRegistry();
    EXPECT_EQ(KeysOf(rig.executor), Keys{KeyOf("program manager")});
}

TEST(WindowRegistry, LaterWindowsOfATitleAreNumberedOrLeftOut) {
    WindowRig rig;
    rig.windows.Add(0x10, "Report");
    rig.windows.Add(0x11, "Report");
    rig.windows.Add(0x12, "Report").hasChild = false;
    rig.windows.Add(0x13, "Report");
    rig.executor.RefreshWindowRegistry();
    const auto& handles = rig.executor.m_windowHandle;
    ASSERT_EQ(handles.size(), 3u);
    EXPECT_EQ(handles.at(KeyOf("Report")), 0x10u);
    EXPECT_EQ(handles.at(KeyOf("Report (2)")), 0x11u);
    EXPECT_EQ(handles.at(KeyOf("Report (3)")), 0x13u);
}

TEST(WindowRegistry, NumberingStepsOverATitleThatAlreadyCarriesANumber) {
    WindowRig rig;
    rig.windows.Add(0x10, "X (2)");
    rig.windows.Add(0x11, "X");
    rig.windows.Add(0x12, "X");
    rig.executor.RefreshWindowRegistry();
    const auto& handles = rig.executor.m_windowHandle;
    ASSERT_EQ(handles.size(), 3u);
    EXPECT_EQ(handles.at(KeyOf("X (2)")), 0x10u);
    EXPECT_EQ(handles.at(KeyOf("X")), 0x11u);
    EXPECT_EQ(handles.at(KeyOf("X (3)")), 0x12u);
}

TEST(WindowRegistry, TitlesTooLongToEncodeEndTheDuplicateRule) {
    WindowRig rig;
    const std::string huge(500, 'a');
    const std::string edge(397, 'b');  // fits alone, not with " (2)"
    rig.windows.Add(0x10, huge);
    rig.windows.Add(0x11, huge);  // its every candidate is the empty text's key
    rig.windows.Add(0x12, edge);
    rig.windows.Add(0x13, edge);
    rig.windows.Add(0x14, "Next");
    rig.executor.RefreshWindowRegistry();
    const auto& handles = rig.executor.m_windowHandle;
    EXPECT_EQ(handles.size(), 3u);
    EXPECT_EQ(handles.at("-1|-2"), 0x10u);
    EXPECT_EQ(handles.at(KeyOf(edge)), 0x12u);
    EXPECT_EQ(handles.at(KeyOf("Next")), 0x14u);
}

TEST(WindowRegistry, ChangedMeansADifferentNumberOfWindows) {
    WindowRig rig;
    EXPECT_FALSE(rig.executor.RefreshWindowRegistry());  // empty before and after
    rig.windows.Add(0x10, "One");
    rig.windows.Add(0x11, "Two");
    EXPECT_TRUE(rig.executor.RefreshWindowRegistry());
    rig.windows.windows[1] = FakeWindowSystem::Window{0x12, "Three", 1};
    EXPECT_FALSE(rig.executor.RefreshWindowRegistry());
    EXPECT_EQ(KeysOf(rig.executor), (Keys{KeyOf("One"), KeyOf("Three")}));
    rig.windows.windows.clear();
    EXPECT_TRUE(rig.executor.RefreshWindowRegistry());
    EXPECT_TRUE(rig.executor.m_windowProcess.empty());
    EXPECT_TRUE(rig.executor.m_processImage.empty());
}

TEST(WindowRegistry, ImagePathsAreReadOncePerProcessAndRetriedWhenUnreadable) {
    WindowRig rig;
    rig.windows.images[7] = "C:\\windows\\notepad.exe";
    rig.windows.Add(0x10, "a.txt", 7);
    rig.windows.Add(0x11, "b.txt", 7);
    rig.windows.Add(0x12, "Locked 1", 9);
    rig.windows.Add(0x13, "Locked 2", 9);
    rig.windows.Add(0x14, "Locked 3", 9);
    rig.executor.RefreshWindowRegistry();
    EXPECT_EQ(rig.windows.opens[7], 1);
    EXPECT_EQ(rig.windows.opens[9], 3);
    EXPECT_EQ(rig.executor.m_processImage,
              (std::map<uint32_t, std::string>{{7, "C:\\windows\\notepad.exe"}}));
    // The windows of the process that can't be opened are listed all the same.
    EXPECT_EQ(rig.executor.m_windowProcess.size(), 5u);
}

TEST(WindowRegistry, WithoutAWindowSystemTheRegistryStaysEmpty) {
    ServerRig server;
    CCommandExecutor executor{&server.server};
    EXPECT_FALSE(executor.RefreshWindowRegistry());
    EXPECT_FALSE(executor.SendWindowList(false));
    executor.SendWindowIcon("-1|-2");
    executor.ActivateApplication("-1|-2");
    executor.CloseApplication("-1|-2");
    EXPECT_TRUE(executor.m_windowHandle.empty());
}

}  // namespace
