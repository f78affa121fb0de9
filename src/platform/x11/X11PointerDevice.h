#pragma once
#include <memory>
#include <mutex>
#include <thread>

#include "platform/PointerDevice.h"
#include "platform/x11/X11Display.h"

// The X pointer through XTest. The thread that makes the device talks to X on a connection
// of its own; any other thread (the glide worker) shares a second one under a lock, since an
// Xlib connection serves one thread at a time.
class X11PointerDevice : public IPointerDevice {
public:
    X11PointerDevice();
    // Whether the X server answered and has the XTest extension.
    bool Usable() const { return m_usable; }

    ScreenPoint Position() override;
    void MoveTo(ScreenPoint point) override;
    void MoveBy(int dx, int dy) override;
    void Press(Button button) override;
    void Release(Button button) override;
    ButtonChange SendRawButtonWord(uint32_t word) override;
    void TurnWheelAt(ScreenPoint point, int delta) override;

private:
    // The connection for the calling thread, locked for as long as the holder lives.
    class Use;

    void ButtonEvent(unsigned int button, bool press);
    void ExtraButton(unsigned int button, bool press);

    const std::thread::id m_owner;
    X11Display m_own;
    std::mutex m_otherLock;
    std::unique_ptr<X11Display> m_other;
    bool m_usable = false;
    // Shared by both threads' wheel turns and the extra buttons they hold.
    std::mutex m_stateLock;
    int m_wheelCarried = 0;
    unsigned int m_extraHeld = 0;
};
