#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeKeyboard.h"
#include "input/KeyMap.h"
#include "input/KeyboardInput.h"

namespace {

using Calls = std::vector<std::string>;

// A key by its name, or a layout key as "L" and its number.
std::string Down(const std::string& key) {
    return "KeyDown(" + key + ")";
}
std::string Up(const std::string& key) {
    return "KeyUp(" + key + ")";
}

struct Keyboard {
    FakeKeyboard keyboard;
    CKeyboardInput input{keyboard};
};

TEST(TypeCharacter, LowerAndUpperCase) {
    Keyboard k;
    k.input.TypeCharacter('a');
    k.input.TypeCharacter('A');
    k.input.TypeCharacter('!');
    EXPECT_EQ(k.keyboard.Injected(),
              (Calls{Down("L65"), Up("L65"),                                 // a
                     Down("Shift"), Down("L65"), Up("L65"), Up("Shift"),     // A
                     Down("Shift"), Down("L49"), Up("L49"), Up("Shift")}));  // !
}

TEST(TypeCharacter, OnlyTheLowByteCounts) {
    Keyboard k;
    k.input.TypeCharacter(0x100 + 'b');
    EXPECT_EQ(k.keyboard.Questions(), Calls{"KeyForCharacter(98)"});
    EXPECT_EQ(k.keyboard.Injected(), (Calls{Down("L66"), Up("L66")}));
}

TEST(TypeCharacter, AltGrCharacterIsTypedWithCtrlAndAlt) {
    Keyboard k;
    // Ctrl+Alt+Q, as on a German layout.
    k.keyboard.SetLayout('@', Key::Layout('Q'), FakeKeyboard::kControl | FakeKeyboard::kAlt);
    k.input.TypeCharacter('@');
    EXPECT_EQ(k.keyboard.Injected(), (Calls{Down("Alt"), Down("Control"), Down("L81"), Up("L81"),
                                            Up("Control"), Up("Alt")}));
}

TEST(TypeCharacter, CharacterTheLayoutCannotProduceIsTypedWithoutAKey) {
    Keyboard k;
    k.keyboard.RemoveFromLayout('(');  // as under Wine's virtual desktop
    k.input.TypeCharacter(0xE9);
    k.input.TypeCharacter('(');
    k.input.TypeCharacter('a');
    // The layout's own characters still go through their keys.
    EXPECT_EQ(k.keyboard.Injected(),
              (Calls{"TypeUnmapped(233)", "TypeUnmapped(40)", Down("L65"), Up("L65")}));
}

TEST(PressKey, CharacterTheLayoutCannotProduceIsIgnoredWithModifiers) {
    Keyboard k;
    k.input.PressKey(0xE9, true, 4);
    k.input.PressKey(0x80, true, 0);
    EXPECT_EQ(k.keyboard.Questions(), (Calls{"KeyForCharacter(233)", "KeyForCharacter(128)"}));
    // Neither typed some other way nor pressed with its modifiers.
    EXPECT_TRUE(k.keyboard.Injected().empty());
}

TEST(PressKey, CharacterWithModifiers) {
    Keyboard k;
    k.input.PressKey('a', true, 4);  // Ctrl+a
    k.input.PressKey('A', true, 4);  // the layout's Shift is added
    EXPECT_EQ(k.keyboard.Injected(),
              (Calls{Down("Control"), Down("L65"), Up("L65"), Up("Control"),  //
                     Down("Control"), Down("Shift"), Down("L65"), Up("L65"), Up("Shift"),
                     Up("Control")}));
}

TEST(PressKey, ModifiersPressInFixedOrderAndReleaseInReverse) {
    Keyboard k;
    k.input.PressKey(122, false, 15 | 0x70);  // F1 with every modifier; other bits ignored
    EXPECT_EQ(k.keyboard.Injected(),
              (Calls{Down("Win"), Down("Alt"), Down("Control"), Down("Shift"), Down("F1"), Up("F1"),
                     Up("Shift"), Up("Control"), Up("Alt"), Up("Win")}));
}

TEST(PressKey, AltTabAlwaysGetsShift) {
    const Calls expected{Down("Alt"), Down("Shift"), Down("Tab"),
                         Up("Tab"),   Up("Shift"),   Up("Alt")};
    Keyboard key;
    key.input.PressKey(9, false, ModAlt);
    EXPECT_EQ(key.keyboard.Injected(), expected);
    Keyboard character;
    character.input.PressKey('\t', true, ModAlt);
    EXPECT_EQ(character.keyboard.Injected(), expected);
}

TEST(PressKey, WindowsKeyAloneAndWithShift) {
    Keyboard k;
    k.input.PressKey(' ', true, ModWin);
    EXPECT_EQ(k.keyboard.Injected(), (Calls{Down("Win"), Up("Win")}));
    k.keyboard.calls.clear();
    k.input.PressKey(' ', true, ModWin | ModShift);
    EXPECT_EQ(k.keyboard.Injected(), (Calls{Down("Win"), Down("Shift"), Down("Space"), Up("Space"),
                                            Up("Shift"), Up("Win")}));
}

TEST(PressKey, CtrlAltBackspaceRequestsSecureAttentionAndPressesNothing) {
    Keyboard k;
    k.input.PressKey('\b', true, ModCtrl | ModAlt);
    k.input.PressKey('\b', true, ModWin | ModAlt | ModCtrl | ModShift);
    EXPECT_EQ(k.keyboard.Injected(), (Calls{"SecureAttention", "SecureAttention"}));
    k.keyboard.calls.clear();
    k.input.PressKey('\b', true, ModCtrl);  // Ctrl alone is an ordinary stroke
    EXPECT_EQ(k.keyboard.Injected(),
              (Calls{Down("Control"), Down("Backspace"), Up("Backspace"), Up("Control")}));
}

TEST(PressKey, SpecialKeysThroughTheMap) {
    EXPECT_EQ(MakeDeviceKeyMap().size(), 30u);
    const std::pair<int, const char*> samples[] = {
        {122, "F1"},    {106, "F16"},  {123, "Left"},     {126, "Up"},
        {53, "Escape"}, {76, "Enter"}, {998, "VolumeUp"}, {999, "VolumeMute"}};
    for (const auto& [code, name] : samples) {
        Keyboard k;
        k.input.PressKey(code, false, 0);
        EXPECT_EQ(k.keyboard.calls, (Calls{Down(name), Up(name)})) << "device code " << code;
    }
}

TEST(PressKey, DeviceCodeNotInTheMapIsIgnored) {
    Keyboard k;
    // 8 is backspace as a character, but no device key code.
    for (int code : {0, -1, 8, 65, 1000, 0x7fffffff}) k.input.PressKey(code, false, 15);
    EXPECT_TRUE(k.keyboard.calls.empty());
}

}  // namespace
