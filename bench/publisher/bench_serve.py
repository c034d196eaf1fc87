#!/usr/bin/python3
"""tavelin-publish serve under a bounded loopback load (goal: 1,000 requests a second,
304s included), against nginx (one worker) serving the same feeds as published files,
measured in the same run. The load: worker processes, each with a keep-alive
connection (or, with --new-connections, one connection a request as the saver makes),
half the requests carrying the ETag of the feed so that they get a 304. Bounded by
--requests in all and by --seconds.

With --burst N (repeatable) it measures instead how long each of N clients that connect at
once waits for its one answer (a whole office's screens starting at nine), serve and nginx.

    bench/publisher/bench_serve.py [--keys 1000] [--requests 20000] [--workers 2] [--runs 5]
    bench/publisher/bench_serve.py --burst 100 --burst 1000 [--runs 3]

--pin puts the server on a CPU of its own and the load on the others.
"""
import argparse
import http.client
import multiprocessing
import selectors
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

import fixture

PUBLISH = os.path.join(fixture.ROOT, "tools", "tavelin-publish")
NGINX_CONF = """worker_processes 1;
daemon off;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 4096; }}
http {{
    access_log {work}/nginx-access.log;
    client_body_temp_path {work}/tmp;
    proxy_temp_path {work}/tmp;
    fastcgi_temp_path {work}/tmp;
    uwsgi_temp_path {work}/tmp;
    scgi_temp_path {work}/tmp;
    types {{ text/xml xml; }}
    server {{
        listen 127.0.0.1:{port};
        root {root};
    }}
}}
"""


SERVER_CPUS = None  # --pin: the servers on these CPUs, the load on the others


def on_server_cpus():
    if SERVER_CPUS:
        os.sched_setaffinity(0, SERVER_CPUS)


def start(command, log_path):
    """The server and its port, read from the PORT= line its log starts with."""
    log = open(log_path, "w")
    # As from a service manager: standard output buffered, whatever this shell says.
    env = {k: v for k, v in os.environ.items() if k != "PYTHONUNBUFFERED"}
    process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, env=env, preexec_fn=on_server_cpus)
    log.close()
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        with open(log_path) as f:
            first = f.readline()
        if first.startswith("PORT=") and first.endswith("\n"):
            return process, int(first[5:])
        if process.poll() is not None:
            break
        time.sleep(0.05)
    process.kill()
    raise SystemExit("server did not start: %s" % open(log_path).read())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_nginx(work, root):
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    os.makedirs(os.path.join(work, "tmp"), exist_ok=True)
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(work=work, port=port, root=root))
    process = subprocess.Popen(["nginx", "-c", conf, "-p", work], stderr=subprocess.DEVNULL, preexec_fn=on_server_cpus)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return process, port
        except OSError:
            if process.poll() is not None:
                break
            time.sleep(0.05)
    process.kill()
    raise SystemExit("nginx did not start: %s" % open(os.path.join(work, "nginx-error.log")).read())


def stop(process):
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def worker(job):
    port, keys, count, seconds, new_connections, offset = job
    etags, done, not_modified = {}, 0, 0
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    deadline = time.monotonic() + seconds
    start_time = time.perf_counter()
    for i in range(count):
        if time.monotonic() > deadline:
            break
        key = keys[(i + offset) % len(keys)]
        path = "/auth/%s.xml" % key
        headers = {"User-Agent": "TavelinScreenSaver"}
        if i % 2 and key in etags:
            headers["If-None-Match"] = etags[key]
        if new_connections:
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        conn.request("GET", path, headers=headers)
        response = conn.getresponse()
        response.read()
        if response.status == 200:
            etags[key] = response.getheader("ETag") or '"none"'
        elif response.status == 304:
            not_modified += 1
        else:
            raise RuntimeError("%s answered %d" % (path, response.status))
        if new_connections:
            conn.close()
        done += 1
    conn.close()
    return done, not_modified, time.perf_counter() - start_time


def burst(port, keys, clients):
    """Seconds from its connect to its answer's end, for each of clients connecting at once.
    One thread and non-blocking sockets, so that the clients themselves add no queueing."""
    selector = selectors.DefaultSelector()
    started, waits, failures = {}, [], 0
    for i in range(clients):
        sock = socket.socket()
        sock.setblocking(False)
        request = ("GET /auth/%s.xml HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: TavelinScreenSaver\r\n"
                   "Connection: close\r\n\r\n" % keys[i % len(keys)]).encode()
        started[sock] = time.perf_counter()
        sock.connect_ex(("127.0.0.1", port))
        selector.register(sock, selectors.EVENT_WRITE, [request, b""])
    deadline = time.monotonic() + 60
    while selector.get_map() and time.monotonic() < deadline:
        for key, events in selector.select(timeout=1):
            sock, state = key.fileobj, key.data
            try:
                if events & selectors.EVENT_WRITE:
                    sent = sock.send(state[0])
                    state[0] = state[0][sent:]
                    if not state[0]:
                        selector.modify(sock, selectors.EVENT_READ, state)
                    continue
                data = sock.recv(65536)
            except OSError:
                data, failures = b"", failures + 1
                state[1] = b""
            if data:
                state[1] += data
                continue
            if state[1].startswith(b"HTTP/1.1 200"):
                waits.append(time.perf_counter() - started[sock])
            elif state[1]:
                failures += 1
            selector.unregister(sock)
            sock.close()
    for key in list(selector.get_map().values()):
        failures += 1
        key.fileobj.close()
    return waits, failures


