#pragma once
#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/Sound.h"

// Plays at most one sound a second: a stranger connecting and leaving in a loop must not keep
// the speaker, or a stream of player processes, busy.
class CPacedSound : public ISound {
public:
    static constexpr uint32_t kMinIntervalMs = 1000;

    CPacedSound(ISound& sound, IClock& clock) : m_sound(sound), m_clock(clock) {}
    void Play(const std::string& fileName) override;

private:
    ISound& m_sound;
    IClock& m_clock;
    bool m_played = false;
    uint32_t m_lastPlayed = 0;
};
