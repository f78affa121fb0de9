#pragma once
#include <string>

// Text from the network or the settings file (ANSI code page), fit for a terminal: UTF-8,
// with every control character, C1 ones included, shown as "?".
std::string PrintableText(const std::string& ansi);
