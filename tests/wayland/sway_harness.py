"""A headless sway for the end-to-end tests of the server's Wayland route, and the probe
client's windows on it. sway refuses to run as root: as root (CI), it runs as nobody, with a
runtime folder of that user's. Every wait is bounded; every process started here is stopped
by its own process id."""

import atexit
import glob
import json
import os
import pwd
import queue
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(HERE, "..", "x11"))

from native_harness import (Device, NativeServer, free_port, settings_text,  # noqa: E402,F401
                            stop_process, wait_until)

CONFIG = """output HEADLESS-1 resolution 1280x800 position 0 0
xwayland disable
default_border none
default_floating_border none
focus_follows_mouse no
"""
START_TIMEOUT = 15


def probe_program():
    return os.environ.get("TAVRIX_WAYLAND_PROBE") or os.path.join(
        ROOT, "build", "linux", "tests", "wayland", "tavrix-wayland-probe")


class SwaySession:
    """One sway for the whole run, its clients' environment in env (no X display)."""

    _instance = None
    _failure = None

    @classmethod
    def get(cls):
        """The run's sway; unittest.SkipTest where sway can't start here."""
        if cls._instance is None and cls._failure is None:
            try:
                cls._instance = SwaySession()
                atexit.register(cls._instance.close)
            except (OSError, RuntimeError) as error:
                cls._failure = str(error)
        if cls._failure:
            raise unittest.SkipTest(f"no headless sway: {cls._failure}")
        return cls._instance

    def __init__(self):
        if not shutil.which("sway") or not shutil.which("swaymsg"):
            raise RuntimeError("sway is not installed")
        self.root = tempfile.mkdtemp(prefix="tavrix-sway-")
        os.chmod(self.root, 0o755)
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        config = os.path.join(self.root, "sway.config")
        with open(config, "w") as f:
            f.write(CONFIG)
        os.chmod(config, 0o644)
        command = ["sway", "-c", config]
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "XDG_RUNTIME_DIR": self.runtime,
               "HOME": self.root, "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
               "WLR_RENDERER": "pixman"}
        if os.getuid() == 0:
            user = pwd.getpwnam("nobody")
            os.chown(self.runtime, user.pw_uid, user.pw_gid)
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                       *command]
        self.log_path = os.path.join(self.root, "sway.log")
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(command, env=env, cwd=self.root,
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        try:
            if not wait_until(self._sockets, START_TIMEOUT):
                raise RuntimeError(f"sway did not start: {self._log_tail()}")
            self.display, self.ipc = self._sockets()
            self.env = dict(os.environ)
            for name in ("DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"):
                self.env.pop(name, None)
            self.env.update({"XDG_RUNTIME_DIR": self.runtime, "WAYLAND_DISPLAY": self.display,
                             "SWAYSOCK": self.ipc, "HOME": self.root,
                             "XDG_DATA_HOME": os.path.join(self.root, "data")})
            if not wait_until(lambda: self.swaymsg("get_outputs") is not None, START_TIMEOUT):
                raise RuntimeError("sway does not answer on its socket")
        except BaseException:
            self.close()
            raise

    def _sockets(self):
        if self.process.poll() is not None:
            raise RuntimeError(f"sway ended with {self.process.returncode}: {self._log_tail()}")
        displays = glob.glob(os.path.join(self.runtime, "wayland-*[0-9]"))
        ipcs = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
        if not displays or not ipcs:
            return None
        return os.path.basename(displays[0]), ipcs[0]

    def _log_tail(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read()[-600:].decode("utf-8", "replace")
        except OSError:
            return ""

    def swaymsg(self, kind, *command):
        """sway's answer to a message as JSON; None when it gives none."""
        result = subprocess.run(["swaymsg", "-s", self.ipc, "-r", "-t", kind, *command],
                                capture_output=True, timeout=10, check=False)
        if result.returncode != 0:
            return None
        return json.loads(result.stdout or b"null")

    def windows(self):
        """The toplevels of the tree: [{name, app_id, focused, rect}]."""
        found = []

        def walk(node):
            if node.get("type") in ("con", "floating_con") and node.get("app_id") is not None:
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(self.swaymsg("get_tree") or {})
        return found

    def install_application(self, app_id, size, rgb):
        """A desktop file for the app_id in the session's data folder, with an icon of one
        colour and size in the hicolor theme."""
        data = self.env["XDG_DATA_HOME"]
        icon = "tavrix-" + app_id.rsplit(".", 1)[-1].lower()
        os.makedirs(os.path.join(data, "applications"), exist_ok=True)
        with open(os.path.join(data, "applications", app_id + ".desktop"), "w") as f:
            f.write(f"[Desktop Entry]\nType=Application\nName={app_id}\nExec=true\n"
                    f"Icon={icon}\n")
        icons = os.path.join(data, "icons", "hicolor", f"{size}x{size}", "apps")
        os.makedirs(icons, exist_ok=True)
        write_png(os.path.join(icons, icon + ".png"), size, size, rgb)

    def focused(self):
        return next((w["name"] for w in self.windows() if w.get("focused")), None)

    def close(self):
        if self.process.poll() is None:
            # sway takes its time over SIGTERM.
            stop_process(self.process, grace=1.0)
        shutil.rmtree(self.root, ignore_errors=True)


class ProbeWindow:
    """One window of the probe client, its event lines gathered as they come."""

    def __init__(self, session, title, app_id="org.tavrix.Probe", mode="window"):
        args = [title, app_id] if mode == "window" else [title]
        self.process = subprocess.Popen([probe_program(), mode, *args], env=session.env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()
        if not self.wait_line(lambda line: line == "ready", START_TIMEOUT):
            self.stop()
            raise AssertionError(f"the probe window {title!r} did not open")

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.decode("utf-8", "replace").rstrip("\n"))

    def _drain(self, timeout):
        try:
            self.seen.append(self.lines.get(timeout=timeout))
        except queue.Empty:
            pass

    def wait_line(self, predicate, timeout=5):
        """The first line so far or to come that the predicate accepts; None at the end of
        the wait."""
        deadline = time.monotonic() + timeout
        while True:
            found = next((line for line in self.seen if predicate(line)), None)
            remaining = deadline - time.monotonic()
            if found is not None or remaining <= 0:
                return found
            self._drain(min(remaining, 0.1))

    def events(self, kind, count, timeout=5):
        """The first count lines of a kind ("motion", "button", ...), split into words."""
        def enough():
            return len([line for line in self.seen if line.split(" ")[0] == kind]) >= count
        deadline = time.monotonic() + timeout
        while not enough() and time.monotonic() < deadline:
            self._drain(0.1)
        return [line.split(" ")[1:] for line in self.seen if line.split(" ")[0] == kind]

    def settle(self, kind, quiet=0.3):
        """The lines of a kind once no line has come for a while."""
        while True:
            before = len(self.seen)
            self._drain(quiet)
            if len(self.seen) == before:
                return [line.split(" ")[1:] for line in self.seen if line.split(" ")[0] == kind]

    def stop(self):
        if self.process.stdin:
            self.process.stdin.close()
        stop_process(self.process)
        self.process.stdout.close()


def write_png(path, width, height, rgb):
    """A plain PNG of one colour, without any image library."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
