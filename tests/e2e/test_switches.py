#!/usr/bin/env python3
"""Bad command lines end at once with exit code -1 (255 to the shell) and show
nothing; "/c:" with a number that names no window still opens the dialog."""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402


class Switches(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = h.Session("switches")
        cls.s.settings(Log=1)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def test_bad_switches_exit_with_minus_one_and_show_nothing(self):
        for switches in (["/x"], ["/p"], ["/p:1234"], ["/p", "4711"], ["/l", "99999999999"], ["/a"], ["/\x01s"],
                         ["?"]):
            with self.subTest(switches=switches):
                began = time.monotonic()
                code, _ = self.s.run(h.SCR, *switches, timeout=30)
                self.assertEqual(code, 255)
                self.assertLess(time.monotonic() - began, 10)
        self.assertIsNone(self.s.find_window("Screen Saver"))
        self.assertIsNone(self.s.find_window("Preview"))
        self.assertEqual(self.s.logs(), [])  # no saver window was ever created
        self.assertEqual(self.s.shot().lit_rows(), 0)

    def test_configuration_switch_opens_the_dialog_and_escape_cancels_it(self):
        proc = self.s.saver("/c:12345")  # names no window: owned by the foreground window
        window = h.wait_for(lambda: self.s.find_window("Tavelin ScreenSaver Setup"), 30, 0.3)
        self.assertTrue(window, "no configuration dialog")
        self.assertIsNone(self.s.find_window("Screen Saver"))
        self.assertEqual(self.s.press_until_exit(proc, "Tavelin ScreenSaver Setup", "Escape"), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
