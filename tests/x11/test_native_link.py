"""The native tavrix-server as the device sees it: greeting, password gate and the hardening
of the link (one try, throttling, idle limits), acknowledgements, files through the zenity
dialogs, the test window of code 7777; and as its user sees it: status lines, options, the
settings file, signals and a display it can't use. Where the behaviour is the Windows
program's, the Wine suite's own tests run against the native server."""

import os
import pwd
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from native_harness import (ACK, Device, NativeServer, PointerProbe, X11Session, ZenityDialogs,
                            free_port, probe_program, run_server_to_end, server_program,
                            settings_text, stop_process, wait_until)
# The Wine suite's modules; only their classes' names are used here, so that discovery in
# this folder doesn't collect the Wine tests themselves.
import test_connection  # noqa: E402
import test_files  # noqa: E402
import test_hostile  # noqa: E402

TEST_WINDOW = "TestWnd - Server"

# The Wine tests read and set the pointer through their probe program, by the name Probe in
# their modules; here that name is the xdotool one. Only this process sees the change, and it
# runs no Wine test.
test_connection.Probe = PointerProbe
test_hostile.Probe = PointerProbe


class NativeServing:
    """Puts the native server and the Xvfb display where a test expects the Wine ones."""

    @classmethod
    def setUpClass(cls):
        cls.session = X11Session.get()

    def start_server(self, args=(), env=None, port=None, **settings):
        port = port or free_port()
        server = NativeServer(self.session, settings_text(port=port, **settings), port=port,
                              args=args, env=env)
        self.addCleanup(server.stop)
        server.wait_listening()
        return server

    def refused_once(self, server, line=b"3000:wrong\n"):
        """A device that guesses wrong, is sent away and hangs up, as the device does.
        Returns once the server has seen it go: the native server ends its side at once,
        and a device calling before it has gone is a second device."""
        left = server.stderr_lines().count("device left")
        device = self.connect(server)
        self.assertEqual(device.read_line()[:5], b"1000:")
        device.send(line)
        self.assertEqual(device.read_exact(9), ACK + b"2000\n")
        device.expect_closed(timeout=5)
        device.close()
        self.assertTrue(wait_until(
            lambda: server.stderr_lines().count("device left") > left, 5))


class NativeGreetingAndPassword(NativeServing, test_connection.GreetingAndPassword):
    pass


class NativeOneDeviceAtATime(NativeServing, test_connection.OneDeviceAtATime):
    pass


class NativePayloadFraming(NativeServing, test_connection.PayloadFraming):
    pass


class NativeThrottling(NativeServing, test_hostile.Throttling):
    pass


class NativeTheSlot(NativeServing, test_hostile.TheSlot):
    pass


class NativeIdleLimits(NativeServing, test_hostile.IdleLimits):
    pass


class NativeSoak(NativeServing, test_hostile.Soak):
    pass


class NativeTestCase(NativeServing, test_hostile.HostileTestCase):
    connect_phone = test_files.FileTestCase.connect_phone


class NativePasswordGate(NativeServing, test_connection.PasswordGate):
    pass


class NativeOnePasswordTry(NativeServing, test_hostile.OnePasswordTry):
    def test_an_empty_password_accepts_nothing(self):
        # With protection on and no password the native server doesn't even listen: it says
        # how to set one, and serves once that is done.
        port = free_port()
        server = NativeServer(self.session, settings_text(password="", port=port), port=port)
        self.addCleanup(server.stop)
        self.assertTrue(server.wait_for_line(lambda line: "--set-password" in line))
        with self.assertRaises(OSError):
            Device(port, timeout=1)
        code, err = run_server_to_end(self.session, server.workdir, ["--set-password"],
                                      input=b"later\n")
        self.assertEqual(code, 0, err)
        server.wait_listening()
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:later\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")


