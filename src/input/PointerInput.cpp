#include "input/PointerInput.h"

#include <algorithm>
#include <climits>

#include "input/Truncate.h"
#include "platform/MainWindow.h"
#include "platform/PointerDevice.h"
#include "platform/WindowSystem.h"

namespace {

constexpr double kWheelFactor = 5.0;
constexpr int kDragBottomMargin = 40;
// More clicks than any gesture needs would only keep the GUI thread busy for the device.
constexpr int kMaxClicksPerCommand = 100;
// Real windows nest a few levels; a deeper chain is not a window tree worth following.
constexpr int kMaxParentClimb = 256;
constexpr Button kNamedButtons[] = {Button::Left, Button::Right, Button::Middle, Button::Extra};

}  // namespace

CPointerInput::CPointerInput(IPointerDevice& pointer, IWindowSystem& windows,
                             IMainWindow& mainWindow, IClock& clock)
    : m_pointer(pointer), m_windows(windows), m_mainWindow(mainWindow), m_clock(clock) {}

CPointerInput::~CPointerInput() {
    // Nothing stays pressed and no worker outlives the members it uses.
    EndDeviceInput();
    StopAndJoinGlide();
}

void CPointerInput::MoveCursorBy(float dx, float dy) {
    // No clamping of our own: the system keeps the pointer on the screen.
    m_pointer.MoveBy(TruncateToInt(dx), TruncateToInt(dy));
}

void CPointerInput::ButtonDown(int button) {
    const ScreenPoint at = m_pointer.Position();
    const WindowHandle own = m_mainWindow.Handle();
    // Pressing our own minimise or close box would end the only way to reach the PC.
    if (own != 0 && m_windows.WindowAt(at) == own && m_windows.IsMinimizeOrCloseBox(own, at)) {
        m_mainWindow.PostHideToTray();
        return;
    }
    PressOrRaw(button, true);
}

void CPointerInput::ButtonUp(int button) {
    PressOrRaw(button, false);
}

// Buttons 0, 1 and 2 are left, right and middle; any other value goes to the system as the
// device sent it.
void CPointerInput::PressOrRaw(int button, bool down) {
    if (button >= 0 && button < 3) {
        const Button named = kNamedButtons[button];
        if (down) {
            Press(named);
        } else {
            m_pointer.Release(named);
            m_heldButtons &= static_cast<uint8_t>(~ButtonBit(named));
        }
        return;
    }
    const ButtonChange change = m_pointer.SendRawButtonWord(static_cast<uint32_t>(button));
    m_heldButtons = static_cast<uint8_t>((m_heldButtons | change.pressed) & ~change.released);
}

void CPointerInput::Press(Button button) {
    m_pointer.Press(button);
    m_heldButtons |= ButtonBit(button);
}

void CPointerInput::ClickButton(int button, int count) {
    const int clicks = std::min(count, kMaxClicksPerCommand);
    for (int i = 0; i < clicks; ++i) {
        ButtonDown(button);
        ButtonUp(button);
    }
}

// The top-level window that holds this one; 0 when the chain of parents breaks.
WindowHandle CPointerInput::TopLevelOf(WindowHandle window) {
    for (int depth = 0; window != 0 && depth < kMaxParentClimb; ++depth) {
        bool readable = true;
        const bool embedded = m_windows.IsEmbedded(window, &readable);
        if (!readable) return 0;
        if (!embedded) return window;
        window = m_windows.GetParent(window);
    }
    return 0;
}

void CPointerInput::GrabWindowUnderCursor() {
    const WindowHandle under = m_windows.WindowAt(m_pointer.Position());
    m_grabbedWindow = under == 0 ? m_mainWindow.Handle() : TopLevelOf(under);
    if (m_grabbedWindow == 0) return;
    // The click brings the taken window forward as a real press on it would.
    m_pointer.Press(Button::Left);
    m_pointer.Release(Button::Left);
}

void CPointerInput::DragGrabbedWindowBy(float dx, float dy) {
    if (m_grabbedWindow == 0) return;
    ScreenRect screen;
    ScreenRect window;
    if (!m_windows.GetScreenRect(&screen)) return;
    // A window closed since it was taken simply stops moving.
    if (!m_windows.GetWindowRect(m_grabbedWindow, &window)) return;
    const int stepX = TruncateToInt(dx);
    const int stepY = TruncateToInt(dy);
    const int left = window.left + stepX;
    const int top = window.top + stepY;
    if (left < 0 || top < 0 || left > screen.right || top > screen.bottom - kDragBottomMargin) {
        return;
    }
    const ScreenPoint at = m_pointer.Position();
    m_pointer.MoveTo({at.x + stepX, at.y + stepY});
    m_windows.MoveWindow(m_grabbedWindow, {left, top, left + (window.right - window.left),
                                           top + (window.bottom - window.top)});
}

void CPointerInput::ReleaseGrabbedWindow() {
    m_grabbedWindow = 0;
}

void CPointerInput::ScrollWheel(float, float dy) {
    TurnWheel(dy);
}

// Also runs on the glide worker: it reads the pointer and turns the wheel, nothing else.
void CPointerInput::TurnWheel(float dy) {
    // Held in the 16 bits a wheel message has, so a large turn can't wrap into the other way.
    const int delta = std::clamp(TruncateToInt(dy * kWheelFactor), static_cast<int>(INT16_MIN),
                                 static_cast<int>(INT16_MAX));
    m_pointer.TurnWheelAt(m_pointer.Position(), delta);
}

void CPointerInput::SetBounceOffEdges(bool on) {
    m_bounceOffEdges = on;
}

void CPointerInput::EndDeviceInput() {
    m_glideStop = true;
    m_grabbedWindow = 0;
    for (const Button button : kNamedButtons) {
        if (m_heldButtons & ButtonBit(button)) m_pointer.Release(button);
    }
    m_heldButtons = 0;
}
