"""A small feed server over the database: each key's feed of the day, computed on
request and kept until the key's day or the database changes."""
import datetime
import email.utils
import hashlib
import html
import http.server
import os
import re
import signal
import socket
import sys
import threading
import urllib.parse

from . import schedule
from .fetches import Recorder
from .model import Catalog
from .store import open_db

FEED_PATH = re.compile(r"^/auth/([A-Za-z0-9][A-Za-z0-9_.-]{0,63})\.xml$")
NOT_FOUND_PAGE = """<!DOCTYPE html>
<html><head><title>404 Not Found</title></head>
<body><h1>Not Found</h1><p>No feed is published for {what}.</p></body></html>
"""


class Feed:
    def __init__(self, date, body, modified):
        self.date = date
        self.body = body
        self.etag = '"%s"' % hashlib.sha1(body).hexdigest()[:24]
        self.modified = modified  # POSIX seconds, whole
        self.last_modified = email.utils.formatdate(modified, usegmt=True)


class Feeds:
    """The feeds of the day, shared by the serving threads."""

    def __init__(self, db_path, clock=None):
        self.path = db_path
        self.clock = clock or (lambda: datetime.datetime.now(datetime.timezone.utc))
        self.lock = threading.Lock()
        self.db = open_db(db_path)
        self.version = None
        self.catalog = None
        self.cache = {}

    def _fresh(self):
        inode = os.stat(self.path).st_ino
        if self.version is not None and inode != self.version[1]:
            self.db.close()  # the file was replaced: read the new one
            self.db = open_db(self.path)
        version = (self.db.execute("PRAGMA data_version").fetchone()[0], inode)
        if version != self.version:
            self.version = version
            self.catalog = Catalog(self.db)
            self.changed = int(os.stat(self.path).st_mtime)
            self.cache.clear()

    def get(self, code):
        """The key's Feed now, or None when it has none."""
        with self.lock:
            self._fresh()
            key = self.catalog.keys.get(code)
            if key is None:
                return None
            now = self.clock()
            date = schedule.local_date(key.tz, now)
            feed = self.cache.get(code)
            if feed is None or feed.date != date:
                body = self.catalog.document(code, date)
                if body is None:
                    return None
                day_began = datetime.datetime.combine(date, datetime.time(), schedule.zone(key.tz))
                feed = Feed(date, body, max(int(day_began.timestamp()), self.changed))
                self.cache[code] = feed
            return feed


def _etag_matches(header, etag):
    if header.strip() == "*":
        return True
    return any(tag.strip().removeprefix("W/") == etag for tag in header.split(","))


class FeedHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "tavelin-publish"
    # Headers and body leave in one segment: written apart, the client's delayed
    # acknowledgement holds the body back some 40 ms on a kept-alive connection.
    wbufsize = 1 << 16
    disable_nagle_algorithm = True

    def version_string(self):
        return self.server_version

    def do_GET(self):
        self._answer(with_body=True)

    def do_HEAD(self):
        self._answer(with_body=False)

    def _answer(self, with_body):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        match = FEED_PATH.match(path)
        try:
            feed = self.server.feeds.get(match.group(1)) if match else None
        except Exception as error:  # one bad request must not end the server
            self._record(500, "%s: %s" % (type(error).__name__, error))
            self._send(500, "text/plain; charset=utf-8", b"internal error\n", with_body)
            return
        if feed is None:
            self._record(404)
            page = NOT_FOUND_PAGE.format(what=html.escape(path)).encode("utf-8")
            self._send(404, "text/html; charset=utf-8", page, with_body)
            return
        headers = {"ETag": feed.etag, "Last-Modified": feed.last_modified, "Cache-Control": "no-cache"}
        if with_body and self.server.recorder is not None:
            self.server.recorder.fetched(match.group(1), feed.date)
        if self._not_modified(feed):
            self._record(304)
            self.send_response(304)
            for name, value in headers.items():
                self.send_header(name, value)
            self.end_headers()
            return
        self._record(200)
        self._send(200, "text/xml; charset=utf-8", feed.body, with_body, headers)

    def _not_modified(self, feed):
        match = self.headers.get("If-None-Match")
        if match is not None:
            return _etag_matches(match, feed.etag)
        since = self.headers.get("If-Modified-Since")
        if since is None:
            return False
        try:
            return feed.modified <= email.utils.parsedate_to_datetime(since).timestamp()
        except (TypeError, ValueError):
            return False

    def _send(self, status, ctype, body, with_body, headers=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def _record(self, status, detail=None):
        agent = self.headers.get("User-Agent", "")
        line = "%s %s %s %d |%s|" % (self.client_address[0], self.command, self.path, status, agent)
        if detail:
            line += " " + detail
        with self.server.print_lock:
            print(line, flush=True)

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # _record writes the one line a request


class FeedServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, feeds):
        if ":" in address[0]:
            self.address_family = socket.AF_INET6
        super().__init__(address, FeedHandler)
        self.feeds = feeds
        self.print_lock = threading.Lock()
        self.recorder = None  # counts the answered GETs when set

    def handle_error(self, request, client_address):
        # A client that went away mid-answer: one line, not a traceback.
        error = sys.exc_info()[1]
        with self.print_lock:
            print("%s connection ended: %s: %s" % (client_address[0], type(error).__name__, error), flush=True)


def serve(db_path, host, port):
    feeds = Feeds(db_path)
    try:
        server = FeedServer((host, port), feeds)
    except OSError as error:
        print("tavelin-publish: cannot listen on %s:%d (%s)" % (host, port, error.strerror), file=sys.stderr)
        return 1

    def stop(signum, frame):
        # shutdown() waits for serve_forever to return, so it cannot run on the serving thread.
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.recorder = Recorder(db_path, log=lambda text: print(text, flush=True))
    print("PORT=%d" % server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        server.recorder.close()
    return 0
