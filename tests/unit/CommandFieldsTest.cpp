#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "protocol/CommandFields.h"

namespace {

uint32_t Bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// The fields of a line, its code read and checked. The reader scans the line in place.
CommandFields After(int expectedCode, const char* line) {
    CommandFields fields(line);
    int code = 0;
    EXPECT_TRUE(fields.ReadCode(code)) << line;
    EXPECT_EQ(code, expectedCode) << line;
    return fields;
}

// The float field of "2:<text>:7", and whether the int after it could still be read.
struct FloatRead {
    float value;
    bool next;
};

FloatRead ReadFloatField(const std::string& text) {
    const std::string line = "2:" + text + ":7\n";
    CommandFields fields = After(2, line.c_str());
    const float value = fields.Float();
    return {value, fields.Int() == 7};
}

void ExpectFloat(const std::string& text, float expected) {
    const FloatRead read = ReadFloatField(text);
    EXPECT_EQ(Bits(read.value), Bits(expected)) << text << " read as " << read.value;
    EXPECT_TRUE(read.next) << text;
}

void ExpectUnreadableFloat(const std::string& text) {
    const FloatRead read = ReadFloatField(text);
    EXPECT_EQ(Bits(read.value), 0u) << text;
    EXPECT_FALSE(read.next) << text;
}

TEST(CommandFields, ReadsAPointerMove) {
    CommandFields fields = After(2, "2:3.5:-2\n");
    EXPECT_EQ(fields.Float(), 3.5f);
    EXPECT_EQ(fields.Float(), -2.0f);
    // Past the last field everything reads as 0 or empty.
    EXPECT_EQ(fields.Float(), 0.0f);
    EXPECT_EQ(fields.Word(), "");
}

TEST(CommandFields, BlanksAreSkippedAndAnyOtherCharacterDelimits) {
    CommandFields fields = After(302, " \t\r302 \v;\f 1.5 \n x-2 :\t\xE9word\xFF :9");
    EXPECT_EQ(fields.Float(), 1.5f);
    EXPECT_EQ(fields.Int(), -2);
    EXPECT_EQ(fields.Word(), "\xE9word\xFF");
    EXPECT_EQ(fields.Int(), 9);

    // A blank is never a delimiter: the digit after it is.
    CommandFields spaced = After(2, "2 10 20 30");
    EXPECT_EQ(spaced.Float(), 0.0f);  // '1' delimits, "0" is the value
    EXPECT_EQ(spaced.Float(), 0.0f);  // '2' delimits, "0" again
    EXPECT_EQ(spaced.Float(), 0.0f);  // '3' and "0"
    EXPECT_EQ(spaced.Float(), 0.0f);  // nothing left
}

TEST(CommandFields, TheCodeIsASignedInt) {
    int code = -1;
    EXPECT_TRUE(CommandFields("+7:1").ReadCode(code));
    EXPECT_EQ(code, 7);
    EXPECT_TRUE(CommandFields("-2147483648").ReadCode(code));
    EXPECT_EQ(code, std::numeric_limits<int>::min());
    for (const char* line : {"", "\n", "abc:1", ":2:1", "- 2", "+", "2147483648", "-2147483649",
                             "99999999999999999999999"}) {
        code = -1;
        CommandFields fields(line);
        EXPECT_FALSE(fields.ReadCode(code)) << line;
        EXPECT_EQ(code, 0) << line;
        EXPECT_EQ(fields.Int(), 0) << line;
    }
}

TEST(CommandFields, IntsTakeASignAndDigitsUpToTheFirstOtherCharacter) {
    CommandFields fields = After(7, "7:+12:-0:2147483647:12.5:3e2");
    EXPECT_EQ(fields.Int(), 12);
    EXPECT_EQ(fields.Int(), 0);
    EXPECT_EQ(fields.Int(), std::numeric_limits<int>::max());
    EXPECT_EQ(fields.Int(), 12);
    EXPECT_EQ(fields.Int(), 5);  // '.' delimited it
    EXPECT_EQ(fields.Int(), 3);
    EXPECT_EQ(fields.Int(), 2);  // 'e' delimited it
}

TEST(CommandFields, AnUnreadableFieldEndsTheLine) {
    for (const char* line : {"33:x:2:3", "33:2147483648:2:3", "33:-2147483649:2:3", "33:+-1:2:3",
                             "33:- 1:2:3", "33::2:3"}) {
        CommandFields fields = After(33, line);
        EXPECT_EQ(fields.Int(), 0) << line;
        // Although what follows could be read.
        EXPECT_EQ(fields.Int(), 0) << line;
        EXPECT_EQ(fields.Float(), 0.0f) << line;
        EXPECT_EQ(fields.Word(), "") << line;
    }
    CommandFields fields = After(127, "127:\n:abc");
    EXPECT_EQ(fields.Word(), ":abc");  // the line feed is a blank, ':' the first of the word
    CommandFields empty = After(127, "127:  \n");
    EXPECT_EQ(empty.Word(), "");
}

TEST(CommandFields, FloatsInDecimalAndExponentNotation) {
    ExpectFloat("3.5", 3.5f);
    ExpectFloat("+.5", 0.5f);
    ExpectFloat("-.25", -0.25f);
    ExpectFloat("7.", 7.0f);
    ExpectFloat("00012.50", 12.5f);
    ExpectFloat("1e5", 1e5f);
    ExpectFloat("2.5E-3", 2.5e-3f);
    ExpectFloat("1.e2", 100.0f);
    ExpectFloat(".5e+1", 5.0f);
    ExpectFloat("1e15", 1e15f);
    ExpectFloat("0e999999999999", 0.0f);
    ExpectFloat("-0", -0.0f);
    EXPECT_TRUE(std::signbit(ReadFloatField("-0.000").value));
    EXPECT_TRUE(std::signbit(ReadFloatField("-1e-400").value));
    EXPECT_FALSE(std::signbit(ReadFloatField("0").value));
}

TEST(CommandFields, AFloatStopsWhereFormattedInputStops) {
    CommandFields fields = After(2, "2:1.5.25:0x10:1e5.5:-3e-1e2");
    EXPECT_EQ(fields.Float(), 1.5f);
    EXPECT_EQ(fields.Float(), 25.0f);  // the second '.' delimited it
    EXPECT_EQ(fields.Float(), 0.0f);   // no hexadecimal: "0", then 'x' delimits
    EXPECT_EQ(fields.Float(), 10.0f);
    EXPECT_EQ(fields.Float(), 1e5f);
    EXPECT_EQ(fields.Float(), 5.0f);
    EXPECT_EQ(fields.Float(), -0.3f);
    EXPECT_EQ(fields.Float(), 2.0f);
}

TEST(CommandFields, FloatsWithoutDigitsOrWithAnEmptyExponentAreUnreadable) {
    for (const char* text :
         {".", "-", "+", "-.", "e5", ".e5", "1e", "1E+", "1e-", "1e+-5", "- 1", "inf", "nan"})
        ExpectUnreadableFloat(text);
}

TEST(CommandFields, FloatOverflowIsUnreadableAndUnderflowReadsAsZeroOrSubnormal) {
    ExpectFloat("3.4028235e38", std::numeric_limits<float>::max());
    ExpectFloat("340282346638528859811704183484516925440", std::numeric_limits<float>::max());
    ExpectUnreadableFloat("3.4028236e38");
    ExpectUnreadableFloat("-1e39");
    ExpectUnreadableFloat("1e99999999999999999999");
    ExpectFloat("1e-45", std::numeric_limits<float>::denorm_min());
    ExpectFloat("1.1754943e-38", std::numeric_limits<float>::min());
    ExpectFloat("1e-46", 0.0f);
    ExpectFloat("-1e-400", -0.0f);
    ExpectFloat("0.000000000000000000000000000000000000000000001",
                std::numeric_limits<float>::denorm_min());
}

// The compiler rounds a literal to the nearest float, ties to even, as the stream does.
#define NEAREST(literal) ExpectFloat(#literal, literal##f)

TEST(CommandFields, LongMantissasRoundToTheNearestFloat) {
    NEAREST(0.1);
    NEAREST(0.3);
    NEAREST(-12.345678);
    NEAREST(16777216.);
    NEAREST(16777217.);  // a tie: to even, down
    NEAREST(16777219.);  // a tie: to even, up
    NEAREST(123456789.123456789);
    NEAREST(1.000000059604644775390625);  // exactly between 1 and the next float
    NEAREST(1.00000005960464477539062500001);
    NEAREST(0.1000000000000000000000000000000000000001);
    NEAREST(99999999999999999999999e-30);
    NEAREST(1e-10);
    NEAREST(1e-11);
    NEAREST(7e10);
    NEAREST(7e22);
    NEAREST(2.5e-38);
    NEAREST(123.456e-7);
}

#undef NEAREST

// Decimals of the lengths devices send, against the C library's correctly rounded strtof,
// which formatted input uses for a well-formed number.
TEST(CommandFields, ShortDecimalsMatchTheCorrectlyRoundedConversion) {
    std::mt19937 random(2024);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t mantissa = random() % (1u << 25);
        const int exponent = static_cast<int>(random() % 31) - 15;
        std::string text = std::to_string(mantissa);
        if (i % 2 == 0) {
            text += "e" + std::to_string(exponent);
        } else if (exponent < 0 && static_cast<size_t>(-exponent) < text.size()) {
            text.insert(text.size() + static_cast<size_t>(exponent), ".");
        }
        if (i % 3 == 0) text = "-" + text;
        const float expected = std::strtof(text.c_str(), nullptr);
        ExpectFloat(text, expected);
        if (HasFailure()) break;
    }
}

TEST(CommandFields, WordsAreRunsOfNonBlanks) {
    CommandFields fields = After(438, "438:-1|-2|78|0:\xC3\xA9t\xE9:a:b\tc:last");
    EXPECT_EQ(fields.Word(), "-1|-2|78|0:\xC3\xA9t\xE9:a:b");
    EXPECT_EQ(fields.Word(), ":last");  // 'c' delimits
}

TEST(CommandFields, ANullLineReadsNothing) {
    CommandFields fields(nullptr);
    int code = 5;
    EXPECT_FALSE(fields.ReadCode(code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(fields.Word(), "");
}

}  // namespace
