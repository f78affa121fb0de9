#pragma once
#include <cstdint>

// What the connection server tells the window that shows it.
class IServerEvents {
public:
    virtual ~IServerEvents() = default;
    // A device connected or left, or the server started or stopped listening.
    virtual void OnLinkChanged() = 0;
    // Posted, not handled at once: the connection is shut down after the current dispatch,
    // through CConnectionServer::CloseConnectionGracefully.
    virtual void PostDropConnection(uint32_t connectionId) = 0;
};
