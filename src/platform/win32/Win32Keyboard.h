#pragma once
#include "platform/Keyboard.h"

// keybd_event with the layout's keys, VkKeyScanA for characters, and the secure-attention
// hot key broadcast.
class Win32Keyboard : public IKeyboard {
public:
    void KeyDown(Key key) override;
    void KeyUp(Key key) override;
    CharacterKey KeyForCharacter(char character) override;
    void TypeUnmappedCharacter(char character) override;
    void RequestSecureAttention() override;
};
