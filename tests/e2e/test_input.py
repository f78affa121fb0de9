"""Pointer and keyboard input of the real program, checked from outside it: the pointer as
another program reads it, the messages that a probe window receives, the text that Wine's
notepad.exe ends up holding, and the place of a window that the device drags."""

import time
import unittest

from harness import Device, Probe, ServerProcess, WineSession, free_port, settings_text, \
    wait_until
from input_support import Notepad, WatchWindow

# Key codes of the device.
KEY_LEFT = 123
KEY_ENTER = 76
KEY_TAB = 9


class InputTestCase(unittest.TestCase):
    """One server without a password and one connected device per test."""

    @classmethod
    def setUpClass(cls):
        cls.session = WineSession.get()
        cls.probe = Probe(cls.session)

    def setUp(self):
        port = free_port()
        self.server = ServerProcess(self.session, settings_text(port=port, password_enabled=0),
                                    port=port)
        self.addCleanup(self.server.stop)
        self.server.wait_listening()
        self.device = self.connect()

    def connect(self):
        device = Device(self.server.port)
        self.addCleanup(device.close)
        device.read_line()
        return device

    def send(self, *lines):
        """Each line in its own write, acknowledged before the next goes."""
        for line in lines:
            self.device.send(line.encode("ascii") + b"\n")
            self.device.expect_ack()

    def watch(self, title, x, y, width=300, height=200):
        window = WatchWindow(self.session, self.probe.exe, title, x, y, width, height)
        self.addCleanup(window.stop)
        return window

    def cursor_becomes(self, expected, timeout=5.0):
        if wait_until(lambda: self.probe.cursor() == expected, timeout, interval=0.1):
            return expected
        return self.probe.cursor()

    def rect(self, title):
        _, out = self.session.run_windows(self.probe.exe, "rect", title)
        return tuple(int(v) for v in out.split())


class PointerMovesAndButtons(InputTestCase):
    def test_relative_move_truncates_toward_zero(self):
        self.probe.set_cursor(300, 300)
        self.send("2:10.9:-5.9")
        self.assertEqual(self.cursor_becomes((310, 295)), (310, 295))
        self.send("2:-0.99:0.99")
        time.sleep(0.2)
        self.assertEqual(self.probe.cursor(), (310, 295))

    def test_presses_releases_and_clicks_reach_the_window_under_the_pointer(self):
        window = self.watch("Button Target", 500, 300)
        self.probe.set_cursor(600, 330)
        self.send("3:0", "4:0", "33:1:2", "3:2", "4:2", "33:0:0", "33:0:-1")
        events = window.wait_events(10)
        self.assertEqual([e[0] for e in events],
                         ["down-left", "up-left", "down-right", "up-right", "down-right",
                          "up-right", "down-middle", "up-middle"])
        self.assertTrue(all(e[1] == "main" for e in events))
        self.assertEqual(window.settle(), events)  # nothing more came

    def test_wheel_reaches_the_deepest_window_under_the_pointer(self):
        window = self.watch("Wheel Target", 500, 300)
        x, y = window.child_origin[0] + 20, window.child_origin[1] + 10
        self.probe.set_cursor(x, y)
        self.send("1:5:24", "1:0:-48", "1:0:-0.1")
        events = window.wait_events(3)
        self.assertEqual(events, [("wheel", "child", 120, x, y), ("wheel", "child", -240, x, y),
                                  ("wheel", "child", 0, x, y)])

    def test_button_left_pressed_is_released_when_the_device_leaves(self):
        window = self.watch("Release Target", 500, 300)
        self.probe.set_cursor(600, 330)
        self.send("3:0")
        self.assertEqual(window.wait_events(1)[0][0], "down-left")
        self.device.close()
        self.assertEqual([e[0] for e in window.wait_events(2)], ["down-left", "up-left"])


class Glides(InputTestCase):
    def test_cursor_glide_moves_by_the_expected_total_and_stops_by_itself(self):
        self.probe.set_cursor(100, 600)
        start = time.monotonic()
        self.send("302:30:0:1.5", "302:0:300:1.5")  # the second start is ignored
        self.assertEqual(self.cursor_becomes((124, 600)), (124, 600))
        # Eleven steps of 23 ms; then it rests.
        self.assertLess(time.monotonic() - start, 3.0)
        time.sleep(0.5)
        self.assertEqual(self.probe.cursor(), (124, 600))

    def test_scroll_glide_posts_decaying_wheel_turns(self):
        window = self.watch("Glide Target", 500, 300)
        self.probe.set_cursor(600, 330)
        self.send("301:0:10:2")
        events = window.wait_events(5)
        self.assertEqual([e[2] for e in events], [50, 25, 12, 6, 3])
        self.assertEqual(len(window.settle(0.5)), 5)

    def test_endless_glide_stops_on_command_and_on_disconnect(self):
        self.probe.set_cursor(100, 500)
        self.send("302:6:0:1")  # a decay of 1 never comes to rest
        self.assertTrue(wait_until(lambda: self.probe.cursor()[0] > 110, 5, interval=0.1))
        self.send("45")
        time.sleep(0.2)
        stopped = self.probe.cursor()
        time.sleep(0.4)
        self.assertEqual(self.probe.cursor(), stopped)

        self.send("302:6:0:1")
        self.assertTrue(wait_until(lambda: self.probe.cursor()[0] > stopped[0] + 10, 5,
                                   interval=0.1))
        self.device.close()
        time.sleep(0.3)
        left_at = self.probe.cursor()
        time.sleep(0.4)
        self.assertEqual(self.probe.cursor(), left_at)


