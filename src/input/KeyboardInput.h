#pragma once
#include <map>

#include "platform/Keyboard.h"
#include "protocol/CommandParts.h"

// Modifier flags as the device sends them with a key.
enum KeyModifier : int {
    ModWin = 1,
    ModAlt = 2,
    ModCtrl = 4,
    ModShift = 8,
};

// The device's typing: every stroke goes to whichever window has the focus.
class CKeyboardInput : public IKeyboardCommands {
public:
    explicit CKeyboardInput(IKeyboard& keyboard);

    void TypeCharacter(int character) override;
    void PressKey(int code, bool isCharacter, int modifiers) override;

private:
    // One key stroke with its modifiers, pressed and released at once.
    void PressKeyWithModifiers(Key key, int modifiers);

    IKeyboard& m_keyboard;
    const std::map<int, NamedKey> m_keyMap;
};
