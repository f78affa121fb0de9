#pragma once
#include <cstdio>

// The one-line diagnostic log. Opened for writing (truncated) once at start-up; the handle
// lives as long as the process.
class DiagnosticLog {
public:
    explicit DiagnosticLog(const char* path);
    ~DiagnosticLog();
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // "Closed!! " and a line feed, flushed at once.
    void WriteClosedLine();

private:
    std::FILE* m_file;
};
