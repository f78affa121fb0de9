"""The Windows packages that scripts/tavrix.sh package puts in TAVRIX_DIST: the zips and
installers of both builds as files; then, for the build this Wine runs (that of
TAVRIX_SERVER_EXE), the zip's program serving under Wine, and the installer run silently in
a fresh Wine prefix of its own, from install through the Start Menu shortcut and a device's
connection to uninstall."""

import hashlib
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile

from harness import (ACK, Device, HERE, WineSession, _is_32_bit, built_program, free_port,
                     settings_text, stop_process, wait_listening, wait_until)

DIST = os.environ.get("TAVRIX_DIST", "")
PRODUCT = "Tavrix Server"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavrixServer"
MACHINES = {"win32": 0x14C, "win64": 0x8664}


def project_version():
    with open(os.path.join(HERE, "..", "..", "CMakeLists.txt")) as f:
        return re.search(r"project\(TavrixServer VERSION ([0-9.]+)", f.read()).group(1)


def artifact(arch, kind):
    suffix = "-setup.exe" if kind == "setup" else ".zip"
    return os.path.join(DIST, f"TavrixServer-{project_version()}-{arch}{suffix}")


def has_installer():
    return bool(DIST) and all(os.path.isfile(artifact(arch, "setup")) for arch in MACHINES)


def running_arch():
    """The build that this Wine runs, whose packages can run here."""
    exe = os.environ.get("TAVRIX_SERVER_EXE", "")
    return "win32" if exe and _is_32_bit(exe) else "win64"


NO_INSTALLER = "TAVRIX_DIST holds no installer: build it with ./scripts/tavrix.sh package"


def pe_header(data):
    """The machine and symbol count of a Windows program's COFF header."""
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        raise AssertionError("not a Windows program")
    machine = struct.unpack_from("<H", data, offset + 4)[0]
    symbols = struct.unpack_from("<I", data, offset + 16)[0]
    return machine, symbols


def seven_zip(*args):
    return subprocess.run(["7z", *args], capture_output=True, timeout=120, check=False)


@unittest.skipUnless(has_installer(), NO_INSTALLER)
class Artifacts(unittest.TestCase):
    def zip_members(self, arch):
        folder = f"TavrixServer-{project_version()}-{arch}"
        with zipfile.ZipFile(artifact(arch, "zip")) as archive:
            self.assertIsNone(archive.testzip())
            names = archive.namelist()
            return folder, names, {name: archive.read(name) for name in names}

    def test_each_zip_holds_the_stripped_program_its_readme_and_licence(self):
        for arch, machine in MACHINES.items():
            with self.subTest(arch=arch):
                folder, names, members = self.zip_members(arch)
                print(f"\n{os.path.basename(artifact(arch, 'zip'))}: {', '.join(names)}")
                self.assertEqual(names, [f"{folder}/TavrixServer.exe", f"{folder}/README.txt",
                                         f"{folder}/LICENSE.txt"])
                self.assertEqual(pe_header(members[names[0]]), (machine, 0))
                readme = members[names[1]]
                # Windows line ends throughout, for Notepad.
                self.assertNotIn(b"\n", readme.replace(b"\r\n", b""))
                for text in (f"Tavrix Server {project_version()}", "port 12589",
                             "Windows Defender Firewall has blocked some features of this app",
                             r"%APPDATA%\Tavrix Server"):
                    self.assertIn(text.encode(), readme)
                licence = members[names[2]]
                self.assertTrue(licence.startswith(b"MIT License\r\n"))
                self.assertNotIn(b"\n", licence.replace(b"\r\n", b""))

    def test_each_installer_is_built_for_its_windows_and_carries_its_zips_program(self):
        if shutil.which("7z") is None:
            self.skipTest("7z (p7zip-full) lists installers; it is missing")
        for arch, machine in MACHINES.items():
            with self.subTest(arch=arch):
                setup = artifact(arch, "setup")
                with open(setup, "rb") as f:
                    self.assertEqual(pe_header(f.read(4096))[0], machine)
                listing = seven_zip("l", "-slt", setup)
                self.assertEqual(listing.returncode, 0, listing.stderr)
                # The first path is the installer's own.
                files = re.findall(r"^Path = (.+)$", listing.stdout.decode(), re.M)[1:]
                print(f"\n{os.path.basename(setup)}: {', '.join(files)}")
                for name in ("TavrixServer.exe", "README.txt", "LICENSE.txt", "uninstall.exe"):
                    self.assertTrue(any(path.endswith(name) for path in files), files)
                packed = seven_zip("e", "-so", setup, "TavrixServer.exe", "-r")
                self.assertEqual(packed.returncode, 0, packed.stderr)
                folder, names, members = self.zip_members(arch)
                self.assertEqual(packed.stdout, members[f"{folder}/TavrixServer.exe"])

    def test_checksums_cover_every_artifact(self):
        with open(os.path.join(DIST, "SHA256SUMS")) as f:
            sums = dict(reversed(line.split(None, 1)) for line in f.read().splitlines())
        expected = {name for name in os.listdir(DIST) if name != "SHA256SUMS"}
        self.assertEqual(set(sums), expected)
        for name, digest in sums.items():
            with open(os.path.join(DIST, name), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, name)


