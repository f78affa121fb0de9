"""The Win32 socket layer, checked by a Windows program against a loopback peer."""

import os
import unittest

from harness import WineSession, free_port


class OutgoingQueue(unittest.TestCase):
    def test_sends_the_socket_cannot_take_at_once_complete_in_order(self):
        session = WineSession.get()
        exe = os.path.join(os.path.dirname(os.environ["TAVRIX_PROBE_EXE"]),
                           "TavrixSocketQueueCheck.exe")
        code, out = session.run_windows(exe, str(free_port()), timeout=60)
        self.assertEqual(code, 0, out)
        self.assertIn("0 failed", out)


if __name__ == "__main__":
    unittest.main()
