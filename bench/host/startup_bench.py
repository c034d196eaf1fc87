#!/usr/bin/env python3
"""Start-up timings of Tavelin.scr /s under Wine + Xvfb, measured from outside.

    startup_bench.py [--runs N] [--build DIR]

For each scenario: the time from starting the process to the first frame on
screen (the white root of a private Xvfb turning black where the full-screen
window appears, read one pixel at a time through libX11), as the median of N
runs; and for the largest feed the peak resident memory of the saver process
(VmHWM). Scenarios: a 50-item feed from the loopback feed server; no server
(the day cache of those 50 items); feeds of 1,000 to 20,000 items, with a
least-squares line through the medians to show how start-up grows."""
import argparse
import ctypes
import os
import statistics
import sys
import tempfile
import time

SIZES = (50, 1000, 5000, 10000, 20000)
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))


class PixelProbe:
    """One pixel of the root window, read with XGetImage through ctypes."""

    def __init__(self, display_name):
        self.x = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.c_void_p
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XGetPixel.restype = ctypes.c_ulong
        self.x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(display_name.encode())
        if not self.display:
            raise RuntimeError("cannot open display %s" % display_name)
        self.root = self.x.XDefaultRootWindow(self.display)

    def pixel(self, px, py):
        image = self.x.XGetImage(self.display, self.root, px, py, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return None
        value = self.x.XGetPixel(image, 0, 0)
        # XDestroyImage is a macro: free the pixel data (XImage.data, after four
        # ints) and then the image record.
        self.x.XFree(ctypes.c_void_p(ctypes.cast(image, ctypes.POINTER(ctypes.c_void_p))[2]))
        self.x.XFree(ctypes.c_void_p(image))
        return value & 0xFFFFFF

    def close(self):
        self.x.XCloseDisplay(self.display)


def vm_hwm_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def one_run(h, session, probe, measure_memory=False, timeout=120):
    """Seconds from process start to the first black frame; peak KiB if asked."""
    began = time.monotonic()
    proc = session.saver("/s")
    first = None
    while time.monotonic() - began < timeout:
        if probe.pixel(960, 540) == 0:
            first = time.monotonic() - began
            break
        if proc.poll() is not None:
            break
        time.sleep(0.002)
    peak = None
    if measure_memory:
        time.sleep(1.0)  # a few frames and the first turn, then the high-water mark
        peak = vm_hwm_kib(proc.pid)
    session.xdotool("mousemove_relative", "--", "10", "0")
    try:
        code = proc.wait(timeout=60)
    except Exception:
        h.end_process(proc)
        code = None
    if code != 0:
        raise RuntimeError("saver run ended with %r" % code)
    # The root goes back to white once the window is gone.
    h.wait_for(lambda: probe.pixel(960, 540) != 0, 10, 0.01)
    return first, peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--build", default=os.environ.get("TAVELIN_BUILD_DIR", os.path.join(SOURCE, "build", "mingw")))
    args = parser.parse_args()
    os.environ["TAVELIN_BUILD_DIR"] = args.build
    os.environ.setdefault("TAVELIN_WINE_ROOT", os.path.join(args.build, "wine"))
    import harness as h

    feeds = tempfile.mkdtemp(prefix="tavelin-bench-feeds-")
    for n in SIZES:
        h.write_feed(feeds, "n%d" % n, [("word%05d" % i, "meaning of word %d" % i) for i in range(n)],
                     news="Start-up benchmark")
    server = h.FeedServer(feeds)
    results = {}
    with h.Session("bench", white_root=True) as s:
        probe = PixelProbe(s.display)
        try:
            s.settings(FeedHost=server.host, KeyCode="n50")
            one_run(h, s, probe)  # warm the prefix: first start of wine's services
            results["feed 50"] = [one_run(h, s, probe)[0] for _ in range(args.runs)]
            s.settings(FeedHost="127.0.0.1:%d" % h.closed_port())
            results["cache 50"] = [one_run(h, s, probe)[0] for _ in range(args.runs)]
            s.settings(FeedHost=server.host)
            for n in SIZES[1:]:
                s.settings(KeyCode="n%d" % n)
                runs = [one_run(h, s, probe, measure_memory=True) for _ in range(max(3, args.runs // 2))]
                results["feed %d" % n] = [r[0] for r in runs]
                results["peak KiB %d" % n] = [r[1] for r in runs]
        finally:
            probe.close()
            server.stop()

    names = ["feed 50", "cache 50"] + ["feed %d" % n for n in SIZES[1:]]
    print("scenario            median_s  min_s    max_s    runs")
    for name in names:
        values = results[name]
        print("%-18s  %7.3f  %7.3f  %7.3f  %d" % (name, statistics.median(values), min(values), max(values),
                                                  len(values)))
    for n in SIZES[1:]:
        peaks = [p for p in results["peak KiB %d" % n] if p]
        if peaks:
            print("peak resident memory, %5d items: %.1f MiB (median VmHWM)" % (n, statistics.median(peaks) / 1024))
    xs = list(SIZES)
    ys = [statistics.median(results["feed %d" % n]) for n in SIZES]
    mx, my = statistics.mean(xs), statistics.mean(ys)
    slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
    fixed = my - slope * mx
    ss_res = sum((y - (fixed + slope * x)) ** 2 for x, y in zip(xs, ys))
    ss_tot = sum((y - my) ** 2 for y in ys)
    print("start-up = %.3f s + %.4f ms per item (least squares over %s items, R^2 %.3f)"
          % (fixed, slope * 1000, "/".join(str(n) for n in SIZES), 1 - ss_res / ss_tot if ss_tot else 1))
    t1, t10 = statistics.median(results["feed 1000"]), statistics.median(results["feed 10000"])
    print("1,000 items %.3f s, 10,000 items %.3f s: beyond the fixed part, %.1f times the time for 10 times the items"
          % (t1, t10, (t10 - fixed) / (t1 - fixed) if t1 > fixed else float("nan")))

if __name__ == "__main__":
    main()
