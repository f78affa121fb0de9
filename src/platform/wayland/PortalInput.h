#pragma once
#include <cstdint>
#include <mutex>

#include "platform/Keyboard.h"
#include "platform/PointerDevice.h"

class CPortalSession;
class CWaylandKeymap;
class IAnsiCodePage;

// The pointer through the desktop portal's remote-desktop session. The portal moves it only
// relatively and never says where it is, so the position is this device's own reckoning from
// the origin, which it moves to reach an absolute point.
class CPortalPointer : public IPointerDevice {
public:
    explicit CPortalPointer(CPortalSession& session) : m_session(session) {}

    ScreenPoint Position() override;
    void MoveTo(ScreenPoint point) override;
    void MoveBy(int dx, int dy) override;
    void Press(Button button) override;
    void Release(Button button) override;
    ButtonChange SendRawButtonWord(uint32_t word) override;
    void TurnWheelAt(ScreenPoint point, int delta) override;

private:
    void ExtraButton(bool forward, bool press);

    CPortalSession& m_session;
    // Shared by the GUI thread and the glide worker.
    std::mutex m_lock;
    ScreenPoint m_position;
    int m_wheelCarried = 0;
    bool m_backHeld = false;
    bool m_forwardHeld = false;
};

// The keyboard through the desktop portal. A character goes as its keysym, for which the
// desktop finds the key and shift level itself; named keys go by their key codes. GNOME
// drops a keysym that its layout has no key for, so where the layout is known (layout, the
// keymap of the seat's keyboard), a character it lacks goes as Unicode entry instead:
// Ctrl+Shift+U, the code in hex, a space, which GTK and IBus turn into the character.
class CPortalKeyboard : public IKeyboard {
public:
    CPortalKeyboard(CPortalSession& session, const IAnsiCodePage& codePage,
                    const CWaylandKeymap* layout = nullptr)
        : m_session(session), m_codePage(codePage), m_layout(layout) {}

    void KeyDown(Key key) override;
    void KeyUp(Key key) override;
    CharacterKey KeyForCharacter(char character) override;
    void TypeUnmappedCharacter(char character) override;
    // The desktop keeps its secure-attention sequence to itself.
    void RequestSecureAttention() override {}

private:
    void Stroke(Key key, bool press);
    void Tap(uint32_t keysym);
    // Whether the desktop's layout has a key for the character's keysym; true when unknown.
    bool LayoutHas(uint32_t keysym, char32_t character) const;

    CPortalSession& m_session;
    const IAnsiCodePage& m_codePage;
    const CWaylandKeymap* m_layout;
};
