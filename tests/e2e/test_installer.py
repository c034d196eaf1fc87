#!/usr/bin/env python3
"""Tavelin-Setup.exe under Wine, the way an administrator deploys it: a silent install
with the deployment options, the installed saver run full screen against the sample
feed service, an upgrade that keeps the values, and a silent uninstall that leaves
nothing behind."""
import hashlib
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SETTINGS = harness.SETTINGS_KEY
DATA = harness.DATA_KEY
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin"
DESKTOP = r"HKCU\Control Panel\Desktop"
INSTALLED_SCR = r"C:\windows\system32\Tavelin.scr"
UNINSTALLER = r"C:\Program Files\Tavelin\Uninstall.exe"
COMPANY = "Café Müller GmbH"
KEY = "es-en-daily"
FIRST_LINE = "casa:house, noun, gender:feminine, [plural casas]"
SAMPLE_ITEMS = 21


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def texts(values):
    """{name: text} of a regdump result; the installer stores strings with their NUL."""
    return {name: data.rstrip("\0") for name, (_, data) in (values or {}).items()}


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(harness.SCR):
            raise AssertionError("no Tavelin.scr in %s: build the Tavelin target first" % harness.BUILD)
        built = subprocess.run([os.path.join(harness.SOURCE, "installer", "build.sh"), harness.SCR,
                                os.path.join(harness.BUILD, "installer")], capture_output=True, text=True, timeout=300)
        if built.returncode != 0:
            raise AssertionError("installer/build.sh failed:\n" + built.stderr)
        cls.setup = built.stdout.strip().splitlines()[-1]
        cls.feeds = harness.FeedServer(os.path.join(harness.SOURCE, "samples", "feeds"))
        # With its scheme, as a deployment over HTTPS would give it; http:// fetches as a bare host does.
        cls.feed_host = "http://" + cls.feeds.host
        cls.desk = harness.Session("installer", screen=(1280, 720))

    @classmethod
    def tearDownClass(cls):
        cls.desk.close()
        cls.feeds.stop()

    def unix_path(self, windows_path):
        return os.path.join(self.desk.prefix, "drive_c", *windows_path[3:].split("\\"))

    def test_deploy_run_upgrade_uninstall(self):
        desk = self.desk
        # What an administrator types; Windows splits it into these arguments.
        code, out = desk.run(self.setup, "/S", "/KEYCODE=" + KEY, "/COMPANY=" + COMPANY,
                             "/FEEDHOST=" + self.feed_host, "/RECALL=1", timeout=120)
        self.assertEqual(code, 0, out)
        self.check_installed()

        # The dialog would write these; the test wants a log and the grammar notes.
        desk.settings(Log=1, Extra=1)
        self.run_installed_saver()

        # An upgrade without options keeps what was deployed, day cache included.
        code, out = desk.run(self.setup, "/S", timeout=120)
        self.assertEqual(code, 0, out)
        settings = texts(desk.regdump(SETTINGS))
        self.assertEqual((settings["KeyCode"], settings["Company"], settings["FeedHost"], settings["Recall"]),
                         (KEY, COMPANY, self.feed_host, "1"))
        # A RECALL that is neither 0 nor 1 is refused; 0 turns it off.
        code, out = desk.run(self.setup, "/S", "/RECALL=yes", timeout=120)
        self.assertEqual(code, 2, out)
        self.assertEqual(texts(desk.regdump(SETTINGS))["Recall"], "1")
        code, out = desk.run(self.setup, "/S", "/RECALL=0", timeout=120)
        self.assertEqual(code, 0, out)
        self.assertEqual(desk.regdump(SETTINGS)["Recall"], (4, "0"))
        self.assertEqual(texts(desk.regdump(DATA)).get("0001"), FIRST_LINE)

        # A feed host longer than the saver reads would silently send it to the built-in host.
        code, out = desk.run(self.setup, "/S", "/FEEDHOST=https://" + "h" * 248, timeout=120)
        self.assertEqual(code, 2, out)
        self.assertEqual(texts(desk.regdump(SETTINGS))["FeedHost"], self.feed_host)
        longest = "https://" + "h" * 247
        code, out = desk.run(self.setup, "/S", "/FEEDHOST=" + longest, timeout=120)
        self.assertEqual(code, 0, out)
        self.assertEqual(texts(desk.regdump(SETTINGS))["FeedHost"], longest)

        code, out = desk.run(UNINSTALLER, "/S", timeout=120)
        self.assertEqual(code, 0, out)
        # The uninstaller goes on from a copy of itself; it is done when its file is gone.
        harness.wait_for(lambda: not os.path.exists(self.unix_path(UNINSTALLER)), 60, step=0.5)
        self.check_uninstalled()

    def check_installed(self):
        desk = self.desk
        installed = self.unix_path(INSTALLED_SCR)
        self.assertTrue(os.path.isfile(installed), "no " + INSTALLED_SCR)
        self.assertEqual(sha256(installed), sha256(harness.SCR))
        # regdump is a 64-bit program: a value written to the 32-bit view would be missing here.
        self.assertEqual(texts(desk.regdump(SETTINGS)),
                         {"KeyCode": KEY, "Company": COMPANY, "FeedHost": self.feed_host, "Recall": "1"})
        entry = texts(desk.regdump(UNINSTALL))
        self.assertEqual(entry.get("DisplayName"), "Tavelin Screensaver")
        self.assertEqual(entry.get("QuietUninstallString"), '"%s" /S' % UNINSTALLER)
        self.assertTrue(os.path.isfile(self.unix_path(UNINSTALLER)))
        desktop = texts(desk.regdump(DESKTOP))
        self.assertEqual(desktop.get("SCRNSAVE.EXE"), INSTALLED_SCR)
        self.assertEqual(desktop.get("ScreenSaveActive"), "1")

    def run_installed_saver(self):
        desk = self.desk
        saver = desk.start(INSTALLED_SCR, "/s")
        lines = lambda: [m for m in (desk.log_messages() if desk.logs() else []) if "MORAVIKDATA=" in m]
        harness.wait_for(lambda: len(lines()) >= SAMPLE_ITEMS or saver.poll() is not None, 60, step=0.25)
        self.assertIsNone(saver.poll(), "the saver ended early with %s" % saver.returncode)
        self.assertEqual(len(lines()), SAMPLE_ITEMS, lines())
        self.assertIn("GETRSSFEED Tavelin Processing, MORAVIKDATA=|%s|" % FIRST_LINE, lines())
        self.assertIn("GETRSSFEED URL Resource=|/auth/%s.xml|" % KEY, desk.log_messages())

        png = harness.artefact("installed-saver.png")
        drawn = harness.wait_for(lambda: desk.shot(png).lit_rows(threshold=100) >= 10, 60, step=1)
        if not drawn:
            windows = desk.xdotool("search", "--onlyvisible", "--name", ".*").stdout.split()
            self.fail("nothing but black on the screen; see %s\nsaver exit: %s; visible windows: %s\nlog ends: %s"
                      % (png, saver.poll(), windows, desk.log_messages()[-8:]))

        # Any real movement ends a full-screen saver; keep moving until it does.
        for step in range(20):
            desk.xdotool("mousemove", str(200 + 40 * (step % 2)), "300")
            if harness.wait_for(lambda: saver.poll() is not None, 1):
                break
        self.assertEqual(saver.wait(timeout=10), 0)
        self.assertEqual(desk.log_messages()[-1], "WM_DESTROY Clean Exit")

        cache = texts(desk.regdump(DATA))
        self.assertEqual(sorted(cache), ["%04d" % i for i in range(1, SAMPLE_ITEMS + 1)])
        self.assertEqual(cache["0001"], FIRST_LINE)

        self.feeds.stop()
        requests = self.feeds.proc.stdout.read().splitlines()
        self.assertEqual(requests, ["GET /auth/%s.xml 200 |TavelinScreenSaver|" % KEY])

    def check_uninstalled(self):
        desk = self.desk
        self.assertFalse(os.path.exists(self.unix_path(INSTALLED_SCR)))
        self.assertIsNone(desk.regdump(SETTINGS))
        self.assertIsNone(desk.regdump(DATA), "the day cache outlived the uninstall")
        self.assertIsNone(desk.regdump(UNINSTALL))
        self.assertNotIn("SCRNSAVE.EXE", texts(desk.regdump(DESKTOP)))


if __name__ == "__main__":
    unittest.main(verbosity=2)
