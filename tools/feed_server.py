#!/usr/bin/env python3
"""Loopback stand-in for the vocabulary feed service: serves /auth/<key code>.xml
from a folder of feed documents, for the demo and the end-to-end tests.

    feed_server.py [--port N] [--feeds DIR]

Binds 127.0.0.1 only. Its first line of output is "PORT=<n>"; after that one line
per request: method, path, status and the user agent framed by bars. SIGTERM or
SIGINT stops it with exit code 0.
"""
import argparse
import html
import http.server
import os
import re
import signal
import sys
import threading
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FEEDS = os.path.join(os.path.dirname(HERE), "samples", "feeds")

# Key codes name files, so they may not climb out of the feed folder or hide.
KEY_CODE = re.compile(r"^[A-Za-z0-9][A-Za-z0-9_.-]{0,127}$")

NOT_FOUND_PAGE = """<!DOCTYPE html>
<html><head><title>404 Not Found</title></head>
<body><h1>Not Found</h1><p>No feed is published for {what}.</p></body></html>
"""


def feed_path(feeds_dir, url_path):
    """The file that answers url_path, or None when no feed is published for it."""
    path = urllib.parse.unquote(urllib.parse.urlsplit(url_path).path)
    if not (path.startswith("/auth/") and path.endswith(".xml")):
        return None
    key = path[len("/auth/"):-len(".xml")]
    if not KEY_CODE.match(key) or ".." in key:
        return None
    candidate = os.path.join(feeds_dir, key + ".xml")
    return candidate if os.path.isfile(candidate) else None


class FeedHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TavelinFeeds/1.0"
    sys_version = ""

    def do_GET(self):
        self._answer(with_body=True)

    def do_HEAD(self):
        self._answer(with_body=False)

    def _answer(self, with_body):
        path = feed_path(self.server.feeds_dir, self.path)
        if path is None:
            what = html.escape(urllib.parse.unquote(self.path))
            status, ctype = 404, "text/html; charset=utf-8"
            body = NOT_FOUND_PAGE.format(what=what).encode("utf-8")
        else:
            status, ctype = 200, "text/xml; charset=utf-8"
            with open(path, "rb") as f:
                body = f.read()
        self._record(status)
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def _record(self, status):
        agent = self.headers.get("User-Agent", "")
        line = "%s %s %d |%s|" % (self.command, self.path, status, agent)
        with self.server.print_lock:
            print(line, flush=True)

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # one line per request is written by _record, nothing else


class FeedServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, feeds_dir):
        super().__init__(("127.0.0.1", port), FeedHandler)
        self.feeds_dir = feeds_dir
        self.print_lock = threading.Lock()


def main(argv):
    parser = argparse.ArgumentParser(description="Serve sample vocabulary feeds on 127.0.0.1.")
    parser.add_argument("--port", type=int, default=0, help="port to bind; 0 (the default) takes a free one")
    parser.add_argument("--feeds", default=DEFAULT_FEEDS, help="folder of <key code>.xml files (default: samples/feeds)")
    args = parser.parse_args(argv)
    if not os.path.isdir(args.feeds):
        print("feed_server: no such folder: %s" % args.feeds, file=sys.stderr)
        return 2
    try:
        server = FeedServer(args.port, os.path.abspath(args.feeds))
    except OSError as error:
        print("feed_server: cannot bind 127.0.0.1:%d: %s" % (args.port, error.strerror), file=sys.stderr)
        return 2

    def stop(signum, frame):
        # shutdown() waits for serve_forever to return, so it cannot run on the serving thread.
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("PORT=%d" % server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
