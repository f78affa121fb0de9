#include "net/DiagnosticLog.h"

DiagnosticLog::DiagnosticLog(const char* path) : m_file(path ? std::fopen(path, "wb") : nullptr) {}

DiagnosticLog::~DiagnosticLog() {
    if (m_file) std::fclose(m_file);
}

void DiagnosticLog::WriteClosedLine() {
    if (!m_file) return;
    std::fputs("Closed!! \n", m_file);
    std::fflush(m_file);
}
