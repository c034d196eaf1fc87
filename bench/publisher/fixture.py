"""A database of many key codes for the publisher's benchmarks, made through the
publisher's own model (the import path is measured by the unit tests, not here)."""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, ROOT)

from publisher import model, store  # noqa: E402
from publisher.deckfile import Row  # noqa: E402

DECKS = 20
DECK_WORDS = 500
PER_DAY = 10
START = "2026-01-01"
DATE = "2026-01-15"  # day 14: new words of days 14, 13, 11, 7 and 0, 10 each, so 50 lines


def make(path, keys):
    if os.path.exists(path):
        os.unlink(path)
    db = store.open_db(path, create=True)
    for d in range(DECKS):
        rows = [Row(i + 2, {
            "word": "palabra %d-%d ñ" % (d, i),
            "translation": "word %d & %d <%d>" % (d, i, i) if i % 7 == 0 else "word %d-%d" % (d, i),
            "transliteration": "pa-la-bra" if i % 3 == 0 else "",
            "type": "noun",
            "tense": "",
            "gender": "feminine" if i % 2 else "masculine",
            "notes": "plural palabras; a note of moderate length for realism, %d" % i,
        }) for i in range(DECK_WORDS)]
        model.import_deck(db, "deck%d" % d, rows)
    with store.transaction(db):
        deck_ids = [r[0] for r in db.execute("SELECT id FROM decks ORDER BY id")]
        db.executemany("INSERT INTO keys (code, deck_id, start, per_day, tz) VALUES (?, ?, ?, ?, ?)",
                       (("KEY%05d" % k, deck_ids[k % DECKS], START, PER_DAY,
                         "UTC" if k % 2 else "Europe/Paris") for k in range(keys)))
    db.close()
