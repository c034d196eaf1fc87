#!/usr/bin/env python3
"""The loopback feed service that the demo and the end-to-end tests stand on:
what it serves, what it refuses, what it logs, and how it starts and stops."""
import http.client
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.environ.get("TAVELIN_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVER = os.path.join(SOURCE, "tools", "feed_server.py")
FEEDS = os.path.join(SOURCE, "samples", "feeds")


class Server:
    """One feed_server.py process; stopped by its id, never by name."""

    def __init__(self, *args):
        self.proc = subprocess.Popen([sys.executable, "-u", SERVER, *args], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True, encoding="utf-8")
        self.first_line = self.proc.stdout.readline().strip()
        self.port = int(self.first_line[len("PORT="):]) if self.first_line.startswith("PORT=") else None

    def get(self, path, agent="TavelinScreenSaver", method="GET"):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        try:
            conn.request(method, path, headers={"User-Agent": agent})
            response = conn.getresponse()
            return response.status, response.getheader("Content-Type"), response.read()
        finally:
            conn.close()

    def stop(self):
        """SIGTERM, then the exit code and everything it printed after the port line."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            out, err = self.proc.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            out, err = self.proc.communicate()
            return None, out, err
        return self.proc.returncode, out, err


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class ServingTest(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        self.assertIsNotNone(self.server.port, "first line was %r" % self.server.first_line)

    def tearDown(self):
        self.server.stop()

    def test_each_sample_is_served_byte_for_byte(self):
        names = sorted(n for n in os.listdir(FEEDS) if n.endswith(".xml"))
        self.assertGreaterEqual(len(names), 3)
        for name in names:
            with self.subTest(name=name):
                status, ctype, body = self.server.get("/auth/" + name)
                self.assertEqual(status, 200)
                self.assertTrue(ctype.startswith("text/xml"), ctype)
                with open(os.path.join(FEEDS, name), "rb") as f:
                    self.assertEqual(body, f.read())

    def test_query_string_does_not_change_the_answer(self):
        status, _, body = self.server.get("/auth/es-en-daily.xml?day=2")
        self.assertEqual(status, 200)
        self.assertIn(b"<word1>casa</word1>", body)

    def test_anything_else_is_a_404_html_page(self):
        refused = [
            "/auth/no-such-key.xml",
            "/auth/es-en-daily.XML",
            "/auth/es-en-daily",
            "/es-en-daily.xml",
            "/auth/../feeds/es-en-daily.xml",
            "/auth/..%2F..%2Ftools%2Ffeed_server.xml",
            "/auth/%2e%2e%2fREADME.xml",
            "/auth/.hidden.xml",
            "/auth/",
            "/",
        ]
        for path in refused:
            with self.subTest(path=path):
                status, ctype, body = self.server.get(path)
                self.assertEqual(status, 404)
                self.assertTrue(ctype.startswith("text/html"), ctype)
                self.assertIn(b"<html>", body)
                self.assertNotIn(b"<item", body)

    def test_unknown_key_in_the_page_is_escaped(self):
        _, _, body = self.server.get("/auth/%3Cscript%3E.xml")
        self.assertNotIn(b"<script>", body)
        self.assertIn(b"&lt;script&gt;", body)

    def test_head_answers_without_a_body(self):
        status, _, body = self.server.get("/auth/el-en-daily.xml", method="HEAD")
        self.assertEqual((status, body), (200, b""))

    def test_every_request_is_logged_with_path_status_and_agent(self):
        self.server.get("/auth/fr-en-news.xml")
        self.server.get("/auth/missing.xml", agent="Probe/2.0 (test)")
        code, out, _ = self.server.stop()
        self.assertEqual(code, 0)
        self.assertEqual(out.splitlines(), [
            "GET /auth/fr-en-news.xml 200 |TavelinScreenSaver|",
            "GET /auth/missing.xml 404 |Probe/2.0 (test)|",
        ])


class LifecycleTest(unittest.TestCase):
    def test_binds_the_port_it_is_given_on_loopback_only(self):
        port = free_port()
        server = Server("--port", str(port))
        try:
            self.assertEqual(server.port, port)
            self.assertEqual(server.get("/auth/es-en-daily.xml")[0], 200)
            with open("/proc/net/tcp") as table:
                rows = [line.split() for line in table.read().splitlines()[1:]]
            listening = [row[1] for row in rows if row[1].endswith(":%04X" % port) and row[3] == "0A"]
            self.assertEqual(listening, ["0100007F:%04X" % port])
        finally:
            self.assertEqual(server.stop()[0], 0)

    def test_a_taken_port_is_refused_with_a_message(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            proc = subprocess.run([sys.executable, SERVER, "--port", str(port)], capture_output=True,
                                  text=True, timeout=10)
        self.assertEqual(proc.returncode, 2)
        self.assertEqual(proc.stdout, "")
        self.assertIn("cannot bind 127.0.0.1:%d" % port, proc.stderr)

    def test_sigterm_stops_it_promptly_even_with_a_client_connected(self):
        server = Server()
        idle = socket.create_connection(("127.0.0.1", server.port))
        try:
            started = time.monotonic()
            code, _, err = server.stop()
            self.assertEqual(code, 0, err)
            self.assertLess(time.monotonic() - started, 3.0)
        finally:
            idle.close()

    def test_serves_another_folder(self):
        folder = tempfile.mkdtemp()
        try:
            with open(os.path.join(folder, "K-1.xml"), "w") as f:
                f.write("<feed><item><word1>a</word1><word2>b</word2></item></feed>")
            server = Server("--feeds", folder)
            try:
                self.assertEqual(server.get("/auth/K-1.xml")[0], 200)
                self.assertEqual(server.get("/auth/es-en-daily.xml")[0], 404)
            finally:
                server.stop()
        finally:
            shutil.rmtree(folder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
