"""The SQLite file: decks and their words in order, key codes, news texts, and
what publish has written where. Each schema version adds to the one before."""
import contextlib
import os
import sqlite3

from .errors import PublishError

MIGRATIONS = [
    # 1: decks, words, keys, news
    """
    CREATE TABLE decks (
        id INTEGER PRIMARY KEY,
        name TEXT NOT NULL UNIQUE
    );
    CREATE TABLE words (
        deck_id INTEGER NOT NULL REFERENCES decks(id) ON DELETE CASCADE,
        position INTEGER NOT NULL,
        word TEXT NOT NULL,
        translation TEXT NOT NULL,
        transliteration TEXT NOT NULL DEFAULT '',
        type TEXT NOT NULL DEFAULT '',
        tense TEXT NOT NULL DEFAULT '',
        gender TEXT NOT NULL DEFAULT '',
        notes TEXT NOT NULL DEFAULT '',
        PRIMARY KEY (deck_id, position)
    ) WITHOUT ROWID;
    CREATE TABLE keys (
        code TEXT PRIMARY KEY,
        deck_id INTEGER NOT NULL REFERENCES decks(id),
        start TEXT NOT NULL,
        per_day INTEGER NOT NULL CHECK (per_day BETWEEN 1 AND 100),
        tz TEXT NOT NULL
    );
    CREATE TABLE news (
        id INTEGER PRIMARY KEY,
        key_code TEXT REFERENCES keys(code) ON DELETE CASCADE,
        from_date TEXT NOT NULL,
        text TEXT NOT NULL
    );
    CREATE INDEX news_by_key ON news (key_code, from_date);
    """,
    # 2: the files publish wrote, so that it removes only its own
    """
    CREATE TABLE published (
        outdir TEXT NOT NULL,
        key_code TEXT NOT NULL,
        PRIMARY KEY (outdir, key_code)
    ) WITHOUT ROWID;
    """,
    # 3: accounts of the web console, the log of changes, and the fetches of each key's feed
    """
    ALTER TABLE decks ADD COLUMN imported_at TEXT;
    ALTER TABLE decks ADD COLUMN imported_by TEXT;
    CREATE TABLE users (
        name TEXT PRIMARY KEY,
        role TEXT NOT NULL CHECK (role IN ('admin', 'editor', 'viewer')),
        password TEXT NOT NULL,
        locked_until REAL NOT NULL DEFAULT 0
    );
    CREATE TABLE login_failures (
        name TEXT NOT NULL,
        at REAL NOT NULL
    );
    CREATE INDEX login_failures_by_name ON login_failures (name, at);
    CREATE TABLE settings (
        name TEXT PRIMARY KEY,
        value TEXT NOT NULL
    );
    CREATE TABLE activity (
        id INTEGER PRIMARY KEY,
        at TEXT NOT NULL,
        who TEXT NOT NULL,
        via TEXT NOT NULL,
        what TEXT NOT NULL
    );
    CREATE TABLE fetches (
        key_code TEXT NOT NULL,
        day TEXT NOT NULL,
        count INTEGER NOT NULL,
        first TEXT NOT NULL,
        last TEXT NOT NULL,
        PRIMARY KEY (key_code, day)
    ) WITHOUT ROWID;
    CREATE INDEX fetches_by_day ON fetches (day);
    CREATE TABLE fetch_days (
        day TEXT PRIMARY KEY,
        keys INTEGER NOT NULL
    ) WITHOUT ROWID;
    CREATE TABLE last_fetches (
        key_code TEXT PRIMARY KEY,
        day TEXT NOT NULL
    ) WITHOUT ROWID;
    CREATE TABLE counted_log_lines (
        digest BLOB PRIMARY KEY
    ) WITHOUT ROWID;
    """,
]
VERSION = len(MIGRATIONS)


def open_db(path, create=False, timeout=5.0):
    """The database at path, brought to the current version. A missing file is made
    only when create is set, so that a mistyped --db is not mistaken for an empty one.
    timeout: seconds to wait for another writer."""
    if not create and not os.path.exists(path):
        raise PublishError("no database here; 'deck import' makes one", file=path)
    if not create and os.path.getsize(path) == 0:
        # what a failed first command on a full disk could leave: not a database to fill
        raise PublishError("an empty file, not a database; remove it and 'deck import' makes one", file=path)
    db = None
    try:
        db = sqlite3.connect(path, timeout=timeout, isolation_level=None, check_same_thread=False)
        db.execute("PRAGMA foreign_keys = ON")
        migrate(db, path)
    except BaseException as error:
        if db is not None:
            db.close()
        if isinstance(error, sqlite3.OperationalError):
            raise  # locked, full, read-only: told as it is
        if isinstance(error, sqlite3.DatabaseError):
            raise PublishError("not a usable database (%s)" % error, file=path) from None
        raise
    return db


def migrate(db, path):
    version = db.execute("PRAGMA user_version").fetchone()[0]
    if version > VERSION:
        raise PublishError("made by a newer tavelin-publish (schema %d, this one knows %d)" % (version, VERSION),
                           file=path)
    if version == VERSION:
        return
    with transaction(db):
        for script in MIGRATIONS[version:]:
            for statement in script.split(";"):
                if statement.strip():
                    db.execute(statement)
        db.execute("PRAGMA user_version = %d" % VERSION)


@contextlib.contextmanager
def snapshot(db):
    """Reads that see one state of the database, without keeping writers out."""
    db.execute("BEGIN")
    try:
        yield db
    finally:
        db.execute("COMMIT")


@contextlib.contextmanager
def transaction(db):
    """All of the block's changes, or none of them."""
    db.execute("BEGIN IMMEDIATE")
    try:
        yield db
        db.execute("COMMIT")
    except BaseException:
        _roll_back(db)
        raise


def _roll_back(db):
    """A full disk or an I/O error may have rolled back already; the first error is the one to tell."""
    if db.in_transaction:
        try:
            db.execute("ROLLBACK")
        except sqlite3.Error:
            pass
