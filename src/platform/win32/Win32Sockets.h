#pragma once
#include <windows.h>
#include <winsock2.h>

#include <map>
#include <memory>
#include <string>

#include "platform/Socket.h"
#include "platform/common/PendingBytes.h"

class Win32StreamSocket;

// Non-blocking Winsock sockets whose events are posted (WSAAsyncSelect) to a hidden
// message-only window, so they reach the GUI thread through its ordinary message loop,
// nested modal loops included. Each socket gets its own message number, so a late event of
// a closed socket can never reach a newer one that happens to reuse the handle value.
class Win32SocketFactory : public ISocketFactory {
public:
    Win32SocketFactory();
    ~Win32SocketFactory() override;
    Win32SocketFactory(const Win32SocketFactory&) = delete;
    Win32SocketFactory& operator=(const Win32SocketFactory&) = delete;

    std::unique_ptr<IListeningSocket> CreateListeningSocket(ISocketNotify& target) override;

    // Returns the message number the socket's events arrive with, or 0 on failure.
    UINT Watch(SOCKET socket, long events, ISocketNotify& target, Win32StreamSocket* stream);
    void Unwatch(UINT message);

private:
    struct Watched {
        SOCKET socket;
        ISocketNotify* target;
        Win32StreamSocket* stream;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnSocketEvent(UINT message, SOCKET socket, WORD event);
    void DeliverClose(UINT message, SOCKET socket);
    const Watched* Find(UINT message, SOCKET socket) const;

    HWND m_window = nullptr;
    std::map<UINT, Watched> m_watched;
    UINT m_nextMessage;
};

class Win32StreamSocket : public IStreamSocket {
public:
    Win32StreamSocket(Win32SocketFactory& factory, SOCKET socket, ISocketNotify& target,
                      std::string peerAddress);
    ~Win32StreamSocket() override;
    Win32StreamSocket(const Win32StreamSocket&) = delete;
    Win32StreamSocket& operator=(const Win32StreamSocket&) = delete;

    int Receive(void* buffer, int maxCount) override;
    void Send(const void* data, int length) override;
    void ShutdownSend() override;
    size_t QueuedBytes() const override { return m_queue.Size(); }
    std::string PeerAddress() const override { return m_peerAddress; }
    void EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds) override;

    // The socket can take more: send what is queued.
    void Flush();

private:
    void SendQueued();

    Win32SocketFactory& m_factory;
    SOCKET m_socket;
    const std::string m_peerAddress;
    UINT m_message = 0;
    CPendingBytes m_queue;
    bool m_shutdownWhenSent = false;
    bool m_broken = false;
};

class Win32ListeningSocket : public IListeningSocket {
public:
    Win32ListeningSocket(Win32SocketFactory& factory, ISocketNotify& target);
    ~Win32ListeningSocket() override;
    Win32ListeningSocket(const Win32ListeningSocket&) = delete;
    Win32ListeningSocket& operator=(const Win32ListeningSocket&) = delete;

    bool Create(int port) override;
    bool Listen(int backlog) override;
    ListenFailure Failure() const override { return m_failure; }
    std::unique_ptr<IStreamSocket> Accept(ISocketNotify& target) override;

private:
    Win32SocketFactory& m_factory;
    ISocketNotify& m_target;
    bool Fail();

    SOCKET m_socket = INVALID_SOCKET;
    UINT m_message = 0;
    ListenFailure m_failure = ListenFailure::None;
};
