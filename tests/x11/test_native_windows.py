"""The list of open applications, their icons, and switching to, starting and closing them,
on a real window manager: probe windows with known titles, types and icons, checked against
openbox's own client list and through an independent BMP reader."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

from native_harness import HERE, Device, NativeServer, X11Session, free_port, probe_program, \
    settings_text, stop_process, wait_until
from probe_client import Probe, ProbeWindow, key_of, text_of

sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from bmp_reader import read_bmp  # noqa: E402

# The probe's icon, as (blue, green, red): a green top row, red left and blue right halves,
# and a transparent bottom row.
GREEN, RED, BLUE, CLEAR = (0, 255, 0), (0, 0, 255), (255, 0, 0), (0, 0, 0)
TEST_WINDOW = "TestWnd - Server"


class WindowsTestCase(unittest.TestCase):
    """A server without a password and one connected device per test."""

    @classmethod
    def setUpClass(cls):
        cls.session = X11Session.get()
        cls.probe = Probe(cls.session)

    def setUp(self):
        self.start_server()

    def start_server(self, env=None):
        port = free_port()
        self.server = NativeServer(self.session, settings_text(port=port, password_enabled=0),
                                   port=port, env=env)
        self.addCleanup(self.server.stop)
        self.server.wait_listening()
        self.device = Device(self.server.port)
        self.addCleanup(self.device.close)
        self.device.read_line()

    def window(self, title, x=200, y=150, width=300, height=200, options=()):
        window = ProbeWindow(self.session, title, x, y, width, height, options)
        self.addCleanup(window.stop)
        return window

    def activate(self, window_id):
        self.probe.activate(window_id)
        self.assertTrue(wait_until(lambda: self.probe.active() == window_id, 5),
                        f"window {window_id} did not become active")

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
        return text_of(path), self.device.read_exact(int(length), timeout=timeout)

    def expected_keys(self):
        """The keys of the window manager's own list, left out what the device never sees."""
        titles = [c["name"] for c in reversed(self.probe.clients())
                  if c["type"] not in ("DOCK", "DESKTOP") and c["skip"] == "0"
                  and c["transient"] == "0" and c["wmstate"] in ("1", "3") and c["name"]]
        keys = []
        for title in titles:  # front to back; a repeated title gets a number
            key, n = key_of(title), 2
            while key in keys:
                key, n = key_of(f"{title} ({n})"), n + 1
            keys.append(key)
        return sorted(keys, key=lambda k: k.encode())


