#pragma once
#include <string>

class IAnsiCodePage;

// Free text (titles, paths) inside protocol lines travels as a word of digits, '-' and '|':
// the marker "-1|-2", then each UTF-16 unit as "|low|high".
std::string EncodeTextField(const char* text, const IAnsiCodePage& codePage);
// Splits the field in place, as strtok does.
std::string DecodeTextField(char* field, const IAnsiCodePage& codePage);

// Longest text the encoder takes, in UTF-16 units with the terminator; longest decoded
// text, in bytes with the terminator.
constexpr int kEncodeUnitLimit = 400;
constexpr int kDecodeByteLimit = 300;
