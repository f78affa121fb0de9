"""The link against a hostile network: every byte before an accepted password may come from
an attacker. One password try per connection, throttling per address, idle limits, nothing
sent before the password, a port held by another program, and a soak of many connections."""

import os
import socket
import subprocess
import time
import unittest

from harness import (ACK, Device, Probe, ServerProcess, free_port, settings_text,
                     wait_until)
from test_application import ON_OFF, STATUS, DialogProbe, summary
from test_connection import ServerTestCase


CLOSE_GRACE = 2.5


class HostileTestCase(ServerTestCase):
    def connect(self, server, timeout=5.0):
        device = Device(server.port, timeout=timeout)
        self.addCleanup(device.close)
        return device

    def logged_in(self, server, source=None, timeout=3):
        """Whether a device calling now is greeted and its right password accepted."""
        device = Device(server.port, timeout=timeout, source=source)
        try:
            if device.read_line()[:5] != b"1000:":
                return False
            device.send(b"3000:secret\n")
            return device.read_exact(9) == ACK + b"1500\n"
        except (AssertionError, EOFError, OSError):
            return False
        finally:
            device.close()

    def refused_once(self, server, line=b"3000:wrong\n"):
        device = self.connect(server)
        self.assertEqual(device.read_line()[:5], b"1000:")
        device.send(line)
        self.assertEqual(device.read_exact(9), ACK + b"2000\n")
        device.expect_closed(timeout=5)
        device.close()
        # The server frees the slot within its own 2 s, whatever the device does.
        time.sleep(CLOSE_GRACE)


