#pragma once
#include <cstdint>
#include <vector>

#include "net/ServerEvents.h"

// Counts the link changes and keeps the connection ids of the posted drop requests, which a
// test then handles itself through CloseConnectionGracefully.
class RecordingServerEvents : public IServerEvents {
public:
    void OnLinkChanged() override { ++linkChanges; }
    void PostDropConnection(uint32_t connectionId) override { drops.push_back(connectionId); }

    int linkChanges = 0;
    std::vector<uint32_t> drops;
};
