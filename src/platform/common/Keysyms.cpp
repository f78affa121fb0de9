#include "platform/common/Keysyms.h"

namespace {

constexpr uint32_t kNoSymbol = 0;

// X offsets every code point above Latin-1 by this to make its Unicode keysym.
constexpr uint32_t kUnicodeKeysymBase = 0x01000000;

struct LegacyKeysym {
    char32_t character;
    uint32_t keysym;
};
// The characters of the Western European code page above Latin-1 that have a keysym of
// their own; keymaps use these rather than the Unicode spelling.
constexpr LegacyKeysym kLegacyKeysyms[] = {
    {0x0152, 0x13bc},  // OE
    {0x0153, 0x13bd},  // oe
    {0x0160, 0x01a9},  // Scaron
    {0x0161, 0x01b9},  // scaron
    {0x0178, 0x13be},  // Ydiaeresis
    {0x017D, 0x01ae},  // Zcaron
    {0x017E, 0x01be},  // zcaron
    {0x0192, 0x08f6},  // function
    {0x2013, 0x0aaa},  // endash
    {0x2014, 0x0aa9},  // emdash
    {0x2018, 0x0ad0},  // leftsinglequotemark
    {0x2019, 0x0ad1},  // rightsinglequotemark
    {0x201A, 0x0afd},  // singlelowquotemark
    {0x201C, 0x0ad2},  // leftdoublequotemark
    {0x201D, 0x0ad3},  // rightdoublequotemark
    {0x201E, 0x0afe},  // doublelowquotemark
    {0x2020, 0x0af1},  // dagger
    {0x2021, 0x0af2},  // doubledagger
    {0x2022, 0x0ae6},  // enfilledcircbullet
    {0x2026, 0x0aae},  // ellipsis
    {0x2030, 0x0ad5},  // permille
    {0x20AC, 0x20ac},  // EuroSign
    {0x2122, 0x0ac9},  // trademark
};

bool IsLatin1Printable(char32_t character) {
    return (character >= 0x20 && character < 0x7F) || (character >= 0xA0 && character <= 0xFF);
}

}  // namespace

uint32_t KeysymOfCharacter(char32_t character) {
    if (IsLatin1Printable(character)) return character;
    if (character < 0xA0 || character > 0x10FFFF) return kNoSymbol;
    for (const LegacyKeysym& legacy : kLegacyKeysyms) {
        if (legacy.character == character) return legacy.keysym;
    }
    return kUnicodeKeysymBase | character;
}

bool KeysymTypes(uint32_t keysym, char32_t character) {
    const uint32_t own = KeysymOfCharacter(character);
    if (own == kNoSymbol) return false;
    return keysym == own || keysym == (kUnicodeKeysymBase | character);
}
