#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/Keyboard.h"

// A keyboard with a layout that can be changed. Strokes and requests are recorded in order
// as "KeyDown(Shift)", "KeyUp(L65)" (a layout key by its number), "TypeUnmapped(233)",
// "SecureAttention"; every question about a character as "KeyForCharacter(98)".
class FakeKeyboard : public IKeyboard {
public:
    // A US layout for the characters the tests type.
    FakeKeyboard() {
        for (char c = 'a'; c <= 'z'; ++c) SetLayout(c, Key::Layout(c - 'a' + 'A'));
        for (char c = 'A'; c <= 'Z'; ++c) SetLayout(c, Key::Layout(c), kShift);
        for (char c = '0'; c <= '9'; ++c) SetLayout(c, Key::Layout(c));
        SetLayout(' ', Key::Named(NamedKey::Space));
        SetLayout('\b', Key::Named(NamedKey::Backspace));
        SetLayout('\t', Key::Named(NamedKey::Tab));
        SetLayout('\r', Key::Named(NamedKey::Enter));
        SetLayout('!', Key::Layout('1'), kShift);
        SetLayout('@', Key::Layout('2'), kShift);
    }

    // The shift state a character needs, as bits.
    static constexpr int kShift = 1;
    static constexpr int kControl = 2;
    static constexpr int kAlt = 4;

    void SetLayout(char character, Key key, int shiftState = 0) {
        layout[static_cast<unsigned char>(character)] =
            CharacterKey{true, key, (shiftState & kShift) != 0, (shiftState & kControl) != 0,
                         (shiftState & kAlt) != 0};
    }
    void RemoveFromLayout(char character) { layout.erase(static_cast<unsigned char>(character)); }

    // The calls that press, release, type or request: everything but the questions.
    std::vector<std::string> Injected() const {
        std::vector<std::string> found;
        for (const std::string& call : calls) {
            if (call.rfind("KeyForCharacter(", 0) != 0) found.push_back(call);
        }
        return found;
    }
    std::vector<std::string> Questions() const {
        std::vector<std::string> found;
        for (const std::string& call : calls) {
            if (call.rfind("KeyForCharacter(", 0) == 0) found.push_back(call);
        }
        return found;
    }

    static std::string Name(Key key) {
        static const char* const kNames[] = {
            "None",     "Backspace", "Tab",        "Enter",      "Escape",   "Space", "PageUp",
            "PageDown", "End",       "Home",       "Left",       "Up",       "Right", "Down",
            "F1",       "F2",        "F3",         "F4",         "F5",       "F6",    "F7",
            "F8",       "F9",        "F10",        "F11",        "F12",      "F13",   "F14",
            "F15",      "F16",       "VolumeMute", "VolumeDown", "VolumeUp", "Shift", "Control",
            "Alt",      "Win",
        };
        static_assert(sizeof(kNames) / sizeof(kNames[0]) == static_cast<size_t>(NamedKey::Win) + 1,
                      "one name per named key");
        if (key.name == NamedKey::None) return "L" + std::to_string(key.layoutCode);
        return kNames[static_cast<size_t>(key.name)];
    }

    // --- IKeyboard -----------------------------------------------------------------------
    void KeyDown(Key key) override { calls.push_back("KeyDown(" + Name(key) + ")"); }
    void KeyUp(Key key) override { calls.push_back("KeyUp(" + Name(key) + ")"); }
    CharacterKey KeyForCharacter(char character) override {
        const unsigned char c = static_cast<unsigned char>(character);
        calls.push_back("KeyForCharacter(" + std::to_string(c) + ")");
        const auto it = layout.find(c);
        return it == layout.end() ? CharacterKey{} : it->second;
    }
    void TypeUnmappedCharacter(char character) override {
        calls.push_back("TypeUnmapped(" + std::to_string(static_cast<unsigned char>(character)) +
                        ")");
    }
    void RequestSecureAttention() override { calls.push_back("SecureAttention"); }

    std::map<unsigned char, CharacterKey> layout;
    std::vector<std::string> calls;
};
