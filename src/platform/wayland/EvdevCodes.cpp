#include "platform/wayland/EvdevCodes.h"

#include <linux/input-event-codes.h>

namespace {

// By NamedKey, in its order.
constexpr uint32_t kNamedKeys[] = {
    0,           KEY_BACKSPACE,  KEY_TAB,      KEY_ENTER,     KEY_ESC,
    KEY_SPACE,   KEY_PAGEUP,     KEY_PAGEDOWN, KEY_END,       KEY_HOME,
    KEY_LEFT,    KEY_UP,         KEY_RIGHT,    KEY_DOWN,      KEY_F1,
    KEY_F2,      KEY_F3,         KEY_F4,       KEY_F5,        KEY_F6,
    KEY_F7,      KEY_F8,         KEY_F9,       KEY_F10,       KEY_F11,
    KEY_F12,     KEY_F13,        KEY_F14,      KEY_F15,       KEY_F16,
    KEY_MUTE,    KEY_VOLUMEDOWN, KEY_VOLUMEUP, KEY_LEFTSHIFT, KEY_LEFTCTRL,
    KEY_LEFTALT, KEY_LEFTMETA,
};
static_assert(sizeof(kNamedKeys) / sizeof(kNamedKeys[0]) ==
                  static_cast<unsigned>(NamedKey::Win) + 1,
              "one code for each named key");

}  // namespace

uint32_t EvdevButton(Button button, bool forward) {
    switch (button) {
        case Button::Left:
            return BTN_LEFT;
        case Button::Right:
            return BTN_RIGHT;
        case Button::Middle:
            return BTN_MIDDLE;
        case Button::Extra:
            break;
    }
    return forward ? BTN_EXTRA : BTN_SIDE;
}

uint32_t EvdevKey(NamedKey key) {
    const auto index = static_cast<unsigned>(key);
    return index < sizeof(kNamedKeys) / sizeof(kNamedKeys[0]) ? kNamedKeys[index] : 0;
}
