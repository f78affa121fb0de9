"""Where the program finds its DNS-SD library: Apple's dnssd.dll from the system folder
only, and the system's own DNS-SD functions in dnsapi.dll when that is missing."""

import unittest

from test_application import ApplicationTestCase, parse_call


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
        self.assertEqual(self.probe.visible("Bonjour Not Found"), "missing")


if __name__ == "__main__":
    unittest.main()
