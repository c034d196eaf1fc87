"""WSGI applications on Waitress: bounded queues and request sizes, one access-log line
per request whatever its fate, and a stop on SIGTERM or Ctrl+C that finishes the
requests already received."""
import collections
import functools
import re
import signal
import sys
import threading
import time

from waitress import wasyncore
from waitress.channel import ClientDisconnected, HTTPChannel
from waitress.server import BaseWSGIServer, create_server
from waitress.task import ErrorTask, ThreadedTaskDispatcher, WSGITask

from . import quick

LIMITS = {
    # A whole office's screens start at nine: their connections wait in the queue, not in
    # SYN retries a second or more apart.
    "backlog": 2048,
    # A connection costs a socket and its buffers, not a thread.
    "connection_limit": 2000,
    "asyncore_use_poll": True,  # select() stops at descriptor 1,024
    "threads": 8,
    # An idle connection is closed after this many seconds, checked every cleanup_interval.
    "channel_timeout": 20,
    "cleanup_interval": 5,
    "max_request_header_size": 16384,
    "max_request_body_size": 1 << 20,
    "asyncore_loop_timeout": 0.2,  # how soon a stop is noticed
    "ident": "tavelin-publish",
    "clear_untrusted_proxy_headers": True,
    # A client that resets its connection is the access log's business, not a traceback's.
    "log_socket_errors": False,
}
STOP_GRACE = 10  # seconds a stop waits for the requests in hand


_PLAIN = re.compile(r"[!-\[\]-{}~]*")  # printable ASCII but for a backslash and '|'
_PLAIN_SPACES = re.compile(r"[ !-\[\]-{}~]*")


def escaped(text, spaces=True):
    """text with every byte that could end or split a log line written as \\xNN."""
    if (_PLAIN_SPACES if spaces else _PLAIN).fullmatch(text):
        return text  # nearly every field: a line per request should not cost a loop per character
    out = []
    for c in text:
        o = ord(c)
        if 0x21 <= o <= 0x7E and c not in "\\|" or (c == " " and spaces):
            out.append(c)
        elif o <= 0xFF:
            out.append("\\x%02x" % o)
        else:
            out.append("\\u%04x" % o if o <= 0xFFFF else "\\U%08x" % o)
    return "".join(out)


class AccessLog:
    """'ADDRESS METHOD TARGET STATUS |USER-AGENT|' and a detail for failures, one line a
    request, written whole even when the serving threads finish together."""

    def __init__(self, stream=None):
        self.stream = stream
        self.lock = threading.Lock()

    def write(self, address, method, target, status, agent, detail=None, flush=True):
        """flush=False leaves the line in the buffer for flush(), which the loop calls at the
        end of its turn."""
        line = "%s %s %s %d |%s|" % (escaped(address or "-", False), escaped(method or "-", False),
                                     escaped(target or "-", False), status, escaped(agent or ""))
        if detail:
            line += " " + escaped(detail)
        with self.lock:
            try:
                stream = self.stream or sys.stdout
                stream.write(line + "\n")
                if flush:
                    stream.flush()
            except (OSError, ValueError):
                pass  # a closed standard output must not stop the answers

    def flush(self):
        with self.lock:
            try:
                (self.stream or sys.stdout).flush()
            except (OSError, ValueError):
                pass

    def task(self, task, detail=None, status=None):
        environ = getattr(task, "environ", None) or {}
        self.request(task.channel.addr, task.request, status or int(task.status[:3]),
                     detail or environ.get("tavelin.log_detail"))

    def request(self, address, request, status, detail=None):
        method, target = _request_line(request)
        address = address[0] if isinstance(address, tuple) else str(address)
        self.write(address, method, target, status, request.headers.get("USER_AGENT"), detail)


def _request_line(request):
    """(method, target) of a request, as much of them as was read."""
    method = getattr(request, "command", None)
    target = getattr(request, "request_uri", None)
    if method is None:
        parts = (getattr(request, "first_line", None) or b"").split(b" ")
        method = parts[0].decode("latin-1") if parts[0] else None
        target = parts[1].decode("latin-1") if len(parts) > 1 else None
    return method, target


