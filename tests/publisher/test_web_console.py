import codecs
import datetime
import getpass
import gzip
import html
import re
import sqlite3
import unittest.mock

from support import Console
from publisher import accounts, fetches, store

PAGES = ("/decks", "/decks/d", "/decks/d/words/1", "/keys", "/keys/K", "/news", "/delivery", "/activity", "/users")


def lines_of(page):
    """The texts of the elements of class news and line, in order, as a browser shows them."""
    found = re.findall(r'<li class="(news|line)">(.*?)</li>', page.decode("utf-8"), re.S)
    return [html.unescape(text) for _, text in found]


class AccessTest(Console):
    def setUp(self):
        super().setUp()
        self.ok("key", "add", "K", "--deck", "d", "--start", "2026-01-01", "--per-day", "1")

    def test_nothing_but_the_login_page_and_its_styles_without_logging_in(self):
        for path in PAGES + ("/", "/no-such-page"):
            with self.subTest(path=path):
                response = self.client.get(path)
                self.assertEqual(response.status_code, 302)
                self.assertTrue(response.location.startswith("/login"), response.location)
        self.assertEqual(self.client.get("/login").status_code, 200)
        with self.client.get("/static/console.css") as styles:
            self.assertEqual(styles.status_code, 200)
        self.assertEqual(self.client.post("/keys", data={"key": "X"}).status_code, 302)
        self.assertEqual(self.query("SELECT COUNT(*) FROM keys"), [(1,)])

    def test_each_role_sees_everything_and_changes_only_its_share(self):
        changes = [  # (path, form, the least role that may, how to tell it happened)
            ("/keys", {"key": "N1", "deck": "d", "start": "2026-01-01", "per_day": "2", "tz": "UTC"}, "editor",
             "SELECT COUNT(*) FROM keys WHERE code = 'N1'"),
            ("/keys/K/change", {"deck": "d", "start": "2026-02-01", "per_day": "3", "tz": "UTC"}, "editor",
             "SELECT COUNT(*) FROM keys WHERE start = '2026-02-01'"),
            ("/news", {"text": "hello all", "from_date": "2026-01-01", "key": ""}, "editor",
             "SELECT COUNT(*) FROM news"),
            ("/decks/d/words/1/delete", {}, "editor", "SELECT 3 - COUNT(*) FROM words"),
            ("/users", {"name": "new", "role": "viewer", "password": "long enough"}, "admin",
             "SELECT COUNT(*) FROM users WHERE name = 'new'"),
        ]
        for role in ("viewer", "editor", "admin"):
            for path in PAGES:
                client = self.app.test_client()
                self.login(role, client)
                expected = 403 if path in ("/activity", "/users") and role != "admin" else 200
                with self.subTest(role=role, path=path):
                    self.assertEqual(client.get(path).status_code, expected)
        for path, form, least, done in changes:
            for role in ("viewer", "editor", "admin"):
                if accounts.may(role, least):
                    continue
                client = self.app.test_client()
                self.login(role, client)
                with self.subTest(role=role, path=path):
                    self.assertEqual(client.post(path, data=form).status_code, 403)
                    self.assertEqual(self.query(done), [(0,)])
            client = self.app.test_client()
            self.login(least, client)
            with self.subTest(role=least, path=path):
                self.assertEqual(client.post(path, data=form).status_code, 302)
                self.assertEqual(self.query(done), [(1,)])

    def test_a_form_without_its_csrf_token_changes_nothing(self):
        self.login("editor")
        self.app.config["WTF_CSRF_ENABLED"] = True
        form = {"key": "N1", "deck": "d", "start": "2026-01-01", "per_day": "2", "tz": "UTC"}
        response = self.client.post("/keys", data=form)
        self.assertEqual(response.status_code, 400)
        self.assertIn(b"nothing was changed", response.data)
        self.assertNotIn(b"Traceback", response.data)
        self.assertEqual(self.query("SELECT COUNT(*) FROM keys"), [(1,)])
        token = re.search(rb'name="csrf_token" value="([^"]+)"', self.client.get("/keys").data).group(1).decode()
        self.assertEqual(self.client.post("/keys", data=dict(form, csrf_token=token)).status_code, 302)
        self.assertEqual(self.query("SELECT COUNT(*) FROM keys"), [(2,)])

    def test_five_failures_lock_the_login_with_the_wrong_password_message(self):
        for _ in range(5):
            refused = self.client.post("/login", data={"username": "editor", "password": "guess"})
            self.assertEqual(refused.status_code, 401)
        locked = self.client.post("/login", data={"username": "editor", "password": self.PASSWORD})
        self.assertEqual(locked.status_code, 401)
        self.assertEqual(re.findall(rb'role="alert">(.*?)<', locked.data), re.findall(rb'role="alert">(.*?)<',
                                                                                       refused.data))
        self.assertIn("locked", self.query("SELECT what FROM activity ORDER BY id DESC LIMIT 1")[0][0])
        # Other accounts are not locked; the lock ends after 15 minutes.
        self.login("viewer", self.app.test_client())
        db = store.open_db(self.db)
        self.addCleanup(db.close)
        later = self.query("SELECT locked_until FROM users WHERE name = 'editor'")[0][0] + 1
        self.assertEqual(accounts.log_in(db, "editor", self.PASSWORD, now=later), "editor")

    def test_failures_spread_over_more_than_15_minutes_do_not_lock(self):
        db = store.open_db(self.db)
        self.addCleanup(db.close)
        for minute in range(0, 40, 5):  # eight failures, never five within a quarter of an hour
            self.assertIsNone(accounts.log_in(db, "editor", "guess", now=1e9 + minute * 60))
        self.assertEqual(accounts.log_in(db, "editor", self.PASSWORD, now=1e9 + 41 * 60), "editor")

    def test_session_cookie_flags_and_a_new_password_ends_old_sessions(self):
        cookie = self.login("editor").headers["Set-Cookie"]
        self.assertIn("HttpOnly", cookie)
        self.assertIn("SameSite=Lax", cookie)
        self.assertNotIn("Secure", cookie)
        self.assertEqual(self.client.get("/decks").status_code, 200)
        with unittest.mock.patch("sys.stdin", __import__("io").StringIO("another secret\n")):
            self.ok("user", "passwd", "editor")
        self.assertEqual(self.client.get("/decks").status_code, 302)
        self.assertEqual(self.query("SELECT who, via FROM activity ORDER BY id DESC LIMIT 1")[0][1], "command line")
        from publisher.web import create_app
        proxied = create_app(self.db, behind_proxy=True, upload_dir=self.path("uploads"))
        proxied.config["WTF_CSRF_ENABLED"] = False
        self.assertIn("Secure", self.login("viewer", proxied.test_client()).headers["Set-Cookie"])

    def test_a_session_ends_after_8_hours_idle_and_on_logging_out(self):
        self.login("viewer")
        import time
        now = time.time()
        with unittest.mock.patch("time.time", return_value=now + 7.9 * 3600):
            self.assertEqual(self.client.get("/decks").status_code, 200)  # and the cookie is signed anew
        with unittest.mock.patch("time.time", return_value=now + 15.8 * 3600):
            self.assertEqual(self.client.get("/decks").status_code, 200)
        with unittest.mock.patch("time.time", return_value=now + 24.1 * 3600):
            self.assertEqual(self.client.get("/decks").status_code, 302)
        self.login("viewer")
        self.client.post("/logout")
        self.assertEqual(self.client.get("/decks").status_code, 302)

    def test_changes_from_both_doors_are_in_the_activity_log(self):
        self.login("editor")
        self.client.post("/news", data={"text": "from the console", "from_date": "2026-01-01", "key": "K"})
        log = self.query("SELECT who, via, what FROM activity ORDER BY id")
        self.assertEqual(log[0][1:], ("command line", "deck 'd' imported: 3 words"))
        self.assertEqual(log[0][0], getpass.getuser())
        self.assertEqual(log[-2][2], "key 'K' added: deck 'd', start 2026-01-01, 1 a day, zone UTC")
        self.assertEqual(log[-1], ("editor", "console", "news set from 2026-01-01 for key 'K': from the console"))
        self.login("admin")
        page = self.client.get("/activity").data.decode()
        self.assertLess(page.index("from the console"), page.index("deck &#39;d&#39; imported"))

    def test_the_last_admin_stays(self):
        self.login("admin")
        self.assertEqual(self.client.post("/users/admin", data={"action": "role", "role": "editor"}).status_code, 400)
        self.assertEqual(self.client.post("/users/admin", data={"action": "remove"}).status_code, 400)
        self.assertEqual(self.query("SELECT role FROM users WHERE name = 'admin'"), [("admin",)])