def load(port, keys, args):
    per = args.requests // args.workers
    jobs = [(port, keys, per, args.seconds, args.new_connections, w * 7919) for w in range(args.workers)]
    start_time = time.perf_counter()
    with multiprocessing.Pool(args.workers) as pool:
        results = pool.map(worker, jobs)
    elapsed = time.perf_counter() - start_time
    done = sum(r[0] for r in results)
    return done / elapsed, sum(r[1] for r in results), done


def report_bursts(args, figures):
    print("keys=%d runs=%d burst: clients connecting at once, one request each" % (args.keys, args.runs))
    for name, runs in figures.items():
        for i, clients in enumerate(args.burst):
            waits = sorted(w for run in runs for w in run[i][0])
            failures = sum(run[i][1] for run in runs)
            if not waits:
                print("%-14s %5d clients: no answer (%d failures)" % (name, clients, failures))
                continue
            print("%-14s %5d clients: median %.3f s, 90th %.3f s, worst %.3f s, over 1 s %d of %d, failures %d"
                  % (name, clients, statistics.median(waits), waits[int(0.9 * (len(waits) - 1))], waits[-1],
                     sum(w > 1 for w in waits), len(waits) + failures, failures))
    print("load average at the end: %.1f %.1f %.1f" % os.getloadavg())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keys", type=int, default=1000)
    parser.add_argument("--requests", type=int, default=20000)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--new-connections", action="store_true")
    parser.add_argument("--pin", action="store_true",
                        help="the server on the last CPU and the load on the others, as on a machine where "
                             "the server has a core of its own")
    parser.add_argument("--burst", type=int, action="append", metavar="CLIENTS",
                        help="clients connecting at once, one request each (repeatable)")
    args = parser.parse_args()
    if args.pin:
        global SERVER_CPUS
        cpus = sorted(os.sched_getaffinity(0))
        if len(cpus) < 2:
            raise SystemExit("--pin needs two CPUs")
        SERVER_CPUS = {cpus[-1]}
        os.sched_setaffinity(0, set(cpus[:-1]))
    work = tempfile.mkdtemp(prefix="tavelin-bench-serve-")
    os.chmod(work, 0o755)  # nginx's workers read it as another user
    try:
        db = os.path.join(work, "bench.db")
        fixture.make(db, args.keys)
        # The peer serves the same documents, written for today by publish.
        out = os.path.join(work, "out")
        subprocess.run([sys.executable, PUBLISH, "--db", db, "publish", out], check=True, stdout=subprocess.DEVNULL)
        keys = ["KEY%05d" % k for k in range(args.keys)]
        figures = {"serve": [], "nginx (peer)": []}
        for run in range(args.runs):
            for name in figures:
                if name == "serve":
                    command = [sys.executable, PUBLISH, "--db", db, "serve", "--port", "0"]
                    process, port = start(command, os.path.join(work, "log%d" % run))
                else:
                    process, port = start_nginx(work, out)
                try:
                    if args.burst:
                        figures[name].append([burst(port, keys, n) for n in args.burst])
                    else:
                        figures[name].append(load(port, keys, args))
                finally:
                    stop(process)
        if args.burst:
            report_bursts(args, figures)
            return
        mode = "one connection a request" if args.new_connections else "keep-alive"
        mode += ", server pinned to CPU %d" % min(SERVER_CPUS) if args.pin else ""
        print("keys=%d requests/run<=%d workers=%d runs=%d %s" % (args.keys, args.requests, args.workers, args.runs, mode))
        for name, runs in figures.items():
            rates = [r[0] for r in runs]
            print("%-22s median %.0f requests/s (min %.0f, max %.0f); last run %d requests, %d of them 304"
                  % (name, statistics.median(rates), min(rates), max(rates), runs[-1][2], runs[-1][1]))
        print("ratio serve / peer: %.2f" % (statistics.median(r[0] for r in figures["serve"])
                                            / statistics.median(r[0] for r in figures["nginx (peer)"])))
        print("load average at the end: %.1f %.1f %.1f" % os.getloadavg())
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
