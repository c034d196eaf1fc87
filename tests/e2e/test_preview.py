#!/usr/bin/env python3
"""Tavelin.scr /p inside a host window of another process: the preview runs
(its turn ticks are in its log), sizes itself to the host's client area,
ignores pointer and keys, and ends with code 0 when its parent is destroyed,
or when the parent's process simply ends."""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

HOST = os.path.join(h.TOOLS, "preview_host.exe")


class Preview(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = h.Session("preview")
        cls.s.settings(Log=1, Company="Acme Ltd")

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def start_host(self, *options):
        stop = os.path.join(self.s.work, "stop-%d" % time.monotonic_ns())
        host = self.s.start(HOST, stop, *options, stdout=subprocess.PIPE)
        line = host.stdout.readline().strip()
        self.assertTrue(line.startswith("HWND="), line)
        return host, stop, line[5:]

    def read_until(self, host, wanted, seconds, seen=None):
        """The first line of the host's report that contains wanted; the lines
        before it go to seen."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            line = host.stdout.readline()
            if not line:
                return None
            if wanted in line:
                return line.strip()
            if seen is not None:
                seen.append(line.strip())
        return None

    def test_preview_runs_ignores_input_and_ends_with_its_parent(self):
        self.s.clear_logs()
        host, stop, hwnd = self.start_host("--size", "320x240")
        saver = self.s.saver("/p", hwnd)
        self.addCleanup(h.end_process, saver)
        child = self.read_until(host, "visible=1", 30)
        self.assertIsNotNone(child, "no visible preview window inside the host")
        self.assertIn("class=WindowsScreenSaverClass title=Preview size=320x240", child)
        self.assertTrue(self.s.wait_for_turn_after(0), "the preview never took a turn")

        window = self.s.find_window("Preview Host")
        self.s.xdotool("mousemove", "--window", window, "100", "100")
        self.s.xdotool("mousemove_relative", "--", "50", "50")
        self.s.xdotool("windowfocus", "--sync", window)
        turns = self.s.turns()
        self.s.xdotool("key", "a", "space", "Escape")
        self.assertTrue(self.s.wait_for_turn_after(turns), "the preview took no turn after the input")
        self.assertIsNone(saver.poll(), "the preview closed on input")

        open(stop, "w").close()
        # Had the preview closed at any moment before the stop, the host would
        # have reported its child gone before destroying its window.
        seen = []
        report = self.read_until(host, "DESTROYING", 30, seen)
        self.assertIsNotNone(report, "the host never destroyed its window")
        self.assertNotIn("NOCHILD", seen)
        self.assertEqual(saver.wait(timeout=15), 0)
        self.assertEqual(host.wait(timeout=15), 0)
        self.assertEqual(self.s.log_messages()[-1], "WM_DESTROY Clean Exit")

    def test_preview_does_not_outlive_the_parent_process(self):
        self.s.clear_logs()
        host, stop, hwnd = self.start_host("--no-destroy")
        saver = self.s.saver("/p", hwnd)
        self.addCleanup(h.end_process, saver)
        self.assertIsNotNone(self.read_until(host, "class=WindowsScreenSaverClass", 30))
        open(stop, "w").close()
        self.assertEqual(host.wait(timeout=15), 0)
        self.assertEqual(saver.wait(timeout=20), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
