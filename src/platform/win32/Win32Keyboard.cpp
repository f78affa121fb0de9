#include "platform/win32/Win32Keyboard.h"

#include <windows.h>

namespace {

// Every stroke carries this scan code, whatever the key.
constexpr BYTE kScanCode = 69;
// MOD_ALT | MOD_CONTROL with VK_DELETE: the secure-attention hot key.
constexpr LPARAM kSecureAttentionHotKey = MAKELPARAM(MOD_ALT | MOD_CONTROL, VK_DELETE);

// The virtual key of each named key, in the order of NamedKey.
constexpr BYTE kVirtualKeys[] = {
    0,        VK_BACK, VK_TAB,         VK_RETURN,      VK_ESCAPE,    VK_SPACE, VK_PRIOR,
    VK_NEXT,  VK_END,  VK_HOME,        VK_LEFT,        VK_UP,        VK_RIGHT, VK_DOWN,
    VK_F1,    VK_F2,   VK_F3,          VK_F4,          VK_F5,        VK_F6,    VK_F7,
    VK_F8,    VK_F9,   VK_F10,         VK_F11,         VK_F12,       VK_F13,   VK_F14,
    VK_F15,   VK_F16,  VK_VOLUME_MUTE, VK_VOLUME_DOWN, VK_VOLUME_UP, VK_SHIFT, VK_CONTROL,
    VK_LMENU, VK_LWIN,
};
static_assert(sizeof(kVirtualKeys) == static_cast<size_t>(NamedKey::Win) + 1,
              "one virtual key per named key");

BYTE VirtualKeyOf(Key key) {
    if (key.name == NamedKey::None) return static_cast<BYTE>(key.layoutCode);
    return kVirtualKeys[static_cast<size_t>(key.name)];
}

// A layout's answer that is one of the named keys is answered by its name, so the rules
// for those keys hold whichever way they were reached.
Key KeyOfVirtualKey(BYTE virtualKey) {
    for (size_t i = 1; i < sizeof(kVirtualKeys); ++i) {
        if (kVirtualKeys[i] == virtualKey) return Key::Named(static_cast<NamedKey>(i));
    }
    return Key::Layout(virtualKey);
}

void Stroke(Key key, bool up) {
    keybd_event(VirtualKeyOf(key), kScanCode, up ? KEYEVENTF_KEYUP : 0, 0);
}

}  // namespace

void Win32Keyboard::KeyDown(Key key) {
    Stroke(key, false);
}

void Win32Keyboard::KeyUp(Key key) {
    Stroke(key, true);
}

CharacterKey Win32Keyboard::KeyForCharacter(char character) {
    const SHORT scan = VkKeyScanA(character);
    CharacterKey result;
    if (scan == -1) return result;
    const int shiftState = (static_cast<WORD>(scan) >> 8) & 0xFF;
    result.producible = true;
    result.key = KeyOfVirtualKey(static_cast<BYTE>(scan & 0xFF));
    result.shift = (shiftState & 1) != 0;
    result.control = (shiftState & 2) != 0;
    result.alt = (shiftState & 4) != 0;
    return result;
}

void Win32Keyboard::TypeUnmappedCharacter(char character) {
    wchar_t unit = 0;
    if (MultiByteToWideChar(CP_ACP, 0, &character, 1, &unit, 1) != 1) return;
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = unit;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void Win32Keyboard::RequestSecureAttention() {
    PostMessageA(HWND_BROADCAST, WM_HOTKEY, 0, kSecureAttentionHotKey);
}