def start_and_connect(test, session, exe, workdir):
    """Writes a settings file into workdir, starts exe there and has a device give the
    password. The stand-in dnssd.dll stands for Bonjour, so no warning waits for a click."""
    port = free_port()
    with open(os.path.join(workdir, "TavrixConfig.txt"), "w", newline="") as f:
        f.write(settings_text(name="Installed PC", password="opensesame", port=port))
    session.install_system_library(built_program("dnssd.dll"), exe)
    process = session.start_windows(exe, workdir)
    try:
        wait_listening(process, port, timeout=60)
        device = Device(port)
        try:
            test.assertEqual(device.read_line(), b"1000:Installed PC:1:1.0 PC\n")
            device.send(b"3000:opensesame\n")
            test.assertEqual(device.read_exact(9), ACK + b"1500\n")
        finally:
            device.close()
    finally:
        stop_process(process)


@unittest.skipUnless(has_installer(), NO_INSTALLER)
class PortableZip(unittest.TestCase):
    def test_the_zips_program_serves_from_its_folder(self):
        session = WineSession.get()
        folder = tempfile.mkdtemp(prefix="zip-", dir=session.root)
        with zipfile.ZipFile(artifact(running_arch(), "zip")) as archive:
            archive.extractall(folder)
        (top,) = os.listdir(folder)
        workdir = os.path.join(folder, top)
        start_and_connect(self, session, os.path.join(workdir, "TavrixServer.exe"), workdir)


