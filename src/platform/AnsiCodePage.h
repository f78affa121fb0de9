#pragma once

// Conversion between the system's ANSI code page and UTF-16.
class IAnsiCodePage {
public:
    virtual ~IAnsiCodePage() = default;
    // Converts a zero-terminated text into out (capacity maxUnits, terminator included).
    // Returns the units written, terminator included, or 0 when the text does not fit.
    virtual int ToUtf16(const char* text, char16_t* out, int maxUnits) const = 0;
    // Converts zero-terminated units into out (capacity maxBytes, terminator included).
    // Units without an ANSI counterpart become the default character. Returns the bytes
    // written, terminator included, or 0 when the text does not fit.
    virtual int FromUtf16(const char16_t* units, char* out, int maxBytes) const = 0;
};
