"""What a Windows user gets beyond the server's behaviour: the manifest and the version in
both builds, a dialog laid out right at 150 % display scaling, and Launch at login through
the Startup folder's shortcut."""

import glob
import os
import re
import subprocess
import unittest

from harness import _env_path, wait_until
from pe_resources import RT_MANIFEST, read_resource, version_strings
from shell_link import read_shortcut
from test_application import MAIN, ApplicationTestCase

LAUNCH_AT_LOGIN = 1017
BS_TYPE_MASK, BS_GROUPBOX, BS_AUTOCHECKBOX, BS_MULTILINE = 0x0F, 7, 3, 0x2000
SUPPORTED_OS = ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")


def server_programs():
    """Every Windows build of the program: the 32-bit one can't run here but is read."""
    listed = os.environ.get("TAVRIX_SERVER_EXES", "")
    return [p for p in listed.split(os.pathsep) if p] or [_env_path("TAVRIX_SERVER_EXE")]


class Resources(unittest.TestCase):
    def test_each_build_carries_its_manifest_and_version(self):
        for exe in server_programs():
            with self.subTest(exe=exe):
                manifest = read_resource(exe, RT_MANIFEST, 1)
                self.assertIsNotNone(manifest, "no manifest")
                text = manifest.decode("utf-8")
                self.assertIn('level="asInvoker"', text)
                self.assertRegex(text, r'name="Microsoft\.Windows\.Common-Controls" '
                                       r'version="6\.0\.0\.0"')
                self.assertRegex(text, r">PerMonitorV2, System</dpiAwareness>")
                self.assertRegex(text, r">true</dpiAware>")
                for os_id in SUPPORTED_OS:
                    self.assertIn("{" + os_id + "}", text)
                strings = version_strings(exe)
                self.assertEqual(strings.get("ProductName"), "Tavrix Server")
                self.assertEqual(strings.get("OriginalFilename"), "TavrixServer.exe")
                self.assertRegex(strings.get("FileVersion", ""), r"^2\.0\.\d+$")
                self.assertEqual(strings.get("ProductVersion"), strings.get("FileVersion"))


class Scaling(ApplicationTestCase):
    maxDiff = None
    def set_dpi(self, dpi):
        self.session.run_windows("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                                 "/t", "REG_DWORD", "/d", str(dpi), "/f")

    def layout(self, dpi):
        """The main dialog's controls at that scaling, in the dialog's order."""
        self.set_dpi(dpi)
        server = self.start()
        code, out = self.probe.run("rects", MAIN)
        server.stop()
        self.assertEqual(code, 0)
        controls = []
        for line in out.splitlines():
            ident, visible, left, top, right, bottom, text, style, kind = line.split()
            controls.append({"id": int(ident), "visible": visible == "1",
                             "rect": (int(left), int(top), int(right), int(bottom)),
                             "text": int(text), "style": int(style, 16), "class": kind})
        return controls

    def test_at_150_percent_the_dialog_grows_and_nothing_is_clipped_or_overlaps(self):
        self.addCleanup(self.set_dpi, 96)
        normal, large = self.layout(96), self.layout(144)
        self.assertEqual(len(normal), len(large))
        for small, big in zip(normal, large):
            width = small["rect"][2] - small["rect"][0]
            if small["visible"] and width >= 20:
                ratio = (big["rect"][2] - big["rect"][0]) / width
                self.assertTrue(1.35 <= ratio <= 1.65, (small, big))
        for controls in (normal, large):
            shown = [c for c in controls if c["visible"]]
            self.assertEqual([c for c in shown if clipped(c)], [])
            boxes = [c for c in shown if not is_group_box(c)]
            self.assertEqual([(a, b) for i, a in enumerate(boxes) for b in boxes[i + 1:]
                              if overlap(a["rect"], b["rect"])], [])


def is_group_box(control):
    return control["class"] == "Button" and control["style"] & BS_TYPE_MASK == BS_GROUPBOX


def clipped(control):
    """Whether the control's one line of text is wider than the room it has."""
    left, _, right, _ = control["rect"]
    room = right - left
    if control["class"] == "Button":
        kind = control["style"] & BS_TYPE_MASK
        if kind == BS_GROUPBOX or control["style"] & BS_MULTILINE:
            return False
        if kind == BS_AUTOCHECKBOX:
            room -= (control["rect"][3] - control["rect"][1]) + 2  # the box and its gap
    elif control["class"] != "Static":
        return False
    return control["text"] > room


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


class LaunchAtLogin(ApplicationTestCase):
    def startup_shortcut(self):
        """The program's shortcut in the Startup folder (Wine spells it StartUp); None while
        there is none."""
        found = [path for path in glob.glob(os.path.join(
                     self.session.drive_c, "users", "*", "AppData", "Roaming", "Microsoft",
                     "Windows", "Start Menu", "Programs", "*", "Tavrix Server.lnk"))
                 if os.path.basename(os.path.dirname(path)).lower() == "startup"]
        return found[0] if found else None

    def windows_path(self, path):
        out = subprocess.run([self.session.wine, "winepath", "-w", path], env=self.session.env,
                             capture_output=True, text=True, timeout=60).stdout
        return out.strip()

    def test_the_box_makes_and_removes_the_startup_shortcut_and_follows_it_at_start(self):
        if self.startup_shortcut():
            os.remove(self.startup_shortcut())
        server = self.start()
        self.assertFalse(self.probe.checked(LAUNCH_AT_LOGIN))
        self.probe.click(LAUNCH_AT_LOGIN)
        self.assertTrue(wait_until(self.startup_shortcut, 10))
        shortcut = self.startup_shortcut()
        self.addCleanup(lambda: os.path.exists(shortcut) and os.remove(shortcut))
        target, folder = read_shortcut(shortcut)
        self.assertEqual(target.lower(), self.windows_path(server.exe).lower())
        self.assertEqual(folder.rstrip("\\").lower(),
                         self.windows_path(server.workdir).rstrip("\\").lower())
        self.assertTrue(wait_until(
            lambda: re.search(rb"\r\n1#\d#\d#\d#1#", server.settings_file()), 5),
            server.settings_file())
        server.stop()

        # At the next start the box shows the shortcut, even one deleted by hand meanwhile.
        server = self.start()
        self.assertTrue(self.probe.checked(LAUNCH_AT_LOGIN))
        server.stop()
        os.remove(shortcut)
        server = self.start()
        self.assertFalse(self.probe.checked(LAUNCH_AT_LOGIN))
        self.probe.click(LAUNCH_AT_LOGIN)
        self.assertTrue(wait_until(self.startup_shortcut, 10))
        self.probe.click(LAUNCH_AT_LOGIN)
        self.assertTrue(wait_until(lambda: self.startup_shortcut() is None, 10))

if __name__ == "__main__":
    unittest.main()
