#!/usr/bin/env python3
"""Tavelin.scr /s with FeedHost=https://localhost:<port> against loopback TLS
servers whose test CA a helper put into the prefix's machine "Root" store:
the trusted server's day is shown and cached; a server with a certificate from
an unknown CA, for another name or expired, a redirect to plain HTTP and a
host with an unknown scheme each fail in the log, show the cached day and leave
the cache as the trusted day wrote it. Last, an http:// host is fetched as a
bare host always was. Each run's log is kept as an artefact."""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

sys.path.insert(0, os.path.join(h.SOURCE, "tests", "wine", "https"))
import server as tls  # noqa: E402

SEND_FAILED = "GETRSSFEED WinHttpSendRequest failed, Error Code = 12157"
NO_STRINGS = "WM_CREATE Returned from GETRSSFEED, No strings were pulled, we have a problem."


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class SaverOverHttps(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="tavelin-tls-")
        cls.servers = tls.Servers(cls.folder)
        cls.s = h.Session("https")
        code, out = cls.s.run(os.path.join(h.TOOLS, "add_root_cert.exe"), windows_path(cls.servers.pki.ca))
        if code != 0:
            raise RuntimeError("add_root_cert failed with %d: %s" % (code, out))
        cls.s.settings(Log=1, MaxShowStrings=10, KeyCode="day")

    @classmethod
    def tearDownClass(cls):
        cls.s.close()
        cls.servers.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def run_saver(self, name, feed_host, key="day"):
        """One run ended by a pointer move; its log messages, kept as https-<name>.log."""
        self.s.settings(FeedHost=feed_host, KeyCode=key)
        self.s.clear_logs()
        proc = self.s.saver("/s")
        self.addCleanup(h.end_process, proc)
        # Lines are drawn only once window creation, feed step included, is over.
        shown = self.s.shot_until(lambda sh: sh.lit_rows() > 10 or proc.poll() is not None, 45)
        self.assertIsNone(proc.poll(), "%s: the saver ended by itself" % name)
        self.assertTrue(shown, "%s: nothing shown" % name)
        self.s.xdotool("mousemove_relative", "--", "10", "0")
        self.assertEqual(proc.wait(timeout=20), 0, name)
        shutil.copyfile(self.s.logs()[-1], h.artefact("https-%s.log" % name))
        log = self.s.log_messages()
        self.assertEqual(log[-1], "WM_DESTROY Clean Exit", name)
        return log

    def assert_cached_day_shown(self, log, cache):
        self.assertIn("WM_CREATE Returned from GETSTRINGSFROMREG, with %d strings." % len(cache), log)
        self.assertFalse([m for m in log if m.startswith(("DELETESTRINGSINREG", "SAVESTRINGSINREG"))])
        self.assertEqual(self.s.regdump(h.DATA_KEY), cache)

    def test_trusted_day_then_every_refusal_keeps_it(self):
        port = self.servers.port("trusted")
        log = self.run_saver("trusted", self.servers.feed_host("trusted"))
        self.assertIn("GETRSSFEED URL Hostname=|localhost|", log)
        self.assertIn("GETRSSFEED URL Port=|%d|" % port, log)
        self.assertIn("WM_CREATE Returned from GETRSSFEED, 2 strings pulled.", log)
        self.assertIn("WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry.",
                      log)
        cache = self.s.regdump(h.DATA_KEY)
        self.assertEqual([cache[n][1] for n in sorted(cache)], tls.texts("trusted"))

        refusals = {
            "unknown": (self.servers.feed_host("unknown"), "day", SEND_FAILED),
            "wrongname": (self.servers.feed_host("wrongname"), "day", SEND_FAILED),
            "expired": (self.servers.feed_host("expired"), "day", SEND_FAILED),
            "tohttp": (self.servers.feed_host("redirect"), "tohttp",
                       "GETRSSFEED WinHttpReceiveResponse failed, Error Code = 12156"),
            "ftp": ("ftp://localhost:%d" % port, "day",
                    "WM_CREATE Feed host |ftp://localhost:%d| names a scheme other than http:// or https://, "
                    "not fetching." % port),
        }
        plain_before = len(self.servers["plain"].requests)
        for name, (feed_host, key, why) in refusals.items():
            with self.subTest(case=name):
                log = self.run_saver(name, feed_host, key)
                self.assertIn(why, log)
                self.assert_cached_day_shown(log, cache)
                if name == "ftp":
                    self.assertFalse([m for m in log if m.startswith("GETRSSFEED")], "an unknown scheme was fetched")
        self.assertEqual(self.servers["plain"].requests[plain_before:], [], "the redirect to plain HTTP was followed")

    def test_http_scheme_is_the_plain_fetch_as_before(self):
        port = self.servers.port("plain")
        log = self.run_saver("http", "http://127.0.0.1:%d" % port, "plain")
        self.assertIn("GETRSSFEED URL Port=|%d|" % port, log)
        self.assertIn("GETRSSFEED URL Resource=|/auth/plain.xml|", log)
        self.assertIn("WM_CREATE Returned from GETRSSFEED, 1 strings pulled.", log)
        self.assertEqual(self.s.cached_texts(), tls.texts("plain"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
