"""Runs the native tavrix-server on a virtual X display (Xvfb managed by openbox) and speaks
the device's protocol to it over loopback. The device simulator is the one of the Wine tests.
Every wait is bounded, and every process started here is stopped by its own process id."""

import atexit
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from harness import (ACK, Device, free_port, settings_text,  # noqa: E402,F401
                     stop_process, wait_until)

PREFIX = "tavrix-server: "


def env_path(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError(f"{name} is not set; run the tests through scripts/tavrix.sh test")
    return value


def server_program():
    return env_path("TAVRIX_NATIVE_SERVER")


def probe_program():
    return env_path("TAVRIX_X11_PROBE")


def _read_display_number(read_fd, timeout):
    """What Xvfb writes to its -displayfd: the display number and a line feed, once it
    accepts connections."""
    text = b""
    deadline = time.monotonic() + timeout
    while not text.endswith(b"\n"):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise RuntimeError("Xvfb did not report its display in time")
        ready, _, _ = select.select([read_fd], [], [], remaining)
        if not ready:
            continue
        chunk = os.read(read_fd, 32)
        if not chunk:
            raise RuntimeError("Xvfb ended before it reported its display")
        text += chunk
    return ":" + text.decode().strip()


class X11Session:
    """An Xvfb display on a number of its own choosing, with openbox managing it, shared by
    every test of one run. Its own home folder keeps the desktop programs' files out of the
    user's."""

    _instance = None

    @classmethod
    def get(cls):
        if cls._instance is None:
            cls._instance = X11Session()
            atexit.register(cls._instance.close)
        return cls._instance

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="tavrix-x11-")
        self.home = os.path.join(self.root, "home")
        os.makedirs(self.home)
        runtime = os.path.join(self.root, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.xvfb = None
        self.wm = None
        try:
            self.display = self._start_display()
            self.env = dict(os.environ)
            for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY"):
                self.env.pop(name, None)
            self.env.update({
                "DISPLAY": self.display,
                "HOME": self.home,
                "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
                "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
                "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
                "XDG_RUNTIME_DIR": runtime,
                # GTK programs (the file dialog) don't wait for an accessibility bus.
                "NO_AT_BRIDGE": "1",
                "GDK_BACKEND": "x11",
            })
            self._start_window_manager()
        except BaseException:
            self.close()
            raise

    def _start_display(self):
        read_fd, write_fd = os.pipe()
        try:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
        finally:
            os.close(write_fd)
        try:
            return _read_display_number(read_fd, 20)
        finally:
            os.close(read_fd)

    def _start_window_manager(self):
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)

        def managing():
            if self.wm.poll() is not None:
                raise RuntimeError(f"openbox ended with {self.wm.returncode}")
            out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], timeout=5)
            return "window id #" in out.stdout
        if not wait_until(managing, 15, interval=0.1):
            raise RuntimeError("openbox did not take the display")

    def run(self, command, timeout=10, input=None):
        """Runs a program on the display to its end; its output as text."""
        return subprocess.run(command, env=self.env, timeout=timeout, input=input,
                              capture_output=True, text=True, check=False)

    def xdotool(self, *args, timeout=10):
        return self.run(["xdotool", *map(str, args)], timeout=timeout)

    def pointer(self):
        """Where the X pointer is."""
        out = self.xdotool("getmouselocation", "--shell").stdout
        fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(fields["X"]), int(fields["Y"])

    def set_pointer(self, x, y):
        # Not --sync: it waits for a motion that never comes when the pointer is there.
        self.xdotool("mousemove", x, y)
        if not wait_until(lambda: self.pointer() == (x, y), 5):
            raise RuntimeError(f"the pointer did not go to {x},{y}")

    def windows_named(self, title):
        """Ids of the mapped windows whose whole name is the title."""
        out = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % _pattern(title))
        return [int(line) for line in out.stdout.split()]

    def wait_window(self, title, timeout=10):
        """The id of the first mapped window with this title; None when none appears."""
        found = wait_until(lambda: self.windows_named(title), timeout, interval=0.1)
        return found[0] if found else None

    def wait_window_gone(self, title, timeout=10):
        return wait_until(lambda: not self.windows_named(title), timeout, interval=0.1)

    def geometry(self, window):
        """The window's position on the screen and its size, as xwininfo tells them."""
        out = self.run(["xwininfo", "-id", str(window)]).stdout
        values = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def frame_geometry(self, window):
        """The window with its frame, as the window manager's _NET_FRAME_EXTENTS tell it:
        left, top, width, height."""
        x, y, width, height = self.geometry(window)
        out = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]).stdout
        _, _, values = out.partition("=")
        left, right, top, bottom = ([int(v) for v in values.split(",")] if values.strip()
                                    else [0, 0, 0, 0])
        return x - left, y - top, width + left + right, height + top + bottom

    def close(self):
        if self.wm:
            stop_process(self.wm)
        if self.xvfb:
            stop_process(self.xvfb)
        shutil.rmtree(self.root, ignore_errors=True)