@unittest.skipUnless(has_installer(), NO_INSTALLER)
class SilentInstall(unittest.TestCase):
    """The installer in a Wine prefix that nothing else has touched."""

    @classmethod
    def setUpClass(cls):
        cls.session = WineSession()
        cls.addClassCleanup(cls.session.close)  # ends the prefix with wineserver -k
        cls.local = cls.windows_variable("LOCALAPPDATA")
        cls.roaming = cls.windows_variable("APPDATA")
        cls.install_dir = cls.local + "\\Programs\\" + PRODUCT
        cls.exe = cls.install_dir + "\\TavrixServer.exe"
        cls.settings_dir = cls.roaming + "\\" + PRODUCT
        programs = cls.roaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\"
        cls.menu_link = programs + PRODUCT + ".lnk"
        cls.login_link = programs + "Startup\\" + PRODUCT + ".lnk"

    @classmethod
    def windows_variable(cls, name):
        code, out = cls.session.run_windows("cmd", "/c", f"echo %{name}%", timeout=60)
        value = out.strip()
        if code != 0 or not value or "%" in value:
            raise AssertionError(f"no %{name}% in the prefix: {out!r}")
        return value

    def unix(self, windows_path):
        code, out = self.session.run_windows("winepath", "-u", windows_path, timeout=60)
        self.assertEqual(code, 0, out)
        return out.strip()

    def exists(self, windows_path):
        return os.path.exists(self.unix(windows_path))

    def shortcut(self, windows_path):
        code, out = self.session.run_windows(built_program("TavrixShortcutProbe.exe"),
                                             windows_path, timeout=60)
        self.assertEqual(code, 0, f"shortcut {windows_path} unreadable: {out!r}")
        fields = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
        return fields["target"], fields["workdir"]

    def uninstall_entry(self):
        _, out = self.session.run_windows("reg", "query", UNINSTALL_KEY, timeout=60)
        values = {}
        for line in out.splitlines():
            match = re.match(r"\s+(\S+)\s+(REG_\w+)\s+(.*?)\s*$", line)
            if match:
                values[match.group(1)] = (match.group(2), match.group(3))
        return values

    def install(self, *options):
        code, out = self.session.run_windows(artifact(running_arch(), "setup"), "/S", *options,
                                             timeout=180)
        self.assertEqual(code, 0, out)

    def uninstall(self, *options):
        # As Settings > Apps runs it: the uninstaller copies itself away and returns at once,
        # so the copy's work is awaited by its results.
        code, out = self.session.run_windows(self.unix(self.install_dir + "\\uninstall.exe"),
                                             "/S", *options, timeout=120)
        self.assertEqual(code, 0, out)
        folder = self.unix(self.install_dir)
        if not wait_until(lambda: not os.path.exists(folder), 60, interval=0.5):
            self.fail(f"{folder} still holds {os.listdir(folder)}")
        self.assertTrue(wait_until(lambda: not self.uninstall_entry(), 30, interval=0.5))

    def assert_same_path(self, actual, expected):
        self.assertEqual(actual.lower(), expected.lower())

    def test_install_run_from_the_start_menu_shortcut_and_uninstall(self):
        self.install()
        folder = self.unix(self.install_dir)
        self.assertEqual(sorted(os.listdir(folder)),
                         ["LICENSE.txt", "README.txt", "TavrixServer.exe", "uninstall.exe"])
        arch = running_arch()
        with zipfile.ZipFile(artifact(arch, "zip")) as archive:
            packed = archive.read(f"TavrixServer-{project_version()}-{arch}/TavrixServer.exe")
        with open(os.path.join(folder, "TavrixServer.exe"), "rb") as f:
            self.assertEqual(f.read(), packed)

        target, workdir = self.shortcut(self.menu_link)
        self.assert_same_path(target, self.exe)
        self.assert_same_path(workdir, self.settings_dir)
        self.assertTrue(os.path.isdir(self.unix(workdir)))
        self.assertFalse(self.exists(self.login_link), "Start at login is not the default")

        entry = self.uninstall_entry()
        uninstaller = f'"{self.install_dir}\\uninstall.exe"'
        for name, value in {"DisplayName": PRODUCT, "DisplayVersion": project_version(),
                            "Publisher": "The Tavrix Server authors", "DisplayIcon": self.exe,
                            "UninstallString": uninstaller,
                            "QuietUninstallString": uninstaller + " /S"}.items():
            self.assertEqual(entry[name][0], "REG_SZ", name)
            self.assert_same_path(entry[name][1], value)
        for name in ("NoModify", "NoRepair"):
            self.assertEqual(entry[name], ("REG_DWORD", "0x1"))
        self.assertEqual(entry["EstimatedSize"][0], "REG_DWORD")
        size_kb = sum(os.path.getsize(os.path.join(folder, name))
                      for name in os.listdir(folder)) / 1024
        self.assertLessEqual(abs(int(entry["EstimatedSize"][1], 16) - size_kb), 4)

        # Started as the shortcut starts it: the settings folder is its working directory.
        settings = self.unix(workdir)
        start_and_connect(self, self.session, os.path.join(folder, "TavrixServer.exe"),
                          settings)

        self.uninstall()
        self.assertFalse(self.exists(self.menu_link))
        self.assertTrue(os.path.isfile(os.path.join(settings, "TavrixConfig.txt")),
                        "the settings stay unless the user asks")

    def test_start_at_login_and_uninstall_with_the_settings(self):
        self.install("/STARTATLOGIN")
        target, workdir = self.shortcut(self.login_link)
        self.assert_same_path(target, self.exe)
        self.assert_same_path(workdir, self.settings_dir)
        settings = self.unix(self.settings_dir)
        with open(os.path.join(settings, "TavrixConfig.txt"), "w") as f:
            f.write(settings_text())

        self.uninstall("/REMOVESETTINGS")
        self.assertFalse(self.exists(self.login_link))
        self.assertFalse(self.exists(self.menu_link))
        self.assertFalse(os.path.exists(settings))


if __name__ == "__main__":
    unittest.main()
