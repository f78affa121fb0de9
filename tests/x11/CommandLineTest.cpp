#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/linux/CommandLine.h"
#include "app/linux/SettingsFolder.h"

namespace {

CommandLine Parse(const std::vector<std::string>& arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLine, NothingGivenKeepsTheSettingsFile) {
    const CommandLine command = Parse({});
    EXPECT_EQ(command.error, "");
    EXPECT_EQ(command.port, -1);
    EXPECT_FALSE(command.hasName);
    EXPECT_FALSE(command.setPassword);
    EXPECT_FALSE(command.help);
}

TEST(CommandLine, PortAndNameTakeTheirValueAfterABlankOrAnEqualsSign) {
    CommandLine command = Parse({"--port", "4000", "--name", "Den PC"});
    EXPECT_EQ(command.error, "");
    EXPECT_EQ(command.port, 4000);
    EXPECT_TRUE(command.hasName);
    EXPECT_EQ(command.name, "Den PC");
    command = Parse({"--name=a=b", "--port=65535"});
    EXPECT_EQ(command.error, "");
    EXPECT_EQ(command.port, 65535);
    EXPECT_EQ(command.name, "a=b");
}

TEST(CommandLine, APortOutsideTheRangeOrNotANumberIsRefused) {
    for (const char* bad : {"0", "65536", "-1", "12x", "", "99999999999"}) {
        const CommandLine command = Parse({"--port", bad});
        EXPECT_NE(command.error, "") << bad;
        EXPECT_EQ(command.port, -1) << bad;
    }
    EXPECT_EQ(Parse({"--port", "1"}).port, 1);
}

TEST(CommandLine, AnOptionWithoutItsValueIsRefused) {
    EXPECT_EQ(Parse({"--port"}).error, "--port needs a value");
    EXPECT_EQ(Parse({"--name"}).error, "--name needs a value");
    EXPECT_EQ(Parse({"--name="}).error, "--name needs a name");
    // What follows is the value, even when it looks like an option.
    EXPECT_EQ(Parse({"--port", "--name"}).error,
              "--port takes a number from 1 to 65535, not \"--name\"");
}

TEST(CommandLine, UnknownOptionsAndStrayWordsAreRefused) {
    EXPECT_EQ(Parse({"--verbose"}).error, "unknown option \"--verbose\"");
    EXPECT_EQ(Parse({"4000"}).error, "unknown option \"4000\"");
    EXPECT_EQ(Parse({"--portx=1"}).error, "unknown option \"--portx=1\"");
}

TEST(CommandLine, SetPasswordHelpAndVersionAreFlags) {
    EXPECT_TRUE(Parse({"--set-password"}).setPassword);
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_FALSE(Parse({"--help"}).version);
}

TEST(SettingsFolder, TheWorkingDirectoryWinsThenXdgConfigHomeThenHome) {
    EXPECT_EQ(ChooseSettingsFolder(true, "/x", "/home/u"), ".");
    EXPECT_EQ(ChooseSettingsFolder(false, "/x", "/home/u"), "/x/tavrix-server");
    // An empty or relative XDG_CONFIG_HOME names no folder and is passed over.
    for (const char* ignored : {"", "rel/dir"})
        EXPECT_EQ(ChooseSettingsFolder(false, ignored, "/home/u"), "/home/u/.config/tavrix-server");
    EXPECT_EQ(ChooseSettingsFolder(false, nullptr, "/home/u"), "/home/u/.config/tavrix-server");
    EXPECT_EQ(ChooseSettingsFolder(false, nullptr, nullptr), "");
}

TEST(PasswordLine, TheLineEndIsNotPartOfThePassword) {
    std::string error;
    EXPECT_EQ(PasswordFromLine("s3cret\r", &error), "s3cret");
    EXPECT_EQ(error, "");
    EXPECT_EQ(PasswordFromLine("\xE9t\xE9:2", &error), "\xE9t\xE9:2");
    EXPECT_EQ(error, "");
}

TEST(PasswordLine, APasswordWithBlanksIsNotStored) {
    // The device's password field ends at the first blank, so it could never match.
    for (const char* blank : {"two words", " lead", "trail ", "tab\there"}) {
        std::string error;
        EXPECT_EQ(PasswordFromLine(blank, &error), "") << blank;
        EXPECT_NE(error, "") << blank;
    }
}

TEST(PasswordLine, AnEmptyOrOverlongPasswordIsNotStored) {
    std::string error;
    EXPECT_EQ(PasswordFromLine("\r", &error), "");
    EXPECT_NE(error, "");
    error.clear();
    // The settings file reads back 98 characters of it.
    EXPECT_EQ(PasswordFromLine(std::string(98, 'p'), &error), std::string(98, 'p'));
    EXPECT_EQ(error, "");
    EXPECT_EQ(PasswordFromLine(std::string(99, 'p'), &error), "");
    EXPECT_NE(error, "");
}

}  // namespace
