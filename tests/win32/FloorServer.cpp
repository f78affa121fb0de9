#include "FloorServer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr char kWindowClass[] = "TavrixFloorWindow";
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr int kReadSize = 512;
constexpr char kAcknowledgement[4] = {'\n', 0, 0, 0};
// A line longer than this is no command of the device; it is dropped, not kept growing.
constexpr size_t kMaxPending = 2048;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr char kHello[] = "1000:Floor:0:1.0 PC\n";
constexpr char kRefused[] = "2000\n";

// Waits until the socket can take more bytes or the deadline has come.
bool WaitWritable(SOCKET socket, DWORD deadline) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(deadline - now) <= 0) return false;
    const DWORD left = deadline - now;
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket, &writable);
    timeval timeout{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    return select(0, nullptr, &writable, nullptr, &timeout) == 1;
}

}  // namespace

void OwnedSocket::Reset(SOCKET socket) {
    if (m_socket != INVALID_SOCKET) closesocket(m_socket);
    m_socket = socket;
}

SOCKET OwnedSocket::Release() {
    const SOCKET socket = m_socket;
    m_socket = INVALID_SOCKET;
    return socket;
}

int FloorServer::Run(unsigned short port, unsigned lifetimeSeconds) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 3;
    const int result = Serve(port, lifetimeSeconds);
    WSACleanup();
    return result;
}

int FloorServer::Serve(unsigned short port, unsigned lifetimeSeconds) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass)) return 4;
    m_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
    int result = 5;
    if (m_window) {
        SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (Listen(port) && SetTimer(m_window, kLifetimeTimer, lifetimeSeconds * 1000, nullptr)) {
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
            result = 0;
        }
        m_connection.Reset();
        m_listener.Reset();
        DestroyWindow(m_window);
        m_window = nullptr;
    }
    UnregisterClassA(kWindowClass, windowClass.hInstance);
    return result;
}

bool FloorServer::Listen(unsigned short port) {
    m_listener.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!m_listener.Valid()) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return bind(m_listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) ==
               0 &&
           listen(m_listener.Get(), 1) == 0 &&
           WSAAsyncSelect(m_listener.Get(), m_window, kSocketMessage, FD_ACCEPT) == 0;
}

LRESULT CALLBACK FloorServer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FloorServer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == kSocketMessage) {
        const auto socket = static_cast<SOCKET>(wParam);
        const WORD event = WSAGETSELECTEVENT(lParam);
        if (event == FD_ACCEPT && socket == self->m_listener.Get()) self->OnAccept();
        if (socket != self->m_connection.Get()) return 0;
        if (event == FD_READ) self->OnRead();
        if (event == FD_CLOSE) self->OnClose();
        return 0;
    }
    if (message == WM_TIMER && wParam == kLifetimeTimer) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void FloorServer::OnAccept() {
    OwnedSocket accepted(accept(m_listener.Get(), nullptr, nullptr));
    if (!accepted.Valid()) return;
    if (m_connection.Valid()) {
        send(accepted.Get(), kRefused, sizeof(kRefused) - 1, 0);
        return;
    }
    // Replies follow the acknowledgement at once, as the real server sends them.
    BOOL noDelay = TRUE;
    setsockopt(accepted.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    if (WSAAsyncSelect(accepted.Get(), m_window, kSocketMessage, FD_READ | FD_CLOSE) != 0) return;
    m_connection.Reset(accepted.Release());
    m_pending.clear();
    Send(kHello, sizeof(kHello) - 1);
}

void FloorServer::OnRead() {
    char data[kReadSize];
    const int count = recv(m_connection.Get(), data, kReadSize, 0);
    Send(kAcknowledgement, sizeof(kAcknowledgement));
    if (count <= 0) return;
    m_pending.append(data, static_cast<size_t>(count));
    size_t start = 0;
    for (size_t end; (end = m_pending.find('\n', start)) != std::string::npos; start = end + 1) {
        m_handler(*this, std::string_view(m_pending).substr(start, end - start));
    }
    m_pending.erase(0, start);
    if (m_pending.size() > kMaxPending) m_pending.clear();
}

void FloorServer::OnClose() {
    m_connection.Reset();
    m_pending.clear();
}

bool FloorServer::Send(const char* data, size_t length) {
    const DWORD deadline = GetTickCount() + kSendTimeoutMs;
    while (length > 0 && m_connection.Valid()) {
        const int part = static_cast<int>(std::min<size_t>(length, INT_MAX));
        const int sent = send(m_connection.Get(), data, part, 0);
        if (sent > 0) {
            data += sent;
            length -= static_cast<size_t>(sent);
        } else if (WSAGetLastError() != WSAEWOULDBLOCK ||
                   !WaitWritable(m_connection.Get(), deadline)) {
            return false;
        }
    }
    return length == 0;
}

int RunFloor(int argc, char** argv, FloorServer::LineHandler handler) {
    if (argc < 3) return 2;
    const long port = std::strtol(argv[1], nullptr, 10);
    const long lifetime = std::strtol(argv[2], nullptr, 10);
    if (port <= 0 || port > 65535 || lifetime <= 0 || lifetime > 86400) return 2;
    FloorServer server(std::move(handler));
    return server.Run(static_cast<unsigned short>(port), static_cast<unsigned>(lifetime));
}
