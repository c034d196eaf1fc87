#!/usr/bin/env python3
"""Tavelin.scr /s against a feed server that misbehaves: after one good run has
filled the day cache, a body cut short of its announced length, a redirect
loop, binary garbage, a feed without items and 100 MB (with or without a
length) each end cleanly on a pointer move, say in the log why the feed gave
nothing, show the cached day, and leave the cache exactly as the good run
wrote it."""
import os
import socket
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

GOOD = [("casa", "house"), ("café", "coffee"), ("λόγος", "word"), ("שלום", "peace")]
TEXTS = ["%s:%s" % pair for pair in GOOD]


def feed(items):
    body = "".join("<item><word1>%s</word1><word2>%s</word2></item>" % pair for pair in items)
    return ('<?xml version="1.0"?><feed><news>hostile news</news>%s</feed>' % body).encode("utf-8")


def huge(announce):
    """About 100 MB of items, made as they are sent; with or without a length."""
    block = b"<item><word1>w</word1><word2>m</word2></item>" * 1000
    count = 100000000 // len(block)
    head = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
    if announce:
        head += "Content-Length: %d\r\n" % (count * len(block))
    yield (head + "\r\n").encode()
    for _ in range(count):
        yield block


def answer(status, body, length=None, extra=""):
    head = "HTTP/1.1 %s\r\nContent-Type: text/xml\r\nContent-Length: %d\r\nConnection: close\r\n%s\r\n" % (
        status, len(body) if length is None else length, extra)
    return head.encode() + body


class HostileServer:
    """Raw loopback server: /auth/<case>.xml picks the bytes on the wire."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.host = "127.0.0.1:%d" % self.port
        threading.Thread(target=self.accept, daemon=True).start()

    def reply(self, path):
        case = path.rsplit("/", 1)[-1][:-len(".xml")]
        if case == "good":
            return answer("200 OK", feed(GOOD))
        if case == "cut":  # announces more than it sends, then closes
            body = feed([("corte", "cut")])
            return answer("200 OK", body, length=len(body) + 400)
        if case == "loop":
            return answer("302 Found", b"again", extra="Location: http://%s%s\r\n" % (self.host, path))
        if case == "garbage":
            return answer("200 OK", bytes((i * 7919 + 13) % 256 for i in range(4000)))
        if case == "empty":
            return answer("200 OK", feed([]))
        if case in ("huge", "endless"):
            return huge(announce=case == "huge")
        return answer("404 Not Found", b"<html>no such case</html>")

    def serve(self, conn):
        with conn:
            conn.settimeout(10)
            data = b""
            try:
                while b"\r\n\r\n" not in data:
                    chunk = conn.recv(4096)
                    if not chunk:
                        return
                    data += chunk
                path = data.split(b" ", 2)[1].decode("latin-1")
                reply = self.reply(path)
                for chunk in [reply] if isinstance(reply, bytes) else reply:
                    conn.sendall(chunk)
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass

    def accept(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def stop(self):
        self.sock.close()


class HostileFeeds(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = HostileServer()
        cls.s = h.Session("hostile")
        cls.s.settings(Log=1, FeedHost=cls.server.host, MaxShowStrings=10)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()
        cls.server.stop()

    def run_saver(self, case):
        """One run with KeyCode=case, ended by a pointer move; its log."""
        self.s.settings(KeyCode=case)
        self.s.clear_logs()
        proc = self.s.saver("/s")
        self.addCleanup(h.end_process, proc)
        # Lines are drawn only once window creation, feed step included, is over.
        shown = self.s.shot_until(lambda sh: sh.lit_rows() > 10 or proc.poll() is not None, 90)
        self.assertIsNone(proc.poll(), "%s: the saver ended by itself" % case)
        self.assertTrue(shown, "%s: nothing shown" % case)
        self.s.xdotool("mousemove_relative", "--", "10", "0")
        self.assertEqual(proc.wait(timeout=20), 0, case)
        log = self.s.log_messages()
        self.assertEqual(log[-1], "WM_DESTROY Clean Exit", case)
        return log

    def test_hostile_answers_leave_the_cache_of_the_good_day(self):
        log = self.run_saver("good")
        self.assertIn("WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry.",
                      log)
        cache = self.s.regdump(h.DATA_KEY)
        self.assertEqual([cache[n][1] for n in sorted(cache)], TEXTS)

        why = {
            "cut": "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 12030",
            "loop": "GETRSSFEED WinHttpReceiveResponse failed, Error Code = 12156",
            "garbage": "GETRSSFEED WinHttpReadData End of Data Transfer, size=4000",
            "empty": "GETRSSFEED News String=|hostile news|",
            # 100 MB, refused once past 8 MiB: announced, or grown without a length.
            "huge": "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 8",
            "endless": "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 8",
        }
        for case, line in why.items():
            with self.subTest(case=case):
                log = self.run_saver(case)
                self.assertIn(line, log)
                self.assertIn("WM_CREATE Returned from GETRSSFEED, No strings were pulled, we have a problem.", log)
                self.assertIn("WM_CREATE Returned from GETSTRINGSFROMREG, with %d strings." % len(TEXTS), log)
                self.assertFalse([m for m in log if m.startswith(("DELETESTRINGSINREG", "SAVESTRINGSINREG"))])
                # Every cached text became a display line (released at the end).
                released = [m for m in log if m.startswith("WM_DESTROY g") and "Strings(" in m]
                self.assertEqual(len(released), len(TEXTS))
                self.assertEqual(self.s.regdump(h.DATA_KEY), cache)


if __name__ == "__main__":
    unittest.main(verbosity=2)
