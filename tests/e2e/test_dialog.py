#!/usr/bin/env python3
"""The configuration dialog end to end under Wine + Xvfb: Tavelin.scr /c (or
with no switch) driven from outside, its exit code and what it left in the
registry and the log. One private prefix and X display for the whole run."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

CAPTION = "Tavelin ScreenSaver Setup"
SETTINGS = r"Software\Ombrelle Corporation Ltd\Tavelin ScreenSaver"
ID_OK, ID_SHOW, ID_LOG, ID_GRAMMAR, ID_LOGO, ID_VERSION = 1, 1003, 1004, 1007, 1008, 1006


def dialog_command(switch):
    """Tavelin.scr with the switch; before the saver's entry exists, the probe
    over a module given in TAVELIN_DIALOG_MODULE."""
    if os.path.exists(h.SCR):
        return [h.SCR] + ([switch] if switch else [])
    module = os.environ.get("TAVELIN_DIALOG_MODULE")
    if module:
        return [os.path.join(h.TOOLS, "dialog_probe.exe"), module]
    raise RuntimeError("no Tavelin.scr in " + h.BUILD)


class DialogSession(h.Session):
    """The harness's private prefix and display, with the dialog's driver."""

    def __init__(self):
        super().__init__("dialog", screen=(1024, 768))
        # Wine's service processes come up with the first program: start them
        # here, with no captured pipe for them to inherit and hold open.
        try:
            self.start(os.path.join(h.TOOLS, "regread.exe"), "HKLM", "Software").wait(timeout=120)
        except Exception:
            self.close()
            raise

    def drive(self, *steps):
        code, out = self.run(os.path.join(h.TOOLS, "dialog_driver.exe"), *[str(s) for s in steps])
        if code != 0:
            raise AssertionError("dialog_driver %s: %s" % (steps, out))
        return out.split("\n")

    def values(self):
        """Every value of the settings key: name -> (type, hex bytes)."""
        code, out = self.run(os.path.join(h.TOOLS, "regread.exe"), "HKLM", SETTINGS)
        if code == 2:
            return {}
        values = {}
        for line in out.splitlines():
            name, kind, _, data = line.split("\t")
            values[name] = (int(kind), data)
        return values

    def dword(self, name):
        kind, data = self.values()[name]
        assert kind == 4 and len(data) == 8, (name, kind, data)
        return int.from_bytes(bytes.fromhex(data), "little")

    def screenshot(self, path, rect):
        x, y, w, hgt = rect
        xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True, timeout=30).stdout
        # The client area and the caption above it.
        top = max(0, y - 30)
        subprocess.run(["convert", "xwd:-", "-crop", "%dx%d+%d+%d" % (w + 8, hgt + (y - top) + 8, max(0, x - 4), top),
                        path], input=xwd, check=True, timeout=30)


class DialogEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = DialogSession()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def open_dialog(self, switch="/c"):
        process = self.wine.start(*dialog_command(switch))
        # Wait on the X server first: a driver started while the dialog's process
        # is still starting may attach to another desktop and never see it.
        subprocess.run(["xdotool", "search", "--sync", "--name", CAPTION], env=self.wine.env, timeout=60,
                       stdout=subprocess.DEVNULL, check=True)
        self.wine.drive("wait")
        return process

    def finish(self, process):
        try:
            return process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            raise

    def test_1_enter_stores_the_clamped_number(self):
        process = self.open_dialog("/c")
        self.assertEqual(self.wine.drive("text", ID_SHOW)[0], "7")
        self.assertEqual(self.wine.drive("text", ID_VERSION)[0], "1, 6, 3, 171")
        self.wine.drive("set", ID_SHOW, "25")
        rect = [int(v) for v in self.wine.drive("rect")[0].split()]
        self.wine.screenshot(h.artefact("dialog.png"), rect)
        self.assertEqual(self.wine.press_until_exit(process, CAPTION, "Return"), 1)
        self.assertEqual(self.wine.dword("MaxShowStrings"), 10)
        self.assertEqual([self.wine.dword(n) for n in ("Log", "Extra", "Logo")], [0, 0, 0])

    def test_2_escape_changes_nothing(self):
        before = self.wine.values()
        process = self.open_dialog("")  # no switch at all
        self.assertEqual(self.wine.drive("text", ID_SHOW)[0], "10")
        self.wine.drive("click", ID_GRAMMAR)
        self.assertEqual(self.wine.drive("checked", ID_GRAMMAR)[0], "1")
        self.assertEqual(self.wine.press_until_exit(process, CAPTION, "Escape"), 0)
        self.assertEqual(self.wine.values(), before)

    def test_3_check_boxes_reach_their_values_and_the_log(self):
        process = self.open_dialog("/c")
        self.wine.drive("click", ID_LOG, "click", ID_GRAMMAR, "click", ID_LOGO, "set", ID_SHOW, "3", "click", ID_OK)
        self.assertEqual(self.finish(process), 1)
        self.assertEqual([self.wine.dword(n) for n in ("MaxShowStrings", "Log", "Extra", "Logo")], [3, 1, 1, 1])
        # Opened again it shows what is stored, and "Log" opens this run's log.
        process = self.open_dialog("/c")
        shown = self.wine.drive("checked", ID_LOG, "checked", ID_GRAMMAR, "checked", ID_LOGO, "text", ID_SHOW)
        self.assertEqual(shown[:4], ["1", "1", "1", "3"])
        self.wine.drive("click", ID_LOGO, "click", ID_OK)
        self.assertEqual(self.finish(process), 1)
        self.assertEqual([self.wine.dword(n) for n in ("Log", "Extra", "Logo")], [1, 1, 0])
        logs = self.wine.logs()
        self.assertEqual(len(logs), 1, logs)
        with open(logs[0], "rb") as f:
            text = f.read().decode("utf-16-le")
        self.assertIn(",SCREENSAVERCONFIGUREDIALOG dwMaxShowStrings=3\r\n", text)
        self.assertIn(",INTTOSTRING Output String=|3|\r\n", text)
        self.assertIn(",SCREENSAVERCONFIGUREDIALOG pMaxShowStrings=|3|\r\n", text)


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() and result.testsRun == 3 else 1)
