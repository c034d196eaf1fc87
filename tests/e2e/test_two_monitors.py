#!/usr/bin/env python3
"""Tavelin.scr /s on two monitors (an Xorg dummy server with two RandR
outputs), the second right of and left of the primary: the saver's window
covers both, each monitor shows its own words and they move on both, and no
ink stands still anywhere: nothing the frames draw is left behind where no
frame clears it. The log names both monitors once and marks each one's lines."""
import os
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

WORDS = [("casa", "house"), ("perro", "dog"), ("café", "coffee"), ("árbol", "tree"), ("gato", "cat"),
         ("agua", "water"), ("día", "day"), ("mano", "hand"), ("ciudad", "city"), ("libro", "book")]
STILL_SECONDS = 6
SHOTS = 7
# Pixels that keep one colour through every shot by chance: a letter's stroke
# where another letter of the same line, moved on, has one too. Left-behind ink
# is thousands of pixels.
CHANCE_STILL = 150


def pixels(shot, columns, top=0, bottom=None):
    """The shot's pixels in those columns, row by row, as 32-bit values."""
    left, right = columns
    bottom = shot.height if bottom is None else bottom
    return [memoryview(shot.row(y)[4 * left:4 * right]).cast("I") for y in range(top, bottom)]


def lit(rows):
    return sum(1 for row in rows for p in row if p & 0xFFFFFF)


def still(shots):
    """Pixels that hold the same colour, not black, in every shot."""
    rows = [[memoryview(s.row(y)).cast("I") for y in range(s.height)] for s in shots]
    count = 0
    for y in range(shots[0].height):
        first = rows[0][y]
        if not any(p & 0xFFFFFF for p in first):
            continue
        others = [r[y] for r in rows[1:]]
        for x, p in enumerate(first):
            if p & 0xFFFFFF and all(o[x] == p for o in others):
                count += 1
    return count


class TwoMonitors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.feeds = tempfile.mkdtemp(prefix="tavelin-feeds-")
        h.write_feed(cls.feeds, "two", WORDS)
        cls.server = h.FeedServer(cls.feeds)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def run_layout(self, layout):
        with h.Session("monitors-" + layout, layout=layout) as s:
            s.settings(Log=1, MaxShowStrings=7, KeyCode="two", FeedHost=self.server.host)
            proc = s.saver("/s")
            self.addCleanup(h.end_process, proc)
            size = h.wait_for(lambda: s.window_size("Screen Saver"), 30, 0.2)
            self.assertTrue(size, "no saver window")
            self.assertEqual(size, (2 * h.MONITOR[0], h.MONITOR[1]), "Wine shows one monitor: the layout did not take")
            # Lines on screen: three turns after the first.
            self.assertTrue(s.wait_for_turn_after(3, timeout=90), "the saver took too few turns")
            shots = []
            began = time.monotonic()
            for i in range(SHOTS):  # spread over STILL_SECONDS: the span is what is measured
                h.wait_for(lambda: time.monotonic() - began >= i * STILL_SECONDS / (SHOTS - 1), STILL_SECONDS, 0.05)
                shots.append(s.shot())
            self.assertGreaterEqual(time.monotonic() - began, STILL_SECONDS)
            shots[0].save(h.artefact("two-monitors-%s-first.png" % layout))
            shots[-1].save(h.artefact("two-monitors-%s-last.png" % layout))
            self.assertEqual((shots[0].width, shots[0].height), (2 * h.MONITOR[0], h.MONITOR[1]))

            for name, columns in (("left", (0, h.MONITOR[0])), ("right", (h.MONITOR[0], 2 * h.MONITOR[0]))):
                first, last = pixels(shots[0], columns), pixels(shots[-1], columns)
                self.assertGreater(lit(last), 500, "no words on the %s monitor" % name)
                self.assertNotEqual([bytes(r) for r in first], [bytes(r) for r in last],
                                    "nothing moved on the %s monitor" % name)
            primary_x = 0 if layout == "right-of" else h.MONITOR[0]
            second_x = h.MONITOR[0] if layout == "right-of" else 0
            log = s.log_messages()
            for named in ("WM_CREATE Monitor 1 of 2 at x=%d, y=0, %d x %d, primary" % ((primary_x,) + h.MONITOR),
                          "WM_CREATE Monitor 2 of 2 at x=%d, y=0, %d x %d" % ((second_x,) + h.MONITOR)):
                self.assertEqual(log.count(named), 1, named)
            for monitor in ("Monitor 1: ", "Monitor 2: "):
                self.assertIn(monitor + "ACTIVATE Function called.", log)
            self.assertNotIn("ACTIVATE Function called.", log)
            standing = still(shots)
            print("%s: %d pixels lit, %d stood still" % (layout, lit(last), standing), flush=True)
            self.assertLess(standing, CHANCE_STILL, "%d pixels of ink stood still for %d s" % (standing, STILL_SECONDS))

            self.assertEqual(s.press_until_exit(proc, "Screen Saver", "a"), 0)
            self.assertEqual(s.log_messages()[-1], "WM_DESTROY Clean Exit")

    def test_second_monitor_right_of_the_primary(self):
        self.run_layout("right-of")

    def test_second_monitor_left_of_the_primary(self):
        self.run_layout("left-of")


if __name__ == "__main__":
    unittest.main(verbosity=2)
