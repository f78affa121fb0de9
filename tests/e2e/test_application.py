"""The whole program from outside: the server dialog and its status display, the tray and
system-menu commands, start-up with its single-instance rule and its DNS-SD warning, the
advertisement recorded by the stand-in dnssd.dll, and the password-protection controls."""

import os
import re
import time
import unittest

from harness import (Device, ServerProcess, WineSession, built_program, exit_report, free_port,
                     wait_until)

MAIN = "Tavrix Server"
CONFIRMATION = "Password protection is Disabled"
APP_NAME = "TavrixServer"

WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
SC_MINIMIZE = 0xF020
WM_TRAY_NOTIFY = 1026
TRAY_ID = 128
WM_LBUTTONDBLCLK = 515
WM_RBUTTONUP = 517
IDOK, IDCANCEL = 1, 2
MSGBOX_TEXT = 0xFFFF

ON_OFF, STATUS, DEVICE_NAME = 1003, 1004, 1005
PASSWORD_ENABLED, PASSWORD, SET_PASSWORD = 1011, 1012, 1015
APPLY, PORT, ACKNOWLEDGE = 1020, 1021, 1022

TXT_OFF = "11 50 61 73 73 77 6F 72 64 45 6E 61 62 6C 65 64 3D 30"
TXT_ON = TXT_OFF[:-2] + "31"

BONJOUR_TEXT = ("Could not find Apple Bonjour !\n\n\n If you want your Tavrix client to "
                "automatically discover this Tavrix server, \n then please install Apple "
                "Bonjour from: https://support.apple.com/kb/DL999\n Before running Tavrix "
                "Server again.")


def config(name="Office PC", password="secret", password_enabled=1, visible=1, server_on=1,
           port=12589, acknowledged=0, separator="#"):
    numbers = [1, password_enabled, 0, visible, 0, 0, server_on, port, acknowledged]
    return f"{name}\r\n{password}\r\n" + separator.join(str(n) for n in numbers)


def parse_call(line):
    """One line of the stand-in's record as a dict; hex byte runs stay as text."""
    kind, _, rest = line.partition(" ")
    fields = dict(re.findall(r'(\w+)=("[^"]*"|[0-9A-F]{2}(?: [0-9A-F]{2})+(?= \w+=|$)|\S+)',
                             rest))
    fields = {k: v.strip('"') for k, v in fields.items()}
    fields["call"] = kind
    return fields


def summary(lines):
    """Register calls as (name, port bytes, last TXT byte); Deallocate calls by reference."""
    out = []
    for call in map(parse_call, lines):
        if call["call"] == "Register":
            out.append(("Register", call["name"], call["port"], call["txt"][-2:]))
        else:
            out.append(("Deallocate", call["ref"]))
    return out


def port_bytes(port):
    return f"{port >> 8:02X} {port & 0xFF:02X}"


class DialogProbe:
    """TavrixDialogProbe.exe: reads and drives windows of the server by their title."""

    def __init__(self, session):
        self.session = session
        self.exe = built_program("TavrixDialogProbe.exe")

    def run(self, *args):
        # The probe's own codes are 0, 2 and 3; any other is Wine failing to run it, which
        # says nothing of the server: it runs again.
        for _ in range(3):
            code, out = self.session.run_windows(self.exe, *map(str, args))
            if code in (0, 2, 3):
                break
        return code, out.replace("\r\n", "\n").rstrip("\n")

    def text(self, control, title=MAIN):
        code, out = self.run("text", title, control)
        return out if code == 0 else None

    def wait_text(self, control, expected, title=MAIN, timeout=10):
        wait_until(lambda: self.text(control, title) == expected, timeout, interval=0.2)
        return self.text(control, title)

    def checked(self, control, title=MAIN):
        code, out = self.run("checked", title, control)
        assert code == 0, f"no control {control} in {title!r}"
        return out == "1"

    def set_text(self, control, text, title=MAIN):
        code, _ = self.run("settext", title, control, text)
        assert code == 0, f"no control {control} in {title!r}"

    def click(self, control, title=MAIN):
        code, _ = self.run("click", title, control)
        assert code == 0, f"no control {control} in {title!r}"

    def visible(self, title=MAIN):
        return self.run("visible", title)[1]

    def wait_visible(self, state, title=MAIN, timeout=10):
        wait_until(lambda: self.visible(title) == state, timeout, interval=0.2)
        return self.visible(title)

    def post(self, message, wparam, lparam, title=MAIN):
        code, _ = self.run("post", title, message, wparam, lparam)
        assert code == 0, f"could not post to {title!r}"

    def tray_menu(self, mnemonic=None, title=MAIN):
        """Opens the tray menu, types the mnemonic into it (Esc without), and gives back
        how many items tall the menu was."""
        code, out = self.run("traymenu", title, *([mnemonic] if mnemonic else []))
        assert code == 0, f"no tray menu for {title!r}"
        _, height, _, item = out.split()
        return round(int(height) / int(item))


class ApplicationTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = WineSession.get()
        cls.probe = DialogProbe(cls.session)

    def start(self, settings=None, port=None, dnssd=True, wait=True, dnsapi=False,
              planted_dnssd=False, **fields):
        port = port or free_port()
        if settings is None:
            settings = config(port=port, **fields)
        server = ServerProcess(self.session, settings, port=port, dnssd=dnssd, dnsapi=dnsapi,
                               planted_dnssd=planted_dnssd)
        self.addCleanup(server.stop)
        if wait:
            self.wait_ready(server)
        return server

    def wait_ready(self, server, timeout=30):
        def ready():
            if server.process.poll() is not None:
                raise AssertionError(exit_report(server.process))
            return self.probe.text(STATUS) in ("On", "Off", "Connected")
        self.assertTrue(wait_until(ready, timeout, interval=0.3), "the dialog never came")

    def connect(self, port, timeout=10):
        """A device on the port. A server that has just been told to listen advertises first
        and listens next, so a refused connection is tried again, for a while."""
        def attempt():
            try:
                return Device(port)
            except ConnectionRefusedError:
                return None
        # The last try, if all are refused, raises the refusal.
        device = wait_until(attempt, timeout, interval=0.1) or Device(port)
        self.addCleanup(device.close)
        return device

    def wait_calls(self, server, count, timeout=10):
        wait_until(lambda: len(server.dnssd_calls()) >= count, timeout, interval=0.1)
        return summary(server.dnssd_calls())

    def wait_exit(self, server, timeout=15):
        try:
            return server.process.wait(timeout=timeout)
        except Exception:
            self.fail("the program did not end")


