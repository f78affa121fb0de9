"""The list of open applications, their icons, and switching to, starting and closing them,
with real programs under Wine: Wine's notepad.exe and winemine.exe, checked from outside
through the windows probe and an independent BMP reader."""

import subprocess
import sys
import time
import unittest

from bmp_reader import read_bmp
from harness import Device, Probe, ServerProcess, WineSession, built_program, free_port, \
    settings_text, stop_process, wait_until

NOTEPAD = "class:Notepad"
WINEMINE = "title:WineMine"


def key_of(title):
    """The window key of a title (Western European code page)."""
    units = title.encode("utf-16-le")
    return "-1|-2" + "".join(f"|{units[i]}|{units[i + 1]}" for i in range(0, len(units), 2))


def text_of(key):
    numbers = [int(n) for n in key.split("|")[2:]]
    return bytes(numbers).decode("utf-16-le")


class WindowsProbe:
    def __init__(self, session):
        self.session = session
        self.exe = built_program("TavrixWindowsProbe.exe")

    def run(self, *args):
        code, out = self.session.run_windows(self.exe, *args)
        assert code == 0, f"windows probe {args} failed: {code}"
        return out.strip()

    def state(self, name):
        """(handle, iconic, foreground, title), or None when there is no such window."""
        fields = self.run("state", name).split()
        if fields[0] == "missing":
            return None
        title = bytes.fromhex(fields[3]).decode("cp1252") if len(fields) > 3 else ""
        return int(fields[0]), fields[1] == "iconic", fields[2] == "foreground", title

    def foreground_title(self):
        fields = self.run("foreground").split()
        return bytes.fromhex(fields[1]).decode("cp1252") if len(fields) > 1 else ""

    def count(self, window_class):
        return int(self.run("count", window_class))

    def icon(self, path):
        return tuple(int(v) for v in self.run("icon", path).split())


class Program:
    """A Wine program with a window, stopped by its own pid."""

    def __init__(self, session, probe, exe, name):
        self.probe = probe
        self.name = name
        self.process = subprocess.Popen([session.wine, exe], env=session.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: probe.state(name), 30, interval=0.2):
            self.stop()
            raise AssertionError(f"{exe} did not open")

    def title(self):
        return self.probe.state(self.name)[3]

    def stop(self):
        stop_process(self.process)


class WindowsTestCase(unittest.TestCase):
    """A server without a password, one device, notepad and winemine open."""

    @classmethod
    def setUpClass(cls):
        cls.session = WineSession.get()
        cls.probe = WindowsProbe(cls.session)
        cls.input_probe = Probe(cls.session)

    def setUp(self):
        self.notepad = self.start("notepad.exe", NOTEPAD)
        self.winemine = self.start("winemine.exe", WINEMINE)
        port = free_port()
        self.server = ServerProcess(self.session, settings_text(port=port, password_enabled=0),
                                    port=port)
        self.addCleanup(self.server.stop)
        self.server.wait_listening()
        self.device = Device(self.server.port)
        self.addCleanup(self.device.close)
        self.device.read_line()

    def start(self, exe, name):
        program = Program(self.session, self.probe, exe, name)
        self.addCleanup(program.stop)
        return program

    def open_crowd(self, count):
        """count more windows, "Crowd 1" and on, each with a child window."""
        crowd = subprocess.Popen([self.session.wine, self.probe.exe, "crowd", str(count), "120"],
                                 env=self.session.env, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL)
        self.addCleanup(crowd.stdout.close)
        self.addCleanup(stop_process, crowd)
        self.assertEqual(crowd.stdout.readline().strip(), b"ready")

    def command(self, line):
        self.device.send(line.encode("ascii") + b"\n")
        self.device.expect_ack()

    def read_list(self, timeout=5.0):
        """(foreground index, keys) of the next window list."""
        line = self.device.read_line(timeout=timeout).decode("ascii")
        self.assertTrue(line.startswith("124:") and line.endswith("\n"), line)
        fields = line[:-1].split(":")
        return int(fields[1]), fields[2:]

    def window_list(self):
        self.command("656")
        return self.read_list()

    def icon(self, key, timeout=5.0):
        """(path, BMP bytes) of the answer to 438."""
        self.command("438:" + key)
        header = self.device.read_line(timeout=timeout).decode("ascii")
        code, answered_key, path, length = header[:-1].split(":")
        self.assertEqual((code, answered_key), ("439", key))
        return path, self.device.read_exact(int(length), timeout=timeout)


