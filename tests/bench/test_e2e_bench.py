"""The benchmark's quick run under Wine: every figure still comes, for the server and for its
floor, each from a whole and well-formed reply. No timing is judged."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e_bench  # noqa: E402


class QuickRun(unittest.TestCase):
    def test_every_figure_is_measured_for_the_server_and_its_floor(self):
        counts = dict(e2e_bench.QUICK)
        results = e2e_bench.measure(counts)
        self.assertEqual(len(results), 4)
        for title, (server, floor) in results.items():
            with self.subTest(title):
                self.assertEqual(len(server), counts["rounds"])
                self.assertEqual(len(floor), counts["rounds"])
                self.assertTrue(all(ms > 0 for ms in server + floor), (server, floor))
        rows = e2e_bench.table(results, counts["rounds"], "this machine").splitlines()
        self.assertEqual(len([row for row in rows if row.startswith("| ")]), 1 + 4)
        self.assertIn("Machine: this machine", rows)


if __name__ == "__main__":
    unittest.main()
