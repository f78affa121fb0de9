#include <gtest/gtest.h>

#include <string>

#include "app/linux/ConsoleText.h"
#include "platform/common/Windows1252.h"
#include "platform/x11/X11Services.h"

namespace {

TEST(Windows1252, EveryByteComesBackFromItsUnit) {
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t unit = Windows1252ToUnit(static_cast<unsigned char>(byte));
        EXPECT_EQ(static_cast<unsigned char>(Windows1252FromCodePoint(unit)), byte) << byte;
    }
}

TEST(Windows1252, TheHighRowHasItsOwnCharactersAndTheUndefinedBytesStayC1) {
    EXPECT_EQ(Windows1252ToUnit(0x80), u'\u20AC');
    EXPECT_EQ(Windows1252ToUnit(0x8A), u'\u0160');
    EXPECT_EQ(Windows1252ToUnit(0x99), u'\u2122');
    EXPECT_EQ(Windows1252ToUnit(0x9F), u'\u0178');
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(Windows1252ToUnit(undefined), undefined);
    EXPECT_EQ(Windows1252ToUnit(0xE9), u'\u00E9');
}

TEST(Windows1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    // U+0080 is no byte's unit: 0x80 is the euro sign.
    for (char32_t outside : {0x80u, 0x9Eu, 0x100u, 0x3A9u, 0x20ADu, 0xFFFDu, 0x1F600u})
        EXPECT_EQ(Windows1252FromCodePoint(outside), '?') << static_cast<unsigned>(outside);
    EXPECT_EQ(Windows1252FromCodePoint(0x20AC), '\x80');
    EXPECT_EQ(Windows1252FromCodePoint(0x0178), '\x9F');
}

TEST(Windows1252, Utf8TextIsConvertedCharacterByCharacter) {
    EXPECT_EQ(Utf8ToWindows1252("caf\xC3\xA9 \xE2\x82\xAC"
                                "5 \xE2\x80\x94 ok"),
              "caf\xE9 \x80"
              "5 \x97 ok");
    // One character outside the code page is one question mark, whatever its length.
    EXPECT_EQ(Utf8ToWindows1252("a\xF0\x9F\x98\x80z\xCE\xA9"), "a?z?");
}

TEST(Windows1252, MalformedUtf8BecomesOneQuestionMarkPerByte) {
    EXPECT_EQ(Utf8ToWindows1252("\xC3"), "?");                 // cut short at the end
    EXPECT_EQ(Utf8ToWindows1252("\xC3x"), "?x");               // cut short by another character
    EXPECT_EQ(Utf8ToWindows1252("\xC0\xAF"), "??");            // overlong slash
    EXPECT_EQ(Utf8ToWindows1252("\xED\xA0\x80"), "???");       // a surrogate
    EXPECT_EQ(Utf8ToWindows1252("\xF4\x90\x80\x80"), "????");  // past U+10FFFF
    EXPECT_EQ(Utf8ToWindows1252("\xFF\x80"
                                "a"),
              "??a");
}

TEST(Windows1252, ConvertsToUtf8AndBack) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_EQ(Windows1252ToUtf8("\x80\xE9"), "\xE2\x82\xAC\xC3\xA9");
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
}

TEST(AnsiCodePage, CountsTheTerminatorAndRefusesWhatDoesNotFit) {
    const X11AnsiCodePage codePage;
    char16_t units[4] = {1, 1, 1, 1};
    EXPECT_EQ(codePage.ToUtf16("\x80\xE9x", units, 4), 4);
    EXPECT_EQ(units[0], u'\u20AC');
    EXPECT_EQ(units[1], u'\u00E9');
    EXPECT_EQ(units[2], u'x');
    EXPECT_EQ(units[3], 0);
    EXPECT_EQ(codePage.ToUtf16("abcd", units, 4), 0);
    EXPECT_EQ(codePage.ToUtf16("", units, 1), 1);
    EXPECT_EQ(codePage.ToUtf16("", units, 0), 0);

    char bytes[4] = {};
    const char16_t text[] = {u'\u2122', u'\u0394', u'a', 0};
    EXPECT_EQ(codePage.FromUtf16(text, bytes, 4), 4);
    EXPECT_EQ(std::string(bytes), "\x99?a");
    EXPECT_EQ(codePage.FromUtf16(text, bytes, 3), 0);
}

TEST(ConsoleText, ControlCharactersFromTheDeviceCannotReachTheTerminal) {
    EXPECT_EQ(PrintableText("Phone"), "Phone");
    EXPECT_EQ(PrintableText("\x1B[2J\x07"
                            "x\x7F"),
              "?[2J?x?");
    // The undefined bytes would be C1 controls, 0x9B among them a terminal's escape.
    EXPECT_EQ(PrintableText("a\x81\x8D\x9D"
                            "b"),
              "a???b");
    EXPECT_EQ(PrintableText("Ren\xE9\x80"), "Ren\xC3\xA9\xE2\x82\xAC");
}

}  // namespace
