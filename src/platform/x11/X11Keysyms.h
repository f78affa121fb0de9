#pragma once

// X's keysyms are unsigned longs; 0 is NoSymbol.
// The keysym that types a character: the code itself for Latin-1, X's older keysym where it
// has one (EuroSign, the typographic quotes and dashes), otherwise the Unicode keysym.
// NoSymbol for control characters.
unsigned long KeysymOfCharacter(char32_t character);
// Whether a keymap's keysym types the character (either of its two spellings).
bool KeysymTypes(unsigned long keysym, char32_t character);
