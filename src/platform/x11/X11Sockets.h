#pragma once
#include <glib.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/Socket.h"
#include "platform/common/PendingBytes.h"

// One descriptor watched on GLib's default main context for the conditions asked for. The
// handler may run a nested loop (a file dialog's) in which the same descriptor is reported
// again, as Windows delivers a socket's messages inside a modal loop. Of the watches ready
// at once, only those of the highest priority (the lowest number) are handled first.
class X11FdWatch {
public:
    X11FdWatch(int fd, std::function<void(GIOCondition)> handler,
               int priority = G_PRIORITY_DEFAULT);
    ~X11FdWatch();
    X11FdWatch(const X11FdWatch&) = delete;
    X11FdWatch& operator=(const X11FdWatch&) = delete;

    // G_IO_IN and/or G_IO_OUT; hang-ups and errors are always reported.
    void SetConditions(GIOCondition conditions);

private:
    struct Source;
    static gboolean Dispatch(GSource* source, GSourceFunc, gpointer);

    Source* m_source = nullptr;
    int m_fd = -1;
    gpointer m_tag = nullptr;
    std::function<void(GIOCondition)> m_handler;
};

class X11SocketFactory : public ISocketFactory {
public:
    std::unique_ptr<IListeningSocket> CreateListeningSocket(ISocketNotify& target) override;
};

// A non-blocking connected socket. Notifications follow Winsock's: OnReceive while data
// waits and the owner reads it (a notification the owner doesn't read from pauses them until
// it does), OnClose once the peer has closed and what it sent before has been read, and
// OnSendReady when the bytes queued by Send have all been passed on.
class X11StreamSocket : public IStreamSocket {
public:
    X11StreamSocket(int fd, ISocketNotify& target, std::string peerAddress);
    ~X11StreamSocket() override;
    X11StreamSocket(const X11StreamSocket&) = delete;
    X11StreamSocket& operator=(const X11StreamSocket&) = delete;

    int Receive(void* buffer, int maxCount) override;
    void Send(const void* data, int length) override;
    void ShutdownSend() override;
    size_t QueuedBytes() const override { return m_queue.Size(); }
    std::string PeerAddress() const override { return m_peerAddress; }
    void EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds) override;

private:
    void OnReady(GIOCondition ready);
    void OnReadable(GIOCondition ready);
    void DeliverReceive();
    void DeliverClose();
    void SendQueued();
    void UpdateWatch();

    const int m_fd;
    ISocketNotify& m_target;
    const std::string m_peerAddress;
    X11FdWatch m_watch;
    // False once the object is gone; a notification's owner may destroy it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    CPendingBytes m_queue;
    bool m_shutdownWhenSent = false;
    bool m_broken = false;
    bool m_readPaused = false;
    bool m_closeDelivered = false;
    unsigned m_receives = 0;
};

class X11ListeningSocket : public IListeningSocket {
public:
    explicit X11ListeningSocket(ISocketNotify& target);
    ~X11ListeningSocket() override;
    X11ListeningSocket(const X11ListeningSocket&) = delete;
    X11ListeningSocket& operator=(const X11ListeningSocket&) = delete;

    bool Create(int port) override;
    bool Listen(int backlog) override;
    ListenFailure Failure() const override { return m_failure; }
    std::unique_ptr<IStreamSocket> Accept(ISocketNotify& target) override;

private:
    bool Fail();
    void OnReady();
    static gboolean Resume(gpointer data);

    ISocketNotify& m_target;
    int m_fd = -1;
    std::unique_ptr<X11FdWatch> m_watch;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    ListenFailure m_failure = ListenFailure::None;
    unsigned m_accepts = 0;
    guint m_resume = 0;
};
