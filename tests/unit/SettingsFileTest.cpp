#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "fakes/ServerRig.h"
#include "fakes/TempFile.h"
#include "settings/ServerSettings.h"
#include "settings/SettingsFile.h"

namespace {

const char kDefaults[] = "1#1#0#1#0#0#0#12589#0";
const char kOthers[] = "0#0#1#0#1#7#1#4000#1";

ServerSettings Parse(const std::string& text, ServerSettings s = {}) {
    std::istringstream in(text);
    ParseSettings(in, s);
    return s;
}

// The nine numbers as the file would hold them.
std::string Numbers(const ServerSettings& s) {
    const std::string all = FormatSettings(s);
    return all.substr(all.rfind('\n') + 1);
}

TEST(SettingsFile, SavedFileHasThreeLinesAndNoFinalBreak) {
    TempFile file;
    FakeFileSystem files;
    ServerSettings s;
    s.serverName = "user";
    EXPECT_FALSE(LoadSettingsFile(file.path, s));
    ASSERT_TRUE(SaveSettingsFile(file.path, s, files));
    EXPECT_EQ(file.Content(), "user\r\n\r\n1#1#0#1#0#0#0#12589#0");

    s.serverName = "Office PC";
    s.password = "se cret";
    s.serverOn = true;
    s.port = -5;
    s.noPasswordAcknowledged = true;
    s.reservedOption = 42;
    ASSERT_TRUE(SaveSettingsFile(file.path, s, files));
    const std::string first = file.Content();
    EXPECT_EQ(first, "Office PC\r\nse cret\r\n1#1#0#1#0#42#1#-5#1");
    ASSERT_TRUE(SaveSettingsFile(file.path, s, files));
    EXPECT_EQ(file.Content(), first);

    ServerSettings loaded;
    ASSERT_TRUE(LoadSettingsFile(file.path, loaded));
    EXPECT_EQ(FormatSettings(loaded), first);
}

TEST(SettingsParse, LineBreaksAndSeparators) {
    const ServerSettings crlf = Parse(std::string("Box\r\npw\r\n") + kOthers);
    EXPECT_EQ(FormatSettings(crlf), std::string("Box\r\npw\r\n") + kOthers);
    EXPECT_EQ(FormatSettings(Parse(std::string("Box\npw\n") + kOthers + "\n")),
              FormatSettings(crlf));
    EXPECT_EQ(Numbers(Parse("\n\n0,0,1,0,1,7,1,4000,1")), kOthers);
    EXPECT_EQ(Numbers(Parse("\n\n 0 #\t0#1#0#1#7#1#4000#1")), kOthers);
    // A blank is no separator: the digit after each blank is taken as one.
    EXPECT_EQ(Numbers(Parse("\n\n1 1 0 1 0 0 0 12589 0")), "1#0#0#0#2589#0#0#12589#0");
}

TEST(SettingsParse, StopsAtTheFirstUnreadableNumber) {
    EXPECT_EQ(Numbers(Parse("\n\n1#0#1")), "1#0#1#1#0#0#0#12589#0");
    EXPECT_EQ(Numbers(Parse("\n\n0#0#1#0#1#7#2#4000#1")), "0#0#1#0#1#7#0#12589#0");
    EXPECT_EQ(Numbers(Parse("\n\n0#0#1#0#1#7#1#4000#-1")), "0#0#1#0#1#7#1#4000#0");
    EXPECT_EQ(Numbers(Parse("\n\n0#x#1")), "0#1#0#1#0#0#0#12589#0");
    EXPECT_EQ(Numbers(Parse("\n\n0#99999999999#1")), "0#1#0#1#0#0#0#12589#0");
    // Fields not read keep the values they had, not the defaults.
    ServerSettings before;
    before.port = 777;
    before.serverOn = true;
    EXPECT_EQ(Numbers(Parse("\n\n1#0", before)), "1#0#0#1#0#0#1#777#0");
}

TEST(SettingsParse, EmptyNameKeepsTheDefaultEmptyPasswordIsKept) {
    ServerSettings before;
    before.serverName = "alice";
    before.password = "old";
    const ServerSettings s = Parse("\r\n\r\n1#1#0#1#0#0#0#12589#0", before);
    EXPECT_EQ(s.serverName, "alice");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(Parse("", before).serverName, "alice");
}

TEST(SettingsParse, OverlongLinesAreCutAndEmptyTheRest) {
    const std::string n98(98, 'n');
    ServerSettings s = Parse(n98 + "\r\n" + std::string(98, 'p') + "\r\n" + kOthers);
    EXPECT_EQ(FormatSettings(s), n98 + "\r\n" + std::string(98, 'p') + "\r\n" + kOthers);

    s = Parse(n98 + "N\r\npw\r\n" + kOthers);
    EXPECT_EQ(FormatSettings(s), n98 + "\r\n\r\n" + kDefaults);
    s = Parse("n\r\n" + std::string(99, 'p') + "\n" + kOthers);
    EXPECT_EQ(FormatSettings(s), "n\r\n" + std::string(98, 'p') + "\r\n" + kDefaults);

    // Line 3 holds 198 characters: a port padded with zeros up to there still ends whole,
    // one more character cuts the final field off.
    const std::string head = "0#0#1#0#1#7#1#";
    const std::string line3 = head + std::string(198 - head.size() - 6, '0') + "4000#1";
    ASSERT_EQ(line3.size(), 198u);
    EXPECT_EQ(Numbers(Parse("\n\n" + line3)), kOthers);
    EXPECT_EQ(Numbers(Parse("\n\n" + head + "0" + line3.substr(head.size()))),
              "0#0#1#0#1#7#1#4000#0");
}

TEST(SettingsApply, CopiesIntoTheObjectsThatActOnThem) {
    ServerRig rig;
    ServerSettings s = Parse(std::string("Box\npw\n") + kOthers);
    s.alertSound = 2;
    ApplySettings(s, rig.executor, rig.server, rig.dispatcher);
    EXPECT_EQ(rig.executor.calls, std::vector<std::string>{"SetBounceOffEdges(false)"});
    EXPECT_FALSE(rig.server.Config().passwordEnabled);
    EXPECT_TRUE(rig.dispatcher.AlertSound());
    EXPECT_EQ(rig.server.Config().password, "pw");
    EXPECT_EQ(rig.server.Config().serverName, "Box");
    EXPECT_EQ(rig.server.Config().port, 4000);
    EXPECT_FALSE(rig.server.IsListening()) << "applying does not start listening";
    EXPECT_TRUE(rig.sockets.state.createdPorts.empty());

    s.bounceOffEdges = 5;
    s.passwordEnabled = -1;
    ApplySettings(s, rig.executor, rig.server, rig.dispatcher);
    EXPECT_EQ(rig.executor.calls.back(), "SetBounceOffEdges(true)");
    EXPECT_TRUE(rig.server.Config().passwordEnabled);
}

}  // namespace

namespace {

// A write that fails leaves the old file whole, and no half-written file is left beside it.
TEST(SettingsFile, FailedSaveLeavesTheOldFileWhole) {
    TempFile file;
    FakeFileSystem files;
    ServerSettings s;
    s.serverName = "first";
    s.password = "kept";
    ASSERT_TRUE(SaveSettingsFile(file.path, s, files));
    const std::string before = file.Content();
    EXPECT_EQ(files.replacements, std::vector<std::string>{file.path + ".new -> " + file.path});

    files.refuse = true;
    s.serverName = "second";
    EXPECT_FALSE(SaveSettingsFile(file.path, s, files));
    EXPECT_EQ(file.Content(), before);
    EXPECT_EQ(std::fopen((file.path + ".new").c_str(), "rb"), nullptr);

    // Nowhere to write the new file: the old one stays too.
    files.refuse = false;
    EXPECT_FALSE(SaveSettingsFile("/nonexistent-folder/TavrixConfig.txt", s, files));
    EXPECT_EQ(file.Content(), before);
}

}  // namespace
