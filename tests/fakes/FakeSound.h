#pragma once
#include <string>
#include <vector>

#include "platform/Sound.h"

class FakeSound : public ISound {
public:
    void Play(const std::string& fileName) override { played.push_back(fileName); }

    std::vector<std::string> played;
};
