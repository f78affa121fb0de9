#include "platform/common/Keysyms.h"

#include "platform/AnsiCodePage.h"

namespace {

constexpr uint32_t kNoSymbol = 0;

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

// By NamedKey, in its order: BackSpace, Tab, Return, Escape, space, Prior, Next, End, Home,
// the arrows, F1 to F16, the XF86 volume keys, Shift_L, Control_L, Alt_L, Super_L.
constexpr uint32_t kNamedKeysyms[] = {
    0,          0xff08,     0xff09,     0xff0d, 0xff1b, 0x0020, 0xff55, 0xff56, 0xff57, 0xff50,
    0xff51,     0xff52,     0xff53,     0xff54, 0xffbe, 0xffbf, 0xffc0, 0xffc1, 0xffc2, 0xffc3,
    0xffc4,     0xffc5,     0xffc6,     0xffc7, 0xffc8, 0xffc9, 0xffca, 0xffcb, 0xffcc, 0xffcd,
    0x1008ff12, 0x1008ff11, 0x1008ff13, 0xffe1, 0xffe3, 0xffe9, 0xffeb,
};
static_assert(sizeof(kNamedKeysyms) / sizeof(kNamedKeysyms[0]) ==
                  static_cast<unsigned>(NamedKey::Win) + 1,
              "one keysym for each named key");

struct NamedCharacter {
    char32_t character;
    NamedKey key;
};
constexpr NamedCharacter kNamedCharacters[] = {
    {'\b', NamedKey::Backspace}, {'\t', NamedKey::Tab},    {'\r', NamedKey::Enter},
    {'\n', NamedKey::Enter},     {0x1B, NamedKey::Escape}, {' ', NamedKey::Space},
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

uint32_t KeysymOfNamedKey(NamedKey key) {
    const auto index = static_cast<unsigned>(key);
    return index < sizeof(kNamedKeysyms) / sizeof(kNamedKeysyms[0]) ? kNamedKeysyms[index] : 0;
}

NamedKey NamedKeyOfCharacter(char32_t character) {
    for (const NamedCharacter& named : kNamedCharacters) {
        if (named.character == character) return named.key;
    }
    return NamedKey::None;
}

char32_t CharacterOfByte(const IAnsiCodePage& codePage, char byte) {
    const char text[2] = {byte, '\0'};
    char16_t units[2] = {};
    if (codePage.ToUtf16(text, units, 2) != 2) return 0;
    // The code page's characters all lie in the basic plane.
    return units[0];
}
