"""Whether the words arrive: each key's feed fetches counted per day of the key's
zone (count, first and last time), from the feed server or from a web server's
access logs. Nothing about who fetched is kept."""
import datetime
import gzip
import hashlib
import re
import sqlite3
import threading
import time
import urllib.parse

from . import schedule
from .errors import PublishError
from .model import record
from .store import snapshot, transaction

FEED_PATH = re.compile(r"^/auth/([A-Za-z0-9][A-Za-z0-9_.-]{0,63})\.xml$")
UPSERT = ("INSERT INTO fetches (key_code, day, count, first, last) VALUES (?, ?, ?, ?, ?) "
          "ON CONFLICT (key_code, day) DO UPDATE SET count = count + excluded.count, "
          "first = min(first, excluded.first), last = max(last, excluded.last)")
# nginx's default and 'combined' formats, and Apache's common ones:
# 203.0.113.9 - - [07/Dec/2026:10:00:01 +0100] "GET /auth/K.xml HTTP/1.1" 200 612 "-" "Tavelin/1.0"
LOG_LINE = re.compile(rb'^\S+ \S+ .*?\[(\d{2})/(\w{3})/(\d{4}):(\d{2}):(\d{2}):(\d{2}) ([+-])(\d{2})(\d{2})\] '
                      rb'"(\S+) (\S+)[^"]*" (\d{3}) ')
