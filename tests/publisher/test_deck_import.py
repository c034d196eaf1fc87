import codecs
import os
import sqlite3
import unittest
from unittest import mock

from support import Scratch
from publisher import store

GOOD = "word,translation\nok,fine\n"


class ImportTest(Scratch):
    def lines(self, key="K", date="2026-01-01", *more):
        out = self.ok("show", key, "--date", date, *more)
        return out.splitlines()

    def key(self, deck="d", per_day="100"):
        self.ok("key", "add", "K", "--deck", deck, "--start", "2026-01-01", "--per-day", per_day)

    def test_csv_tsv_and_notes_export_give_the_same_words(self):
        full = "casa:house, gender:feminine, [plural casas, la casa]"
        unicode_text = "word\ttranslation\tgender\r\ncasa\thouse\tfeminine\r\n"
        rows = [
            ("a.csv", "\ufeffWord,translation,gender,notes\r\ncasa,house,feminine,\"plural casas, la casa\"\r\n\r\n",
             full),
            ("b.tsv", "translation\tword\tgender\tnotes\nhouse\tcasa\tfeminine\tplural casas, la casa\n", full),
            ("c.txt", "#separator:tab\n#html:true\n#notetype column:1\nBasic\t<b>casa</b>\thouse\n", "casa:house"),
            # as spreadsheet programs write them
            ("d.txt", codecs.BOM_UTF16_LE + unicode_text.encode("utf-16-le"), "casa:house, gender:feminine"),
            ("e.txt", codecs.BOM_UTF16_BE + unicode_text.encode("utf-16-be"), "casa:house, gender:feminine"),
            ("f.csv", "sep=;\r\nword;translation;notes\r\ncasa;house;\"plural casas, la casa\"\r\n",
             "casa:house, [plural casas, la casa]"),
            ("g.csv", "word,translation\n  \n,\n , ,\ncasa,house\n,,,\n", "casa:house"),
        ]
        for name, content, expected in rows:
            with self.subTest(file=name):
                self.ok("deck", "import", name, self.write(name, content))
                self.ok("key", "add", "K" + name[0], "--deck", name, "--start", "2026-01-01", "--per-day", "5")
                self.assertEqual(self.lines("K" + name[0], "2026-01-01", "--extra"), [expected])

    def test_a_repeated_row_is_kept_once_and_its_lines_are_named(self):
        path = self.write("r.csv", "word,translation\ncasa,house\ncasa,house\ncasa,home\nperro,dog\ncasa,house\n")
        code, out, err = self.cli("deck", "import", "d", path)
        self.assertEqual(code, 0, err)
        self.assertIn("3 words imported", out)
        self.assertEqual(err, "%s: 2 repeated rows left out, lines 3, 6\n" % path)
        self.key()
        self.assertEqual(self.lines(), ["casa:house", "casa:home", "perro:dog"])

    def test_html_of_a_notes_export_becomes_plain_text(self):
        content = ("#separator:tab\n#html:true\n"
                   "l&#8217;&oelig;uf<br>the egg\t<div>to&nbsp;buy</div><div>acheter</div>\n"
                   "\"a\tb\"\t&lt;tag&gt; &amp; more\n")
        self.ok("deck", "import", "d", self.write("n.txt", content))
        self.key()
        self.assertEqual(self.lines(), ["l\u2019\u0153uf the egg:to\u00a0buy acheter", "a b:<tag> & more"])

    def test_importing_a_deck_again_replaces_its_words(self):
        self.deck(csv="word,translation\nold,1\nolder,2\n")
        self.key()
        self.deck(csv="word,translation\nnew,3\n")
        self.assertEqual(self.lines(), ["new:3"])

    def test_each_refusal_names_file_line_and_field_and_imports_nothing(self):
        long_word = "\U0001F600" * 64                  # 128 UTF-16 units
        rows = [
            ("word,translation\nx,\n", "line 2", "field 'translation'", "empty"),
            ("word,translation\n  ,y\n", "line 2", "field 'word'", "empty"),
            ("word,translation\nx," + long_word + "\n", "line 2", "field 'translation'", "128 UTF-16 units"),
            ("word,translation,notes\nx,y," + "n" * 1024 + "\n", "line 2", "field 'notes'", "1024"),
            ("word,translation,type\nx,y,\x07\n", "line 2", "field 'type'", "U+0007"),
            ("word,translation\n\"x\ny\",z\n", "line 2", "field 'word'", "U+000A"),
            ("word,translation,notes\nx,y,a < b ]] c\n", "line 2", "field 'notes'", "cannot carry"),
            ("word,translation\nx,[a<b]\n", "line 2", "field 'translation'", "cannot carry"),
            (b"word,translation\nok,fine\ncaf\xe9,coffee\n", "line 3", "field 'word'", "not UTF-8 (0xE9)"),
            ("word,translation\nx,y,z\n", "line 2", "", "3 fields"),
            ("word,translation,colour\nx,y,z\n", "line 1", "", "unknown column 'colour'"),
            ("word,notes\nx,y\n", "line 1", "", "no column 'translation'"),
            ("#separator:tab\n#html:false\nonly a word\n", "line 3", "field 'translation'", "empty"),
            ("word,translation\nx,a\uffffb\n", "line 2", "field 'translation'", "U+FFFF"),
            ("word,translation,notes\nx,y,\ufffe\n", "line 2", "field 'notes'", "U+FFFE"),
        ]
        for content, line, field, why in rows:
            with self.subTest(content=content[:40]):
                self.deck(csv=GOOD)
                path = self.write("bad.csv", content)
                message = self.refused("deck", "import", "d", path)
                self.assertIn("%s:%s: %s" % (path, line.split()[1], field + ": " if field else ""), message)
                self.assertIn(why, message)
                self.key()
                self.assertEqual(self.lines(), ["ok:fine"])
                self.ok("key", "remove", "K")

    def test_limits_are_counted_in_utf16_units(self):
        word = "\U0001F600" * 63 + "x"                # 127 units
        notes = "\u00e9" * 1023
        self.deck(csv="word,translation,notes\n%s,y,%s\n" % (word, notes))
        self.key()
        self.assertEqual(self.lines("K", "2026-01-01", "--extra"), ["%s:y, [%s]" % (word, notes)])

    def test_skip_bad_imports_the_good_rows_and_lists_the_others(self):
        path = self.write("s.csv", b"word,translation\na,1\n,2\nc,3\n\xff,4\n")
        code, out, err = self.cli("deck", "import", "d", path, "--skip-bad")
        self.assertEqual(code, 0, err)
        self.assertEqual([l.split(": ", 1)[0] for l in err.splitlines()],
                         ["skipped %s:3" % path, "skipped %s:5" % path])
        self.key()
        self.assertEqual(self.lines(), ["a:1", "c:3"])

    def test_a_file_without_words_is_refused(self):
        for content in ("", "word,translation\n", b"\xef\xbb\xbf"):
            with self.subTest(content=content):
                self.refused("deck", "import", "d", self.write("e.csv", content))
        self.assertIn("cannot read", self.refused("deck", "import", "d", self.path("missing.csv")))
        self.assertFalse(os.path.exists(self.db))  # a failed first import leaves no database

    def test_a_first_import_that_fails_to_write_leaves_no_database(self):
        full = sqlite3.OperationalError("database or disk is full")
        with mock.patch.object(store, "migrate", side_effect=full):
            self.assertIn("disk is full", self.refused("deck", "import", "d", self.write("g.csv", GOOD)))
        self.assertFalse(os.path.exists(self.db))
        self.write("t.db", b"")  # as such a failure used to leave it
        self.assertIn("empty", self.refused("key", "list"))
        self.ok("deck", "import", "d", self.path("g.csv"))


if __name__ == "__main__":
    unittest.main()
