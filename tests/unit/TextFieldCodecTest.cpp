#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeAnsiCodePage.h"
#include "protocol/TextFieldCodec.h"

namespace {

const FakeAnsiCodePage kCp1252;

std::string Encode(const std::string& text) {
    return EncodeTextField(text.c_str(), kCp1252);
}

// The decoder splits its argument in place, so it gets a copy.
std::string Decode(const std::string& field) {
    std::vector<char> copy(field.begin(), field.end());
    copy.push_back('\0');
    return DecodeTextField(copy.data(), kCp1252);
}

TEST(TextFieldCodec, EncodesEveryUnitAsLowAndHighByte) {
    EXPECT_EQ(Encode("abc"), "-1|-2|97|0|98|0|99|0");
    EXPECT_EQ(Encode(""), "-1|-2");
    EXPECT_EQ(EncodeTextField(nullptr, kCp1252), "-1|-2");
    EXPECT_EQ(Encode("\x80"), "-1|-2|172|32");
    EXPECT_EQ(Encode("\xE9"), "-1|-2|233|0");
    EXPECT_EQ(Encode("a|b: c"), "-1|-2|97|0|124|0|98|0|58|0|32|0|99|0");
}

TEST(TextFieldCodec, TextsAbove399UnitsEncodeAsTheMarkerAlone) {
    const std::string longest(399, 'a');
    const std::string encoded = Encode(longest);
    EXPECT_EQ(encoded.size(), 5 + 399 * 5u);
    EXPECT_EQ(encoded.substr(encoded.size() - 5), "|97|0");
    EXPECT_EQ(Encode(longest + "a"), "-1|-2");
}

TEST(TextFieldCodec, DecodesPairsAsStrtokAndAtoiRead) {
    EXPECT_EQ(Decode("-1|-2|72|0|105|0"), "Hi");
    EXPECT_EQ(Decode("-1|-2"), "");
    EXPECT_EQ(Decode(""), "");
    EXPECT_EQ(Decode("-1|-2|72|0|105"), "H");        // unpaired last token
    EXPECT_EQ(Decode("-1|-2|72||0"), "H");           // doubled separator
    EXPECT_EQ(Decode("||72|0|105|0||"), "Hi");       // separators at both ends
    EXPECT_EQ(Decode("-1|-2|72|0|0|0|105|0"), "H");  // a zero unit ends the text
    EXPECT_EQ(Decode("72|0|-1|-2|105|0"), "Hi");     // negative pairs skipped anywhere
    EXPECT_EQ(Decode("72|-3|105|0"), "i");
    EXPECT_EQ(Decode("72|-0|105|0"), "Hi");  // minus zero is no negative number
    EXPECT_EQ(Decode("-1|-2|172|32"), "\x80");
    EXPECT_EQ(Decode("65|256|66|0"), "AB");    // taken modulo 65536
    EXPECT_EQ(Decode(" 72abc|+0x|i|0"), "H");  // not-a-number tokens read as 0
    EXPECT_EQ(Decode("hello"), "");
    EXPECT_EQ(Decode("-1|-2|45|78"), "?");  // no counterpart in the code page
}

TEST(TextFieldCodec, DecodedTextIsLimitedTo299Bytes) {
    std::string field = "-1|-2";
    for (int i = 0; i < 299; ++i) field += "|98|0";
    EXPECT_EQ(Decode(field), std::string(299, 'b'));
    EXPECT_EQ(Decode(field + "|98|0"), "");
}

TEST(TextFieldCodec, EncodingRoundTripsAndUsesOnlyDigitsMinusAndBar) {
    std::string every;
    for (int byte = 1; byte < 256; ++byte) every += static_cast<char>(byte);
    const std::vector<std::string> texts = {every, std::string(299, '\xFF'),
                                            "C:\\Program Files\\App 2\\app.exe", "Doc (2)"};
    for (const std::string& text : texts) {
        const std::string encoded = Encode(text);
        EXPECT_EQ(encoded.find_first_not_of("0123456789-|"), std::string::npos);
        EXPECT_EQ(Decode(encoded), text);
    }
}

}  // namespace