class _Logged:
    def service(self):
        try:
            super().service()
        except ClientDisconnected:
            self.channel.server.access_log.task(self, "client went away")
            raise
        # Any other failure is answered by a fresh error task, which writes the line.
        self.channel.server.access_log.task(self)


class _WSGITask(_Logged, WSGITask):
    def write(self, data):
        if self.request.command == "HEAD" and data:
            # The headers of the GET, Content-Length included; the body counted, not sent.
            super().write(b"")
            self.content_bytes_written += len(data)
        elif self.complete and not self.wrote_header and data and self.content_length == len(data):
            # Headers and body in one segment, sent by this thread: written apart, the
            # client's delayed acknowledgement can hold the body back.
            header = self.build_response_header()
            self.wrote_header = True
            self.content_bytes_written = len(data)
            self.channel.write_soon(header + data if self.has_body else header)
        else:
            super().write(data)

    def build_response_header(self):
        asked = any(name.lower() == "connection" for name, _ in self.response_headers)
        header = super().build_response_header()
        if (self.close_on_finish and not self.has_body and not asked and self.version == "1.1"
                and self.request.headers.get("CONNECTION", "").lower() != "close"):
            # Waitress ends the connection after every 304: a response that never has a body
            # needs no close to mark its end, and a client revalidating would reconnect each time.
            self.close_on_finish = False
            self.response_headers.remove(("Connection", "close"))
            header = header.replace(b"\r\nConnection: close\r\n", b"\r\n", 1)
        return header


class _ErrorTask(_Logged, ErrorTask):
    pass


class _Channel(HTTPChannel):
    task_class = _WSGITask
    error_task_class = _ErrorTask

    def busy(self):
        return bool(self.requests or self.total_outbufs_len)

    def received(self, data):
        if self.server.quick and self.request is None and not (self.requests or self.total_outbufs_len or self.will_close
                                                                or self.close_when_flushed):
            request = quick.parse(data, self.server.quick_paths)
            if request is not None and self._answer_quick(*request):
                return True
        return super().received(data)

    def _answer_quick(self, method, target, fields):
        close = fields.get(b"connection", "").lower() == "close"
        try:
            data, status, detail = self.server.quick.answer(method, target, fields, close)
        except Exception:
            return False  # Waitress's path answers it, with a logged 500 if it fails again
        self.close_when_flushed = close
        try:
            sent = self.send(data)  # nothing waits before it: the buffers are empty
        except OSError:
            sent, self.will_close = 0, True
        if not self.connected or self.will_close:
            detail = "client went away"
        elif sent < len(data):
            with self.outbuf_lock:  # the rest goes when the socket is writable
                self.outbufs[-1].append(data[sent:])
                self.current_outbuf_count += len(data) - sent
                self.total_outbufs_len += len(data) - sent
        self.server.access_log.write(self.addr[0], method, target, status, fields.get(b"user-agent"), detail,
                                     flush=False)  # a write a loop turn, not a request
        return True

    def service(self):
        if not self.connected and self.requests:
            self.server.access_log.request(self.addr, self.requests[0], 499, "client went away before the answer")
        super().service()


class _Dispatcher(ThreadedTaskDispatcher):
    """Requests for the quick paths (answers from memory, well under a millisecond) are
    answered by the loop's own thread, which saves two thread switches each; the others
    go to the pool, so that a slow one holds up only itself."""

    def __init__(self, quick_paths):
        super().__init__()
        self.quick_paths = tuple(quick_paths)
        self.ready = collections.deque()

    def add_task(self, channel):
        path = getattr(channel.requests[0], "path", None) or ""
        if self.quick_paths and (channel.requests[0].error or path.startswith(self.quick_paths)):
            self.ready.append(channel)  # from a worker too: it pulls the trigger when done
        else:
            super().add_task(channel)

    def run_ready(self):
        while self.ready:
            channel = self.ready.popleft()
            try:
                channel.service()
            except BaseException:
                self.logger.exception("Exception when servicing %r", channel)