MONTHS = {m.encode(): i + 1 for i, m in enumerate(
    ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"))}


def time_text(moment):
    return moment.astimezone(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S")


def _add(counts, code, day, moment):
    """counts: (key, day) -> [count, first, last], merged before writing."""
    seen = counts.get((code, day))
    if seen is None:
        counts[(code, day)] = [1, moment, moment]
    else:
        seen[0] += 1
        seen[1] = min(seen[1], moment)
        seen[2] = max(seen[2], moment)


LAST = ("INSERT INTO last_fetches (key_code, day) VALUES (?, ?) "
        "ON CONFLICT (key_code) DO UPDATE SET day = max(day, excluded.day)")


DAYS = "INSERT INTO fetch_days (day, keys) VALUES (?, ?) ON CONFLICT (day) DO UPDATE SET keys = keys + excluded.keys"


def _write(db, counts):
    """Adds counts to the fetches and to the two summaries the pages read: keys per
    day, and each key's last day."""
    first_of_day = {}
    for code, day in counts:
        if not db.execute("SELECT 1 FROM fetches WHERE key_code = ? AND day = ?", (code, day)).fetchone():
            first_of_day[day] = first_of_day.get(day, 0) + 1
    db.executemany(UPSERT, ((code, day, n, first, last) for (code, day), (n, first, last) in counts.items()))
    db.executemany(DAYS, first_of_day.items())
    latest = {}
    for code, day in counts:
        latest[code] = max(day, latest.get(code, day))
    db.executemany(LAST, latest.items())


def summarise(db):
    """Each key's last fetch day again from all its fetches, for rows written by other means."""
    with transaction(db):
        db.execute("DELETE FROM last_fetches")
        db.execute("INSERT INTO last_fetches SELECT key_code, MAX(day) FROM fetches GROUP BY key_code")
        db.execute("DELETE FROM fetch_days")
        db.execute("INSERT INTO fetch_days SELECT day, COUNT(*) FROM fetches GROUP BY day")


class Recorder:
    """Counts the feed server's answers in memory and adds them to the database
    every few seconds from a thread of its own, so that a request never waits for
    the database. It opens the file read-write but never creates it or its tables:
    a database without the table counts nothing."""

    def __init__(self, path, interval=2.0, log=print):
        self.path, self.interval, self.log = path, interval, log
        self.lock = threading.Lock()
        self.counts = {}
        self.stopping = threading.Event()
        self.warned = False
        self.last_error = None
        self.clock = (None, None)  # (POSIX second, its text)
        self.thread = threading.Thread(target=self._run, name="fetch-recorder", daemon=True)
        self.thread.start()

    def fetched(self, code, day, moment=None):
        """One answered request for code's feed of day (a date in the key's zone)."""
        if moment is None:
            now = int(time.time())
            second, text = self.clock
            if second != now:  # a thousand requests a second share one text
                text = time_text(datetime.datetime.fromtimestamp(now, datetime.timezone.utc))
                self.clock = now, text
        else:
            text = time_text(moment)
        with self.lock:
            _add(self.counts, code, day.isoformat(), text)

    def _run(self):
        while not self.stopping.wait(self.interval):
            self.flush()

    def close(self):
        self.stopping.set()
        self.thread.join()
        self.flush(timeout=10)

    def flush(self, timeout=5.0):
        with self.lock:
            counts, self.counts = self.counts, {}
        if not counts:
            return
        try:
            db = sqlite3.connect("file:%s?mode=rw" % urllib.parse.quote(self.path), uri=True, timeout=timeout,
                                 isolation_level=None)
            try:
                if not db.execute("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'fetches'").fetchone():
                    if not self.warned:
                        self.warned = True
                        self.log("fetches not recorded: the database is older than this tavelin-publish "
                                 "(any command but serve brings it up to date)")
                    return
                with transaction(db):
                    _write(db, counts)
                self.last_error = None
            finally:
                db.close()
        except sqlite3.Error as error:
            # Kept for the next try: a long write elsewhere holds the lock, or the file is
            # being replaced. Said once, not every few seconds.
            if str(error) != self.last_error:
                self.last_error = str(error)
                self.log("fetches not recorded yet: %s" % error)
            with self.lock:
                for (code, day), (n, first, last) in counts.items():
                    seen = self.counts.setdefault((code, day), [0, first, last])
                    seen[0] += n
                    seen[1], seen[2] = min(seen[1], first), max(seen[2], last)


def _read_log(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
        return gzip.decompress(data) if data[:2] == b"\x1f\x8b" else data
    except (OSError, EOFError) as error:
        raise PublishError("cannot read (%s)" % (getattr(error, "strerror", None) or error), file=path) from None


def import_logs(db, paths, actor=None):
    """Adds the successful feed requests (GET, 200 or 304) of access logs. Each line
    is remembered by a digest, so a file read twice, or its lines again in a rotated
    copy, count once. Returns (counted, already counted, other lines) over all files."""
    zones = {code: tz for code, tz in db.execute("SELECT code, tz FROM keys")}
    counted = repeated = other = 0
    for path in paths:
        data = _read_log(path)
        counts, digests, occurrences = {}, [], {}
        for line in data.splitlines():
            match = LOG_LINE.match(line)
            if not match or match.group(10) != b"GET" or match.group(12) not in (b"200", b"304"):
                other += 1
                continue
            target = urllib.parse.unquote(match.group(11).decode("latin-1").split("?", 1)[0])
            feed = FEED_PATH.match(target)
            if not feed or feed.group(1) not in zones:
                other += 1
                continue
            day, mon, year, hour, minute, second, sign, off_h, off_m = match.groups()[:9]
            offset = datetime.timedelta(hours=int(off_h), minutes=int(off_m)) * (-1 if sign == b"-" else 1)
            try:
                moment = datetime.datetime(int(year), MONTHS[mon], int(day), int(hour), int(minute), int(second),
                                           tzinfo=datetime.timezone(offset))
            except (KeyError, ValueError):
                other += 1
                continue
            # Identical lines (one machine, twice in a second) stay apart by their number.
            n = occurrences[line] = occurrences.get(line, 0) + 1
            digests.append((hashlib.blake2b(line + b"\n%d" % n, digest_size=16).digest(), feed.group(1), moment))
        with transaction(db):
            for digest, code, moment in digests:
                if db.execute("INSERT OR IGNORE INTO counted_log_lines (digest) VALUES (?)", (digest,)).rowcount:
                    local = moment.astimezone(schedule.zone(zones[code])).date().isoformat()
                    _add(counts, code, local, time_text(moment))
                else:
                    repeated += 1
            _write(db, counts)
            added = sum(n for n, _, _ in counts.values())
            counted += added
            record(db, actor, "fetches imported from %s: %d new, %d counted before" % (
                path, added, len(digests) - added))
    return counted, repeated, other


# ---- what the console shows

def fetches_by_day(db, first, last):
    """{day: keys that fetched on it} from first to last (ISO days)."""
    return dict(db.execute("SELECT day, keys FROM fetch_days WHERE day BETWEEN ? AND ?", (first, last)).fetchall())


def key_starts(db):
    """[(start day, keys)] of the keys whose deck has words, by day: a key has a feed
    from its start on."""
    return db.execute("SELECT start, COUNT(*) FROM keys WHERE deck_id IN "
                      "(SELECT id FROM decks d WHERE EXISTS (SELECT 1 FROM words w WHERE w.deck_id = d.id)) "
                      "GROUP BY start ORDER BY start").fetchall()


def never_fetched(db, limit):
    with snapshot(db):
        where = " FROM keys k WHERE NOT EXISTS (SELECT 1 FROM last_fetches f WHERE f.key_code = k.code)"
        total = db.execute("SELECT COUNT(*)" + where).fetchone()[0]
        return total, [r[0] for r in db.execute("SELECT k.code" + where + " ORDER BY k.code LIMIT ?", (limit,))]


def stale(db, since, limit):
    """(total, [(key, last day)]) of keys fetched before since but not on or after it."""
    with snapshot(db):
        sql = " FROM keys k JOIN last_fetches f ON f.key_code = k.code WHERE f.day < ?"
        total = db.execute("SELECT COUNT(*)" + sql, (since,)).fetchone()[0]
        return total, db.execute("SELECT k.code, f.day" + sql + " ORDER BY f.day, k.code LIMIT ?",
                                 (since, limit)).fetchall()


def of_key(db, code, first):
    """[(day, count, first time, last time)] of a key from day first on, oldest first."""
    return db.execute("SELECT day, count, first, last FROM fetches WHERE key_code = ? AND day >= ? ORDER BY day",
                      (code, first)).fetchall()
