import datetime
import unittest

import support  # noqa: F401 - puts the package on the path
from publisher import schedule


class DayListTest(unittest.TestCase):
    def test_days_against_the_exposure_rule(self):
        # Deck of 100, 2 new words a day: day d introduces 2d and 2d+1.
        rows = [
            (0, [0, 1]),
            (1, [2, 3, 0, 1]),
            (2, [4, 5, 2, 3]),
            (3, [6, 7, 4, 5, 0, 1]),
            (7, [14, 15, 12, 13, 8, 9, 0, 1]),
            (14, [28, 29, 26, 27, 22, 23, 14, 15, 0, 1]),
            (30, [60, 61, 58, 59, 54, 55, 46, 47, 32, 33, 0, 1]),
            (31, [62, 63, 60, 61, 56, 57, 48, 49, 34, 35, 2, 3]),
        ]
        for day, expected in rows:
            with self.subTest(day=day):
                self.assertEqual(list(schedule.day_positions(day, 2, 100)), expected)

    def test_a_finished_deck_starts_over_and_shows_each_position_once(self):
        rows = [
            # (day, per day, deck length, expected)
            (2, 2, 5, [0, 4, 2, 3]),        # day 2 wraps to 4, 0; day 1 brings 2, 3
            (3, 2, 5, [1, 2, 0, 4]),        # day 0's 0, 1 already shown by day 3
            (0, 7, 3, [0, 1, 2]),           # more a day than the deck holds
            (1, 3, 3, [0, 1, 2]),
            (45, 1, 10, [5, 4, 2, 8, 1]),   # day 15 brings 5 again: shown once
        ]
        for day, n, length, expected in rows:
            with self.subTest(day=day, n=n, length=length):
                self.assertEqual(list(schedule.day_positions(day, n, length)), expected)

    def test_no_list_before_the_start(self):
        self.assertIsNone(schedule.day_positions(-1, 5, 10))


class ZoneTest(unittest.TestCase):
    def test_the_day_begins_at_midnight_in_the_keys_zone(self):
        utc = datetime.timezone.utc
        rows = [
            ("UTC", datetime.datetime(2026, 3, 1, 23, 59, 59, tzinfo=utc), "2026-03-01"),
            ("UTC", datetime.datetime(2026, 3, 2, 0, 0, 0, tzinfo=utc), "2026-03-02"),
            # Auckland is 13 hours ahead in March: its 2 March begins at 11:00 UTC on 1 March.
            ("Pacific/Auckland", datetime.datetime(2026, 3, 1, 10, 59, 59, tzinfo=utc), "2026-03-01"),
            ("Pacific/Auckland", datetime.datetime(2026, 3, 1, 11, 0, 0, tzinfo=utc), "2026-03-02"),
            # Los Angeles, 8 hours behind: still 1 March until 08:00 UTC on 2 March.
            ("America/Los_Angeles", datetime.datetime(2026, 3, 2, 7, 59, 59, tzinfo=utc), "2026-03-01"),
            ("America/Los_Angeles", datetime.datetime(2026, 3, 2, 8, 0, 0, tzinfo=utc), "2026-03-02"),
        ]
        for zone, now, expected in rows:
            with self.subTest(zone=zone, now=now):
                self.assertEqual(schedule.local_date(zone, now).isoformat(), expected)

    def test_dates_and_zones_are_checked(self):
        for bad in ("2026-3-01", "20260301", "2026-02-30", "tomorrow"):
            with self.subTest(date=bad), self.assertRaises(schedule.PublishError):
                schedule.parse_date(bad)
        with self.assertRaises(schedule.PublishError):
            schedule.zone("Mars/Olympus")


if __name__ == "__main__":
    unittest.main()