class ImportTest(Console):
    CSV = "word,translation,notes\ncasa,house,\n,nothing,\nperro,dog,x\n<img src=x onerror=alert(1)>,img,\n"

    def setUp(self):
        super().setUp()
        self.login("editor")

    def preview(self, url="/decks/upload", content=CSV, **fields):
        response = self.upload(url, content, **fields)
        self.assertEqual(response.status_code, 200, response.data)
        return response, re.search(rb'name="token" value="([^"]+)"', response.data).group(1).decode()

    def test_nothing_is_stored_before_the_second_step(self):
        response, token = self.preview(name="new")
        page = response.data.decode()
        self.assertIn("<td>field &#39;word&#39;</td>".replace("field &#39;", "").replace("&#39;", ""), page)
        self.assertIn("empty; every row needs a word and a translation", page)
        self.assertRegex(page, r'<td class="num">3</td><td>word</td>')
        self.assertIn("&lt;img src=x onerror=alert(1)&gt;", page)
        self.assertNotIn("<img src=x", page)
        self.assertEqual(self.query("SELECT COUNT(*) FROM decks WHERE name = 'new'"), [(0,)])
        # "Import" of a file with refused rows stores nothing either; "the good rows" does.
        self.client.post("/decks/import", data={"token": token, "action": "all"})
        self.assertEqual(self.query("SELECT COUNT(*) FROM decks WHERE name = 'new'"), [(0,)])
        done = self.client.post("/decks/import", data={"token": token, "action": "good"})
        self.assertEqual(done.status_code, 302)
        self.assertEqual(self.query("SELECT word FROM words JOIN decks ON id = deck_id WHERE name = 'new' "
                                    "ORDER BY position"), [("casa",), ("perro",), ("<img src=x onerror=alert(1)>",)])
        self.assertEqual(self.query("SELECT imported_by FROM decks WHERE name = 'new'"), [("editor",)])
        self.assertIn("1 row skipped", self.query("SELECT what FROM activity ORDER BY id DESC")[0][0])
        # A preview is answered once.
        self.client.post("/decks/import", data={"token": token, "action": "good"})
        self.assertEqual(self.query("SELECT COUNT(*) FROM activity WHERE what LIKE 'deck ''new''%'"), [(1,)])

    def test_cancel_and_other_accounts_previews_store_nothing(self):
        _, token = self.preview(name="d", content="word,translation\nx,y\n")
        other = self.app.test_client()
        self.login("admin", other)
        other.post("/decks/import", data={"token": token, "action": "all"})
        self.assertEqual(self.query("SELECT COUNT(*) FROM words WHERE word = 'x'"), [(0,)])
        self.client.post("/decks/import", data={"token": token, "action": "cancel"})
        self.client.post("/decks/import", data={"token": token, "action": "all"})
        self.assertEqual(self.query("SELECT COUNT(*) FROM words WHERE word = 'x'"), [(0,)])
        self.assertEqual(self.query("SELECT COUNT(*) FROM words"), [(3,)])

    def test_the_console_reads_a_file_as_the_command_line_does(self):
        files = {"plain.csv": self.CSV, "export.txt": "#separator:tab\n#html:true\nuno<br>dos\tone &amp; two\n",
                 "bom.tsv": "\ufeffword\ttranslation\ttype\nperro\tdog\tnoun\n",
                 "utf16.txt": codecs.BOM_UTF16_LE + "word\ttranslation\nca\u00f1a\tcane\n".encode("utf-16-le"),
                 "sep.csv": "sep=;\r\nword;translation\r\ncasa;house\r\ncasa;house\r\nperro;dog\r\n"}
        for name, content in files.items():
            with self.subTest(file=name):
                code, _, _ = self.cli("deck", "import", "cli-" + name, self.write(name, content), "--skip-bad")
                self.assertEqual(code, 0)
                response, token = self.preview(content=content, name="web-" + name)
                if name == "sep.csv":
                    self.assertIn(b"1 repeated row", response.data)
                self.client.post("/decks/import", data={"token": token, "action": "good"})
                sql = ("SELECT position, word, translation, notes, type FROM words JOIN decks ON id = deck_id "
                       "WHERE name = ? ORDER BY position")
                self.assertEqual(self.query(sql, "web-" + name), self.query(sql, "cli-" + name))

    def test_refusals_keep_what_was_typed(self):
        response = self.upload("/decks/upload", "word;translation\n", name="kept name")
        self.assertEqual(response.status_code, 400)
        self.assertIn(b'value="kept name"', response.data)
        response = self.upload("/decks/upload", "nonsense,columns\n1,2\n", name="kept")
        self.assertIn(b"unknown column", response.data)
        self.assertNotIn(self.dir.encode(), response.data)  # the server's file names stay on the server
        form = {"key": "bad key", "deck": "d", "start": "2026-01-01", "per_day": "7", "tz": "Mars/Base"}
        response = self.client.post("/keys", data=form)
        self.assertEqual(response.status_code, 400)
        self.assertIn(b'value="bad key"', response.data)
        word = {"word": "a]]<", "translation": "kept translation"}
        response = self.client.post("/decks/d/words/1", data=word)
        self.assertEqual(response.status_code, 400)
        self.assertIn(b"kept translation", response.data)
        self.assertEqual(self.query("SELECT word FROM words WHERE position = 0"), [("a",)])

    def test_a_file_over_16_mib_is_refused_with_413(self):
        response = self.upload("/decks/upload", b"word,translation\n" + b"a,b\n" * (4 << 20) + b"x", name="big")
        self.assertEqual(response.status_code, 413)
        self.assertIn(b"16 MiB", response.data)
        self.assertEqual(self.query("SELECT COUNT(*) FROM decks WHERE name = 'big'"), [(0,)])

    def test_keys_from_a_csv_refused_line_by_line(self):
        content = ("key,deck,start,per_day,tz\nA1,d,2026-01-01,5,Europe/Paris\nA2,nodeck,2026-01-01,5,UTC\n"
                   "A1,d,2026-01-01,5,UTC\nA3,d,2026-02-30,5,UTC\nA4,d,2026-01-01,many\nA5,d,2026-01-01,3\n")
        response, token = self.preview("/keys/upload", content)
        refused = re.findall(r'<tr><td class="num">(\d+)</td><td>[^<]*</td><td>([^<]*)</td>', response.data.decode())
        self.assertEqual([line for line, _ in refused], ["3", "4", "5", "6"])
        self.assertIn("no deck named", refused[0][1])
        self.assertEqual(self.query("SELECT COUNT(*) FROM keys"), [(0,)])
        self.client.post("/keys/import", data={"token": token, "action": "good"})
        self.assertEqual(self.query("SELECT code, tz FROM keys ORDER BY code"), [("A1", "Europe/Paris"), ("A5", "UTC")])

    def test_deleting_a_word_moves_the_later_ones_up(self):
        self.client.post("/decks/d/words/1/delete")
        self.assertEqual(self.query("SELECT position, word FROM words ORDER BY position"), [(0, "b"), (1, "c")])


