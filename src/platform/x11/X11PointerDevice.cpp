#include "platform/x11/X11PointerDevice.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

#include "platform/common/PointerWords.h"

namespace {

// Coordinates travel as 16-bit numbers: a larger one would wrap around to the other side
// instead of stopping at the screen's edge.
int ToWire(int value) {
    return std::clamp(value, -32767, 32767);
}

// X's core buttons.
constexpr unsigned int kLeft = 1;
constexpr unsigned int kMiddle = 2;
constexpr unsigned int kRight = 3;
constexpr unsigned int kWheelAway = 4;
constexpr unsigned int kWheelToward = 5;
constexpr unsigned int kBack = 8;
constexpr unsigned int kForward = 9;

unsigned int XButtonOf(Button button) {
    switch (button) {
        case Button::Left:
            return kLeft;
        case Button::Right:
            return kRight;
        case Button::Middle:
            return kMiddle;
        case Button::Extra:
            break;
    }
    return kBack;
}

unsigned int ExtraBit(unsigned int xButton) {
    return 1u << (xButton - kBack);
}

}  // namespace

class X11PointerDevice::Use {
public:
    explicit Use(X11PointerDevice& device) {
        if (std::this_thread::get_id() == device.m_owner) {
            m_display = device.m_own.get();
            return;
        }
        m_lock = std::unique_lock<std::mutex>(device.m_otherLock);
        if (!device.m_other) device.m_other = std::make_unique<X11Display>();
        m_display = device.m_other->get();
    }
    Display* display() const { return m_display; }

private:
    std::unique_lock<std::mutex> m_lock;
    Display* m_display = nullptr;
};

X11PointerDevice::X11PointerDevice() : m_owner(std::this_thread::get_id()) {
    if (!m_own) return;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    m_usable = XTestQueryExtension(m_own.get(), &eventBase, &errorBase, &major, &minor) != False;
}

ScreenPoint X11PointerDevice::Position() {
    if (!m_usable) return ScreenPoint{};
    const Use use(*this);
    Display* display = use.display();
    if (!display) return ScreenPoint{};
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
    // On another screen than the default one the answer is still where it is there.
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    return ScreenPoint{rootX, rootY};
}

void X11PointerDevice::MoveTo(ScreenPoint point) {
    if (!m_usable) return;
    const Use use(*this);
    if (!use.display()) return;
    // Screen -1 is the pointer's own; the server keeps it on the screen.
    XTestFakeMotionEvent(use.display(), -1, ToWire(point.x), ToWire(point.y), CurrentTime);
    XFlush(use.display());
}

void X11PointerDevice::MoveBy(int dx, int dy) {
    if (!m_usable) return;
    const Use use(*this);
    if (!use.display()) return;
    // The server adds the distance to where the pointer is: no round trip to ask where.
    XTestFakeRelativeMotionEvent(use.display(), ToWire(dx), ToWire(dy), CurrentTime);
    XFlush(use.display());
}

void X11PointerDevice::ButtonEvent(unsigned int button, bool press) {
    if (!m_usable) return;
    const Use use(*this);
    if (!use.display()) return;
    XTestFakeButtonEvent(use.display(), button, press ? True : False, CurrentTime);
    XFlush(use.display());
}

void X11PointerDevice::ExtraButton(unsigned int button, bool press) {
    {
        const std::lock_guard<std::mutex> lock(m_stateLock);
        if (press) {
            m_extraHeld |= ExtraBit(button);
        } else {
            m_extraHeld &= ~ExtraBit(button);
        }
    }
    ButtonEvent(button, press);
}

void X11PointerDevice::Press(Button button) {
    if (button == Button::Extra) {
        ExtraButton(kBack, true);
        return;
    }
    ButtonEvent(XButtonOf(button), true);
}

void X11PointerDevice::Release(Button button) {
    if (button != Button::Extra) {
        ButtonEvent(XButtonOf(button), false);
        return;
    }
    unsigned int held = 0;
    {
        const std::lock_guard<std::mutex> lock(m_stateLock);
        held = m_extraHeld;
    }
    // Like the release Windows sends whatever is held, one goes out even when none is.
    if (held == 0 || (held & ExtraBit(kBack))) ExtraButton(kBack, false);
    if (held & ExtraBit(kForward)) ExtraButton(kForward, false);
}

ButtonChange X11PointerDevice::SendRawButtonWord(uint32_t word) {
    const RawButtonSteps raw = DecodeRawButtonWord(word);
    if (raw.moveToOrigin) MoveTo(ScreenPoint{0, 0});
    for (int i = 0; i < raw.count; ++i) {
        const RawButtonStep& step = raw.steps[i];
        if (step.button == Button::Extra) {
            ExtraButton(step.forward ? kForward : kBack, step.press);
        } else {
            ButtonEvent(XButtonOf(step.button), step.press);
        }
    }
    return raw.change;
}

void X11PointerDevice::TurnWheelAt(ScreenPoint, int delta) {
    // The clicks go where the pointer is, which is the point the core asks for.
    int clicks = 0;
    {
        const std::lock_guard<std::mutex> lock(m_stateLock);
        clicks = WheelClicks(delta, &m_wheelCarried);
    }
    const unsigned int button = clicks > 0 ? kWheelAway : kWheelToward;
    for (int i = clicks > 0 ? clicks : -clicks; i > 0; --i) {
        ButtonEvent(button, true);
        ButtonEvent(button, false);
    }
}
