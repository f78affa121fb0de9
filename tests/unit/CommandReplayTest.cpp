#include <gtest/gtest.h>

#include <fstream>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/ServerRig.h"
#include "fakes/TempFile.h"
#include "net/CommandReplay.h"

namespace {

using Lines = std::list<std::string>;

Lines Read(const std::string& text) {
    std::istringstream in(text);
    return ReadReplayLines(in);
}

TEST(ReplayLines, EndOfFileGivesTheLastLine) {
    EXPECT_EQ(Read("2:1:1\n656\n5:97\n"), (Lines{"2:1:1", "656", "5:97", ""}));
    EXPECT_EQ(Read("2:1:1\n656"), (Lines{"2:1:1", "656"}));
    EXPECT_EQ(Read(""), (Lines{""}));
    EXPECT_EQ(Read("\n\n"), (Lines{"", "", ""}));
}

TEST(ReplayLines, CarriageReturnBeforeLineFeedEndsTheLine) {
    EXPECT_EQ(Read("2:1:1\r\n656\r\n"), (Lines{"2:1:1", "656", ""}));
    EXPECT_EQ(Read("a\rb\n\r"), (Lines{"a\rb", "\r"}));
}

TEST(ReplayLines, LinesAreCutAfter98Characters) {
    const std::string exact(98, 'a');
    EXPECT_EQ(Read(exact + "\nnext"), (Lines{exact, "next"}));
    EXPECT_EQ(Read(exact + "b\nnext"), (Lines{exact, "next"}));
    EXPECT_EQ(Read(std::string(97, 'c') + "\r\n"), (Lines{std::string(97, 'c'), ""}));
    EXPECT_EQ(Read(exact + "\r\n"), (Lines{exact, ""}));
    // A huge line without any line feed still ends the reading, holding only 98 characters.
    EXPECT_EQ(Read(std::string(1 << 20, 'z')), (Lines{std::string(98, 'z')}));
}

using Calls = std::vector<std::string>;

TEST(PlayCommandsFromFile, MissingFileLeavesTheQueueAlone) {
    ServerRig rig;
    rig.SetPasswordEnabled(false);
    auto device = rig.StartAndConnect();
    // A line waits in the queue while the server is off.
    rig.server.SetServerOn(false);
    ServerRig::Send(*device, "2:1:1\n");
    EXPECT_FALSE(PlayCommandsFromFile(rig.server, "/nonexistent/tavrixCmds.txt"));
    EXPECT_TRUE(rig.executor.calls.empty());
    EXPECT_TRUE(rig.clock.sleeps.empty());
    // It is still there, and alone.
    rig.server.SetServerOn(true);
    rig.server.ReplayLines({});
    EXPECT_EQ(rig.executor.calls, Calls{"MoveCursorBy(1,1)"});
    EXPECT_EQ(rig.clock.sleeps, std::vector<uint32_t>{23});
}

TEST(PlayCommandsFromFile, LinesAreDispatchedPacedWithTheGateWorkedOutPerLine) {
    TempFile file;
    std::ofstream(file.path, std::ios::binary) << "2:1:1\n3000:pw\n2:4:5\n";
    ServerRig rig;
    rig.Start();
    EXPECT_TRUE(PlayCommandsFromFile(rig.server, file.path));
    // The first move was restricted; the password lifts the gate for the one after it.
    EXPECT_EQ(rig.executor.calls, Calls{"MoveCursorBy(4,5)"});
    EXPECT_TRUE(rig.server.IsAuthenticated());
    EXPECT_EQ(rig.clock.sleeps, (std::vector<uint32_t>{23, 23, 23, 23}));
    // Nothing was left queued.
    rig.server.ReplayLines({});
    EXPECT_EQ(rig.executor.calls.size(), 1u);
    EXPECT_EQ(rig.clock.sleeps.size(), 4u);
}

TEST(PlayCommandsFromFile, ReplayedLinesSkipTheFraming) {
    TempFile file;
    std::ofstream(file.path, std::ios::binary) << "700:5\n66";
    ServerRig rig;
    rig.SetPasswordEnabled(false);
    rig.Start();
    EXPECT_TRUE(PlayCommandsFromFile(rig.server, file.path));
    EXPECT_FALSE(rig.server.Framer().InPayload());
    EXPECT_EQ(rig.clock.sleeps.size(), 2u);
}

TEST(PlayCommandsFromFile, ServerOffKeepsTheLinesQueued) {
    TempFile file;
    std::ofstream(file.path, std::ios::binary) << "2:1:1";
    ServerRig rig;
    rig.SetPasswordEnabled(false);
    rig.Start();
    rig.server.SetServerOn(false);
    EXPECT_TRUE(PlayCommandsFromFile(rig.server, file.path));
    EXPECT_TRUE(rig.executor.calls.empty());
    EXPECT_TRUE(rig.clock.sleeps.empty());
    rig.server.SetServerOn(true);
    rig.server.ReplayLines({});
    EXPECT_EQ(rig.executor.calls, Calls{"MoveCursorBy(1,1)"});
    EXPECT_EQ(rig.clock.sleeps, std::vector<uint32_t>{23});
}

}  // namespace
