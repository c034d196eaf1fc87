#!/usr/bin/env python3
"""The web console over a large database: 100,000 words, 10,000 keys, 1,000,000 fetch
rows (100 days of every key). Prints each page's server time, the median of 20
requests through the application (goal: at most 100 ms each), and a 100,000-row deck
imported through the console's two steps against 'tavelin-publish deck import' in the
same run (goal: at most twice its time).

    PYTHONPATH=. /usr/bin/python3 bench/publisher/bench_console.py [--work DIR] [--requests 20]
"""
import argparse
import datetime
import io
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from publisher import accounts, fetches, model, store
from publisher.deckfile import Row
from publisher.texts import FIELDS
from publisher.web import create_app

DECKS = {"big": 70000, "medium": 20000, "small-a": 5000, "small-b": 5000}
KEYS = 10000
DAYS = 100
PASSWORD = "bench password"


def word(i):
    return {"word": "palabra %d" % i, "translation": "word %d & <%d>" % (i, i) if i % 7 == 0 else "word %d" % i,
            "transliteration": "pa-la-bra" if i % 3 == 0 else "", "type": "noun", "tense": "",
            "gender": "feminine" if i % 2 else "masculine", "notes": "a note of moderate length, %d" % i}


def make(path):
    db = store.open_db(path, create=True)
    for name, size in DECKS.items():
        model.import_deck(db, name, [Row(i + 2, word(i)) for i in range(size)], actor="bench")
    today = datetime.datetime.now(datetime.timezone.utc).date()
    start = today - datetime.timedelta(days=DAYS + 10)
    with store.transaction(db):
        deck_ids = [r[0] for r in db.execute("SELECT id FROM decks ORDER BY id")]
        db.executemany("INSERT INTO keys (code, deck_id, start, per_day, tz) VALUES (?, ?, ?, ?, ?)",
                       (("KEY%05d" % k, deck_ids[k % len(deck_ids)], start.isoformat(), 10,
                         "UTC" if k % 2 else "Europe/Paris") for k in range(KEYS)))
        # Every key on every one of the last DAYS days, but a tenth stopped a fortnight ago
        # and a hundredth never fetched: 1,000,000 rows less those gaps, made up by older days.
        rows = 0
        for k in range(KEYS):
            code = "KEY%05d" % k
            if k % 100 == 99:
                continue
            last = today - datetime.timedelta(days=14 if k % 10 == 3 else 0)
            count = DAYS * KEYS // (KEYS - KEYS // 100) + 1
            days = [(last - datetime.timedelta(days=d)).isoformat() for d in range(count)]
            if rows + len(days) > 1000000:
                days = days[:1000000 - rows]
            rows += len(days)
            db.executemany("INSERT INTO fetches VALUES (?, ?, ?, ?, ?)",
                           ((code, day, 3, day + " 07:00:00", day + " 17:00:00") for day in days))
        db.execute("INSERT INTO news (key_code, from_date, text) VALUES (NULL, ?, 'bench news')", (start.isoformat(),))
    fetches.summarise(db)
    accounts.add_user(db, "bench", "admin", PASSWORD)
    counts = [db.execute("SELECT COUNT(*) FROM %s" % t).fetchone()[0] for t in ("words", "keys", "fetches")]
    db.close()
    return counts


def median_ms(client, path, requests):
    times = []
    for _ in range(requests):
        begun = time.perf_counter()
        response = client.get(path)
        times.append((time.perf_counter() - begun) * 1000)
        if response.status_code != 200:
            raise SystemExit("%s answered %d" % (path, response.status_code))
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", help="keep the database here (default: a temporary folder)")
    parser.add_argument("--requests", type=int, default=20)
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="tavelin-bench-console-")
    os.makedirs(work, exist_ok=True)
    path = os.path.join(work, "bench.db")
    if os.path.exists(path):
        os.unlink(path)
    begun = time.perf_counter()
    words, keys, fetch_rows = make(path)
    print("database: %d words, %d keys, %d fetch rows (made in %.1f s)"
          % (words, keys, fetch_rows, time.perf_counter() - begun))

    app = create_app(path, upload_dir=os.path.join(work, "uploads"))
    app.config["WTF_CSRF_ENABLED"] = False
    client = app.test_client()
    client.post("/login", data={"username": "bench", "password": PASSWORD})
    pages = ["/decks", "/decks/big", "/decks/big?page=650", "/decks/big?q=palabra+6999", "/decks/big/words/50000",
             "/keys", "/keys?page=90", "/keys?deck=medium", "/keys?stale=7", "/keys/KEY00042",
             "/keys/KEY00042?date=2027-01-01", "/news", "/delivery", "/activity", "/users"]
    worst = 0
    print("\n%-34s %10s" % ("page", "median ms"))
    for page in pages:
        ms = median_ms(client, page, args.requests)
        worst = max(worst, ms)
        print("%-34s %10.1f" % (page, ms))
    print("slowest page: %.1f ms (goal: 100 ms)" % worst)

    # The same file through both doors, into decks of new names.
    deck = os.path.join(work, "import.csv")
    with open(deck, "w", encoding="utf-8", newline="") as f:
        f.write(",".join(FIELDS) + "\n")
        for i in range(100000):
            w = word(i + 1000000)
            f.write(",".join('"%s"' % w[name] for name in FIELDS) + "\n")
    begun = time.perf_counter()
    done = subprocess.run(["/usr/bin/python3", "-m", "publisher", "--db", path, "deck", "import", "cli-import", deck],
                          capture_output=True, text=True, env=dict(os.environ))
    cli_s = time.perf_counter() - begun
    if done.returncode:
        raise SystemExit(done.stderr)
    with open(deck, "rb") as f:
        data = f.read()
    begun = time.perf_counter()
    preview = client.post("/decks/upload", data={"name": "web-import", "file": (io.BytesIO(data), "import.csv")},
                          content_type="multipart/form-data")
    token = re.search(rb'name="token" value="([^"]+)"', preview.data).group(1).decode()
    imported = client.post("/decks/import", data={"token": token, "action": "all"})
    web_s = time.perf_counter() - begun
    if imported.status_code != 302:
        raise SystemExit("the console's import answered %d" % imported.status_code)
    print("\n100,000-row deck import: command line %.2f s, console (upload, preview, import) %.2f s: %.2fx"
          % (cli_s, web_s, web_s / cli_s))
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if worst <= 100 and web_s <= 2 * cli_s else 1


if __name__ == "__main__":
    sys.exit(main())
