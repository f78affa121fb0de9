// The socket side that every floor program shares: the least a loopback server can do to
// speak the device's framing, so that a benchmark measures the real server against it.
#pragma once
#include <windows.h>
#include <winsock2.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// A stream socket closed by whoever holds it.
class OwnedSocket {
public:
    explicit OwnedSocket(SOCKET socket = INVALID_SOCKET) : m_socket(socket) {}
    ~OwnedSocket() { Reset(); }
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;

    SOCKET Get() const { return m_socket; }
    bool Valid() const { return m_socket != INVALID_SOCKET; }
    void Reset(SOCKET socket = INVALID_SOCKET);
    SOCKET Release();

private:
    SOCKET m_socket;
};

// Serves one device at a time on 127.0.0.1:port. A message-only window receives the socket
// notifications; each one makes one read of at most 512 bytes, acknowledges it with the four
// bytes 0A 00 00 00, and hands every complete line (without its line feed) to the handler.
class FloorServer {
public:
    using LineHandler = std::function<void(FloorServer&, std::string_view)>;

    explicit FloorServer(LineHandler handler) : m_handler(std::move(handler)) {}

    // Serves until lifetimeSeconds have passed; the result is the process's exit code.
    int Run(unsigned short port, unsigned lifetimeSeconds);
    // Sends the whole block to the connected device, waiting a bounded time for room.
    bool Send(const char* data, size_t length);
    bool Send(std::string_view text) { return Send(text.data(), text.size()); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int Serve(unsigned short port, unsigned lifetimeSeconds);
    bool Listen(unsigned short port);
    void OnAccept();
    void OnRead();
    void OnClose();

    LineHandler m_handler;
    HWND m_window = nullptr;
    OwnedSocket m_listener;
    OwnedSocket m_connection;
    std::string m_pending;
};

// Reads "<port> <lifetime seconds>" from the command line and runs the server: the common
// start of every floor program.
int RunFloor(int argc, char** argv, FloorServer::LineHandler handler);
