"""Runs the real TavrixServer.exe under Wine on a virtual X display, and speaks the device's
protocol to it over loopback. Every wait is bounded, and every process started here is
stopped by its own process id."""

import atexit
import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time

ACK = b"\n\x00\x00\x00"
HERE = os.path.dirname(os.path.abspath(__file__))


def _env_path(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError(f"{name} is not set; run the tests through scripts/tavrix.sh test")
    return value


PROBE_ADDRESS = "127.0.0.254"
# Ports the tests give their servers: below Linux's default range for outgoing connections
# (32768 to 60999).
FREE_PORTS_FROM, FREE_PORTS_TO = 20000, 32768


def free_port():
    """A port the server can bind on every address. Checked on every address, since a
    connection the tests made from another loopback address (127.0.0.254, 127.0.x.y) leaves
    its port in TIME_WAIT there, which keeps a program that doesn't reuse addresses (the
    Windows server under Wine) from listening on it; and below the range the system takes
    ports for outgoing connections from, so that none takes it before the server does."""
    with socket.socket() as s:
        for _ in range(200):
            port = random.randrange(FREE_PORTS_FROM, FREE_PORTS_TO)
            try:
                s.bind(("0.0.0.0", port))
                return port
            except OSError:
                continue
        s.bind(("0.0.0.0", 0))
        return s.getsockname()[1]


def wait_until(predicate, timeout, interval=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = predicate()
        if result:
            return result
        time.sleep(interval)
    return predicate()


def stop_process(process, grace=3.0):
    """Ends one process we started, by its own pid."""
    if process.poll() is not None:
        return
    try:
        os.kill(process.pid, signal.SIGTERM)
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        os.kill(process.pid, signal.SIGKILL)
        process.wait(timeout=grace)
    except ProcessLookupError:
        pass


class WineSession:
    """A fresh Wine prefix and an Xvfb display, shared by every test of one run."""

    _instance = None

    @classmethod
    def get(cls):
        if cls._instance is None:
            cls._instance = WineSession()
            atexit.register(cls._instance.close)
            _close_on_sigterm(cls._instance)
        return cls._instance

    def __init__(self):
        self.wine = os.environ.get("TAVRIX_WINE", "/usr/lib/wine/wine64")
        self.wineserver = os.environ.get("TAVRIX_WINESERVER", "/usr/lib/wine/wineserver64")
        self.root = tempfile.mkdtemp(prefix="tavrix-e2e-")
        self.prefix = os.path.join(self.root, "prefix")
        self.xvfb = None
        self._closed = False
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "WINELOADER": self.wine,
            "WINESERVER": self.wineserver,
        })
        # A session that fails to start ends what it had started: no one else will.
        try:
            self.display = self._start_display()
            self.env["DISPLAY"] = self.display
            self._run([self.wine, "wineboot", "-i"], timeout=180)
            self._run([self.wineserver, "-w"], timeout=180)
            # A wineserver that ends once its last process has gone can race the next
            # program's start, which then fails with Wine's own exit code 1: this one stays
            # until close() ends it.
            subprocess.run([self.wineserver, "-p"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            # A crash must fail a test, not wait for someone to close a dialog.
            self._run([self.wine, "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v",
                       "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f"], timeout=60)
        except BaseException:
            self.close()
            raise
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self._installed = set()

    def _start_display(self):
        for number in range(90, 140):
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            self.xvfb = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{number}"), 10):
                return f":{number}"
            stop_process(self.xvfb)
        raise RuntimeError("no free X display")

    def _run(self, command, timeout, cwd=None):
        return subprocess.run(command, env=self.env, cwd=cwd, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)

    def run_windows(self, exe, *args, timeout=30, cwd=None):
        """Runs a Windows program to its end and gives back what it printed."""
        result = self._run([self.wine, exe, *args], timeout=timeout, cwd=cwd)
        return result.returncode, result.stdout.decode("latin-1")

    def start_windows(self, exe, cwd, dll_overrides=()):
        """Starts a Windows program; dll_overrides ("name=", "name=n") apply to it alone."""
        env = dict(self.env)
        if dll_overrides:
            env["WINEDLLOVERRIDES"] = ";".join([env["WINEDLLOVERRIDES"], *dll_overrides])
        # What Wine itself says (a loader's failure) is kept for exit_report.
        fd, errors = tempfile.mkstemp(prefix="wine-", suffix=".err", dir=self.root)
        with os.fdopen(fd, "wb") as stderr:
            process = subprocess.Popen([self.wine, exe], env=env, cwd=cwd,
                                       stdout=subprocess.DEVNULL, stderr=stderr)
        process.stderr_path = errors
        return process

    def system_folder(self, exe):
        """The Windows system folder that a program of exe's bitness loads libraries from."""
        windows = os.path.join(self.drive_c, "windows")
        wow64 = os.path.join(windows, "syswow64")
        if _is_32_bit(exe) and os.path.isdir(wow64):
            return wow64
        return os.path.join(windows, "system32")

    def install_system_library(self, source, exe):
        """Puts a library into the system folder once a session. It is copied in under
        another name and renamed into place, so no program ever maps it half written."""
        target = os.path.join(self.system_folder(exe), os.path.basename(source))
        if target in self._installed:
            return
        staging = target + ".tavrix-new"
        shutil.copy(source, staging)
        os.replace(staging, target)
        self._installed.add(target)

    def close(self):
        """Ends every process of the prefix, Wine's own services (winedevice.exe) too, which
        no test started by a pid, then the display."""
        if self._closed:
            return
        self._closed = True
        try:
            self._run([self.wineserver, "-k"], timeout=30)
            # -k only asks; the prefix goes once its wineserver has.
            self._run([self.wineserver, "-w"], timeout=30)
        except (subprocess.TimeoutExpired, OSError):
            pass
        # A process that had lost its wineserver outlives -k; it is ended by its own pid.
        kill_prefix_processes(self.prefix)
        if self.xvfb:
            stop_process(self.xvfb)
        shutil.rmtree(self.root, ignore_errors=True)


def kill_prefix_processes(prefix):
    """Ends every process that runs in the Wine prefix (its WINEPREFIX), by its pid."""
    marker = b"WINEPREFIX=" + os.fsencode(prefix) + b"\0"
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if marker not in f.read() + b"\0":
                    continue
            os.kill(int(entry), signal.SIGKILL)
        except OSError:
            pass  # gone meanwhile, or not ours to read


def _close_on_sigterm(session):
    """A run cut short by SIGTERM (timeout(1)) skips atexit, and unittest would take a
    SystemExit for a test's error and go on: the session is closed here, then the signal
    ends the process as it would have."""
    if signal.getsignal(signal.SIGTERM) != signal.SIG_DFL:
        return

    def close_and_end(signum, _frame):
        session.close()
        signal.signal(signum, signal.SIG_DFL)
        os.kill(os.getpid(), signum)
    signal.signal(signal.SIGTERM, close_and_end)


def _is_32_bit(exe):
    """Whether a Windows program is a 32-bit one (its PE header names an i386 machine)."""
    with open(exe, "rb") as f:
        header = f.read(4096)
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if offset + 6 > len(header) or header[offset:offset + 4] != b"PE\0\0":
        raise RuntimeError(f"{exe} is no Windows program")
    return struct.unpack_from("<H", header, offset + 4)[0] == 0x14C


class Probe:
    """Reads the desktop from outside the server."""

    def __init__(self, session):
        self.session = session
        self.exe = _env_path("TAVRIX_PROBE_EXE")

    def cursor(self):
        code, out = self.session.run_windows(self.exe, "cursor")
        assert code == 0, f"probe failed: {code}"
        x, y = out.split()
        return int(x), int(y)

    def set_cursor(self, x, y):
        code, _ = self.session.run_windows(self.exe, "setcursor", str(x), str(y))
        assert code == 0, f"probe failed: {code}"


def settings_text(name="Office PC", password="secret", password_enabled=1, server_on=1,
                  port=12589):
    return (f"{name}\r\n{password}\r\n1#{password_enabled}#0#1#0#0#{server_on}#{port}#0")


def built_program(name):
    """A Windows program built with the tests (they sit beside the probe)."""
    return os.path.join(os.path.dirname(_env_path("TAVRIX_PROBE_EXE")), name)


def exit_report(process):
    """Why a program of start_windows ended: its exit code and the last of Wine's words."""
    report = f"server exited with {process.returncode}"
    try:
        with open(process.stderr_path, "rb") as f:
            said = f.read()[-600:].decode("latin-1").strip()
    except (AttributeError, OSError):
        said = ""
    return report + (f"; Wine said: {said}" if said else "")


def wait_listening(process, port, timeout=30):
    """Waits until the server process accepts devices on port; fails if it exits first."""
    def accepting():
        if process.poll() is not None:
            raise AssertionError(exit_report(process))
        try:
            # A call that leaves without a password counts as a refusal of its address:
            # the probe calls from one that no test uses.
            with socket.create_connection(("127.0.0.1", port), timeout=0.5,
                                          source_address=(PROBE_ADDRESS, 0)) as probe:
                probe.settimeout(2)
                # The probe connection is a device too: wait for its hello, then leave.
                probe.recv(256)
            return True
        except OSError:
            return False
    if not wait_until(accepting, timeout, interval=0.2):
        raise AssertionError(f"server not listening on {port}")
    time.sleep(0.3)  # let the server see the probe leave


class ServerProcess:
    """One TavrixServer.exe in a working directory of its own, with its settings file.

    The stand-in dnssd.dll and dnsapi.dll sit in the prefix's system folder, and each
    writes its record of calls into the working directory of the process that calls it, so
    each record belongs to one server. The program finds the stand-in dnssd.dll there;
    with dnssd False, that library is disabled for this process and the program falls back
    to Wine's own dnsapi.dll, which lacks the DNS-SD functions, so it shows its warning
    before it serves. With dnsapi True, dnssd.dll is disabled and this process alone loads
    the stand-in dnsapi.dll instead of Wine's own. With planted_dnssd True, a third stand-in
    dnssd.dll, which writes planted_dnssd_calls.txt, lies in the program's folder."""

    def __init__(self, session, settings=None, port=None, dnssd=True, dnsapi=False,
                 planted_dnssd=False):
        self.session = session
        self.port = port or free_port()
        self.workdir = tempfile.mkdtemp(prefix="server-", dir=session.root)
        self.exe = os.path.join(self.workdir, "TavrixServer.exe")
        shutil.copy(_env_path("TAVRIX_SERVER_EXE"), self.exe)
        for library in ("dnssd.dll", "dnsapi.dll"):
            session.install_system_library(built_program(library), self.exe)
        if planted_dnssd:
            shutil.copy(built_program(os.path.join("planted", "dnssd.dll")), self.workdir)
        overrides = []
        if not dnssd or dnsapi:
            overrides.append("dnssd=")
        if dnsapi:
            overrides.append("dnsapi=n")
        if settings is None:
            settings = settings_text(port=self.port)
        with open(os.path.join(self.workdir, "TavrixConfig.txt"), "w", newline="") as f:
            f.write(settings)
        self.process = session.start_windows(self.exe, self.workdir, overrides)

    def _record(self, name):
        try:
            with open(os.path.join(self.workdir, name)) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def dnssd_calls(self):
        """The stand-in dnssd.dll's record, one call a line; empty before the first call."""
        return self._record("dnssd_calls.txt")

    def dnsapi_calls(self):
        """The stand-in dnsapi.dll's record, one call or answer a line."""
        return self._record("dnsapi_calls.txt")

    def file_exists(self, name):
        return os.path.exists(os.path.join(self.workdir, name))

    def settings_file(self):
        with open(os.path.join(self.workdir, "TavrixConfig.txt"), "rb") as f:
            return f.read()

    def wait_listening(self, timeout=30):
        wait_listening(self.process, self.port, timeout)

    def stop(self):
        stop_process(self.process)

    def log_text(self):
        path = os.path.join(self.session.drive_c, "tavrix_log.txt")
        with open(path, "rb") as f:
            return f.read()


class Device:
    """The device end of the protocol."""

    def __init__(self, port, timeout=5.0, source=None):
        # Any 127.x.y.z stands for another machine on the network: Linux routes them all.
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout,
                                             source_address=(source, 0) if source else None)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buffer = b""
        self.timeout = timeout

    def send(self, data):
        self.sock.sendall(data)

    def _fill(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            return False
        self.sock.settimeout(remaining)
        try:
            chunk = self.sock.recv(65536)
        except socket.timeout:
            return False
        if not chunk:
            raise EOFError("server closed the connection")
        self.buffer += chunk
        return True

    def read_exact(self, count, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while len(self.buffer) < count:
            if not self._fill(deadline):
                raise AssertionError(f"wanted {count} bytes, got {self.buffer!r}")
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def read_line(self, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while b"\n" not in self.buffer:
            if not self._fill(deadline):
                raise AssertionError(f"no full line, got {self.buffer!r}")
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line + b"\n"

    def expect_ack(self):
        assert self.read_exact(4) == ACK

    def expect_silence(self, seconds=0.5):
        """Nothing arrives for a while (and the connection stays open)."""
        deadline = time.monotonic() + seconds
        while self._fill(deadline):
            pass
        assert self.buffer == b"", f"unexpected bytes {self.buffer!r}"

    def expect_closed(self, timeout=5.0):
        deadline = time.monotonic() + timeout
        try:
            while self._fill(deadline):
                pass
        except (EOFError, ConnectionResetError):
            return
        raise AssertionError("server kept the connection open")

    def close(self):
        self.sock.close()
