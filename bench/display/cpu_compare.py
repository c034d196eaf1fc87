#!/usr/bin/env python3
"""CPU seconds of scrolling at 1920x1080: the saver against the hack fontglide
(xscreensaver-data-extra), each alone on a private Xvfb, read from /proc/<pid>/stat.

    cpu_compare.py --build DIR [--old DIR] [--recall] [--seconds 60] [--runs 3] [--ticks 1000]

Each run measures, one after the other:
  - the frame tick's median (bench_frame_tick.exe TICKS), of this build and of --old;
  - Tavelin.scr /s of this build (and of --old): 10 items and a news text from the
    loopback feed server, at most 7 lines at once, logo on, log off;
  - the frame benchmark scrolling on its own timers (bench_frame_tick.exe run);
  - fontglide -root;
  - with --recall, the frame tick and Tavelin.scr /s of this build once more with
    Recall on, against the same with it off.
For a saver: its own process, every process of its Wine prefix, and its Xvfb.
Counting starts once the saver has shown lines for a while (warm-up) and lasts
SECONDS. The medians over the runs and their ratios come last."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))

FONTGLIDE = "/usr/libexec/xscreensaver/fontglide"
TCK = os.sysconf("SC_CLK_TCK")
WARM_UP = 25  # seconds: the first lines come on after 3 s, one per 2-10 s turn
ITEMS = [("der Apfel", "the apple"), ("die Birne", "the pear"), ("das Fenster", "the window"),
         ("laufen", "to run"), ("die Zeitung", "the newspaper"), ("schnell", "quick"),
         ("der Bahnhof", "the station"), ("die Brücke", "the bridge"), ("fliegen", "to fly"),
         ("das Gewitter", "the thunderstorm")]
NEWS = "Today: a new word every few seconds, and the news runs along the bottom of the screen"


def ticks(pid):
    """utime + stime of one process in clock ticks; 0 when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError, ValueError):
        return 0


def prefix_pids(prefix):
    """Every process whose environment names this Wine prefix."""
    wanted = ("WINEPREFIX=" + prefix).encode()
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % name, "rb") as f:
                if wanted in f.read().split(b"\0"):
                    found.append(int(name))
        except OSError:
            pass
    return found


def pid_named(pids, comm_prefix):
    for pid in pids:
        try:
            with open("/proc/%d/comm" % pid) as f:
                if f.read().strip().startswith(comm_prefix):
                    return pid
        except OSError:
            pass
    return None


def measure(pids, seconds):
    """CPU seconds each pid used over the next seconds."""
    before = {p: ticks(p) for p in pids}
    time.sleep(seconds)
    return {p: (ticks(p) - before[p]) / TCK for p in pids}


def frame_tick_ms(h, program, frames, *extra):
    with h.Session("tick") as s:
        code, out = s.run(program, str(frames), *extra, timeout=600)
    for line in out.splitlines():
        if "median=" in line and ("reuse" in line or "frame tick" in line):
            return float(line.split("median=")[1].split()[0])
    raise RuntimeError("no median from %s: %s" % (program, out))


def wine_program(h, program, args, comm, seconds, setup=None):
    """(own, whole prefix, Xvfb) CPU seconds of program scrolling under Wine."""
    with h.Session("cpu") as s:
        if setup:
            setup(s)
        proc = s.start(program, *args)
        own = h.wait_for(lambda: pid_named(prefix_pids(s.prefix), comm), 60)
        if own is None:
            raise RuntimeError("%s did not start" % program)
        time.sleep(WARM_UP)
        if proc.poll() is not None:
            raise RuntimeError("%s ended early with %s" % (program, proc.returncode))
        pids = prefix_pids(s.prefix)
        used = measure(pids + [s.xvfb.pid], seconds)
        return used.get(own, 0.0), sum(used[p] for p in pids), used[s.xvfb.pid]


def saver_setup(feeds, server, **more):
    def setup(s):
        s.settings(Log=0, Logo=1, MaxShowStrings=7, KeyCode="cpu", FeedHost=server.host, **more)
    return setup


