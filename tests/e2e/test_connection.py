"""The device link of the real program: greeting, read acknowledgement, password, the
password gate, one device at a time, payload framing and the settings file."""

import os
import time
import unittest

from harness import ACK, Device, Probe, ServerProcess, WineSession, settings_text, free_port


class ServerTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = WineSession.get()

    def start_server(self, **settings):
        port = free_port()
        server = ServerProcess(self.session, settings_text(port=port, **settings), port=port)
        self.addCleanup(server.stop)
        server.wait_listening()
        return server

    def connect(self, server):
        device = Device(server.port)
        self.addCleanup(device.close)
        return device


class GreetingAndPassword(ServerTestCase):
    def test_hello_carries_name_and_password_flag_from_the_settings_file(self):
        server = self.start_server(name="Office PC", password_enabled=1)
        self.assertEqual(self.connect(server).read_line(), b"1000:Office PC:1:1.0 PC\n")

    def test_hello_without_password_protection(self):
        server = self.start_server(name="Den", password_enabled=0)
        device = self.connect(server)
        self.assertEqual(device.read_line(), b"1000:Den:0:1.0 PC\n")
        device.send(b"3000:anything\n")
        self.assertEqual(device.read_exact(4), ACK)
        self.assertEqual(device.read_line(), b"1500\n")

    def test_right_password_is_acknowledged_then_accepted(self):
        server = self.start_server(password="secret")
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:secret\n")
        # The acknowledgement of the read comes before the verdict.
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")
        device.expect_silence(0.3)

    def test_wrong_password_is_refused_and_the_connection_dropped(self):
        server = self.start_server(password="secret")
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:Secret\n")
        self.assertEqual(device.read_exact(9), ACK + b"2000\n")
        device.expect_closed()

    def test_every_read_is_acknowledged(self):
        server = self.start_server()
        device = self.connect(server)
        device.read_line()
        for line in (b"55:Phone\n", b"656\n", b"12:1\n", b"nonsense\n"):
            device.send(line)
            self.assertEqual(device.read_exact(4), ACK)
        device.expect_silence(0.3)


class PasswordGate(ServerTestCase):
    def test_pointer_commands_wait_for_the_password(self):
        server = self.start_server(password="pw")
        probe = Probe(self.session)
        probe.set_cursor(200, 200)
        device = self.connect(server)
        device.read_line()
        device.send(b"2:40:30\n")
        device.expect_ack()
        device.send(b"3000:wrong-length\n")
        device.expect_ack()
        self.assertEqual(device.read_line(), b"2000\n")
        self.assertEqual(probe.cursor(), (200, 200))

    def test_after_the_password_the_same_command_moves_the_pointer(self):
        server = self.start_server(password="pw")
        probe = Probe(self.session)
        probe.set_cursor(200, 200)
        device = self.connect(server)
        device.read_line()
        # Before and after the password within one read: only the second move counts.
        device.send(b"2:40:30\n3000:pw\n2:-15.9:7.9\n")
        device.expect_ack()
        self.assertEqual(device.read_line(), b"1500\n")
        self.assertEqual(probe.cursor(), (185, 207))


class OneDeviceAtATime(ServerTestCase):
    def test_second_device_is_turned_away_and_logged(self):
        server = self.start_server(password="pw")
        first = self.connect(server)
        first.read_line()
        first.send(b"3000:pw\n")
        self.assertEqual(first.read_exact(9), ACK + b"1500\n")
        second = self.connect(server)
        self.assertEqual(second.read_line(), b"2000\n")
        second.expect_closed()
        self.assertEqual(server.log_text(), b"Closed!! \n")
        # The first device goes on working.
        first.send(b"2:1:1\n")
        first.expect_ack()

    def test_a_device_without_the_password_yields_its_place_to_a_newcomer(self):
        server = self.start_server(password="pw")
        squatter = self.connect(server)
        squatter.read_line()
        owner = self.connect(server)
        self.assertEqual(owner.read_line()[:5], b"1000:")
        squatter.expect_closed()
        owner.send(b"3000:pw\n")
        self.assertEqual(owner.read_exact(9), ACK + b"1500\n")

    def test_after_the_first_device_leaves_a_new_one_is_accepted(self):
        server = self.start_server(name="Desk", password_enabled=0)
        first = self.connect(server)
        first.read_line()
        first.close()
        time.sleep(0.5)
        again = self.connect(server)
        self.assertEqual(again.read_line(), b"1000:Desk:0:1.0 PC\n")
        # Authentication ended with the first device's connection.
        again.send(b"3000:x\n")
        self.assertEqual(again.read_exact(9), ACK + b"1500\n")


class PayloadFraming(ServerTestCase):
    def test_lines_after_a_payload_are_read_as_lines(self):
        server = self.start_server(password="pw")
        device = self.connect(server)
        device.read_line()
        device.send(b"3000:pw\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")
        device.send(b"700:5\n")
        device.expect_ack()
        # Payload bytes are not acknowledged. Taken as text they would turn the next line
        # into a wrong password.
        device.send(b"3000:")
        device.expect_silence(0.3)
        device.send(b"3000:pw\n")
        self.assertEqual(device.read_exact(9), ACK + b"1500\n")

    def test_oversized_announcement_does_not_break_the_link(self):
        server = self.start_server(password="pw")
        device = self.connect(server)
        device.read_line()
        device.send(b"700:2147483647\n")
        device.expect_ack()
        device.send(b"x" * 100000)
        device.expect_silence(0.5)
        self.assertIsNone(server.process.poll(), "server died")

    def test_long_unterminated_line_is_dropped(self):
        server = self.start_server(password="pw")
        device = self.connect(server)
        device.read_line()
        device.send(b"9" * 5000)
        time.sleep(0.5)
        device.send(b"\n3000:pw\n")
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and b"1500\n" not in device.buffer:
            device._fill(deadline)
        self.assertTrue(device.buffer.endswith(b"1500\n"), device.buffer)
        self.assertEqual(set(device.buffer[:-5].split(ACK)), {b""})


if __name__ == "__main__":
    unittest.main()
