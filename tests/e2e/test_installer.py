#!/usr/bin/env python3
"""Tavelin-Setup.exe under Wine, the way an administrator deploys it: a silent install
with the deployment options, the installed saver run full screen against the sample
feed service, an upgrade that keeps the values, and a silent uninstall that leaves
nothing behind."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.environ.get("TAVELIN_BUILD_DIR", "")
SOURCE = os.environ.get("TAVELIN_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_ROOT = os.environ.get("TAVELIN_WINE_ROOT") or os.path.join(BUILD, "wine")
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

SETTINGS = r"Software\Ombrelle Corporation Ltd\Tavelin ScreenSaver"
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin"
DESKTOP = r"Control Panel\Desktop"
INSTALLED_SCR = r"C:\windows\system32\Tavelin.scr"
UNINSTALLER = r"C:\Program Files\Tavelin\Uninstall.exe"
COMPANY = "Café Müller GmbH"
KEY = "es-en-daily"
FIRST_LINE = "casa:house, noun, gender:feminine, [plural casas]"


def unescape_reg(text):
    """A string as Wine's registry files write it: \\\\, \\", \\n and \\x<hex> escapes."""
    out, i = [], 0
    while i < len(text):
        ch = text[i]
        if ch != "\\":
            out.append(ch)
            i += 1
            continue
        nxt = text[i + 1]
        if nxt == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:]).group(0)
            out.append(chr(int(digits, 16)))
            i += 2 + len(digits)
        else:
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(nxt, nxt))
            i += 2
    return "".join(out)


