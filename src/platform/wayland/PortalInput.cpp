#include "platform/wayland/PortalInput.h"

#include <algorithm>
#include <cstdio>

#include "platform/AnsiCodePage.h"
#include "platform/common/Keysyms.h"
#include "platform/common/PointerWords.h"
#include "platform/wayland/EvdevCodes.h"
#include "platform/wayland/PortalSession.h"
#include "platform/wayland/WaylandKeymap.h"

namespace {

constexpr uint32_t kVerticalAxis = 0;

}  // namespace

ScreenPoint CPortalPointer::Position() {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_position;
}

void CPortalPointer::MoveTo(ScreenPoint point) {
    int dx = 0;
    int dy = 0;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const ScreenPoint target{std::max(point.x, 0), std::max(point.y, 0)};
        dx = target.x - m_position.x;
        dy = target.y - m_position.y;
        m_position = target;
    }
    if (dx != 0 || dy != 0) m_session.NotifyPointerMotion(dx, dy);
}

void CPortalPointer::MoveBy(int dx, int dy) {
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_position.x = std::max(m_position.x + dx, 0);
        m_position.y = std::max(m_position.y + dy, 0);
    }
    m_session.NotifyPointerMotion(dx, dy);
}

void CPortalPointer::ExtraButton(bool forward, bool press) {
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        (forward ? m_forwardHeld : m_backHeld) = press;
    }
    m_session.NotifyPointerButton(static_cast<int32_t>(EvdevButton(Button::Extra, forward)), press);
}

void CPortalPointer::Press(Button button) {
    if (button == Button::Extra) {
        ExtraButton(false, true);
        return;
    }
    m_session.NotifyPointerButton(static_cast<int32_t>(EvdevButton(button, false)), true);
}

void CPortalPointer::Release(Button button) {
    if (button != Button::Extra) {
        m_session.NotifyPointerButton(static_cast<int32_t>(EvdevButton(button, false)), false);
        return;
    }
    bool back = false;
    bool forward = false;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        back = m_backHeld;
        forward = m_forwardHeld;
    }
    // Like the release Windows sends whatever is held, one goes out even when none is.
    if (back || !forward) ExtraButton(false, false);
    if (forward) ExtraButton(true, false);
}

ButtonChange CPortalPointer::SendRawButtonWord(uint32_t word) {
    const RawButtonSteps raw = DecodeRawButtonWord(word);
    if (raw.moveToOrigin) MoveTo(ScreenPoint{0, 0});
    for (int i = 0; i < raw.count; ++i) {
        const RawButtonStep& step = raw.steps[i];
        if (step.button == Button::Extra) {
            ExtraButton(step.forward, step.press);
        } else {
            m_session.NotifyPointerButton(static_cast<int32_t>(EvdevButton(step.button, false)),
                                          step.press);
        }
    }
    return raw.change;
}

void CPortalPointer::TurnWheelAt(ScreenPoint point, int delta) {
    MoveTo(point);
    int clicks = 0;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        clicks = WheelClicks(delta, &m_wheelCarried);
    }
    // Wayland counts steps toward the user as positive.
    if (clicks != 0) m_session.NotifyPointerAxisDiscrete(kVerticalAxis, -clicks);
}

CharacterKey CPortalKeyboard::KeyForCharacter(char character) {
    CharacterKey result;
    const char32_t unicode = CharacterOfByte(m_codePage, character);
    const NamedKey named = NamedKeyOfCharacter(unicode);
    if (named != NamedKey{}) {
        result.producible = true;
        result.key = Key::Named(named);
        return result;
    }
    const bool control = unicode >= 1 && unicode <= kLastControlLetter;
    const char32_t typed = control ? U'a' + unicode - 1 : unicode;
    const uint32_t keysym = KeysymOfCharacter(typed);
    result.producible = keysym != 0 && LayoutHas(keysym, typed);
    result.key = Key::Layout(keysym);
    result.control = control;
    return result;
}

bool CPortalKeyboard::LayoutHas(uint32_t keysym, char32_t character) const {
    return !m_layout || !m_layout->Usable() ||
           m_layout->Types(keysym, kUnicodeKeysymBase | character);
}

void CPortalKeyboard::Stroke(Key key, bool press) {
    if (key.Is(NamedKey::None)) {
        if (key.layoutCode != 0)
            m_session.NotifyKeyboardKeysym(static_cast<int32_t>(key.layoutCode), press);
        return;
    }
    const uint32_t code = EvdevKey(key.name);
    if (code != 0) m_session.NotifyKeyboardKeycode(static_cast<int32_t>(code), press);
}

void CPortalKeyboard::KeyDown(Key key) {
    Stroke(key, true);
}

void CPortalKeyboard::KeyUp(Key key) {
    Stroke(key, false);
}

void CPortalKeyboard::Tap(uint32_t keysym) {
    Stroke(Key::Layout(keysym), true);
    Stroke(Key::Layout(keysym), false);
}

void CPortalKeyboard::TypeUnmappedCharacter(char character) {
    const char32_t unicode = CharacterOfByte(m_codePage, character);
    const uint32_t keysym = KeysymOfCharacter(unicode);
    if (keysym == 0) return;
    if (LayoutHas(keysym, unicode)) {
        Tap(keysym);
        return;
    }
    Stroke(Key::Named(NamedKey::Control), true);
    Stroke(Key::Named(NamedKey::Shift), true);
    Tap('u');
    Stroke(Key::Named(NamedKey::Shift), false);
    Stroke(Key::Named(NamedKey::Control), false);
    char hex[9] = {};
    std::snprintf(hex, sizeof(hex), "%x", static_cast<unsigned>(unicode));
    for (const char* digit = hex; *digit; ++digit) Tap(static_cast<unsigned char>(*digit));
    Tap(' ');
}
