#pragma once
#include <string>

// Reads a command line as formatted stream input does: blanks skipped, each field after one
// delimiter character (any non-blank one). Once a field can't be read, it and every later
// field read as 0 or empty. Scans the line in place, so the line must outlive the reader; a
// line costs no stream, locale or allocation unless a word is read.
class CommandFields {
public:
    explicit CommandFields(const char* line);

    bool ReadCode(int& code);
    int Int();
    float Float();
    std::string Word();

private:
    // Skips the delimiter before a field; false when the line has none left.
    bool SkipDelimiter();

    const char* m_at;
    bool m_failed;
};
