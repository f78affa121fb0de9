#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Stream sockets whose notifications arrive on the GUI thread. The core never sees a
// socket handle; it is told that something happened and then calls Receive/Send.

class ISocketNotify {
public:
    virtual ~ISocketNotify() = default;
    virtual void OnAccept() {}
    virtual void OnReceive() {}
    virtual void OnClose() {}
    // The socket can take more; sent after it has passed on what it had queued.
    virtual void OnSendReady() {}
};

// One connected stream socket. Destroying it closes the handle.
class IStreamSocket {
public:
    virtual ~IStreamSocket() = default;
    // Never waits. Bytes read (> 0), 0 when the peer has closed, < 0 on error or nothing there.
    virtual int Receive(void* buffer, int maxCount) = 0;
    // Takes the whole block. What the socket can't take at once is queued and sent later,
    // in order.
    virtual void Send(const void* data, int length) = 0;
    virtual void ShutdownSend() = 0;
    // Bytes taken by Send that the system hasn't accepted yet.
    virtual size_t QueuedBytes() const = 0;
    // The peer's address as text (dotted IPv4); empty when unknown.
    virtual std::string PeerAddress() const = 0;
    // Has the system probe a silent peer: first after idle, then every interval.
    virtual void EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds) = 0;
};

// Why a listening socket could not be made.
enum class ListenFailure { None, PortInUse, Other };

class IListeningSocket {
public:
    virtual ~IListeningSocket() = default;
    // A stream socket bound to any local address on the port.
    virtual bool Create(int port) = 0;
    virtual bool Listen(int backlog) = 0;
    // Why the last Create or Listen failed.
    virtual ListenFailure Failure() const = 0;
    // Accepts one waiting connection whose notifications go to the given target.
    virtual std::unique_ptr<IStreamSocket> Accept(ISocketNotify& target) = 0;
};

class ISocketFactory {
public:
    virtual ~ISocketFactory() = default;
    virtual std::unique_ptr<IListeningSocket> CreateListeningSocket(ISocketNotify& target) = 0;
};
