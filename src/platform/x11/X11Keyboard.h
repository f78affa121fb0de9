#pragma once
#include <glib.h>

#include <cstdint>
#include <vector>

#include "platform/Keyboard.h"
#include "platform/x11/X11Display.h"

class IAnsiCodePage;

// Key strokes through XTest on a connection of its own; GUI thread only. Named keys go by
// keysym, characters by the key and level of the current keymap that makes them, and what
// no key makes goes through a spare key code that is given the character for a while.
class X11Keyboard : public IKeyboard {
public:
    explicit X11Keyboard(const IAnsiCodePage& codePage);
    // Releases the keys it still holds and gives the spare key codes back.
    ~X11Keyboard() override;
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    bool Usable() const { return m_usable; }

    void KeyDown(Key key) override;
    void KeyUp(Key key) override;
    CharacterKey KeyForCharacter(char character) override;
    void TypeUnmappedCharacter(char character) override;
    // X has no such sequence; Ctrl+Alt+BackSpace could end the X server. Nothing is sent.
    void RequestSecureAttention() override;

    // A layout key's number: its key code, and whether it needs the third level's shift.
    static constexpr uint32_t kLevelThree = 0x100;

private:
    struct SpareKey {
        uint8_t code;
        unsigned long keysym;
        bool held;
    };

    uint8_t LevelThreeKey() const;
    unsigned int LevelThreeMask() const;
    CharacterKey FindInKeymap(char32_t character) const;
    void Stroke(uint8_t code, bool press);
    void StrokeKey(Key key, bool press);
    void StrokeNamed(NamedKey name, bool press);
    uint8_t LendSpare(unsigned long keysym);
    void GiveBackSpares(bool all);
    void GiveBackLater();
    static gboolean OnGiveBack(gpointer self);

    const IAnsiCodePage& m_codePage;
    X11Display m_display;
    bool m_usable = false;
    std::vector<uint8_t> m_held;
    void ChangeSpareMapping(uint8_t code, int levels, unsigned long* keysyms);

    std::vector<SpareKey> m_spares;
    guint m_giveBackSource = 0;
    // When the spare keys' mapping last changed (GLib's monotonic microseconds).
    gint64 m_lastMappingChange = 0;
};