class PointerProbe:
    """The Wine suite's pointer probe, read and set through xdotool."""

    def __init__(self, session):
        self.session = session

    def cursor(self):
        return self.session.pointer()

    def set_cursor(self, x, y):
        self.session.set_pointer(x, y)


class ZenityDialogs:
    """The Wine suite's file dialog probe for the server's zenity dialogs: it answers them
    with the keys a user would press. Paths the Wine tests build with backslashes get
    slashes."""

    def __init__(self, session):
        self.session = session

    def wait(self, title, ms=10000):
        return self.session.wait_window(title, ms / 1000) is not None

    def gone(self, title, ms=10000):
        return self.session.wait_window_gone(title, ms / 1000)

    def _focus(self, title, ms):
        window = self.session.wait_window(title, ms / 1000)
        assert window is not None, f"no dialog {title!r}"
        # The chooser takes keys once it has the focus and has settled.
        wait_until(lambda: self.session.xdotool("getactivewindow").stdout.strip() ==
                   str(window), 5)
        time.sleep(0.7)

    def choose(self, title, path, ms=10000):
        """Types the path into the location field and confirms; a folder is opened."""
        self._focus(title, ms)
        self.session.xdotool("key", "ctrl+l")
        time.sleep(0.3)
        self.session.xdotool("key", "ctrl+a")
        self.session.xdotool("type", "--delay", "10", path.replace("\\", "/"))
        time.sleep(0.3)
        self.session.xdotool("key", "Return")

    def cancel(self, title, ms=10000):
        self._focus(title, ms)
        self.session.xdotool("key", "Escape")


def _pattern(title):
    """The title as a regular expression that matches it literally."""
    special = set("\\.^$|?*+()[]{}")
    return "".join("\\" + c if c in special else c for c in title)


def _environment(session, changes, workdir):
    """The display's environment with the changes made; a value of None removes the name.
    The user's configuration folder is one of the working directory's own, never the real
    one."""
    environment = dict(session.env)
    environment["XDG_CONFIG_HOME"] = os.path.join(workdir, "config")
    for name, value in (changes or {}).items():
        if value is None:
            environment.pop(name, None)
        else:
            environment[name] = value
    return environment


class NativeServer:
    """One tavrix-server in a working directory of its own (or the one given), with its
    settings file (the folder's as it is when settings is False). What it says on standard
    error is kept in stderr.txt there. wrap, when given, turns the command line into the one
    to run (one that enters a namespace and then runs the server in its place)."""

    def __init__(self, session, settings=None, port=None, args=(), env=None, workdir=None,
                 wrap=None):
        self.session = session
        self.port = port or free_port()
        self.workdir = workdir or tempfile.mkdtemp(prefix="server-", dir=session.root)
        if settings is None:
            settings = settings_text(port=self.port)
        if settings is not False:
            # The settings file is in the ANSI code page, as the Windows program writes it.
            with open(os.path.join(self.workdir, "TavrixConfig.txt"), "w", newline="",
                      encoding="cp1252") as f:
                f.write(settings)
        self.stderr_path = os.path.join(self.workdir, "stderr.txt")
        environment = _environment(session, env, self.workdir)
        command = [server_program(), *map(str, args)]
        if wrap:
            command = wrap(command)
        with open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen(command,
                                            cwd=self.workdir, env=environment,
                                            stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=err)

    def stderr_lines(self):
        """The status lines so far, without the program's prefix."""
        with open(self.stderr_path, "rb") as f:
            text = f.read().decode("utf-8", "replace")
        return [line[len(PREFIX):] if line.startswith(PREFIX) else line
                for line in text.splitlines()]

    def wait_for_line(self, predicate, timeout=10):
        """The first status line the predicate accepts, waiting for it; None when none."""
        def found():
            return next((line for line in self.stderr_lines() if predicate(line)), None)
        return wait_until(found, timeout)

    def wait_listening(self, timeout=15):
        expected = f"listening on port {self.port}"

        def listening():
            if expected in self.stderr_lines():
                return True
            if self.process.poll() is not None:
                raise AssertionError(f"server ended with {self.process.returncode}: "
                                     f"{self.stderr_lines()}")
            return False
        if not wait_until(listening, timeout):
            raise AssertionError(f"server not listening on {self.port}: {self.stderr_lines()}")

    def settings_file(self):
        with open(os.path.join(self.workdir, "TavrixConfig.txt"), "rb") as f:
            return f.read()

    def log_text(self):
        with open(os.path.join(self.workdir, "tavrix_log.txt"), "rb") as f:
            return f.read()

    def stop(self):
        """Ends the server by its pid (SIGTERM first); its exit code."""
        stop_process(self.process)
        return self.process.returncode


def run_server_to_end(session, workdir, args=(), input=None, env=None, timeout=15):
    """Runs tavrix-server in the folder until it ends by itself: (exit code, stderr)."""
    environment = _environment(session, env, workdir)
    result = subprocess.run([server_program(), *map(str, args)], cwd=workdir, env=environment,
                            input=input, capture_output=True, timeout=timeout, check=False)
    return result.returncode, result.stderr.decode("utf-8", "replace")
