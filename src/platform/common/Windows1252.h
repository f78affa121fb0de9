#pragma once
#include <string>

// The Windows-1252 code page, the ANSI code page of the Windows program whose text fields
// the device reads. Pure functions: the tests check them without a display.

// The UTF-16 unit of a byte. The five bytes the code page leaves undefined map to the C1
// control of the same number, as Windows' own conversion does.
char16_t Windows1252ToUnit(unsigned char byte);
// The byte of a character; '?' for one the code page doesn't have.
char Windows1252FromCodePoint(char32_t codePoint);

// Windows-1252 text as UTF-8.
std::string Windows1252ToUtf8(const std::string& text);
// UTF-8 text as Windows-1252: each character the code page doesn't have, and each byte that
// isn't part of a well-formed UTF-8 sequence, becomes '?'.
std::string Utf8ToWindows1252(const std::string& text);
