#include "platform/common/PointerWords.h"

#include <initializer_list>

namespace {

constexpr uint32_t kMove = 0x0001;
constexpr uint32_t kAbsolute = 0x8000;
// The X buttons' word names them in its high half, as a Windows X button message does.
constexpr uint32_t kSecondXButton = 0x2;

struct RawButton {
    Button button;
    uint32_t press;
    uint32_t release;
};
constexpr RawButton kRawButtons[] = {
    {Button::Left, 0x0002, 0x0004},
    {Button::Right, 0x0008, 0x0010},
    {Button::Middle, 0x0020, 0x0040},
    {Button::Extra, 0x0080, 0x0100},
};

}  // namespace

int WheelClicks(int delta, int* carried) {
    if ((delta > 0 && *carried < 0) || (delta < 0 && *carried > 0)) *carried = 0;
    const long total = static_cast<long>(*carried) + delta;
    const long clicks = total / kWheelStep;
    *carried = static_cast<int>(total - clicks * kWheelStep);
    return static_cast<int>(clicks);
}

RawButtonSteps DecodeRawButtonWord(uint32_t word) {
    RawButtonSteps result;
    result.moveToOrigin = (word & kMove) && (word & kAbsolute);
    const bool forward = ((word >> 16) & kSecondXButton) != 0;
    for (const RawButton& raw : kRawButtons) {
        for (const bool press : {true, false}) {
            if (!(word & (press ? raw.press : raw.release))) continue;
            result.steps[result.count++] = RawButtonStep{raw.button, forward, press};
            (press ? result.change.pressed : result.change.released) |= ButtonBit(raw.button);
        }
    }
    return result;
}
