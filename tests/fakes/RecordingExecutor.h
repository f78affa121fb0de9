#pragma once
#include <string>
#include <vector>

#include "fakes/CallText.h"
#include "fakes/RecordingCommandParts.h"
#include "protocol/CommandExecutor.h"

// Holds the parts, so that they exist before the executor they are handed to.
struct RecordingPartsHolder {
    RecordingCommandParts parts;
};

// The real executor in front of recording parts: calls holds every operation as its
// CallText, the ignored code 200 included, and payloads every payload whole.
class RecordingExecutor : private RecordingPartsHolder, public CCommandExecutor {
public:
    RecordingExecutor() : CCommandExecutor(parts.All()) {}

    void IgnoreCode200(int a, float b, float c, float d, float e) override {
        calls.push_back(CallText("IgnoreCode200", a, b, c, d, e));
        CCommandExecutor::IgnoreCode200(a, b, c, d, e);
    }
    void ReceiveRemoteScreen(const void* data, int length) override {
        payloads.emplace_back(static_cast<const char*>(data), static_cast<size_t>(length));
        CCommandExecutor::ReceiveRemoteScreen(data, length);
    }

    // The ends of device sessions that reached the parts.
    const std::vector<std::string>& Ends() const { return parts.ends; }
    void SetWindowListChanged(bool changed) { parts.windowListChanged = changed; }

    std::vector<std::string>& calls = parts.calls;
    std::vector<std::string> payloads;
};