def read_key(reg_file, key):
    """Values of one key in a Wine hive file, or None when the key is absent.
    Strings come back as str, dwords as int; other types as their raw text."""
    header = "[" + key.replace("\\", "\\\\") + "]"
    values, inside = None, False
    with open(reg_file, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                inside = line.split("] ")[0] + "]" == header or line == header
                if inside:
                    values = {}
                continue
            if not inside or not line.startswith('"'):
                continue
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
            name, data = unescape_reg(m.group(1)), m.group(2)
            if data.startswith('"'):
                values[name] = unescape_reg(data[1:-1])
            elif data.startswith("dword:"):
                values[name] = int(data[6:], 16)
            else:
                values[name] = data
    return values


def subkeys(reg_file, key):
    prefix = "[" + key.replace("\\", "\\\\") + "\\\\"
    with open(reg_file, encoding="utf-8", errors="replace") as f:
        return [line for line in f if line.startswith(prefix)]


class WineDesk:
    """A private prefix copied from the build's template, its own Xvfb and the sample
    feed service; every process it starts is ended by its id."""

    def __init__(self):
        template = subprocess.run([os.path.join(SOURCE, "tools", "wine", "wine-template"), WINE_ROOT],
                                  check=True, capture_output=True, text=True).stdout.strip()
        self.prefix = tempfile.mkdtemp(prefix="installer.", dir=WINE_ROOT)
        shutil.copytree(template, self.prefix, symlinks=True, dirs_exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="installer-work.", dir=WINE_ROOT)
        self.xvfb = self.server = None
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x720x24",
                                      "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as r:
            self.display = ":" + r.readline().strip()
        self.server_log = os.path.join(self.work, "feed_server.log")
        with open(self.server_log, "w") as out:
            self.server = subprocess.Popen([sys.executable, "-u", os.path.join(SOURCE, "tools", "feed_server.py")],
                                           stdout=out, stderr=subprocess.STDOUT)
        self.port = None
        for _ in range(100):
            first = self.requests()[:1]
            if first and first[0].startswith("PORT="):
                self.port = int(first[0][5:])
                break
            time.sleep(0.05)
        assert self.port, "the feed server did not report its port: %r" % self.requests()
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                        DISPLAY=self.display, WINEDLLOVERRIDES="mscoree,mshtml=")

    def wine(self, *args, timeout=120):
        return subprocess.run([WINE64, *args], env=self.env, cwd=self.work, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")

    def settle(self):
        """Waits for every Wine process of the prefix to end, so the hives are on disk."""
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120, check=False)

    def hive(self, name):
        return os.path.join(self.prefix, name)

    def unix_path(self, windows_path):
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def requests(self):
        """What the feed server has printed so far, line by line."""
        with open(self.server_log, encoding="utf-8") as f:
            return f.read().splitlines()

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for proc in (self.server, self.xvfb):
            if proc is not None and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        shutil.rmtree(self.prefix, ignore_errors=True)
        if os.environ.get("TAVELIN_KEEP_E2E"):
            print("kept", self.work)
        else:
            shutil.rmtree(self.work, ignore_errors=True)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scr = os.path.join(BUILD, "Tavelin.scr")
        if not os.path.isfile(cls.scr):
            raise AssertionError("no Tavelin.scr in TAVELIN_BUILD_DIR=%r: build the Tavelin target first" % BUILD)
        built = subprocess.run([os.path.join(SOURCE, "installer", "build.sh"), cls.scr, os.path.join(BUILD, "installer")],
                               capture_output=True, text=True, timeout=300)
        if built.returncode != 0:
            raise AssertionError("installer/build.sh failed:\n" + built.stderr)
        cls.setup = built.stdout.strip().splitlines()[-1]
        os.makedirs(WINE_ROOT, exist_ok=True)
        cls.desk = WineDesk()

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "desk", None):
            cls.desk.close()

    def test_deploy_run_upgrade_uninstall(self):
        desk = self.desk
        feed_host = "127.0.0.1:%d" % desk.port
        # An administrator's command line, quoted the way cmd.exe passes it.
        done = desk.wine(self.setup, "/S", "/KEYCODE=" + KEY, "/COMPANY=" + COMPANY, "/FEEDHOST=" + feed_host)
        self.assertEqual(done.returncode, 0, done.stdout)
        desk.settle()
        self.check_installed(feed_host)

        # The dialog would write these; the test wants a log and the grammar notes.
        for name in ("Log", "Extra"):
            desk.wine("reg", "add", "HKLM\\" + SETTINGS, "/v", name, "/t", "REG_DWORD", "/d", "1", "/f")
        desk.settle()
        self.run_installed_saver()

        # An upgrade without options keeps what was deployed, day cache included.
        done = desk.wine(self.setup, "/S")
        self.assertEqual(done.returncode, 0, done.stdout)
        desk.settle()
        settings = read_key(desk.hive("system.reg"), SETTINGS)
        self.assertEqual((settings["KeyCode"], settings["Company"], settings["FeedHost"]), (KEY, COMPANY, feed_host))
        self.assertEqual(read_key(desk.hive("system.reg"), SETTINGS + r"\Data")["0001"], FIRST_LINE)

        done = desk.wine(UNINSTALLER, "/S")
        self.assertEqual(done.returncode, 0, done.stdout)
        desk.settle()  # the uninstaller runs on from a copy of itself; wait for that too
        self.check_uninstalled()

    def check_installed(self, feed_host):
        desk = self.desk
        installed = desk.unix_path(INSTALLED_SCR)
        self.assertTrue(os.path.isfile(installed), "no " + INSTALLED_SCR)
        self.assertEqual(sha256(installed), sha256(self.scr))
        system = desk.hive("system.reg")
        settings = read_key(system, SETTINGS)
        self.assertIsNotNone(settings, "settings key missing (or written to the 32-bit view)")
        self.assertEqual(settings, {"KeyCode": KEY, "Company": COMPANY, "FeedHost": feed_host})
        self.assertIsNone(read_key(system, "Software\\Wow6432Node\\Ombrelle Corporation Ltd\\Tavelin ScreenSaver"))
        entry = read_key(system, UNINSTALL)
        self.assertIsNotNone(entry, "no Programs and Features entry")
        self.assertEqual(entry["DisplayName"], "Tavelin Screensaver")
        self.assertEqual(entry["QuietUninstallString"], '"%s" /S' % UNINSTALLER)
        self.assertTrue(os.path.isfile(desk.unix_path(UNINSTALLER)))
        desktop = read_key(desk.hive("user.reg"), DESKTOP)
        self.assertEqual(desktop.get("SCRNSAVE.EXE"), INSTALLED_SCR)
        self.assertEqual(desktop.get("ScreenSaveActive"), "1")

    def run_installed_saver(self):
        desk = self.desk
        saver = subprocess.Popen([WINE64, INSTALLED_SCR, "/s"], env=desk.env, cwd=desk.work,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            log_text = self.wait_for_log(saver, lambda text: text.count("MORAVIKDATA=") >= 21, 60)
            self.assertIn("MORAVIKDATA=|%s|" % FIRST_LINE, log_text)
            self.assertIn("GETRSSFEED URL Resource=|/auth/%s.xml|" % KEY, log_text)
            self.assertIn("GET /auth/%s.xml 200 |TavelinScreenSaver|" % KEY, desk.requests())
            shot = os.path.join(desk.work, "installed.png")
            self.assertTrue(self.wait_for_pixels(shot, 20), "nothing drawn on the screen; see " + shot)
            # Any real movement ends a full-screen saver; keep moving until it does.
            for step in range(20):
                subprocess.run(["xdotool", "mousemove", str(200 + 40 * (step % 2)), "300"],
                               env=desk.env, timeout=10, check=False)
                try:
                    saver.wait(timeout=1)
                    break
                except subprocess.TimeoutExpired:
                    pass
            self.assertEqual(saver.wait(timeout=10), 0)
        finally:
            if saver.poll() is None:
                saver.kill()
                saver.wait()
        desk.settle()
        self.assertIn("WM_DESTROY Clean Exit", self.log_text())
        cache = read_key(desk.hive("system.reg"), SETTINGS + r"\Data")
        self.assertIsNotNone(cache, "no day cache after a good download")
        self.assertEqual(cache.get("0001"), FIRST_LINE)
        self.assertEqual(sorted(cache), ["%04d" % i for i in range(1, 22)])

    def log_text(self):
        logs = sorted(n for n in os.listdir(self.desk.work) if re.match(r"Tavelin_\d{8}_\d{6}\.LOG$", n))
        if not logs:
            return ""
        with open(os.path.join(self.desk.work, logs[-1]), "rb") as f:
            return f.read().decode("utf-16-le", errors="replace")

    def wait_for_log(self, saver, ready, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            text = self.log_text()
            if ready(text):
                return text
            if saver.poll() is not None:
                self.fail("the saver ended with %d before its log showed the feed's lines:\n%s"
                          % (saver.returncode, text[-3000:]))
            time.sleep(0.25)
        self.fail("the log never showed the feed's lines:\n" + self.log_text()[-3000:])

    def wait_for_pixels(self, shot, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.desk.display], capture_output=True, timeout=30)
            subprocess.run(["convert", "xwd:-", shot], input=xwd.stdout, timeout=30, check=True)
            mean = subprocess.run(["convert", shot, "-format", "%[fx:mean]", "info:"],
                                  capture_output=True, text=True, timeout=30).stdout
            if float(mean or 0) > 0.0005:
                return True
            time.sleep(1)
        return False

    def check_uninstalled(self):
        desk = self.desk
        system = desk.hive("system.reg")
        self.assertFalse(os.path.exists(desk.unix_path(INSTALLED_SCR)))
        self.assertIsNone(read_key(system, SETTINGS))
        self.assertEqual(subkeys(system, SETTINGS), [], "the day cache outlived the uninstall")
        self.assertIsNone(read_key(system, UNINSTALL))
        self.assertFalse(os.path.exists(desk.unix_path(UNINSTALLER)))
        self.assertNotIn("SCRNSAVE.EXE", read_key(desk.hive("user.reg"), DESKTOP))


class RegistryFileTest(unittest.TestCase):
    """The reader of Wine's hive files, on the escapes that matter here."""

    def test_values_and_escapes(self):
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="utf-8") as f:
            f.write('WINE REGISTRY Version 2\n\n[Software\\\\A B\\\\C] 1796636882\n#time=1\n'
                    '"Company"="Caf\\xe9 M\\xfcller \\"GmbH\\""\n"Path"="C:\\\\x\\\\y"\n"N"=dword:0000002a\n\n'
                    '[Software\\\\A B\\\\C\\\\Data] 1\n"0001"="a"\n')
        try:
            self.assertEqual(read_key(f.name, r"Software\A B\C"),
                             {"Company": 'Café Müller "GmbH"', "Path": r"C:\x\y", "N": 42})
            self.assertEqual(len(subkeys(f.name, r"Software\A B\C")), 1)
            self.assertIsNone(read_key(f.name, r"Software\A B"))
        finally:
            os.unlink(f.name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
