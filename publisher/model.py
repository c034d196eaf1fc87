"""Decks, key codes and news in the database, and the day's feed of a key. Every
change is one transaction and leaves a line in the activity log."""
import datetime
import getpass
import os
import re

from . import feed, schedule
from .errors import PublishError
from .store import snapshot, transaction
from .texts import FIELDS, NEWS_MAX, NEWS_MIN, problem, utf16_units

KEY_CODE = re.compile(r"[A-Za-z0-9][A-Za-z0-9_.-]{0,63}")
DECK_NAME_LIMIT = 127
WORD_COLUMNS = ", ".join(FIELDS)


def now_text():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S")


def command_line_actor():
    try:
        return getpass.getuser()
    except (KeyError, OSError):  # a uid without a name, in a container
        return "uid %d" % os.getuid()


def record(db, actor, what):
    """One line of the activity log, in the caller's transaction. actor: the console's
    user name, or None for the command line (then the system's user name)."""
    who, via = (actor, "console") if actor else (command_line_actor(), "command line")
    db.execute("INSERT INTO activity (at, who, via, what) VALUES (?, ?, ?, ?)", (now_text(), who, via, what))
    return who


def activity(db, limit, offset=0):
    return db.execute("SELECT at, who, via, what FROM activity ORDER BY id DESC LIMIT ? OFFSET ?",
                      (limit, offset)).fetchall()


def check_key_code(code):
    if not KEY_CODE.fullmatch(code):
        raise PublishError("key code '%s' must be 1 to 64 of A-Z a-z 0-9 _ . - starting with a letter or digit"
                           % code.encode("unicode_escape").decode("ascii"))


def check_deck_name(name):
    why = problem(name, DECK_NAME_LIMIT) if name.strip() else "a deck needs a name"
    if why is not None:
        raise PublishError("deck name: " + why)


def import_deck(db, name, rows, actor=None, skipped=0):
    check_deck_name(name)
    if not rows:
        raise PublishError("no words to import")
    with transaction(db):
        db.execute("INSERT INTO decks (name) VALUES (?) ON CONFLICT (name) DO NOTHING", (name,))
        deck_id = db.execute("SELECT id FROM decks WHERE name = ?", (name,)).fetchone()[0]
        replaced = db.execute("DELETE FROM words WHERE deck_id = ?", (deck_id,)).rowcount
        db.executemany("INSERT INTO words (deck_id, position, %s) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)" % WORD_COLUMNS,
                       ((deck_id, i) + tuple(row.fields[f] for f in FIELDS) for i, row in enumerate(rows)))
        who = record(db, actor, "deck '%s' imported: %d words%s%s" % (
            name, len(rows), ", %d row%s skipped" % (skipped, "s" * (skipped != 1)) if skipped else "",
            ", replacing %d" % replaced if replaced else ""))
        db.execute("UPDATE decks SET imported_at = ?, imported_by = ? WHERE id = ?", (now_text(), who, deck_id))


def list_decks(db):
    return db.execute("SELECT d.name, COUNT(w.position) FROM decks d LEFT JOIN words w ON w.deck_id = d.id "
                      "GROUP BY d.id ORDER BY d.name").fetchall()


def check_key_settings(start, per_day, tz):
    schedule.parse_date(start, "start")
    if not 1 <= per_day <= 100:
        raise PublishError("--per-day %d: from 1 to 100 new words a day" % per_day)
    schedule.zone(tz)


def _deck_id(db, deck):
    found = db.execute("SELECT id FROM decks WHERE name = ?", (deck,)).fetchone()
    if found is None:
        raise PublishError("no deck named '%s'; 'deck import' makes one" % deck)
    return found[0]


def _insert_key(db, code, deck, start, per_day, tz, actor):
    check_key_code(code)
    check_key_settings(start, per_day, tz)
    deck_id = _deck_id(db, deck)
    if db.execute("SELECT 1 FROM keys WHERE code = ?", (code,)).fetchone():
        raise PublishError("key code '%s' exists already; 'key remove' it first" % code)
    db.execute("INSERT INTO keys (code, deck_id, start, per_day, tz) VALUES (?, ?, ?, ?, ?)",
               (code, deck_id, start, per_day, tz))
    record(db, actor, "key '%s' added: deck '%s', start %s, %d a day, zone %s" % (code, deck, start, per_day, tz))


def add_key(db, code, deck, start, per_day, tz, actor=None):
    with transaction(db):
        _insert_key(db, code, deck, start, per_day, tz, actor)


def add_keys(db, keys, actor=None):
    """keys: (code, deck, start, per_day, tz) each; all of them or none."""
    with transaction(db):
        for key in keys:
            _insert_key(db, *key, actor)


def check_new_keys(db, keys):
    """A PublishError or None for each of keys, as add_keys would find it, codes
    repeated within keys included; nothing is written."""
    seen, found = set(), []
    for code, deck, start, per_day, tz in keys:
        try:
            check_key_code(code)
            check_key_settings(start, per_day, tz)
            _deck_id(db, deck)
            if code in seen or db.execute("SELECT 1 FROM keys WHERE code = ?", (code,)).fetchone():
                raise PublishError("key code '%s' exists already" % code)
            found.append(None)
        except PublishError as error:
            found.append(error)
        seen.add(code)
    return found


