"""Pointer and keyboard input of the native server, checked from outside it: the X pointer
as another client reads it, and the events a probe window logs."""

import sys
import time
import unittest

from native_harness import Device, NativeServer, X11Session, free_port, settings_text, \
    wait_until
from probe_client import Probe, ProbeWindow

# Key codes of the device.
KEY_LEFT = 123
KEY_ENTER = 76
DEVICE_KEYS = [
    (122, "F1"), (120, "F2"), (99, "F3"), (118, "F4"), (96, "F5"), (97, "F6"), (98, "F7"),
    (100, "F8"), (101, "F9"), (109, "F10"), (103, "F11"), (111, "F12"), (105, "F13"),
    (107, "F14"), (113, "F15"), (106, "F16"), (123, "Left"), (124, "Right"), (125, "Down"),
    (126, "Up"), (115, "Home"), (116, "Prior"), (121, "Next"), (119, "End"), (53, "Escape"),
    (9, "Tab"), (76, "Return"), (998, "XF86AudioRaiseVolume"), (997, "XF86AudioLowerVolume"),
    (999, "XF86AudioMute"),
]
# Windows' mouse_event flags in a raw button word.
MOVE, LEFT_DOWN, LEFT_UP, X_DOWN, X_UP, WHEEL, ABSOLUTE = \
    0x1, 0x2, 0x4, 0x80, 0x100, 0x800, 0x8000
SECOND_X_BUTTON = 2 << 16


class InputTestCase(unittest.TestCase):
    """One server without a password and one connected device per test."""

    @classmethod
    def setUpClass(cls):
        cls.session = X11Session.get()
        cls.probe = Probe(cls.session)

    def setUp(self):
        port = free_port()
        self.server = NativeServer(self.session, settings_text(port=port, password_enabled=0),
                                   port=port)
        self.addCleanup(self.server.stop)
        self.server.wait_listening()
        self.device = Device(self.server.port)
        self.addCleanup(self.device.close)
        self.device.read_line()

    def send(self, *lines):
        """Each line in its own write, acknowledged before the next goes."""
        for line in lines:
            self.device.send(line.encode("ascii") + b"\n")
            self.device.expect_ack()

    def window(self, title, x=200, y=150, width=300, height=200, options=()):
        window = ProbeWindow(self.session, title, x, y, width, height, options)
        self.addCleanup(window.stop)
        return window

    def focused_window(self, title):
        window = self.window(title)
        self.probe.activate(window.id)
        self.assertTrue(wait_until(lambda: self.probe.active() == window.id, 5),
                        f"{title} did not get the focus")
        return window

    def place_pointer(self, x, y):
        # Without xdotool's --sync, which waits for ever when the pointer is there already.
        self.session.xdotool("mousemove", x, y)
        self.assertEqual(self.pointer_becomes((x, y)), (x, y))

    def pointer_becomes(self, expected, timeout=5.0):
        if wait_until(lambda: self.probe.pointer() == expected, timeout, interval=0.05):
            return expected
        return self.probe.pointer()


