#!/usr/bin/env python3
"""Published documents read back through the saver's own reader: for the sample
decks and for decks of awkward texts, tavelin-feed-lines on the document that
tavelin-publish publish writes gives exactly tavelin-publish show's lines, with and
without grammar notes, and those are the texts the deck holds."""
import csv
import datetime
import os
import sys
import tempfile
import unicodedata
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import programs  # noqa: E402
from programs import feed_lines, publish  # noqa: E402

START = datetime.date(2026, 3, 2)
FIELDS = ["word", "translation", "transliteration", "type", "tense", "gender", "notes"]
LIMITS = [127] * 6 + [1023]  # UTF-16 units the saver keeps of each field
DECKS = os.path.join(programs.SOURCE, "samples", "decks")
FEEDS = os.path.join(programs.SOURCE, "samples", "feeds")
SAMPLES = [  # deck, the feed with the same words, whether the deck format carries grammar
    ("es-en.csv", "es-en-daily.xml", True),
    ("el-en.tsv", "el-en-daily.xml", True),
    ("fr-en-anki.txt", "fr-en-news.xml", False),
    ("ja-en.tsv", "ja-en-daily.xml", True),
    ("ar-en.csv", "ar-en-daily.xml", True),
]


def units(text):
    return len(text.encode("utf-16-le")) // 2


def compose(row, extra):
    """A line as the saver composes it from a deck row."""
    line = row["word"] + ":" + row["translation"]
    if extra:
        pieces = [(" (%s)", "transliteration"), (", %s", "type"), (", %s tense", "tense"),
                  (", gender:%s", "gender"), (", [%s]", "notes")]
        line += "".join(form % row[name] for form, name in pieces if row[name])
    return line


def carried(row):
    """Whether the saver's reader can carry every field: a text holding '<' needs a
    CDATA section, which ends at the first ']]', the one closing it included."""
    return not any("<" in t and ("]]" in t or t.endswith("]")) for t in row.values())


def awkward_rows():
    """Markup characters and references as text, white space at the edges, texts at
    the limits, and texts no document can carry."""
    rows = [
        ["<", ">", "&", "]]", "]]>", "&amp;", "&lt;"],
        ["a < b", "x > y", "&amp;amp;", "]", "&#65;", "&bogus;", "]]> and ]] but no less-than"],
        ["<!-- not a comment -->", "<?pi?>", "</item>", "<word2>", "<br>", "&nbsp;", "<![CDATA[ alone"],
        ["  padded  ", " leading", "trailing ", " ", "\u00a0nbsp\u00a0", "\u3000ideographic\u3000", "  "],
        ["W" * 127, "😀" * 63 + "x", "<" + "t" * 126, "&" * 127, "é" * 127, "]" * 127, "<" + "ň" * 1022],
        ["𝄞" * 63 + "<", "&amp;" * 25 + "&a", "x" * 127, "y" * 127, "z" * 127, "&" * 127, "&" * 1023],
        ["solo", "alone", "", "", "", "", ""],
        ["!", "?", "", "", "", "", "]"],
        # No document carries these: refused at import, or the round trip fails.
        ["a<b]", "ends in a bracket", "", "", "", "", ""],
        ["x", "y", "", "", "", "", "<![CDATA[x]]>"],
        ["after", "the refused", "", "", "", "", ""],
    ]
    return [dict(zip(FIELDS, r)) for r in rows]


def script_rows():
    """Every assigned character outside ASCII, controls, line and paragraph separators
    (a line break inside a line) and private use, packed into fields filled up to their
    limits: every script, astral planes included."""
    refused = ("Cc", "Cs", "Cn", "Co", "Zl", "Zp")
    chars = (chr(c) for c in range(0xA0, 0x110000) if unicodedata.category(chr(c)) not in refused)
    rows, row, field, used = [], [], "", 0
    for c in chars:
        if used + units(c) > LIMITS[len(row)]:
            row.append(field)
            field, used = "", 0
            if len(row) == len(FIELDS):
                rows.append(row)
                row = []
        field += c
        used += units(c)
    rows.append((row + [field] + [""] * len(FIELDS))[:len(FIELDS)])
    return [dict(zip(FIELDS, r)) for r in rows]