def fontglide(h, seconds):
    """(own, Xvfb) CPU seconds of fontglide -root on a private Xvfb."""
    with h.Session("fontglide") as s:
        proc = subprocess.Popen([FONTGLIDE, "-root"], env=s.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            time.sleep(2)
            used = measure([proc.pid, s.xvfb.pid], seconds)
        finally:
            h.end_process(proc)
    return used[proc.pid], used[s.xvfb.pid]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="build folder of the mingw preset")
    parser.add_argument("--old", help="another build folder to measure beside it")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--ticks", type=int, default=1000)
    parser.add_argument("--recall", action="store_true", help="measure this build with Recall on too")
    args = parser.parse_args()
    if not os.access(FONTGLIDE, os.X_OK):
        sys.exit("cpu_compare: %s missing (Debian package xscreensaver-data-extra)" % FONTGLIDE)
    build = os.path.abspath(args.build)
    os.environ["TAVELIN_BUILD_DIR"] = build
    import harness as h  # reads the build folder when imported

    feeds = tempfile.mkdtemp(prefix="tavelin-cpu-feeds-")
    h.write_feed(feeds, "cpu", ITEMS, news=NEWS)
    server = h.FeedServer(feeds)
    builds = {"new": build}
    if args.old:
        builds["old"] = os.path.abspath(args.old)
    rows = []
    try:
        for run in range(args.runs):
            row = {"load": os.getloadavg()[0]}
            for name, folder in builds.items():
                row["tick_" + name] = frame_tick_ms(h, os.path.join(folder, "bench", "bench_frame_tick.exe"),
                                                    args.ticks)
                row["scr_" + name] = wine_program(h, os.path.join(folder, "Tavelin.scr"), ["/s"], "Tavelin.scr",
                                                  args.seconds, saver_setup(feeds, server))
            if args.recall:
                program = os.path.join(build, "bench", "bench_frame_tick.exe")
                row["tick_recall"] = frame_tick_ms(h, program, args.ticks, "recall")
                row["scr_recall"] = wine_program(h, os.path.join(build, "Tavelin.scr"), ["/s"], "Tavelin.scr",
                                                 args.seconds, saver_setup(feeds, server, Recall=1))
            row["bench"] = wine_program(h, os.path.join(build, "bench", "bench_frame_tick.exe"),
                                        ["run", str(args.seconds + WARM_UP + 5)], "bench_frame_tic", args.seconds)
            row["fontglide"] = fontglide(h, args.seconds)
            rows.append(row)
            report("run %d" % (run + 1), [row])
    finally:
        server.stop()
    report("medians of %d runs" % len(rows), rows)


def report(title, rows):
    def med(key, i=None):
        values = [r[key] if i is None else r[key][i] for r in rows if key in r]
        return statistics.median(values) if values else None

    print("== %s (CPU seconds over the measured time; load average %s)"
          % (title, ", ".join("%.1f" % r["load"] for r in rows)))
    fg, fg_x = med("fontglide", 0), med("fontglide", 1)
    print("  fontglide: own %.2f  Xvfb %.2f  together %.2f" % (fg, fg_x, fg + fg_x))
    for key, label in (("scr_new", "Tavelin.scr /s"), ("scr_old", "Tavelin.scr /s, old build"),
                       ("scr_recall", "Tavelin.scr /s, Recall on"), ("bench", "frame benchmark run")):
        if med(key, 0) is None:
            continue
        own, prefix, xvfb = med(key, 0), med(key, 1), med(key, 2)
        together = statistics.median([r[key][1] + r[key][2] for r in rows])
        print("  %-26s own %.2f  Wine prefix %.2f  Xvfb %.2f  together %.2f  | own/fontglide %.2fx  "
              "together/(fontglide+Xvfb) %.2fx" % (label, own, prefix, xvfb, together, own / fg,
                                                   together / (fg + fg_x)))
    if med("tick_new") is not None:
        line = "  frame tick median: %.3f ms" % med("tick_new")
        if med("tick_old") is not None:
            ratios = [r["tick_new"] / r["tick_old"] for r in rows]
            line += ", old build %.3f ms, ratio %.2fx" % (med("tick_old"), statistics.median(ratios))
        print(line)
    if med("tick_recall") is not None:
        ticks_ratio = statistics.median([r["tick_recall"] / r["tick_new"] for r in rows])
        own_ratio = statistics.median([r["scr_recall"][0] / r["scr_new"][0] for r in rows])
        together_ratio = statistics.median([(r["scr_recall"][1] + r["scr_recall"][2]) /
                                            (r["scr_new"][1] + r["scr_new"][2]) for r in rows])
        print("  Recall on against off: frame tick median %.3f ms, ratio %.2fx; Tavelin.scr /s own CPU ratio "
              "%.2fx, together %.2fx" % (med("tick_recall"), ticks_ratio, own_ratio, together_ratio))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
