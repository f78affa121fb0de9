#pragma once
#include <cstdint>

// The keys the core names. A key that only a character reaches is a layout key, known to
// the platform by its own number.
enum class NamedKey : uint8_t {
    None,
    Backspace,
    Tab,
    Enter,
    Escape,
    Space,
    PageUp,
    PageDown,
    End,
    Home,
    Left,
    Up,
    Right,
    Down,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
    VolumeMute,
    VolumeDown,
    VolumeUp,
    Shift,
    Control,
    Alt,
    Win,
};

struct Key {
    NamedKey name = NamedKey::None;
    // The platform's number of a layout key; used only when name is None.
    uint32_t layoutCode = 0;

    static Key Named(NamedKey key) { return Key{key, 0}; }
    static Key Layout(uint32_t code) { return Key{NamedKey::None, code}; }
    bool Is(NamedKey key) const { return name == key; }
};

// The key that makes a character and the modifiers its shift state needs.
struct CharacterKey {
    bool producible = false;
    Key key;
    bool shift = false;
    bool control = false;
    bool alt = false;
};

// The keyboard that the device's typing goes to, whichever window has the focus.
class IKeyboard {
public:
    virtual ~IKeyboard() = default;
    virtual void KeyDown(Key key) = 0;
    virtual void KeyUp(Key key) = 0;
    // Which key makes this 8-bit character of the ANSI code page on the current layout;
    // "not producible" is an answer. A named key is answered by its name.
    virtual CharacterKey KeyForCharacter(char character) = 0;
    // Types a character that no key of the layout makes, independently of the layout.
    virtual void TypeUnmappedCharacter(char character) = 0;
    // Asks the system for its secure-attention sequence (it can't be typed).
    virtual void RequestSecureAttention() = 0;
};