def write_csv(path, rows):
    with open(path, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(FIELDS)
        writer.writerows([r[name] for name in FIELDS] for r in rows)


class PublishRoundTrip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        programs.require_feed_lines()
        if not os.path.isfile(programs.PUBLISH):
            raise AssertionError("no %s" % programs.PUBLISH)

    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="publish-roundtrip-")
        self.addCleanup(folder.cleanup)
        self.folder = folder.name
        self.db = os.path.join(self.folder, "tavelin.db")
        self.out = os.path.join(self.folder, "site")

    def add_key(self, key, deck, per_day):
        publish(self.db, "key", "add", key, "--deck", deck, "--start", START.isoformat(), "--per-day", str(per_day))

    def round_trip(self, key, day):
        """show's lines (with grammar) for the key's day, after checking that the
        published document reads back as exactly show's lines, with and without."""
        date = (START + datetime.timedelta(days=day)).isoformat()
        publish(self.db, "publish", self.out, "--date", date)
        document = os.path.join(self.out, "auth", key + ".xml")
        shown = {}
        for extra in (False, True):
            shown[extra] = publish(self.db, "show", key, "--date", date, *(["--extra"] if extra else []))[1]
            with self.subTest(key=key, day=day, extra=extra):
                self.assertEqual(feed_lines(document, extra), shown[extra])
        return shown[True]

    def test_sample_decks(self):
        for deck, feed, grammar in SAMPLES:
            with self.subTest(deck=deck):
                publish(self.db, "deck", "import", deck, os.path.join(DECKS, deck))
                # Three words a day: the reviews of days 1 to 30 and the deck's end.
                self.add_key(deck + "-3", deck, 3)
                for day in (0, 1, 3, 7, 14, 30, 31):
                    self.assertTrue(self.round_trip(deck + "-3", day))
                # The whole deck on the first day: the sample feed's own lines.
                self.add_key(deck + "-all", deck, 100)
                lines = self.round_trip(deck + "-all", 0)
                expected = [line for line in feed_lines(os.path.join(FEEDS, feed), grammar)
                            if not line.startswith("news: ")]
                self.assertEqual(lines, expected)

    def test_awkward_texts_read_back_exactly(self):
        rows = awkward_rows()
        path = os.path.join(self.folder, "awkward.csv")
        write_csv(path, rows)
        publish(self.db, "deck", "import", "awkward", path, "--skip-bad")
        self.add_key("awkward", "awkward", 100)
        news = "  <hot> news & &amp; 😀 \u3000"
        publish(self.db, "news", "set", news, "--from", START.isoformat(), "--key", "awkward")
        lines = self.round_trip("awkward", 0)
        self.assertEqual(lines, ["news: " + news] + [compose(r, True) for r in rows if carried(r)])

    def test_every_script_reads_back_exactly(self):
        rows = script_rows()
        self.assertTrue(all(units(r[f]) <= limit for r in rows for f, limit in zip(FIELDS, LIMITS)))
        path = os.path.join(self.folder, "scripts.csv")
        write_csv(path, rows)
        publish(self.db, "deck", "import", "scripts", path)
        self.add_key("scripts", "scripts", 100)
        self.round_trip("scripts", 0)
        # Day 1 repeats day 0's words after its own new ones: the whole deck.
        lines = self.round_trip("scripts", 1)
        self.assertEqual(sorted(lines), sorted(compose(r, True) for r in rows))

    def test_the_longest_news_the_publisher_takes_reads_back(self):
        write_csv(os.path.join(self.folder, "one.csv"), [dict(zip(FIELDS, ["a", "b", "", "", "", "", ""]))])
        publish(self.db, "deck", "import", "one", os.path.join(self.folder, "one.csv"))
        self.add_key("k", "one", 1)
        # The saver keeps 1,023 units of any element's text; a longer news can only be
        # refused, or it would not read back.
        for length in (4095, 1024, 1023):
            news = "ñ" * (length - 1) + "<"
            code, _, _ = publish(self.db, "news", "set", news, "--from", START.isoformat(), check=False)
            if code == 0:
                break
        lines = self.round_trip("k", 0)
        self.assertEqual(lines[0], "news: " + news)


if __name__ == "__main__":
    unittest.main(verbosity=2)
