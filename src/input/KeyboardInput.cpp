#include "input/KeyboardInput.h"

#include <iterator>

#include "input/KeyMap.h"

namespace {

struct Modifier {
    int flag;
    NamedKey key;
};
// Pressed in this order, released in the reverse one.
constexpr Modifier kModifiers[] = {
    {ModWin, NamedKey::Win},
    {ModAlt, NamedKey::Alt},
    {ModCtrl, NamedKey::Control},
    {ModShift, NamedKey::Shift},
};

int ModifiersOf(const CharacterKey& key) {
    return (key.shift ? ModShift : 0) | (key.control ? ModCtrl : 0) | (key.alt ? ModAlt : 0);
}

}  // namespace

CKeyboardInput::CKeyboardInput(IKeyboard& keyboard)
    : m_keyboard(keyboard), m_keyMap(MakeDeviceKeyMap()) {}

void CKeyboardInput::TypeCharacter(int character) {
    const char byte = static_cast<char>(character & 0xFF);
    const CharacterKey key = m_keyboard.KeyForCharacter(byte);
    // No key of the layout makes it: typed independently of the layout instead.
    if (!key.producible) {
        m_keyboard.TypeUnmappedCharacter(byte);
        return;
    }
    PressKeyWithModifiers(key.key, ModifiersOf(key));
}

void CKeyboardInput::PressKey(int code, bool isCharacter, int modifiers) {
    if (isCharacter) {
        const CharacterKey key = m_keyboard.KeyForCharacter(static_cast<char>(code & 0xFF));
        // A modifier means nothing to a character typed without a key: ignored.
        if (!key.producible) return;
        PressKeyWithModifiers(key.key, modifiers | ModifiersOf(key));
        return;
    }
    const auto mapped = m_keyMap.find(code);
    if (mapped == m_keyMap.end()) return;
    PressKeyWithModifiers(Key::Named(mapped->second), modifiers);
}

void CKeyboardInput::PressKeyWithModifiers(Key key, int modifiers) {
    modifiers &= ModWin | ModAlt | ModCtrl | ModShift;
    // Ctrl+Alt+Del can't be injected; the system is asked for it instead.
    if (key.Is(NamedKey::Backspace) && (modifiers & ModAlt) && (modifiers & ModCtrl)) {
        m_keyboard.RequestSecureAttention();
        return;
    }
    if ((modifiers & ModAlt) && key.Is(NamedKey::Tab)) modifiers |= ModShift;
    for (const Modifier& m : kModifiers) {
        if (modifiers & m.flag) m_keyboard.KeyDown(Key::Named(m.key));
    }
    // The Windows key tapped alone opens the Start menu; the space only carries it.
    if (!(modifiers == ModWin && key.Is(NamedKey::Space))) {
        m_keyboard.KeyDown(key);
        m_keyboard.KeyUp(key);
    }
    for (auto m = std::rbegin(kModifiers); m != std::rend(kModifiers); ++m) {
        if (modifiers & m->flag) m_keyboard.KeyUp(Key::Named(m->key));
    }
}
