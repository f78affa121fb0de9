#include "platform/wayland/WaylandPointer.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>

#include "platform/common/PointerWords.h"
#include "platform/wayland/EvdevCodes.h"
#include "platform/wayland/WaylandSession.h"
#include "wlr-virtual-pointer-unstable-v1-client.h"

namespace {

// A wheel click as a physical wheel's axis event reports it.
constexpr double kAxisPerClick = 15.0;
// Farther than any desktop reaches, and within what a 24.8 fixed-point motion can carry.
constexpr int kMaxMotion = 1 << 20;

uint32_t Now() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

CWaylandPointer::CWaylandPointer(CWaylandSession& session) : m_session(session) {
    if (!session.PointerManager()) return;
    m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(session.PointerManager(),
                                                                       session.Seat());
    const ScreenRect extent = session.Extent();
    m_at = ScreenPoint{(extent.left + extent.right) / 2, (extent.top + extent.bottom) / 2};
    session.Flush();
}

CWaylandPointer::~CWaylandPointer() {
    if (!m_pointer) return;
    // Nothing stays pressed when the server ends.
    for (const bool forward : {false, true}) {
        if (m_extraHeld & (forward ? 2u : 1u)) ExtraButton(forward, false);
    }
    zwlr_virtual_pointer_v1_destroy(m_pointer);
    m_session.Flush();
}

void CWaylandPointer::EndFrame() {
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_session.Flush();
}

ScreenPoint CWaylandPointer::Position() {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_at;
}

void CWaylandPointer::MoveTo(ScreenPoint point) {
    if (!m_pointer) return;
    const ScreenRect extent = m_session.Extent();
    const int width = extent.right - extent.left;
    const int height = extent.bottom - extent.top;
    if (width <= 0 || height <= 0) return;
    const std::lock_guard<std::mutex> lock(m_lock);
    // The compositor keeps the pointer on the outputs; so does the kept position.
    m_at.x = std::clamp(point.x, extent.left, extent.right - 1);
    m_at.y = std::clamp(point.y, extent.top, extent.bottom - 1);
    zwlr_virtual_pointer_v1_motion_absolute(
        m_pointer, Now(), static_cast<uint32_t>(m_at.x - extent.left),
        static_cast<uint32_t>(m_at.y - extent.top), static_cast<uint32_t>(width),
        static_cast<uint32_t>(height));
    EndFrame();
}

void CWaylandPointer::MoveBy(int dx, int dy) {
    if (!m_pointer) return;
    const ScreenRect extent = m_session.Extent();
    const std::lock_guard<std::mutex> lock(m_lock);
    if (extent.right > extent.left && extent.bottom > extent.top) {
        m_at.x = std::clamp(m_at.x + dx, extent.left, extent.right - 1);
        m_at.y = std::clamp(m_at.y + dy, extent.top, extent.bottom - 1);
    }
    zwlr_virtual_pointer_v1_motion(m_pointer, Now(),
                                   wl_fixed_from_int(std::clamp(dx, -kMaxMotion, kMaxMotion)),
                                   wl_fixed_from_int(std::clamp(dy, -kMaxMotion, kMaxMotion)));
    EndFrame();
}

void CWaylandPointer::ButtonEvent(uint32_t code, bool press) {
    if (!m_pointer) return;
    const std::lock_guard<std::mutex> lock(m_lock);
    zwlr_virtual_pointer_v1_button(
        m_pointer, Now(), code,
        press ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    EndFrame();
}

void CWaylandPointer::ExtraButton(bool forward, bool press) {
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const unsigned bit = forward ? 2u : 1u;
        m_extraHeld = press ? (m_extraHeld | bit) : (m_extraHeld & ~bit);
    }
    ButtonEvent(EvdevButton(Button::Extra, forward), press);
}

void CWaylandPointer::Press(Button button) {
    if (button == Button::Extra) {
        ExtraButton(false, true);
        return;
    }
    ButtonEvent(EvdevButton(button, false), true);
}

void CWaylandPointer::Release(Button button) {
    if (button != Button::Extra) {
        ButtonEvent(EvdevButton(button, false), false);
        return;
    }
    unsigned held = 0;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        held = m_extraHeld;
    }
    // As on Windows, a release goes out even when no X button is held.
    if (held == 0 || (held & 1u)) ExtraButton(false, false);
    if (held & 2u) ExtraButton(true, false);
}

ButtonChange CWaylandPointer::SendRawButtonWord(uint32_t word) {
    const RawButtonSteps raw = DecodeRawButtonWord(word);
    if (raw.moveToOrigin) MoveTo(ScreenPoint{0, 0});
    for (int i = 0; i < raw.count; ++i) {
        const RawButtonStep& step = raw.steps[i];
        if (step.button == Button::Extra) {
            ExtraButton(step.forward, step.press);
        } else {
            ButtonEvent(EvdevButton(step.button, false), step.press);
        }
    }
    return raw.change;
}

void CWaylandPointer::TurnWheelAt(ScreenPoint, int delta) {
    // The clicks go where the pointer is, which is the point the core asks for.
    if (!m_pointer) return;
    const std::lock_guard<std::mutex> lock(m_lock);
    const int clicks = WheelClicks(delta, &m_wheelCarried);
    if (clicks == 0) return;
    // Wayland's vertical axis grows toward the user; the device's away from the user.
    const int steps = -clicks;
    zwlr_virtual_pointer_v1_axis_source(m_pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
    zwlr_virtual_pointer_v1_axis_discrete(m_pointer, Now(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_double(kAxisPerClick * steps), steps);
    EndFrame();
}
