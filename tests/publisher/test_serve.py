import datetime
import email.utils
import http.client
import os
import signal
import sqlite3
import subprocess
import sys
import threading
import unittest
import unittest.mock

from support import ROOT, Scratch
from publisher import serve

UTC = datetime.timezone.utc


class ServeTest(Scratch):
    def setUp(self):
        super().setUp()
        self.deck()
        self.ok("key", "add", "K", "--deck", "d", "--start", "2026-01-01", "--per-day", "1", "--tz", "Europe/Paris")
        self.ok("key", "add", "Later", "--deck", "d", "--start", "2027-01-01", "--per-day", "1")
        self.now = datetime.datetime(2026, 1, 2, 12, 0, tzinfo=UTC)
        feeds = serve.Feeds(self.db, clock=lambda: self.now)
        self.server = serve.FeedServer(("127.0.0.1", 0), feeds)
        self.server.print_lock = threading.Lock()
        thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05})
        thread.start()
        self.addCleanup(thread.join)
        self.addCleanup(self.server.server_close)
        self.addCleanup(self.server.shutdown)
        self.conn = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=10)
        self.addCleanup(self.conn.close)

    def request(self, path, method="GET", **headers):
        self.conn.request(method, path, headers=headers)
        response = self.conn.getresponse()
        return response, response.read()

    def quiet(self):
        return unittest.mock.patch("builtins.print")

    def test_a_feed_with_its_headers_and_a_304_for_its_etag(self):
        with self.quiet():
            response, body = self.request("/auth/K.xml")
            self.assertEqual(response.status, 200)
            self.assertEqual(response.getheader("Content-Type"), "text/xml; charset=utf-8")
            self.assertEqual(int(response.getheader("Content-Length")), len(body))
            self.assertIn(b"<word1>b</word1>", body)
            etag = response.getheader("ETag")
            # The database changed after Paris's 2 January began, so its time counts.
            modified = email.utils.parsedate_to_datetime(response.getheader("Last-Modified"))
            self.assertEqual(modified.timestamp(), int(os.stat(self.db).st_mtime))
            head, head_body = self.request("/auth/K.xml", "HEAD")
            self.assertEqual((head.status, head_body, head.getheader("ETag")), (200, b"", etag))
            self.assertEqual(head.getheader("Content-Length"), str(len(body)))
            again, again_body = self.request("/auth/K.xml", **{"If-None-Match": 'W/"other", ' + etag})
            self.assertEqual((again.status, again_body, again.getheader("ETag")), (304, b"", etag))
            other, _ = self.request("/auth/K.xml", **{"If-None-Match": '"other"'})
            self.assertEqual(other.status, 200)
            since = response.getheader("Last-Modified")
            self.assertEqual(self.request("/auth/K.xml", **{"If-Modified-Since": since})[0].status, 304)
            before = email.utils.formatdate(modified.timestamp() - 1, usegmt=True)
            self.assertEqual(self.request("/auth/K.xml", **{"If-Modified-Since": before})[0].status, 200)

    def test_answered_gets_are_counted_for_the_keys_day(self):
        from publisher.fetches import Recorder
        self.server.recorder = Recorder(self.db, interval=3600, log=lambda text: None)
        with self.quiet():
            etag = self.request("/auth/K.xml")[0].getheader("ETag")
            self.request("/auth/K.xml", **{"If-None-Match": etag})
            self.request("/auth/K.xml", "HEAD")
            self.request("/auth/Later.xml")
        self.server.recorder.close()
        db = sqlite3.connect(self.db)
        self.addCleanup(db.close)
        self.assertEqual(db.execute("SELECT key_code, day, count FROM fetches").fetchall(), [("K", "2026-01-02", 2)])

    def test_404_for_unknown_keys_keys_before_their_start_and_other_paths(self):
        with self.quiet():
            for path in ("/auth/Nobody.xml", "/auth/Later.xml", "/auth/K.json", "/", "/auth/../t.db",
                         "/auth/%3Cscript%3E.xml"):
                with self.subTest(path=path):
                    response, body = self.request(path)
                    self.assertEqual(response.status, 404)
                    self.assertEqual(response.getheader("Content-Type"), "text/html; charset=utf-8")
                    self.assertNotIn(b"<script>", body)

    def test_the_feed_follows_the_database_and_the_keys_day(self):
        with self.quiet():
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

    def test_the_command_prints_its_port_logs_each_request_and_ends_on_sigterm(self):
        process = subprocess.Popen([sys.executable, os.path.join(ROOT, "tools", "tavelin-publish"),
                                    "--db", self.db, "serve", "--port", "0"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            first = process.stdout.readline()
            self.assertRegex(first, r"^PORT=\d+\n$")
            conn = http.client.HTTPConnection("127.0.0.1", int(first[5:]), timeout=10)
            for path in ("/auth/K.xml", "/nothing"):
                conn.request("GET", path, headers={"User-Agent": "TavelinScreenSaver"})
                conn.getresponse().read()
                self.assertRegex(process.stdout.readline(), r"^127\.0\.0\.1 GET %s \d{3} \|TavelinScreenSaver\|\n$" % path)
            conn.close()
            process.send_signal(signal.SIGTERM)
            self.assertEqual(process.wait(timeout=10), 0)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
            process.stdout.close()
            process.stderr.close()


if __name__ == "__main__":
    unittest.main()
