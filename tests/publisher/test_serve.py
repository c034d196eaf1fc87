import datetime
import email.utils
import http.client
import io
import os
import queue
import re
import signal
import socket
import sqlite3
import subprocess
import sys
import threading
import unittest

from support import ROOT, Scratch
from publisher import feedapp, quick, server
from publisher.fetches import Recorder

UTC = datetime.timezone.utc
LOG_LINE = re.compile(r"[^ ]+ [^ ]+ [^ ]+ \d{3} \|[^|]*\|( .*)?")


class Lines(io.StringIO):
    """The access log, for a test to read back."""

    def lines(self):
        return self.getvalue().splitlines()


class ServeTest(Scratch):
    def setUp(self):
        super().setUp()
        self.deck()
        self.ok("key", "add", "K", "--deck", "d", "--start", "2026-01-01", "--per-day", "1", "--tz", "Europe/Paris")
        self.ok("key", "add", "J", "--deck", "d", "--start", "2026-01-01", "--per-day", "1")
        self.ok("key", "add", "Later", "--deck", "d", "--start", "2027-01-01", "--per-day", "1")
        self.now = datetime.datetime(2026, 1, 2, 12, 0, tzinfo=UTC)
        self.log = Lines()
        self.recorder = Recorder(self.db, interval=3600, log=lambda text: None)
        self.addCleanup(self.recorder.close)
        self.app = feedapp.make_app(self.db, clock=lambda: self.now, recorder=self.recorder)
        self.server = self.start(quick_paths=("/auth/",), respond=self.app.respond)
        self.conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        self.addCleanup(self.conn.close)

    def start(self, **options):
        running = server.Server(self.app, "127.0.0.1", 0, log=server.AccessLog(self.log), **options)
        running.thread = threading.Thread(target=running.run, kwargs={"handle_signals": False})
        running.thread.start()
        self.addCleanup(running.thread.join)
        self.addCleanup(running.stop)
        return running

    def request(self, path, method="GET", **headers):
        self.conn.request(method, path, headers=headers)
        response = self.conn.getresponse()
        return response, response.read()

    def status(self, path="/auth/K.xml", **headers):
        return self.request(path, **headers)[0].status

    def raw(self, data):
        """What the server answers to data sent as it is, up to its closing the connection;
        None when it closed on a request it did not read to the end."""
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as sock:
            answer = b""
            try:
                sock.sendall(data)
                while True:
                    part = sock.recv(65536)
                    if not part:
                        return answer
                    answer += part
            except ConnectionResetError:
                return None

    def test_answered_gets_are_counted_for_the_keys_day(self):
        etag = self.request("/auth/K.xml")[0].getheader("ETag")
        self.request("/auth/K.xml", **{"If-None-Match": etag})
        self.request("/auth/K.xml", "HEAD")
        self.request("/auth/Later.xml")
        self.recorder.flush()
        db = sqlite3.connect(self.db)
        self.addCleanup(db.close)
        self.assertEqual(db.execute("SELECT key_code, day, count FROM fetches").fetchall(), [("K", "2026-01-02", 2)])

    def test_a_feed_with_its_headers_and_a_304_for_its_etag(self):
        response, body = self.request("/auth/K.xml")
        self.assertEqual(response.status, 200)
        self.assertEqual(response.getheader("Content-Type"), "text/xml; charset=utf-8")
        self.assertEqual(int(response.getheader("Content-Length")), len(body))
        self.assertIn(b"<word1>b</word1>", body)
        etag = response.getheader("ETag")
        head, head_body = self.request("/auth/K.xml", "HEAD")
        self.assertEqual((head.status, head_body, head.getheader("ETag")), (200, b"", etag))
        self.assertEqual(head.getheader("Content-Length"), str(len(body)))
        again, again_body = self.request("/auth/K.xml", **{"If-None-Match": 'W/"other", ' + etag})
        self.assertEqual((again.status, again_body, again.getheader("ETag")), (304, b"", etag))
        since = response.getheader("Last-Modified")
        earlier = email.utils.formatdate(self.now.timestamp() - 1, usegmt=True)
        rows = [
            ({"If-None-Match": '"other"'}, 200),
            ({"If-Modified-Since": since}, 304),
            ({"If-Modified-Since": earlier}, 200),
            ({"If-None-Match": '"other"', "If-Modified-Since": since}, 200),   # the ETag decides
            ({"If-Modified-Since": "Mon, 07 Dec 99999999999999999999 20:49:57 GMT"}, 200),
            ({"If-Modified-Since": "yesterday"}, 200),
        ]
        for headers, expected in rows:
            with self.subTest(headers=headers):
                self.assertEqual(self.status(**headers), expected)
        # A 304 keeps the connection: a revalidating client is not made to reconnect.
        pair = self.raw(b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nIf-None-Match: %s\r\n\r\n"
                        b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n" % etag.encode())
        self.assertEqual(re.findall(rb"HTTP/1\.1 (\d{3})", pair), [b"304", b"200"])
        self.assertNotIn(b"Connection: close", pair.split(b"HTTP/1.1 200")[0])

    def exchange(self, port, requests):
        """The answers to requests sent on one connection, each once the answer before is
        whole, without their Date; last, what came after the last answer."""
        answers, pending = [], b""
        with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
            for data in requests:
                sock.sendall(data)
                while b"\r\n\r\n" not in pending:
                    pending += sock.recv(65536) or self.fail("closed after %r" % pending)
                head, _, pending = pending.partition(b"\r\n\r\n")
                length = re.search(rb"\r\nContent-Length: (\d+)", head)
                length = int(length[1]) if length and not data.startswith(b"HEAD") else 0
                while len(pending) < length:
                    pending += sock.recv(65536)
                answers.append(re.sub(rb"\r\nDate: [^\r]*", b"", head) + b"|" + pending[:length])
                pending = pending[length:]
            answers.append(pending + b"".join(iter(lambda: sock.recv(65536), b"")))
        return answers

    def test_plain_requests_are_answered_quickly_with_waitress_s_bytes(self):
        etag = self.request("/auth/K.xml")[0].getheader("ETag")
        plain = self.start()  # Waitress's parser and tasks for every request
        rows = [  # (method, target, headers, taken quickly)
            ("GET", "/auth/K.xml", "", True),
            ("HEAD", "/auth/K.xml", "Connection: keep-alive\r\n", True),
            ("GET", "/auth/K.xml", "If-None-Match: %s\r\n" % etag, True),
            ("HEAD", "/auth/K.xml", "If-None-Match:  W/%s \r\nUser-Agent: a b\r\n" % etag, True),
            ("GET", "/auth/K.xml", "If-Modified-Since: Fri, 02 Jan 2026 12:00:00 GMT\r\n", True),
            ("GET", "/auth/Nobody.xml", "", True),
            ("GET", "/auth/K.xml?x=1", "", False),
            ("GET", "/auth/K%2Exml", "", False),
            ("GET", "/auth/K.xml", "Content-Length: 0\r\n", False),
            ("GET", "/auth/K.xml", "If-None-Match: a\r\nIf-None-Match: %s\r\n" % etag, False),
        ]
        last = b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
        for method, target, headers, quickly in rows:
            data = ("%s %s HTTP/1.1\r\nHost: x\r\n%s\r\n" % (method, target, headers)).encode()
            with self.subTest(data=data):
                self.assertEqual(quick.parse(data, (b"/auth/",)) is not None, quickly)
                answers = self.exchange(self.server.port, [data, last])
                self.assertEqual(answers, self.exchange(plain.port, [data, last]))
                self.assertEqual(answers[-1], b"")  # nothing after the answer to the close
        for running in (plain, self.server):
            running.stop()
            running.thread.join()
        lines = sorted(self.log.lines()[1:])  # each request's line from both servers, the same
        self.assertEqual(lines[0::2], lines[1::2])
        self.assertEqual(len(lines), 4 * len(rows))

    def test_last_modified_follows_the_content_not_the_file(self):
        first, _ = self.request("/auth/K.xml")
        self.ok("news", "set", "fresh news", "--from", "2026-01-01")   # within the same second
        second, _ = self.request("/auth/K.xml")
        self.assertNotEqual(first.getheader("ETag"), second.getheader("ETag"))
        self.assertEqual(self.status(**{"If-Modified-Since": first.getheader("Last-Modified")}), 200)
        self.assertEqual(self.status(**{"If-Modified-Since": second.getheader("Last-Modified")}), 304)

    def test_404_for_unknown_keys_keys_before_their_start_and_other_paths(self):
        for path in ("/auth/Nobody.xml", "/auth/Later.xml", "/auth/K.json", "/", "/auth/../t.db",
                     "/auth/%3Cscript%3E.xml", "/auth/K.xml%0A", "/auth/K.xml%00", "/auth/K.xml/"):
            with self.subTest(path=path):
                response, body = self.request(path)
                self.assertEqual(response.status, 404)
                self.assertEqual(response.getheader("Content-Type"), "text/html; charset=utf-8")
                self.assertNotIn(b"<script>", body)

    def test_the_feed_follows_the_database_and_the_keys_day(self):
        _, first = self.request("/auth/K.xml")
        self.ok("news", "set", "fresh news", "--from", "2026-01-01")
        _, second = self.request("/auth/K.xml")
        self.assertIn(b"<news>fresh news</news>", second)
        self.assertEqual(second.replace(b"<news>fresh news</news>\n", b""), first)
        self.now = datetime.datetime(2026, 1, 2, 22, 59, 59, tzinfo=UTC)  # 23:59:59 in Paris
        self.assertEqual(self.request("/auth/K.xml")[1], second)
        self.now = datetime.datetime(2026, 1, 2, 23, 0, 0, tzinfo=UTC)   # the 3rd has begun there
        _, third = self.request("/auth/K.xml")
        self.assertIn(b"<word1>c</word1>", third)
        self.assertNotEqual(third, second)
        self.recorder.flush()  # the fetch counts are written; no feed changes
        self.assertEqual(self.request("/auth/K.xml")[1], third)
        self.ok("key", "remove", "K")
        self.ok("key", "add", "K", "--deck", "d", "--start", "2026-01-01", "--per-day", "2", "--tz", "Europe/Paris")
        self.assertNotEqual(self.request("/auth/K.xml")[1], third)

    def test_the_feed_follows_a_database_replaced_or_in_wal_mode(self):
        _, first = self.request("/auth/K.xml")
        copy = self.db + ".new"
        with sqlite3.connect(self.db) as db, sqlite3.connect(copy) as new:
            db.backup(new)
            new.execute("INSERT INTO news (key_code, from_date, text) VALUES (NULL, '2026-01-01', 'copied')")
        db.close()
        new.close()
        os.replace(copy, self.db)
        self.assertIn(b"<news>copied</news>", self.request("/auth/K.xml")[1])
        wal = sqlite3.connect(self.db)
        self.addCleanup(wal.close)
        self.assertEqual(wal.execute("PRAGMA journal_mode = WAL").fetchone(), ("wal",))
        self.assertIn(b"<news>copied</news>", self.request("/auth/K.xml")[1])
        with wal:
            wal.execute("UPDATE news SET text = 'in wal'")
        self.assertIn(b"<news>in wal</news>", self.request("/auth/K.xml")[1])

    def test_a_missing_or_emptied_database_gets_503_and_is_not_written(self):
        self.assertEqual(self.status(), 200)
        with open(self.db, "r+b") as f:
            f.truncate(0)
        response, body = self.request("/auth/K.xml")
        self.assertEqual(response.status, 503)
        self.assertIn(b"Service Unavailable", body)
        self.assertEqual(os.path.getsize(self.db), 0)
        os.unlink(self.db)
        self.assertEqual(self.status(), 503)
        self.assertFalse(os.path.exists(self.db))

    def test_a_writers_lock_holds_back_only_feeds_that_cannot_be_computed(self):
        response, _ = self.request("/auth/K.xml")
        writer = sqlite3.connect(self.db, isolation_level=None)
        self.addCleanup(writer.close)
        writer.execute("BEGIN EXCLUSIVE")
        writer.execute("DELETE FROM news")
        # What was committed before is served, computed already or not.
        self.assertEqual(self.request("/auth/K.xml")[0].getheader("ETag"), response.getheader("ETag"))
        self.assertEqual(self.status("/auth/J.xml"), 200)
        self.app = feedapp.make_app(self.db, clock=lambda: self.now)
        self.conn = http.client.HTTPConnection("127.0.0.1", self.start().port, timeout=10)  # has read nothing
        self.addCleanup(self.conn.close)
        locked, _ = self.request("/auth/J.xml")
        self.assertEqual((locked.status, locked.getheader("Retry-After")), (503, feedapp.RETRY_AFTER))
        writer.execute("COMMIT")
        self.assertEqual(self.status("/auth/J.xml"), 200)

    def test_one_escaped_log_line_for_each_request_whatever_its_fate(self):
        smuggled = b"GET /auth/J.xml HTTP/1.1\r\nHost: x\r\n\r\n"
        requests = [
            (b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nUser-Agent: a\r\n b\n127.0.0.1 GET /forged 200 |x|\r\n"
             b"Connection: close\r\n\r\n", b"400"),
            (b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nUser-Agent: a\r\n\tfolded |forged|\r\nConnection: close\r\n\r\n",
             b"200"),
            (b"GET /auth/K.xml\x00 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", b"404"),
            (b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s"
             % (len(smuggled), smuggled), b"200"),
            (b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip\r\n\r\n", b"501"),
            (b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\nHost: x\r\n\r\n", b"431"),
            (b"DELETE /auth/K.xml HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", b"405"),
        ]
        for data, expected in requests:
            with self.subTest(request=data[:60]):
                answer = self.raw(data)
                if answer is None and expected == b"431":
                    continue  # the rest of the headers was left unread, so the kernel reset
                self.assertEqual(answer.split(b" ")[1], expected, answer[:200])
                self.assertEqual(len(re.findall(rb"HTTP/1\.[01] \d{3}", answer)), 1)
        lines = self.log.lines()
        self.assertEqual(len(lines), len(requests), lines)
        for line, (data, expected) in zip(lines, requests):
            self.assertRegex(line, LOG_LINE)
            self.assertEqual(line.split(" ")[3], expected.decode())
        self.assertNotIn("\x00", self.log.getvalue())
        self.assertIn("|a\\x09folded \\x7cforged\\x7c|", lines[1])


class MountTest(unittest.TestCase):
    def test_each_path_goes_to_the_first_app_whose_prefix_starts_it(self):
        def app(name):
            return lambda environ, start_response: [name]
        mounted = server.mount([("/auth/", app(b"feeds")), ("/a", app(b"a"))], app(b"console"))
        for path, expected in (("/auth/K.xml", b"feeds"), ("/auth", b"a"), ("/", b"console"), ("", b"console")):
            with self.subTest(path=path):
                self.assertEqual(mounted({"PATH_INFO": path}, None), [expected])


class IdleTest(Scratch):
    def test_an_idle_connection_is_closed(self):
        self.deck()
        running = server.Server(feedapp.make_app(self.db), "127.0.0.1", 0, log=server.AccessLog(Lines()),
                                channel_timeout=1, cleanup_interval=1)
        thread = threading.Thread(target=running.run, kwargs={"handle_signals": False})
        thread.start()
        self.addCleanup(thread.join)
        self.addCleanup(running.stop)
        with socket.create_connection(("127.0.0.1", running.port), timeout=30) as idle:
            self.assertEqual(idle.recv(1), b"")


class CommandTest(Scratch):
    def test_the_command_prints_its_port_logs_each_request_and_finishes_them_on_sigterm(self):
        self.deck()
        self.ok("key", "add", "K", "--deck", "d", "--start", "2026-01-01", "--per-day", "1")
        process = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tools", "tavelin-publish"),
                                    "--db", self.db, "serve", "--port", "0"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                   env={k: v for k, v in os.environ.items() if k != "PYTHONUNBUFFERED"})
        lines = queue.Queue()  # a line that never comes fails the test instead of holding it
        reader = threading.Thread(target=lambda: [lines.put(line) for line in process.stdout], daemon=True)
        reader.start()
        try:
            first = lines.get(timeout=30)
            self.assertRegex(first, r"^PORT=\d+\n$")
            port = int(first[5:])
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            for path in ("/auth/K.xml", "/nothing"):
                conn.request("GET", path, headers={"User-Agent": "TavelinScreenSaver"})
                conn.getresponse().read()
                self.assertRegex(lines.get(timeout=30), r"^127\.0\.0\.1 GET %s \d{3} \|TavelinScreenSaver\|\n$" % path)
            waiting = [socket.create_connection(("127.0.0.1", port), timeout=10) for _ in range(5)]
            for sock in waiting:
                sock.sendall(b"GET /auth/K.xml HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            process.send_signal(signal.SIGTERM)
            for sock in waiting:
                with sock, sock.makefile("rb") as answer:
                    self.assertEqual(answer.readline(), b"HTTP/1.1 200 OK\r\n")
                    length = [int(line[15:]) for line in iter(answer.readline, b"\r\n")
                              if line.lower().startswith(b"content-length:")]
                    self.assertIn(b"</feed>", answer.read(length[0]))
            self.assertEqual(process.wait(timeout=20), 0)
            conn.close()
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
            reader.join()
            process.stdout.close()
            process.stderr.close()


if __name__ == "__main__":
    unittest.main()