class PointerMovesAndButtons(InputTestCase):
    def test_relative_moves_truncate_toward_zero_and_stop_at_the_screen_edge(self):
        self.place_pointer(300, 300)
        self.send("2:10.9:-5.9")
        self.assertEqual(self.pointer_becomes((310, 295)), (310, 295))
        self.send("2:-0.99:0.99")
        self.assertEqual(self.probe.pointer(), (310, 295))
        self.send("2:5000:-5000")
        self.assertEqual(self.pointer_becomes((1023, 0)), (1023, 0))

    def test_presses_releases_and_clicks_reach_the_window_under_the_pointer(self):
        window = self.window("Button Target", 500, 300)
        self.place_pointer(600, 380)
        self.send("3:0", "4:0", "33:1:2", "3:2", "4:2", "33:0:0", "33:0:-1")
        events = window.wait_events(8)
        self.assertEqual([e[:2] for e in events],
                         [("down", 1), ("up", 1), ("down", 3), ("up", 3), ("down", 3),
                          ("up", 3), ("down", 2), ("up", 2)])
        self.assertTrue(all(e[4:] == (600, 380) for e in events), events)
        self.assertEqual(window.settle(), events)

    def test_raw_button_words_press_the_buttons_they_name_and_the_side_buttons(self):
        window = self.window("Raw Target", 500, 300)
        self.place_pointer(600, 380)
        self.send(f"3:{LEFT_DOWN | LEFT_UP}", f"3:{X_DOWN}", f"4:{X_UP}",
                  f"3:{X_DOWN | SECOND_X_BUTTON}", f"4:{X_UP | SECOND_X_BUTTON}")
        events = window.wait_events(6)
        self.assertEqual([e[:2] for e in events],
                         [("down", 1), ("up", 1), ("down", 8), ("up", 8), ("down", 9),
                          ("up", 9)])
        # An absolute move in a raw word goes to its coordinates, which are 0.
        self.send(f"3:{MOVE | ABSOLUTE}")
        self.assertEqual(self.pointer_becomes((0, 0)), (0, 0))
        # A relative move and a wheel turn of 0 do nothing.
        self.send(f"3:{MOVE | WHEEL}")
        self.assertEqual(self.probe.pointer(), (0, 0))
        self.assertEqual(len(window.settle()), 6)

    def test_buttons_held_are_released_when_the_device_leaves(self):
        window = self.window("Release Target", 500, 300)
        self.place_pointer(600, 380)
        self.send("3:0", f"3:{X_DOWN}")
        self.assertEqual(len(window.wait_events(2)), 2)
        self.device.close()
        events = window.wait_events(4)
        self.assertEqual(sorted(e[:2] for e in events),
                         [("down", 1), ("down", 8), ("up", 1), ("up", 8)])

    def test_the_wheel_clicks_once_per_step_and_carries_slow_turns(self):
        window = self.window("Wheel Target", 500, 300)
        self.place_pointer(600, 380)
        # 24 * 5 = 120 is one step away from the user; -48 * 5 two toward; -0.1 nothing.
        self.send("1:5:24", "1:0:-48", "1:0:-0.1")
        events = window.wait_events(6)
        self.assertEqual([e[:2] for e in events],
                         [("down", 4), ("up", 4), ("down", 5), ("up", 5), ("down", 5),
                          ("up", 5)])
        # Three turns of 50 make one step, with 30 carried to the next.
        self.send("1:0:10", "1:0:10")
        self.assertEqual(len(window.settle()), 6)
        self.send("1:0:10", "1:0:10")
        events = window.settle()
        self.assertEqual([e[:2] for e in events[6:]], [("down", 4), ("up", 4)])


class Glides(InputTestCase):
    def test_cursor_glide_moves_by_the_expected_total_and_stops_by_itself(self):
        self.place_pointer(100, 600)
        started = time.monotonic()
        self.send("302:30:0:1.5", "302:0:300:1.5")  # the second start is ignored
        self.assertEqual(self.pointer_becomes((124, 600)), (124, 600))
        self.assertLess(time.monotonic() - started, 3.0)
        time.sleep(0.5)
        self.assertEqual(self.probe.pointer(), (124, 600))

    def test_cursor_glide_turns_round_at_the_screen_edge(self):
        self.place_pointer(1015, 400)
        self.send("302:60:0:2")  # steps of 20, 10, 5, 2 and 1
        # Held at 1023 instead of 1035, then back by 10, 5, 2 and 1.
        self.assertEqual(self.pointer_becomes((1005, 400)), (1005, 400))

    def test_scroll_glide_clicks_the_wheel_as_its_turns_add_up(self):
        window = self.window("Glide Target", 500, 300)
        self.place_pointer(600, 380)
        # Turns of 300, 150, 75, 37, 18, 9 and 4 make four steps of 120.
        self.send("301:0:60:2")
        events = window.wait_events(8)
        self.assertEqual([e[:2] for e in events], [("down", 4), ("up", 4)] * 4)
        self.assertEqual(len(window.settle(0.5)), 8)

    def test_endless_glide_stops_on_command_and_on_disconnect(self):
        self.place_pointer(100, 500)
        self.send("302:6:0:1")  # a decay of 1 never comes to rest
        self.assertTrue(wait_until(lambda: self.probe.pointer()[0] > 110, 5, interval=0.05))
        self.send("45")
        time.sleep(0.2)
        stopped = self.probe.pointer()
        time.sleep(0.4)
        self.assertEqual(self.probe.pointer(), stopped)
        self.send("302:6:0:1")
        self.assertTrue(wait_until(lambda: self.probe.pointer()[0] > stopped[0] + 10, 5,
                                   interval=0.05))
        self.device.close()
        time.sleep(0.3)
        left_at = self.probe.pointer()
        time.sleep(0.4)
        self.assertEqual(self.probe.pointer(), left_at)


