"""Decks, key codes and news in the database, and the day's feed of a key."""
import re

from . import feed, schedule
from .errors import PublishError
from .store import snapshot, transaction
from .texts import FIELDS, NEWS_MAX, NEWS_MIN, problem, utf16_units

KEY_CODE = re.compile(r"[A-Za-z0-9][A-Za-z0-9_.-]{0,63}")
DECK_NAME_LIMIT = 127
WORD_COLUMNS = ", ".join(FIELDS)


def check_key_code(code):
    if not KEY_CODE.fullmatch(code):
        raise PublishError("key code '%s' must be 1 to 64 of A-Z a-z 0-9 _ . - starting with a letter or digit"
                           % code.encode("unicode_escape").decode("ascii"))


def import_deck(db, name, rows):
    why = problem(name, DECK_NAME_LIMIT) if name.strip() else "a deck needs a name"
    if why is not None:
        raise PublishError("deck name: " + why)
    if not rows:
        raise PublishError("no words to import")
    with transaction(db):
        db.execute("INSERT INTO decks (name) VALUES (?) ON CONFLICT (name) DO NOTHING", (name,))
        deck_id = db.execute("SELECT id FROM decks WHERE name = ?", (name,)).fetchone()[0]
        db.execute("DELETE FROM words WHERE deck_id = ?", (deck_id,))
        db.executemany("INSERT INTO words (deck_id, position, %s) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)" % WORD_COLUMNS,
                       ((deck_id, i) + tuple(row.fields[f] for f in FIELDS) for i, row in enumerate(rows)))


def list_decks(db):
    return db.execute("SELECT d.name, COUNT(w.position) FROM decks d LEFT JOIN words w ON w.deck_id = d.id "
                      "GROUP BY d.id ORDER BY d.name").fetchall()


def add_key(db, code, deck, start, per_day, tz):
    check_key_code(code)
    schedule.parse_date(start, "start")
    if not 1 <= per_day <= 100:
        raise PublishError("--per-day %d: from 1 to 100 new words a day" % per_day)
    schedule.zone(tz)
    with transaction(db):
        found = db.execute("SELECT id FROM decks WHERE name = ?", (deck,)).fetchone()
        if found is None:
            raise PublishError("no deck named '%s'; 'deck import' makes one" % deck)
        if db.execute("SELECT 1 FROM keys WHERE code = ?", (code,)).fetchone():
            raise PublishError("key code '%s' exists already; 'key remove' it first" % code)
        db.execute("INSERT INTO keys (code, deck_id, start, per_day, tz) VALUES (?, ?, ?, ?, ?)",
                   (code, found[0], start, per_day, tz))


def list_keys(db):
    return db.execute("SELECT k.code, d.name, k.start, k.per_day, k.tz FROM keys k JOIN decks d ON d.id = k.deck_id "
                      "ORDER BY k.code").fetchall()


def remove_key(db, code):
    with transaction(db):
        if db.execute("DELETE FROM keys WHERE code = ?", (code,)).rowcount == 0:
            raise PublishError("no key code '%s'" % code)


def set_news(db, text, from_date, key=None):
    schedule.parse_date(from_date, "--from")
    units = utf16_units(text)
    if not NEWS_MIN <= units <= NEWS_MAX:
        raise PublishError("news of %d UTF-16 units: the saver shows %d to %d" % (units, NEWS_MIN, NEWS_MAX))
    why = problem(text, NEWS_MAX)
    if why is not None:
        raise PublishError("news: " + why)
    with transaction(db):
        if key is not None and not db.execute("SELECT 1 FROM keys WHERE code = ?", (key,)).fetchone():
            raise PublishError("no key code '%s'" % key)
        db.execute("INSERT INTO news (key_code, from_date, text) VALUES (?, ?, ?)", (key, from_date, text))


class Key:
    def __init__(self, code, deck_id, start, per_day, tz):
        self.code, self.deck_id, self.per_day, self.tz = code, deck_id, per_day, tz
        self.start = schedule.parse_date(start)

    def day(self, date):
        return (date - self.start).days


class Catalog:
    """One read of the database, for computing many keys' feeds: each deck's words
    and their <item> fragments are read and written once."""

    def __init__(self, db):
        with snapshot(db):
            self._read(db)

    def _read(self, db):
        self.keys = {row[0]: Key(*row) for row in db.execute("SELECT code, deck_id, start, per_day, tz FROM keys")}
        self.words = {}
        for row in db.execute("SELECT deck_id, %s FROM words ORDER BY deck_id, position" % WORD_COLUMNS):
            self.words.setdefault(row[0], []).append(dict(zip(FIELDS, row[1:])))
        self._items = {}
        self.news = {}  # key code or None -> [(from date, text)], latest first
        for key, from_date, text in db.execute("SELECT key_code, from_date, text FROM news "
                                               "ORDER BY from_date DESC, id DESC"):
            self.news.setdefault(key, []).append((from_date, text))

    def items(self, deck_id):
        if deck_id not in self._items:
            self._items[deck_id] = [feed.item(w) for w in self.words[deck_id]]
        return self._items[deck_id]

    def news_of(self, code, date):
        """The key's own latest news from on or before date, else the latest for all keys."""
        day = date.isoformat()
        for owner in (code, None):
            for from_date, text in self.news.get(owner, ()):
                if from_date <= day:
                    return text
        return None

    def day_of(self, code, date):
        """(news, deck positions) of the key on date, or None when it has no feed then."""
        key = self.keys.get(code)
        if key is None:
            return None
        words = self.words.get(key.deck_id)
        if not words:
            return None
        positions = schedule.day_positions(key.day(date), key.per_day, len(words))
        if positions is None:
            return None
        return self.news_of(code, date), positions

    def document(self, code, date):
        """The key's feed document on date as bytes, or None."""
        day = self.day_of(code, date)
        if day is None:
            return None
        items = self.items(self.keys[code].deck_id)
        return feed.document(day[0], [items[p] for p in day[1]]).encode("utf-8")

    def lines(self, code, date, extra):
        day = self.day_of(code, date)
        if day is None:
            return None
        words = self.words[self.keys[code].deck_id]
        return day[0], [feed.line(words[p], extra) for p in day[1]]