class Greeting(NativeTestCase):
    def test_port_and_name_on_the_command_line_win_over_the_file(self):
        port = free_port()
        server = NativeServer(self.session, settings_text(name="Filed", port=free_port()),
                              port=port, args=["--port", port, "--name", "Caf\u00e9 PC"])
        self.addCleanup(server.stop)
        server.wait_listening()
        # The name travels in the ANSI code page, as the Windows program sends it.
        self.assertEqual(self.connect(server).read_line(), b"1000:Caf\xe9 PC:1:1.0 PC\n")

    def test_without_a_settings_file_it_uses_the_users_folder_and_waits_for_a_password(self):
        port = free_port()
        server = NativeServer(self.session, False, port=port, args=["--port", port])
        self.addCleanup(server.stop)
        folder = os.path.join(server.workdir, "config", "tavrix-server")
        self.assertTrue(server.wait_for_line(
            lambda line: line == f"settings: {folder}/TavrixConfig.txt"))
        self.assertTrue(server.wait_for_line(lambda line: "no password is set" in line))
        # Set from anywhere, the password lands in the same folder, made for the user alone.
        elsewhere = tempfile.mkdtemp(dir=self.session.root)
        code, err = run_server_to_end(self.session, elsewhere, ["--set-password"],
                                      input=b"pw\n", env={"XDG_CONFIG_HOME": os.path.dirname(
                                          folder)})
        self.assertEqual(code, 0, err)
        self.assertEqual(os.stat(folder).st_mode & 0o777, 0o700)
        server.wait_listening()
        user = pwd.getpwuid(os.geteuid()).pw_name.encode()
        device = self.connect(server)
        self.assertEqual(device.read_line(), b"1000:" + user + b":1:1.0 PC\n")
        device.send(b"3000:pw\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")

    def test_status_lines_follow_the_device(self):
        server = self.start_server(password="secret")
        device = self.connect_phone(server)
        self.assertTrue(server.wait_for_line(lambda line: line == "device name: Phone"))
        device.close()
        self.assertTrue(server.wait_for_line(lambda line: line == "device left"))
        lines = server.stderr_lines()
        self.assertLess(lines.index(f"listening on port {server.port}"),
                        lines.index("device connected"))
        self.assertLess(lines.index("device connected"), lines.index("device name: Phone"))
        self.assertLess(lines.index("device name: Phone"), lines.index("device left"))

    def test_a_device_name_cannot_write_control_characters_to_the_terminal(self):
        server = self.start_server(password="secret")
        device = self.connect(server)
        device.read_line()
        device.send(b"55:\x1b[2JEvil\x07:\n3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")
        self.assertTrue(server.wait_for_line(lambda line: line == "device name: ?[2JEvil?"))


class Throttling(NativeTestCase):
    def test_a_blocked_address_does_not_block_another(self):
        server = self.start_server(password="secret")
        for _ in range(5):
            self.refused_once(server)
        blocked = self.connect(server)
        blocked.expect_closed(timeout=5)
        self.assertEqual(blocked.buffer, b"")
        other = Device(server.port, source="127.0.0.2")
        self.addCleanup(other.close)
        self.assertEqual(other.read_line()[:5], b"1000:")
        other.send(b"3000:secret\n")
        self.assertEqual(other.read_exact(9), ACK + b"1500\n")


class Lifecycle(NativeTestCase):
    def test_a_taken_port_is_reported_and_the_server_ends(self):
        port = free_port()
        holder = socket.socket()
        self.addCleanup(holder.close)
        holder.bind(("0.0.0.0", port))
        holder.listen(1)
        workdir = tempfile.mkdtemp(dir=self.session.root)
        with open(os.path.join(workdir, "TavrixConfig.txt"), "w", newline="") as f:
            f.write(settings_text(port=port))
        code, err = run_server_to_end(self.session, workdir, ["--port", port])
        self.assertNotEqual(code, 0)
        self.assertIn(f"tavrix-server: port {port} in use", err)
        self.assertNotIn("listening", err)

    def test_sigterm_and_sigint_end_it_cleanly_and_release_held_buttons(self):
        for number in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=number):
                log = os.path.join(self.session.root, f"buttons-{int(number)}.txt")
                probe = subprocess.Popen(
                    [probe_program(), "window", "Held", "--geometry", "300x200+100+100",
                     "--log", log], env=self.session.env, stdout=subprocess.PIPE,
                    stderr=subprocess.DEVNULL)
                self.addCleanup(stop_process, probe)
                window = int(probe.stdout.readline().split()[1])
                self.session.xdotool("mousemove", "--window", window, 150, 100)
                server = self.start_server(password="secret")
                device = self.connect_phone(server)
                device.send(b"3:0\n")
                device.expect_ack()
                self.assertTrue(wait_until(lambda: _last_button(log) == "down 1", 5))
                os.kill(server.process.pid, number)
                self.assertEqual(server.process.wait(timeout=10), 0)
                self.assertEqual(server.stderr_lines()[-1], "stopped")
                self.assertTrue(wait_until(lambda: _last_button(log) == "up 1", 5),
                                _lines(log))
                device.expect_closed()

    def test_sigterm_with_dialogs_open_inside_each_other_closes_them_and_ends(self):
        server = self.start_server()
        device = self.connect_phone(server)
        device.send(b"701\n")
        device.expect_ack()
        self.assertIsNotNone(self.session.wait_window(test_files.OPEN_TITLE, 15))
        device.send(b"700:3\n")
        device.expect_ack()
        device.send(b"abc")
        self.assertIsNotNone(self.session.wait_window(test_files.SAVE_TITLE, 15))
        os.kill(server.process.pid, signal.SIGTERM)
        self.assertEqual(server.process.wait(timeout=10), 0)
        self.assertEqual(server.stderr_lines()[-1], "stopped")
        self.assertTrue(self.session.wait_window_gone(test_files.OPEN_TITLE, 5))
        self.assertTrue(self.session.wait_window_gone(test_files.SAVE_TITLE, 5))

    def test_without_a_display_it_says_so_and_ends(self):
        workdir = tempfile.mkdtemp(dir=self.session.root)
        port = free_port()
        code, err = run_server_to_end(self.session, workdir, ["--port", port],
                                      env={"DISPLAY": None})
        self.assertNotEqual(code, 0)
        self.assertIn("DISPLAY is not set", err)
        code, err = run_server_to_end(self.session, workdir, ["--port", port],
                                      env={"DISPLAY": ":4999"})
        self.assertNotEqual(code, 0)
        self.assertIn("can't open the X display \":4999\"", err)

    def test_under_wayland_it_says_once_that_it_reaches_xwayland_windows_only(self):
        server = self.start_server(env={"WAYLAND_DISPLAY": "wayland-0"})
        notes = [line for line in server.stderr_lines() if "XWayland" in line]
        self.assertEqual(len(notes), 1)

    def test_bad_options_are_refused_with_the_usage(self):
        workdir = tempfile.mkdtemp(dir=self.session.root)
        code, err = run_server_to_end(self.session, workdir, ["--port", "99999"])
        self.assertEqual(code, 2)
        self.assertIn("usage:", err)

    def test_version_and_help_need_no_display_and_touch_no_settings(self):
        workdir = tempfile.mkdtemp(dir=self.session.root)
        for option, expected in (("--version", r"tavrix-server \d+\.\d+\.\d+\n"),
                                 ("--help", r"(?s)usage: .*--set-password.*--version")):
            result = subprocess.run([server_program(), option], cwd=workdir, capture_output=True,
                                    env={"PATH": os.environ["PATH"], "HOME": workdir},
                                    timeout=15, check=False)
            self.assertEqual(result.returncode, 0, option)
            self.assertRegex(result.stdout.decode(), expected)
        self.assertEqual(os.listdir(workdir), [])


