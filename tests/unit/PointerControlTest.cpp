#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "fakes/FakeGlideClock.h"
#include "fakes/FakeMainWindow.h"
#include "input/PointerInput.h"

namespace {

using Calls = std::vector<std::string>;

constexpr WindowHandle kServerWindow = 0x500;
constexpr WindowHandle kServerButton = 0x501;
constexpr WindowHandle kEditor = 0x700;
constexpr WindowHandle kEditorButton = 0x701;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A 1024x768 screen: the server's dialog at the top left with a button of its own and its
// minimize and close boxes at the right end of its caption, and an editor with a button
// further down.
struct Pointer {
    Pointer() {
        desktop.AddWindow(kServerWindow, {0, 0, 300, 200});
        desktop.SetBoxes(kServerWindow, {260, 0, 300, 20});
        desktop.AddWindow(kServerButton, {20, 100, 120, 130}, true, kServerWindow);
        desktop.AddWindow(kEditor, {400, 300, 700, 500});
        desktop.AddWindow(kEditorButton, {450, 350, 550, 400}, true, kEditor);
    }

    FakeDesktop desktop;
    FakeMainWindow window{kServerWindow};
    FakeGlideClock clock;
    CPointerInput input{desktop, desktop, window, clock};
};

TEST(PointerMove, TruncatesTowardZero) {
    Pointer p;
    p.desktop.PlaceCursor(100, 100);
    p.input.MoveCursorBy(2.9f, -2.9f);
    EXPECT_EQ(p.desktop.CallsTo("MoveTo"), Calls{"MoveTo(102,98)"});
    p.input.MoveCursorBy(-0.99f, 0.99f);
    EXPECT_EQ(p.desktop.CallsTo("MoveTo").back(), "MoveTo(102,98)");
}

TEST(PointerMove, NonFiniteAndHugeValuesStayBounded) {
    Pointer p;
    p.desktop.PlaceCursor(100, 100);
    p.input.MoveCursorBy(kNaN, kInf);
    p.input.MoveCursorBy(-1e30f, -kInf);
    EXPECT_EQ(p.desktop.CallsTo("MoveTo"),
              (Calls{"MoveTo(100,16777316)", "MoveTo(-16777116,-16776449)"}));
    EXPECT_EQ(p.desktop.Cursor().x, 0);
    EXPECT_EQ(p.desktop.Cursor().y, 0);
}

TEST(PointerButtons, NamedButtonsAndRawWords) {
    Pointer p;
    p.desktop.PlaceCursor(600, 600);
    for (int button : {0, 1, 2, 7, -1}) {
        p.input.ButtonDown(button);
        p.input.ButtonUp(button);
    }
    EXPECT_EQ(p.desktop.Buttons(),
              (Calls{"Press(Left)", "Release(Left)", "Press(Right)", "Release(Right)",
                     "Press(Middle)", "Release(Middle)", "RawButtonWord(7)", "RawButtonWord(7)",
                     "RawButtonWord(4294967295)", "RawButtonWord(4294967295)"}));
}

TEST(PointerButtons, PressOnOwnCloseOrMinimiseBoxHidesInsteadOfPressing) {
    Pointer p;
    p.desktop.PlaceCursor(290, 5);
    p.input.ButtonDown(0);
    EXPECT_EQ(p.window.hides, 1);
    EXPECT_TRUE(p.desktop.Buttons().empty());
    EXPECT_EQ(p.desktop.CallsTo("IsMinimizeOrCloseBox"),
              Calls{"IsMinimizeOrCloseBox(0x500,290,5)"});
    p.input.ButtonUp(0);
    EXPECT_EQ(p.desktop.Buttons(), Calls{"Release(Left)"});
}

TEST(PointerButtons, OnlyTheServerWindowItselfIsAskedForItsBoxes) {
    Pointer p;
    // The dialog's own button is a control, not the window, even where boxes would lie.
    p.desktop.SetBoxes(kServerButton, {20, 100, 120, 130});
    p.desktop.PlaceCursor(50, 5);  // the caption
    p.input.ButtonDown(1);
    p.desktop.PlaceCursor(30, 110);
    p.input.ButtonDown(0);
    EXPECT_EQ(p.desktop.CallsTo("IsMinimizeOrCloseBox"), Calls{"IsMinimizeOrCloseBox(0x500,50,5)"});
    EXPECT_EQ(p.desktop.Buttons(), (Calls{"Press(Right)", "Press(Left)"}));
    EXPECT_EQ(p.window.hides, 0);
}

TEST(PointerClicks, CountsAndTheirBound) {
    Pointer p;
    p.desktop.PlaceCursor(600, 600);
    p.input.ClickButton(0, 2);
    EXPECT_EQ(p.desktop.Buttons(),
              (Calls{"Press(Left)", "Release(Left)", "Press(Left)", "Release(Left)"}));
    p.desktop.ClearCalls();
    p.input.ClickButton(0, 0);
    p.input.ClickButton(0, -1);
    p.input.ClickButton(0, INT_MIN);
    EXPECT_TRUE(p.desktop.Buttons().empty());
    // Millions of clicks would hold the GUI thread for minutes; a hundred is plenty.
    p.input.ClickButton(1, INT_MAX);
    EXPECT_EQ(p.desktop.Buttons().size(), 200u);
}

TEST(PointerClicks, EveryPressOfAClickObeysTheBoxes) {
    Pointer p;
    p.desktop.PlaceCursor(290, 5);
    p.input.ClickButton(0, 3);
    EXPECT_EQ(p.window.hides, 3);
    EXPECT_EQ(p.desktop.Buttons(), (Calls{"Release(Left)", "Release(Left)", "Release(Left)"}));
}

TEST(PointerDrag, GrabClimbsToTheTopLevelWindowAndClicksOnce) {
    Pointer p;
    p.desktop.PlaceCursor(460, 360);  // over the editor's button
    p.input.GrabWindowUnderCursor();
    EXPECT_EQ(p.input.GrabbedWindow(), kEditor);
    EXPECT_EQ(p.desktop.Buttons(), (Calls{"Press(Left)", "Release(Left)"}));

    p.input.DragGrabbedWindowBy(10.7f, -5.9f);
    EXPECT_EQ(p.desktop.CallsTo("MoveTo"), Calls{"MoveTo(470,355)"});
    EXPECT_EQ(p.desktop.CallsTo("MoveWindow"), Calls{"MoveWindow(0x700,410,295,710,495)"});

    p.input.ReleaseGrabbedWindow();
    p.desktop.ClearCalls();
    p.input.DragGrabbedWindowBy(10, 10);
    EXPECT_TRUE(p.desktop.Calls().empty());
}

TEST(PointerDrag, FreeWindowsAreTakenThemselvesAndBrokenChainsNotAtAll) {
    Pointer p;
    // A pop-up has a parent but is not embedded in it.
    p.desktop.AddWindow(0x800, {800, 0, 900, 100}, false, kEditor);
    p.desktop.AddWindow(0x900, {800, 600, 900, 700}, true, 0);
    // Two embedded windows that name each other as parent: the climb still ends.
    p.desktop.AddWindow(0xA00, {0, 600, 100, 700}, true, 0xA01);
    p.desktop.AddWindow(0xA01, {0, 700, 10, 710}, true, 0xA00);
    // A window whose style can't be read is not taken, nor is its parent.
    p.desktop.AddWindow(0xC00, {200, 600, 300, 700}, true, kEditor);
    p.desktop.MakeUnreadable(0xC00);

    p.desktop.PlaceCursor(850, 50);
    p.input.GrabWindowUnderCursor();
    EXPECT_EQ(p.input.GrabbedWindow(), 0x800u);
    for (ScreenPoint at : {ScreenPoint{850, 650}, ScreenPoint{50, 650}, ScreenPoint{250, 650}}) {
        p.desktop.ClearCalls();
        p.desktop.PlaceCursor(at.x, at.y);
        p.input.GrabWindowUnderCursor();
        EXPECT_EQ(p.input.GrabbedWindow(), 0u) << at.x;
        EXPECT_TRUE(p.desktop.Buttons().empty()) << at.x;
    }
}

TEST(PointerDrag, NothingUnderThePointerTakesTheServerWindow) {
    Pointer p;
    p.desktop.PlaceCursor(1000, 700);
    p.input.GrabWindowUnderCursor();
    EXPECT_EQ(p.input.GrabbedWindow(), kServerWindow);
    EXPECT_EQ(p.desktop.Buttons(), (Calls{"Press(Left)", "Release(Left)"}));
}

TEST(PointerDrag, TopLeftCornerMustStayInsideTheDesktop) {
    Pointer p;
    p.desktop.AddWindow(0xB00, {0, 0, 50, 50});
    p.desktop.PlaceCursor(10, 10);
    p.input.GrabWindowUnderCursor();
    ASSERT_EQ(p.input.GrabbedWindow(), 0xB00u);
    auto moves = [&](float dx, float dy) {
        p.desktop.ClearCalls();
        p.input.DragGrabbedWindowBy(dx, dy);
        return p.desktop.CallsTo("MoveWindow").size() == 1;
    };
    EXPECT_FALSE(moves(-1, 0));
    EXPECT_FALSE(moves(0, -1));
    EXPECT_TRUE(p.desktop.CallsTo("MoveTo").empty());  // a dropped drag moves nothing
    EXPECT_TRUE(moves(1024, 728));                     // right edge, bottom minus 40
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
    p.desktop.PlaceCursor(460, 360);
    p.input.GrabWindowUnderCursor();
    ASSERT_EQ(p.input.GrabbedWindow(), kEditor);
    p.desktop.CloseWindow(kEditor);
    p.desktop.ClearCalls();
    p.input.DragGrabbedWindowBy(5, 5);
    EXPECT_TRUE(p.desktop.CallsTo("MoveWindow").empty());
    EXPECT_TRUE(p.desktop.CallsTo("MoveTo").empty());
}

// Which window the turn reaches is the system's business; the input gives the point and
// the delta.
TEST(PointerWheel, TurnsAtThePointerByFiveTimesTheVerticalAmount) {
    Pointer p;
    p.desktop.PlaceCursor(460, 360);
    p.input.ScrollWheel(99, 24);  // dx plays no part
    p.input.ScrollWheel(0, -0.1f);
    p.input.ScrollWheel(0, -24);
    EXPECT_EQ(
        p.desktop.CallsTo("TurnWheelAt"),
        (Calls{"TurnWheelAt(460,360,120)", "TurnWheelAt(460,360,0)", "TurnWheelAt(460,360,-120)"}));
}

TEST(PointerWheel, LargeTurnsKeepTheirDirection) {
    Pointer p;
    p.desktop.PlaceCursor(460, 360);
    for (float dy : {7000.0f, 1e9f, kInf, -7000.0f, -kInf, kNaN}) p.input.ScrollWheel(0, dy);
    EXPECT_EQ(p.desktop.CallsTo("TurnWheelAt"),
              (Calls{"TurnWheelAt(460,360,32767)", "TurnWheelAt(460,360,32767)",
                     "TurnWheelAt(460,360,32767)", "TurnWheelAt(460,360,-32768)",
                     "TurnWheelAt(460,360,-32768)", "TurnWheelAt(460,360,0)"}));
}

}  // namespace
