#!/usr/bin/python3
"""publish for many keys of 50 lines each (goal: 10,000 keys under 10 s), against
copying the same folder with cp -r, measured in the same run.

    bench/publisher/bench_publish.py [--keys 10000] [--runs 5]
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import fixture

PUBLISH = os.path.join(fixture.ROOT, "tools", "tavelin-publish")


def timed(command):
    """(wall seconds, CPU seconds of the command): the machine is shared, so the CPU
    time is the steadier figure."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keys", type=int, default=10000)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="tavelin-bench-publish-")
    try:
        db = os.path.join(work, "bench.db")
        fixture.make(db, args.keys)
        publish = [sys.executable, PUBLISH, "--db", db, "publish"]
        fresh, same, next_day, copy = [], [], [], []
        for run in range(args.runs):
            out = os.path.join(work, "out%d" % run)
            fresh.append(timed(publish + [out, "--date", fixture.DATE]))      # every file new
            same.append(timed(publish + [out, "--date", fixture.DATE]))       # every file unchanged
            next_day.append(timed(publish + [out, "--date", "2026-01-16"]))  # every file replaced
            copy.append(timed(["cp", "-r", out, out + "-copy"]))
            shutil.rmtree(out)
            shutil.rmtree(out + "-copy")
        sample = os.path.join(work, "sample")
        subprocess.run(publish + [sample, "--date", fixture.DATE], check=True, stdout=subprocess.DEVNULL)
        files = os.listdir(os.path.join(sample, "auth"))
        size = sum(os.path.getsize(os.path.join(sample, "auth", f)) for f in files)
        with open(os.path.join(sample, "auth", sorted(files)[0]), encoding="utf-8") as f:
            lines = f.read().count("<item>")
        print("keys=%d files=%d lines/feed=%d bytes=%d runs=%d" % (args.keys, len(files), lines, size, args.runs))
        median = lambda runs, i: statistics.median(r[i] for r in runs)  # noqa: E731
        for name, runs in (("publish, new folder", fresh), ("publish again, unchanged", same),
                           ("publish next day, replace", next_day), ("peer: cp -r of the folder", copy)):
            print("%-28s wall median %.2f s (min %.2f, max %.2f)  CPU median %.2f s"
                  % (name, median(runs, 0), min(r[0] for r in runs), max(r[0] for r in runs), median(runs, 1)))
        print("ratio publish (new folder) / cp -r: wall %.1f, CPU %.1f"
              % (median(fresh, 0) / median(copy, 0), median(fresh, 1) / median(copy, 1)))
        print("load average at the end: %.1f %.1f %.1f" % os.getloadavg())
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