class KeyPageTest(Console):
    def test_the_key_page_shows_what_show_extra_prints(self):
        self.deck("g", "word,translation,transliteration,type,gender,notes\n"
                       "ca<sa,house & home,ka-sa,noun,feminine,pl. casas\nperro,dog,,noun,,\n"
                       "gato,\"cat, a \"\"pet\"\"\",,noun,masculine,\nluz,light,,,,\n")
        self.ok("key", "add", "G", "--deck", "g", "--start", "2026-03-01", "--per-day", "2", "--tz", "Asia/Tokyo")
        self.ok("news", "set", "for all <b>keys</b>", "--from", "2026-03-02")
        self.ok("news", "set", "just G", "--from", "2026-03-05", "--key", "G")
        self.login("viewer")
        for date in ("2026-03-01", "2026-03-02", "2026-03-04", "2026-03-05", "2026-04-01"):
            with self.subTest(date=date):
                shown = self.ok("show", "G", "--extra", "--date", date).splitlines()
                page = self.client.get("/keys/G?date=" + date)
                self.assertEqual(page.status_code, 200)
                self.assertEqual(lines_of(page.data), shown)
        before = self.client.get("/keys/G?date=2026-02-28").data
        self.assertEqual(lines_of(before), [])
        self.assertIn(b"No feed that day", before)
        calendar = self.client.get("/keys/G?date=2026-03-01").data.decode()
        self.assertRegex(calendar, r'date=2026-03-02"[^>]*>\s*<span class="date">[^<]*</span>\s*'
                                   r'<span class="new">2 new</span> <span class="back">2 returning</span>')


