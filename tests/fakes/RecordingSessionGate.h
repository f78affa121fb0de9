#pragma once
#include <functional>
#include <string>
#include <vector>

#include "protocol/SessionGate.h"

// Notes what the dispatcher hands the gate; a password is also passed on when a test wires
// forwardPassword to a server.
class RecordingSessionGate : public ISessionGate {
public:
    void CheckPassword(const std::string& text) override {
        passwords.push_back(text);
        if (forwardPassword) forwardPassword(text);
    }
    void SetDeviceName(const std::string& name) override { deviceNames.push_back(name); }

    std::function<void(const std::string&)> forwardPassword;
    std::vector<std::string> passwords;
    std::vector<std::string> deviceNames;
};
