#pragma once
#include <string>

class ISound {
public:
    virtual ~ISound() = default;
    // Plays a wave file by name and returns when it has finished.
    virtual void PlayFileSync(const std::string& fileName) = 0;
};
