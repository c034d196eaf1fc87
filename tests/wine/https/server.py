#!/usr/bin/env python3
"""Loopback HTTPS feed servers for the TLS tests, with a test CA and server
certificates made here by openssl. Run as a program it prints PORT=<n> first:
that port speaks plain HTTP and answers /ports with a feed whose items name
each server's port and the CA file ("trusted:<port>", ..., "ca:<path>").

Every server answers any /auth/<key>.xml with a feed of its own words, so a
fetch that should have failed shows in the texts and in the day cache:
  trusted    certificate for "localhost" from the test CA
  unknown    certificate for "localhost" from a CA nobody trusts
  wrongname  certificate for "elsewhere.example" from the test CA
  expired    certificate for "localhost" from the test CA, expired in 2025
  redirect   trusted certificate; /auth/tohttp.xml redirects to the plain
             server, /auth/tohttps.xml to the trusted one, each with an HTML page
  plain      the control port itself, plain HTTP; /requests counts the feeds
             it has served
  stall      takes the connection and never answers the TLS handshake
"""
import datetime
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

WORDS = {
    "trusted": [("sicher", "safe"), ("Schloss", "lock")],
    "unknown": [("fremd", "unknown issuer")],
    "wrongname": [("falsch", "wrong name")],
    "expired": [("abgelaufen", "expired")],
    "plain": [("offen", "plain http")],
}


MOVED = b"<html><head><title>302 Found</title></head><body>Moved.</body></html>"


def feed(name):
    items = "".join("<item><word1>%s</word1><word2>%s</word2></item>" % pair for pair in WORDS[name])
    return ('<?xml version="1.0" encoding="UTF-8"?><feed>%s</feed>' % items).encode("utf-8")


def texts(name):
    """The lines the saver makes of a server's feed."""
    return ["%s:%s" % pair for pair in WORDS[name]]


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True, timeout=60)


def _stamp(moment):
    return moment.strftime("%Y%m%d%H%M%SZ")


class Pki:
    """A test CA, a stranger CA and the server certificates, in folder."""

    def __init__(self, folder):
        self.folder = folder
        self.ca = self._ca("ca", "Tavelin Test CA")
        self._ca("stranger", "Stranger CA")
        now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        good = (now, now + datetime.timedelta(days=2))
        self.certs = {
            "trusted": self._leaf("trusted", "ca", "localhost", good),
            "unknown": self._leaf("unknown", "stranger", "localhost", good),
            "wrongname": self._leaf("wrongname", "ca", "elsewhere.example", good),
            "expired": self._leaf("expired", "ca", "localhost",
                                  (datetime.datetime(2025, 1, 1, tzinfo=datetime.timezone.utc),
                                   datetime.datetime(2025, 1, 2, tzinfo=datetime.timezone.utc))),
        }

    def _ca(self, name, subject):
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".pem",
                 "-days", "3", "-subj", "/CN=" + subject, "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=self.folder)
        db = os.path.join(self.folder, name + ".db")
        os.makedirs(db)
        open(os.path.join(db, "index"), "w").close()
        with open(os.path.join(db, "serial"), "w") as f:
            f.write("10\n")
        return os.path.join(self.folder, name + ".pem")

    def _leaf(self, name, ca, host, validity):
        """A server certificate for host, signed by ca, valid over validity."""
        config = os.path.join(self.folder, name + ".cnf")
        with open(config, "w") as f:
            f.write("[ca]\ndefault_ca = this\n[this]\ndatabase = {db}/index\nnew_certs_dir = {db}\n"
                    "serial = {db}/serial\ndefault_md = sha256\npolicy = any\nunique_subject = no\n[any]\ncommonName = supplied\n"
                    "[leaf]\nsubjectAltName = DNS:{host}\nextendedKeyUsage = serverAuth\n"
                    "basicConstraints = CA:FALSE\n".format(db=ca + ".db", host=host))
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-subj", "/CN=" + host,
                 "-out", name + ".csr", cwd=self.folder)
        _openssl("ca", "-batch", "-config", config, "-cert", ca + ".pem", "-keyfile", ca + ".key",
                 "-in", name + ".csr", "-out", name + ".pem", "-extensions", "leaf", "-notext",
                 "-startdate", _stamp(validity[0]), "-enddate", _stamp(validity[1]), cwd=self.folder)
        return os.path.join(self.folder, name + ".pem"), os.path.join(self.folder, name + ".key")


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        self.server.requests.append(self.path)

    def send_body(self, body, status=200, extra=()):
        self.send_response(status)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        name, servers = self.server.name, self.server.servers
        if name == "plain" and self.path == "/ports":
            items = [(n, str(servers.port(n))) for n in servers if n != "plain"]
            items.append(("ca", servers.pki.ca))
            body = "".join("<item><word1>%s</word1><word2>%s</word2></item>" % pair for pair in items)
            self.send_body(("<ports>%s</ports>" % body).encode("utf-8"))
        elif name == "plain" and self.path == "/requests":
            # How many feeds the plain server has served so far.
            served = sum(1 for path in self.server.requests if path.startswith("/auth/"))
            self.send_body(("<r><item><word1>served</word1><word2>%d</word2></item></r>" % served).encode())
        elif name == "redirect" and self.path.endswith("/tohttp.xml"):
            self.send_body(MOVED, 302, [("Location", servers.url("plain", "/auth/plain.xml"))])
        elif name == "redirect" and self.path.endswith("/tohttps.xml"):
            self.send_body(MOVED, 302, [("Location", servers.url("trusted", "/auth/moved.xml"))])
        elif name in WORDS and self.path.startswith("/auth/") and self.path.endswith(".xml"):
            self.send_body(feed(name))
        else:
            self.send_body(b"<html>unknown path</html>", 404)


