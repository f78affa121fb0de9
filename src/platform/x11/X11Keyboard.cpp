#include "platform/x11/X11Keyboard.h"

#include <X11/XF86keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <memory>

#include "platform/AnsiCodePage.h"
#include "platform/common/Keysyms.h"

namespace {

// How long the spare key codes keep their characters after the last stroke through any of
// them. A client translates a key event with the keymap as it is when it reads the event, not
// as it was when the key was struck, and no reply tells when that was; a client that is busy
// (a loaded machine) reads late, so the keymap stays as it is until typing has been quiet for
// a while far longer than a client takes to read its events.
constexpr guint kGiveBackDelayMs = 3000;
// Between two changes of the spare keys' mapping. A client brings its copy of the keymap up
// to date when it next looks a key up, and libX11 loses a second change that arrives while
// it is doing so: that key then stays without a keysym for it. Spacing the changes gives
// clients the time to take each one.
constexpr gint64 kMappingSettleUs = 200 * 1000;
// Spare key codes lent at once. Only more distinct characters than this within the quiet
// time above reuse one before it, the one whose last stroke is the oldest.
constexpr size_t kMaxSpares = 32;

// X names its zero None, which hides the key without a name here.
bool IsLayoutKey(Key key) {
    return key.name == NamedKey{};
}

bool IsModifier(NamedKey name) {
    return name == NamedKey::Shift || name == NamedKey::Control || name == NamedKey::Alt ||
           name == NamedKey::Win;
}

int BitCount(unsigned int mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1) ++count;
    return count;
}

// The fewest modifiers that select the level in the key type, within those allowed; false
// when no such combination exists.
bool ModifiersForLevel(const XkbKeyTypeRec& type, int level, unsigned int allowed,
                       unsigned int* modifiers) {
    if (level == 0) {
        *modifiers = 0;
        return true;
    }
    bool found = false;
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (!entry.active || entry.level != level) continue;
        if ((entry.mods.mask & ~allowed) != 0) continue;
        if (!found || BitCount(entry.mods.mask) < BitCount(*modifiers)) {
            *modifiers = entry.mods.mask;
            found = true;
        }
    }
    return found;
}

struct KeymapDeleter {
    void operator()(XkbDescPtr keymap) const { XkbFreeKeyboard(keymap, 0, True); }
};
struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

}  // namespace

X11Keyboard::X11Keyboard(const IAnsiCodePage& codePage) : m_codePage(codePage) {
    if (!m_display) return;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    m_usable =
        XTestQueryExtension(m_display.get(), &eventBase, &errorBase, &major, &minor) != False;
    int xkbMajor = XkbMajorVersion;
    int xkbMinor = XkbMinorVersion;
    if (!XkbQueryExtension(m_display.get(), nullptr, &eventBase, &errorBase, &xkbMajor,
                           &xkbMinor)) {
        m_usable = false;
    }
}

X11Keyboard::~X11Keyboard() {
    if (m_giveBackSource != 0) g_source_remove(m_giveBackSource);
    if (!m_usable) return;
    const std::vector<uint8_t> held = m_held;
    for (auto code = held.rbegin(); code != held.rend(); ++code) Stroke(*code, false);
    GiveBackSpares(true);
    XSync(m_display.get(), False);
}

uint8_t X11Keyboard::LevelThreeKey() const {
    return XKeysymToKeycode(m_display.get(), XK_ISO_Level3_Shift);
}

// The modifier that the third level's shift key sets; 0 when it sets none.
unsigned int X11Keyboard::LevelThreeMask() const {
    const KeyCode levelThree = LevelThreeKey();
    if (levelThree == 0) return 0;
    XModifierKeymap* raw = XGetModifierMapping(m_display.get());
    if (!raw) return 0;
    const std::unique_ptr<XModifierKeymap, int (*)(XModifierKeymap*)> map(raw, XFreeModifiermap);
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == levelThree) {
                return 1u << modifier;
            }
        }
    }
    return 0;
}

