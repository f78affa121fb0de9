#include "platform/common/PacedSound.h"

void CPacedSound::Play(const std::string& fileName) {
    const uint32_t now = m_clock.TickCount();
    if (m_played && now - m_lastPlayed < kMinIntervalMs) return;
    m_played = true;
    m_lastPlayed = now;
    m_sound.Play(fileName);
}