class DeliveryTest(Console):
    LOG = ('203.0.113.9 - - [{d}/Mar/2026:23:30:00 +0000] "GET /auth/P.xml HTTP/1.1" 200 612 "-" "Tavelin/1.0"\n'
           '203.0.113.9 - - [{d}/Mar/2026:23:30:00 +0000] "GET /auth/P.xml HTTP/1.1" 200 612 "-" "Tavelin/1.0"\n'
           '198.51.100.7 - - [{d}/Mar/2026:10:00:00 +0100] "GET /auth/U.xml?x=1 HTTP/1.1" 304 0\n'
           '198.51.100.7 - - [{d}/Mar/2026:10:00:01 +0100] "GET /auth/U.xml HTTP/1.1" 404 0\n'
           '198.51.100.7 - - [{d}/Mar/2026:10:00:02 +0100] "HEAD /auth/U.xml HTTP/1.1" 200 0\n'
           '198.51.100.7 - - [{d}/Mar/2026:10:00:03 +0100] "GET /auth/Nobody.xml HTTP/1.1" 200 0\n'
           '198.51.100.7 - - [{d}/Mar/2026:10:00:04 +0100] "GET /other HTTP/1.1" 200 0\n'
           'not a log line at all\n')

    def setUp(self):
        super().setUp()
        self.ok("key", "add", "P", "--deck", "d", "--start", "2026-01-01", "--per-day", "1", "--tz", "Europe/Paris")
        self.ok("key", "add", "U", "--deck", "d", "--start", "2026-01-01", "--per-day", "1")

    def counts(self):
        return self.query("SELECT key_code, day, count, first, last FROM fetches ORDER BY key_code, day")

    def test_an_access_log_counts_each_request_once(self):
        log = self.write("access.log", self.LOG.format(d="01"))
        rotated = self.write("access.log.2.gz", gzip.compress((self.LOG.format(d="01") +
                                                               self.LOG.format(d="02")).encode()))
        self.assertIn("3 fetches counted", self.ok("fetches", "import", log))
        expected = [("P", "2026-03-02", 2, "2026-03-01 23:30:00", "2026-03-01 23:30:00"),  # Paris is past midnight
                    ("U", "2026-03-01", 1, "2026-03-01 09:00:00", "2026-03-01 09:00:00")]
        self.assertEqual(self.counts(), expected)
        self.assertIn("0 fetches counted, 3 counted before", self.ok("fetches", "import", log))
        self.assertEqual(self.counts(), expected)
        self.assertIn("3 fetches counted, 3 counted before", self.ok("fetches", "import", rotated))
        self.assertEqual(len(self.counts()), 4)
        # The summaries the pages read agree with the counts, also after a key goes.
        for removed in (None, "P"):
            if removed:
                self.ok("key", "remove", removed)
            self.assertEqual(self.query("SELECT day, keys FROM fetch_days WHERE keys > 0 ORDER BY day"),
                             self.query("SELECT day, COUNT(*) FROM fetches GROUP BY day ORDER BY day"))
            self.assertEqual(self.query("SELECT key_code, day FROM last_fetches ORDER BY key_code"),
                             self.query("SELECT key_code, MAX(day) FROM fetches GROUP BY key_code ORDER BY key_code"))
        self.assertIn("cannot read", self.refused("fetches", "import", self.path("missing.log")))

    def test_serve_counts_its_answers_without_making_tables(self):
        recorder = fetches.Recorder(self.db, interval=3600, log=lambda text: None)
        self.addCleanup(recorder.close)
        moment = datetime.datetime(2026, 3, 1, 23, 30, tzinfo=datetime.timezone.utc)
        for _ in range(3):
            recorder.fetched("P", datetime.date(2026, 3, 2), moment)
        recorder.flush()
        recorder.fetched("P", datetime.date(2026, 3, 2), moment + datetime.timedelta(hours=1))
        recorder.flush()
        self.assertEqual(self.counts(), [("P", "2026-03-02", 4, "2026-03-01 23:30:00", "2026-03-02 00:30:00")])
        old = self.path("old.db")
        sqlite3.connect(old).close()
        logged = []
        stale = fetches.Recorder(old, interval=3600, log=logged.append)
        stale.fetched("P", datetime.date(2026, 3, 2))
        stale.close()
        self.assertEqual(sqlite3.connect(old).execute("SELECT name FROM sqlite_master").fetchall(), [])
        self.assertEqual(len(logged), 1)

    def test_a_locked_database_waits_in_memory_and_the_console_answers_503(self):
        self.login("viewer")
        recorder = fetches.Recorder(self.db, interval=3600, log=lambda text: None)
        self.addCleanup(recorder.close)
        writer = sqlite3.connect(self.db, isolation_level=None)
        writer.execute("BEGIN EXCLUSIVE")
        recorder.fetched("U", datetime.date(2026, 3, 1))
        recorder.flush(timeout=0.05)
        response = self.client.get("/decks")
        self.assertEqual(response.status_code, 503)
        self.assertEqual(response.headers["Retry-After"], "30")
        writer.execute("ROLLBACK")
        writer.close()
        recorder.flush()
        self.assertEqual([row[:3] for row in self.counts()], [("U", "2026-03-01", 1)])

    def test_the_delivery_page_lists_keys_never_fetched_and_stale(self):
        today = datetime.datetime.now(datetime.timezone.utc).date()
        db = store.open_db(self.db)
        with store.transaction(db):
            eight_days_ago = (today - datetime.timedelta(days=8)).isoformat()
            db.execute("INSERT INTO fetches VALUES ('P', ?, 3, 'x', 'y')", (eight_days_ago,))
        fetches.summarise(db)
        db.close()
        self.login("viewer")
        page = self.client.get("/delivery").data.decode()
        self.assertIn("Never fetched: 1", page)
        self.assertIn("Not fetched for 7 days: 1", page)
        listed = self.client.get("/keys?stale=7").data.decode()
        self.assertIn("2 keys.", listed)
        self.assertIn("1 key.", self.client.get("/keys?stale=9").data.decode())
