#pragma once
#include <string>

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    // The logged-in user's account name, empty when it can't be had.
    virtual std::string UserName() = 0;
};
