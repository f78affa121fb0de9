#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

// Renames and writes as the system does, or refuses a rename when told to; records every
// rename.
class FakeFileSystem : public IFileSystem {
public:
    bool ReplaceFile(const std::string& source, const std::string& target) override {
        replacements.push_back(source + " -> " + target);
        if (refuse) return false;
        return std::rename(source.c_str(), target.c_str()) == 0;
    }

    bool WritePrivateFile(const std::string& path, const std::string& contents) override {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return false;
        const bool written =
            std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
        return std::fclose(file) == 0 && written;
    }

    bool refuse = false;
    std::vector<std::string> replacements;
};
