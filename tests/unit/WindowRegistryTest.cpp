#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/WindowRig.h"

namespace {

using Keys = std::vector<std::string>;

Keys KeysOf(const CWindowRegistry& registry) {
    Keys keys;
    for (const auto& entry : registry.Windows()) keys.push_back(entry.first);
    return keys;
}

TEST(WindowRegistry, KeysAreEncodedTitlesInByteOrder) {
    WindowRig rig;
    rig.windows.images[7] = "a.exe";
    rig.windows.images[8] = "d.exe";
    rig.windows.Add(0x10, "A", 7);
    rig.windows.Add(0x20, "d", 8);
    rig.registry.Refresh();
    // "|100" sorts before "|65": the order is that of the encoded keys, not of the titles.
    EXPECT_EQ(KeysOf(rig.registry), (Keys{KeyOf("d"), KeyOf("A")}));
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("A")), "a.exe");  // the key names its process
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("d")), "d.exe");
    EXPECT_EQ(rig.registry.Windows().at(KeyOf("d")), 0x20u);
}

TEST(WindowRegistry, SkipsOwnedInvisibleUntitledAndTheProgramManager) {
    WindowRig rig;
    rig.windows.Add(0x10, "Owned").parent = 0x99;
    rig.windows.Add(0x11, "Hidden").visible = false;
    rig.windows.Add(0x12, "");
    rig.windows.Add(0x13, "Program Manager");
    rig.windows.Add(0x14, "program manager");
    rig.registry.Refresh();
    EXPECT_EQ(KeysOf(rig.registry), Keys{KeyOf("program manager")});
}

TEST(WindowRegistry, LaterWindowsOfATitleAreNumberedOrLeftOut) {
    WindowRig rig;
    rig.windows.Add(0x10, "Report");
    rig.windows.Add(0x11, "Report");
    rig.windows.Add(0x12, "Report").hasChild = false;
    rig.windows.Add(0x13, "Report");
    rig.registry.Refresh();
    const auto& handles = rig.registry.Windows();
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
    rig.registry.Refresh();
    const auto& handles = rig.registry.Windows();
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
    rig.registry.Refresh();
    const auto& handles = rig.registry.Windows();
    EXPECT_EQ(handles.size(), 3u);
    EXPECT_EQ(handles.at("-1|-2"), 0x10u);
    EXPECT_EQ(handles.at(KeyOf(edge)), 0x12u);
    EXPECT_EQ(handles.at(KeyOf("Next")), 0x14u);
}

TEST(WindowRegistry, ChangedMeansADifferentNumberOfWindows) {
    WindowRig rig;
    rig.windows.images[1] = "C:\\one.exe";
    EXPECT_FALSE(rig.registry.Refresh());  // empty before and after
    rig.windows.Add(0x10, "One");
    rig.windows.Add(0x11, "Two");
    EXPECT_TRUE(rig.registry.Refresh());
    rig.windows.windows[1] = FakeWindowSystem::Window{0x12, "Three", 1};
    EXPECT_FALSE(rig.registry.Refresh());
    EXPECT_EQ(KeysOf(rig.registry), (Keys{KeyOf("One"), KeyOf("Three")}));
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("One")), "C:\\one.exe");
    rig.windows.windows.clear();
    EXPECT_TRUE(rig.registry.Refresh());
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("One")), "");
}

TEST(WindowRegistry, ImagePathsAreReadOncePerProcessAndRetriedWhenUnreadable) {
    WindowRig rig;
    rig.windows.images[7] = "C:\\windows\\notepad.exe";
    rig.windows.Add(0x10, "a.txt", 7);
    rig.windows.Add(0x11, "b.txt", 7);
    rig.windows.Add(0x12, "Locked 1", 9);
    rig.windows.Add(0x13, "Locked 2", 9);
    rig.windows.Add(0x14, "Locked 3", 9);
    rig.registry.Refresh();
    EXPECT_EQ(rig.windows.opens[7], 1);
    EXPECT_EQ(rig.windows.opens[9], 3);
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("a.txt")), "C:\\windows\\notepad.exe");
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("b.txt")), "C:\\windows\\notepad.exe");
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("Locked 2")), "");
    // The windows of the process that can't be opened are listed all the same.
    EXPECT_EQ(rig.registry.Windows().size(), 5u);
}

TEST(WindowRegistry, EachRefreshReadsTheProgramsAfresh) {
    WindowRig rig;
    rig.windows.images[7] = "C:\\old.exe";
    rig.windows.Add(0x10, "Doc", 7);
    rig.registry.Refresh();
    // The process id now belongs to another program.
    rig.windows.images[7] = "C:\\new.exe";
    rig.registry.Refresh();
    EXPECT_EQ(rig.windows.opens[7], 2);
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("Doc")), "C:\\new.exe");
    EXPECT_EQ(rig.registry.ImagePathOf(KeyOf("Gone")), "");
}

}  // namespace
