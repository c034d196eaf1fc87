#!/usr/bin/env python3
"""A fresh machine without a connection: no feed and no cache, so the first
error text scrolls like a word and nothing is written to the cache."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402


class FirstRunOffline(unittest.TestCase):
    def test_error_text_scrolls(self):
        with h.Session("offline") as s:
            s.settings(Log=1, FeedHost="127.0.0.1:%d" % h.closed_port())
            proc = s.saver("/s")
            self.addCleanup(h.end_process, proc)
            self.assertTrue(h.wait_for(lambda: s.find_window("Screen Saver"), 30, 0.2))
            shot = s.shot_until(lambda sh: sh.bands(0, 1080), 60)
            self.assertIsNotNone(shot, "the error text never scrolled")
            shot.save(h.artefact("first-run-offline.png"))
            # The error text is far wider than the screen: a few seconds in, it
            # still reaches the right edge.
            first, last = shot.bands(0, 1080)[0]
            right_edge = [shot.pixel(x, y) for y in range(first, last + 1) for x in range(1800, 1920)]
            self.assertTrue(any(max(p) >= 100 for p in right_edge))
            s.xdotool("mousemove_relative", "--", "10", "0")
            self.assertEqual(proc.wait(timeout=15), 0)
            log = s.log_messages()
            self.assertIn("WM_CREATE Returned from GETRSSFEED, No strings were pulled, we have a problem.", log)
            # Exactly one display line, the error text, existed.
            released = [m for m in log if m.startswith("WM_DESTROY g") and "Strings(" in m]
            self.assertEqual(released, ["WM_DESTROY gActiveStrings(0), Attempting deletion..."])
            self.assertEqual(s.cached_texts(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
