#include "platform/win32/Win32Sockets.h"

#include <mstcpip.h>

#include <utility>

namespace {

constexpr wchar_t kWindowClass[] = L"TavrixSocketWindow";
constexpr UINT kFirstMessage = WM_APP + 0x100;
constexpr UINT kLastMessage = 0xBFFF;
// Reads handed to the owner after the peer closed, to take data that came before the close.
constexpr int kMaxReadsBeforeClose = 1 << 16;

void RegisterWindowClassOnce() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
}

}  // namespace

Win32SocketFactory::Win32SocketFactory() : m_nextMessage(kFirstMessage) {
    RegisterWindowClassOnce();
    m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!m_window) return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
}

Win32SocketFactory::~Win32SocketFactory() {
    if (m_window) DestroyWindow(m_window);
}

std::unique_ptr<IListeningSocket> Win32SocketFactory::CreateListeningSocket(ISocketNotify& target) {
    return std::make_unique<Win32ListeningSocket>(*this, target);
}

UINT Win32SocketFactory::Watch(SOCKET socket, long events, ISocketNotify& target,
                               Win32StreamSocket* stream) {
    if (!m_window) return 0;
    const UINT count = kLastMessage - kFirstMessage + 1;
    for (UINT tried = 0; tried < count; ++tried) {
        const UINT message = m_nextMessage;
        m_nextMessage = message == kLastMessage ? kFirstMessage : message + 1;
        if (m_watched.count(message)) continue;
        if (WSAAsyncSelect(socket, m_window, message, events) != 0) return 0;
        m_watched[message] = Watched{socket, &target, stream};
        return message;
    }
    return 0;
}

void Win32SocketFactory::Unwatch(UINT message) {
    m_watched.erase(message);
}

const Win32SocketFactory::Watched* Win32SocketFactory::Find(UINT message, SOCKET socket) const {
    auto it = m_watched.find(message);
    if (it == m_watched.end() || it->second.socket != socket) return nullptr;
    return &it->second;
}

LRESULT CALLBACK Win32SocketFactory::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    auto* self = reinterpret_cast<Win32SocketFactory*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message >= kFirstMessage && message <= kLastMessage) {
        self->OnSocketEvent(message, static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The owner may destroy the socket inside any notification, so nothing found before a call
// is used after it.
void Win32SocketFactory::OnSocketEvent(UINT message, SOCKET socket, WORD event) {
    const Watched* watched = Find(message, socket);
    if (!watched) return;
    switch (event) {
        case FD_ACCEPT:
            watched->target->OnAccept();
            break;
        case FD_READ:
            watched->target->OnReceive();
            break;
        case FD_WRITE:
            if (watched->stream) watched->stream->Flush();
            if (const Watched* still = Find(message, socket)) still->target->OnSendReady();
            break;
        case FD_CLOSE:
            DeliverClose(message, socket);
            break;
        default:
            break;
    }
}

void Win32SocketFactory::DeliverClose(UINT message, SOCKET socket) {
    for (int reads = 0; reads < kMaxReadsBeforeClose; ++reads) {
        const Watched* watched = Find(message, socket);
        u_long available = 0;
        if (!watched || ioctlsocket(socket, FIONREAD, &available) != 0 || available == 0) break;
        watched->target->OnReceive();
    }
    if (const Watched* watched = Find(message, socket)) watched->target->OnClose();
}

Win32StreamSocket::Win32StreamSocket(Win32SocketFactory& factory, SOCKET socket,
                                     ISocketNotify& target, std::string peerAddress)
    : m_factory(factory), m_socket(socket), m_peerAddress(std::move(peerAddress)) {
    // Replies follow the read acknowledgement at once; don't let Nagle hold them back.
    BOOL noDelay = TRUE;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    m_message = m_factory.Watch(m_socket, FD_READ | FD_WRITE | FD_CLOSE, target, this);
}

Win32StreamSocket::~Win32StreamSocket() {
    if (m_message) m_factory.Unwatch(m_message);
    closesocket(m_socket);
}

void Win32StreamSocket::EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds) {
    BOOL on = TRUE;
    setsockopt(m_socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof(on));
    tcp_keepalive values = {};
    values.onoff = 1;
    values.keepalivetime = idleMilliseconds;
    values.keepaliveinterval = intervalMilliseconds;
    DWORD returned = 0;
    WSAIoctl(m_socket, SIO_KEEPALIVE_VALS, &values, sizeof(values), nullptr, 0, &returned, nullptr,
             nullptr);
}

int Win32StreamSocket::Receive(void* buffer, int maxCount) {
    if (maxCount <= 0) return 0;
    const int n = recv(m_socket, static_cast<char*>(buffer), maxCount, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

void Win32StreamSocket::Send(const void* data, int length) {
    if (m_broken || length <= 0) return;
    if (!m_queue.Append(data, static_cast<size_t>(length))) {
        // The device has stopped reading; end the connection rather than grow without bound.
        m_broken = true;
        m_queue.Clear();
        shutdown(m_socket, SD_BOTH);
        return;
    }
    SendQueued();
}

void Win32StreamSocket::ShutdownSend() {
    // Bytes still queued go out first.
    m_shutdownWhenSent = true;
    SendQueued();
}

void Win32StreamSocket::Flush() {
    SendQueued();
}

void Win32StreamSocket::SendQueued() {
    while (!m_queue.Empty()) {
        const int sent = send(m_socket, m_queue.Next(), static_cast<int>(m_queue.NextSize()), 0);
        if (sent == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                m_broken = true;
                break;
            }
            // FD_WRITE brings us back.
            m_queue.Blocked();
            return;
        }
        m_queue.Sent(static_cast<size_t>(sent));
    }
    m_queue.Clear();
    if (m_shutdownWhenSent) {
        m_shutdownWhenSent = false;
        shutdown(m_socket, SD_SEND);
    }
}

Win32ListeningSocket::Win32ListeningSocket(Win32SocketFactory& factory, ISocketNotify& target)
    : m_factory(factory), m_target(target) {}

Win32ListeningSocket::~Win32ListeningSocket() {
    if (m_message) m_factory.Unwatch(m_message);
    if (m_socket != INVALID_SOCKET) closesocket(m_socket);
}

bool Win32ListeningSocket::Fail() {
    m_failure =
        WSAGetLastError() == WSAEADDRINUSE ? ListenFailure::PortInUse : ListenFailure::Other;
    return false;
}

bool Win32ListeningSocket::Create(int port) {
    m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_socket == INVALID_SOCKET) return Fail();
    m_message =
        m_factory.Watch(m_socket, FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE,
                        m_target, nullptr);
    if (!m_message) return Fail();
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<u_short>(port));
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return Fail();
    return true;
}

bool Win32ListeningSocket::Listen(int backlog) {
    if (m_socket == INVALID_SOCKET) return false;
    if (listen(m_socket, backlog) != 0) return Fail();
    return true;
}

std::unique_ptr<IStreamSocket> Win32ListeningSocket::Accept(ISocketNotify& target) {
    sockaddr_in peer = {};
    int peerLength = sizeof(peer);
    SOCKET accepted = accept(m_socket, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    if (accepted == INVALID_SOCKET) return nullptr;
    std::string address;
    if (peer.sin_family == AF_INET) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&peer.sin_addr);
        address = std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
                  std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
    }
    return std::make_unique<Win32StreamSocket>(m_factory, accepted, target, std::move(address));
}