def change_key(db, code, deck, start, per_day, tz, actor=None):
    check_key_settings(start, per_day, tz)
    with transaction(db):
        before = key_info(db, code)
        if before is None:
            raise PublishError("no key code '%s'" % code)
        db.execute("UPDATE keys SET deck_id = ?, start = ?, per_day = ?, tz = ? WHERE code = ?",
                   (_deck_id(db, deck), start, per_day, tz, code))
        after = {"deck": deck, "start": start, "per_day": per_day, "tz": tz}
        changes = ["%s %s -> %s" % (name, before[name], value) for name, value in after.items()
                   if before[name] != value]
        record(db, actor, "key '%s' changed: %s" % (code, ", ".join(changes) or "nothing"))


def key_info(db, code):
    row = db.execute("SELECT k.code, d.name, k.start, k.per_day, k.tz FROM keys k JOIN decks d ON d.id = k.deck_id "
                     "WHERE k.code = ?", (code,)).fetchone()
    return None if row is None else dict(zip(("code", "deck", "start", "per_day", "tz"), row))


def list_keys(db):
    return db.execute("SELECT k.code, d.name, k.start, k.per_day, k.tz FROM keys k JOIN decks d ON d.id = k.deck_id "
                      "ORDER BY k.code").fetchall()


def remove_key(db, code, actor=None):
    with transaction(db):
        if db.execute("DELETE FROM keys WHERE code = ?", (code,)).rowcount == 0:
            raise PublishError("no key code '%s'" % code)
        db.execute("UPDATE fetch_days SET keys = keys - 1 WHERE day IN (SELECT day FROM fetches WHERE key_code = ?)",
                   (code,))
        db.execute("DELETE FROM fetches WHERE key_code = ?", (code,))
        db.execute("DELETE FROM last_fetches WHERE key_code = ?", (code,))
        record(db, actor, "key '%s' removed" % code)


def set_news(db, text, from_date, key=None, actor=None):
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
        record(db, actor, "news set from %s for %s: %s" % (from_date, "key '%s'" % key if key else "all keys", text))


def list_news(db):
    return db.execute("SELECT id, key_code, from_date, text FROM news ORDER BY from_date DESC, id DESC").fetchall()


class Key:
    def __init__(self, code, deck_id, start, per_day, tz):
        self.code, self.deck_id, self.per_day, self.tz = code, deck_id, per_day, tz
        self.start = schedule.parse_date(start)

    def __eq__(self, other):
        return isinstance(other, Key) and vars(self) == vars(other)

    __hash__ = None

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

    def same(self, other):
        """Whether other holds the same keys, words and news."""
        return other is not None and (self.keys, self.words, self.news) == (other.keys, other.words, other.news)

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


# ---- what the web console reads and changes beyond the command line

def deck_summaries(db):
    """Each deck's name, words, keys using it, last import and by whom."""
    return db.execute(
        "SELECT d.name, (SELECT COUNT(*) FROM words w WHERE w.deck_id = d.id), "
        "(SELECT COUNT(*) FROM keys k WHERE k.deck_id = d.id), d.imported_at, d.imported_by "
        "FROM decks d ORDER BY d.name").fetchall()


def deck_names(db):
    return [row[0] for row in db.execute("SELECT name FROM decks ORDER BY name")]


def _like(text):
    return "%" + text.replace("\\", "\\\\").replace("%", "\\%").replace("_", "\\_") + "%"


def deck_words(db, deck, search, offset, limit):
    """(total matching, [(position, {field: text})]) of a deck, in deck order."""
    deck_id = _deck_id(db, deck)
    with snapshot(db):
        if search:
            where = ("deck_id = ? AND (word LIKE ? ESCAPE '\\' OR translation LIKE ? ESCAPE '\\')",
                     (deck_id, _like(search), _like(search)))
            # One pass over the deck gives the page and the number of matches.
            found = db.execute("SELECT position, %s, COUNT(*) OVER () FROM words WHERE %s ORDER BY position "
                               "LIMIT ? OFFSET ?" % (WORD_COLUMNS, where[0]), where[1] + (limit, offset)).fetchall()
            total = found[0][-1] if found else db.execute("SELECT COUNT(*) FROM words WHERE " + where[0],
                                                          where[1]).fetchone()[0]
            rows = [row[:-1] for row in found]
        else:
            # Positions run from 0 without gaps, so a page is a range of the key.
            total = db.execute("SELECT COUNT(*) FROM words WHERE deck_id = ?", (deck_id,)).fetchone()[0]
            rows = db.execute("SELECT position, %s FROM words WHERE deck_id = ? AND position >= ? AND position < ? "
                              "ORDER BY position" % WORD_COLUMNS, (deck_id, offset, offset + limit)).fetchall()
    return total, [(row[0], dict(zip(FIELDS, row[1:]))) for row in rows]


