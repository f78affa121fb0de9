#pragma once

#include <cstdint>

#include "platform/Keyboard.h"

class IAnsiCodePage;

// Keysyms as X and xkbcommon number them; 0 is none (NoSymbol).
// X offsets every code point above Latin-1 by this to make its Unicode keysym.
constexpr uint32_t kUnicodeKeysymBase = 0x01000000;
// The keysym that types a character: the code itself for Latin-1, X's older keysym where it
// has one (EuroSign, the typographic quotes and dashes), otherwise the Unicode keysym.
// NoSymbol for control characters.
uint32_t KeysymOfCharacter(char32_t character);
// Whether a keymap's keysym types the character (either of its two spellings).
bool KeysymTypes(uint32_t keysym, char32_t character);

// The keysym a named key types (the left one of a pair of modifiers); 0 for NamedKey::None.
uint32_t KeysymOfNamedKey(NamedKey key);

// The named key that types a control character or the space (Backspace, Tab, Enter for
// both line ends, Escape, Space); NamedKey::None for any other character.
NamedKey NamedKeyOfCharacter(char32_t character);

// Control characters 1 to 26 are Ctrl with a letter, as Windows' layouts answer them.
constexpr char32_t kLastControlLetter = 26;

// The character of a byte of the ANSI code page; 0 when it has none.
char32_t CharacterOfByte(const IAnsiCodePage& codePage, char byte);
