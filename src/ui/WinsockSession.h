#pragma once
#include <winsock2.h>

// Windows Sockets for the life of the main window; cleaned up after every socket is gone.
class CWinsockSession {
public:
    CWinsockSession() = default;
    ~CWinsockSession() {
        if (m_started) WSACleanup();
    }
    CWinsockSession(const CWinsockSession&) = delete;
    CWinsockSession& operator=(const CWinsockSession&) = delete;

    bool Start() {
        WSADATA data;
        if (!m_started) m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        return m_started;
    }

private:
    bool m_started = false;
};
