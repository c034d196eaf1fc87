#!/usr/bin/env python3
"""Loopback feed server for the WinHTTP adapter's tests. Prints PORT=<n> first.
The request path picks the behaviour: a good feed in three encodings, an echo of
the request, a 404 page, tiny bodies, a body cut short, a reset, silence, a drip of the
body or of the headers."""
import os
import signal
import socket
import struct
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FEED = ("<?xml version=\"1.0\"?>\n<feed><news>Neuigkeiten der Woche</news>"
        "<item><word1>\u00e9t\u00e9</word1><word2>summer</word2><extras><type>noun</type></extras></item>"
        "<item><word2>house</word2><word1>\u0434\u043e\u043c</word1></item></feed>")
NOT_FOUND = ("<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
             "<item><word1>nicht</word1><word2>gefunden</word2></item></body></html>")


def tcp_queues(local, remote):
    """(send queue, receive queue) of the loopback socket local -> remote, from
    the kernel's table; None when it is not there."""
    def key(address):
        host, port = address
        return "%08X:%04X" % (struct.unpack("<I", socket.inet_aton(host))[0], port)
    wanted = (key(local), key(remote))
    with open("/proc/net/tcp") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if (fields[1], fields[2]) == wanted:
                tx, rx = fields[4].split(":")
                return int(tx, 16), int(rx, 16)
    return None


def wait_until_peer_has_read(conn, limit):
    """Waits until all we sent has left our socket and the peer's program has
    read it out of its own socket; limit seconds at most."""
    ours, theirs = conn.getsockname(), conn.getpeername()
    end = time.monotonic() + limit
    while time.monotonic() < end:
        sent, received = tcp_queues(ours, theirs), tcp_queues(theirs, ours)
        if sent is not None and received is not None and sent[0] == 0 and received[1] == 0:
            return True
        time.sleep(0.005)
    sys.stderr.write("the client never read what was sent\n")
    return False


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        sys.stderr.write("%s %s\n" % (self.requestline, self.headers.get("User-Agent")))

    def send_body(self, body, status=200, length=None):
        self.send_response(status)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def reset(self):
        """Ends the connection with a reset alone: no FIN goes before it."""
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.rfile.close()  # its reference would keep the socket open past close()
        self.connection.close()
        self.close_connection = True

    def do_GET(self):
        path = self.path
        if path.startswith("/echo"):
            names = ",".join(sorted(self.headers.keys()))
            body = ("<r><item><word1>%s</word1><word2>%s</word2></item><item><word1>headers</word1>"
                    "<word2>%s</word2></item></r>" % (self.requestline, self.headers.get("User-Agent"), names))
            self.send_body(body.encode())
        elif path == "/feed.xml":
            self.send_body(FEED.encode("utf-8"))
        elif path == "/bom.xml":
            self.send_body(b"\xef\xbb\xbf" + FEED.encode("utf-8"))
        elif path == "/utf16.xml":
            self.send_body(b"\xff\xfe" + FEED.encode("utf-16-le"))
        elif path == "/404":
            self.send_body(NOT_FOUND.encode(), status=404)
        elif path == "/nine":
            self.send_body(b"<a>123456")
        elif path == "/ten":
            self.send_body(b"<a>1234567")
        elif path == "/short":
            self.send_body(FEED.encode()[:17], length=1000)
            self.close_connection = True
        elif path == "/reset":
            body = FEED.encode() * 20
            self.send_body(body[:600], length=len(body))
            # Reset only once the client has taken every byte sent, headers and
            # the body's start: a reset that lands first may discard them unread.
            wait_until_peer_has_read(self.connection, 30)
            self.reset()
        elif path == "/silent":
            time.sleep(600)
        elif path == "/drip":
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.flush()
            for _ in range(600):
                self.wfile.write(b"<")
                self.wfile.flush()
                time.sleep(0.5)
        elif path == "/dripheaders":
            # Each header byte comes well within any single read's time-out.
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            for _ in range(600):
                self.wfile.write(b"X")
                self.wfile.flush()
                time.sleep(0.5)
        else:
            self.send_body(b"<html>unknown path</html>", status=404)


def main():
    # Ended by the test harness: a clean exit status keeps its clean-up happy.
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print("PORT=%d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
