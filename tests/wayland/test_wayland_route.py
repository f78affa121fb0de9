"""The native server on a headless sway, through the wlroots route: its pointer, keys and
window list as a Wayland client sees them and as sway's own tree tells them."""

import os
import signal
import sys
import time
import unittest

from sway_harness import (Device, NativeServer, ProbeWindow, SwaySession, free_port,
                          settings_text, wait_until)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
from probe_client import key_of, text_of  # noqa: E402
from test_native_input import (ABSOLUTE, DEVICE_KEYS, LEFT_DOWN, LEFT_UP, MOVE,  # noqa: E402
                               SECOND_X_BUTTON, X_DOWN, X_UP)

# Linux input codes of the buttons.
BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA = 272, 273, 274, 275, 276


class RouteTestCase(unittest.TestCase):
    """One probe window filling the output, one server without a password, one device."""

    server_env = None

    @classmethod
    def setUpClass(cls):
        cls.session = SwaySession.get()

    def setUp(self):
        self.target = self.window("Route Target")
        port = free_port()
        self.server = NativeServer(self.session, settings_text(port=port, password_enabled=0),
                                   port=port, env=self.server_env)
        self.addCleanup(self.server.stop)
        self.server.wait_listening()
        self.device = Device(self.server.port)
        self.addCleanup(self.device.close)
        self.device.read_line()

    def window(self, title, app_id="org.tavrix.Probe"):
        window = ProbeWindow(self.session, title, app_id)
        self.addCleanup(window.stop)
        self.assertTrue(wait_until(lambda: self.session.focused() == title, 5),
                        self.session.windows())
        return window

    def send(self, *lines):
        for line in lines:
            self.device.send(line.encode("ascii") + b"\n")
            self.device.expect_ack()

    def typed(self):
        """What the window's keymap and modifiers made of the keys pressed so far."""
        text = ""
        for _, state, utf8 in self.target.settle("key"):
            if state == "1" and utf8 != "-":
                text += bytes.fromhex(utf8).decode("utf-8")
        return text

    def pressed(self):
        return [name for name, state, _ in self.target.settle("key") if state == "1"]


class Start(RouteTestCase):
    def test_it_serves_without_an_x_display_and_says_its_route(self):
        lines = self.server.stderr_lines()
        self.assertTrue(any("wlroots route" in line for line in lines), lines)
        self.assertTrue(any("dragging a window does nothing" in line for line in lines), lines)
        self.assertNotIn("DISPLAY", self.session.env)


