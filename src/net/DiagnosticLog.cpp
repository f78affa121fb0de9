#include "net/DiagnosticLog.h"

namespace {

constexpr char kClosedLine[] = "Closed!! \n";

}  // namespace

DiagnosticLog::DiagnosticLog(const char* path) : m_file(path ? std::fopen(path, "wb") : nullptr) {}

DiagnosticLog::~DiagnosticLog() {
    if (m_file) std::fclose(m_file);
}

void DiagnosticLog::WriteClosedLine() {
    constexpr long kLength = sizeof(kClosedLine) - 1;
    if (!m_file || m_written + kLength > kMaxBytes) return;
    m_written += kLength;
    std::fputs(kClosedLine, m_file);
    std::fflush(m_file);
}
