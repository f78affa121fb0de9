// The socket side that every native floor program shares: the least a loopback server can do
// to speak the device's framing, so that a benchmark measures the real server against it.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Serves one device at a time on 127.0.0.1:port. Each time the connection is readable it
// makes one read of at most 512 bytes, acknowledges it with the four bytes 0A 00 00 00, and
// hands every complete line (without its line feed) to the handler.
class FloorServer {
public:
    using LineHandler = std::function<void(FloorServer&, std::string_view)>;

    explicit FloorServer(LineHandler handler) : m_handler(std::move(handler)) {}
    ~FloorServer();
    FloorServer(const FloorServer&) = delete;
    FloorServer& operator=(const FloorServer&) = delete;

    // Calls onReadable whenever fd has something to read (an X connection's events).
    void Watch(int fd, std::function<void()> onReadable);
    // Serves until lifetimeSeconds have passed; the result is the process's exit code.
    int Run(unsigned short port, unsigned lifetimeSeconds);
    // Sends the whole block to the connected device, waiting a bounded time for room.
    bool Send(const char* data, size_t length);
    bool Send(std::string_view text) { return Send(text.data(), text.size()); }

private:
    bool Listen(unsigned short port);
    void OnAccept();
    void OnRead();
    void CloseConnection();

    LineHandler m_handler;
    int m_listener = -1;
    int m_connection = -1;
    int m_watched = -1;
    std::function<void()> m_onWatched;
    std::string m_pending;
};

// Reads "<port> <lifetime seconds>" from the command line and runs the server: the common
// start of every floor program.
int RunFloor(int argc, char** argv, FloorServer& server);