// The key of the current group that types the character with the fewest modifiers, the
// spare key codes this keyboard lends left out.
CharacterKey X11Keyboard::FindInKeymap(char32_t character) const {
    CharacterKey result;
    Display* display = m_display.get();
    XkbStateRec state = {};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return result;
    const std::unique_ptr<XkbDescRec, KeymapDeleter> keymap(
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    if (!keymap || !keymap->map) return result;
    const unsigned int levelThree = LevelThreeMask();
    const unsigned int allowed = ShiftMask | levelThree;
    int fewest = 0;
    for (int code = keymap->min_key_code; code <= keymap->max_key_code; ++code) {
        const bool lent = std::any_of(m_spares.begin(), m_spares.end(),
                                      [code](const SpareKey& s) { return s.code == code; });
        const int groups = XkbKeyNumGroups(keymap.get(), code);
        if (lent || groups == 0) continue;
        const int group = state.group % groups;
        const XkbKeyTypeRec* type = XkbKeyKeyType(keymap.get(), code, group);
        const int width = XkbKeyGroupsWidth(keymap.get(), code);
        for (int level = 0; level < type->num_levels && level < width; ++level) {
            if (!KeysymTypes(XkbKeySymEntry(keymap.get(), code, level, group), character)) {
                continue;
            }
            unsigned int modifiers = 0;
            if (!ModifiersForLevel(*type, level, allowed, &modifiers)) continue;
            if (result.producible && BitCount(modifiers) >= fewest) continue;
            fewest = BitCount(modifiers);
            result.producible = true;
            result.shift = (modifiers & ShiftMask) != 0;
            const bool third = levelThree != 0 && (modifiers & levelThree) != 0;
            result.key = Key::Layout(static_cast<uint32_t>(code) | (third ? kLevelThree : 0));
        }
    }
    return result;
}

CharacterKey X11Keyboard::KeyForCharacter(char character) {
    CharacterKey result;
    if (!m_usable) return result;
    const char32_t unicode = CharacterOfByte(m_codePage, character);
    const NamedKey named = NamedKeyOfCharacter(unicode);
    if (named != NamedKey{}) {
        result.producible = true;
        result.key = Key::Named(named);
        return result;
    }
    if (unicode >= 1 && unicode <= kLastControlLetter) {
        result = FindInKeymap(U'a' + unicode - 1);
        result.control = result.producible;
        return result;
    }
    return FindInKeymap(unicode);
}

void X11Keyboard::Stroke(uint8_t code, bool press) {
    XTestFakeKeyEvent(m_display.get(), code, press ? True : False, CurrentTime);
    if (press) {
        m_held.push_back(code);
    } else {
        const auto found = std::find(m_held.begin(), m_held.end(), code);
        if (found != m_held.end()) m_held.erase(found);
    }
}

void X11Keyboard::StrokeNamed(NamedKey name, bool press) {
    const KeySym keysym = KeysymOfNamedKey(name);
    KeyCode code = XKeysymToKeycode(m_display.get(), keysym);
    if (code == 0) {
        // A modifier on a key code of its own would modify nothing.
        if (IsModifier(name)) return;
        const auto spare = std::find_if(m_spares.begin(), m_spares.end(),
                                        [keysym](const SpareKey& s) { return s.keysym == keysym; });
        if (press) {
            code = LendSpare(keysym);
        } else if (spare != m_spares.end()) {
            code = spare->code;
            spare->held = false;
            GiveBackLater();
        }
        if (code == 0) return;
    }
    Stroke(code, press);
    XFlush(m_display.get());
}

void X11Keyboard::KeyDown(Key key) {
    StrokeKey(key, true);
}

void X11Keyboard::KeyUp(Key key) {
    StrokeKey(key, false);
}

// A layout key that needs the third level is wrapped in its shift: pressed before the key,
// released after it.
void X11Keyboard::StrokeKey(Key key, bool press) {
    if (!m_usable) return;
    if (!IsLayoutKey(key)) {
        StrokeNamed(key.name, press);
        return;
    }
    const KeyCode levelThree = (key.layoutCode & kLevelThree) ? LevelThreeKey() : 0;
    if (levelThree != 0 && press) Stroke(levelThree, true);
    Stroke(static_cast<KeyCode>(key.layoutCode & 0xFF), press);
    if (levelThree != 0 && !press) Stroke(levelThree, false);
    XFlush(m_display.get());
}

// A key code that types the keysym for now: one that has it already, else one without any
// keysym in the keymap, else the least recently struck one that no stroke holds. 0 when none
// is free.
uint8_t X11Keyboard::LendSpare(unsigned long keysym) {
    for (auto spare = m_spares.begin(); spare != m_spares.end(); ++spare) {
        if (spare->keysym != keysym) continue;
        // The list runs from the least recently struck to the last.
        const uint8_t code = spare->code;
        m_spares.erase(spare);
        m_spares.push_back(SpareKey{code, keysym, true});
        return code;
    }
    Display* display = m_display.get();
    KeyCode code = 0;
    if (m_spares.size() < kMaxSpares) {
        int minCode = 0;
        int maxCode = 0;
        XDisplayKeycodes(display, &minCode, &maxCode);
        int width = 0;
        const std::unique_ptr<KeySym, XFreeDeleter> map(XGetKeyboardMapping(
            display, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &width));
        for (int candidate = maxCode; map && candidate >= minCode && code == 0; --candidate) {
            const KeySym* syms = map.get() + (candidate - minCode) * width;
            if (std::all_of(syms, syms + width, [](KeySym s) { return s == NoSymbol; })) {
                code = static_cast<KeyCode>(candidate);
            }
        }
    }
    if (code == 0) {
        const auto free = std::find_if(m_spares.begin(), m_spares.end(),
                                       [](const SpareKey& s) { return !s.held; });
        if (free == m_spares.end()) return 0;
        code = free->code;
        m_spares.erase(free);
    }
    // Both levels, so a Shift that happens to be down types the same character.
    KeySym syms[2] = {keysym, keysym};
    ChangeSpareMapping(code, 2, syms);
    m_spares.push_back(SpareKey{code, keysym, true});
    return code;
}

void X11Keyboard::ChangeSpareMapping(uint8_t code, int levels, unsigned long* keysyms) {
    const gint64 since = g_get_monotonic_time() - m_lastMappingChange;
    if (since >= 0 && since < kMappingSettleUs)
        g_usleep(static_cast<gulong>(kMappingSettleUs - since));
    XChangeKeyboardMapping(m_display.get(), code, levels, keysyms, 1);
    XSync(m_display.get(), False);
    m_lastMappingChange = g_get_monotonic_time();
}

void X11Keyboard::TypeUnmappedCharacter(char character) {
    if (!m_usable) return;
    const KeySym keysym = KeysymOfCharacter(CharacterOfByte(m_codePage, character));
    if (keysym == NoSymbol) return;
    const KeyCode code = LendSpare(keysym);
    if (code == 0) return;
    Stroke(code, true);
    Stroke(code, false);
    // The server has carried out the stroke; the clients look it up with the lent keysym
    // until it is given back.
    XSync(m_display.get(), False);
    for (SpareKey& spare : m_spares) {
        if (spare.code == code) spare.held = false;
    }
    GiveBackLater();
}

void X11Keyboard::GiveBackLater() {
    if (m_giveBackSource != 0) g_source_remove(m_giveBackSource);
    m_giveBackSource = g_timeout_add(kGiveBackDelayMs, &X11Keyboard::OnGiveBack, this);
}

gboolean X11Keyboard::OnGiveBack(gpointer self) {
    auto* keyboard = static_cast<X11Keyboard*>(self);
    keyboard->m_giveBackSource = 0;
    keyboard->GiveBackSpares(false);
    XFlush(keyboard->m_display.get());
    if (!keyboard->m_spares.empty()) keyboard->GiveBackLater();
    return G_SOURCE_REMOVE;
}

// Clears the keysyms of the spare key codes (only those no stroke holds unless all).
void X11Keyboard::GiveBackSpares(bool all) {
    KeySym none = NoSymbol;
    for (auto spare = m_spares.begin(); spare != m_spares.end();) {
        if (spare->held && !all) {
            ++spare;
            continue;
        }
        ChangeSpareMapping(spare->code, 1, &none);
        spare = m_spares.erase(spare);
    }
}

void X11Keyboard::RequestSecureAttention() {}