class Pointer(RouteTestCase):
    def test_absolute_and_relative_moves_reach_the_window_where_sent(self):
        self.send("7777:100:200:0")
        self.assertIn(["100", "200"], self.target.events("motion", 1) +
                      self.target.events("enter", 0))
        self.send("2:10.9:-5.9", "2:30:40")
        motions = self.target.events("motion", 3)
        self.assertEqual(motions[-2:], [["110", "195"], ["140", "235"]])
        # The output's edge stops the pointer.
        self.send("2:5000:-5000")
        self.assertEqual(self.target.events("motion", 4)[-1], ["1279", "0"])

    def test_moves_are_in_the_layouts_logical_pixels_at_a_fractional_scale(self):
        output = "output HEADLESS-1 scale "
        self.assertIsNotNone(self.session.swaymsg("command", output + "1.5"))
        self.addCleanup(self.session.swaymsg, "command", output + "1")
        # The output's wl_output scale says 2 here; its layout box is 1280 / 1.5 wide.
        rect = self.session.swaymsg("get_outputs")[0]["rect"]
        self.assertLess(rect["width"], 1280)

        def lands(x, y):
            self.send(f"7777:{x}:{y}:0")
            return self.target.settle("motion")[-1:] == [[str(x), str(y)]]
        self.assertTrue(wait_until(lambda: lands(400, 300), 5), self.target.settle("motion"))
        # The kept position stops at the layout's edge too: a move back comes back from it.
        self.send("2:5000:5000", "2:-100:-100")
        self.assertEqual(self.target.settle("motion")[-1],
                         [str(rect["width"] - 101), str(rect["height"] - 101)])

    def test_a_burst_of_moves_waits_for_the_compositor_rather_than_losing_it(self):
        # Faster than sway reads them: the server's socket fills up on the way. (The
        # acknowledgements a device doesn't read in time are dropped.)
        data = b"2:1:0\n2:-1:0\n" * 3000
        for i in range(0, len(data), 512):
            self.device.send(data[i:i + 512])
        self.device.send(b"7777:50:60:0\n")
        self.assertTrue(self.target.wait_line(lambda line: line == "motion 50 60", 10))
        self.assertFalse([line for line in self.server.stderr_lines() if "Error" in line])

    def test_a_compositor_that_stops_reading_ends_the_server_rather_than_hanging_it(self):
        sway = self.session.process.pid
        os.kill(sway, signal.SIGSTOP)
        self.addCleanup(os.kill, sway, signal.SIGCONT)
        data = b"2:1:0\n2:-1:0\n" * 20000
        try:
            for i in range(0, len(data), 4096):
                self.device.send(data[i:i + 4096])
        except OSError:
            pass  # the server went first
        # It waits for room once; when what it queued meanwhile overflows, the connection
        # has failed and the session is over for it.
        self.assertIsNotNone(self.server.wait_for_line(lambda line: "session is over" in line,
                                                       30), self.server.stderr_lines())
        self.assertTrue(wait_until(lambda: self.server.process.poll() is not None, 10))

    def test_buttons_raw_words_and_side_buttons(self):
        self.send("7777:300:300:0", "3:0", "4:0", "33:1:2", "3:2", "4:2")
        self.send(f"3:{LEFT_DOWN | LEFT_UP}", f"3:{X_DOWN}", f"4:{X_UP}",
                  f"3:{X_DOWN | SECOND_X_BUTTON}", f"4:{X_UP | SECOND_X_BUTTON}")
        buttons = self.target.events("button", 16)
        self.assertEqual([(int(b), int(s)) for b, s in buttons], [
            (BTN_LEFT, 1), (BTN_LEFT, 0), (BTN_RIGHT, 1), (BTN_RIGHT, 0), (BTN_RIGHT, 1),
            (BTN_RIGHT, 0), (BTN_MIDDLE, 1), (BTN_MIDDLE, 0), (BTN_LEFT, 1), (BTN_LEFT, 0),
            (BTN_SIDE, 1), (BTN_SIDE, 0), (BTN_EXTRA, 1), (BTN_EXTRA, 0)][:len(buttons)])
        self.assertEqual(len(buttons), 14)
        self.send(f"3:{MOVE | ABSOLUTE}")
        self.assertEqual(self.target.events("motion", 2)[-1], ["0", "0"])

    def test_the_wheel_turns_in_discrete_steps_and_carries_slow_turns(self):
        self.send("7777:300:300:0")
        # 24 * 5 = 120 is one step away from the user; -48 * 5 two toward.
        self.send("1:5:24", "1:0:-48", "1:0:10", "1:0:10")
        self.assertEqual(self.target.settle("discrete"), [["0", "-1"], ["0", "2"]])
        self.send("1:0:10")  # 50 + 50 + 50 carried: one step away
        self.assertEqual(self.target.settle("discrete")[-1], ["0", "-1"])

    def test_buttons_held_are_released_when_the_device_leaves(self):
        self.send("7777:300:300:0", "3:0", f"3:{X_DOWN}")
        self.device.close()
        self.assertEqual(sorted(tuple(b) for b in self.target.events("button", 4)),
                         [(str(BTN_LEFT), "0"), (str(BTN_LEFT), "1"), (str(BTN_SIDE), "0"),
                          (str(BTN_SIDE), "1")])


