"""Windows beside the server that show from outside what its input did: a probe window that
reports the button and wheel messages it receives, and Wine's own notepad.exe."""

import queue
import subprocess
import threading
import time

from harness import stop_process, wait_until


class WatchWindow:
    """The probe's watched window: a top-level window titled `title` at (x, y, width,
    height) with a child window over its lower half. Every button and wheel message either
    of them receives arrives here as (name, "main" or "child", wheel delta, x, y)."""

    def __init__(self, session, probe_exe, title, x, y, width, height, lifetime=120):
        self.title = title
        self.process = subprocess.Popen(
            [session.wine, probe_exe, "watch", title, str(x), str(y), str(width), str(height),
             str(lifetime)],
            env=session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._lines = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.events = []
        ready = self._next(30)
        if not ready or ready[0] != "ready":
            self.stop()
            raise AssertionError(f"watch window did not start: {ready!r}")
        self.child_origin = (int(ready[1]), int(ready[2]))

    def _read(self):
        for raw in self.process.stdout:
            self._lines.put(raw.decode("latin-1").split())
        self._lines.put(None)

    def _next(self, timeout):
        try:
            return self._lines.get(timeout=timeout)
        except queue.Empty:
            return None

    def _drain(self, deadline):
        while True:
            remaining = deadline - time.monotonic()
            fields = self._next(remaining) if remaining > 0 else None
            if fields is None:
                return
            self.events.append((fields[0], fields[1], int(fields[2]), int(fields[3]),
                                int(fields[4])))

    def wait_events(self, count, timeout=10.0):
        """All events so far, once at least `count` have come (or the time is up: long, since
        Wine on a busy machine can take seconds to hand a click to its window)."""
        deadline = time.monotonic() + timeout
        while len(self.events) < count and time.monotonic() < deadline:
            self._drain(min(deadline, time.monotonic() + 0.1))
        return list(self.events)

    def settle(self, seconds=0.4):
        """Everything that arrives within a short quiet time."""
        self._drain(time.monotonic() + seconds)
        return list(self.events)

    def stop(self):
        stop_process(self.process)
        self._reader.join(timeout=5)
        self.process.stdout.close()


class Notepad:
    """Wine's notepad.exe, in the foreground, with its edit text readable through the probe."""

    def __init__(self, session, probe_exe):
        self.session = session
        self.probe_exe = probe_exe
        self.process = subprocess.Popen([session.wine, "notepad.exe"], env=session.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: self.text() is not None, 30, interval=0.2):
            self.stop()
            raise AssertionError("notepad did not open")

    def activate(self):
        return wait_until(lambda: self._probe("activate", "Notepad") == "foreground", 10,
                          interval=0.2)

    def text(self):
        out = self._probe("edittext", "Notepad")
        if not out.startswith("text"):
            return None
        return bytes.fromhex(out[4:].strip())

    def wait_text(self, expected, timeout=5.0):
        """The edit text once it equals `expected`, or whatever it is when the time is up."""
        wait_until(lambda: self.text() == expected, timeout, interval=0.1)
        return self.text()

    def _probe(self, *args):
        _, out = self.session.run_windows(self.probe_exe, *args)
        return out.strip()

    def stop(self):
        stop_process(self.process)
