#include "platform/common/Windows1252.h"
#include "platform/x11/X11Services.h"

// Both directions keep the Windows conventions: the count includes the terminator, and a
// text that doesn't fit gives 0.
int X11AnsiCodePage::ToUtf16(const char* text, char16_t* out, int maxUnits) const {
    for (int i = 0; i < maxUnits; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        out[i] = Windows1252ToUnit(byte);
        if (byte == 0) return i + 1;
    }
    return 0;
}

int X11AnsiCodePage::FromUtf16(const char16_t* units, char* out, int maxBytes) const {
    for (int i = 0; i < maxBytes; ++i) {
        out[i] = Windows1252FromCodePoint(units[i]);
        if (units[i] == 0) return i + 1;
    }
    return 0;
}
