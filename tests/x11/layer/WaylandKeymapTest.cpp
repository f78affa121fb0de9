#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/wayland/WaylandKeymap.h"

namespace {

// A layout's keymap as a seat's keyboard would announce it.
std::string LayoutText(const char* layout) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::string text;
    if (keymap) {
        char* raw = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        text = raw;
        std::free(raw);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return text;
}

// What a client that receives the uploaded text types with the key at level 1.
xkb_keysym_t TypedBy(const std::string& text, uint32_t keycode) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_keysym_t keysym = XKB_KEY_NoSymbol;
    if (keymap) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &syms) == 1) keysym = syms[0];
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return keysym;
}

TEST(WaylandKeymap, LayoutCharactersGoOnTheirOwnKeysAndLevels) {
    CWaylandKeymap german(LayoutText("de"));
    ASSERT_TRUE(german.Usable());
    CWaylandKeymap::Stroke stroke;
    ASSERT_TRUE(german.Find(XKB_KEY_z, 0, &stroke));
    EXPECT_EQ(stroke.keycode, 29u);  // where a US keyboard has y
    EXPECT_FALSE(stroke.shift || stroke.levelThree);
    ASSERT_TRUE(german.Find(XKB_KEY_Z, 0, &stroke));
    EXPECT_TRUE(stroke.shift);
    ASSERT_TRUE(german.Find(XKB_KEY_EuroSign, 0x10020ac, &stroke));
    EXPECT_EQ(stroke.keycode, 26u);  // AltGr+e
    EXPECT_TRUE(stroke.levelThree);
    EXPECT_FALSE(stroke.shift);
    EXPECT_NE(german.LevelThreeKey(), 0u);
    EXPECT_FALSE(german.Find(XKB_KEY_eacute, 0, &stroke));
}

TEST(WaylandKeymap, AnUnreadableLayoutFallsBackToTheDefault) {
    CWaylandKeymap keymap("not a keymap");
    ASSERT_TRUE(keymap.Usable());
    CWaylandKeymap::Stroke stroke;
    EXPECT_TRUE(keymap.Find(XKB_KEY_a, 0, &stroke));
}

TEST(WaylandKeymap, MissingKeysymsAreLentSpareKeysThatClientsDecode) {
    CWaylandKeymap keymap(LayoutText("us"));
    const std::string before = keymap.Text();
    keymap.Sent();
    EXPECT_FALSE(keymap.Changed());
    const uint32_t eacute = keymap.Lend(XKB_KEY_eacute, {});
    const uint32_t cyrillic = keymap.Lend(0x1000436, {});  // U+0436
    ASSERT_NE(eacute, 0u);
    ASSERT_NE(cyrillic, 0u);
    EXPECT_NE(eacute, cyrillic);
    EXPECT_TRUE(keymap.Changed());
    EXPECT_EQ(keymap.Lend(XKB_KEY_eacute, {}), eacute);
    const std::string text = keymap.Text();
    EXPECT_EQ(TypedBy(text, eacute), static_cast<xkb_keysym_t>(XKB_KEY_eacute));
    EXPECT_EQ(TypedBy(text, cyrillic), 0x1000436u);
    // The layout's own keys are as they were.
    EXPECT_EQ(TypedBy(text, 38), static_cast<xkb_keysym_t>(XKB_KEY_a));
    EXPECT_EQ(TypedBy(before, eacute), static_cast<xkb_keysym_t>(XKB_KEY_NoSymbol));
}

TEST(WaylandKeymap, TheOldestSpareNotHeldIsReusedWhenAllAreLent) {
    CWaylandKeymap keymap(LayoutText("us"));
    std::vector<uint32_t> lent;
    for (uint32_t i = 0;; ++i) {
        const uint32_t keysym = 0x1000400 + i;
        const uint32_t code = keymap.Lend(keysym, {});
        if (!lent.empty() && code == lent.front()) break;
        ASSERT_LT(i, 300u) << "spares never ran out";
        lent.push_back(code);
    }
    // The first one went to the last keysym; with the second held, the third is next.
    const uint32_t next = keymap.Lend(0x1000300, {lent[1]});
    EXPECT_EQ(next, lent[2]);
    EXPECT_EQ(TypedBy(keymap.Text(), next), 0x1000300u);
}

}  // namespace