class WindowDrag(InputTestCase):
    def test_grab_drag_and_release_move_the_window_under_the_pointer(self):
        window = self.window("Drag Target", 200, 150)
        before = self.probe.state(window.id)["frame"]
        x, y = before[0] + 100, before[1] + 80
        self.place_pointer(x, y)
        self.send("19")  # the window is taken, and clicked once
        self.assertEqual([e[:2] for e in window.wait_events(2)], [("down", 1), ("up", 1)])
        self.send("20:30.7:20.2")
        moved = (before[0] + 30, before[1] + 20, before[2], before[3])
        self.assertEqual(self.probe.state(window.id)["frame"], moved)
        self.assertEqual(self.probe.pointer(), (x + 30, y + 20))

        self.send("20:-1000:0")  # the left edge would leave the desktop: nothing moves
        self.assertEqual(self.probe.state(window.id)["frame"], moved)
        self.assertEqual(self.probe.pointer(), (x + 30, y + 20))

        self.send("201", "20:30:20")
        time.sleep(0.2)
        self.assertEqual(self.probe.state(window.id)["frame"], moved)

    def test_a_window_taken_by_its_title_bar_moves_step_by_step(self):
        window = self.window("Title Drag", 300, 200)
        before = self.probe.state(window.id)["frame"]
        # The frame's title bar belongs to the window manager, not to the client.
        self.place_pointer(before[0] + 60, before[1] + 5)
        self.send("19", *["20:4:3"] * 10)
        expected = (before[0] + 40, before[1] + 30, before[2], before[3])
        self.assertEqual(self.probe.state(window.id)["frame"], expected)


