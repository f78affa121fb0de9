#pragma once
#include <sstream>
#include <string>

// A call as the recording fakes note it: "Name(arg,arg)", numbers as a stream writes them,
// bools as true/false.
template <typename... Args>
std::string CallText(const char* name, const Args&... args) {
    std::ostringstream out;
    out << std::boolalpha << name << '(';
    [[maybe_unused]] const char* separator = "";
    ((out << separator << args, separator = ","), ...);
    out << ')';
    return out.str();
}