class OnePasswordTry(HostileTestCase):
    def test_a_refused_device_gets_nothing_obeyed_and_is_closed_within_two_seconds(self):
        server = self.start_server(password="secret")
        probe = Probe(self.session)
        probe.set_cursor(300, 300)
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:nope\n")
        self.assertEqual(device.read_exact(9), ACK + b"2000\n")
        # It keeps its end open and keeps going: the right password, then pointer moves.
        started = time.monotonic()
        try:
            device.send(b"3000:secret\n2:40:40\n2:40:40\n")
        except OSError:
            pass
        device.expect_closed(timeout=4)
        self.assertLess(time.monotonic() - started, 3.0)
        self.assertEqual(device.buffer, b"")
        self.assertEqual(probe.cursor(), (300, 300))
        # Its end still open, the slot is free again within the server's 2 s.
        time.sleep(CLOSE_GRACE)
        self.assertEqual(self.connect(server).read_line()[:5], b"1000:")

    def test_thirty_guesses_in_one_read_get_one_verdict(self):
        server = self.start_server(password="secret")
        device = self.connect(server)
        device.read_line()
        device.send(b"".join(b"3000:guess%d\n" % i for i in range(29)) + b"3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"2000\n")
        device.expect_closed(timeout=4)
        self.assertNotIn(b"1500", device.buffer)

    def test_an_empty_password_accepts_nothing(self):
        server = self.start_server(password="")
        for line in (b"3000\n", b"3000:\n"):
            self.refused_once(server, line)


class Throttling(HostileTestCase):
    def test_five_refusals_block_the_address_for_a_while(self):
        server = self.start_server(password="secret")
        for _ in range(5):
            self.refused_once(server)
        # The sixth connection is closed before the hello.
        blocked = self.connect(server)
        blocked.expect_closed(timeout=5)
        self.assertEqual(blocked.buffer, b"")
        # After the block the address is served again, and the right password clears it.
        # (A call that left without a password would count as one more refusal.)
        self.assertTrue(wait_until(lambda: self.logged_in(server, timeout=2), 45, interval=1.0))
        for _ in range(4):
            self.refused_once(server)
        self.assertEqual(self.connect(server).read_line()[:5], b"1000:")

    def test_guesses_from_many_addresses_share_one_budget_and_the_owner_still_gets_in(self):
        server = self.start_server(password="secret")
        self.assertTrue(self.logged_in(server))
        verdicts = turned_away = 0
        for i in range(60):
            device = Device(server.port, timeout=3, source=f"127.0.{1 + i // 200}.{2 + i % 200}")
            try:
                if device.read_line()[:5] != b"1000:":
                    continue
                device.send(b"3000:guess\n")
                if device.read_exact(9) == ACK + b"2000\n":
                    verdicts += 1
            except (AssertionError, EOFError, OSError):
                turned_away += 1
            finally:
                device.close()
        self.assertLessEqual(verdicts, 10)
        self.assertGreaterEqual(verdicts, 5)
        self.assertGreaterEqual(turned_away, 50)
        # The address that last gave the password is not a stranger.
        self.assertTrue(wait_until(lambda: self.logged_in(server), 10, interval=0.5))


class TheSlot(HostileTestCase):
    def test_a_silent_stranger_cannot_keep_the_owner_out(self):
        server = self.start_server(password="secret")
        for _ in range(3):
            squatter = Device(server.port, source="127.0.0.66")
            self.addCleanup(squatter.close)
            self.assertEqual(squatter.read_line()[:5], b"1000:")
            owner = self.connect(server)
            self.assertEqual(owner.read_line()[:5], b"1000:")
            squatter.expect_closed()
            owner.send(b"55:Phone:\n3000:secret\n")
            self.assertEqual(owner.read_exact(9), ACK + b"1500\n")
            owner.close()

    def test_a_device_that_leaves_and_comes_back_at_once_is_served_every_time(self):
        server = self.start_server(password="secret")
        for i in range(20):
            device = Device(server.port)
            try:
                self.assertEqual(device.read_line()[:5], b"1000:", i)
                device.send(b"55:Phone:\n3000:secret\n")
                self.assertEqual(device.read_exact(9), ACK + b"1500\n", i)
            finally:
                device.close()


class IdleLimits(HostileTestCase):
    def test_an_idle_stranger_gets_only_the_hello_and_is_closed_after_twenty_seconds(self):
        server = self.start_server(password="secret")
        stranger = self.connect(server, timeout=30)
        self.assertEqual(stranger.read_line()[:5], b"1000:")
        started = time.monotonic()
        # Across the 15-second list poll nothing arrives, then the server hangs up.
        stranger.expect_closed(timeout=26)
        waited = time.monotonic() - started
        self.assertEqual(stranger.buffer, b"")
        self.assertGreater(waited, 17)
        device = self.connect(server)
        self.assertEqual(device.read_line()[:5], b"1000:")
        device.send(b"3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")

    def test_an_accepted_device_has_a_keep_alive_timer(self):
        server = self.start_server(password="secret")
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")
        local_port = device.sock.getsockname()[1]

        def keepalive_line():
            # Wine's sockets are the host's: the server's end shows its timer.
            out = subprocess.run(["ss", "-tno", "state", "established"], capture_output=True,
                                 text=True, timeout=10).stdout
            for line in out.splitlines():
                if f"127.0.0.1:{server.port}" in line and f":{local_port}" in line and \
                        "keepalive" in line:
                    return line
            return None
        self.assertIsNotNone(wait_until(keepalive_line, 5))


class PortInUse(HostileTestCase):
    def test_a_held_port_gives_the_port_in_use_status_and_no_advertisement(self):
        port = free_port()
        holder = socket.socket()
        self.addCleanup(holder.close)
        holder.bind(("0.0.0.0", port))
        holder.listen(1)
        server = ServerProcess(self.session, settings_text(port=port), port=port)
        self.addCleanup(server.stop)
        dialog = DialogProbe(self.session)
        self.assertEqual(dialog.wait_text(STATUS, "Port in use", timeout=30), "Port in use")
        self.assertEqual(dialog.text(ON_OFF), "Turn Server On")
        # Whatever was registered before the listen failed has been withdrawn.
        calls = summary(server.dnssd_calls())
        registered = [c for c in calls if c[0] == "Register"]
        withdrawn = [c for c in calls if c[0] == "Deallocate"]
        self.assertEqual(len(registered), len(withdrawn))
        # The stored switch stays on: the user didn't turn the server off.
        self.assertTrue(server.settings_file().endswith(b"#1#%d#0" % port))


def process_figures(pid):
    descriptors = len(os.listdir(f"/proc/{pid}/fd"))
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return descriptors, int(line.split()[1])
    return descriptors, 0


class Soak(HostileTestCase):
    def test_many_connections_leave_descriptors_and_memory_flat(self):
        # Without protection: calls that leave without a password would count as refusals.
        server = self.start_server(password="secret", password_enabled=0)
        pid = server.process.pid

        def greeted():
            # The server may not have seen the last device go yet: then it turns this one
            # away as a second device, and the soak calls again.
            for _ in range(100):
                device = Device(server.port, timeout=5)
                if device.read_line()[:5] == b"1000:":
                    return device
                device.close()
                time.sleep(0.02)
            raise AssertionError("the server kept turning the soak away")

        def cycles(count, session):
            for _ in range(count):
                device = greeted()
                try:
                    if session:
                        device.send(b"55:soak\n3000:secret\n")
                        device.read_exact(9)
                        device.send(b"2:1:1\n")
                        device.read_exact(4)
                finally:
                    device.close()

        cycles(50, False)
        time.sleep(1)
        before = process_figures(pid)
        cycles(2000, False)
        cycles(500, True)
        time.sleep(1)
        after = process_figures(pid)
        print(f"\nsoak: descriptors {before[0]} -> {after[0]}, "
              f"resident {before[1]} kB -> {after[1]} kB")
        self.assertLessEqual(after[0], before[0] + 2)
        self.assertLess(after[1], before[1] + 4096)


if __name__ == "__main__":
    unittest.main()