def guarded(app):
    """app, with an exception turned into a 500 and a log detail instead of a traceback."""

    def guarded_app(environ, start_response):
        try:
            return app(environ, start_response)
        except Exception as error:  # one bad request must not end the server
            environ["tavelin.log_detail"] = "%s: %s" % (type(error).__name__, error)
            body = b"internal error\n"
            start_response("500 Internal Server Error", [("Content-Type", "text/plain; charset=utf-8"),
                                                         ("Content-Length", str(len(body)))], sys.exc_info())
            return [body]

    return guarded_app


def mount(routes, fallback):
    """One application of several: the first (path prefix, app) whose prefix starts the
    path answers, else fallback. Each sees the whole path."""

    def mounted(environ, start_response):
        path = environ.get("PATH_INFO", "")
        for prefix, app in routes:
            if path.startswith(prefix):
                return app(environ, start_response)
        return fallback(environ, start_response)

    return mounted


class Server:
    """app on host:port until stop() or SIGTERM / SIGINT; run() returns the exit code."""

    def __init__(self, app, host, port, log=None, quick_paths=(), respond=None, **limits):
        self.map = {}
        self.stopping = threading.Event()
        limits = {**LIMITS, **limits}
        self.dispatcher = _Dispatcher(quick_paths)
        self.dispatcher.set_thread_count(limits["threads"])
        self.server = create_server(guarded(app), map=self.map, _dispatcher=self.dispatcher, host=host, port=port,
                                    **limits)
        self.listeners = [s for s in self.map.values() if isinstance(s, BaseWSGIServer)]
        self.log = log or AccessLog()
        for listener in self.listeners:
            listener.channel_class = _Channel
            listener.access_log = self.log
            # Plain requests for the quick paths skip Waitress's parser and tasks.
            listener.quick = respond and quick.Responder(respond, limits["ident"])
            listener.quick_paths = tuple(path.encode("ascii") for path in quick_paths)
            # Every waiting connection at once: one a turn of the loop, a burst of a thousand
            # waits for a thousand turns, each polling every connection.
            listener.handle_accept = functools.partial(self._accept_waiting, listener)
            listener.pull_trigger = functools.partial(self._wake, listener)
        self.port = int(self.listeners[0].effective_port)
        self.loop_thread = None

    def _wake(self, listener):
        # The loop's own thread needs no wake-up: its next poll sees what changed.
        if threading.get_ident() != self.loop_thread:
            listener.trigger.pull_trigger()

    def stop(self, *_):
        self.stopping.set()

    def run(self, handle_signals=True):
        if handle_signals:
            signal.signal(signal.SIGTERM, self.stop)
            signal.signal(signal.SIGINT, self.stop)
        self.loop_thread = threading.get_ident()
        timeout = LIMITS["asyncore_loop_timeout"]
        while not self.stopping.is_set():
            wasyncore.loop(timeout=timeout, map=self.map, use_poll=True, count=1)
            self.dispatcher.run_ready()
            self.log.flush()
        self._finish(time.monotonic() + STOP_GRACE)
        return 0

    def _channels(self):
        return [c for c in list(self.map.values()) if isinstance(c, _Channel)]

    @staticmethod
    def _accept_waiting(listener):
        """The connections the kernel has taken, as many as the connection limit allows."""
        for _ in range(max(1, listener.adj.connection_limit - len(listener._map))):
            try:
                got = listener.accept()
            except OSError:
                return
            if got is None:
                return
            listener.set_socket_options(got[0])
            listener.channel_class(listener, got[0], listener.fix_addr(got[1]), listener.adj, map=listener._map)

    def _finish(self, deadline):
        """No new connections; the requests received are answered, then every connection closes."""
        for listener in self.listeners:
            self._accept_waiting(listener)
            wasyncore.dispatcher.close(listener)
        while time.monotonic() < deadline:
            # Read first: a request that arrived is received before its connection is judged idle.
            wasyncore.loop(timeout=0.05, map=self.map, use_poll=True, count=1)
            self.dispatcher.run_ready()
            self.log.flush()
            for channel in self._channels():
                if not channel.busy() and channel.request is None:
                    channel.handle_close()
            if not self._channels():
                break
        for channel in self._channels():
            channel.handle_close()
        self.dispatcher.shutdown(cancel_pending=True, timeout=1)
        for listener in self.listeners:
            listener.trigger.close()
