#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeSound.h"
#include "fakes/RecordingExecutor.h"
#include "fakes/RecordingSessionGate.h"
#include "protocol/CommandDispatcher.h"

namespace {

using Calls = std::vector<std::string>;

struct Dispatch {
    // The operations that one line calls.
    Calls Run(const char* line, bool restricted = false) {
        executor.calls.clear();
        dispatcher.DispatchLine(line, restricted);
        return executor.calls;
    }

    RecordingExecutor executor;
    RecordingSessionGate gate;
    FakeSound sound;
    CCommandDispatcher dispatcher{executor, gate, sound};
};

// Every code with the operation it calls, as it reaches the part behind the executor.
const std::vector<std::pair<const char*, const char*>> kEveryCode = {
    {"1:1.5:-2\n", "ScrollWheel(1.5,-2)"},
    {"2:-3.5:4\n", "MoveCursorBy(-3.5,4)"},
    {"3:2\n", "ButtonDown(2)"},
    {"4:1\n", "ButtonUp(1)"},
    {"5:233\n", "TypeCharacter(233)"},
    {"6:122:0\n", "PressKey(122,false,0)"},
    {"7:97:8\n", "PressKey(97,true,8)"},
    {"19\n", "GrabWindowUnderCursor()"},
    {"20:5.25:-6\n", "DragGrabbedWindowBy(5.25,-6)"},
    {"33:1:2\n", "ClickButton(1,2)"},
    {"45\n", "StopGlide()"},
    {"127:-1|-2|72|0\n", "ActivateApplication(-1|-2|72|0)"},
    {"129:-1|-2|97|0\n", "CloseApplication(-1|-2|97|0)"},
    {"200:1:2.5:3:-4:5e1\n", "IgnoreCode200(1,2.5,3,-4,50)"},
    {"201\n", "ReleaseGrabbedWindow()"},
    {"301:1:-2:0.5\n", "StartScrollGlide(1,-2,0.5)"},
    {"302:3:4:0.25\n", "StartCursorGlide(3,4,0.25)"},
    {"438:-1|-2|65|0\n", "SendWindowIcon(-1|-2|65|0)"},
    {"656\n", "SendWindowList(false)"},
    {"701:1\n", "SendFileToDevice(true)"},
    {"702\n", "CancelFileDialog()"},
    {"7777:10:-20:5\n", "ShowTestWindow(10,-20,5)"},
};

TEST(CommandDispatcher, EveryCodeReachesItsOperation) {
    Dispatch d;
    for (const auto& [line, call] : kEveryCode) EXPECT_EQ(d.Run(line), Calls{call}) << line;
}

TEST(CommandDispatcher, FieldsAreReadAsFormattedInput) {
    Dispatch d;
    // Any non-blank delimiter; blanks before values skipped; no line feed needed.
    EXPECT_EQ(d.Run("2;-3.5;4"), Calls{"MoveCursorBy(-3.5,4)"});
    EXPECT_EQ(d.Run(" \t2 : -3.5 :\t4 \r\n"), Calls{"MoveCursorBy(-3.5,4)"});
    EXPECT_EQ(d.Run("+3:1"), Calls{"ButtonDown(1)"});
    // A blank is never a delimiter: the first digit after it is taken as one.
    EXPECT_EQ(d.Run("2 10 20\n"), Calls{"MoveCursorBy(0,0)"});
    // Extra fields are ignored.
    EXPECT_EQ(d.Run("656:1:2\n"), Calls{"SendWindowList(false)"});
    EXPECT_EQ(d.Run("3:1:9\n"), Calls{"ButtonDown(1)"});
    // From the first unreadable field on, everything reads as 0, and the call is still made.
    EXPECT_EQ(d.Run("33:x:2\n"), Calls{"ClickButton(0,0)"});
    EXPECT_EQ(d.Run("33:4\n"), Calls{"ClickButton(4,0)"});
    EXPECT_EQ(d.Run("3:99999999999\n"), Calls{"ButtonDown(0)"});
    EXPECT_EQ(d.Run("127\n"), Calls{"ActivateApplication()"});
    EXPECT_EQ(d.Run("438:a b\n"), Calls{"SendWindowIcon(a)"});
    // Integers stop at the first other character.
    EXPECT_EQ(d.Run("3:1.5\n"), Calls{"ButtonDown(1)"});
}

TEST(CommandDispatcher, FileKindIsImageOnlyWhenPositive) {
    Dispatch d;
    for (const char* line : {"701\n", "701:0\n", "701:-1\n", "701:x\n"})
        EXPECT_EQ(d.Run(line), Calls{"SendFileToDevice(false)"}) << line;
    for (const char* line : {"701:1\n", "701:5\n"})
        EXPECT_EQ(d.Run(line), Calls{"SendFileToDevice(true)"}) << line;
}

TEST(CommandDispatcher, UnknownCodesAndLinesWithoutCodeAreIgnored) {
    Dispatch d;
    for (const char* line :
         {"12:1\n", "0\n", "-2:1:1\n", "9999:1\n", "abc\n", ":2:1:1\n", "\n", "", "x55:a\n"})
        EXPECT_TRUE(d.Run(line).empty()) << line;
    EXPECT_TRUE(d.gate.deviceNames.empty());
    EXPECT_TRUE(d.gate.passwords.empty());
}

TEST(CommandDispatcher, HelloSetsTheDeviceName) {
    Dispatch d;
    d.Run("55:Handheld:3.1\n");
    d.Run("55:Handheld\n");
    d.Run("55\n");
    d.Run("55");
    d.Run("55::\n");
    EXPECT_EQ(d.gate.deviceNames,
              (std::vector<std::string>{"Handheld", "Handheld\n", "55\n", "55", ""}));
    EXPECT_TRUE(d.sound.played.empty());
    EXPECT_TRUE(d.executor.calls.empty());

    d.dispatcher.SetAlertSound(true);
    d.Run("55:Handheld\n", true);
    EXPECT_EQ(d.sound.played, std::vector<std::string>{"Windows XP Hardware Insert.wav"});
    EXPECT_EQ(d.gate.deviceNames.size(), 6u);
    EXPECT_TRUE(d.gate.passwords.empty());

    // Once per connection: a device repeating its hello can't keep the speaker busy.
    d.Run("55:Handheld\n", true);
    EXPECT_EQ(d.sound.played.size(), 1u);
    d.dispatcher.EndDeviceSession();
    d.Run("55:Next\n", true);
    EXPECT_EQ(d.sound.played.size(), 2u);
}

TEST(CommandDispatcher, RestrictedLinesReachOnlyHelloAndPassword) {
    Dispatch d;
    for (const char* line : {"2:1:1\n", "656\n", "7777:1:1:1\n", "701:1\n", "702\n"})
        EXPECT_TRUE(d.Run(line, true).empty()) << line;
    d.Run("55:Dev:1\n", true);
    EXPECT_EQ(d.gate.deviceNames, std::vector<std::string>{"Dev"});

    // The password is the word after the code: blanks before it skipped, ended by a blank.
    d.Run("3000:wrong\n", true);
    d.Run("3000: pw\n", true);
    d.Run("3000:p w\n", true);
    d.Run("3000\n", true);
    EXPECT_EQ(d.gate.passwords, (std::vector<std::string>{"wrong", "pw", "p", ""}));
    // Unrestricted it goes the same way, and never to the executor.
    EXPECT_TRUE(d.Run("3000:pw\n").empty());
    EXPECT_EQ(d.gate.passwords.size(), 5u);
}

TEST(CommandDispatcher, PayloadAndDepartureReachTheExecutor) {
    Dispatch d;
    d.dispatcher.DispatchPayload("abc", 3);
    EXPECT_EQ(d.executor.calls, Calls{"ReceiveRemoteScreen(3)"});
    EXPECT_EQ(d.executor.payloads, Calls{"abc"});
    d.dispatcher.EndDeviceSession();
    EXPECT_EQ(d.executor.Ends(), (Calls{"EndDeviceInput", "EndDeviceSession"}));
}

}  // namespace
