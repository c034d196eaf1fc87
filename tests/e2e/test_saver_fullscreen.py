#!/usr/bin/env python3
"""Tavelin.scr /s under Wine, driven from outside: a ten-item feed from the
loopback feed server scrolls in separate lanes with the news ticker below,
the day cache holds the ten texts, a pointer move or a key press ends the run
cleanly, a second saver does not start, and without the server the cached
texts come back."""
import os
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

TEN = [("casa", "house"), ("perro", "dog"), ("café", "coffee"), ("árbol", "tree"), ("λόγος", "word"),
       ("gato", "cat"), ("agua", "water"), ("día", "day"), ("mano", "hand"), ("ciudad", "city")]
TEXTS = ["%s:%s" % pair for pair in TEN]
NEWS = "Tavelin news ticker: ten words today"
SCROLL_BOTTOM = 1040  # above the ticker's band in every font the prefix may pick


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except Exception:
        return None


class FullScreenSaver(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.feeds = tempfile.mkdtemp(prefix="tavelin-feeds-")
        h.write_feed(cls.feeds, "ten", TEN, news=NEWS)
        cls.server = h.FeedServer(cls.feeds)
        cls.s = h.Session("fullscreen")
        cls.s.settings(Log=1, MaxShowStrings=3, KeyCode="ten", FeedHost=cls.server.host, Company="Acme Ltd")

    @classmethod
    def tearDownClass(cls):
        cls.s.close()
        cls.server.stop()

    def start_and_wait_for_window(self):
        self.s.clear_logs()
        proc = self.s.saver("/s")
        self.addCleanup(h.end_process, proc)  # a failed check must not leave it running
        self.assertTrue(h.wait_for(lambda: self.s.find_window("Screen Saver"), 30, 0.2), "no saver window")
        return proc

    def close_with_key(self, proc):
        return self.s.press_until_exit(proc, "Screen Saver", "a")

    def test_1_feed_scrolls_in_lanes_and_a_pointer_move_ends_it(self):
        proc = self.start_and_wait_for_window()
        shot = self.s.shot_until(lambda sh: len(sh.bands(0, SCROLL_BOTTOM)) >= 2, 90)
        self.assertIsNotNone(shot, "two lines never scrolled in separate lanes")
        shot.save(h.artefact("fullscreen-feed.png"))
        bands = shot.bands(0, SCROLL_BOTTOM)
        self.assertGreaterEqual(len(bands), 2, bands)
        self.assertLessEqual(len(bands), 3, bands)  # MaxShowStrings 3
        # The ticker: white text in the bottom rows, where no lane reaches.
        white = shot.count(lambda p: min(p) >= 250, 1040, 1080, step=2)
        self.assertGreater(white, 20)
        self.assertIsNone(proc.poll())

        self.s.xdotool("mousemove_relative", "--", "10", "0")
        self.assertEqual(wait_exit(proc, 15), 0)
        log = self.s.log_messages()
        self.assertEqual(log[0], "CREATELOGFILE,TIMESTAMP START")
        self.assertIn("GETRSSFEED URL Resource=|/auth/ten.xml|", log)
        self.assertIn("GETRSSFEED News String=|%s|" % NEWS, log)
        self.assertIn("WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry.", log)
        self.assertIn("WM_TIMER,ID_TURNTIMER Message Received", log)
        self.assertEqual(log[-1], "WM_DESTROY Clean Exit")
        self.assertEqual(self.s.cached_texts(), TEXTS)

    def test_2_key_press_ends_it(self):
        proc = self.start_and_wait_for_window()
        self.assertTrue(self.s.wait_for_turn_after(0), "the saver never took its first turn")
        self.assertEqual(self.close_with_key(proc), 0)
        self.assertEqual(self.s.log_messages()[-1], "WM_DESTROY Clean Exit")

    def test_3_second_saver_exits_at_once_and_the_first_stays(self):
        first = self.start_and_wait_for_window()
        began = time.monotonic()
        second = self.s.saver("/s")
        self.assertEqual(wait_exit(second, 15), 0)
        self.assertLess(time.monotonic() - began, 10)
        # A turn of the first after the second has gone: whatever the second sent
        # it was handled before that turn, and did not end it.
        self.assertTrue(self.s.wait_for_turn_after(self.s.turns()), "the first saver took no further turn")
        self.assertIsNone(first.poll())
        self.assertEqual(self.close_with_key(first), 0)
        self.assertEqual(len(self.s.logs()), 1)  # the second never opened a log

    def test_4_without_the_server_the_cache_is_shown(self):
        self.server.stop()
        proc = self.start_and_wait_for_window()
        shot = self.s.shot_until(lambda sh: sh.bands(0, SCROLL_BOTTOM), 60)
        self.assertIsNotNone(shot, "no cached line scrolled")
        shot.save(h.artefact("fullscreen-cache.png"))
        self.s.xdotool("mousemove_relative", "--", "0", "10")
        self.assertEqual(wait_exit(proc, 15), 0)
        log = self.s.log_messages()
        self.assertIn("WM_CREATE Returned from GETRSSFEED, No strings were pulled, we have a problem.", log)
        self.assertIn("WM_CREATE Returned from GETSTRINGSFROMREG, with 10 strings.", log)
        self.assertEqual(self.s.cached_texts(), TEXTS)


if __name__ == "__main__":
    unittest.main(verbosity=2)
