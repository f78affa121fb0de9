#pragma once
#include <string>

// Where the dispatcher hands the two lines that are obeyed before the password.
class ISessionGate {
public:
    virtual ~ISessionGate() = default;
    // The device's password; the answer goes back to the device.
    virtual void CheckPassword(const std::string& text) = 0;
    // The name the device gave in its hello.
    virtual void SetDeviceName(const std::string& name) = 0;
};
