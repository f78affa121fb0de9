#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Keyboard.h"
#include "platform/wayland/WaylandKeymap.h"

class CWaylandSession;
class IAnsiCodePage;
struct zwp_virtual_keyboard_v1;

// Key strokes through the compositor's virtual keyboard, with a keymap this keyboard uploads
// itself: the user's layout, so that a character goes out on the key and level that type it
// there, and for a character or named key the layout lacks, a spare key code given that
// keysym. GUI thread only.
class CWaylandKeyboard : public IKeyboard {
public:
    CWaylandKeyboard(CWaylandSession& session, const IAnsiCodePage& codePage);
    // Releases the keys it still holds.
    ~CWaylandKeyboard() override;
    CWaylandKeyboard(const CWaylandKeyboard&) = delete;
    CWaylandKeyboard& operator=(const CWaylandKeyboard&) = delete;

    void KeyDown(Key key) override;
    void KeyUp(Key key) override;
    CharacterKey KeyForCharacter(char character) override;
    void TypeUnmappedCharacter(char character) override;
    // Wayland has no such sequence; nothing is sent.
    void RequestSecureAttention() override {}

    // A layout key's number: its XKB key code, and whether it needs the third level's shift.
    static constexpr uint32_t kLevelThree = 0x100;

private:
    void Stroke(uint32_t keycode, bool press);
    void StrokeKey(Key key, bool press);
    // The key code that types the keysym, lending a spare one when the layout has none.
    uint32_t KeycodeOf(uint32_t keysym);
    void UploadIfChanged();

    CWaylandSession& m_session;
    const IAnsiCodePage& m_codePage;
    CWaylandKeymap m_keymap;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    std::vector<uint32_t> m_held;
    // The named keys held, and the key codes their presses went to.
    struct NamedStroke {
        uint32_t keysym;
        uint32_t keycode;
    };
    static constexpr size_t kMaxNamedHeld = 64;
    std::vector<NamedStroke> m_namedHeld;
    CWaylandKeymap::Modifiers m_modifiers;
};
