#pragma once
#include <string>

class ISound {
public:
    virtual ~ISound() = default;
    // Starts playing a wave file by name and returns at once.
    virtual void Play(const std::string& fileName) = 0;
};
