// The glide: after one command the pointer or the wheel carries on by itself, slowing down
// step by step, on a thread of its own.
#include <cmath>
#include <system_error>

#include "input/PointerInput.h"
#include "input/Truncate.h"
#include "platform/Clock.h"
#include "platform/PointerDevice.h"

namespace {

constexpr double kGlideStepFactor = -0.3333333333333333;
constexpr float kRestThreshold = 0.5f;
constexpr uint32_t kGlidePeriodMs = 23;
constexpr float kIdleDecay = -1.0f;

}  // namespace

void CPointerInput::StartCursorGlide(float vx, float vy, float decay) {
    StartGlide(vx, vy, decay, false);
}

void CPointerInput::StartScrollGlide(float vx, float vy, float decay) {
    StartGlide(vx, vy, decay, true);
}

void CPointerInput::StopGlide() {
    m_glideStop = true;
}

void CPointerInput::StartGlide(float vx, float vy, float decay, bool scrolls) {
    if (m_glideDecay > 0) return;
    // A decay of 0 or less would leave the running marker unset and let a second worker
    // loose on the same members; values that aren't finite would never come to rest.
    if (!(decay > 0) || !std::isfinite(decay) || !std::isfinite(vx) || !std::isfinite(vy)) {
        return;
    }
    // The last worker has marked itself idle, so it is at most returning.
    if (m_glideThread.joinable()) m_glideThread.join();
    m_glideVelocityX = vx;
    m_glideVelocityY = vy;
    m_glideScrolls = scrolls;
    m_glideDecay = decay;
    m_glideStop = false;
    try {
        m_glideThread = std::thread(&CPointerInput::GlideWorker, this);
    } catch (const std::system_error&) {
        m_glideDecay = kIdleDecay;
    }
}

void CPointerInput::StopAndJoinGlide() {
    m_glideStop = true;
    if (m_glideThread.joinable()) m_glideThread.join();
}

void CPointerInput::GlideWorker() {
    while (!m_glideStop) {
        const float vx = m_glideVelocityX;
        const float vy = m_glideVelocityY;
        if (std::fabs(vx) <= kRestThreshold && std::fabs(vy) <= kRestThreshold) break;
        if (m_glideScrolls) {
            TurnWheel(vy);
        } else {
            CursorGlideStep();
        }
        const float factor = 1.0f / m_glideDecay;
        m_glideVelocityX = m_glideVelocityX * factor;
        m_glideVelocityY = m_glideVelocityY * factor;
        m_clock.Sleep(kGlidePeriodMs);
    }
    m_glideDecay = kIdleDecay;
}

void CPointerInput::CursorGlideStep() {
    const float vx = m_glideVelocityX;
    const float vy = m_glideVelocityY;
    const ScreenPoint at = m_pointer.Position();
    const ScreenPoint target{at.x - TruncateToInt(vx * kGlideStepFactor),
                             at.y - TruncateToInt(vy * kGlideStepFactor)};
    m_pointer.MoveTo(target);
    // The system held the pointer at an edge: turn that way round.
    const ScreenPoint now = m_pointer.Position();
    if (!m_bounceOffEdges) return;
    if (now.x != target.x) m_glideVelocityX = -vx;
    if (now.y != target.y) m_glideVelocityY = -vy;
}