class ListAndIcons(WindowsTestCase):
    def test_the_list_is_the_window_managers_own_without_docks_skipped_and_transients(self):
        first = self.window("Plain", 50, 50)
        self.window("Café à 10 €", 400, 50)
        self.window("Snow ☃ man", 50, 300)
        self.window("Twin", 400, 300)
        self.window("Twin", 450, 350)
        self.window("Dock", 0, 700, 300, 40, ["--type", "DOCK"])
        self.window("Desktop Window", 0, 0, 100, 100, ["--type", "DESKTOP"])
        self.window("Skipped", 600, 400, options=["--skip-taskbar"])
        self.window("Dialog", 600, 450, options=["--transient-for", first.id])
        self.window("Far Away", 650, 500, options=["--machine", "another-host"])
        index, keys = self.window_list()
        self.assertEqual(keys, self.expected_keys())
        titles = {text_of(k) for k in keys}
        self.assertTrue({"Plain", "Café à 10 €", "Snow ? man", "Twin", "Twin (2)",
                         "Far Away"} <= titles, titles)
        self.assertFalse({"Dock", "Desktop Window", "Skipped", "Dialog"} & titles)
        self.assertEqual(len(set(keys)), len(keys))

    def test_the_foreground_index_names_the_active_window(self):
        plain = self.window("Front Plain", 50, 50)
        self.window("Front Other", 400, 50)
        skipped = self.window("Front Skipped", 400, 400, options=["--skip-taskbar"])
        self.activate(plain.id)
        index, keys = self.window_list()
        self.assertEqual(keys[index], key_of("Front Plain"))
        # An active window that isn't listed: the index is the number of keys.
        self.activate(skipped.id)
        index, keys = self.window_list()
        self.assertEqual(index, len(keys))

    def assert_probe_icon(self, data):
        bmp = read_bmp(data)
        self.assertEqual((bmp.width, bmp.height, bmp.bits), (32, 32, 32))
        self.assertEqual(bmp.rows[0], [GREEN] * 32)
        for row in bmp.rows[1:31]:
            self.assertEqual(row, [RED] * 16 + [BLUE] * 16)
        self.assertEqual(bmp.rows[31], [CLEAR] * 32)
        # Bottom-up rows with their alpha: the transparent row comes first.
        self.assertEqual(data[54 + 3], 0)
        self.assertEqual(data[54 + 31 * 128 + 3], 255)

    def test_icons_are_the_windows_own_as_bmp_with_the_programs_path(self):
        window = self.window("Icon 32", options=["--icon", "1"])
        self.activate(window.id)
        self.window_list()
        path, data = self.icon(key_of("Icon 32"))
        self.assertEqual(path, os.path.realpath(probe_program()))
        self.assert_probe_icon(data)

    def test_a_larger_icon_is_scaled_down(self):
        window = self.window("Icon 64", options=["--icon", "64"])
        self.activate(window.id)
        self.window_list()
        _, data = self.icon(key_of("Icon 64"))
        self.assert_probe_icon(data)

    def test_windows_of_another_host_and_unknown_keys_get_no_icon(self):
        self.window("Remote Icon", options=["--icon", "1", "--machine", "another-host"])
        _, keys = self.window_list()
        self.assertIn(key_of("Remote Icon"), keys)
        self.command("438:" + key_of("Remote Icon"))
        self.command("438:" + key_of("No Such Window"))
        self.device.expect_silence(0.5)


class ActivateLaunchClose(WindowsTestCase):
    def test_activation_restores_a_minimized_window_and_the_next_list_names_it(self):
        window = self.window("Minimized", 100, 100)
        self.window("Covering", 150, 150)
        self.window_list()
        self.probe.iconify(window.id)
        self.assertTrue(wait_until(lambda: self.probe.state(window.id)["wmstate"] == "3", 5))
        sent = time.monotonic()
        self.command("127:" + key_of("Minimized"))
        index, keys = self.read_list(timeout=3)
        self.assertLess(time.monotonic() - sent, 2.0)
        self.assertEqual(keys[index], key_of("Minimized"))

        def restored():
            state = self.probe.state(window.id)
            return state["wmstate"] == "1" and state["hidden"] == "0"
        self.assertTrue(wait_until(restored, 5), self.probe.state(window.id))
        self.assertTrue(wait_until(lambda: self.probe.active() == window.id, 5))

    def test_close_asks_the_window_and_never_kills_one_that_cant_be_asked(self):
        polite = self.window("Polite")
        stubborn = self.window("Stubborn", 500, 300, options=["--no-delete"])
        self.window_list()
        self.command("129:" + key_of("Polite"))
        self.assertTrue(wait_until(lambda: polite.process.poll() is not None, 5))
        self.assertEqual(polite.process.returncode, 0)
        self.assertEqual(polite.events()[-1], ("close",))
        self.command("129:" + key_of("Stubborn"))
        time.sleep(0.5)
        self.assertIsNone(stubborn.process.poll())
        self.assertIsNotNone(self.probe.state(stubborn.id))

    def test_launch_runs_an_executable_file_and_opens_any_other_with_xdg_open(self):
        folder = tempfile.mkdtemp(dir=self.session.root)
        opened = os.path.join(folder, "opened.txt")
        fake_bin = os.path.join(folder, "bin")
        os.makedirs(fake_bin)
        self.write_script(os.path.join(fake_bin, "xdg-open"),
                          f'printf "%s|" "$@" > "{opened}"')
        ran = os.path.join(folder, "ran.txt")
        program = os.path.join(folder, "run me é")
        self.write_script(program, f'printf "%s|%s" "$0" "$#" > "{ran}"')
        document = os.path.join(folder, "notes ü.txt")
        with open(document, "w") as f:
            f.write("text")
        self.server.stop()
        self.start_server(env={"PATH": fake_bin + os.pathsep + os.environ["PATH"]})
        self.command("127:" + key_of(program))
        self.read_list(timeout=3)
        self.assertTrue(wait_until(lambda: os.path.exists(ran), 5))
        self.assertEqual(self.read_text(ran), f"{program}|0")
        self.command("127:" + key_of(document))
        self.assertTrue(wait_until(lambda: os.path.exists(opened), 5))
        self.assertEqual(self.read_text(opened), f"{document}|")

    def test_a_title_that_names_a_program_is_never_launched(self):
        folder = tempfile.mkdtemp(dir=self.session.root)
        ran = os.path.join(folder, "ran.txt")
        fake_bin = os.path.join(folder, "bin")
        os.makedirs(fake_bin)
        self.write_script(os.path.join(fake_bin, "xdg-open"), f'echo "$@" >> "{ran}"')
        payload = os.path.join(folder, "payload.sh")
        self.write_script(payload, f'echo payload >> "{ran}"')
        self.server.stop()
        self.start_server(env={"PATH": fake_bin + os.pathsep + os.environ["PATH"]})
        self.write_script(os.path.join(self.server.workdir, "payload.sh"),
                          f'echo relative >> "{ran}"')
        window = self.window(payload)
        self.assertIn(key_of(payload), self.window_list()[1])
        window.stop()
        self.assertTrue(wait_until(lambda: key_of(payload) not in self.window_list()[1], 5))
        # The stale key does nothing, nor do a relative name or a web address.
        for target in (payload, "payload.sh", "https://example.invalid/"):
            self.command("127:" + key_of(target))
        time.sleep(1.5)
        self.assertFalse(os.path.exists(ran), ran)

    @staticmethod
    def write_script(path, body):
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(path, 0o755)

    @staticmethod
    def read_text(path):
        def complete():
            with open(path, encoding="utf-8") as f:
                return f.read()
        return wait_until(complete, 5)


