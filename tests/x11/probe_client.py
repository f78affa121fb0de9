"""The probe X client seen from the tests: windows that log the key and button events they
get, and one-shot commands that read or change the desktop from outside the server. Every
probe process is stopped by its own pid."""

import os
import subprocess
import tempfile
import time

from native_harness import probe_program, stop_process, wait_until


def key_of(title):
    """The window key of a title as the device gets it: UTF-16 units of the Western European
    text, in the text field encoding."""
    units = title.encode("cp1252", errors="replace").decode("cp1252").encode("utf-16-le")
    return "-1|-2" + "".join(f"|{units[i]}|{units[i + 1]}" for i in range(0, len(units), 2))


def text_of(key):
    return bytes(int(n) for n in key.split("|")[2:]).decode("utf-16-le")


class Probe:
    """The probe's one-shot commands on the session's display."""

    def __init__(self, session):
        self.session = session
        self.program = probe_program()

    def run(self, *args):
        result = self.session.run([self.program, *map(str, args)])
        assert result.returncode == 0, f"probe {args} failed: {result.stderr}"
        return result.stdout

    def pointer(self):
        x, y = self.run("pointer").split()
        return int(x), int(y)

    def clients(self):
        """The window manager's _NET_CLIENT_LIST_STACKING, bottom first: one dict a window."""
        return [_window_fields(line) for line in self.run("clients").splitlines()]

    def active(self):
        return int(self.run("active"))

    def state(self, window):
        """The window's fields (see clients), or None when it is gone."""
        out = self.run("state", window).strip()
        return None if out == "missing" else _window_fields(out)

    def keymap(self):
        return self.run("keymap")

    def iconify(self, window):
        self.run("iconify", window)

    def activate(self, window):
        self.run("activate", window)


def _window_fields(line):
    head, *pairs = line.split()
    fields = dict(pair.split("=", 1) for pair in pairs)
    fields["id"] = int(head)
    fields["frame"] = tuple(int(v) for v in fields["frame"].split(","))
    fields["name"] = "" if fields["name"] == "-" else bytes.fromhex(fields["name"]).decode()
    return fields


class ProbeWindow:
    """A logging probe window: title, geometry and the probe's window options. Its log
    lines are ("keydown", keycode, keysym name, text), ("keyup", keycode, keysym name, ""),
    ("down"|"up", button, x, y, root x, root y), ("focus",) and ("close",)."""

    def __init__(self, session, title, x=200, y=150, width=300, height=200, options=()):
        self.session = session
        self.title = title
        handle, self.log_path = tempfile.mkstemp(prefix="probe-", suffix=".log",
                                                 dir=session.root)
        os.close(handle)
        self.process = subprocess.Popen(
            [probe_program(), "window", title, "--geometry", f"{width}x{height}+{x}+{y}",
             "--log", self.log_path, *map(str, options)],
            env=session.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
        ready = self._ready_line(15)
        if not ready.startswith("ready "):
            self.stop()
            raise AssertionError(f"probe window {title!r} did not open: {ready!r}")
        self.id = int(ready.split()[1])

    def _ready_line(self, timeout):
        deadline = time.monotonic() + timeout
        line = b""
        os.set_blocking(self.process.stdout.fileno(), False)
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            chunk = self.process.stdout.read()
            if chunk:
                line += chunk
            elif self.process.poll() is not None:
                break
            else:
                time.sleep(0.02)
        return line.decode(errors="replace")

    def events(self):
        with open(self.log_path) as f:
            lines = f.read().splitlines()
        events = []
        for line in lines:
            fields = line.split()
            if fields[0] in ("keydown", "keyup"):
                text = "" if fields[3] == "-" else bytes.fromhex(fields[3]).decode()
                events.append((fields[0], int(fields[1]), fields[2], text))
            elif fields[0] in ("down", "up"):
                events.append((fields[0], *map(int, fields[1:])))
            else:
                events.append((fields[0],))
        return events

    def input_events(self):
        return [e for e in self.events() if e[0] != "focus"]

    def wait_events(self, count, timeout=5.0):
        """The input events so far, once at least count have come (or the time is up)."""
        wait_until(lambda: len(self.input_events()) >= count, timeout, interval=0.02)
        return self.input_events()

    def settle(self, seconds=0.3):
        """The input events after a quiet time in which nothing more came."""
        before = None
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            time.sleep(seconds)
            now = self.input_events()
            if now == before:
                return now
            before = now
        return before

    def typed(self):
        return "".join(e[3] for e in self.input_events() if e[0] == "keydown")

    def pressed(self):
        """The keysym names of the key presses, in order."""
        return [e[2] for e in self.input_events() if e[0] == "keydown"]

    def stop(self):
        stop_process(self.process)
        self.process.stdout.close()
