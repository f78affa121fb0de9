#pragma once
#include <string>

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // Puts source in target's place in one step, replacing target if it exists; false,
    // with target untouched, when that fails.
    virtual bool ReplaceFile(const std::string& source, const std::string& target) = 0;
};
