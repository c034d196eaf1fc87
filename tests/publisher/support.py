"""Shared by the publisher's tests: a scratch folder, the command run in-process."""
import contextlib
import io
import os
import shutil
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, ROOT)

from publisher import cli  # noqa: E402


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
