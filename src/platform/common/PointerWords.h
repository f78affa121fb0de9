#pragma once
#include <cstdint>

#include "platform/PointerDevice.h"

// The wheel and raw-word rules that every platform's pointer shares.

// A wheel click is one notch of a Windows wheel.
constexpr int kWheelStep = 120;

// Wheel clicks for a turn of delta, one per full step, the rest carried into the next turn
// (dropped when the direction changes); positive clicks turn away from the user.
int WheelClicks(int delta, int* carried);

// One press or release that a raw button word asks for; forward names the second X button
// (the word's high half says which), back otherwise.
struct RawButtonStep {
    Button button = Button::Left;
    bool forward = false;
    bool press = false;
};

// What the flag word of a Windows mouse event does, in the order Windows carries it out.
struct RawButtonSteps {
    // An absolute move in the word goes to its coordinates, which a raw word leaves at 0.
    bool moveToOrigin = false;
    RawButtonStep steps[8];
    int count = 0;
    ButtonChange change;
};

RawButtonSteps DecodeRawButtonWord(uint32_t word);
