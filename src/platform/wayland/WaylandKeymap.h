#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// The keymap the virtual keyboard uploads: the user's layout as it is, and on the key codes
// the layout leaves empty, the keysyms the device types that the layout has no key for. Each
// keyboard of a Wayland seat brings its own keymap, so lending a key changes nothing for the
// user's real keyboard.
class CWaylandKeymap {
public:
    // From a keymap's text; when that is empty or not a keymap, the layout that the
    // XKB_DEFAULT_* variables name (else US English).
    explicit CWaylandKeymap(const std::string& layoutText);
    ~CWaylandKeymap();
    CWaylandKeymap(const CWaylandKeymap&) = delete;
    CWaylandKeymap& operator=(const CWaylandKeymap&) = delete;

    bool Usable() const { return m_keymap != nullptr; }

    // A key of the layout (an XKB key code) and the shift state that types a keysym.
    struct Stroke {
        uint32_t keycode = 0;
        bool shift = false;
        bool levelThree = false;
    };
    // The layout's key for the keysym (or its other spelling, 0 for none) with the fewest
    // modifiers (Shift and the third level's shift only), lent keys left out; false when the
    // layout has none.
    bool Find(uint32_t keysym, uint32_t otherSpelling, Stroke* stroke) const;
    // Whether any key of the layout types the keysym (or its other spelling) with those
    // modifiers, key codes that X clients can't see included.
    bool Types(uint32_t keysym, uint32_t otherSpelling) const;
    // The key that sets the third level's modifier; 0 when the layout has none.
    uint32_t LevelThreeKey() const { return m_levelThreeKey; }

    // The modifier state as a keyboard with this layout leaves it.
    struct Modifiers {
        uint32_t depressed = 0;
        uint32_t latched = 0;
        uint32_t locked = 0;
        uint32_t group = 0;
        bool operator==(const Modifiers& other) const {
            return depressed == other.depressed && latched == other.latched &&
                   locked == other.locked && group == other.group;
        }
    };
    // A key went down or up: the modifiers after it. A virtual keyboard's keys change no
    // modifier in the compositor; its owner says them.
    Modifiers Strike(uint32_t keycode, bool press);

    // A spare key code that types the keysym: the one lent for it before, else a free one,
    // else the least recently lent one not in held. 0 when there is none.
    uint32_t Lend(uint32_t keysym, const std::vector<uint32_t>& held);
    // Whether the text changed since it was last sent.
    bool Changed() const { return m_changed; }
    // The keymap's text with the lent keys, ready to upload.
    std::string Text() const;
    // The compositor has the text: unchanged until a key is lent anew.
    void Sent() { m_changed = false; }

private:
    struct Spare {
        uint32_t keycode;
        std::string name;
        // 0 while free.
        uint32_t keysym;
        // Whether the layout's key code section lacks the name and it must be added.
        bool unnamed;
    };

    bool FindUpTo(uint32_t keysym, uint32_t otherSpelling, uint32_t lastKeycode,
                  Stroke* stroke) const;
    void FindSpares();
    void FindLevelThree();

    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
    std::string m_base;
    uint32_t m_shiftMask = 0;
    uint32_t m_levelThreeMask = 0;
    uint32_t m_levelThreeKey = 0;
    // Least recently lent first.
    std::vector<Spare> m_spares;
    bool m_changed = true;
};
