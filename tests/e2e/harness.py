"""End-to-end harness: runs Tavelin.scr under Wine in a private prefix copied
from the build's template, with its own Xvfb and its own wineserver, and looks
at it only from outside: command line, registry, HTTP, log file, screen pixels,
pointer and keys. Every process it starts is ended by its id; every wait is
bounded."""
import glob
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time

SOURCE = os.environ.get("TAVELIN_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("TAVELIN_BUILD_DIR") or os.path.join(SOURCE, "build", "mingw")
WINE_ROOT = os.environ.get("TAVELIN_WINE_ROOT") or os.path.join(BUILD, "wine")
WINE64 = os.environ.get("TAVELIN_WINE64", "/usr/lib/wine/wine64")
REG_EXE = r"C:\windows\system32\reg.exe"
WINESERVER = "/usr/lib/wine/wineserver"
LEFTOVERS = os.path.join(SOURCE, "tools", "wine", "wine-leftovers")
SCR = os.path.join(BUILD, "Tavelin.scr")
TOOLS = os.path.join(BUILD, "tools")
SETTINGS_KEY = r"HKLM\Software\Ombrelle Corporation Ltd\Tavelin ScreenSaver"
DATA_KEY = SETTINGS_KEY + r"\Data"
SCREEN = (1920, 1080)
MONITOR = (1280, 720)  # each monitor of a two-monitor session
TURN = "WM_TIMER,ID_TURNTIMER Message Received"


def unescape(data):
    """regdump's text back: one pass, so an escaped backslash before "t" stays a backslash."""
    return re.sub(r"\\([\\tnr])", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), "\\"), data)


def wait_for(predicate, timeout, step=0.1):
    """predicate() until it is true or timeout seconds pass; its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= end:
            return value
        time.sleep(step)


def closed_port():
    """A loopback port that nothing listens on: a feed host that refuses at once."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def end_process(proc, grace=3.0):
    """Ends one process we started, by its id: TERM, then KILL."""
    if proc is None or proc.poll() is not None:
        return
    try:
        os.kill(proc.pid, signal.SIGTERM)
        proc.wait(timeout=grace)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        try:
            os.kill(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait(timeout=grace)


class Shot:
    """A screenshot read from xwd's format (24-bit TrueColor, 32 bits a pixel)."""

    def __init__(self, data):
        self.data = data
        fields = struct.unpack(">25I", data[:100])
        header_size, width, height = fields[0], fields[4], fields[5]
        self.byte_order, bits, self.stride = fields[6], fields[11], fields[12]
        ncolors = fields[19]
        # Under Xorg, Wine's window may give the root a 24-bit depth in 32-bit pixels.
        if bits != 32 and self.stride != 4 * width:
            raise ValueError("expected 32 bits per pixel, got %d" % bits)
        self.width, self.height = width, height
        self.pixels = data[header_size + 12 * ncolors:]

    def save(self, png):
        subprocess.run(["convert", "xwd:-", png], input=self.data, check=True, timeout=60)
        return self

    def pixel(self, x, y):
        i = y * self.stride + 4 * x
        b0, b1, b2, b3 = self.pixels[i:i + 4]
        return (b2, b1, b0) if self.byte_order == 0 else (b1, b2, b3)

    def row(self, y):
        return self.pixels[y * self.stride:(y + 1) * self.stride]

    def coloured_rows(self, top, bottom, threshold=100):
        """Rows in [top, bottom) holding a pixel with a channel of at least threshold."""
        return [y for y in range(top, bottom) if max(self.row(y)) >= threshold]

    def bands(self, top, bottom, threshold=100):
        """Runs of consecutive coloured rows, as (first, last) pairs."""
        runs = []
        for y in self.coloured_rows(top, bottom, threshold):
            if runs and runs[-1][1] == y - 1:
                runs[-1][1] = y
            else:
                runs.append([y, y])
        return [tuple(r) for r in runs]

    def count(self, predicate, top, bottom, step=1):
        n = 0
        for y in range(top, bottom):
            for x in range(0, self.width, step):
                if predicate(self.pixel(x, y)):
                    n += 1
        return n

    def lit_rows(self, threshold=1):
        """How many rows hold a pixel with any channel at or above threshold: a single
        line of text lights dozens, whatever columns it happens to cover."""
        return len(self.coloured_rows(0, self.height, threshold))


class FeedServer:
    """tools/feed_server.py on a free loopback port, serving one folder."""

    def __init__(self, feeds_dir):
        self.proc = subprocess.Popen(["python3", "-u", os.path.join(SOURCE, "tools", "feed_server.py"),
                                      "--feeds", feeds_dir], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True)
        line = self.proc.stdout.readline().strip()
        if not line.startswith("PORT="):
            end_process(self.proc)
            raise RuntimeError("feed server did not report its port: %r" % line)
        self.port = int(line[5:])
        self.host = "127.0.0.1:%d" % self.port

    def stop(self):
        end_process(self.proc)


def write_feed(folder, key, items, news=None):
    """A feed document of (word1, word2) pairs as folder/key.xml."""
    parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<feed>\n']
    if news:
        parts.append("<news>%s</news>\n" % news)
    for w1, w2 in items:
        parts.append("<item><word1>%s</word1><word2>%s</word2></item>\n" % (w1, w2))
    parts.append("</feed>\n")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, key + ".xml"), "w", encoding="utf-8") as f:
        f.write("".join(parts))


