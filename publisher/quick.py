"""The quick path: a request in its plainest form, whole in one read, answered on the
loop's thread by a respond function without Waitress's parser and tasks, which cost twice
the answer itself. Anything else (a body, a query, an escape, HTTP/1.0, a repeated or
unusual header, a byte outside printable ASCII) is left to Waitress, which judges it in full."""
import functools
import re
import time

from waitress.utilities import build_http_date

MOST = 8192  # bytes of a request taken this way
_LINE = re.compile(rb"(GET|HEAD) (/[-A-Za-z0-9._~!$&'()*+,;=:@/]*) HTTP/1\.1")
_FIELD = re.compile(rb"([-!#$%&'*+.^`|~0-9A-Za-z]+):[ \t]*([ -~]*?)[ \t]*")
# Headers that frame or change the exchange: Waitress's rules for them hold.
_FRAMING = frozenset((b"content-length", b"transfer-encoding", b"expect", b"upgrade", b"te"))


def parse(data, prefixes):
    """(method, target, {lowercase name: value}) when data is one whole plain request for a
    path under one of prefixes (bytes), else None."""
    if len(data) > MOST or data.find(b"\r\n\r\n") != len(data) - 4:
        return None
    lines = data[:-4].split(b"\r\n")
    line = _LINE.fullmatch(lines[0])
    if line is None or not line[2].startswith(prefixes):
        return None
    fields = {}
    for text in lines[1:]:
        field = _FIELD.fullmatch(text)
        if field is None:
            return None
        name = field[1].lower()
        if name in fields or name in _FRAMING:
            return None
        if name == b"connection" and field[2].lower() not in (b"keep-alive", b"close"):
            return None
        fields[name] = field[2].decode("ascii")
    return line[1].decode("ascii"), line[2].decode("ascii"), fields


class Responder:
    """respond(method, path, if_none_match, if_modified_since) -> (status, headers, body,
    log detail), written as the bytes of an HTTP/1.1 answer."""

    def __init__(self, respond, ident):
        self.respond = respond
        self.ident = ident
        self.second, self.date = None, None

    def answer(self, method, target, fields, close):
        """(bytes to send, status code, log detail): the bytes Waitress would send."""
        status, headers, body, detail = self.respond(method, target, fields.get(b"if-none-match"),
                                                     fields.get(b"if-modified-since"))
        now = int(time.time())
        if now != self.second:
            self.second, self.date = now, build_http_date(now)
        headers = [(_capitalized(name), value) for name, value in headers]
        headers += [("Server", self.ident), ("Date", self.date)]
        if body is not None:
            headers.append(("Content-Length", str(len(body))))
        if close:
            headers.append(("Connection", "close"))
        lines = ["HTTP/1.1 " + status] + ["%s: %s" % pair for pair in sorted(headers, key=lambda pair: pair[0])]
        head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
        return (head + body if body and method == "GET" else head), int(status[:3]), detail


@functools.lru_cache(maxsize=64)
def _capitalized(name):
    return "-".join(part.capitalize() for part in name.split("-"))
