"""Files between the device and the PC through the real file dialogs, the device's cancel,
pointer commands while a dialog is open, the test window of command 7777, and the replay of
a recorded command file from the hidden button 1019."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import ACK, Probe, built_program, stop_process, wait_until
from test_connection import ServerTestCase

MAIN = "Tavrix Server"
APP_NAME = "TavrixServer"
SAVE_TITLE = "Received remote control screen from Phone"
OPEN_TITLE = "Select remote control screen file (.remote file) to send to Phone"
IMAGE_TITLE = "Select an image file to send to Phone"
TEST_WINDOW = "TestWnd - Server"
PLAY_FROM_FILE = 1019
BOUNCE_CHECK_BOX = 1010
WS_CLIPSIBLINGS = 0x04000000
WS_EX_WINDOWEDGE = 0x00000100
MISSING_TEXT = 'The file "C:\\tavrixCmds.txt" couldn\'t be found'


class FileDialogProbe:
    def __init__(self, session):
        self.session = session
        self.exe = built_program("TavrixFileDialogProbe.exe")

    def run(self, *args, timeout=30):
        code, out = self.session.run_windows(self.exe, *map(str, args), timeout=timeout)
        return code, out.replace("\r\n", "\n").rstrip("\n")

    def wait(self, title, ms=10000):
        return self.run("wait", title, ms)[0] == 0

    def gone(self, title, ms=10000):
        return self.run("gone", title, ms)[0] == 0

    def choose(self, title, path, ms=10000):
        code, _ = self.run("choose", title, path, ms)
        assert code == 0, f"no dialog {title!r}"

    def cancel(self, title, ms=10000):
        code, _ = self.run("cancel", title, ms)
        assert code == 0, f"no dialog {title!r}"

    def window(self, title, ms=10000):
        code, out = self.run("window", title, ms)
        assert code == 0, f"no window {title!r}"
        return [int(field, 16) if i >= 4 else int(field) for i, field in enumerate(out.split())]

    def message(self, title, ms=10000):
        code, out = self.run("message", title, ms)
        assert code == 0, f"no message box {title!r}"
        return out

    def command(self, title, control):
        code, _ = self.run("command", title, control)
        assert code == 0, f"no window {title!r}"

    def start_tracking(self, changes, ms):
        """Records every pointer change from now on, in a probe running beside the test."""
        process = subprocess.Popen([self.session.wine, self.exe, "track", str(changes), str(ms)],
                                   env=self.session.env, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        first = process.stdout.readline()
        assert first, "the tracking probe did not start"
        return process


class FileTestCase(ServerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dialogs = FileDialogProbe(cls.session)
        cls.pointer = Probe(cls.session)

    def setUp(self):
        # A folder of this test's own on drive C:, seen by the program as C:\<name>.
        self.folder = tempfile.mkdtemp(prefix="files-", dir=self.session.drive_c)
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.windows_folder = "C:\\" + os.path.basename(self.folder)

    def connect_phone(self, server):
        """A device that has been greeted, named itself Phone and given the password."""
        device = self.connect(server)
        device.read_line()
        device.send(b"55:Phone:\n")
        device.expect_ack()
        device.send(b"3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")
        return device

    def expect_no_reply(self, device, seconds):
        """Nothing arrives but the window list that the server's poll may send meanwhile."""
        deadline = time.monotonic() + seconds
        while device._fill(deadline):
            pass
        rest = b"".join(line for line in device.buffer.splitlines(True)
                        if not (line.startswith(b"124:") and line.endswith(b"\n")))
        device.buffer = b""
        self.assertEqual(rest, b"", "unexpected bytes")

    def place(self, name, content):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(content)
        return self.windows_folder + "\\" + name


