#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

// Renames as the system does, or refuses when told to; records every request.
class FakeFileSystem : public IFileSystem {
public:
    bool ReplaceFile(const std::string& source, const std::string& target) override {
        replacements.push_back(source + " -> " + target);
        if (refuse) return false;
        return std::rename(source.c_str(), target.c_str()) == 0;
    }

    bool refuse = false;
    std::vector<std::string> replacements;
};
