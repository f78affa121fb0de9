#pragma once

#include <cstdint>

// Keysyms as X and xkbcommon number them; 0 is none (NoSymbol).
// The keysym that types a character: the code itself for Latin-1, X's older keysym where it
// has one (EuroSign, the typographic quotes and dashes), otherwise the Unicode keysym.
// NoSymbol for control characters.
uint32_t KeysymOfCharacter(char32_t character);
// Whether a keymap's keysym types the character (either of its two spellings).
bool KeysymTypes(uint32_t keysym, char32_t character);
