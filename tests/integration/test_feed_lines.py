#!/usr/bin/env python3
"""tavelin-feed-lines from outside: what it prints for feed files, and how it
refuses the ones it cannot read."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import programs  # noqa: E402
from programs import FEED_LINES, run  # noqa: E402

ITEM = "<item><word1>%s</word1><word2>%s</word2>%s</item>"
GRAMMAR = "<extras><gender>f</gender><transliteration>ka-sa</transliteration><type>noun</type></extras>"


def document(*items, news=None):
    parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<feed>']
    if news is not None:
        parts.append("<news>%s</news>" % news)
    parts.extend(item if isinstance(item, str) else ITEM % item for item in items)
    return "".join(parts + ["</feed>\n"])


class FeedLinesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        programs.require_feed_lines()

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="feed-lines-")
        self.addCleanup(self.folder.cleanup)

    def file(self, data, name="feed.xml"):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))
        return path

    def test_prints_the_news_then_the_lines_with_grammar_only_on_request(self):
        cases = [  # (document, --extra, lines)
            (document(("casa", "house", GRAMMAR), ("perro", "dog", ""), news="Good day"), False,
             ["news: Good day", "casa:house", "perro:dog"]),
            (document(("casa", "house", GRAMMAR), ("perro", "dog", ""), news="Good day"), True,
             ["news: Good day", "casa:house (ka-sa), noun, gender:f", "perro:dog"]),
            # A news text under three characters is no ticker; an item without word2 no line,
            # an empty word2 an empty translation.
            (document("<item><word1>solo</word1></item>", ("a &amp; b", "<![CDATA[<c>]]>", ""), ("e", "", ""), news="Hi"),
             False, ["a & b:<c>", "e:"]),
            (document(("x", "y", ""), news="é&#8212;😀"), False, ["news: é—😀", "x:y"]),
        ]
        for text, extra, expected in cases:
            with self.subTest(text=text, extra=extra):
                self.assertEqual(programs.feed_lines(self.file(text), extra), expected)

    def test_utf16_and_utf8_documents_read_alike(self):
        text = document(("σπίτι", "house", GRAMMAR), ("𝄞 clef", "ü", ""), news="Νέα")
        utf8 = programs.feed_lines(self.file(text, "a.xml"), True)
        utf16 = programs.feed_lines(self.file(text.encode("utf-16-le"), "b.xml"), True)
        with_bom = programs.feed_lines(self.file(("\ufeff" + text).encode("utf-16-le"), "c.xml"), True)
        self.assertEqual(utf8, ["news: Νέα", "σπίτι:house (ka-sa), noun, gender:f", "𝄞 clef:ü"])
        self.assertEqual(utf16, utf8)
        self.assertEqual(with_bom, utf8)

    def test_a_control_character_stays_on_its_line_as_a_picture(self):
        code, out, err = run([FEED_LINES, self.file(document(("a\nb", "c\td", ""), ("e", "&#xD800;", "")))])
        self.assertEqual((code, out), (0, "a\u240ab:c\u2409d\ne:\ufffd\n"))
        self.assertIn("line 1 holds a control character", err)
        self.assertIn("line 2 holds", err)

    def test_refusals(self):
        missing = os.path.join(self.folder.name, "missing.xml")
        cases = [  # (argv, exit code, words of the message)
            ([missing], 1, ["missing.xml", "No such file"]),
            ([self.folder.name], 1, ["Is a directory"]),
            ([self.file("<a>b</a>x", "nine.xml")], 1, ["nine.xml", "9 bytes", "fewer than 10"]),
            ([self.file(b"<a>" + b" " * (8 << 20), "big.xml")], 1, ["big.xml", "8388611 bytes", "8388608"]),
            ([], 2, ["Usage"]),
            (["--grammar", self.file(document(("a", "b", "")))], 2, ["Usage"]),
            ([self.file("x"), self.file("y", "other.xml")], 2, ["Usage"]),
        ]
        for argv, status, words in cases:
            with self.subTest(argv=argv):
                code, out, err = run([FEED_LINES, *argv])
                self.assertEqual((code, out), (status, ""))
                for word in words:
                    self.assertIn(word, err)

    def test_ten_bytes_without_items_is_a_feed_without_lines(self):
        code, out, err = run([FEED_LINES, self.file("<a>bc</a>x")])
        self.assertEqual((code, out), (0, ""))
        self.assertIn("gives no line", err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