def read_display_number(read_fd, what):
    """The display number an X server writes to its -displayfd, as ":n"."""
    number = b""
    end = time.monotonic() + 30  # a failure limit: a loaded machine starts it late
    while not number.endswith(b"\n") and time.monotonic() < end:
        chunk = os.read(read_fd, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_fd)
    if not number.strip():
        raise RuntimeError("%s did not start" % what)
    return ":" + number.decode().strip()


class Session:
    """One private Wine prefix with its own X display and wineserver. With a
    layout ("right-of" or "left-of"), the display is an Xorg server with the
    dummy driver and two monitors of MONITOR, the second one placed so beside
    the primary, instead of one Xvfb screen."""

    def __init__(self, name, screen=SCREEN, white_root=False, layout=None):
        os.makedirs(WINE_ROOT, exist_ok=True)
        template = subprocess.run([os.path.join(SOURCE, "tools", "wine", "wine-template"), WINE_ROOT],
                                  check=True, capture_output=True, text=True, timeout=300).stdout.strip()
        self.prefix = tempfile.mkdtemp(prefix="e2e-%s-" % name, dir=WINE_ROOT)
        subprocess.run(["cp", "-a", template + "/.", self.prefix + "/"], check=True, timeout=120)
        self.work = os.path.join(self.prefix, "work")
        os.makedirs(self.work)
        self.started = []
        self.xvfb = self.wineserver = None
        try:
            if layout:
                self._start_two_monitors(layout)
            else:
                self._start_display(screen, ["-wr"] if white_root else [])
            self.env = dict(os.environ, WINEPREFIX=self.prefix, DISPLAY=self.display, WINEDEBUG="-all",
                            LC_ALL="C.UTF-8")
            self.wineserver = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except Exception:
            self.close()
            raise

    def _start_display(self, screen, extra):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % screen,
                                      "-nolisten", "tcp", "-noreset", *extra], pass_fds=(write_fd,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.display = read_display_number(read_fd, "Xvfb")

    def _start_two_monitors(self, layout):
        # Wine reads the monitors from the RandR outputs when its first process
        # starts, so the layout is set before the wineserver runs.
        configdir = os.path.join(self.prefix, "xorg.conf.d")  # empty: only our file counts
        os.makedirs(configdir)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xorg", "-displayfd", str(write_fd),
                                      "-config", os.path.join(SOURCE, "tests", "e2e", "xorg-dummy.conf"),
                                      "-configdir", configdir, "-noreset", "-nolisten", "tcp", "-novtswitch",
                                      "-sharevts", "-logfile", os.path.join(self.prefix, "xorg.log")],
                                     pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.display = read_display_number(read_fd, "Xorg")
        env = dict(os.environ, DISPLAY=self.display)
        mode = "%dx%d" % MONITOR
        # The last, a plain query, makes the server probe its outputs again: without it the
        # screen resources Wine reads (the current ones, never probed) still hold one monitor.
        for args in (["--addmode", "DUMMY1", mode],
                     ["--output", "DUMMY0", "--primary", "--output", "DUMMY1", "--mode", mode, "--" + layout,
                      "DUMMY0"],
                     []):
            subprocess.run(["xrandr", *args], env=env, check=True, capture_output=True, timeout=30)

    # --- processes
    def start(self, program, *args, stdout=subprocess.DEVNULL):
        proc = subprocess.Popen([WINE64, program, *args], env=self.env, cwd=self.work, stdout=stdout,
                                stderr=subprocess.DEVNULL, text=stdout != subprocess.DEVNULL)
        self.started.append(proc)
        return proc

    def run(self, program, *args, timeout=60):
        proc = self.start(program, *args, stdout=subprocess.PIPE)
        try:
            out, _ = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            end_process(proc)
            raise
        return proc.returncode, out

    def saver(self, *switches):
        return self.start(SCR, *switches)

    # --- registry
    def reg_add(self, key, name, kind, data):
        # By full path, so Wine starts reg.exe itself rather than through a shell
        # look-up that fails now and then on a loaded machine; and tried again once.
        for attempt in range(3):
            code, out = self.run(REG_EXE, "add", key, "/v", name, "/t", kind, "/d", str(data), "/f", timeout=60)
            if code == 0:
                return
            time.sleep(0.5)
        raise RuntimeError("reg add %s %s failed: %s" % (key, name, out))

    def settings(self, **values):
        """Writes settings values: ints as REG_DWORD, texts as REG_SZ."""
        for name, value in values.items():
            kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
            self.reg_add(SETTINGS_KEY, name, kind, value)

    def regdump(self, key):
        """{name: (type, data)} of one key, read by tools/regdump.exe; None when absent."""
        hive, path = key.split("\\", 1)
        code, out = self.run(os.path.join(TOOLS, "regdump.exe"), hive, path, timeout=60)
        if code != 0:
            return None
        values = {}
        for line in out.splitlines():
            name, kind, data = line.split("\t", 2)
            values[name] = (int(kind), unescape(data))
        return values

    def cached_texts(self):
        values = self.regdump(DATA_KEY) or {}
        return [values[n][1] for n in sorted(values)]

    # --- log files the saver wrote in its working folder
    def logs(self):
        return sorted(glob.glob(os.path.join(self.work, "Tavelin_*.LOG")))

    def log_messages(self, path=None):
        """The message part of every numbered line (after the 30-unit stamp)."""
        path = path or self.logs()[-1]
        with open(path, "rb") as f:
            text = f.read().decode("utf-16-le", errors="replace")
        lines = text.split("\r\n")
        return [line[30:] for line in lines[1:] if len(line) >= 30]

    def turns(self):
        """How many turn ticks the newest log holds so far."""
        return self.log_messages().count(TURN) if self.logs() else 0

    def wait_for_turn_after(self, count, timeout=30):
        """True once the log holds more than count turn ticks. Timer messages come
        after every other message, so a new turn means all input sent before it
        has been handled."""
        return wait_for(lambda: self.turns() > count, timeout, 0.2)

    def clear_logs(self):
        for path in self.logs():
            os.remove(path)

    # --- screen, pointer and keys
    def xdotool(self, *args, timeout=10):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=timeout)

    def shot(self, png=None):
        data = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True, check=True,
                              timeout=30).stdout
        shot = Shot(data)
        return shot.save(png) if png else shot

    def shot_until(self, predicate, timeout, step=0.5):
        """The first screenshot for which predicate holds, or None after timeout."""
        return wait_for(lambda: (lambda shot: shot if predicate(shot) else None)(self.shot()), timeout, step)

    def press_until_exit(self, proc, title, key, tries=6, wait=5):
        """Presses key in the newest visible window called title until proc ends;
        its exit code, or None. Wine may drop a key while a new window's focus is
        still settling, or replace its X window; once the program is ending, a
        second key reaches nothing."""
        for attempt in range(tries):
            if attempt:
                print("%s: pressing %s again, the program is still running" % (title, key), flush=True)
            ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title, timeout=20).stdout.split()
            if ids and self.xdotool("windowfocus", "--sync", ids[-1], timeout=20).returncode == 0:
                self.xdotool("key", key, timeout=20)
            try:
                return proc.wait(timeout=wait)
            except subprocess.TimeoutExpired:
                pass
        return None

    def window_size(self, title):
        """(width, height) of the first window called title, or None."""
        window = self.find_window(title)
        if window is None:
            return None
        shape = self.xdotool("getwindowgeometry", "--shell", window).stdout
        values = dict(line.split("=", 1) for line in shape.split() if "=" in line)
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def find_window(self, title):
        found = self.xdotool("search", "--name", "^%s$" % title)
        ids = found.stdout.split()
        return ids[0] if ids else None

    def close(self):
        """Ends what ran in the prefix, then its display, then removes it; raises
        when a process of the prefix outlived all that."""
        for proc in reversed(self.started):
            end_process(proc)
        if self.wineserver is not None:
            # Ending the server by its id would leave its clients (services.exe,
            # explorer.exe, ...) running: Wine's own kill ends them all with it.
            try:
                subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=60)
                self.wineserver.wait(timeout=30)
                subprocess.run([WINESERVER, "-w"], env=self.env, timeout=60)
            except subprocess.TimeoutExpired:
                end_process(self.wineserver)  # what is left is found and ended below
        end_process(self.xvfb)
        left = subprocess.run([LEFTOVERS, "--wait", "15", "--kill", self.prefix], capture_output=True,
                              text=True, timeout=60)
        if os.environ.get("TAVELIN_E2E_KEEP"):
            print("kept prefix", self.prefix)
        else:
            shutil.rmtree(self.prefix, ignore_errors=True)
        if left.returncode != 0:
            raise RuntimeError("processes outlived their prefix:\n" + left.stdout)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


def artefact(name):
    """A path for a screenshot or log kept after the test, under the build folder."""
    folder = os.path.join(BUILD, "e2e-artefacts")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)
