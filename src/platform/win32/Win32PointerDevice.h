#pragma once
#include "platform/PointerDevice.h"

// mouse_event, the cursor position and wheel messages. It holds no state, so the glide
// worker and the GUI thread can share it.
class Win32PointerDevice : public IPointerDevice {
public:
    ScreenPoint Position() override;
    void MoveTo(ScreenPoint point) override;
    void Press(Button button) override;
    void Release(Button button) override;
    ButtonChange SendRawButtonWord(uint32_t word) override;
    void TurnWheelAt(ScreenPoint point, int delta) override;
};
