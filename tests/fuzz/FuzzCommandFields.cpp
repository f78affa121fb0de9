// The field parser against formatted stream input, field for field, on any line. The first
// byte chooses the fields read after the code (two bits each, low bits first: int, float,
// word, float), the rest is the line. Any difference, a float's sign of zero included,
// stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <sstream>
#include <string>

#include "protocol/CommandFields.h"

namespace {

// Formatted input as the parser is to read: an istringstream in the classic locale.
class StreamFields {
public:
    explicit StreamFields(const char* line) : m_in(line) { m_in.imbue(std::locale::classic()); }

    bool ReadCode(int& code) {
        code = 0;
        if (m_in >> code) return true;
        code = 0;
        return false;
    }
    template <typename T>
    T Field() {
        char delimiter = 0;
        T value{};
        if (!(m_in >> delimiter)) return T{};
        if (!(m_in >> value)) return T{};
        return value;
    }

private:
    std::istringstream m_in;
};

[[noreturn]] void Differ(const std::string& line, int field, const std::string& what) {
    std::fprintf(stderr, "field %d of \"%s\" differs: %s\n", field, line.c_str(), what.c_str());
    std::abort();
}

std::string FloatText(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    char text[64];
    std::snprintf(text, sizeof(text), "%.9g (0x%08x)", static_cast<double>(value), bits);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned kinds = data[0];
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);

    CommandFields fields(line.c_str());
    StreamFields reference(line.c_str());
    int code = -1;
    int expectedCode = -1;
    const bool read = fields.ReadCode(code);
    if (read != reference.ReadCode(expectedCode) || code != expectedCode)
        Differ(line, 0, std::to_string(code) + " against " + std::to_string(expectedCode));

    for (int field = 1; field <= 4; ++field) {
        const unsigned kind = (kinds >> (2 * (field - 1))) & 3u;
        if (kind == 0) {
            const int value = fields.Int();
            const int expected = reference.Field<int>();
            if (value != expected)
                Differ(line, field, std::to_string(value) + " against " + std::to_string(expected));
        } else if (kind == 2) {
            const std::string value = fields.Word();
            const std::string expected = reference.Field<std::string>();
            if (value != expected) Differ(line, field, value + " against " + expected);
        } else {
            const float value = fields.Float();
            const float expected = reference.Field<float>();
            if (std::memcmp(&value, &expected, sizeof(value)) != 0)
                Differ(line, field, FloatText(value) + " against " + FloatText(expected));
        }
    }
    return 0;
}