class ListAndIcons(WindowsTestCase):
    def test_the_list_names_the_programs_in_key_order_with_the_foreground_index(self):
        self.assertTrue(wait_until(lambda: self.session.run_windows(
            self.input_probe.exe, "activate", "Notepad")[1].strip() == "foreground", 10,
            interval=0.3))
        index, keys = self.window_list()
        self.assertIn(key_of(self.notepad.title()), keys)
        self.assertIn(key_of("WineMine"), keys)
        self.assertEqual(keys, sorted(keys, key=lambda k: k.encode()))
        self.assertEqual(len(set(keys)), len(keys))
        self.assertEqual(keys[index], key_of(self.probe.foreground_title()))
        self.assertEqual(keys[index], key_of(self.notepad.title()))

    def test_icons_come_as_bmp_files_with_the_programs_path(self):
        self.window_list()
        for title, program in ((self.notepad.title(), "notepad.exe"),
                               ("WineMine", "winemine.exe")):
            with self.subTest(program):
                encoded_path, data = self.icon(key_of(title))
                path = text_of(encoded_path)
                self.assertTrue(path.lower().endswith("\\" + program), path)
                width, height, planes, bits = self.probe.icon(path)
                bmp = read_bmp(data)
                self.assertEqual((bmp.width, bmp.height, bmp.bits), (width, height, bits))
                self.assertEqual(planes, 1)
                self.assertTrue(any(p != (0, 0, 0) for row in bmp.rows for p in row))

    def test_only_keys_of_the_last_list_get_an_icon(self):
        _, keys = self.window_list()
        encoded_path, _ = self.icon(key_of("WineMine"))
        self.command("438:" + encoded_path)  # a path is no window key
        self.command("438:" + key_of("No Such Window"))
        self.device.expect_silence(1.0)


class ActivateLaunchClose(WindowsTestCase):
    def test_activation_restores_a_minimised_window_and_the_next_list_names_it(self):
        self.window_list()
        self.probe.run("minimize", NOTEPAD)
        self.assertTrue(wait_until(lambda: self.probe.state(NOTEPAD)[1], 5))
        sent = time.monotonic()
        self.command("127:" + key_of(self.notepad.title()))
        index, keys = self.read_list(timeout=3)
        delay = time.monotonic() - sent
        self.assertGreaterEqual(delay, 0.08)
        self.assertLess(delay, 2.0)
        self.assertEqual(keys[index], key_of(self.notepad.title()))
        state = wait_until(lambda: (lambda s: s if not s[1] and s[2] else None)(
            self.probe.state(NOTEPAD)), 5, interval=0.2)
        self.assertTrue(state, f"notepad stays {self.probe.state(NOTEPAD)}")
        self.device.expect_silence(0.5)  # a true result ends the sequence

    def test_the_path_from_an_icon_message_starts_another_instance(self):
        self.window_list()
        encoded_path, _ = self.icon(key_of(self.notepad.title()))
        before = self.probe.count("Notepad")
        self.addCleanup(self.close_extra_notepads, before)
        self.command("127:" + encoded_path)
        self.assertTrue(wait_until(lambda: self.probe.count("Notepad") == before + 1, 15,
                                   interval=0.3))
        title = self.notepad.title()

        def notepads(keys):
            return [k for k in keys if text_of(k) == title or text_of(k).startswith(title + " (")]
        # The list at 100 ms, and the one 3000 ms later when the count had not changed yet.
        _, keys = self.read_list(timeout=5)
        if len(notepads(keys)) == before:
            _, keys = self.read_list(timeout=5)
        _, keys = self.window_list()
        self.assertEqual(len(notepads(keys)), before + 1)
        self.assertIn(key_of(title + " (2)"), keys)

    def close_extra_notepads(self, keep):
        while self.probe.count("Notepad") > keep:
            self.probe.run("close", NOTEPAD)
            if not wait_until(lambda: self.probe.count("Notepad") <= keep, 5, interval=0.2):
                break

    def test_close_removes_the_window_from_a_later_list(self):
        _, keys = self.window_list()
        self.assertIn(key_of("WineMine"), keys)
        self.command("129:" + key_of("WineMine"))
        self.assertTrue(wait_until(lambda: self.probe.state(WINEMINE) is None, 10,
                                   interval=0.2))
        first = self.read_list(timeout=3)
        if key_of("WineMine") in first[1]:
            first = self.read_list(timeout=5)  # the retry 3000 ms later
        self.assertNotIn(key_of("WineMine"), first[1])
        self.assertNotIn(key_of("WineMine"), self.window_list()[1])

    def test_an_unknown_key_closes_nothing(self):
        self.window_list()
        self.command("129:" + key_of("No Such Window"))
        self.device.expect_silence(0.5)
        self.assertIsNotNone(self.probe.state(WINEMINE))


class Polling(WindowsTestCase):
    def test_the_poll_sends_a_list_only_when_the_number_of_windows_changed(self):
        self.window_list()
        self.open_crowd(1)
        # The poll runs every 15 s, and waits 10 s after any list.
        _, keys = self.read_list(timeout=27)
        self.assertIn(key_of("Crowd 1"), keys)
        self.device.expect_silence(16)


class Performance(WindowsTestCase):
    def test_two_hundred_windows_list_and_icon_round_trips(self):
        self.open_crowd(200)
        self.window_list()  # the first enumeration of the crowd
        started = time.monotonic()
        _, keys = self.window_list()
        list_seconds = time.monotonic() - started
        self.assertGreaterEqual(len(keys), 202)
        started = time.monotonic()
        _, data = self.icon(key_of(self.notepad.title()))
        icon_seconds = time.monotonic() - started
        read_bmp(data)
        report = (f"200 windows: 656 round trip {list_seconds * 1000:.1f} ms for {len(keys)} "
                  f"keys; 438 round trip {icon_seconds * 1000:.1f} ms for {len(data)} bytes")
        print("\n" + report, file=sys.stderr)
        self.assertLess(list_seconds, 2.0)
        self.assertLess(icon_seconds, 2.0)


if __name__ == "__main__":
    unittest.main()