class ReceivedScreens(FileTestCase):
    def test_pushed_payload_is_saved_byte_for_byte_with_the_default_extension(self):
        server = self.start_server()
        device = self.connect_phone(server)
        payload = bytes(range(256)) * 3 + b"\r\n\x00end"
        device.send(b"700:%d\n" % len(payload))
        device.expect_ack()
        device.send(payload)
        self.dialogs.choose(SAVE_TITLE, self.windows_folder + "\\screen")
        saved = os.path.join(self.folder, "screen.remote")
        self.assertTrue(wait_until(lambda: os.path.exists(saved) and
                                   os.path.getsize(saved) == len(payload), 10))
        with open(saved, "rb") as f:
            self.assertEqual(f.read(), payload)
        self.expect_no_reply(device, 0.3)

    def test_cancelled_save_drops_the_payload(self):
        server = self.start_server()
        device = self.connect_phone(server)
        device.send(b"700:4\n")
        device.expect_ack()
        device.send(b"data")
        self.dialogs.cancel(SAVE_TITLE)
        self.assertTrue(self.dialogs.gone(SAVE_TITLE))
        self.assertEqual(os.listdir(self.folder), [])
        self.expect_no_reply(device, 0.3)


class SentFiles(FileTestCase):
    def test_chosen_file_is_sent_as_header_and_bytes(self):
        server = self.start_server()
        device = self.connect_phone(server)
        content = b"\x00\x01\n\r\nremote\xff"
        path = self.place("menu.remote", content)
        device.send(b"701\n")
        device.expect_ack()
        self.dialogs.choose(OPEN_TITLE, path)
        expected = b"700:%d\n" % len(content) + content
        self.assertEqual(device.read_exact(len(expected)), expected)
        self.expect_no_reply(device, 0.3)

    def test_settings_are_saved_where_the_program_started_after_browsing(self):
        server = self.start_server()
        device = self.connect_phone(server)
        self.place("menu.remote", b"menu")
        device.send(b"701\n")
        device.expect_ack()
        # The dialog browses into the folder, then takes a name relative to it.
        self.dialogs.choose(OPEN_TITLE, self.windows_folder)
        time.sleep(0.5)
        self.dialogs.choose(OPEN_TITLE, "menu.remote")
        self.assertEqual(device.read_exact(10), b"700:4\nmenu")
        settings = os.path.join(server.workdir, "TavrixConfig.txt")
        os.remove(settings)
        # The bounce check box saves the settings into the working directory.
        self.dialogs.command(MAIN, BOUNCE_CHECK_BOX)
        self.assertTrue(wait_until(lambda: os.path.exists(settings), 10))
        self.assertEqual(os.listdir(self.folder), ["menu.remote"])

    def test_large_file_arrives_unchanged(self):
        server = self.start_server()
        device = self.connect_phone(server)
        content = os.urandom(24 * 1024 * 1024 + 3)
        path = self.place("big.remote", content)
        device.send(b"701:0\n")
        device.expect_ack()
        self.dialogs.choose(OPEN_TITLE, path)
        header = b"700:%d\n" % len(content)
        self.assertEqual(device.read_exact(len(header), timeout=20), header)
        self.assertTrue(device.read_exact(len(content), timeout=60) == content)

    def test_kind_1_opens_the_image_dialog(self):
        server = self.start_server()
        device = self.connect_phone(server)
        path = self.place("photo.png", b"\x89PNG\r\n\x1a\n")
        device.send(b"701:1\n")
        device.expect_ack()
        self.dialogs.choose(IMAGE_TITLE, path)
        self.assertEqual(device.read_exact(14), b"700:8\n\x89PNG\r\n\x1a\n")
        self.expect_no_reply(device, 0.3)

    def test_device_cancel_closes_the_dialog_and_nothing_is_sent(self):
        server = self.start_server()
        device = self.connect_phone(server)
        device.send(b"701\n")
        device.expect_ack()
        self.assertTrue(self.dialogs.wait(OPEN_TITLE))
        device.send(b"702\n")
        device.expect_ack()
        self.assertTrue(self.dialogs.gone(OPEN_TITLE, 5000))
        self.expect_no_reply(device, 0.5)
        # The server goes on answering once the dialog has gone.
        device.send(b"3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")

    def test_pointer_commands_work_while_the_dialog_is_open(self):
        server = self.start_server()
        device = self.connect_phone(server)
        device.send(b"701\n")
        device.expect_ack()
        self.assertTrue(self.dialogs.wait(OPEN_TITLE))
        self.pointer.set_cursor(300, 300)
        device.send(b"2:25:-10\n")
        device.expect_ack()
        self.assertTrue(wait_until(lambda: self.pointer.cursor() == (325, 290), 5))
        self.dialogs.cancel(OPEN_TITLE)
        self.assertTrue(self.dialogs.gone(OPEN_TITLE))
        self.expect_no_reply(device, 0.3)