class Typing(RouteTestCase):
    def test_layout_characters_and_characters_no_key_makes_arrive_exactly(self):
        # On the US layout: letters, shifted ones, digits; then e-acute, the euro sign, a
        # per mille sign and a dagger, which no key of it types (nor of any Latin layout,
        # for the last two).
        text = "aZ!9 q\u00e9\u20ac\u2030\u2020\u00e9"
        self.send(*[f"5:{c}" for c in text.encode("cp1252")])
        self.assertEqual(self.typed(), text)
        self.assertEqual(self.pressed(), ["a", "Shift_L", "Z", "Shift_L", "exclam", "9", "space",
                                   "q", "eacute", "EuroSign", "permille", "dagger", "eacute"])

    def test_special_keys_and_modifiers(self):
        self.send(*[f"6:{code}:0" for code, _ in DEVICE_KEYS])
        names = [name for _, name in DEVICE_KEYS]
        self.assertEqual(self.pressed(), names)
        self.send("6:123:15", "7:97:4")  # all four modifiers with Left; Ctrl+a
        keys = self.target.settle("key")[2 * len(names):]
        self.assertEqual([(name, state) for name, state, _ in keys], [
            ("Super_L", "1"), ("Alt_L", "1"), ("Control_L", "1"), ("Shift_L", "1"),
            ("Left", "1"), ("Left", "0"), ("Shift_L", "0"), ("Control_L", "0"),
            ("Alt_L", "0"), ("Super_L", "0"), ("Control_L", "1"), ("a", "1"), ("a", "0"),
            ("Control_L", "0")])
        # Ctrl+a is the control character, as the client's keymap and modifiers make it.
        self.assertEqual(keys[11][2], "01")


class GermanLayout(RouteTestCase):
    # A seat without a keyboard of its own: the layout comes from XKB's defaults.
    server_env = {"XKB_DEFAULT_LAYOUT": "de"}

    def test_characters_go_on_the_keys_and_levels_of_the_layout(self):
        text = "zy€@ä‰"
        self.send(*[f"5:{c}" for c in text.encode("cp1252")])
        self.assertEqual(self.typed(), text)
        # The German keys and levels: z and y swapped, the euro sign and the at sign on the
        # third level, a-umlaut a key of its own; per mille on a spare key.
        self.assertEqual(self.pressed(), ["z", "y", "ISO_Level3_Shift", "EuroSign",
                                          "ISO_Level3_Shift", "at", "adiaeresis", "permille"])


class Windows(RouteTestCase):
    def window_list(self):
        self.send("656")
        line = self.device.read_line(timeout=5).decode("ascii")
        self.assertTrue(line.startswith("124:"), line)
        fields = line.rstrip("\n").split(":")
        return int(fields[1]), fields[2:]

    def test_the_list_and_the_foreground_are_sways(self):
        self.window("Caf\u00e9 \u00e0 10 \u20ac")
        self.window("Twin")
        self.window("Twin")
        index, keys = self.window_list()
        expected = sorted((key_of(w["name"]) for w in self.session.windows()
                           if w["name"] != "Twin"), key=lambda k: k.encode())
        expected = sorted(expected + [key_of("Twin"), key_of("Twin (2)")],
                          key=lambda k: k.encode())
        self.assertEqual(keys, expected)
        self.assertEqual(text_of(keys[index]), self.session.focused())

    def test_activate_switches_and_close_asks_the_window(self):
        other = self.window("Other Window")
        self.window_list()
        self.send("127:" + key_of("Route Target"))
        self.assertTrue(wait_until(lambda: self.session.focused() == "Route Target", 5),
                        self.session.windows())
        index, keys = self.window_list()
        self.assertEqual(text_of(keys[index]), "Route Target")
        self.send("129:" + key_of("Other Window"))
        self.assertIsNotNone(other.wait_line(lambda line: line == "close", 5))
        self.assertTrue(wait_until(lambda: other.process.poll() is not None, 5))
        self.assertTrue(wait_until(
            lambda: "Other Window" not in [w["name"] for w in self.session.windows()], 5))

    def test_the_icon_comes_from_the_applications_desktop_file(self):
        self.session.install_application("org.tavrix.Painted", 32, (0, 0, 255))
        self.window("Painted", "org.tavrix.Painted")
        self.window_list()
        self.send("438:" + key_of("Painted"))
        header = self.device.read_line(timeout=5).decode("ascii")
        code, _, path, length = header.rstrip("\n").split(":")
        self.assertEqual(code, "439")
        self.assertTrue(text_of(path).endswith("/applications/org.tavrix.Painted.desktop"))
        bmp = self.device.read_exact(int(length), timeout=5)
        self.assertEqual(bmp[:2], b"BM")
        # The first pixel of the bottom row, BGR(A): blue.
        offset = int.from_bytes(bmp[10:14], "little")
        self.assertEqual(tuple(bmp[offset:offset + 3]), (255, 0, 0))


if __name__ == "__main__":
    unittest.main()
