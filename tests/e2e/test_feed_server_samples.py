#!/usr/bin/env python3
"""The sample feeds read the way the saver's forgiving reader reads them: no construct
that its tree would nest or cut, every item yields a line, and each sample exercises
what it is there for (grammar extras, a non-Latin script, news, entities, CDATA)."""
import os
import re
import unittest
import xml.etree.ElementTree as ET

SOURCE = os.environ.get("TAVELIN_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FEEDS = os.path.join(SOURCE, "samples", "feeds")

FIELD_LIMITS = {"word1": 127, "word2": 127, "type": 127, "transliteration": 127,
                "tense": 127, "gender": 127, "notes": 1023}

# name, script of word1, extras it must use, news expected, CDATA expected
SAMPLES = [
    ("es-en-daily.xml", "Latin", {"type", "tense", "gender", "notes"}, False, False),
    ("el-en-daily.xml", "Greek", {"transliteration", "type", "tense", "gender", "notes"}, False, False),
    ("fr-en-news.xml", "Latin", {"type", "tense", "gender", "notes"}, True, True),
    ("ja-en-daily.xml", "Japanese", {"transliteration", "type", "tense", "notes"}, False, False),
    ("ar-en-daily.xml", "Arabic", {"transliteration", "type", "tense", "gender", "notes"}, True, False),
]

SCRIPT_RANGES = {
    "Greek": [("\u0370", "\u03ff"), ("\u1f00", "\u1fff")],
    "Japanese": [("\u3040", "\u30ff"), ("\u4e00", "\u9fff")],  # kana, kanji
    "Arabic": [("\u0600", "\u06ff")],
}


def script_of(text):
    """The script of a word1 by its letters: Latin when none is in the other ranges."""
    for script, ranges in SCRIPT_RANGES.items():
        if any(lo <= ch <= hi for ch in text for lo, hi in ranges):
            return script
    return "Latin"


class SampleFeedTest(unittest.TestCase):
    def read(self, name):
        with open(os.path.join(FEEDS, name), "rb") as f:
            raw = f.read()
        return raw.decode("utf-8"), ET.fromstring(raw)

    def test_every_sample_is_listed_here(self):
        on_disk = sorted(n for n in os.listdir(FEEDS) if n.endswith(".xml"))
        self.assertEqual(on_disk, sorted(s[0] for s in SAMPLES))

    def test_nothing_the_reader_would_nest_or_cut(self):
        for name, *_ in SAMPLES:
            text, _ = self.read(name)
            with self.subTest(name=name):
                # A comment or DOCTYPE opens an element nothing closes; an escaped '<'
                # ends an element's text; '<b/>' keeps the element open.
                self.assertNotIn("<!--", text)
                self.assertNotIn("<!DOCTYPE", text)
                self.assertNotIn("&lt;", re.sub(r"<!\[CDATA\[.*?\]\]>", "", text, flags=re.S))
                self.assertIsNone(re.search(r"<[A-Za-z0-9_]+/>", text))
                # CDATA counts only as the very first thing after a start tag.
                self.assertNotIn("<![CDATA[", re.sub(r"<[A-Za-z0-9_]+>(<!\[CDATA\[)", "", text))

    def test_every_item_gives_one_line(self):
        for name, script, used_extras, _, _ in SAMPLES:
            _, root = self.read(name)
            items = list(root.iter("item"))
            seen_extras = set()
            with self.subTest(name=name):
                self.assertTrue(10 <= len(items) <= 30, len(items))
                for item in items:
                    tags = [child.tag for child in item]
                    self.assertEqual(tags[:2], ["word1", "word2"], ET.tostring(item))
                    self.assertIn(tags[2:], ([], ["extras"]))
                    fields = list(item)[:2] + (list(item[2]) if len(tags) == 3 else [])
                    for field in fields:
                        self.assertIn(field.tag, FIELD_LIMITS)
                        self.assertEqual(len(field), 0, "a field with child elements loses its text")
                        value = field.text or ""
                        self.assertTrue(0 < len(value) <= FIELD_LIMITS[field.tag], (field.tag, value))
                        self.assertEqual(value, value.strip())
                        seen_extras.add(field.tag)
                    word1 = item.findtext("word1")
                    self.assertEqual(script_of(word1), script, word1)
                self.assertLessEqual(used_extras, seen_extras)
                lines = [(i.findtext("word1"), i.findtext("word2")) for i in items]
                self.assertEqual(len(lines), len(set(lines)), "a word repeats")

    def test_news_entities_and_cdata_where_promised(self):
        for name, _, _, has_news, has_cdata in SAMPLES:
            text, root = self.read(name)
            news = [e.text or "" for e in root.iter() if e.tag.lower() == "news"]
            with self.subTest(name=name):
                self.assertEqual(bool(news), has_news)
                self.assertEqual("<![CDATA[" in text, has_cdata)
                if has_news:
                    self.assertGreaterEqual(len(news[0]), 3)
                    self.assertLessEqual(len(news[0]), 1023)
                    self.assertRegex(text, r"<news>[^<]*&#x[0-9A-Fa-f]+;")
                    self.assertRegex(text, r"<news>[^<]*&#[0-9]+;")
                    self.assertRegex(text, r"<news>[^<]*&amp;")


if __name__ == "__main__":
    unittest.main(verbosity=2)
