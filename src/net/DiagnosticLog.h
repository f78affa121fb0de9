#pragma once
#include <cstdio>

// The one-line diagnostic log. Opened for writing (truncated) once at start-up; the handle
// lives as long as the process. Whatever strangers cause, it never grows past kMaxBytes.
class DiagnosticLog {
public:
    static constexpr long kMaxBytes = 64 * 1024;

    explicit DiagnosticLog(const char* path);
    // Takes over a file its caller opened; null for no log.
    explicit DiagnosticLog(std::FILE* file) : m_file(file) {}
    ~DiagnosticLog();
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // "Closed!! " and a line feed, flushed at once.
    void WriteClosedLine();

private:
    std::FILE* m_file;
    long m_written = 0;
};
