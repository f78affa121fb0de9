// Checks the Win32 stream socket against a real loopback peer: what the socket can't take at
// once is sent later, in order, and a shutdown waits for the queued bytes.
#include <windows.h>
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32Sockets.h"

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    (ok ? g_passed : g_failed)++;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

struct AcceptTarget : ISocketNotify {
    IListeningSocket* listener = nullptr;
    ISocketNotify* connectionTarget = nullptr;
    std::unique_ptr<IStreamSocket> accepted;
    void OnAccept() override { accepted = listener->Accept(*connectionTarget); }
};

struct Quiet : ISocketNotify {};

// Reads from the blocking peer until count bytes or the end, pumping the server's messages
// between reads so queued bytes can go out.
std::string ReadFromPeer(SOCKET peer, size_t count, bool untilEnd) {
    std::string received;
    u_long nonBlocking = 1;
    ioctlsocket(peer, FIONBIO, &nonBlocking);
    const DWORD deadline = GetTickCount() + 20000;
    char buffer[65536];
    while ((untilEnd || received.size() < count) && GetTickCount() < deadline) {
        PumpMessages();
        const int n = recv(peer, buffer, sizeof(buffer), 0);
        if (n == 0) break;
        if (n > 0) {
            received.append(buffer, static_cast<size_t>(n));
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            Sleep(1);
        } else {
            break;
        }
    }
    return received;
}

std::string Pattern(size_t size, unsigned seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + seed) & 0xFF);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    WSADATA data;
    if (port <= 0 || WSAStartup(MAKEWORD(2, 2), &data) != 0) return 2;
    {
        Win32SocketFactory factory;
        AcceptTarget acceptTarget;
        Quiet connectionTarget;
        std::unique_ptr<IListeningSocket> listener = factory.CreateListeningSocket(acceptTarget);
        acceptTarget.listener = listener.get();
        acceptTarget.connectionTarget = &connectionTarget;
        Check(listener->Create(port) && listener->Listen(5), "listens");

        SOCKET peer = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        int smallBuffer = 4096;
        setsockopt(peer, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&smallBuffer),
                   sizeof(smallBuffer));
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<u_short>(port));
        Check(connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0,
              "peer connects");
        for (DWORD end = GetTickCount() + 5000; !acceptTarget.accepted && GetTickCount() < end;)
            PumpMessages();
        Check(acceptTarget.accepted != nullptr, "connection accepted");
        if (acceptTarget.accepted) {
            IStreamSocket& server = *acceptTarget.accepted;
            // Far more than the socket buffers hold while the peer isn't reading, in many
            // sends of different sizes.
            std::string expected;
            for (unsigned i = 0; i < 64; ++i) {
                const std::string block = Pattern(65536 * (i % 7 + 1) + i, i);
                server.Send(block.data(), static_cast<int>(block.size()));
                expected += block;
            }
            const std::string tail = "2000\n";
            server.Send(tail.data(), static_cast<int>(tail.size()));
            expected += tail;
            server.ShutdownSend();
            const std::string received = ReadFromPeer(peer, expected.size(), true);
            Check(received.size() == expected.size(), "every queued byte arrives");
            Check(received == expected, "bytes arrive in the order they were sent");
        }
        closesocket(peer);
    }
    WSACleanup();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
