#include "protocol/TextFieldCodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/AnsiCodePage.h"

namespace {

constexpr char kMarker[] = "-1|-2";

// '|' and a byte in decimal without leading zeros, for every byte. Each is copied as four
// characters and the output advanced by its length.
struct ByteText {
    char text[4];
    unsigned length;
};

constexpr std::array<ByteText, 256> MakeByteTexts() {
    std::array<ByteText, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        ByteText& entry = table[byte];
        entry.text[0] = '|';
        unsigned at = 1;
        if (byte >= 100) entry.text[at++] = static_cast<char>('0' + byte / 100);
        if (byte >= 10) entry.text[at++] = static_cast<char>('0' + byte / 10 % 10);
        entry.text[at++] = static_cast<char>('0' + byte % 10);
        entry.length = at;
    }
    return table;
}

constexpr std::array<ByteText, 256> kByteTexts = MakeByteTexts();

char* PutByte(char* out, unsigned byte) {
    const ByteText& entry = kByteTexts[byte & 0xFFu];
    std::memcpy(out, entry.text, sizeof(entry.text));
    return out + entry.length;
}

// A token read as atoi reads it: blanks, a sign, digits up to the first other character.
// Only the sign and the value modulo 65536 matter, so overflow can't happen.
struct Number {
    bool negative;
    unsigned low16;
};

Number ReadNumber(const char* token) {
    while (*token == ' ' || (*token >= '\t' && *token <= '\r')) ++token;
    bool minus = false;
    if (*token == '+' || *token == '-') minus = *token++ == '-';
    unsigned low16 = 0;
    bool nonZero = false;
    for (; *token >= '0' && *token <= '9'; ++token) {
        low16 = (low16 * 10 + static_cast<unsigned>(*token - '0')) & 0xFFFFu;
        nonZero = nonZero || *token != '0';
    }
    if (minus) low16 = (0x10000u - low16) & 0xFFFFu;
    return {minus && nonZero, low16};
}

// strtok over '|': runs of separators count as one, and none yields an empty token.
char* NextToken(char*& cursor) {
    while (*cursor == '|') ++cursor;
    if (!*cursor) return nullptr;
    char* token = cursor;
    while (*cursor && *cursor != '|') ++cursor;
    if (*cursor) *cursor++ = '\0';
    return token;
}

}  // namespace

std::string EncodeTextField(const char* text, const IAnsiCodePage& codePage) {
    char16_t units[kEncodeUnitLimit];
    const int converted = text ? codePage.ToUtf16(text, units, kEncodeUnitLimit) : 0;
    const int count = std::clamp(converted, 0, kEncodeUnitLimit);
    // Written in place: the marker, then "|low|high" for each unit but the terminator; two
    // whole ByteTexts a unit at the most.
    char field[sizeof(kMarker) - 1 + 2 * sizeof(ByteText::text) * (kEncodeUnitLimit - 1)];
    char* out = std::copy(kMarker, kMarker + sizeof(kMarker) - 1, field);
    for (int i = 0; i + 1 < count; ++i) {
        const unsigned unit = units[i];
        out = PutByte(out, unit & 0xFFu);
        out = PutByte(out, unit >> 8);
    }
    return std::string(field, out);
}

std::string DecodeTextField(char* field, const IAnsiCodePage& codePage) {
    if (!field) return std::string();
    std::vector<char16_t> units;
    char* cursor = field;
    // Pairs of tokens; an unpaired last token is ignored.
    for (char* low = NextToken(cursor); low; low = NextToken(cursor)) {
        char* high = NextToken(cursor);
        if (!high) break;
        const Number a = ReadNumber(low);
        const Number b = ReadNumber(high);
        // Negative pairs (the marker among them) are passed over wherever they stand.
        if (a.negative || b.negative) continue;
        units.push_back(static_cast<char16_t>((a.low16 + 256u * b.low16) & 0xFFFFu));
        // The conversion ends at the first zero unit anyway.
        if (units.back() == u'\0') break;
    }
    units.push_back(u'\0');
    char text[kDecodeByteLimit];
    // The conversion stops at the first zero unit; a text that doesn't fit decodes as empty.
    if (codePage.FromUtf16(units.data(), text, kDecodeByteLimit) <= 0) return std::string();
    return std::string(text);
}
