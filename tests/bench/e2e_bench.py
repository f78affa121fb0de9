#!/usr/bin/env python3
"""End-to-end figures of the real TavrixServer.exe under Wine, and of the native tavrix-server
on Xvfb with openbox, each measured against floor programs that answer the same requests over
the same loopback framing with only the calls the platform requires. Each server and its
floors run in one session and are measured in interleaved rounds; each server's table gives
the medians and their ratio. The native part runs when its programs are built (build/linux).
--sway measures the native server on a headless sway against itself on Xvfb instead.

    tests/bench/e2e_bench.py [--build build/win64] [--native-build build/linux]
                             [--wine | --native | --sway] [--rounds 7] [--quick]
"""

import argparse
import os
import platform
import select
import socket
import statistics
import subprocess
import sys
import time
from contextlib import ExitStack

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "x11"))

from bmp_reader import read_bmp  # noqa: E402
from harness import ACK, Device, Probe, ServerProcess, WineSession, built_program, free_port, \
    settings_text, stop_process  # noqa: E402
from input_support import Notepad  # noqa: E402
from test_windows import text_of  # noqa: E402
import native_harness  # noqa: E402
sys.path.insert(0, os.path.join(ROOT, "tests", "wayland"))
import sway_harness  # noqa: E402
from probe_client import Probe as X11Probe, ProbeWindow, key_of  # noqa: E402

MOVES = (b"2:1:1\n", b"2:-1:-1\n")  # back and forth, so the pointer stays where it is
WRITE_SIZE = 512
PASSWORD_LINE = b"3000:bench\n"
ACCEPTED = b"1500"
FLOOR_LIFETIME = 900  # seconds; a floor left behind by a broken run ends by itself
REPLY_TIMEOUT = 20.0
BURST_TIMEOUT = 120.0
# Near the corner of the virtual screen, where no window lies: a pointer over a window would
# make its program handle every move too, on the cores the measured program needs.
QUIET_SPOT = (1004, 748)
NATIVE_FLOORS = ("tavrix-floor-echo", "tavrix-floor-list", "tavrix-floor-icon")
NATIVE_ICON_TITLE = "Bench Icon"
START_TIMEOUT = 60.0

FULL = dict(rounds=7, moves=200, burst=10000, windows=200, repeats=9)
QUICK = dict(rounds=2, moves=20, burst=500, windows=20, repeats=1)


