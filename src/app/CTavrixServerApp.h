#pragma once

class DiagnosticLog;

// The program: one instance, a warning when DNS-SD is missing, then the server dialog for
// the whole run.
class CTavrixServerApp {
public:
    explicit CTavrixServerApp(DiagnosticLog& log) : m_log(log) {}

    // Runs the whole program; false in every case, as the program ends when it returns.
    bool InitInstance();

private:
    DiagnosticLog& m_log;
};
