// The executor's keyboard operations: every stroke goes through keybd_event to whichever
// window has the focus.
#include "input/KeyboardInput.h"

#include <iterator>

#include "platform/Desktop.h"
#include "protocol/CommandExecutor.h"

namespace {

constexpr uint8_t kScanCode = 69;
constexpr int kVkBackspace = 8;
constexpr int kVkTab = 9;
constexpr int kVkShift = 16;
constexpr int kVkControl = 17;
constexpr int kVkSpace = 32;
constexpr int kVkLeftWin = 91;
constexpr int kVkLeftAlt = 164;
// MOD_ALT | MOD_CONTROL with VK_DELETE: the secure-attention hot key.
constexpr intptr_t kSecureAttentionHotKey = 0x2E0003;

struct Modifier {
    int flag;
    int virtualKey;
};
// Pressed in this order, released in the reverse one.
constexpr Modifier kModifiers[] = {
    {ModWin, kVkLeftWin},
    {ModAlt, kVkLeftAlt},
    {ModCtrl, kVkControl},
    {ModShift, kVkShift},
};

struct KeyOfCharacter {
    bool producible;
    int virtualKey;
    int modifiers;
};

// The layout's key for an 8-bit character, with the modifiers its shift state needs.
KeyOfCharacter LookUpCharacter(IDesktop& desktop, int character) {
    const int16_t scan = desktop.VkKeyScanA(static_cast<char>(character & 0xFF));
    if (scan == -1) return {false, 0, 0};
    const int shiftState = (static_cast<uint16_t>(scan) >> 8) & 0xFF;
    int modifiers = 0;
    if (shiftState & 1) modifiers |= ModShift;
    if (shiftState & 2) modifiers |= ModCtrl;
    if (shiftState & 4) modifiers |= ModAlt;
    return {true, scan & 0xFF, modifiers};
}

void Stroke(IDesktop& desktop, int virtualKey, bool up) {
    desktop.KeybdEvent(static_cast<uint8_t>(virtualKey), kScanCode,
                       up ? desktop::kKeyEventKeyUp : 0u);
}

}  // namespace

void CCommandExecutor::TypeCharacter(int character) {
    if (!m_pDesktop) return;
    // A character the layout can't produce would otherwise press key 255 with every modifier.
    const KeyOfCharacter key = LookUpCharacter(*m_pDesktop, character);
    if (!key.producible) return;
    PressKeyWithModifiers(key.virtualKey, key.modifiers);
}

void CCommandExecutor::PressKey(int code, bool isCharacter, int modifiers) {
    if (!m_pDesktop) return;
    if (isCharacter) {
        const KeyOfCharacter key = LookUpCharacter(*m_pDesktop, code);
        if (!key.producible) return;
        PressKeyWithModifiers(key.virtualKey, modifiers | key.modifiers);
        return;
    }
    const auto mapped = m_keyMap.find(code);
    if (mapped == m_keyMap.end()) return;
    PressKeyWithModifiers(mapped->second, modifiers);
}

void CCommandExecutor::PressKeyWithModifiers(int virtualKey, int modifiers) {
    if (!m_pDesktop) return;
    IDesktop& desktop = *m_pDesktop;
    modifiers &= ModWin | ModAlt | ModCtrl | ModShift;
    // Ctrl+Alt+Del can't be injected; the hot key broadcast asks for it instead.
    if (virtualKey == kVkBackspace && (modifiers & ModAlt) && (modifiers & ModCtrl)) {
        desktop.PostMessageA(desktop::kBroadcast, desktop::kWmHotKey, 0, kSecureAttentionHotKey);
        return;
    }
    if ((modifiers & ModAlt) && virtualKey == kVkTab) modifiers |= ModShift;
    for (const Modifier& m : kModifiers) {
        if (modifiers & m.flag) Stroke(desktop, m.virtualKey, false);
    }
    // The Windows key tapped alone opens the Start menu; the space only carries it.
    if (!(modifiers == ModWin && virtualKey == kVkSpace)) {
        Stroke(desktop, virtualKey, false);
        Stroke(desktop, virtualKey, true);
    }
    for (auto m = std::rbegin(kModifiers); m != std::rend(kModifiers); ++m) {
        if (modifiers & m->flag) Stroke(desktop, m->virtualKey, true);
    }
}