class TestWindow(WindowsTestCase):
    def test_the_device_can_close_the_test_window_and_open_another(self):
        self.command("7777:120:150:1")
        window = self.session.wait_window(TEST_WINDOW, 5)
        self.assertIsNotNone(window)
        # It is listed as any window, and closes when asked as a plain Windows window does.
        _, keys = self.window_list()
        self.assertIn(key_of(TEST_WINDOW), keys)
        self.command("129:" + key_of(TEST_WINDOW))
        self.read_list(timeout=3)
        self.assertTrue(self.session.wait_window_gone(TEST_WINDOW, 5))
        self.command("7777:300:300:1")
        window = self.session.wait_window(TEST_WINDOW, 5)
        self.assertIsNotNone(window)
        self.assertTrue(wait_until(
            lambda: self.probe.state(window)["frame"] == (300, 300, 400, 300), 5))
        self.assertIsNone(self.server.process.poll())


class Performance(WindowsTestCase):
    def test_two_hundred_windows_list_and_icon_round_trips(self):
        crowd = subprocess.Popen([probe_program(), "crowd", "200"], env=self.session.env,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(crowd.stdout.close)
        self.addCleanup(stop_process, crowd)
        self.assertEqual(crowd.stdout.readline().strip(), b"ready")
        window = self.window("Timed Icon", options=["--icon", "1"])
        self.activate(window.id)
        self.window_list()  # the first listing of the crowd
        started = time.perf_counter()
        _, keys = self.window_list()
        list_seconds = time.perf_counter() - started
        self.assertGreaterEqual(len(keys), 201)
        started = time.perf_counter()
        _, data = self.icon(key_of("Timed Icon"))
        icon_seconds = time.perf_counter() - started
        read_bmp(data)
        print(f"\nnative, 200 windows: 656 round trip {list_seconds * 1000:.1f} ms for "
              f"{len(keys)} keys; 438 round trip {icon_seconds * 1000:.1f} ms for "
              f"{len(data)} bytes", file=sys.stderr)
        self.assertLess(list_seconds, 2.0)
        self.assertLess(icon_seconds, 2.0)


if __name__ == "__main__":
    unittest.main()