class Advertisement(ApplicationTestCase):
    def test_registration_carries_name_type_txt_and_port_in_network_order(self):
        server = self.start(port=12589, password_enabled=0, acknowledged=1)
        calls = server.dnssd_calls()
        self.assertEqual(len(calls), 1, calls)
        self.assertEqual(calls[0],
                         'Register ref=1 flags=0 interface=0 name="Office PC" '
                         'type="_tavrixremote._tcp" domain="" host=null port=31 2D txtlen=18 '
                         f'txt={TXT_OFF} callback=set context=null')

    def test_withdrawn_while_a_device_is_connected_and_renewed_when_it_leaves(self):
        server = self.start()
        port = port_bytes(server.port)
        device = self.connect(server.port)
        device.read_line()
        self.assertEqual(self.wait_calls(server, 2),
                         [("Register", "Office PC", port, "31"), ("Deallocate", "1")])
        device.close()
        self.assertEqual(self.wait_calls(server, 3)[2], ("Register", "Office PC", port, "31"))

    def test_set_password_and_protection_renew_the_record(self):
        server = self.start(password_enabled=1)
        port = port_bytes(server.port)
        self.probe.set_text(PASSWORD, "new secret")
        self.probe.click(SET_PASSWORD)
        self.assertEqual(self.wait_calls(server, 3)[1:],
                         [("Deallocate", "1"), ("Register", "Office PC", port, "31")])
        # Unticked while on: the confirmation comes first; acknowledged, the record says 0.
        self.probe.click(PASSWORD_ENABLED)
        self.assertEqual(self.probe.wait_visible("visible", CONFIRMATION), "visible")
        self.probe.click(ACKNOWLEDGE, CONFIRMATION)
        self.probe.click(IDOK, CONFIRMATION)
        self.assertEqual(self.wait_calls(server, 5)[3:],
                         [("Deallocate", "2"), ("Register", "Office PC", port, "30")])
        device = self.connect(server.port)
        self.assertEqual(device.read_line(), b"1000:Office PC:0:1.0 PC\n")
        saved = server.settings_file().split(b"\r\n")
        self.assertEqual(saved[1], b"new secret")
        self.assertEqual(saved[2].split(b"#")[1], b"0")
        self.assertEqual(saved[2].split(b"#")[8], b"1")

    def test_apply_moves_the_port_and_readvertises_under_the_name_and_one_blank(self):
        server = self.start()
        new_port = free_port()
        self.probe.set_text(PORT, str(new_port))
        self.probe.click(APPLY)
        self.assertEqual(self.wait_calls(server, 3)[1:],
                         [("Deallocate", "1"),
                          ("Register", "Office PC ", port_bytes(new_port), "31")])
        device = self.connect(new_port)
        # The blank was for the advertisement only.
        self.assertEqual(device.read_line(), b"1000:Office PC:1:1.0 PC\n")
        self.assertTrue(server.settings_file().endswith(f"#{new_port}#0".encode()))

    def test_apply_while_connected_only_stores(self):
        server = self.start()
        device = self.connect(server.port)
        device.read_line()
        self.wait_calls(server, 2)
        new_port = free_port()
        self.probe.set_text(PORT, str(new_port))
        self.probe.click(APPLY)
        wait_until(lambda: f"#{new_port}#".encode() in server.settings_file(), 10)
        self.assertIn(f"#{new_port}#".encode(), server.settings_file())
        self.assertEqual(len(server.dnssd_calls()), 2)
        # The device leaves: the server moves to the new port and advertises it.
        device.close()
        self.assertEqual(self.wait_calls(server, 3)[2],
                         ("Register", "Office PC", port_bytes(new_port), "31"))
        self.assertEqual(self.connect(new_port).read_line(), b"1000:Office PC:1:1.0 PC\n")


class StatusDisplay(ApplicationTestCase):
    def test_status_device_name_and_button_follow_the_device(self):
        server = self.start()
        self.assertEqual(self.probe.text(ON_OFF), "Turn Server Off")
        self.assertEqual(self.probe.text(DEVICE_NAME), "No Device")
        device = self.connect(server.port)
        device.read_line()
        self.assertEqual(self.probe.wait_text(STATUS, "Connected"), "Connected")
        # A stranger's name is not shown: only that of a device that gave the password.
        device.send(b"55:Kitchen Phone:1.0\n")
        device.expect_ack()
        time.sleep(0.3)
        self.assertEqual(self.probe.text(DEVICE_NAME), "No Device")
        device.send(b"3000:secret\n")
        self.assertEqual(self.probe.wait_text(DEVICE_NAME, "Kitchen Phone"), "Kitchen Phone")
        device.close()
        self.assertEqual(self.probe.wait_text(STATUS, "On"), "On")
        self.assertEqual(self.probe.text(DEVICE_NAME), "No Device")

    def test_a_silent_device_is_unknown_after_three_seconds(self):
        server = self.start()
        device = self.connect(server.port)
        device.read_line()
        self.assertEqual(self.probe.wait_text(STATUS, "Connected"), "Connected")
        started = time.monotonic()
        self.assertEqual(self.probe.text(DEVICE_NAME), "No Device")
        self.assertEqual(self.probe.wait_text(DEVICE_NAME, "(Unknown)", timeout=8), "(Unknown)",
                         f"server exit code {server.process.poll()}, "
                         f"status {self.probe.text(STATUS)!r}")
        self.assertGreater(time.monotonic() - started, 1.5)

    def test_turning_the_server_off_and_on(self):
        server = self.start()
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_text(STATUS, "Off"), "Off")
        self.assertEqual(self.probe.text(ON_OFF), "Turn Server On")
        with self.assertRaises(OSError):
            Device(server.port, timeout=2)
        self.assertEqual(self.wait_calls(server, 2)[1], ("Deallocate", "1"))
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_text(STATUS, "On"), "On")
        self.assertEqual(self.connect(server.port).read_line(), b"1000:Office PC:1:1.0 PC\n")
        self.assertEqual(self.wait_calls(server, 3)[2][0], "Register")

    def test_a_port_that_is_no_integer_is_prompted_for_and_kept(self):
        server = self.start()
        self.probe.set_text(PORT, "12ab")
        self.probe.click(APPLY)
        self.assertEqual(self.probe.wait_text(MSGBOX_TEXT, "Please enter an integer.",
                                              title=APP_NAME), "Please enter an integer.")
        self.probe.click(IDOK, APP_NAME)
        # The save goes on with the old port, and the server listens there again.
        self.assertEqual(self.wait_calls(server, 3)[2],
                         ("Register", "Office PC ", port_bytes(server.port), "31"))
        self.assertTrue(server.settings_file().endswith(f"#{server.port}#0".encode()))
        self.assertEqual(self.connect(server.port).read_line()[:5], b"1000:")


