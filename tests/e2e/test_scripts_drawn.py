#!/usr/bin/env python3
"""Tavelin.scr /s under Wine with the default line font, which has no letters of
these scripts: a line of each is drawn with real glyphs from an installed font.
Each line is "A:B" with two different letters of the script; a missing glyph's
box would look the same for both, real glyphs do not. The Arabic line's word
is joined: one stroke, narrower than its letters written apart."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

SCRIPTS = [
    ("chinese", "猫", "电"),
    ("japanese-kana", "ね", "こ"),
    ("korean", "사", "랑"),
    ("hebrew", "ש", "ל"),
    ("thai", "ส", "ว"),
    ("devanagari", "न", "म"),
]
ARABIC = ("arabic", "بيت", "ب ي ت")  # the word, and its letters apart
LIT = 60  # a channel at least this bright is ink (line colours are 100 to 255)
ROOM = 80  # the line is whole on screen once this many columns at the right edge are dark


def ink_groups(shot, top, bottom):
    """The line's runs of lit columns, left to right, each as (left, right, mask rows)."""
    lit = [[max(shot.pixel(x, y)) >= LIT for x in range(shot.width)] for y in range(top, bottom + 1)]
    columns = [any(row[x] for row in lit) for x in range(shot.width)]
    groups, x = [], 0
    while x < shot.width:
        if not columns[x]:
            x += 1
            continue
        left = x
        while x < shot.width and columns[x]:
            x += 1
        rows = [tuple(row[left:x]) for row in lit]
        while rows and not any(rows[0]):
            rows.pop(0)
        while rows and not any(rows[-1]):
            rows.pop()
        groups.append((left, x - 1, rows))
    return groups


def differing_share(a, b):
    """How much of two ink masks differs: 1.0 when their sizes differ."""
    if len(a) != len(b) or len(a[0]) != len(b[0]):
        return 1.0
    total = sum(sum(row) for row in a) or 1
    return sum(p != q for ra, rb in zip(a, b) for p, q in zip(ra, rb)) / total


class ScriptsAreDrawn(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.feeds = tempfile.mkdtemp(prefix="tavelin-feeds-")
        for name, a, b in SCRIPTS + [ARABIC]:
            h.write_feed(cls.feeds, name, [(a, b)])
        cls.server = h.FeedServer(cls.feeds)
        cls.s = h.Session("scripts")

    @classmethod
    def tearDownClass(cls):
        cls.s.close()
        cls.server.stop()

    def line_on_screen(self, name):
        """The one line of that feed's run, once it is wholly on screen: its groups of ink."""
        self.s.settings(MaxShowStrings=1, KeyCode=name, FeedHost=self.server.host)
        proc = self.s.saver("/s")
        self.addCleanup(h.end_process, proc)
        self.assertTrue(h.wait_for(lambda: self.s.find_window("Screen Saver"), 30, 0.2), "no saver window")

        def whole(shot):
            bands = shot.bands(0, shot.height, LIT)
            if len(bands) != 1:
                return False
            top, bottom = bands[0]
            right = max(x for x in range(shot.width) if any(max(shot.pixel(x, y)) >= LIT for y in range(top, bottom + 1, 2)))
            return right < shot.width - ROOM

        shot = self.s.shot_until(whole, 60)
        self.assertIsNotNone(shot, "the %s line never came wholly on screen" % name)
        shot.save(h.artefact("script-%s.png" % name))
        self.s.xdotool("mousemove_relative", "--", "10", "0")
        self.assertEqual(proc.wait(timeout=15), 0)
        top, bottom = shot.bands(0, shot.height, LIT)[0]
        return ink_groups(shot, top, bottom)

    def test_two_letters_of_each_script_give_different_ink(self):
        for name, _, _ in SCRIPTS:
            with self.subTest(script=name):
                groups = self.line_on_screen(name)
                # "A", the colon, "B" (a letter may be more than one run of ink).
                self.assertGreaterEqual(len(groups), 3, [(g[0], g[1]) for g in groups])
                self.assertGreater(differing_share(groups[0][2], groups[-1][2]), 0.1)

    def test_arabic_letters_are_joined(self):
        groups = self.line_on_screen(ARABIC[0])
        # The word, the colon, then the letters apart, right to left.
        self.assertEqual(len(groups), 5, [(g[0], g[1]) for g in groups])
        word = groups[0][1] - groups[0][0] + 1
        apart = [right - left + 1 for left, right, _ in groups[2:]]
        self.assertGreater(word, max(apart))
        self.assertLess(word, 0.9 * sum(apart))
        self.assertGreater(differing_share(groups[2][2], groups[3][2]), 0.1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