class WindowDrag(InputTestCase):
    def test_grab_drag_and_release_move_another_programs_window(self):
        window = self.watch("Drag Target", 200, 150)
        before = self.rect("Drag Target")
        x, y = window.child_origin[0] + 30, window.child_origin[1] + 10
        self.probe.set_cursor(x, y)
        self.send("19")  # over the child: its top-level window is taken, and clicked once
        self.assertEqual([e[:2] for e in window.wait_events(2)],
                         [("down-left", "child"), ("up-left", "child")])
        self.send("20:30.7:20.2")
        moved = tuple(v + d for v, d in zip(before, (30, 20, 30, 20)))
        self.assertTrue(wait_until(lambda: self.rect("Drag Target") == moved, 5, interval=0.1))
        self.assertEqual(self.probe.cursor(), (x + 30, y + 20))

        self.send("20:-1000:0")  # the left edge would leave the desktop: nothing moves
        time.sleep(0.3)
        self.assertEqual(self.rect("Drag Target"), moved)
        self.assertEqual(self.probe.cursor(), (x + 30, y + 20))

        self.send("201", "20:30:20")
        time.sleep(0.3)
        self.assertEqual(self.rect("Drag Target"), moved)


class Typing(InputTestCase):
    def setUp(self):
        super().setUp()
        self.notepad = Notepad(self.session, self.probe.exe)
        self.addCleanup(self.notepad.stop)
        self.assertTrue(self.notepad.activate(), "notepad is not in the foreground")

    def type_text(self, text):
        self.send(*[f"5:{ord(c)}" for c in text])

    def test_characters_capitals_symbols_digits_blanks_enter_and_tab(self):
        # No parentheses: Wine's layout on the bare X server has no key for them.
        self.type_text('Hello, World! #42 & "Tavrix" 100% ~_+{}|:<>?')
        self.send(f"6:{KEY_ENTER}:0")
        self.type_text("\tx y\t9")
        expected = b'Hello, World! #42 & "Tavrix" 100% ~_+{}|:<>?\r\n\tx y\t9'
        self.assertEqual(self.notepad.wait_text(expected), expected)

    def test_special_keys_land_where_the_caret_is(self):
        self.type_text("ab")
        self.send(f"6:{KEY_LEFT}:0")
        self.type_text("X")
        self.assertEqual(self.notepad.wait_text(b"aXb"), b"aXb")

    def test_character_with_ctrl_selects_all_and_typing_replaces_it(self):
        self.type_text("old text")
        self.assertEqual(self.notepad.wait_text(b"old text"), b"old text")
        self.send("7:97:4", "5:90")  # Ctrl+a, then Z
        self.assertEqual(self.notepad.wait_text(b"Z"), b"Z")

    def test_characters_without_a_key_arrive_all_the_same(self):
        _, out = self.session.run_windows(self.probe.exe, "keyscan", "40", "97")
        unproducible = [line.split()[0] for line in out.splitlines() if line.endswith("ffff")]
        # Under Wine on the bare X server "(" has no key; "a" has one and keeps using it.
        self.assertEqual(unproducible, ["40"])
        self.type_text("a(b)c")
        self.send("5:233", "5:128")  # e-acute and the euro sign of the ANSI code page
        expected = b"a(b)c\xe9\x80"
        self.assertEqual(self.notepad.wait_text(expected), expected)

    def test_unknown_key_codes_and_unproducible_characters_with_modifiers_type_nothing(self):
        _, out = self.session.run_windows(self.probe.exe, "keyscan", "233", "40")
        unproducible = [line.split()[0] for line in out.splitlines() if line.endswith("ffff")]
        self.assertTrue(unproducible, "the layout produces every character tried")
        self.type_text("k")
        self.send("6:0:0", "6:12345:15", "6:-1:0", *[f"7:{c}:8" for c in unproducible])
        self.type_text("m")
        self.assertEqual(self.notepad.wait_text(b"km"), b"km")


class BadInput(InputTestCase):
    def test_wild_values_neither_crash_nor_hang_the_server(self):
        window = self.watch("Bad Input Target", 500, 300)
        self.probe.set_cursor(600, 330)
        self.send("2:nan:inf", "2:1e39:-1e39", "2:-inf:nan")
        self.probe.set_cursor(600, 330)
        self.send("1:0:1e30", "1:0:-inf", "33:0:2000000000", "3:12345", "302:nan:1:1.5",
                  "302:1:1:0", "301:1:inf:2", "301:1e38:1e38:-5", "20:nan:nan",
                  "20:1e30:-1e30", "201", "6:2147483647:2147483647", "7:-99999:-1",
                  "4:-7")  # every flag bit: an absolute move to the corner among them
        start = time.monotonic()
        self.probe.set_cursor(300, 300)
        self.send("2:5:5")
        self.assertEqual(self.cursor_becomes((305, 305)), (305, 305))
        self.assertLess(time.monotonic() - start, 5.0)
        # The huge click count was held to its bound: a hundred clicks, not two billion.
        downs = [e for e in window.settle(1.0) if e[0] == "down-left"]
        self.assertEqual(len(downs), 100)
        self.assertIsNone(self.server.process.poll())
        self.device.close()
        # The server takes the next device as usual.
        again = Device(self.server.port)
        self.addCleanup(again.close)
        self.assertTrue(again.read_line().startswith(b"1000:"))


if __name__ == "__main__":
    unittest.main()
