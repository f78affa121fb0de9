#include "platform/wayland/WaylandKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// Spare keys lent at once; more distinct characters than this reuse the oldest.
constexpr size_t kMaxSpares = 64;
// The highest key code X clients can see through XWayland.
constexpr uint32_t kHighestKeycode = 255;

int BitCount(uint32_t mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1) ++count;
    return count;
}

// Inserts the lines just before the end of the section that starts with the keyword.
void AddToSection(std::string& text, const char* keyword, const std::string& lines) {
    if (lines.empty()) return;
    const size_t section = text.find(keyword);
    if (section == std::string::npos) return;
    const size_t end = text.find("\n};", section);
    if (end == std::string::npos) return;
    text.insert(end + 1, lines);
}

}  // namespace

CWaylandKeymap::CWaylandKeymap(const std::string& layoutText) {
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!m_context) return;
    if (!layoutText.empty()) {
        m_keymap = xkb_keymap_new_from_string(
            m_context, layoutText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (!m_keymap)
        m_keymap = xkb_keymap_new_from_names(m_context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!m_keymap) return;
    char* text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) {
        xkb_keymap_unref(m_keymap);
        m_keymap = nullptr;
        return;
    }
    m_base = text;
    std::free(text);
    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_SHIFT);
    if (shift != XKB_MOD_INVALID) m_shiftMask = 1u << shift;
    FindLevelThree();
    FindSpares();
    m_state = xkb_state_new(m_keymap);
}

CWaylandKeymap::~CWaylandKeymap() {
    if (m_state) xkb_state_unref(m_state);
    if (m_keymap) xkb_keymap_unref(m_keymap);
    if (m_context) xkb_context_unref(m_context);
}

// The third level's shift key, and the modifier it sets as the keymap's types name it.
void CWaylandKeymap::FindLevelThree() {
    const xkb_keycode_t first = xkb_keymap_min_keycode(m_keymap);
    const xkb_keycode_t last = xkb_keymap_max_keycode(m_keymap);
    for (xkb_keycode_t code = first; code <= last && m_levelThreeKey == 0; ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(m_keymap, code, 0, 0, &syms) == 1 &&
            syms[0] == XKB_KEY_ISO_Level3_Shift) {
            m_levelThreeKey = code;
        }
    }
    if (m_levelThreeKey == 0) return;
    // The modifier is the one the state reports while that key is down.
    const std::unique_ptr<xkb_state, void (*)(xkb_state*)> state(xkb_state_new(m_keymap),
                                                                 xkb_state_unref);
    if (!state) return;
    xkb_state_update_key(state.get(), m_levelThreeKey, XKB_KEY_DOWN);
    m_levelThreeMask = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_EFFECTIVE);
}

// Key codes the layout gives no keysym, the highest first: the low ones are real keys that
// another layout may use.
void CWaylandKeymap::FindSpares() {
    const xkb_keycode_t first = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(m_keymap), 9);
    const xkb_keycode_t last =
        std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap), kHighestKeycode);
    for (xkb_keycode_t code = last; code >= first && m_spares.size() < kMaxSpares; --code) {
        if (xkb_keymap_num_layouts_for_key(m_keymap, code) != 0) continue;
        const char* name = xkb_keymap_key_get_name(m_keymap, code);
        Spare spare{code, name ? name : "TV" + std::to_string(code), 0, name == nullptr};
        m_spares.push_back(spare);
    }
}

bool CWaylandKeymap::Find(uint32_t keysym, uint32_t otherSpelling, Stroke* stroke) const {
    // Keys above it reach Wayland clients only, not X clients through XWayland.
    return FindUpTo(keysym, otherSpelling, kHighestKeycode, stroke);
}

bool CWaylandKeymap::Types(uint32_t keysym, uint32_t otherSpelling) const {
    Stroke stroke;
    return FindUpTo(keysym, otherSpelling, XKB_KEYCODE_MAX, &stroke);
}

bool CWaylandKeymap::FindUpTo(uint32_t keysym, uint32_t otherSpelling, uint32_t lastKeycode,
                              Stroke* stroke) const {
    if (!m_keymap || keysym == 0) return false;
    const uint32_t allowed = m_shiftMask | m_levelThreeMask;
    bool found = false;
    int fewest = 0;
    const xkb_keycode_t first = xkb_keymap_min_keycode(m_keymap);
    const xkb_keycode_t last =
        std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap), lastKeycode);
    for (xkb_keycode_t code = first; code <= last; ++code) {
        if (xkb_keymap_num_layouts_for_key(m_keymap, code) == 0) continue;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(m_keymap, code, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(m_keymap, code, 0, level, &syms) != 1) continue;
            if (syms[0] != keysym && (otherSpelling == 0 || syms[0] != otherSpelling)) continue;
            xkb_mod_mask_t masks[16];
            const size_t count =
                xkb_keymap_key_get_mods_for_level(m_keymap, code, 0, level, masks, 16);
            for (size_t i = 0; i < count; ++i) {
                if ((masks[i] & ~allowed) != 0) continue;
                if (found && BitCount(masks[i]) >= fewest) continue;
                found = true;
                fewest = BitCount(masks[i]);
                stroke->keycode = code;
                stroke->shift = (masks[i] & m_shiftMask) != 0;
                stroke->levelThree = m_levelThreeMask != 0 && (masks[i] & m_levelThreeMask);
            }
        }
    }
    return found;
}

CWaylandKeymap::Modifiers CWaylandKeymap::Strike(uint32_t keycode, bool press) {
    Modifiers modifiers;
    if (!m_state) return modifiers;
    xkb_state_update_key(m_state, keycode, press ? XKB_KEY_DOWN : XKB_KEY_UP);
    modifiers.depressed = xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED);
    modifiers.latched = xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED);
    modifiers.locked = xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED);
    modifiers.group = xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE);
    return modifiers;
}

uint32_t CWaylandKeymap::Lend(uint32_t keysym, const std::vector<uint32_t>& held) {
    const auto moveToEnd = [this](std::vector<Spare>::iterator spare) {
        const Spare kept = *spare;
        m_spares.erase(spare);
        m_spares.push_back(kept);
        return kept.keycode;
    };
    for (auto spare = m_spares.begin(); spare != m_spares.end(); ++spare) {
        if (spare->keysym == keysym) return moveToEnd(spare);
    }
    auto chosen = std::find_if(m_spares.begin(), m_spares.end(),
                               [](const Spare& spare) { return spare.keysym == 0; });
    if (chosen == m_spares.end()) {
        chosen = std::find_if(m_spares.begin(), m_spares.end(), [&held](const Spare& spare) {
            return std::find(held.begin(), held.end(), spare.keycode) == held.end();
        });
    }
    if (chosen == m_spares.end()) return 0;
    chosen->keysym = keysym;
    m_changed = true;
    return moveToEnd(chosen);
}

std::string CWaylandKeymap::Text() const {
    std::string names;
    std::string symbols;
    for (const Spare& spare : m_spares) {
        if (spare.keysym == 0) continue;
        char keysymName[64] = {};
        if (xkb_keysym_get_name(spare.keysym, keysymName, sizeof(keysymName)) <= 0) continue;
        if (spare.unnamed)
            names += "\t<" + spare.name + "> = " + std::to_string(spare.keycode) + ";\n";
        symbols += "\tkey <" + spare.name + "> { [ " + keysymName + " ] };\n";
    }
    std::string text = m_base;
    // The symbols first: the key code section comes before them and would move them.
    AddToSection(text, "xkb_symbols", symbols);
    AddToSection(text, "xkb_keycodes", names);
    return text;
}
