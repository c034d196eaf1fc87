#!/usr/bin/env python3
"""With "Logo" on and a company text, the queue ends with the company line and
the logo, which scrolls as our own bitmap 103 stretched to a square."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

TILE = (24, 44, 92)  # the logo's background, drawn by resources/generate_art.py


class LogoAndCompany(unittest.TestCase):
    def test_company_and_logo_follow_the_days_texts(self):
        feeds = tempfile.mkdtemp(prefix="tavelin-feeds-")
        h.write_feed(feeds, "one", [("uno", "one")])
        server = h.FeedServer(feeds)
        try:
            with h.Session("logo") as s:
                s.settings(Log=1, Logo=1, MaxShowStrings=7, KeyCode="one", FeedHost=server.host,
                           Company="Acme Ltd")
                proc = s.saver("/s")
                self.addCleanup(h.end_process, proc)
                shot = s.shot_until(lambda sh: sh.count(lambda p: p == TILE, 0, 1080, 4) > 50, 90, 1.0)
                self.assertIsNotNone(shot, "the logo never scrolled")
                shot.save(h.artefact("logo-and-company.png"))
                self.assertEqual(len(shot.bands(0, 1080)), 3)  # word, company, logo in three lanes
                s.xdotool("mousemove_relative", "--", "10", "0")
                self.assertEqual(proc.wait(timeout=15), 0)
                log = s.log_messages()
                self.assertIn("WM_DESTROY gActiveStrings(2), Attempting deletion...", log)
                self.assertEqual(s.cached_texts(), ["uno:one"])  # neither company nor logo is cached
        finally:
            server.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