class SetPassword(NativeTestCase):
    def test_the_password_from_standard_input_is_stored_and_then_opens_the_gate(self):
        port = free_port()
        workdir = tempfile.mkdtemp(dir=self.session.root)
        with open(os.path.join(workdir, "TavrixConfig.txt"), "w", newline="") as f:
            f.write(settings_text(name="Desk", password="old", port=port))
        # With the usual umask, or a laxer one, no other user may read the password.
        previous = os.umask(0o002)
        try:
            code, err = run_server_to_end(self.session, workdir, ["--set-password"],
                                          input=b"n3w-pass\n")
        finally:
            os.umask(previous)
        self.assertEqual(code, 0, err)
        with open(os.path.join(workdir, "TavrixConfig.txt"), "rb") as f:
            self.assertEqual(f.read(), b"Desk\r\nn3w-pass\r\n1#1#0#1#0#0#1#%d#0" % port)
        self.assertEqual(os.stat(os.path.join(workdir, "TavrixConfig.txt")).st_mode & 0o777,
                         0o600)
        # The log is never written through a link another user may have left.
        elsewhere = os.path.join(self.session.root, f"victim-{port}")
        with open(elsewhere, "w") as f:
            f.write("keep")
        os.symlink(elsewhere, os.path.join(workdir, "tavrix_log.txt"))
        server = NativeServer(self.session, False, port=port, workdir=workdir)
        self.addCleanup(server.stop)
        server.wait_listening()
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:n3w-pass\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")
        with open(elsewhere) as f:
            self.assertEqual(f.read(), "keep")

    def test_a_first_settings_file_gets_the_user_name_and_the_server_switched_on(self):
        workdir = tempfile.mkdtemp(dir=self.session.root)
        code, err = run_server_to_end(self.session, workdir, ["--set-password"],
                                      input="s\u00e9same\r\n".encode())
        self.assertEqual(code, 0, err)
        user = pwd.getpwuid(os.geteuid()).pw_name.encode()
        # None in the working directory: the first one is made in the user's folder.
        with open(os.path.join(workdir, "config", "tavrix-server", "TavrixConfig.txt"),
                  "rb") as f:
            self.assertEqual(f.read(), user + b"\r\ns\xe9same\r\n1#1#0#1#0#0#1#12589#0")

    def test_an_empty_password_is_not_stored(self):
        workdir = tempfile.mkdtemp(dir=self.session.root)
        code, err = run_server_to_end(self.session, workdir, ["--set-password"], input=b"\n")
        self.assertEqual(code, 1)
        self.assertIn("nothing stored", err)
        self.assertFalse(os.path.exists(os.path.join(workdir, "TavrixConfig.txt")))
        self.assertFalse(os.path.exists(
            os.path.join(workdir, "config", "tavrix-server", "TavrixConfig.txt")))


