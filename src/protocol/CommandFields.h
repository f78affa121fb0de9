#pragma once
#include <sstream>
#include <string>

// Reads a command line as formatted stream input does: blanks skipped, each field after one
// delimiter character (any non-blank one). Once a field can't be read, it and every later
// field read as 0 or empty.
class CommandFields {
public:
    explicit CommandFields(const char* line);

    bool ReadCode(int& code);
    int Int();
    float Float();
    std::string Word();

private:
    template <typename T>
    T Field();

    std::istringstream m_in;
};
