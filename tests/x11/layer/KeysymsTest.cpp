#include <gtest/gtest.h>

#include "platform/common/Keysyms.h"
#include "platform/common/Windows1252.h"

namespace {

TEST(KeysymOfCharacter, Latin1IsItsOwnKeysym) {
    EXPECT_EQ(KeysymOfCharacter(U'a'), 0x61u);
    EXPECT_EQ(KeysymOfCharacter(U'~'), 0x7Eu);
    EXPECT_EQ(KeysymOfCharacter(U'\u00E9'), 0xE9u);  // eacute
    EXPECT_EQ(KeysymOfCharacter(U'\u00A0'), 0xA0u);  // nobreakspace
    EXPECT_EQ(KeysymOfCharacter(U'\u00FF'), 0xFFu);  // ydiaeresis
}

TEST(KeysymOfCharacter, ControlCharactersHaveNone) {
    EXPECT_EQ(KeysymOfCharacter(0), 0u);
    EXPECT_EQ(KeysymOfCharacter(U'\n'), 0u);
    EXPECT_EQ(KeysymOfCharacter(0x7F), 0u);
    EXPECT_EQ(KeysymOfCharacter(0x85), 0u);
    EXPECT_EQ(KeysymOfCharacter(0x110000), 0u);
}

TEST(KeysymOfCharacter, OlderKeysymsWhereXHasThem) {
    EXPECT_EQ(KeysymOfCharacter(U'\u20AC'), 0x20ACu);     // EuroSign
    EXPECT_EQ(KeysymOfCharacter(U'\u2013'), 0xAAAu);      // endash
    EXPECT_EQ(KeysymOfCharacter(U'\u0153'), 0x13BDu);     // oe
    EXPECT_EQ(KeysymOfCharacter(U'\u2039'), 0x1002039u);  // no older keysym: Unicode
}

TEST(KeysymOfCharacter, EveryCharacterOfTheCodePageHasOne) {
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        if (byte == 0x7F) continue;
        const char16_t unit = Windows1252ToUnit(static_cast<unsigned char>(byte));
        // The five bytes the code page leaves undefined stand for C1 controls.
        const bool control = unit >= 0x80 && unit < 0xA0;
        EXPECT_EQ(KeysymOfCharacter(unit) == 0, control) << byte;
        if (!control) {
            EXPECT_TRUE(KeysymTypes(KeysymOfCharacter(unit), unit)) << byte;
        }
    }
}

TEST(KeysymTypes, EitherSpellingTypesTheCharacter) {
    EXPECT_TRUE(KeysymTypes(0x20AC, U'\u20AC'));
    EXPECT_TRUE(KeysymTypes(0x10020AC, U'\u20AC'));
    EXPECT_TRUE(KeysymTypes(0x10000E9, U'\u00E9'));
    EXPECT_FALSE(KeysymTypes(0xC9, U'\u00E9'));  // Eacute is another character
    EXPECT_FALSE(KeysymTypes(0, U'\n'));
    EXPECT_FALSE(KeysymTypes(0x100000A, U'\n'));
}

}  // namespace
