"""The feed application (WSGI): GET or HEAD /auth/<KEY>.xml answers the key's feed of the
day. It only reads the database, and keeps what it computed, so that a writer holding the
database stalls only the feeds that must be computed anew."""
import datetime
import email.utils
import hashlib
import html
import os
import re
import sqlite3
import threading
import urllib.parse

from . import schedule
from .model import KEY_CODE, Catalog

FEED_PATH = re.compile(r"/auth/(%s)\.xml" % KEY_CODE.pattern)
BUSY = (5, 6)  # SQLITE_BUSY, SQLITE_LOCKED
LOCK_WAIT = 0.1  # seconds a read waits for a writer's commit before giving up
RETRY_AFTER = "5"
PAGE = """<!DOCTYPE html>
<html><head><title>{status}</title></head>
<body><h1>{title}</h1><p>{text}</p></body></html>
"""


class Unavailable(Exception):
    """The database cannot be read now; locked says whether it is worth trying again soon."""

    def __init__(self, why, locked=False):
        super().__init__(why)
        self.locked = locked


def _etag(body):
    return '"%s"' % hashlib.sha1(body).hexdigest()[:24]


class Feed:
    def __init__(self, date, body, etag, modified):
        self.date = date
        self.body = body
        self.etag = etag
        self.modified = modified  # POSIX seconds, whole
        self.last_modified = email.utils.formatdate(modified, usegmt=True)


class Feeds:
    """The feeds of the day, shared by the serving threads."""

    def __init__(self, db_path, clock=None):
        self.path = os.path.abspath(db_path)
        self.clock = clock or (lambda: datetime.datetime.now(datetime.timezone.utc))
        self.lock = threading.Lock()
        self.db = self.inode = self.version = self.catalog = self.header = self.stamp = None
        self.cache = {}     # key code -> Feed of its current day
        self.changes = {}   # key code -> (ETag, the time that content was first computed)

    def _connect(self):
        uri = "file:%s?mode=ro" % urllib.parse.quote(self.path)
        self.db = sqlite3.connect(uri, uri=True, timeout=0, isolation_level=None, check_same_thread=False)
        self.waits = False
        self.header = os.open(self.path, os.O_RDONLY)

    def _stamp(self):
        """The header bytes by which SQLite itself learns that another connection wrote the
        file (its change counter and size), read without the locks a query takes; None in
        WAL mode, which does not keep them."""
        stamp = os.pread(self.header, 22, 18)
        return stamp if len(stamp) == 22 and stamp[0] == 1 else None

    def _refresh(self, wait):
        """Reads the database again when it changed or was replaced; wait says whether to
        wait a little for a writer that holds it."""
        try:
            inode = os.stat(self.path).st_ino
        except OSError as error:
            self._forget()
            raise Unavailable("database: %s" % error.strerror) from None
        try:
            if self.db is None or inode != self.inode:
                self._forget()
                self._connect()
                self.inode = inode
            stamp = self._stamp()
            if stamp is not None and stamp == self.stamp:
                return  # nothing committed since the last look
            if wait != self.waits:
                self.db.execute("PRAGMA busy_timeout = %d" % (LOCK_WAIT * 1000 if wait else 0))
                self.waits = wait
            version = self.db.execute("PRAGMA data_version").fetchone()[0]
            if version != self.version or self.catalog is None:
                if self.db.execute("PRAGMA user_version").fetchone()[0] == 0:
                    raise sqlite3.DatabaseError("no tables: not made by tavelin-publish")
                catalog = Catalog(self.db)
                if not catalog.same(self.catalog):  # the fetch counts' writes change no feed
                    self.cache.clear()
                self.catalog = catalog
                self.version = version
            self.stamp = stamp  # read before the query: a commit since then is seen next time
        except sqlite3.Error as error:
            if getattr(error, "sqlite_errorcode", None) in BUSY:
                raise Unavailable("database: %s" % error, locked=True) from None
            self._forget()
            raise Unavailable("database: %s" % error) from None
        except OSError as error:
            self._forget()
            raise Unavailable("database: %s" % error.strerror) from None

    def _forget(self):
        if self.db is not None:
            self.db.close()
        if self.header is not None:
            # Closing drops this process's locks on the file; only the old file, once
            # replaced, is closed while the fetch recorder might write, and nobody else can
            # reach it then.
            os.close(self.header)
        self.db = self.inode = self.version = self.catalog = self.header = self.stamp = None
        self.cache.clear()

    def get(self, code):
        """The key's Feed now, or None when it has none; Unavailable when it cannot be told."""
        with self.lock:
            try:
                self._refresh(wait=False)
            except Unavailable as error:
                cached = self._cached(code)
                if cached is not None:
                    return cached
                if not error.locked:
                    raise
                self._refresh(wait=True)  # a writer's commit takes milliseconds
            key = self.catalog.keys.get(code)
            if key is None:
                return None
            date = schedule.local_date(key.tz, self.clock())
            feed = self.cache.get(code)
            if feed is None or feed.date != date:
                body = self.catalog.document(code, date)
                if body is None:
                    return None
                etag = _etag(body)
                feed = Feed(date, body, etag, self._modified(code, etag))
                self.cache[code] = feed
            return feed

    def _cached(self, code):
        """The kept feed when the database is locked and it is still the key's day."""
        feed = self.cache.get(code)
        if feed is None or self.catalog is None:
            return None
        return feed if feed.date == schedule.local_date(self.catalog.keys[code].tz, self.clock()) else None

    def _modified(self, code, etag):
        """When this content was first served: a later content gets a later second, so a
        client's If-Modified-Since never matches content it has not seen."""
        known = self.changes.get(code)
        if known is not None and known[0] == etag:
            return known[1]
        modified = int(self.clock().timestamp())
        if known is not None:
            modified = max(modified, known[1] + 1)
        self.changes[code] = (etag, modified)
        return modified


