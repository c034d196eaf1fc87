#!/usr/bin/env python3
"""tools/wine/wine-leftovers finds the processes of a prefix, or of every prefix
under a folder, by their WINEPREFIX or their working folder; ends only the Wine
ones with --kill; and gives one that is ending --wait seconds to go."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402


class WineLeftovers(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="tavelin-leftovers-")
        self.prefix = os.path.join(self.root, "run.1")
        os.makedirs(self.prefix)
        self.addCleanup(shutil.rmtree, self.root, ignore_errors=True)

    def sleeper(self, seconds="60", cwd=None, prefix=None):
        env = dict(os.environ)
        env.pop("WINEPREFIX", None)
        if prefix:
            env["WINEPREFIX"] = prefix
        proc = subprocess.Popen(["sleep", seconds], cwd=cwd, env=env)
        self.addCleanup(h.end_process, proc)
        return proc

    def leftovers(self, *args):
        return subprocess.run([h.LEFTOVERS, *args], capture_output=True, text=True, timeout=60)

    def test_finds_by_prefix_and_by_folder_and_ends_only_wine_processes(self):
        self.assertEqual(self.leftovers(self.root).returncode, 0)
        wine = self.sleeper(prefix=self.prefix + "/")
        shell = self.sleeper(cwd=self.prefix)
        elsewhere = self.sleeper(prefix=self.root + "-other")
        for path in (self.prefix, self.root):
            found = self.leftovers(path)
            self.assertEqual(found.returncode, 1, path)
            self.assertIn(": %d sleep" % wine.pid, found.stdout)
            self.assertIn(": %d sleep" % shell.pid, found.stdout)
            self.assertNotIn(": %d sleep" % elsewhere.pid, found.stdout)
        self.assertEqual(self.leftovers("--kill", self.root).returncode, 1)
        self.assertEqual(wine.wait(timeout=10), -9)
        self.assertIsNone(shell.poll(), "a process that only sits in the folder was ended")
        self.assertIsNone(elsewhere.poll())

    def test_waits_for_a_process_that_is_ending(self):
        ending = self.sleeper("1", prefix=self.prefix)
        self.assertEqual(self.leftovers(self.prefix).returncode, 1)
        self.assertEqual(self.leftovers("--wait", "30", self.prefix).returncode, 0)
        self.assertEqual(ending.poll(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
