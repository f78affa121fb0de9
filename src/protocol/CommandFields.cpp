#include "protocol/CommandFields.h"

#include <cstdint>
#include <limits>
#include <locale>
#include <sstream>

namespace {

// The classic locale's white space.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

const char* SkipBlanks(const char* at) {
    while (IsBlank(*at)) ++at;
    return at;
}

// An int as formatted input reads one: an optional sign and digits, all of which are taken
// even when the value doesn't fit, which makes it unreadable.
bool ReadInt(const char*& at, int& value) {
    const char* p = at;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit(*p)) return false;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int>::max()} + 1;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (*p - '0');
    }
    at = p;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<int>::max() ||
        signedValue < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

// Up to 19 significant digits fit the mantissa exactly.
constexpr int kMantissaDigits = 19;
// Larger exponents only matter as "too large": keeps the sum from overflowing.
constexpr int64_t kExponentCap = 100000;
// Every integer up to 2^24, and every power of ten up to 10^10, is a float. A quotient or
// product of two floats computed in double (or wider) and then rounded to float is
// correctly rounded: double has more than twice float's precision plus two bits.
constexpr uint64_t kExactMantissa = uint64_t{1} << 24;
constexpr int kExactPower = 10;
constexpr double kPowersOfTen[kExactPower + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5,
                                                  1e6, 1e7, 1e8, 1e9, 1e10};

// The number scanned as decimal digits: value = mantissa * 10^scale, when exact.
struct DecimalNumber {
    bool negative = false;
    uint64_t mantissa = 0;
    int64_t scale = 0;
    // A nonzero digit fell beyond the mantissa's digits.
    bool inexact = false;
};

// The characters that formatted input takes for a float: an optional sign, digits with at
// most one '.', then, once a digit has been seen, 'e' or 'E' with an optional sign and
// digits. What it took converts only when it holds a digit and an exponent marker is
// followed by a digit; anything else is unreadable.
bool ScanFloat(const char*& at, DecimalNumber& number) {
    const char* p = at;
    if (*p == '+' || *p == '-') number.negative = *p++ == '-';
    bool digits = false;
    bool point = false;
    int significant = 0;
    for (;; ++p) {
        if (IsDigit(*p)) {
            digits = true;
            const unsigned digit = static_cast<unsigned>(*p - '0');
            if (number.mantissa == 0 && digit == 0) {
                if (point) --number.scale;  // a leading zero only moves the point
            } else if (significant < kMantissaDigits) {
                number.mantissa = number.mantissa * 10 + digit;
                ++significant;
                if (point) --number.scale;
            } else {
                number.inexact = number.inexact || digit != 0;
                if (!point) ++number.scale;
            }
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    bool readable = digits;
    if (digits && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (*p == '+' || *p == '-') negativeExponent = *p++ == '-';
        readable = IsDigit(*p);
        int64_t exponent = 0;
        for (; IsDigit(*p); ++p) {
            if (exponent < kExponentCap) exponent = exponent * 10 + (*p - '0');
        }
        number.scale += negativeExponent ? -exponent : exponent;
    }
    at = p;
    return readable;
}

// Exact arithmetic where both operands are floats; false when the number needs more.
bool ConvertExactly(DecimalNumber number, float& value) {
    if (number.inexact) return false;
    while (number.mantissa % 10 == 0) {
        number.mantissa /= 10;
        ++number.scale;
    }
    while (number.scale > kExactPower && number.mantissa <= kExactMantissa / 10) {
        number.mantissa *= 10;
        --number.scale;
    }
    if (number.mantissa > kExactMantissa || number.scale > kExactPower ||
        number.scale < -kExactPower)
        return false;
    const auto mantissa = static_cast<double>(number.mantissa);
    const double magnitude = number.scale < 0 ? mantissa / kPowersOfTen[-number.scale]
                                              : mantissa * kPowersOfTen[number.scale];
    value = static_cast<float>(number.negative ? -magnitude : magnitude);
    return true;
}

// Long mantissas and large exponents, which devices don't send, go through the stream's own
// conversion, rounding and overflow rules included.
bool ConvertByStream(const char* begin, const char* end, float& value) {
    std::istringstream in(std::string(begin, end));
    in.imbue(std::locale::classic());
    float read = 0;
    if (!(in >> read)) return false;
    value = read;
    return true;
}

bool ReadFloat(const char*& at, float& value) {
    const char* begin = at;
    DecimalNumber number;
    if (!ScanFloat(at, number)) return false;
    if (number.mantissa == 0) {
        value = number.negative ? -0.0f : 0.0f;
        return true;
    }
    return ConvertExactly(number, value) || ConvertByStream(begin, at, value);
}

}  // namespace

CommandFields::CommandFields(const char* line) : m_at(line ? line : ""), m_failed(!line) {}

bool CommandFields::ReadCode(int& code) {
    code = 0;
    m_at = SkipBlanks(m_at);
    if (m_failed || !ReadInt(m_at, code)) {
        m_failed = true;
        code = 0;
        return false;
    }
    return true;
}

bool CommandFields::SkipDelimiter() {
    if (m_failed) return false;
    m_at = SkipBlanks(m_at);
    if (*m_at == '\0') {
        m_failed = true;
        return false;
    }
    m_at = SkipBlanks(m_at + 1);
    return true;
}

int CommandFields::Int() {
    int value = 0;
    if (!SkipDelimiter()) return 0;
    if (!ReadInt(m_at, value)) {
        m_failed = true;  // an overflowing number counts as unreadable too
        return 0;
    }
    return value;
}

float CommandFields::Float() {
    float value = 0;
    if (!SkipDelimiter()) return 0;
    if (!ReadFloat(m_at, value)) {
        m_failed = true;
        return 0;
    }
    return value;
}

std::string CommandFields::Word() {
    if (!SkipDelimiter()) return std::string();
    const char* begin = m_at;
    while (*m_at != '\0' && !IsBlank(*m_at)) ++m_at;
    if (m_at == begin) {
        m_failed = true;
        return std::string();
    }
    return std::string(begin, m_at);
}