class PasswordConfirmation(ApplicationTestCase):
    def test_turning_on_unprotected_needs_the_acknowledgement(self):
        server = self.start(password_enabled=0, server_on=0)
        settings = server.settings_file()
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_visible("visible", CONFIRMATION), "visible")
        self.probe.click(IDOK, CONFIRMATION)
        self.assertEqual(self.probe.wait_visible("missing", CONFIRMATION), "missing")
        self.assertEqual(self.probe.text(STATUS), "Off")
        self.assertEqual(server.settings_file(), settings)
        self.assertEqual(server.dnssd_calls(), [])

        # Ticked twice counts as not ticked.
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_visible("visible", CONFIRMATION), "visible")
        self.probe.click(ACKNOWLEDGE, CONFIRMATION)
        self.probe.click(ACKNOWLEDGE, CONFIRMATION)
        self.probe.click(IDOK, CONFIRMATION)
        self.assertEqual(self.probe.wait_visible("missing", CONFIRMATION), "missing")
        self.assertEqual(self.probe.text(STATUS), "Off")

        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_visible("visible", CONFIRMATION), "visible")
        self.probe.click(ACKNOWLEDGE, CONFIRMATION)
        self.probe.click(IDOK, CONFIRMATION)
        self.assertEqual(self.probe.wait_text(STATUS, "On"), "On")
        self.assertTrue(server.settings_file().endswith(b"#1"))
        self.assertEqual(self.connect(server.port).read_line(), b"1000:Office PC:0:1.0 PC\n")

        # Never asked again.
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_text(STATUS, "Off"), "Off")
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_text(STATUS, "On"), "On")
        self.assertEqual(self.probe.visible(CONFIRMATION), "missing")

    def test_unticking_while_on_and_refusing_keeps_protection(self):
        server = self.start(password_enabled=1)
        settings = server.settings_file()
        self.probe.click(PASSWORD_ENABLED)
        self.assertEqual(self.probe.wait_visible("visible", CONFIRMATION), "visible")
        self.probe.post(WM_SYSCOMMAND, SC_CLOSE, 0, CONFIRMATION)
        self.assertEqual(self.probe.wait_visible("missing", CONFIRMATION), "missing")
        self.assertTrue(wait_until(lambda: self.probe.checked(PASSWORD_ENABLED), 5))
        self.assertEqual(server.settings_file(), settings)
        self.assertEqual(len(server.dnssd_calls()), 1)
        self.assertEqual(self.connect(server.port).read_line(), b"1000:Office PC:1:1.0 PC\n")


