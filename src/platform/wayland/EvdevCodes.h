#pragma once
#include <cstdint>

#include "platform/Keyboard.h"
#include "platform/PointerDevice.h"

// Linux input event codes, the numbers Wayland and the desktop portal give keys and buttons.
// An XKB keycode is the key's code plus 8.

// BTN_LEFT, BTN_RIGHT, BTN_MIDDLE; the extra button is BTN_SIDE (back) or, for the second X
// button, BTN_EXTRA (forward).
uint32_t EvdevButton(Button button, bool forward);

// The key a named key presses (the left one of a pair of modifiers); 0 for NamedKey::None.
uint32_t EvdevKey(NamedKey key);

constexpr uint32_t kXkbKeycodeOffset = 8;
