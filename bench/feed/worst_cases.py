#!/usr/bin/env python3
"""The worst feeds a server can send, measured on Tavelin.scr /s under Wine +
Xvfb with the log on, from outside.

    worst_cases.py [--runs N] [--scr PATH] [--cases a,b] [--bound SECONDS]

Cases (each answer generated as it is sent, never held whole):
  len100   100 MB of tiny items with a Content-Length
  close100 the same without a length, ended by closing the connection
  tiny     just under 8 MiB of tiny items, with a length
  nested   just under 8 MiB of "<a>", each inside the one before
  flat     just under 8 MiB of "<a/>" side by side in one root
  fat      just under 8 MiB of 10,034 items with long words and notes, grammar on

Before each run a good 20-item day is fetched (or, with --day, another case),
so a refused feed shows that day from the cache. For each run, in seconds from starting the process:
  sent   the server has written its last byte (or the client hung up)
  frame  the full-screen window shows (the white root turns black)
  text   a text enters at the right edge: the first turn tick has activated it
  close  from the first pointer move after "text" to the end of the process
  cpu    the saver's CPU time (user + system) up to "text", which the load of
         other programs on the machine does not stretch
and the saver's peak resident memory (VmHWM, MiB), the log's size (MiB) and
how many texts the day cache holds afterwards. A run that shows no text
within --bound seconds, or whose log passes 2 GB, or whose memory passes
4 GB, is stopped and reported with ">". Medians over --runs runs."""
import argparse
import ctypes
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from test_hostile_feeds import HostileServer  # noqa: E402

MIB = 1024 * 1024
GOOD = [("word%02d" % i, "meaning %d" % i) for i in range(20)]
TINY = b"<item><word1>w</word1><word2>m</word2></item>"
LOG_CAP = 2 * 1024 * MIB
MEMORY_CAP_KIB = 4 * 1024 * 1024


