#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "protocol/CommandExecutor.h"

namespace {

using Calls = std::vector<std::string>;

std::string Down(int vk) {
    return "keybd_event(" + std::to_string(vk) + ",69,0)";
}
std::string Up(int vk) {
    return "keybd_event(" + std::to_string(vk) + ",69,2)";
}

struct Keyboard {
    // Key strokes and posted messages, in order.
    Calls Injected() const {
        Calls out;
        for (const std::string& call : desktop.Calls()) {
            if (call.rfind("keybd_event", 0) == 0 || call.rfind("PostMessage", 0) == 0)
                out.push_back(call);
        }
        return out;
    }

    FakeDesktop desktop;
    CCommandExecutor executor{nullptr, &desktop, nullptr};
};

TEST(TypeCharacter, LowerAndUpperCase) {
    Keyboard k;
    k.executor.TypeCharacter('a');
    k.executor.TypeCharacter('A');
    k.executor.TypeCharacter('!');
    EXPECT_EQ(k.Injected(), (Calls{Down(65), Up(65),                       // a
                                   Down(16), Down(65), Up(65), Up(16),     // A
                                   Down(16), Down(49), Up(49), Up(16)}));  // !
}

TEST(TypeCharacter, OnlyTheLowByteCounts) {
    Keyboard k;
    k.executor.TypeCharacter(0x100 + 'b');
    EXPECT_EQ(k.desktop.CallsOf("VkKeyScanA"), Calls{"VkKeyScanA(98)"});
    EXPECT_EQ(k.Injected(), (Calls{Down(66), Up(66)}));
}

TEST(TypeCharacter, AltGrCharacterIsTypedWithCtrlAndAlt) {
    Keyboard k;
    k.desktop.SetLayout('@', 0x0651);  // Ctrl+Alt+Q, as on a German layout
    k.executor.TypeCharacter('@');
    EXPECT_EQ(k.Injected(), (Calls{Down(164), Down(17), Down(81), Up(81), Up(17), Up(164)}));
}

TEST(TypeCharacter, CharacterTheLayoutCannotProduceIsIgnored) {
    Keyboard k;
    k.executor.TypeCharacter(0xE9);
    k.executor.PressKey(0xE9, true, 4);
    EXPECT_EQ(k.desktop.CallsOf("VkKeyScanA").size(), 2u);
    EXPECT_TRUE(k.Injected().empty());
}

TEST(PressKey, CharacterWithModifiers) {
    Keyboard k;
    k.executor.PressKey('a', true, 4);  // Ctrl+a
    k.executor.PressKey('A', true, 4);  // the layout's Shift is added
    EXPECT_EQ(k.Injected(), (Calls{Down(17), Down(65), Up(65), Up(17),  //
                                   Down(17), Down(16), Down(65), Up(65), Up(16), Up(17)}));
}

TEST(PressKey, ModifiersPressInFixedOrderAndReleaseInReverse) {
    Keyboard k;
    k.executor.PressKey(122, false, 15 | 0x70);  // F1 with every modifier; other bits ignored
    EXPECT_EQ(k.Injected(), (Calls{Down(91), Down(164), Down(17), Down(16), Down(112), Up(112),
                                   Up(16), Up(17), Up(164), Up(91)}));
}

TEST(PressKey, AltTabAlwaysGetsShift) {
    Keyboard k;
    k.executor.PressKey(9, false, 2);
    EXPECT_EQ(k.Injected(), (Calls{Down(164), Down(16), Down(9), Up(9), Up(16), Up(164)}));
}

TEST(PressKey, WindowsKeyAloneAndWithShift) {
    Keyboard k;
    k.executor.PressKey(' ', true, 1);
    EXPECT_EQ(k.Injected(), (Calls{Down(91), Up(91)}));
    k.desktop.ClearCalls();
    k.executor.PressKey(' ', true, 9);
    EXPECT_EQ(k.Injected(), (Calls{Down(91), Down(16), Down(32), Up(32), Up(16), Up(91)}));
}

TEST(PressKey, CtrlAltBackspaceBroadcastsTheHotKeyAndPressesNothing) {
    Keyboard k;
    k.executor.PressKey(8, true, 6);
    k.executor.PressKey(8, true, 15);
    const std::string broadcast = "PostMessage(0xffff,786,0x0,0x2e0003)";
    EXPECT_EQ(k.Injected(), (Calls{broadcast, broadcast}));
    k.desktop.ClearCalls();
    k.executor.PressKey(8, true, 4);  // Ctrl alone is an ordinary stroke
    EXPECT_EQ(k.Injected(), (Calls{Down(17), Down(8), Up(8), Up(17)}));
}

TEST(PressKey, SpecialKeysThroughTheMap) {
    Keyboard k;
    EXPECT_EQ(k.executor.m_keyMap.size(), 30u);
    const std::pair<int, int> samples[] = {{122, 112}, {106, 127}, {123, 37},  {126, 38},
                                           {53, 27},   {76, 13},   {998, 175}, {999, 173}};
    for (const auto& [code, vk] : samples) {
        k.desktop.ClearCalls();
        k.executor.PressKey(code, false, 0);
        EXPECT_EQ(k.Injected(), (Calls{Down(vk), Up(vk)})) << "device code " << code;
    }
}

TEST(PressKey, DeviceCodeNotInTheMapIsIgnored) {
    Keyboard k;
    for (int code : {0, -1, 8, 65, 1000, 0x7fffffff}) k.executor.PressKey(code, false, 15);
    EXPECT_TRUE(k.desktop.Calls().empty());
}

}  // namespace
