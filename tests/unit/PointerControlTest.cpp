#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "protocol/CommandExecutor.h"

namespace {

using Calls = std::vector<std::string>;

constexpr WindowHandle kServerWindow = 0x500;
constexpr WindowHandle kServerButton = 0x501;
constexpr WindowHandle kEditor = 0x700;
constexpr WindowHandle kEditorButton = 0x701;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A 1024x768 screen: the server's dialog at the top left with a button of its own, and an
// editor with a button further down.
struct Pointer {
    Pointer() {
        desktop.AddWindow(kServerWindow, {0, 0, 300, 200});
        desktop.AddWindow(kServerButton, {20, 100, 120, 130}, desktop::kWsChild, kServerWindow);
        desktop.AddWindow(kEditor, {400, 300, 700, 500});
        desktop.AddWindow(kEditorButton, {450, 350, 550, 400}, desktop::kWsChild, kEditor);
    }
    Calls Mouse() const { return desktop.CallsOf("mouse_event"); }

    FakeDesktop desktop;
    InputMainWindow window{kServerWindow};
    CCommandExecutor executor{nullptr, &desktop, &window};
};

TEST(PointerMove, TruncatesTowardZero) {
    Pointer p;
    p.desktop.PlaceCursor(100, 100);
    p.executor.MoveCursorBy(2.9f, -2.9f);
    EXPECT_EQ(p.desktop.CallsOf("SetCursorPos"), Calls{"SetCursorPos(102,98)"});
    p.executor.MoveCursorBy(-0.99f, 0.99f);
    EXPECT_EQ(p.desktop.CallsOf("SetCursorPos").back(), "SetCursorPos(102,98)");
}

TEST(PointerMove, NonFiniteAndHugeValuesStayBounded) {
    Pointer p;
    p.desktop.PlaceCursor(100, 100);
    p.executor.MoveCursorBy(kNaN, kInf);
    p.executor.MoveCursorBy(-1e30f, -kInf);
    EXPECT_EQ(p.desktop.CallsOf("SetCursorPos"),
              (Calls{"SetCursorPos(100,16777316)", "SetCursorPos(-16777116,-16776449)"}));
    EXPECT_EQ(p.desktop.Cursor().x, 0);
    EXPECT_EQ(p.desktop.Cursor().y, 0);
}

TEST(PointerButtons, FlagWordsOfTheButtonTable) {
    Pointer p;
    p.desktop.PlaceCursor(600, 600);
    for (int button : {0, 1, 2, 7, -1}) {
        p.executor.ButtonDown(button);
        p.executor.ButtonUp(button);
    }
    EXPECT_EQ(p.Mouse(),
              (Calls{"mouse_event(2)", "mouse_event(4)", "mouse_event(8)", "mouse_event(16)",
                     "mouse_event(32)", "mouse_event(64)", "mouse_event(7)", "mouse_event(7)",
                     "mouse_event(4294967295)", "mouse_event(4294967295)"}));
}

TEST(PointerButtons, PressOnOwnCloseOrMinimiseBoxHidesInsteadOfPressing) {
    for (intptr_t code : {8, 20}) {
        Pointer p;
        p.desktop.SetHitTest(kServerWindow, code);
        p.desktop.PlaceCursor(290, 5);
        p.executor.ButtonDown(0);
        EXPECT_EQ(p.window.hides, 1);
        EXPECT_TRUE(p.Mouse().empty());
        // x in the low word, y in the high word.
        EXPECT_EQ(p.desktop.CallsOf("SendMessage"), Calls{"SendMessage(0x500,132,0x0,0x50122)"});
        p.executor.ButtonUp(0);
        EXPECT_EQ(p.Mouse(), Calls{"mouse_event(4)"});
    }
}

TEST(PointerButtons, OnlyTheServerWindowItselfIsHitTested) {
    Pointer p;
    p.desktop.SetHitTest(kServerWindow, 2);  // caption
    p.desktop.PlaceCursor(50, 5);
    p.executor.ButtonDown(1);
    p.desktop.SetHitTest(kServerButton, 20);
    p.desktop.PlaceCursor(30, 110);  // the dialog's own button: a control, not the window
    p.executor.ButtonDown(0);
    EXPECT_EQ(p.desktop.CallsOf("SendMessage").size(), 1u);
    EXPECT_EQ(p.Mouse(), (Calls{"mouse_event(8)", "mouse_event(2)"}));
    EXPECT_EQ(p.window.hides, 0);
}

TEST(PointerClicks, CountsAndTheirBound) {
    Pointer p;
    p.desktop.PlaceCursor(600, 600);
    p.executor.ClickButton(0, 2);
    EXPECT_EQ(p.Mouse(),
              (Calls{"mouse_event(2)", "mouse_event(4)", "mouse_event(2)", "mouse_event(4)"}));
    p.desktop.ClearCalls();
    p.executor.ClickButton(0, 0);
    p.executor.ClickButton(0, -1);
    p.executor.ClickButton(0, INT_MIN);
    EXPECT_TRUE(p.Mouse().empty());
    // Millions of clicks would hold the GUI thread for minutes; a hundred is plenty.
    p.executor.ClickButton(1, INT_MAX);
    EXPECT_EQ(p.Mouse().size(), 200u);
}

TEST(PointerClicks, EveryPressOfAClickObeysTheHitTest) {
    Pointer p;
    p.desktop.SetHitTest(kServerWindow, 20);
    p.desktop.PlaceCursor(290, 5);
    p.executor.ClickButton(0, 3);
    EXPECT_EQ(p.window.hides, 3);
    EXPECT_EQ(p.Mouse(), (Calls{"mouse_event(4)", "mouse_event(4)", "mouse_event(4)"}));
}

TEST(PointerDrag, GrabClimbsToTheTopLevelWindowAndClicksOnce) {
    Pointer p;
    p.desktop.PlaceCursor(460, 360);  // over the editor's button
    p.executor.GrabWindowUnderCursor();
    EXPECT_EQ(p.executor.m_grabbedWindow, kEditor);
    EXPECT_EQ(p.Mouse(), (Calls{"mouse_event(2)", "mouse_event(4)"}));

    p.executor.DragGrabbedWindowBy(10.7f, -5.9f);
    EXPECT_EQ(p.desktop.CallsOf("SetCursorPos"), Calls{"SetCursorPos(470,355)"});
    EXPECT_EQ(p.desktop.CallsOf("MoveWindow"), Calls{"MoveWindow(0x700,410,295,300,200,1)"});

    p.executor.ReleaseGrabbedWindow();
    p.desktop.ClearCalls();
    p.executor.DragGrabbedWindowBy(10, 10);
    EXPECT_TRUE(p.desktop.Calls().empty());
}

TEST(PointerDrag, PopupsAreTakenThemselvesAndBrokenChainsNotAtAll) {
    Pointer p;
    p.desktop.AddWindow(0x800, {800, 0, 900, 100}, desktop::kWsChild | desktop::kWsPopup, kEditor);
    p.desktop.AddWindow(0x900, {800, 600, 900, 700}, desktop::kWsChild, 0);
    // Two children that name each other as parent: the climb still ends.
    p.desktop.AddWindow(0xA00, {0, 600, 100, 700}, desktop::kWsChild, 0xA01);
    p.desktop.AddWindow(0xA01, {0, 700, 10, 710}, desktop::kWsChild, 0xA00);

    p.desktop.PlaceCursor(850, 50);
    p.executor.GrabWindowUnderCursor();
    EXPECT_EQ(p.executor.m_grabbedWindow, 0x800u);
    for (ScreenPoint at : {ScreenPoint{850, 650}, ScreenPoint{50, 650}}) {
        p.desktop.ClearCalls();
        p.desktop.PlaceCursor(at.x, at.y);
        p.executor.GrabWindowUnderCursor();
        EXPECT_EQ(p.executor.m_grabbedWindow, 0u);
        EXPECT_TRUE(p.Mouse().empty());
    }
}

TEST(PointerDrag, NothingUnderThePointerTakesTheServerWindow) {
    Pointer p;
    p.desktop.PlaceCursor(1000, 700);
    p.executor.GrabWindowUnderCursor();
    EXPECT_EQ(p.executor.m_grabbedWindow, kServerWindow);
    EXPECT_EQ(p.Mouse(), (Calls{"mouse_event(2)", "mouse_event(4)"}));
}

TEST(PointerDrag, TopLeftCornerMustStayInsideTheDesktop) {
    Pointer p;
    p.desktop.AddWindow(0xB00, {0, 0, 50, 50});
    p.desktop.PlaceCursor(10, 10);
    p.executor.GrabWindowUnderCursor();
    ASSERT_EQ(p.executor.m_grabbedWindow, 0xB00u);
    auto moves = [&](float dx, float dy) {
        p.desktop.ClearCalls();
        p.executor.DragGrabbedWindowBy(dx, dy);
        return p.desktop.CallsOf("MoveWindow").size() == 1;
    };
    EXPECT_FALSE(moves(-1, 0));
    EXPECT_FALSE(moves(0, -1));
    EXPECT_TRUE(p.desktop.CallsOf("SetCursorPos").empty());  // a dropped drag moves nothing
    EXPECT_TRUE(moves(1024, 728));                           // right edge, bottom minus 40
    EXPECT_EQ(p.desktop.RectOf(0xB00).left, 1024);
    EXPECT_FALSE(moves(1, 0));
    EXPECT_FALSE(moves(0, 1));
    EXPECT_FALSE(moves(kNaN, 1e30f));
    EXPECT_FALSE(moves(-kInf, kNaN));
    EXPECT_TRUE(moves(-1024.9f, -728.9f));
    EXPECT_EQ(p.desktop.RectOf(0xB00).left, 0);
    EXPECT_EQ(p.desktop.RectOf(0xB00).bottom, 50);
}

TEST(PointerDrag, ClosedWindowStopsMovingSilently) {
    Pointer p;
    p.executor.m_grabbedWindow = 0xDEAD;
    p.executor.DragGrabbedWindowBy(5, 5);
    EXPECT_TRUE(p.desktop.CallsOf("MoveWindow").empty());
    EXPECT_TRUE(p.desktop.CallsOf("SetCursorPos").empty());
}

TEST(PointerWheel, DeltaGoesToTheDeepestWindowUnderThePointer) {
    Pointer p;
    p.desktop.PlaceCursor(460, 360);
    p.executor.ScrollWheel(99, 24);  // dx plays no part
    p.executor.ScrollWheel(0, -0.1f);
    p.executor.ScrollWheel(0, -24);
    const std::string at = ",0x16801cc)";  // y 360 high, x 460 low
    EXPECT_EQ(p.desktop.CallsOf("PostMessage"),
              (Calls{"PostMessage(0x701,522,0x780000" + at, "PostMessage(0x701,522,0x0" + at,
                     "PostMessage(0x701,522,0xff880000" + at}));
}

TEST(PointerWheel, LargeTurnsKeepTheirDirection) {
    Pointer p;
    p.desktop.PlaceCursor(460, 360);
    for (float dy : {7000.0f, 1e9f, kInf, -7000.0f, -kInf, kNaN}) p.executor.ScrollWheel(0, dy);
    Calls deltas;
    for (const std::string& call : p.desktop.CallsOf("PostMessage")) {
        const size_t from = call.find(',', call.find(',') + 1) + 1;
        deltas.push_back(call.substr(from, call.find(',', from) - from));
    }
    EXPECT_EQ(deltas,
              (Calls{"0x7fff0000", "0x7fff0000", "0x7fff0000", "0x80000000", "0x80000000", "0x0"}));
}

TEST(PointerWheel, NoWindowUnderThePointerScrollsNothing) {
    Pointer p;
    p.desktop.PlaceCursor(1000, 700);
    p.executor.ScrollWheel(0, 24);
    EXPECT_TRUE(p.desktop.CallsOf("PostMessage").empty());
}

}  // namespace