def deck_word(db, deck, position):
    row = db.execute("SELECT %s FROM words WHERE deck_id = ? AND position = ?" % WORD_COLUMNS,
                     (_deck_id(db, deck), position)).fetchone()
    return None if row is None else dict(zip(FIELDS, row))


def edit_word(db, deck, position, fields, actor=None):
    """fields: already checked as an import checks a row."""
    with transaction(db):
        deck_id = _deck_id(db, deck)
        changed = db.execute("UPDATE words SET %s WHERE deck_id = ? AND position = ?"
                             % ", ".join(f + " = ?" for f in FIELDS),
                             tuple(fields[f] for f in FIELDS) + (deck_id, position)).rowcount
        if not changed:
            raise PublishError("deck '%s' has no word %d" % (deck, position + 1))
        record(db, actor, "deck '%s': word %d changed to %s:%s" % (deck, position + 1, fields["word"],
                                                                    fields["translation"]))


def delete_word(db, deck, position, actor=None):
    """The words after it move up one, as if the file had not held it."""
    with transaction(db):
        deck_id = _deck_id(db, deck)
        word = deck_word(db, deck, position)
        if word is None:
            raise PublishError("deck '%s' has no word %d" % (deck, position + 1))
        if db.execute("SELECT COUNT(*) FROM words WHERE deck_id = ?", (deck_id,)).fetchone()[0] == 1:
            raise PublishError("the last word of deck '%s' stays; import a new file instead" % deck)
        db.execute("DELETE FROM words WHERE deck_id = ? AND position = ?", (deck_id, position))
        # Through negative numbers, so that no two rows share a position on the way.
        db.execute("UPDATE words SET position = -position WHERE deck_id = ? AND position > ?", (deck_id, position))
        db.execute("UPDATE words SET position = -position - 1 WHERE deck_id = ? AND position < 0", (deck_id,))
        record(db, actor, "deck '%s': word %d deleted (%s:%s)" % (deck, position + 1, word["word"],
                                                                  word["translation"]))


def keys_page(db, deck, stale_since, offset, limit):
    """(total, rows) of keys with their last fetch day; deck filters by deck name,
    stale_since (an ISO day) keeps the keys not fetched on or after it."""
    where, args = [], []
    if deck:
        where.append("d.name = ?")
        args.append(deck)
    if stale_since:
        where.append("NOT EXISTS (SELECT 1 FROM last_fetches f WHERE f.key_code = k.code AND f.day >= ?)")
        args.append(stale_since)
    sql = " FROM keys k JOIN decks d ON d.id = k.deck_id" + (" WHERE " + " AND ".join(where) if where else "")
    with snapshot(db):
        total = db.execute("SELECT COUNT(*)" + sql, args).fetchone()[0]
        rows = db.execute("SELECT k.code, d.name, k.start, k.per_day, k.tz, "
                          "(SELECT day FROM last_fetches f WHERE f.key_code = k.code)" + sql +
                          " ORDER BY k.code LIMIT ? OFFSET ?", args + [limit, offset]).fetchall()
    return total, rows


class KeyDay:
    """One key's reading of the database, enough for any of its days."""

    def __init__(self, db, code):
        with snapshot(db):
            row = db.execute("SELECT code, deck_id, start, per_day, tz FROM keys WHERE code = ?", (code,)).fetchone()
            if row is None:
                raise PublishError("no key code '%s'" % code)
            self.key = Key(*row)
            self.deck_length = db.execute("SELECT COUNT(*) FROM words WHERE deck_id = ?",
                                          (self.key.deck_id,)).fetchone()[0]
            self.news = {}
            for owner, from_date, text in db.execute(
                    "SELECT key_code, from_date, text FROM news WHERE key_code = ? OR key_code IS NULL "
                    "ORDER BY from_date DESC, id DESC", (code,)):
                self.news.setdefault(owner, []).append((from_date, text))
        self.db = db

    def positions(self, date):
        if not self.deck_length:
            return None
        return schedule.day_positions(self.key.day(date), self.key.per_day, self.deck_length)

    def counts(self, date):
        """(new, returning) words on date, or None when the key has no feed then."""
        shown = self.positions(date)
        if shown is None:
            return None
        new = len(schedule.new_positions(self.key.day(date), self.key.per_day, self.deck_length))
        return new, len(shown) - new

    def lines(self, date, extra):
        """(news, lines) as the saver shows them on date, or None."""
        shown = self.positions(date)
        if shown is None:
            return None
        words = {}
        for start in range(0, len(shown), 500):
            part = shown[start:start + 500]
            for row in self.db.execute("SELECT position, %s FROM words WHERE deck_id = ? AND position IN (%s)"
                                       % (WORD_COLUMNS, ",".join("?" * len(part))), (self.key.deck_id,) + part):
                words[row[0]] = dict(zip(FIELDS, row[1:]))
        day = date.isoformat()
        news = next((text for owner in (self.key.code, None) for from_date, text in self.news.get(owner, ())
                     if from_date <= day), None)
        return news, [feed.line(words[p], extra) for p in shown]
