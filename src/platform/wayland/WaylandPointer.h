#pragma once
#include <mutex>

#include "platform/PointerDevice.h"

class CWaylandSession;
struct zwlr_virtual_pointer_v1;

// The pointer through the compositor's virtual pointer (wlroots). The compositor never says
// where the pointer is, so the position is the one this pointer last sent, kept within the
// outputs. Any thread: the requests go out under a lock, each event closed by a frame.
class CWaylandPointer : public IPointerDevice {
public:
    explicit CWaylandPointer(CWaylandSession& session);
    ~CWaylandPointer() override;
    CWaylandPointer(const CWaylandPointer&) = delete;
    CWaylandPointer& operator=(const CWaylandPointer&) = delete;

    ScreenPoint Position() override;
    void MoveTo(ScreenPoint point) override;
    void MoveBy(int dx, int dy) override;
    void Press(Button button) override;
    void Release(Button button) override;
    ButtonChange SendRawButtonWord(uint32_t word) override;
    void TurnWheelAt(ScreenPoint point, int delta) override;

private:
    void ButtonEvent(uint32_t code, bool press);
    void ExtraButton(bool forward, bool press);
    void EndFrame();

    CWaylandSession& m_session;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    std::mutex m_lock;
    ScreenPoint m_at;
    int m_wheelCarried = 0;
    // The X buttons held: bit 0 back, bit 1 forward.
    unsigned m_extraHeld = 0;
};
