import sqlite3
import unittest

from support import Scratch
from publisher import deckfile, feed, model, store


def word(**fields):
    w = dict.fromkeys(("word", "translation", "transliteration", "type", "tense", "gender", "notes"), "")
    w.update(fields)
    return w


class DocumentTest(unittest.TestCase):
    def test_texts_are_written_the_way_the_reader_reads_them(self):
        rows = [
            ("plain", "<w>plain</w>"),
            ("a & b > c", "<w>a &amp; b &gt; c</w>"),
            ("&amp; as text", "<w>&amp;amp; as text</w>"),
            ("]]> outside", "<w>]]&gt; outside</w>"),
            ("a < b & c", "<w><![CDATA[a < b & c]]></w>"),   # CDATA opens the element
            ("  spaced  ", "<w>  spaced  </w>"),
        ]
        for text, expected in rows:
            with self.subTest(text=text):
                self.assertEqual(feed.element("w", text), expected)

    def test_extras_follow_word2_only_with_a_field_set(self):
        self.assertEqual(feed.item(word(word="a", translation="b")),
                         "<item><word1>a</word1><word2>b</word2></item>\n")
        self.assertEqual(feed.item(word(word="a", translation="b", notes="n", transliteration="t")),
                         "<item><word1>a</word1><word2>b</word2><extras><transliteration>t</transliteration>"
                         "<notes>n</notes></extras></item>\n")

    def test_lines_compose_like_the_saver(self):
        w = word(word="casa", translation="house", transliteration="ka-sa", type="noun",
                 gender="feminine", notes="plural casas", tense="past")
        self.assertEqual(feed.line(w, False), "casa:house")
        self.assertEqual(feed.line(w, True), "casa:house (ka-sa), noun, past tense, gender:feminine, [plural casas]")

    def test_news_comes_first(self):
        doc = feed.document("hello", ["<item/>\n"])
        self.assertTrue(doc.startswith('<?xml version="1.0" encoding="UTF-8"?>\n<feed>\n<news>hello</news>\n<item/>'))
        self.assertNotIn("<news>", feed.document(None, []))


class NewsTest(Scratch):
    def test_own_news_then_everyones_then_none(self):
        self.deck()
        for key in ("A", "B"):
            self.ok("key", "add", key, "--deck", "d", "--start", "2026-01-01", "--per-day", "1")
        self.ok("news", "set", "all, from the 10th", "--from", "2026-01-10")
        self.ok("news", "set", "all, from the 20th", "--from", "2026-01-20")
        self.ok("news", "set", "A's own, from the 15th", "--from", "2026-01-15", "--key", "A")
        self.ok("news", "set", "A's own again", "--from", "2026-01-15", "--key", "A")
        rows = [
            ("A", "2026-01-09", None),
            ("A", "2026-01-10", "all, from the 10th"),
            ("A", "2026-01-15", "A's own again"),        # set later on the same day wins
            ("A", "2026-01-25", "A's own again"),        # own news beats a later one for all
            ("B", "2026-01-19", "all, from the 10th"),
            ("B", "2026-01-20", "all, from the 20th"),
        ]
        for key, date, news in rows:
            with self.subTest(key=key, date=date):
                first = self.ok("show", key, "--date", date).splitlines()[0]
                if news:
                    self.assertEqual(first, "news: " + news)
                else:
                    self.assertFalse(first.startswith("news: "), first)

    def test_news_the_saver_would_not_show_is_refused(self):
        self.deck()
        for text in ("ab", "x" * 1024, "tab\there", "a < b ]] c", "News \uffff here", "\ufffe!!"):
            with self.subTest(text=text[:10]):
                self.refused("news", "set", text, "--from", "2026-01-01")
        self.refused("news", "set", "for nobody", "--from", "2026-01-01", "--key", "nobody")
        self.refused("news", "set", "bad day", "--from", "2026-13-01")
        self.ok("news", "set", "abc", "--from", "2026-01-01")
        self.ok("news", "set", "\U0001F600" * 511 + "x", "--from", "2026-01-01")  # 1,023 units


class StorageTest(Scratch):
    def test_keys_are_checked_and_a_failing_command_changes_nothing(self):
        self.deck()
        rows = [
            ("_bad", "d", "2026-01-01", "1", "UTC"),
            ("K2\n", "d", "2026-01-01", "1", "UTC"),
            ("x" * 65, "d", "2026-01-01", "1", "UTC"),
            ("K", "nodeck", "2026-01-01", "1", "UTC"),
            ("K", "d", "2026-1-1", "1", "UTC"),
            ("K", "d", "2026-01-01", "0", "UTC"),
            ("K", "d", "2026-01-01", "101", "UTC"),
            ("K", "d", "2026-01-01", "1", "Nowhere/Town"),
        ]
        for key, deck, start, n, tz in rows:
            with self.subTest(key=key, deck=deck, start=start, n=n, tz=tz):
                self.refused("key", "add", key, "--deck", deck, "--start", start, "--per-day", n, "--tz", tz)
        self.assertEqual(self.ok("key", "list"), "")
        self.ok("key", "add", "a.B_c-9", "--deck", "d", "--start", "2026-01-01", "--per-day", "100")
        self.refused("key", "add", "a.B_c-9", "--deck", "d", "--start", "2026-01-01", "--per-day", "1")
        self.refused("key", "remove", "nobody")

    def test_a_first_version_database_is_brought_up_to_date(self):
        db = sqlite3.connect(self.db)
        db.executescript(store.MIGRATIONS[0])
        db.execute("PRAGMA user_version = 1")
        db.execute("INSERT INTO decks (id, name) VALUES (1, 'd')")
        db.execute("INSERT INTO words (deck_id, position, word, translation) VALUES (1, 0, 'w', 't')")
        db.execute("INSERT INTO keys VALUES ('K', 1, '2026-01-01', 1, 'UTC')")
        db.commit()
        db.close()
        self.assertEqual(self.ok("show", "K", "--date", "2026-01-01"), "w:t\n")
        self.ok("publish", self.path("out"), "--date", "2026-01-01")
        db = sqlite3.connect(self.db)
        self.assertEqual(db.execute("PRAGMA user_version").fetchone()[0], store.VERSION)
        db.execute("PRAGMA user_version = %d" % (store.VERSION + 1))
        db.commit()
        db.close()
        self.assertIn("newer", self.refused("key", "list"))

    def test_a_full_disk_is_reported_as_such(self):
        self.deck()
        db = store.open_db(self.db)
        self.addCleanup(db.close)
        db.execute("PRAGMA max_page_count = %d" % db.execute("PRAGMA page_count").fetchone()[0])
        rows = [deckfile.Row(i, dict(word(word="w%d" % i, translation="t" * 100))) for i in range(500)]
        with self.assertRaisesRegex(sqlite3.OperationalError, "full"):
            model.import_deck(db, "big", rows)
        self.assertEqual(model.list_decks(db), [("d", 3)])

    def test_a_file_that_is_no_database_is_named(self):
        self.write("t.db", "not sqlite at all " * 100)
        self.assertIn(self.db, self.refused("key", "list"))


if __name__ == "__main__":
    unittest.main()
