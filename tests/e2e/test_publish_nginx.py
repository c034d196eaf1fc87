#!/usr/bin/env python3
"""A published folder served by Debian's nginx: tavelin-publish publish writes the
day's documents, nginx (started here on a free loopback port with a configuration
written here) serves them, and Tavelin.scr /s with "FeedHost" pointing at it caches
exactly tavelin-publish show's lines for that date."""
import csv
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
PUBLISH = os.path.join(harness.SOURCE, "tools", "tavelin-publish")
KEY = "ACME-4711"
FIELDS = ["word", "translation", "transliteration", "type", "tense", "gender", "notes"]
# Markup as text, references as text, astral characters and white space at the edges,
# ahead of the Spanish sample deck.
AWKWARD = [
    ["a < b & c", "]]> x", "", "symbol", "", "", "&lt;not a tag&gt;"],
    ["😀 emoji", "𝄞 clef", "", "", "", "", ""],
    ["  padded  ", "&amp; as text", "", "", "", "", "<b>bold</b>"],
    ["λόγος", "<word>", "lógos", "noun", "", "masculine", ""],
]

CONFIG = """daemon off;
worker_processes 1;
{user}pid {run}/nginx.pid;
error_log {run}/error.log info;
events {{ worker_connections 64; }}
http {{
    access_log {run}/access.log;
    client_body_temp_path {run}/client_body;
    proxy_temp_path {run}/proxy;
    fastcgi_temp_path {run}/fastcgi;
    uwsgi_temp_path {run}/uwsgi;
    scgi_temp_path {run}/scgi;
    types {{ text/xml xml; }}
    default_type application/octet-stream;
    charset utf-8;
    charset_types text/xml;
    server {{
        listen 127.0.0.1:{port};
        root {site};
    }}
}}
"""


class Nginx:
    """nginx in the foreground serving site, with its pid, logs and temporary files in
    run; started on a free loopback port (another when that one is taken meanwhile)."""

    def __init__(self, site, run, probe):
        self.run = run
        for _ in range(5):
            self.port = harness.closed_port()
            self.host = "127.0.0.1:%d" % self.port
            conf = os.path.join(run, "nginx.conf")
            # A master started as root would hand its workers to "nobody", who may not read site.
            user = "user root;\n" if os.geteuid() == 0 else ""
            with open(conf, "w") as f:
                f.write(CONFIG.format(user=user, run=run, port=self.port, site=site))
            self.proc = subprocess.Popen([NGINX, "-e", os.path.join(run, "error.log"), "-p", run, "-c", conf],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.answer = harness.wait_for(lambda: self.get(probe) or self.proc.poll() is not None, 30)
            if self.proc.poll() is None:
                return
            if "Address already in use" not in self.log("error.log"):
                break
        raise RuntimeError("nginx did not start: " + self.log("error.log"))

    def get(self, path):
        """(status, headers, body) of a GET, or None while nothing answers."""
        try:
            with urllib.request.urlopen("http://%s%s" % (self.host, path), timeout=5) as r:
                return r.status, r.headers, r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.headers, e.read()
        except OSError:
            return None

    def log(self, name):
        path = os.path.join(self.run, name)
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def stop(self):
        harness.end_process(self.proc, grace=10)


def publish(db, *args):
    done = subprocess.run([sys.executable, PUBLISH, "--db", db, *args], capture_output=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError("tavelin-publish %s: %s" % (" ".join(args), done.stderr.decode("utf-8", "replace")))
    return done.stdout.decode("utf-8").split("\n")[:-1]


class PublishedFolderOverNginx(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(harness.SCR):
            raise AssertionError("no Tavelin.scr in %s: build the Tavelin target first" % harness.BUILD)
        cls.run_dir = tempfile.mkdtemp(prefix="tavelin-nginx-")
        cls.nginx = cls.desk = None
        try:
            cls.publish_site()
            cls.nginx = Nginx(cls.site, cls.run_dir, "/auth/%s.xml" % KEY)
            cls.desk = harness.Session("publish-nginx", screen=(1280, 720))
        except Exception:
            cls.tearDownClass()
            raise

    @classmethod
    def publish_site(cls):
        db = os.path.join(cls.run_dir, "tavelin.db")
        deck = os.path.join(cls.run_dir, "deck.csv")
        with open(os.path.join(harness.SOURCE, "samples", "decks", "es-en.csv"), newline="", encoding="utf-8") as f:
            sample = [[row.get(name) or "" for name in FIELDS] for row in csv.DictReader(f)]
        with open(deck, "w", newline="", encoding="utf-8") as f:
            csv.writer(f, lineterminator="\n").writerows([FIELDS] + AWKWARD + sample)
        # The day the saver asks for: a week after the start, so reviews come too.
        cls.today = datetime.datetime.now(datetime.timezone.utc).date().isoformat()
        start = (datetime.date.fromisoformat(cls.today) - datetime.timedelta(days=7)).isoformat()
        publish(db, "deck", "import", "es", deck)
        publish(db, "key", "add", KEY, "--deck", "es", "--start", start, "--per-day", "4")
        publish(db, "news", "set", "Week two: <b>reviews</b> & new words 😀", "--from", start)
        cls.site = os.path.join(cls.run_dir, "site")
        publish(db, "publish", cls.site, "--date", cls.today)
        cls.shown = publish(db, "show", KEY, "--date", cls.today, "--extra")

    @classmethod
    def tearDownClass(cls):
        if cls.desk:
            cls.desk.close()
        if cls.nginx:
            cls.nginx.stop()
        shutil.rmtree(cls.run_dir, ignore_errors=True)

    def test_saver_caches_the_published_lines(self):
        status, headers, body = self.nginx.answer
        self.assertEqual((status, headers["Content-Type"]), (200, "text/xml; charset=utf-8"))
        with open(os.path.join(self.site, "auth", KEY + ".xml"), "rb") as f:
            self.assertEqual(body, f.read())
        news, lines = self.shown[0], self.shown[1:]
        self.assertTrue(news.startswith("news: "), self.shown)
        self.assertGreaterEqual(len(lines), 12, "a week in, the day holds new words and reviews")

        desk = self.desk
        desk.settings(Log=1, Extra=1, KeyCode=KEY, FeedHost=self.nginx.host)
        saver = desk.saver("/s")
        self.addCleanup(harness.end_process, saver)
        saved = "WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry."
        harness.wait_for(lambda: saver.poll() is not None or (desk.logs() and saved in desk.log_messages()), 60,
                         step=0.25)
        self.assertIsNone(saver.poll(), "the saver ended early with %s" % saver.returncode)
        log = desk.log_messages()
        self.assertIn(saved, log)
        self.assertIn("GETRSSFEED News String=|%s|" % news[len("news: "):], log)

        for step in range(20):  # any real movement ends a full-screen saver
            desk.xdotool("mousemove", str(200 + 40 * (step % 2)), "300")
            if harness.wait_for(lambda: saver.poll() is not None, 1):
                break
        self.assertEqual(saver.wait(timeout=10), 0)
        self.assertEqual(desk.cached_texts(), lines)

        requests = [line for line in self.nginx.log("access.log").splitlines() if "TavelinScreenSaver" in line]
        self.assertEqual(len(requests), 1, requests)
        self.assertIn('"GET /auth/%s.xml HTTP/1.1" 200 ' % KEY, requests[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
