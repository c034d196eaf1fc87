#!/usr/bin/env python3
"""Tavelin.scr /s with day texts too long for their buffers, made of characters
outside the 16-bit range: wherever a text is cut (the feed's field, the day
cache's stored value, the log line) no half character is left, so the whole
log still converts with iconv, as the README reads it, and the cache holds
only whole characters."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

FACE = "\U0001F600"  # two UTF-16 units
NOTES = FACE * 600  # cut by the reader at 1,023 units


def item(word1):
    return ("<item><word1>%s</word1><word2>x</word2><extras><notes>%s</notes></extras></item>"
            % (word1, NOTES))


class LongTextsKeepWholeCharacters(unittest.TestCase):
    def test_cut_texts_end_on_whole_characters(self):
        feeds = tempfile.mkdtemp(prefix="tavelin-feeds-")
        # "w:x, [" puts the cache's 1,023-unit cut inside a pair; "ww:x, [" the log line's.
        with open(os.path.join(feeds, "faces.xml"), "w", encoding="utf-8") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<feed>%s%s</feed>\n' % (item("w"), item("ww")))
        server = h.FeedServer(feeds)
        self.addCleanup(server.stop)
        s = h.Session("whole-characters")
        self.addCleanup(s.close)
        s.settings(Log=1, Extra=1, KeyCode="faces", FeedHost=server.host)

        proc = s.saver("/s")
        self.addCleanup(h.end_process, proc)
        saved = "WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry."
        self.assertTrue(h.wait_for(lambda: s.logs() and saved in s.log_messages(), 30, 0.2), "the day was not saved")
        self.assertTrue(h.wait_for(lambda: s.find_window("Screen Saver"), 30, 0.2), "no saver window")
        s.xdotool("mousemove_relative", "--", "10", "0")
        self.assertEqual(proc.wait(timeout=15), 0)

        log = s.logs()[-1]
        converted = subprocess.run(["iconv", "-f", "UTF-16LE", "-t", "UTF-8", log], capture_output=True, timeout=30)
        self.assertEqual(converted.returncode, 0, converted.stderr)
        text = converted.stdout.decode("utf-8")
        self.assertIn("SAVESTRINGSINREG Saved, and counted, string 0002, |ww:x, [" + FACE * 482 + "\r\n", text)
        self.assertTrue(text.rstrip().endswith("WM_DESTROY Clean Exit"))
        # Each stored value is the composed text cut to 1,022 or 1,023 units of whole pairs.
        self.assertEqual(s.cached_texts(), ["w:x, [" + FACE * 508, "ww:x, [" + FACE * 508])


if __name__ == "__main__":
    unittest.main(verbosity=2)
