"""DNS-SD of the native server with a real Avahi daemon, as avahi-browse sees it. The daemon
runs in a private network namespace (loopback only) with a system bus of its own, so the
tests need root; without it they are skipped. Only the test without a daemon runs anywhere."""

import os
import re
import shutil
import socket
import subprocess
import tempfile
import time
import unittest

from native_harness import (NativeServer, X11Session, free_port, settings_text, stop_process,
                            wait_until)

SERVICE_TYPE = "_tavrixremote._tcp"

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""

AVAHI_CONFIG = """[server]
use-ipv4=yes
use-ipv6=no
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
"""


def _unescape(label):
    """A name as avahi-browse -p prints it: \\DDD is a byte in decimal, \\x the x itself;
    the bytes are UTF-8."""
    raw = bytearray()
    for escaped, plain in re.findall(r"\\(\d{3}|.)|([^\\])", label):
        if escaped.isdigit():
            raw.append(int(escaped))
        else:
            raw += (escaped or plain).encode()
    return raw.decode("utf-8", "replace")


class AvahiNamespace:
    """A network namespace with loopback up, a system bus and avahi-daemon. Programs join it
    through nsenter; the daemon also gets a mount namespace with a /run of its own, for its
    pid file."""

    def __init__(self, root):
        self.dir = tempfile.mkdtemp(prefix="avahi-", dir=root)
        self.address = "unix:path=" + os.path.join(self.dir, "bus")
        self.holder = self.dbus = self.avahi = None
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        bus_config = os.path.join(self.dir, "bus.conf")
        with open(bus_config, "w") as f:
            f.write(BUS_CONFIG.format(socket=os.path.join(self.dir, "bus")))
        avahi_config = os.path.join(self.dir, "avahi-daemon.conf")
        with open(avahi_config, "w") as f:
            f.write(AVAHI_CONFIG)
        # The namespaces live as long as this process, which does nothing else.
        self.holder = subprocess.Popen(["unshare", "--net", "--mount", "--", "sleep", "900"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        own = os.readlink("/proc/self/ns/net")

        def entered():
            if self.holder.poll() is not None:
                raise unittest.SkipTest("no private network namespace here (unshare -n: "
                                        f"{self.holder.stderr.read().decode().strip()})")
            try:
                return os.readlink(f"/proc/{self.holder.pid}/ns/net") != own
            except OSError:
                return False
        if not wait_until(entered, 5, interval=0.02):
            raise RuntimeError("unshare did not enter its namespace")
        self.run(self.inside(["ip", "link", "set", "lo", "up"]))
        self.run(self.inside(["mount", "-t", "tmpfs", "tmpfs", "/run"], mount=True))
        self.dbus = self.start(self.inside(["dbus-daemon", "--config-file=" + bus_config,
                                            "--nofork", "--nopidfile"]), "dbus.log")
        if not wait_until(lambda: os.path.exists(os.path.join(self.dir, "bus")), 10):
            raise RuntimeError(f"the bus did not start: {self.log('dbus.log')}")
        self.avahi = self.start(self.inside(["avahi-daemon", "--no-chroot", "--no-drop-root",
                                             "-f", avahi_config], mount=True), "avahi.log")
        if not wait_until(lambda: "Server startup complete" in self.log("avahi.log"), 15):
            raise RuntimeError(f"avahi-daemon did not start: {self.log('avahi.log')}")

    def inside(self, command, mount=False):
        """The command line that runs the command in the namespace (and the daemon's mount
        namespace too), in place of nsenter."""
        entry = ["nsenter", f"--net=/proc/{self.holder.pid}/ns/net"]
        if mount:
            entry.append(f"--mount=/proc/{self.holder.pid}/ns/mnt")
        return [*entry, "--", *command]

    def env(self, base=None):
        environment = dict(base or os.environ)
        environment["DBUS_SYSTEM_BUS_ADDRESS"] = self.address
        return environment

    def run(self, command, timeout=10):
        result = subprocess.run(command, env=self.env(), capture_output=True, text=True,
                                timeout=timeout, check=False)
        if result.returncode != 0:
            raise RuntimeError(f"{command} failed: {result.stderr}")
        return result.stdout

    def start(self, command, log_name):
        with open(os.path.join(self.dir, log_name), "wb") as log:
            return subprocess.Popen(command, env=self.env(), stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=subprocess.STDOUT)

    def log(self, name):
        with open(os.path.join(self.dir, name), errors="replace") as f:
            return f.read()

    def browse(self):
        """The resolved _tavrixremote._tcp services: (name, port, TXT strings); None where
        avahi-browse did not finish. It can wait for ever when a service goes while it
        resolves it, as the servers here rename and withdraw theirs, so it is bounded and
        asked again: an answer takes about a second."""
        try:
            out = subprocess.run(self.inside(["avahi-browse", "-rpt", SERVICE_TYPE]),
                                 env=self.env(), capture_output=True, text=True, timeout=5,
                                 check=False).stdout
        except subprocess.TimeoutExpired:
            return None
        services = set()
        for line in out.splitlines():
            fields = line.split(";")
            if fields[0] == "=" and len(fields) >= 10:
                txt = tuple(re.findall(r'"([^"]*)"', ";".join(fields[9:])))
                services.add((_unescape(fields[3]), int(fields[8]), txt))
        return services

    def close(self):
        for process in (self.avahi, self.dbus, self.holder):
            if process:
                stop_process(process)
        if self.holder:
            self.holder.stderr.close()
        shutil.rmtree(self.dir, ignore_errors=True)


class Advertisement(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("the DNS-SD tests need root: avahi-daemon runs in a "
                                    "private network namespace (unshare -n) with its own "
                                    "system bus")
        cls.session = X11Session.get()
        cls.avahi = AvahiNamespace(cls.session.root)

    @classmethod
    def tearDownClass(cls):
        cls.avahi.close()

    def start_server(self, **settings):
        port = free_port()
        server = NativeServer(self.session, settings_text(port=port, **settings), port=port,
                              env={"DBUS_SYSTEM_BUS_ADDRESS": self.avahi.address},
                              wrap=self.avahi.inside)
        self.addCleanup(server.stop)
        server.wait_listening()
        return server

    def advertised(self, expected, timeout=15):
        """Waits until exactly these services are seen; what was seen last."""
        seen = set()

        def matches():
            services = self.avahi.browse()
            if services is None:
                return False
            seen.clear()
            seen.update(services)
            return seen == expected
        wait_until(matches, timeout, interval=0.3)
        return seen

    def test_the_server_is_advertised_with_its_port_and_password_flag(self):
        server = self.start_server(name="Office PC", password_enabled=1)
        expected = {("Office PC", server.port, ("PasswordEnabled=1",))}
        self.assertEqual(self.advertised(expected), expected)
        self.assertTrue(server.wait_for_line(
            lambda line: line == 'advertised as "Office PC" (DNS-SD)'))
        self.assertFalse([line for line in server.stderr_lines() if "not advertised" in line])

    def test_a_server_without_password_says_so_and_a_name_in_the_code_page_arrives_as_utf8(self):
        server = self.start_server(name="Caf\u00e9", password_enabled=0)
        expected = {("Caf\u00e9", server.port, ("PasswordEnabled=0",))}
        self.assertEqual(self.advertised(expected), expected)

    def test_a_connected_device_withdraws_it_until_it_leaves(self):
        server = self.start_server(name="Desk")
        expected = {("Desk", server.port, ("PasswordEnabled=1",))}
        self.assertEqual(self.advertised(expected), expected)
        # The device must be in the namespace too: a small client there, holding on.
        device = subprocess.Popen(
            self.avahi.inside(["python3", "-c",
                               "import socket, sys, time\n"
                               f"s = socket.create_connection(('127.0.0.1', {server.port}))\n"
                               "print(s.recv(100).decode().strip(), flush=True)\n"
                               "time.sleep(60)\n"]),
            stdout=subprocess.PIPE, text=True)
        self.addCleanup(device.stdout.close)
        self.addCleanup(stop_process, device)
        self.assertEqual(device.stdout.readline().strip(), "1000:Desk:1:1.0 PC")
        self.assertEqual(self.advertised(set()), set())
        stop_process(device)
        self.assertEqual(self.advertised(expected), expected)

    def test_a_name_in_use_gets_the_next_free_one(self):
        port = free_port()
        holder = subprocess.Popen(
            self.avahi.inside(["avahi-publish", "-s", "Den", SERVICE_TYPE, "9"]),
            env=self.avahi.env(), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.addCleanup(holder.stdout.close)
        self.addCleanup(stop_process, holder)
        self.assertIn("Established", holder.stdout.readline())
        server = NativeServer(self.session, settings_text(name="Den", port=port), port=port,
                              env={"DBUS_SYSTEM_BUS_ADDRESS": self.avahi.address},
                              wrap=self.avahi.inside)
        self.addCleanup(server.stop)
        server.wait_listening()
        expected = {("Den", 9, ()), ("Den #2", port, ("PasswordEnabled=1",))}
        self.assertEqual(self.advertised(expected), expected)
        self.assertTrue(server.wait_for_line(lambda line: line == 'advertised as "Den #2" '
                                                                 "(DNS-SD)"))

    def test_the_advertisement_goes_when_the_server_ends(self):
        server = self.start_server(name="Leaving")
        expected = {("Leaving", server.port, ("PasswordEnabled=1",))}
        self.assertEqual(self.advertised(expected), expected)
        self.assertEqual(server.stop(), 0)
        started = time.monotonic()
        self.assertEqual(self.advertised(set()), set())
        self.assertLess(time.monotonic() - started, 10)


class WithoutDaemon(unittest.TestCase):
    def test_it_serves_unadvertised_and_says_so_once(self):
        session = X11Session.get()
        missing = os.path.join(session.root, "no-bus-here")
        port = free_port()
        server = NativeServer(session, settings_text(port=port), port=port,
                              env={"DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + missing})
        self.addCleanup(server.stop)
        server.wait_listening()
        notes = [line for line in server.stderr_lines() if line.startswith("not advertised")]
        self.assertEqual(len(notes), 1, server.stderr_lines())
        # It serves all the same, and a device leaving doesn't repeat the note.
        for visit in range(1, 3):
            with socket.create_connection(("127.0.0.1", port), timeout=5) as device:
                self.assertEqual(device.recv(100)[:5], b"1000:")
            self.assertTrue(wait_until(
                lambda: server.stderr_lines().count("device left") == visit, 5))
        time.sleep(0.3)
        self.assertEqual(len([line for line in server.stderr_lines()
                              if line.startswith("not advertised")]), 1)


if __name__ == "__main__":
    unittest.main()