class Typing(InputTestCase):
    def setUp(self):
        super().setUp()
        self.target = self.focused_window("Typing Target")

    def type_text(self, text):
        self.send(*[f"5:{c}" for c in text.encode("cp1252")])

    def test_characters_capitals_symbols_digits_blanks_enter_and_tab(self):
        text = 'Hello, World! #42 & "Tavrix" (100%) ~_+{}|:<>?[]\\;\',./`=-'
        self.type_text(text)
        self.send(f"6:{KEY_ENTER}:0")
        self.type_text("\tx y\t9\r")
        expected = text + "\r\tx y\t9\r"
        self.assertTrue(wait_until(lambda: self.target.typed() == expected, 5),
                        self.target.typed())

    def test_special_keys_and_modifiers_go_by_keysym(self):
        self.send(*[f"6:{code}:0" for code, _ in DEVICE_KEYS])
        names = [name for _, name in DEVICE_KEYS]
        self.assertTrue(wait_until(lambda: self.target.pressed() == names, 5),
                        self.target.pressed())
        self.send(f"6:{KEY_LEFT}:15", "7:97:4")  # all four modifiers with Left; Ctrl+a
        events = self.target.wait_events(2 * len(names) + 14)[2 * len(names):]
        self.assertEqual([e[:1] + e[2:3] for e in events], [
            ("keydown", "Super_L"), ("keydown", "Alt_L"), ("keydown", "Control_L"),
            ("keydown", "Shift_L"), ("keydown", "Left"), ("keyup", "Left"),
            ("keyup", "Shift_L"), ("keyup", "Control_L"), ("keyup", "Alt_L"),
            ("keyup", "Super_L"), ("keydown", "Control_L"), ("keydown", "a"),
            ("keyup", "a"), ("keyup", "Control_L")])

    def test_characters_outside_the_keymap_go_through_a_spare_key_given_back_after(self):
        before = self.probe.keymap()
        self.type_text("é€é")
        self.assertTrue(wait_until(lambda: self.target.typed() == "é€é", 5),
                        self.target.typed())
        self.assertEqual(self.target.pressed(), ["eacute", "EuroSign", "eacute"])
        # The same key types both e-acutes; the euro sign has another.
        codes = [e[1] for e in self.target.input_events() if e[0] == "keydown"]
        self.assertEqual(codes[0], codes[2])
        self.assertNotEqual(codes[0], codes[1])
        self.assertNotIn(f"\n{codes[0]} ", "\n" + before)
        # Given back a few seconds after the last stroke, once every client has read it.
        self.assertTrue(wait_until(lambda: self.probe.keymap() == before, 10),
                        "the spare keys were not given back")

    def test_characters_of_the_third_level_are_typed_with_its_shift(self):
        self.assertEqual(self.session.run(["setxkbmap", "fr"]).returncode, 0)
        self.addCleanup(self.session.run, ["setxkbmap", "us"])
        # The server rereads the keymap when X tells it of the change; give that a moment.
        time.sleep(0.5)
        before = self.probe.keymap()
        self.type_text("é€a@É")
        expected = "é€a@É"
        self.assertTrue(wait_until(lambda: self.target.typed() == expected, 5),
                        self.target.typed())
        # On the French layout e-acute has a key, the euro sign and the at sign are on
        # the third level, and the capital e-acute has no key.
        self.assertEqual(self.target.pressed(), [
            "eacute", "ISO_Level3_Shift", "EuroSign", "a", "ISO_Level3_Shift", "at",
            "Eacute"])
        keys = self.target.input_events()
        self.assertEqual([e[0] for e in keys[2:6]], ["keydown", "keydown", "keyup", "keyup"])
        self.assertIn(f"\n{keys[0][1]} ", "\n" + before)  # e-acute from the layout
        self.assertTrue(wait_until(lambda: self.probe.keymap() == before, 10))

    def test_ctrl_alt_backspace_types_nothing(self):
        self.send("7:8:6", "5:8")
        self.assertTrue(wait_until(lambda: self.target.pressed() == ["BackSpace"], 5),
                        self.target.pressed())


class Timing(InputTestCase):
    def test_move_round_trips(self):
        self.place_pointer(100, 100)
        samples = []
        for _ in range(50):
            started = time.perf_counter()
            self.send("2:1:0")
            samples.append(time.perf_counter() - started)
        samples.sort()
        self.assertEqual(self.pointer_becomes((150, 100)), (150, 100))
        # The list that follows a burst of moves comes once they have all been carried out.
        burst = 500
        started = time.perf_counter()
        self.device.send(b"2:0:1\n" * burst + b"656\n")
        while b"124:" not in self.device.read_line(timeout=10):
            pass
        burst_seconds = time.perf_counter() - started
        self.assertEqual(self.probe.pointer(), (150, 600))
        print(f"\nnative move: median {samples[25] * 1000:.2f} ms, 90% {samples[45] * 1000:.2f} "
              f"ms a round trip; burst of {burst} and a list in {burst_seconds * 1000:.1f} ms",
              file=sys.stderr)
        self.assertLess(samples[25], 0.05)


if __name__ == "__main__":
    unittest.main()
