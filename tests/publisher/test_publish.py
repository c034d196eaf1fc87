import os
import threading
import unittest
from unittest import mock

from support import Scratch
from publisher import publish as publishing


class PublishTest(Scratch):
    def setUp(self):
        super().setUp()
        self.deck(csv="word,translation\n" + "".join("w%d,t%d\n" % (i, i) for i in range(40)))
        self.ok("key", "add", "A", "--deck", "d", "--start", "2026-01-01", "--per-day", "3")
        self.ok("key", "add", "B", "--deck", "d", "--start", "2026-01-05", "--per-day", "1", "--tz", "Asia/Tokyo")
        self.out = self.path("out")
        self.feed = lambda key: self.path("out", "auth", key + ".xml")

    def read(self, key):
        with open(self.feed(key), "rb") as f:
            return f.read()

    def test_only_keys_whose_day_has_begun_and_removed_keys_go(self):
        self.assertEqual(self.ok("publish", self.out, "--date", "2026-01-04"), "1 feeds written, 0 unchanged, 0 removed\n")
        self.assertTrue(os.path.exists(self.feed("A")))
        self.assertFalse(os.path.exists(self.feed("B")))
        self.assertIn("starts on 2026-01-05", self.refused("show", "B", "--date", "2026-01-04"))
        self.write("out/auth/handmade.xml", "<feed/>")  # not ours: stays
        self.ok("publish", self.out, "--date", "2026-01-05")
        self.ok("key", "remove", "A")
        self.assertEqual(self.ok("publish", self.out, "--date", "2026-01-05"), "0 feeds written, 1 unchanged, 1 removed\n")
        self.assertEqual(sorted(os.listdir(self.path("out", "auth"))), ["B.xml", "handmade.xml"])

    def test_feeds_written_before_a_failure_are_removed_with_their_keys(self):
        os.makedirs(self.feed("B"))  # B's file cannot be written: the run fails after A's
        self.assertIn("B.xml", self.refused("publish", self.out, "--date", "2026-01-06"))
        self.assertTrue(os.path.exists(self.feed("A")))
        self.ok("key", "remove", "A")
        os.rmdir(self.feed("B"))
        self.assertEqual(self.ok("publish", self.out, "--date", "2026-01-06"), "1 feeds written, 0 unchanged, 1 removed\n")
        self.assertEqual(os.listdir(self.path("out", "auth")), ["B.xml"])

    def test_an_unchanged_feed_is_not_rewritten(self):
        self.ok("publish", self.out, "--date", "2026-01-06")
        os.utime(self.feed("A"), (1, 1))
        self.assertEqual(self.ok("publish", self.out, "--date", "2026-01-06"), "0 feeds written, 2 unchanged, 0 removed\n")
        self.assertEqual(os.stat(self.feed("A")).st_mtime, 1)
        self.ok("publish", self.out, "--date", "2026-01-07")
        self.assertNotEqual(os.stat(self.feed("A")).st_mtime, 1)

    def test_a_failed_write_leaves_the_old_feed_and_no_temporary_file(self):
        self.ok("publish", self.out, "--date", "2026-01-06")
        before = self.read("A")
        with mock.patch.object(publishing.os, "replace", side_effect=OSError(28, "No space left on device")):
            message = self.refused("publish", self.out, "--date", "2026-01-07")
        self.assertIn("A.xml", message)
        self.assertIn("No space left", message)
        self.assertEqual(self.read("A"), before)
        self.assertEqual(sorted(os.listdir(self.path("out", "auth"))), ["A.xml", "B.xml"])

    def test_a_temporary_file_left_by_a_killed_run_is_cleared(self):
        self.ok("publish", self.out, "--date", "2026-01-06")
        dead = self.write("out/auth/.tavelin-A.xml.999999999", "half")
        self.ok("publish", self.out, "--date", "2026-01-06")
        self.assertFalse(os.path.exists(dead))

    def test_a_reader_never_sees_part_of_a_feed(self):
        days = ["2026-01-%02d" % d for d in range(6, 12)]
        complete = set()
        for day in days:
            self.ok("publish", self.out, "--date", day)
            complete.add(self.read("A"))
        seen, done = [], threading.Event()

        def reader():
            while not done.is_set():
                seen.append(self.read("A"))

        thread = threading.Thread(target=reader)
        thread.start()
        try:
            for _ in range(5):
                for day in days:
                    self.ok("publish", self.out, "--date", day)
        finally:
            done.set()
            thread.join()
        self.assertGreater(len(seen), 0)
        self.assertEqual([s for s in seen if s not in complete], [])


if __name__ == "__main__":
    unittest.main()