class FloorProcess:
    """One floor program, serving on a port of its own until it is stopped by its pid."""

    def __init__(self, session, name, *args):
        self.port = free_port()
        self.process = subprocess.Popen(
            [session.wine, built_program(name), str(self.port), str(FLOOR_LIFETIME), *args],
            env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    wait_listening = ServerProcess.wait_listening  # a floor greets each device as the server does

    def stop(self):
        stop_process(self.process)


class NativeFloorProcess:
    """One native floor program on the X session's display, stopped by its pid."""

    def __init__(self, session, path, *args):
        self.port = free_port()
        self.process = subprocess.Popen(
            [path, str(self.port), str(FLOOR_LIFETIME), *map(str, args)], env=session.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_listening(self, timeout=15):
        def accepting():
            if self.process.poll() is not None:
                raise AssertionError(f"floor ended with {self.process.returncode}")
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.5).close()
                return True
            except OSError:
                return False
        if not native_harness.wait_until(accepting, timeout, interval=0.05):
            raise AssertionError(f"floor not listening on {self.port}")

    def stop(self):
        stop_process(self.process)


def ready_line(process, timeout):
    """The first line the process writes, waiting at most timeout seconds."""
    deadline = time.monotonic() + timeout
    line = b""
    while not line.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([process.stdout], [], [], deadline - time.monotonic())
        if not ready:
            break
        chunk = os.read(process.stdout.fileno(), 256)
        if not chunk:
            break
        line += chunk
    return line.strip()


def connect(target):
    target.wait_listening()
    device = Device(target.port, timeout=REPLY_TIMEOUT)
    device.read_line()  # the greeting
    return device


def elapsed_ms(action):
    started = time.perf_counter()
    result = action()
    return (time.perf_counter() - started) * 1000.0, result


# Each figure takes a device and gives one time in milliseconds.

def move_round_trip(device, count):
    """Median time from one move line to its read acknowledgement."""
    def one(line):
        device.send(line)
        device.expect_ack()
    return statistics.median(elapsed_ms(lambda: one(MOVES[i % 2]))[0] for i in range(count))


def burst(device, count):
    """count move lines in 512-byte writes, then the password line, until it is accepted."""
    data = b"".join(MOVES[i % 2] for i in range(count))
    writes = [data[i:i + WRITE_SIZE] for i in range(0, len(data), WRITE_SIZE)]

    def run():
        for write in writes:
            device.send(write)
        device.send(PASSWORD_LINE)
        deadline = time.monotonic() + BURST_TIMEOUT
        # The acknowledgements (0A 00 00 00) come between the lines; only the verdict counts.
        while time.monotonic() < deadline:
            line = device.read_line(timeout=max(0.1, deadline - time.monotonic()))
            if line.strip(b"\0\n") == ACCEPTED:
                return
        raise AssertionError("no verdict for the password line")
    took = elapsed_ms(run)[0]
    settle(device)
    return took


def settle(device, quiet=0.3):
    """Takes what still comes within a quiet time; only read acknowledgements may come."""
    device.sock.settimeout(quiet)
    try:
        while True:
            chunk = device.sock.recv(65536)
            if not chunk:
                raise EOFError("the connection closed")
            device.buffer += chunk
    except socket.timeout:
        pass
    if device.buffer.replace(ACK, b""):
        raise AssertionError(f"unexpected bytes {device.buffer[:80]!r}")
    device.buffer = b""


def window_list(device):
    """Time of "656" until the whole list line; the line is given back too."""
    def run():
        device.send(b"656\n")
        device.expect_ack()
        return device.read_line()
    took, line = elapsed_ms(run)
    if not line.startswith(b"124:"):
        raise AssertionError(f"no window list: {line[:80]!r}")
    return took, line


def icon(device, key):
    """Time of "438:<key>" until the header and every byte of the bitmap; (time, header, BMP)."""
    def run():
        device.send(b"438:" + key + b"\n")
        device.expect_ack()
        header = device.read_line()
        return header, device.read_exact(int(header.rsplit(b":", 1)[1]))
    took, (header, data) = elapsed_ms(run)
    if not header.startswith(b"439:" + key + b":"):
        raise AssertionError(f"no icon message: {header!r}")
    return took, header, data


class Pairing:
    """A server's device (self.server) and its floors' (self.floors), with the figures both
    are measured on. Needs counts, listed, floor_listed, icon_key, icon_bytes, icon_owner
    and set_cursor."""

    def figures(self):
        """(title, floor name, measure(device) -> ms); each figure takes the median of its
        repeats within a round."""
        counts = self.counts
        repeats = counts["repeats"]
        return [
            (f"one pointer move until its acknowledgement (median of {counts['moves']})",
             "echo", lambda d: move_round_trip(d, counts["moves"])),
            (f"{counts['burst']} pointer moves in {WRITE_SIZE}-byte writes, then the "
             f"password until {ACCEPTED.decode()}", "echo", lambda d: burst(d, counts["burst"])),
            (f"656 until the whole 124 line ({self.listed} keys; the floor lists "
             f"{self.floor_listed})", "list",
             lambda d: statistics.median(window_list(d)[0] for _ in range(repeats))),
            (f"438 for {self.icon_owner} until the whole 439 message ({self.icon_bytes}-byte "
             f"BMP)", "icon",
             lambda d: statistics.median(icon(d, self.icon_key)[0] for _ in range(repeats))),
        ]

    def run(self):
        """{title: ([server ms per round], [floor ms per round])}. Each figure is measured for
        the server and its floor one right after the other, the server first in even rounds
        and the floor first in odd ones, so that neither always follows the other's work."""
        figures = self.figures()
        results = {title: ([], []) for title, _, _ in figures}
        for round_number in range(self.counts["rounds"]):
            self.set_cursor(*QUIET_SPOT)
            for title, floor, measure in figures:
                pair = [(0, self.server), (1, self.floors[floor])]
                for side, device in pair[::-1] if round_number % 2 else pair:
                    results[title][side].append(measure(device))
        return results


class Bench(Pairing):
    """The server and the floors, started in one Wine session, with a crowd of windows and
    Wine's notepad open; every process is stopped by its pid when the bench closes."""

    def __init__(self, counts, stack):
        self.counts = counts
        self.session = WineSession.get()
        self.probe = Probe(self.session)
        notepad = Notepad(self.session, self.probe.exe)
        stack.callback(notepad.stop)
        crowd = subprocess.Popen(
            [self.session.wine, built_program("TavrixWindowsProbe.exe"), "crowd",
             str(counts["windows"]), str(FLOOR_LIFETIME)],
            env=self.session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        stack.callback(crowd.stdout.close)
        stack.callback(stop_process, crowd)
        if crowd.stdout.readline().strip() != b"ready":
            raise AssertionError("the crowd of windows did not open")

        port = free_port()
        server = ServerProcess(self.session, settings_text(port=port, password_enabled=0),
                               port=port)
        stack.callback(server.stop)
        self.server = connect(server)
        stack.callback(self.server.close)
        _, line = window_list(self.server)
        self.listed = len(line.split(b":")) - 2
        self.icon_owner = "notepad"
        self.icon_key = next(key for key in line.rstrip(b"\n").split(b":")[2:]
                             if text_of(key.decode()).endswith("Notepad"))
        _, header, data = icon(self.server, self.icon_key)
        self.icon_bytes = len(data)
        read_bmp(data)
        notepad_path = text_of(header.split(b":")[2].decode())

        self.floors = {}
        for figure, name, args in (("echo", "TavrixFloorEcho.exe", ()),
                                   ("list", "TavrixFloorWindowList.exe", ()),
                                   ("icon", "TavrixFloorIcon.exe", (notepad_path,))):
            floor = FloorProcess(self.session, name, *args)
            stack.callback(floor.stop)
            self.floors[figure] = connect(floor)
            stack.callback(self.floors[figure].close)
        _, line = window_list(self.floors["list"])
        self.floor_listed = len(line.split(b":")) - 2
        _, _, data = icon(self.floors["icon"], self.icon_key)
        read_bmp(data)

    def set_cursor(self, x, y):
        self.probe.set_cursor(x, y)


def native_x11_server(counts, stack):
    """The native server on an Xvfb display managed by openbox, with a crowd of windows and a
    probe window with an icon in front: (session, the server's device, its window list line,
    the icon's 439 header and BMP, the icon window)."""
    session = native_harness.X11Session()
    stack.callback(session.close)
    program = native_harness.probe_program()
    crowd = subprocess.Popen([program, "crowd", str(counts["windows"])],
                             env=session.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    stack.callback(crowd.stdout.close)
    stack.callback(stop_process, crowd)
    if ready_line(crowd, START_TIMEOUT) != b"ready":
        raise AssertionError("the crowd of windows did not open")
    window = ProbeWindow(session, NATIVE_ICON_TITLE, options=["--icon", "1"])
    stack.callback(window.stop)
    # In front, so that the server finds its icon first among the probe's windows.
    probe = X11Probe(session)
    probe.activate(window.id)
    if not native_harness.wait_until(lambda: probe.active() == window.id, 10):
        raise AssertionError("the icon window did not become active")
    port = free_port()
    server = native_harness.NativeServer(
        session, settings_text(port=port, password_enabled=0), port=port)
    stack.callback(server.stop)
    device = connect(server)
    stack.callback(device.close)
    _, line = window_list(device)
    _, header, data = icon(device, key_of(NATIVE_ICON_TITLE).encode())
    read_bmp(data)
    return session, device, line, header, data, window


class NativeBench(Pairing):
    """The native server and its floors on one Xvfb display managed by openbox, with a crowd
    of windows and a probe window with an icon in front; every process is stopped by its pid
    when the bench closes."""

    def __init__(self, counts, stack):
        self.counts = counts
        self.session, self.server, line, header, data, window = native_x11_server(counts, stack)
        self.listed = len(line.split(b":")) - 2
        self.icon_owner = "the probe's window"
        self.icon_key = key_of(NATIVE_ICON_TITLE).encode()
        self.icon_bytes = len(data)
        program_path = text_of(header.split(b":")[2].decode())

        self.floors = {}
        for figure, name, args in (("echo", "tavrix-floor-echo", ()),
                                   ("list", "tavrix-floor-list", ()),
                                   ("icon", "tavrix-floor-icon", (window.id, program_path))):
            floor = NativeFloorProcess(self.session, native_floor(name), *args)
            stack.callback(floor.stop)
            self.floors[figure] = connect(floor)
            stack.callback(self.floors[figure].close)
        _, floor_line = window_list(self.floors["list"])
        self.floor_listed = len(floor_line.split(b":")) - 2
        # The floor does the server's work only if it lists the same windows, in order.
        if floor_line != line:
            raise AssertionError(f"the list floor differs: {floor_line[:200]!r} against "
                                 f"{line[:200]!r}")
        _, _, floor_data = icon(self.floors["icon"], self.icon_key)
        if floor_data != data:
            raise AssertionError("the icon floor's BMP differs from the server's")

    def set_cursor(self, x, y):
        self.session.set_pointer(x, y)


class SwayBench(Pairing):
    """The native server on a headless sway (the wlroots route) against the same server on
    Xvfb, each with the same crowd of windows and an icon window in front: the ratio is
    sway's figure over X11's."""

    def __init__(self, counts, stack):
        self.counts = counts
        self.x11, x11_server, x11_line, _, _, _ = native_x11_server(counts, stack)
        sway = sway_harness.SwaySession()
        stack.callback(sway.close)
        crowd = sway_harness.ProbeWindow(sway, str(counts["windows"]), mode="crowd")
        stack.callback(crowd.stop)
        # The icon window's application has a desktop file with an icon of 48 pixels.
        sway.install_application("org.tavrix.Bench", 48, (200, 40, 40))
        window = sway_harness.ProbeWindow(sway, NATIVE_ICON_TITLE, "org.tavrix.Bench")
        stack.callback(window.stop)
        port = free_port()
        server = native_harness.NativeServer(
            sway, settings_text(port=port, password_enabled=0), port=port)
        stack.callback(server.stop)
        self.server = connect(server)
        stack.callback(self.server.close)
        _, line = window_list(self.server)
        self.listed = len(line.split(b":")) - 2
        self.floor_listed = len(x11_line.split(b":")) - 2
        self.icon_owner = "the icon window"
        self.icon_key = key_of(NATIVE_ICON_TITLE).encode()
        _, _, data = icon(self.server, self.icon_key)
        read_bmp(data)
        self.icon_bytes = len(data)
        self.floors = {figure: x11_server for figure in ("echo", "list", "icon")}

    def set_cursor(self, x, y):
        self.x11.set_pointer(x, y)
        self.server.send(f"7777:{x}:{y}:0\n".encode())
        self.server.expect_ack()


def cpu_text():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} cores, Linux {platform.release()}"


def version_of(command):
    try:
        out = subprocess.run(command, capture_output=True, timeout=30, check=False).stdout
    except (OSError, subprocess.TimeoutExpired):
        return "unknown"
    lines = out.decode(errors="replace").strip().splitlines()
    return lines[0] if lines else "unknown"


def machine():
    wine = os.environ.get("TAVRIX_WINE", "/usr/lib/wine/wine64")
    return f"{cpu_text()}, {version_of([wine, '--version'])}"


def native_machine():
    return f"{cpu_text()}, Xvfb with {version_of(['openbox', '--version'])}"


def sway_machine():
    return f"{native_machine()}, {version_of(['sway', '--version'])} (pixman, headless)"


def ratio(server_ms, floor_ms):
    return f"{server_ms / floor_ms:.2f}" if floor_ms > 0 else "n/a"


def table(results, rounds, machine_text):
    """Markdown: the medians, their ratio, and the lowest and highest ratio of one round's
    pair, which shows how much the machine's other work moved the figures."""
    lines = [f"| Figure (median of {rounds} rounds) | Server | Floor | Ratio | Round ratios |",
             "|---|---:|---:|---:|---:|"]
    for title, (server, floor) in results.items():
        server_ms, floor_ms = statistics.median(server), statistics.median(floor)
        pairs = sorted(s / f for s, f in zip(server, floor) if f > 0)
        spread = f"{pairs[0]:.2f} to {pairs[-1]:.2f}" if pairs else "n/a"
        lines.append(f"| {title} | {server_ms:.3f} ms | {floor_ms:.3f} ms | "
                     f"{ratio(server_ms, floor_ms)} | {spread} |")
    lines.append("")
    lines.append(f"Machine: {machine_text}")
    return "\n".join(lines)


def native_floor(name):
    """A native floor program: in TAVRIX_NATIVE_FLOORS, else beside the probe."""
    folder = os.environ.get("TAVRIX_NATIVE_FLOORS") or os.path.dirname(
        native_harness.probe_program())
    return os.path.join(folder, name)


def use_native_build(folder):
    """Points the native harness at a linux build tree unless the test script already did;
    True when the server, the probe and every floor are there."""
    folder = os.path.abspath(folder)
    os.environ.setdefault("TAVRIX_NATIVE_SERVER", os.path.join(folder, "src", "tavrix-server"))
    os.environ.setdefault("TAVRIX_X11_PROBE",
                          os.path.join(folder, "tests", "x11", "tavrix-x11-probe"))
    programs = [os.environ["TAVRIX_NATIVE_SERVER"], os.environ["TAVRIX_X11_PROBE"],
                *map(native_floor, NATIVE_FLOORS)]
    return all(os.access(path, os.X_OK) for path in programs)


def use_build(folder):
    """Points the harness at a Windows build tree unless the test script already did."""
    folder = os.path.abspath(folder)
    os.environ.setdefault("TAVRIX_SERVER_EXE", os.path.join(folder, "src", "TavrixServer.exe"))
    os.environ.setdefault("TAVRIX_PROBE_EXE",
                          os.path.join(folder, "tests", "win32", "TavrixProbe.exe"))


def measure(counts, bench_class):
    with ExitStack() as stack:
        return bench_class(counts, stack).run()


def report(heading, counts, bench_class, machine_text):
    """Measures one server against its floors and prints its table under the heading."""
    started = time.monotonic()
    load_before = os.getloadavg()[0]
    results = measure(counts, bench_class)
    # Other work on the machine shows in the figures; say how much there was.
    load = f"; load average {load_before:.1f} before, {os.getloadavg()[0]:.1f} after"
    print(heading)
    print()
    print(table(results, counts["rounds"], machine_text() + load))
    print(f"Run took {time.monotonic() - started:.0f} s.")
    print(flush=True)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "win64"),
                        help="Windows build tree (default: build/win64)")
    parser.add_argument("--native-build", default=os.path.join(ROOT, "build", "linux"),
                        help="linux build tree of the native server (default: build/linux)")
    part = parser.add_mutually_exclusive_group()
    part.add_argument("--wine", action="store_true", help="the Windows server alone")
    part.add_argument("--native", action="store_true", help="the native server alone")
    part.add_argument("--sway", action="store_true",
                      help="the native server on a headless sway against it on Xvfb, alone")
    parser.add_argument("--quick", action="store_true",
                        help="two rounds with small counts: proves every figure still runs")
    for name, value in FULL.items():
        parser.add_argument(f"--{name}", type=int, help=f"default {value}")
    args = parser.parse_args(argv)
    counts = dict(QUICK if args.quick else FULL)
    counts.update({name: getattr(args, name) for name in FULL if getattr(args, name)})
    native = use_native_build(args.native_build)
    if args.native and not native:
        parser.error("the native server, the probe or a floor program is not built")
    if args.sway:
        report("Native on sway (headless, wlroots route) against native on Xvfb", counts,
               SwayBench, sway_machine)
        return 0
    if not args.native:
        use_build(args.build)
        report("Windows (Wine)", counts, Bench, machine)
    if native and not args.wine:
        report("Native (Xvfb + openbox)", counts, NativeBench, native_machine)
    return 0


if __name__ == "__main__":
    sys.exit(main())
