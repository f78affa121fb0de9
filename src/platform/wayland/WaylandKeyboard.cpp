#include "platform/wayland/WaylandKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/AnsiCodePage.h"
#include "platform/common/Keysyms.h"
#include "platform/wayland/EvdevCodes.h"
#include "platform/wayland/WaylandSession.h"
#include "virtual-keyboard-unstable-v1-client.h"

namespace {

uint32_t Now() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The keymap's text in an anonymous file, as the protocol hands keymaps over; -1 on failure.
int KeymapFile(const std::string& text) {
    const int fd = memfd_create("tavrix-keymap", MFD_CLOEXEC);
    if (fd < 0) return -1;
    const size_t size = text.size() + 1;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, text.c_str() + written, size - written);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        written += static_cast<size_t>(n);
    }
    return fd;
}

}  // namespace

CWaylandKeyboard::CWaylandKeyboard(CWaylandSession& session, const IAnsiCodePage& codePage)
    : m_session(session), m_codePage(codePage), m_keymap(session.SeatKeymap()) {
    if (!session.KeyboardManager() || !session.Seat() || !m_keymap.Usable()) return;
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(session.KeyboardManager(),
                                                                         session.Seat());
    UploadIfChanged();
}

CWaylandKeyboard::~CWaylandKeyboard() {
    if (!m_keyboard) return;
    const std::vector<uint32_t> held = m_held;
    for (auto code = held.rbegin(); code != held.rend(); ++code) Stroke(*code, false);
    zwp_virtual_keyboard_v1_destroy(m_keyboard);
    m_session.Flush();
}

void CWaylandKeyboard::UploadIfChanged() {
    if (!m_keymap.Changed()) return;
    const std::string text = m_keymap.Text();
    // Still changed when the file can't be made: the next stroke tries again.
    const int fd = KeymapFile(text);
    if (fd < 0) return;
    // The request takes a copy of the descriptor.
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<uint32_t>(text.size() + 1));
    close(fd);
    m_keymap.Sent();
    m_session.Flush();
}

void CWaylandKeyboard::Stroke(uint32_t keycode, bool press) {
    if (!m_keyboard || keycode < kXkbKeycodeOffset) return;
    UploadIfChanged();
    // Without the keymap a key would type what it did before, or end the virtual keyboard
    // when it has none yet: presses are dropped until the keymap is sent.
    if (m_keymap.Changed() && press) return;
    // The protocol's key is the evdev code, the keymap's less 8.
    zwp_virtual_keyboard_v1_key(
        m_keyboard, Now(), keycode - kXkbKeycodeOffset,
        press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    // The compositor takes a virtual keyboard's modifiers from it, not from its keys.
    const CWaylandKeymap::Modifiers modifiers = m_keymap.Strike(keycode, press);
    if (!(modifiers == m_modifiers)) {
        m_modifiers = modifiers;
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, modifiers.depressed, modifiers.latched,
                                          modifiers.locked, modifiers.group);
    }
    m_session.Flush();
    if (press) {
        m_held.push_back(keycode);
    } else {
        const auto found = std::find(m_held.begin(), m_held.end(), keycode);
        if (found != m_held.end()) m_held.erase(found);
    }
}

uint32_t CWaylandKeyboard::KeycodeOf(uint32_t keysym) {
    CWaylandKeymap::Stroke stroke;
    if (m_keymap.Find(keysym, 0, &stroke) && !stroke.shift && !stroke.levelThree)
        return stroke.keycode;
    return m_keymap.Lend(keysym, m_held);
}

// A layout key that needs the third level is wrapped in its shift: pressed before the key,
// released after it.
void CWaylandKeyboard::StrokeKey(Key key, bool press) {
    if (!key.Is(NamedKey::None)) {
        const uint32_t keysym = KeysymOfNamedKey(key.name);
        // A release goes to the key the press went to, which may be a lent one.
        const auto pressed =
            std::find_if(m_namedHeld.begin(), m_namedHeld.end(),
                         [keysym](const NamedStroke& held) { return held.keysym == keysym; });
        uint32_t keycode = 0;
        if (!press && pressed != m_namedHeld.end()) {
            keycode = pressed->keycode;
            m_namedHeld.erase(pressed);
        } else {
            keycode = KeycodeOf(keysym);
            if (press && pressed == m_namedHeld.end() && m_namedHeld.size() < kMaxNamedHeld)
                m_namedHeld.push_back(NamedStroke{keysym, keycode});
        }
        Stroke(keycode, press);
        return;
    }
    const uint32_t levelThree = (key.layoutCode & kLevelThree) ? m_keymap.LevelThreeKey() : 0;
    if (levelThree != 0 && press) Stroke(levelThree, true);
    Stroke(key.layoutCode & 0xFF, press);
    if (levelThree != 0 && !press) Stroke(levelThree, false);
}

void CWaylandKeyboard::KeyDown(Key key) {
    StrokeKey(key, true);
}

void CWaylandKeyboard::KeyUp(Key key) {
    StrokeKey(key, false);
}

CharacterKey CWaylandKeyboard::KeyForCharacter(char character) {
    CharacterKey result;
    if (!m_keyboard) return result;
    const char32_t unicode = CharacterOfByte(m_codePage, character);
    const NamedKey named = NamedKeyOfCharacter(unicode);
    if (named != NamedKey::None) {
        result.producible = true;
        result.key = Key::Named(named);
        return result;
    }
    const bool controlLetter = unicode >= 1 && unicode <= kLastControlLetter;
    const char32_t typed = controlLetter ? U'a' + unicode - 1 : unicode;
    const uint32_t keysym = KeysymOfCharacter(typed);
    CWaylandKeymap::Stroke stroke;
    if (keysym == 0 || !m_keymap.Find(keysym, kUnicodeKeysymBase | typed, &stroke)) return result;
    result.producible = true;
    result.shift = stroke.shift;
    result.control = controlLetter;
    result.key = Key::Layout(stroke.keycode | (stroke.levelThree ? kLevelThree : 0));
    return result;
}

void CWaylandKeyboard::TypeUnmappedCharacter(char character) {
    if (!m_keyboard) return;
    const uint32_t keysym = KeysymOfCharacter(CharacterOfByte(m_codePage, character));
    if (keysym == 0) return;
    const uint32_t keycode = m_keymap.Lend(keysym, m_held);
    if (keycode == 0) return;
    Stroke(keycode, true);
    Stroke(keycode, false);
}
