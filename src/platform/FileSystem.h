#pragma once
#include <string>

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // Puts source in target's place in one step, replacing target if it exists; false,
    // with target untouched, when that fails.
    virtual bool ReplaceFile(const std::string& source, const std::string& target) = 0;
    // Creates or truncates the file so that only its owner may read it, before anything is
    // written, then writes contents; false when any of that fails.
    virtual bool WritePrivateFile(const std::string& path, const std::string& contents) = 0;
};
