"""Shared by the publisher's tests: a scratch folder, the command run in-process."""
import contextlib
import io
import os
import shutil
import tempfile
import unittest
import unittest.mock

from publisher import cli

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Scratch(unittest.TestCase):
    """Each test gets its own folder and database."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tavelin-publish-test-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.db = os.path.join(self.dir, "t.db")

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, content):
        data = content.encode("utf-8") if isinstance(content, str) else content
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def cli(self, *args):
        """(exit code, stdout, stderr) of the command."""
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            try:
                code = cli.main(["--db", self.db] + list(args))
            except SystemExit as exit:
                code = exit.code
        return code, out.getvalue(), err.getvalue()

    def ok(self, *args):
        code, out, err = self.cli(*args)
        self.assertEqual(code, 0, err)
        return out

    def refused(self, *args):
        code, out, err = self.cli(*args)
        self.assertNotEqual(code, 0, out)
        self.assertEqual(len(err.strip().splitlines()), 1, err)
        return err.strip()

    def deck(self, name="d", csv="word,translation\na,1\nb,2\nc,3\n"):
        self.ok("deck", "import", name, self.write(name + ".csv", csv))


class Console(Scratch):
    """A database with a deck, a key and one account of each role, and the web console
    over it through Flask's test client. CSRF is checked only where a test asks for it."""

    PASSWORD = "correct horse"

    def setUp(self):
        super().setUp()
        from publisher.web import create_app
        self.deck()
        for role in ("admin", "editor", "viewer"):
            self.user(role, role)
        self.app = create_app(self.db, upload_dir=self.path("uploads"))
        self.app.config.update(WTF_CSRF_ENABLED=False, DB_BUSY_MS=50)
        self.client = self.app.test_client()

    def user(self, name, role):
        with unittest.mock.patch("sys.stdin", io.StringIO(self.PASSWORD + "\n")):
            self.ok("user", "add", name, "--role", role)

    def login(self, name, client=None):
        response = (client or self.client).post("/login", data={"username": name, "password": self.PASSWORD})
        self.assertEqual(response.status_code, 302, response.data)
        return response

    def query(self, sql, *args):
        from publisher import store
        db = store.open_db(self.db)
        try:
            return db.execute(sql, args).fetchall()
        finally:
            db.close()

    def upload(self, url, content, **fields):
        data = dict(fields, file=(io.BytesIO(content.encode("utf-8") if isinstance(content, str) else content),
                                  "upload.csv"))
        return self.client.post(url, data=data, content_type="multipart/form-data")