class NativeFiles(NativeServing):
    """The file tests of the Wine suite, with the zenity dialogs answered by keys."""

    @classmethod
    def setUpClass(cls):
        cls.session = X11Session.get()
        cls.dialogs = ZenityDialogs(cls.session)
        cls.pointer = PointerProbe(cls.session)

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="files-", dir=self.session.root)
        # The folder as the program names it.
        self.windows_folder = self.folder

    def connect(self, server):
        device = super().connect(server)
        # Files of megabytes come in loopback-sized pieces: a bytearray takes them in linear
        # time, where the simulator's byte string copies itself for each.
        device.buffer = bytearray()
        return device


class NativeReceivedScreens(NativeFiles, test_files.ReceivedScreens):
    def test_the_name_with_its_extension_is_confirmed_before_it_is_replaced(self):
        server = self.start_server()
        device = self.connect_phone(server)
        kept = os.path.join(self.folder, "notes.remote")
        with open(kept, "wb") as f:
            f.write(b"old")
        device.send(b"700:3\n")
        device.expect_ack()
        device.send(b"new")
        self.dialogs.choose(test_files.SAVE_TITLE, os.path.join(self.folder, "notes"))
        # Declined: the chooser comes back, and cancelling it keeps the file.
        self.dialogs.cancel("Confirm Save As")
        self.assertTrue(self.dialogs.gone("Confirm Save As"))
        self.dialogs.cancel(test_files.SAVE_TITLE)
        self.assertTrue(self.dialogs.gone(test_files.SAVE_TITLE))
        with open(kept, "rb") as f:
            self.assertEqual(f.read(), b"old")


class NativeSentFiles(NativeFiles, test_files.SentFiles):
    def test_settings_are_saved_where_the_program_started_after_browsing(self):
        # The console server saves no settings while it runs. What stays: the dialog starts
        # in the server's working directory, where a bare name is found, and choosing
        # doesn't move that directory, where the settings are.
        server = self.start_server()
        device = self.connect_phone(server)
        with open(os.path.join(server.workdir, "menu.remote"), "wb") as f:
            f.write(b"menu")
        device.send(b"701\n")
        device.expect_ack()
        self.dialogs.choose(test_files.OPEN_TITLE, "menu.remote")
        self.assertEqual(device.read_exact(10), b"700:4\nmenu")
        self.assertEqual(os.readlink(f"/proc/{server.process.pid}/cwd"), server.workdir)

    def test_a_folder_is_not_sent(self):
        server = self.start_server()
        device = self.connect_phone(server)
        os.mkdir(os.path.join(self.folder, "sub.remote"))
        device.send(b"701\n")
        device.expect_ack()
        # Confirming a folder opens it; the dialog stays until it is cancelled.
        self.dialogs.choose(test_files.OPEN_TITLE, os.path.join(self.folder, "sub.remote/"))
        time.sleep(0.5)
        self.dialogs.cancel(test_files.OPEN_TITLE)
        self.assertTrue(self.dialogs.gone(test_files.OPEN_TITLE))
        device.send(b"3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")


class TestWindowCommand(NativeTestCase):
    def test_7777_places_the_pointer_and_shows_the_test_window(self):
        server = self.start_server()
        device = self.connect_phone(server)
        self.session.set_pointer(10, 10)
        device.send(b"7777:100:200:0\n")
        device.expect_ack()
        self.assertTrue(wait_until(lambda: self.session.pointer() == (100, 200), 5))
        time.sleep(0.3)
        self.assertEqual(self.session.windows_named(TEST_WINDOW), [])
        device.send(b"7777:120:150:1\n")
        device.expect_ack()
        window = self.session.wait_window(TEST_WINDOW)
        self.assertIsNotNone(window)
        # As on Windows, the place and the size are the frame's.
        self.assertTrue(wait_until(
            lambda: self.session.frame_geometry(window) == (120, 150, 400, 300), 5),
            self.session.frame_geometry(window))
        self.assertEqual(self.session.pointer(), (120, 150))
        # A second one replaces the first, at its own place.
        device.send(b"7777:40:60:1\n")
        device.expect_ack()

        def replaced():
            windows = self.session.windows_named(TEST_WINDOW)
            return len(windows) == 1 and \
                self.session.frame_geometry(windows[0]) == (40, 60, 400, 300)
        self.assertTrue(wait_until(replaced, 5),
                        [self.session.frame_geometry(w)
                         for w in self.session.windows_named(TEST_WINDOW)])


def _last_button(path):
    """The last button the probe window logged, as "down 1" or "up 1"."""
    buttons = [" ".join(line.split()[:2]) for line in _lines(path)
               if line.startswith(("down ", "up "))]
    return buttons[-1] if buttons else None


def _lines(path):
    try:
        with open(path) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


if __name__ == "__main__":
    unittest.main()
