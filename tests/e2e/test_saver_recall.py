#!/usr/bin/env python3
"""Tavelin.scr /s with "Recall" on: while the day's line is in the right half of the
screen only its word shows, and from the middle on the word with its translation."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

WORD, TRANSLATION = "ab", "W" * 24  # the translation is many times the word's width
ON = "ACTIVATE Add Attempted, Number of Active Strings = 1"
REVEALED = "WM_TIMER,ID_FRAMETIMER Recall: line at x="


def lit_columns(shot):
    """The first and last column holding a bright pixel, or None on a black screen."""
    skip = 0 if shot.byte_order == 0 else 1  # the pixel's unused byte comes last or first
    lit = [i // 4 for y in shot.coloured_rows(0, shot.height, 100) for row in (shot.row(y),)
           for i in range(skip, 4 * shot.width, 4) if max(row[i:i + 3]) >= 100]
    return (min(lit), max(lit)) if lit else None


class RecallShowsTheWordFirst(unittest.TestCase):
    def test_word_alone_in_the_right_half_then_word_and_translation(self):
        feeds = tempfile.mkdtemp(prefix="tavelin-feeds-")
        h.write_feed(feeds, "recall", [(WORD, TRANSLATION)])
        server = h.FeedServer(feeds)
        self.addCleanup(server.stop)
        s = h.Session("recall")
        self.addCleanup(s.close)
        s.settings(Log=1, Recall=1, MaxShowStrings=1, KeyCode="recall", FeedHost=server.host)
        proc = s.saver("/s")
        self.addCleanup(h.end_process, proc)
        messages = lambda: s.log_messages() if s.logs() else []
        revealed = lambda: any(m.startswith(REVEALED) for m in messages())

        self.assertTrue(h.wait_for(lambda: ON in messages(), 60, 0.2),
                        "the line never came on (saver exit %s, log ends %s)" % (proc.poll(), messages()[-6:]))
        # Far enough in for the word to show whole, and (the log says, after the shot was
        # taken) not yet at the middle.
        in_far_enough = lambda shot: (lit_columns(shot) or (h.SCREEN[0],))[0] < h.SCREEN[0] - 200
        hidden = s.shot_until(lambda shot: in_far_enough(shot) and not revealed(), 60, 0.2)
        self.assertIsNotNone(hidden, "no picture of the line before the middle")
        hidden.save(h.artefact("recall-word.png"))
        first, last = lit_columns(hidden)
        self.assertGreater(first, h.SCREEN[0] // 2, "the line was in the right half")

        self.assertTrue(h.wait_for(revealed, 90, 0.2), "the translation was never shown")
        shown = s.shot_until(lambda shot: lit_columns(shot) is not None, 10, 0.2)
        self.assertIsNotNone(shown)
        shown.save(h.artefact("recall-word-and-translation.png"))
        first_shown, last_shown = lit_columns(shown)
        self.assertLessEqual(first_shown, h.SCREEN[0] // 2 + 10)  # past the middle, but for the glyph's margin
        # The word alone is a few letters wide; with its translation it is many times that.
        word_width, whole_width = last - first + 1, last_shown - first_shown + 1
        self.assertLess(word_width, 150, "more than the word was shown in the right half")
        self.assertGreater(whole_width, 4 * word_width, "the translation did not appear")

        s.xdotool("mousemove_relative", "--", "10", "0")
        self.assertEqual(proc.wait(timeout=15), 0)
        self.assertEqual(s.cached_texts(), [WORD + ":" + TRANSLATION])  # the cache holds the whole line


if __name__ == "__main__":
    unittest.main(verbosity=2)
