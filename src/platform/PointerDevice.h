#pragma once
#include <cstdint>

#include "platform/Geometry.h"

// The buttons the device names. Extra stands for the side buttons a raw word may press.
enum class Button : uint8_t { Left, Right, Middle, Extra };

// Buttons as bits (1 << Button), for what a raw word pressed or released.
struct ButtonChange {
    uint8_t pressed = 0;
    uint8_t released = 0;
};

constexpr uint8_t ButtonBit(Button button) {
    return static_cast<uint8_t>(1u << static_cast<unsigned>(button));
}

// The system pointer that the device's input moves. Every call may come from the GUI thread
// or from the glide worker, so an implementation keeps no unguarded state of its own.
class IPointerDevice {
public:
    virtual ~IPointerDevice() = default;
    virtual ScreenPoint Position() = 0;
    virtual void MoveTo(ScreenPoint point) = 0;
    // By the distance from where the pointer is; the system keeps it on the screen. Systems
    // that can add the distance themselves spare the question where it is.
    virtual void MoveBy(int dx, int dy) {
        const ScreenPoint at = Position();
        MoveTo({at.x + dx, at.y + dy});
    }
    // A press or release at the pointer's position.
    virtual void Press(Button button) = 0;
    virtual void Release(Button button) = 0;
    // A value the device sends in place of a button, passed to the system as it is; says
    // which buttons that pressed or released.
    virtual ButtonChange SendRawButtonWord(uint32_t word) = 0;
    // Turns the wheel of the window under the point by delta (positive is away from the
    // user); nothing when no window is there.
    virtual void TurnWheelAt(ScreenPoint point, int delta) = 0;
};
