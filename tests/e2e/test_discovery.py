"""Where the program finds its DNS-SD service: Apple's dnssd.dll from the system folder
only, and the system's own DNS-SD functions in dnsapi.dll when that library is missing.
The stand-in dnsapi.dll answers each request 150 ms later from a thread of its own, as the
system does, and records every call and answer."""

import socket
import time
import unittest

from harness import wait_until
from test_application import ApplicationTestCase, parse_call

BONJOUR_TITLE = "Bonjour Not Found"


def shape(line):
    """A record line without the instance numbers, which depend on the order of events."""
    call = parse_call(line)
    return {k: v for k, v in call.items() if k not in ("instance", "result")}


class SystemFolderOnly(ApplicationTestCase):
    def test_a_dnssd_dll_beside_the_program_is_never_loaded(self):
        server = self.start(planted_dnssd=True)
        device = self.connect(server.port)
        device.read_line()
        # The system folder's library serves, the registration and its withdrawal alike.
        calls = self.wait_calls(server, 2)
        self.assertEqual([call[0] for call in calls], ["Register", "Deallocate"])
        self.assertEqual(parse_call(server.dnssd_calls()[0])["name"], "Office PC")
        self.assertFalse(server.file_exists("planted_dnssd_loaded.txt"))
        self.assertFalse(server.file_exists("planted_dnssd_calls.txt"))
        self.assertEqual(self.probe.visible(BONJOUR_TITLE), "missing")


class SystemDnsSd(ApplicationTestCase):
    def wait_records(self, server, count, timeout=10):
        wait_until(lambda: len(server.dnsapi_calls()) >= count, timeout, interval=0.1)
        return server.dnsapi_calls()

    def expect_lifecycle(self, records, instance):
        """One registration from start to end: built, registered, answered, withdrawn,
        answered, and each answer's copy and finally the instance itself freed."""
        result = [parse_call(line).get("result") for line in records]
        self.assertEqual(
            [(parse_call(line)["call"], parse_call(line).get("instance")) for line in records],
            [("Construct", instance), ("Register", instance), ("Answer", instance),
             ("Free", result[2]), ("Deregister", instance), ("Answer", instance),
             ("Free", result[5]), ("Free", instance)])
        self.assertEqual(shape(records[4]), {**shape(records[1]), "call": "Deregister"})

    def test_without_bonjour_the_system_service_advertises_and_no_warning_shows(self):
        server = self.start(dnsapi=True)
        records = self.wait_records(server, 4)
        self.assertEqual(self.probe.visible(BONJOUR_TITLE), "missing")
        self.assertEqual(len(records), 4, records)
        host = socket.gethostname().split(".")[0]
        construct = parse_call(records[0])
        self.assertEqual(construct.pop("host").lower(), f"{host}.local".lower())
        self.assertEqual(construct, {
            "call": "Construct", "instance": "1",
            "name": "Office PC._tavrixremote._tcp.local", "ip4": "null", "ip6": "null",
            "port": str(server.port), "priority": "0", "weight": "0", "properties": "1",
            "keys": "PasswordEnabled", "values": "1"})
        self.assertEqual(records[1],
                         "Register instance=1 version=1 interface=0 callback=set context=set "
                         "credentials=null unicast=0 cancel=null")
        self.assertEqual(records[2], "Answer Register instance=1 status=0 result=2")
        self.assertEqual(records[3], "Free instance=2")
        self.assertEqual(server.dnssd_calls(), [])

    def test_withdrawn_on_connect_renewed_on_leave_and_withdrawn_at_exit(self):
        server = self.start(dnsapi=True, password_enabled=0, acknowledged=1)
        self.assertEqual(parse_call(self.wait_records(server, 4)[0])["values"], "0")
        device = self.connect(server.port)
        self.assertEqual(device.read_line(), b"1000:Office PC:0:1.0 PC\n")
        first = self.wait_records(server, 8)
        self.expect_lifecycle(first[:8], "1")
        device.close()
        renewed = self.wait_records(server, 12)[8:]
        self.assertEqual([shape(line) for line in renewed],
                         [shape(line) for line in first[:4]])
        instance = parse_call(renewed[0])["instance"]

        self.assertEqual(self.probe.tray_menu("e"), 2)
        self.assertEqual(self.wait_exit(server), 0)
        records = server.dnsapi_calls()
        self.expect_lifecycle(records[8:16], instance)
        # Unloaded with nothing left: every instance freed, no answer owed.
        self.assertEqual(records[16:], ["Unloaded live=none owed=0"])

    def test_quick_comings_and_goings_leave_nothing_behind(self):
        server = self.start(dnsapi=True)
        # Each device comes and goes well within the 150 ms an answer takes.
        for _ in range(5):
            device = self.connect(server.port)
            self.assertEqual(device.read_line()[:5], b"1000:")
            device.close()
            time.sleep(0.05)
        time.sleep(1.0)
        self.assertEqual(self.probe.tray_menu("e"), 2)
        self.assertEqual(self.wait_exit(server), 0)
        records = server.dnsapi_calls()
        self.assertEqual(records[-1], "Unloaded live=none owed=0")
        calls = [parse_call(line) for line in records[:-1]]
        # One request outstanding at a time, each instance through its whole life in turn.
        outstanding = None
        for call in calls:
            if call["call"] in ("Register", "Deregister"):
                self.assertIsNone(outstanding, records)
                outstanding = call["instance"]
            elif call["call"] == "Answer":
                self.assertEqual(call["instance"], outstanding, records)
                outstanding = None
        constructs = [call["instance"] for call in calls if call["call"] == "Construct"]
        self.assertGreaterEqual(len(constructs), 2)
        position = 0
        for instance in constructs:
            self.expect_lifecycle(records[position:position + 8], instance)
            position += 8
        self.assertEqual(position, len(calls))


if __name__ == "__main__":
    unittest.main()