def _etag_matches(header, etag):
    if header.strip() == "*":
        return True
    return any(tag.strip().removeprefix("W/") == etag for tag in header.split(","))


def _http_time(text):
    """POSIX seconds of an HTTP date, or None when it is not one."""
    try:
        return email.utils.parsedate_to_datetime(text).timestamp()
    except (TypeError, ValueError, OverflowError, IndexError):
        return None


def not_modified(if_none_match, if_modified_since, feed):
    if if_none_match is not None:  # the validator wins over the date
        return _etag_matches(if_none_match, feed.etag)
    since = _http_time(if_modified_since) if if_modified_since else None
    return since is not None and feed.modified <= since


def _page(status, title, text):
    return PAGE.format(status=status, title=title, text=text).encode("utf-8")


HTML = ("Content-Type", "text/html; charset=utf-8")


def make_respond(db_path, clock=None, recorder=None):
    """respond(method, path, if_none_match, if_modified_since) -> (status, headers, body,
    log detail) for the feeds of the database at db_path: body None has no Content-Length
    (a 304); for HEAD the caller leaves the body out. recorder, when given, counts each
    answered GET (fetches.Recorder)."""
    feeds = Feeds(db_path, clock)

    def respond(method, path, if_none_match=None, if_modified_since=None):
        if method not in ("GET", "HEAD"):
            body = _page("405 Method Not Allowed", "Method Not Allowed", "Feeds are read with GET or HEAD.")
            return "405 Method Not Allowed", [("Allow", "GET, HEAD"), HTML], body, None
        match = FEED_PATH.fullmatch(path)
        try:
            feed = feeds.get(match.group(1)) if match else None
        except Unavailable as error:
            headers = [HTML, ("Retry-After", RETRY_AFTER)] if error.locked else [HTML]
            body = _page("503 Service Unavailable", "Service Unavailable", "The feeds cannot be read just now.")
            return "503 Service Unavailable", headers, body, str(error)
        if feed is None:
            body = _page("404 Not Found", "Not Found", "No feed is published for %s." % html.escape(path))
            return "404 Not Found", [HTML], body, None
        headers = [("ETag", feed.etag), ("Last-Modified", feed.last_modified), ("Cache-Control", "no-cache")]
        if recorder is not None and method == "GET":
            recorder.fetched(match.group(1), feed.date)
        if not_modified(if_none_match, if_modified_since, feed):
            return "304 Not Modified", headers, None, None
        return "200 OK", [("Content-Type", "text/xml; charset=utf-8")] + headers, feed.body, None

    return respond


def make_app(db_path, clock=None, recorder=None):
    """The WSGI application serving the feeds of the database at db_path (make_respond);
    its respond attribute answers without WSGI, for a server's quick path."""
    respond = make_respond(db_path, clock, recorder)

    def app(environ, start_response):
        status, headers, body, detail = respond(environ["REQUEST_METHOD"], environ.get("PATH_INFO", ""),
                                                environ.get("HTTP_IF_NONE_MATCH"),
                                                environ.get("HTTP_IF_MODIFIED_SINCE"))
        if detail:
            environ["tavelin.log_detail"] = detail
        if body is not None:
            headers = headers + [("Content-Length", str(len(body)))]
        start_response(status, headers)
        return [body] if body else []  # the server sends no body for HEAD

    app.respond = respond
    return app
