#pragma once
#include <cstdint>

#include "platform/AnsiCodePage.h"

// Windows-1252: ASCII and 0xA0-0xFF map to the same unit; 0x80-0x9F as in the table, the
// five undefined bytes to the same unit, as the system's conversion does.
class FakeAnsiCodePage : public IAnsiCodePage {
public:
    int ToUtf16(const char* text, char16_t* out, int maxUnits) const override {
        int i = 0;
        for (;; ++i) {
            if (i >= maxUnits) return 0;
            const auto byte = static_cast<uint8_t>(text[i]);
            out[i] = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
            if (byte == 0) return i + 1;
        }
    }
    int FromUtf16(const char16_t* units, char* out, int maxBytes) const override {
        int i = 0;
        for (;; ++i) {
            if (i >= maxBytes) return 0;
            out[i] = ToByte(units[i]);
            if (units[i] == 0) return i + 1;
        }
    }

private:
    static char ToByte(char16_t unit) {
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] == unit) return static_cast<char>(0x80 + i);
        }
        return '?';
    }

    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
};