class StartUp(ApplicationTestCase):
    def test_without_dnssd_the_warning_comes_first_then_the_server_serves(self):
        server = self.start(dnssd=False, wait=False)
        self.assertEqual(self.probe.wait_visible("visible", "Bonjour Not Found", timeout=30),
                         "visible")
        self.assertEqual(self.probe.text(MSGBOX_TEXT, "Bonjour Not Found"), BONJOUR_TEXT)
        self.assertEqual(self.probe.visible(MAIN), "missing")
        self.probe.click(IDOK, "Bonjour Not Found")
        self.wait_ready(server)
        device = self.connect(server.port)
        self.assertEqual(device.read_line(), b"1000:Office PC:1:1.0 PC\n")
        device.send(b"3000:secret\n")
        self.assertEqual(device.read_exact(9), b"\n\x00\x00\x001500\n")
        self.assertFalse(os.path.exists(os.path.join(server.workdir, "dnssd_calls.txt")))

    def test_a_second_start_is_refused_and_the_first_goes_on(self):
        first = self.start()
        second = self.start(wait=False)
        self.assertEqual(self.probe.wait_text(MSGBOX_TEXT, "Tavrix Server is already running!",
                                              title=APP_NAME, timeout=30),
                         "Tavrix Server is already running!")
        self.probe.click(IDOK, APP_NAME)
        self.assertEqual(self.wait_exit(second), 0)
        self.assertEqual(second.dnssd_calls(), [])
        self.assertEqual(self.connect(first.port).read_line()[:5], b"1000:")
        self.assertEqual(self.probe.text(STATUS), "Connected")

    def test_invisible_at_launch_hides_shortly_after_start_and_the_tray_shows_it(self):
        self.start(visible=0)
        self.assertEqual(self.probe.wait_visible("hidden", timeout=5), "hidden")
        self.probe.post(WM_TRAY_NOTIFY, TRAY_ID, WM_LBUTTONDBLCLK)
        self.assertEqual(self.probe.wait_visible("visible"), "visible")


class WindowAndExit(ApplicationTestCase):
    def test_close_box_minimise_and_esc_only_hide(self):
        server = self.start()
        for message, wparam in ((WM_SYSCOMMAND, SC_CLOSE), (WM_SYSCOMMAND, SC_MINIMIZE),
                                (WM_COMMAND, IDCANCEL)):
            self.probe.post(message, wparam, 0)
            self.assertEqual(self.probe.wait_visible("hidden"), "hidden", (message, wparam))
            self.probe.post(WM_TRAY_NOTIFY, TRAY_ID, WM_LBUTTONDBLCLK)
            self.assertEqual(self.probe.wait_visible("visible"), "visible")
        # Enter does nothing at all.
        self.probe.post(WM_COMMAND, IDOK, 0)
        time.sleep(0.5)
        self.assertEqual(self.probe.visible(), "visible")
        self.assertIsNone(server.process.poll())
        self.assertEqual(self.connect(server.port).read_line()[:5], b"1000:")

    def test_tray_menu_offers_about_and_exit_and_exit_saves(self):
        server = self.start(separator=",")
        self.assertEqual(self.probe.tray_menu("a"), 2)
        self.assertEqual(self.probe.wait_visible("visible", "About WinTavrix"), "visible")
        self.assertEqual(self.probe.text(1, "About WinTavrix"), "OK")
        self.probe.click(IDOK, "About WinTavrix")
        self.assertEqual(self.probe.wait_visible("missing", "About WinTavrix"), "missing")
        self.assertEqual(self.probe.tray_menu("e"), 2)
        self.assertEqual(self.wait_exit(server), 0)
        # Written anew, with "#" between the numbers and no line break at the end.
        self.assertEqual(server.settings_file(), config(port=server.port).encode())

    def test_exit_from_the_system_menu_saves(self):
        server = self.start(separator=",")
        self.probe.click(ON_OFF)
        self.assertEqual(self.probe.wait_text(STATUS, "Off"), "Off")
        self.probe.post(WM_SYSCOMMAND, 32, 0)
        self.assertEqual(self.wait_exit(server), 0)
        self.assertEqual(server.settings_file(),
                         config(port=server.port, server_on=0).encode())


if __name__ == "__main__":
    unittest.main()
