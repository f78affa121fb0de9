// The executor's pointer operations: moves, buttons, the wheel and window dragging.
#include <algorithm>
#include <cstdint>

#include "input/Truncate.h"
#include "platform/Desktop.h"
#include "platform/MainWindow.h"
#include "protocol/CommandExecutor.h"

namespace {

constexpr uint32_t kLeftDown = 0x0002;
constexpr uint32_t kLeftUp = 0x0004;
constexpr uint32_t kRightDown = 0x0008;
constexpr uint32_t kRightUp = 0x0010;
constexpr uint32_t kMiddleDown = 0x0020;
constexpr uint32_t kMiddleUp = 0x0040;
constexpr uint32_t kDownBits = kLeftDown | kRightDown | kMiddleDown;

constexpr double kWheelFactor = 5.0;
constexpr int kDragBottomMargin = 40;
// More clicks than any gesture needs would only keep the GUI thread busy for the device.
constexpr int kMaxClicksPerCommand = 100;
// Real windows nest a few levels; a deeper chain is not a window tree worth following.
constexpr int kMaxParentClimb = 256;

struct ButtonFlags {
    uint32_t press;
    uint32_t release;
};
constexpr ButtonFlags kButtonTable[] = {
    {kLeftDown, kLeftUp}, {kRightDown, kRightUp}, {kMiddleDown, kMiddleUp}};

// Buttons 0, 1 and 2 have their own flags; any other value is the flag word itself.
ButtonFlags FlagsOf(int button) {
    if (button >= 0 && button < 3) return kButtonTable[button];
    const uint32_t word = static_cast<uint32_t>(button);
    return {word, word};
}

// The top-level window that holds this one; 0 when the chain of parents breaks.
WindowHandle TopLevelOf(IDesktop& desktop, WindowHandle window) {
    for (int depth = 0; window != 0 && depth < kMaxParentClimb; ++depth) {
        uint32_t style = 0;
        if (!desktop.GetWindowStyle(window, &style)) return 0;
        const bool child = (style & desktop::kWsChild) != 0;
        const bool popup = (style & desktop::kWsPopup) != 0;
        if (!child || popup) return window;
        window = desktop.GetParent(window);
    }
    return 0;
}

}  // namespace

void CCommandExecutor::MoveCursorBy(float dx, float dy) {
    if (!m_pDesktop) return;
    const ScreenPoint at = m_pDesktop->GetCursorPos();
    // No clamping of our own: the system keeps the pointer on the screen.
    m_pDesktop->SetCursorPos(at.x + TruncateToInt(dx), at.y + TruncateToInt(dy));
}

void CCommandExecutor::ButtonDown(int button) {
    if (!m_pDesktop) return;
    const ScreenPoint at = m_pDesktop->GetCursorPos();
    const WindowHandle under = m_pDesktop->WindowFromPoint(at);
    const WindowHandle own = m_pMainWindow ? m_pMainWindow->Handle() : 0;
    if (own != 0 && under == own) {
        // Pressing our own minimise or close box would end the only way to reach the PC.
        const intptr_t hit =
            m_pDesktop->SendMessageA(own, desktop::kWmNcHitTest, 0, PackScreenPoint(at));
        if (hit == desktop::kHitMinButton || hit == desktop::kHitClose) {
            m_pMainWindow->PostHideToTray();
            return;
        }
    }
    InjectButton(FlagsOf(button).press);
}

void CCommandExecutor::ButtonUp(int button) {
    if (!m_pDesktop) return;
    InjectButton(FlagsOf(button).release);
}

void CCommandExecutor::ClickButton(int button, int count) {
    const int clicks = std::min(count, kMaxClicksPerCommand);
    for (int i = 0; i < clicks; ++i) {
        ButtonDown(button);
        ButtonUp(button);
    }
}

void CCommandExecutor::GrabWindowUnderCursor() {
    if (!m_pDesktop) return;
    const WindowHandle under = m_pDesktop->WindowFromPoint(m_pDesktop->GetCursorPos());
    if (under == 0) {
        m_grabbedWindow = m_pMainWindow ? m_pMainWindow->Handle() : 0;
    } else {
        m_grabbedWindow = TopLevelOf(*m_pDesktop, under);
    }
    if (m_grabbedWindow == 0) return;
    // The click brings the taken window forward as a real press on it would.
    InjectButton(kLeftDown);
    InjectButton(kLeftUp);
}

void CCommandExecutor::DragGrabbedWindowBy(float dx, float dy) {
    if (!m_pDesktop || m_grabbedWindow == 0) return;
    ScreenRect screen;
    ScreenRect window;
    if (!m_pDesktop->GetWindowRect(m_pDesktop->GetDesktopWindow(), &screen)) return;
    // A window closed since it was taken simply stops moving.
    if (!m_pDesktop->GetWindowRect(m_grabbedWindow, &window)) return;
    const int stepX = TruncateToInt(dx);
    const int stepY = TruncateToInt(dy);
    const int left = window.left + stepX;
    const int top = window.top + stepY;
    if (left < 0 || top < 0 || left > screen.right || top > screen.bottom - kDragBottomMargin) {
        return;
    }
    const ScreenPoint at = m_pDesktop->GetCursorPos();
    m_pDesktop->SetCursorPos(at.x + stepX, at.y + stepY);
    m_pDesktop->MoveWindow(m_grabbedWindow, left, top, window.right - window.left,
                           window.bottom - window.top, true);
}

void CCommandExecutor::ReleaseGrabbedWindow() {
    m_grabbedWindow = 0;
}

// Also runs on the glide worker: it reads the pointer and posts, nothing else.
void CCommandExecutor::ScrollWheel(float, float dy) {
    if (!m_pDesktop) return;
    const ScreenPoint at = m_pDesktop->GetCursorPos();
    const WindowHandle under = m_pDesktop->WindowFromPoint(at);
    if (under == 0) return;
    // Held in the 16 bits the message has, so a large turn can't wrap into the other way.
    const int delta = std::clamp(TruncateToInt(dy * kWheelFactor), static_cast<int>(INT16_MIN),
                                 static_cast<int>(INT16_MAX));
    const uintptr_t wParam = static_cast<uintptr_t>(static_cast<uint16_t>(delta)) << 16;
    m_pDesktop->PostMessageA(under, desktop::kWmMouseWheel, wParam, PackScreenPoint(at));
}

void CCommandExecutor::SetBounceOffEdges(bool on) {
    m_bounceOffEdges = on;
}

void CCommandExecutor::InjectButton(uint32_t flags) {
    m_pDesktop->MouseEvent(flags);
    // A release flag is its press flag shifted left by one.
    m_heldButtons = (m_heldButtons | (flags & kDownBits)) & ~((flags >> 1) & kDownBits);
}

void CCommandExecutor::EndDeviceInput() {
    ++m_departedDevices;
    m_glideStop = true;
    if (!m_pDesktop) return;
    for (const uint32_t down : {kLeftDown, kRightDown, kMiddleDown}) {
        if (m_heldButtons & down) m_pDesktop->MouseEvent(down << 1);
    }
    m_heldButtons = 0;
}