class Servers(dict):
    """Every server of the module docstring, each on a free loopback port."""

    def __init__(self, folder):
        super().__init__()
        self.pki = Pki(folder)
        for name in ["plain", "trusted", "unknown", "wrongname", "expired", "redirect"]:
            server = ThreadingHTTPServer(("127.0.0.1", 0), _Handler)
            server.daemon_threads = True
            server.name, server.servers, server.requests = name, self, []
            if name != "plain":
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                context.load_cert_chain(*self.pki.certs["trusted" if name == "redirect" else name])
                server.socket = context.wrap_socket(server.socket, server_side=True)
            self[name] = server
            threading.Thread(target=server.serve_forever, daemon=True).start()

        self._stall = socket.create_server(("127.0.0.1", 0))
        self["stall"] = self._stall
        threading.Thread(target=self._hold, daemon=True).start()

    def _hold(self):
        held = []
        while True:
            try:
                held.append(self._stall.accept()[0])
            except OSError:
                return

    def port(self, name):
        return self[name].getsockname()[1] if name == "stall" else self[name].server_address[1]

    def url(self, name, path):
        scheme = "http" if name == "plain" else "https"
        return "%s://localhost:%d%s" % (scheme, self.port(name), path)

    def feed_host(self, name):
        """The FeedHost value that reaches one server."""
        return self.url(name, "")

    def stop(self):
        self._stall.close()
        for name, server in self.items():
            if name != "stall":
                server.shutdown()
                server.server_close()


def main():
    folder = tempfile.mkdtemp(prefix="tavelin-tls-")

    def end(*_):
        # Ended by the test harness: a clean exit status keeps its clean-up happy.
        shutil.rmtree(folder, ignore_errors=True)
        os._exit(0)

    signal.signal(signal.SIGTERM, end)
    try:
        servers = Servers(folder)
    except subprocess.CalledProcessError as e:
        sys.stderr.write("openssl failed: %s\n%s" % (e.cmd, e.stderr.decode(errors="replace")))
        end()
    print("PORT=%d" % servers.port("plain"), flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
