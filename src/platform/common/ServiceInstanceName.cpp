#include "platform/common/ServiceInstanceName.h"

std::u16string ServiceInstanceName(const std::u16string& name, const std::string& type) {
    std::u16string out;
    for (const char16_t unit : name) {
        if (unit == u'.' || unit == u'\\') out += u'\\';
        out += unit;
    }
    out += u'.';
    // The type is plain ASCII.
    for (const char c : type) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out + u".local";
}