class TestWindowCommand(FileTestCase):
    def test_7777_places_the_pointer_and_shows_the_test_window(self):
        server = self.start_server()
        device = self.connect_phone(server)
        self.pointer.set_cursor(10, 10)
        device.send(b"7777:100:200:0\n")
        device.expect_ack()
        self.assertTrue(wait_until(lambda: self.pointer.cursor() == (100, 200), 5))
        self.assertFalse(self.dialogs.wait(TEST_WINDOW, 300))
        device.send(b"7777:120:150:1\n")
        device.expect_ack()
        left, top, width, height, style, exstyle = self.dialogs.window(TEST_WINDOW)
        self.assertEqual((left, top, width, height), (120, 150, 400, 300))
        self.assertEqual(style & ~WS_CLIPSIBLINGS, 0x90C60000)
        self.assertEqual(exstyle & ~WS_EX_WINDOWEDGE, 0)
        self.assertEqual(self.pointer.cursor(), (120, 150))
        # A second one replaces the first.
        device.send(b"7777:40:60:1\n")
        device.expect_ack()
        self.assertTrue(wait_until(lambda: self.dialogs.window(TEST_WINDOW)[:2] == [40, 60], 5))


class CommandReplay(FileTestCase):
    def command_file(self, content):
        path = os.path.join(self.session.drive_c, "tavrixCmds.txt")
        self.addCleanup(lambda: os.path.exists(path) and os.remove(path))
        if content is not None:
            with open(path, "wb") as f:
                f.write(content)

    def test_button_1019_replays_the_file_paced(self):
        server = self.start_server()
        self.command_file(b"3000:secret\r\n" + b"2:10:0\r\n" * 3 + b"2:0:10\r\n" * 3)
        self.pointer.set_cursor(500, 400)
        tracker = self.dialogs.start_tracking(6, 10000)
        self.addCleanup(stop_process, tracker)
        self.dialogs.command(MAIN, PLAY_FROM_FILE)
        out, _ = tracker.communicate(timeout=20)
        moves = [tuple(int(v) for v in line.split()) for line in out.decode().split("\n") if line]
        self.assertEqual([(x, y) for _, x, y in moves],
                         [(510, 400), (520, 400), (530, 400), (530, 410), (530, 420),
                          (530, 430)])
        times = [t for t, _, _ in moves]
        # Sampled every millisecond, so a gap may look one or two shorter than it was; and a
        # sample the busy machine took late shortens the gap after it, so the median counts.
        gaps = sorted(later - earlier for earlier, later in zip(times, times[1:]))
        self.assertGreaterEqual(gaps[len(gaps) // 2], 21, gaps)

    def test_missing_file_shows_the_message(self):
        self.start_server()
        self.command_file(None)
        self.dialogs.command(MAIN, PLAY_FROM_FILE)
        self.assertEqual(self.dialogs.message(APP_NAME), MISSING_TEXT)
        self.assertTrue(self.dialogs.gone(APP_NAME))


if __name__ == "__main__":
    unittest.main()
