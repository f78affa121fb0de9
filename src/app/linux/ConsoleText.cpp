#include "app/linux/ConsoleText.h"

#include "platform/common/Windows1252.h"

std::string PrintableText(const std::string& ansi) {
    std::string shown = ansi;
    for (char& c : shown) {
        // The five bytes the code page leaves undefined are C1 controls in Unicode.
        const char16_t unit = Windows1252ToUnit(static_cast<unsigned char>(c));
        if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) c = '?';
    }
    return Windows1252ToUtf8(shown);
}
