// The text field decoder on any word, and the encoder on any text, with a Latin-1 code page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/AnsiCodePage.h"
#include "protocol/TextFieldCodec.h"

namespace {

struct Latin1 : IAnsiCodePage {
    int ToUtf16(const char* text, char16_t* out, int maxUnits) const override {
        int n = 0;
        for (;; ++n) {
            if (n >= maxUnits) return 0;
            out[n] = static_cast<unsigned char>(text[n]);
            if (!text[n]) return n + 1;
        }
    }
    int FromUtf16(const char16_t* units, char* out, int maxBytes) const override {
        int n = 0;
        for (;; ++n) {
            if (n >= maxBytes) return 0;
            out[n] = units[n] < 256 ? static_cast<char>(units[n]) : '?';
            if (!units[n]) return n + 1;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Latin1 codePage;
    std::vector<char> field(data, data + size);
    field.push_back('\0');
    const std::string decoded = DecodeTextField(field.data(), codePage);
    std::string encoded = EncodeTextField(decoded.c_str(), codePage);
    // Whatever decodes must come back unchanged through an encode and a decode.
    const std::string again = DecodeTextField(&encoded[0], codePage);
    if (again != decoded) __builtin_trap();
    return 0;
}