def repeated(head, unit, tail, total):
    """(length, chunks): head, as many units as fit in total, tail."""
    count = (total - len(head) - len(tail)) // len(unit)
    block = unit * max(1, 65536 // len(unit))

    def chunks():
        yield head
        left = count
        while left > 0:
            n = min(left, len(block) // len(unit))
            yield block[:n * len(unit)]
            left -= n
        yield tail
    return len(head) + count * len(unit) + len(tail), chunks


def answer(case):
    """(Content-Length or None, chunk generator) for a case."""
    under8 = 8 * MIB - 16
    if case == "good":
        body = ("<feed><news>worst cases</news>%s</feed>" % "".join(
            "<item><word1>%s</word1><word2>%s</word2></item>" % p for p in GOOD)).encode()
        return len(body), lambda: iter([body])
    if case in ("len100", "close100"):
        length, chunks = repeated(b"<feed><news>huge</news>", TINY, b"</feed>", 100 * 1000 * 1000)
        return (length if case == "len100" else None), chunks
    if case == "tiny":
        return repeated(b"<feed>", TINY, b"</feed>", under8)
    if case == "nested":
        return repeated(b"", b"<a>", b"", under8)
    if case == "flat":
        return repeated(b"<r>", b"<a/>", b"</r>", under8)
    if case == "fat":
        item = ("<item><word1>%s</word1><word2>%s</word2><extras><type>noun</type><notes>%s</notes></extras></item>"
                % ("w" * 127, "m" * 127, "n" * 490)).encode()
        return repeated(b"<feed>", item, b"</feed>", under8)
    raise KeyError(case)


class WorstServer(HostileServer):
    """The hostile-feed test's loopback server: /auth/<case>.xml answers with
    that case's body, and the time its last byte went (or the client hung up)
    is kept."""

    def __init__(self):
        self.sent = {}  # case -> monotonic time
        super().__init__()

    def reply(self, path):
        case = path.rsplit("/", 1)[-1][:-len(".xml")]
        length, chunks = answer(case)
        head = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
        if length is not None:
            head += "Content-Length: %d\r\n" % length
        try:
            yield (head + "\r\n").encode()
            yield from chunks()
        finally:
            self.sent[case] = time.monotonic()


class Screen:
    """The root window through libX11: the centre pixel and a strip at the
    right edge above the ticker, where every text enters."""

    def __init__(self, display_name):
        x = self.x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = x.XOpenDisplay(display_name.encode())
        if not self.display:
            raise RuntimeError("cannot open display %s" % display_name)
        self.root = x.XDefaultRootWindow(self.display)

    def grab(self, left, top, width, height):
        """The 32-bit pixels of a rectangle, as bytes (4 a pixel, rows packed)."""
        image = self.x.XGetImage(self.display, self.root, left, top, width, height, 0xFFFFFFFF, 2)
        if not image:
            return b""
        words = ctypes.cast(image, ctypes.POINTER(ctypes.c_int))
        data = ctypes.cast(image, ctypes.POINTER(ctypes.c_void_p))[2]
        stride = words[11]  # bytes_per_line, after 4 ints, the data pointer and 6 ints
        pixels = ctypes.string_at(data, stride * height)
        self.x.XFree(ctypes.c_void_p(data))
        self.x.XFree(ctypes.c_void_p(image))
        return b"".join(pixels[r * stride:r * stride + 4 * width] for r in range(height))

    def black_centre(self):
        return self.grab(960, 540, 1, 1)[:3] == b"\0\0\0"

    def text_at_edge(self):
        strip = self.grab(1900, 0, 20, 960)
        return any(strip[i] >= 60 or strip[i + 1] >= 60 or strip[i + 2] >= 60 for i in range(0, len(strip), 4))

    def close(self):
        self.x.XCloseDisplay(self.display)


def status_kib(pid, field):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def cpu_seconds(pid):
    """User and system CPU time of a process so far: (user, system)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        tick = os.sysconf("SC_CLK_TCK")
        return int(fields[11]) / tick, int(fields[12]) / tick
    except (OSError, IndexError, ValueError):
        return None


def saver_pids(scr):
    """Linux processes that run this saver (Wine's loader may hand it on)."""
    name = scr.lower()
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if name in f.read().lower().decode("latin-1"):
                        pids.append(int(entry))
            except OSError:
                pass
    return pids


def log_size(session):
    return sum(os.path.getsize(p) for p in session.logs())


def one_run(h, s, screen, server, scr, case, bound, keep=None):
    """One run of a case; a dict of its figures ("over" when it hit a bound)."""
    s.clear_logs()
    s.settings(KeyCode=case)
    server.sent.pop(case, None)
    began = time.monotonic()
    proc = s.start(scr, "/s")
    r = {"case": case, "over": None}
    peak = 0
    while True:
        now = time.monotonic() - began
        for pid in saver_pids(scr):
            peak = max(peak, status_kib(pid, "VmHWM") or 0)
        if r.get("frame") is None and screen.black_centre():
            r["frame"] = now
        if r.get("frame") is not None and screen.text_at_edge():
            r["text"] = now
            break
        if proc.poll() is not None:
            r["over"] = "ended by itself with %r" % proc.returncode
            break
        if now > bound:
            r["over"] = "no text within %d s" % bound
            break
        if log_size(s) > LOG_CAP:
            r["over"] = "log passed %d MiB at %.0f s" % (LOG_CAP // MIB, now)
            break
        if peak > MEMORY_CAP_KIB:
            r["over"] = "memory passed %d MiB at %.0f s" % (MEMORY_CAP_KIB // 1024, now)
            break
        time.sleep(0.02)
    if case in server.sent:
        r["sent"] = server.sent[case] - began
    if r["over"] is None:
        for pid in saver_pids(scr):
            peak = max(peak, status_kib(pid, "VmHWM") or 0)
            r["cpu"] = cpu_seconds(pid) or r.get("cpu")
        moved = time.monotonic()
        s.xdotool("mousemove_relative", "--", "10", "0")
        try:
            proc.wait(timeout=60)
            r["close"] = time.monotonic() - moved
            r["code"] = proc.returncode
        except subprocess.TimeoutExpired:
            r["over"] = "did not close within 60 s"
    h.end_process(proc)
    # The root is white again once the window is gone: the next run starts clean.
    h.wait_for(lambda: not screen.black_centre(), 10, 0.01)
    r["peak"] = peak / 1024
    r["log"] = log_size(s) / MIB
    r["cache"] = len(s.cached_texts()) if r["over"] is None else None
    if keep:
        for path in s.logs():
            shutil.copy(path, os.path.join(keep, "%s-%s" % (case, os.path.basename(path))))
    s.clear_logs()
    return r


def fmt(values, over):
    values = [v for v in values if v is not None]
    if not values:
        return "-"
    text = "%.2f" % statistics.median(values)
    return (">" + text) if over else text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--scr", default=None, help="the saver to measure (default: this build's)")
    parser.add_argument("--cases", default="len100,close100,tiny,nested,flat,fat")
    parser.add_argument("--day", default="good", help="the case fetched before each run (its day is the cache)")
    parser.add_argument("--bound", type=float, default=200.0)
    parser.add_argument("--keep-logs", default=None, help="a folder to copy each case's log into")
    args = parser.parse_args()
    import harness as h
    scr = os.path.abspath(args.scr or h.SCR)
    server = WorstServer()
    results = []
    with h.Session("worst", white_root=True) as s:
        screen = Screen(s.display)
        try:
            s.settings(Log=1, Extra=1, FeedHost=server.host, MaxShowStrings=10)
            for case in args.cases.split(","):
                for run in range(args.runs):
                    good = one_run(h, s, screen, server, scr, args.day, args.bound)
                    if good["over"] or (args.day == "good" and good["cache"] != len(GOOD)):
                        raise RuntimeError("the day before did not land: %r" % good)
                    r = one_run(h, s, screen, server, scr, case, args.bound, args.keep_logs)
                    print(r, flush=True)
                    results.append(r)
                    if r["over"]:
                        break  # one bounded run is figure enough
        finally:
            screen.close()
            server.stop()
            subprocess.run([h.WINESERVER, "-k"], env=s.env, timeout=60)

    print("\nsaver: %s, %d run(s) a case, medians" % (scr, args.runs))
    print("case      sent_s  frame_s  text_s  cpu_s  close_s  peak_MiB  log_MiB  cached  note")
    for case in args.cases.split(","):
        rs = [r for r in results if r["case"] == case]
        over = any(r["over"] for r in rs)
        print("%-8s  %6s  %7s  %6s  %5s  %7s  %8s  %7s  %6s  %s" % (
            case, fmt([r.get("sent") for r in rs], False), fmt([r.get("frame") for r in rs], False),
            fmt([r.get("text") for r in rs], False) if not over else ">%d" % args.bound,
            fmt([sum(r["cpu"]) if r.get("cpu") else None for r in rs], False),
            fmt([r.get("close") for r in rs], False), fmt([r["peak"] for r in rs], False),
            fmt([r["log"] for r in rs], False), rs[-1]["cache"] if rs[-1]["cache"] is not None else "-",
            "; ".join(r["over"] for r in rs if r["over"])))


if __name__ == "__main__":
    main()
