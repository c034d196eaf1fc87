"""Reading a deck file: CSV or TSV with a header row, or a plain-text notes export
with '#separator:' and '#html:' header lines. Yields rows of the deck's fields with
the line each starts on; refuses what the saver could not show exactly."""
import codecs
import csv
import html.parser
import io
import re

from .errors import PublishError
from .texts import FIELDS, limit_of, problem

SEPARATORS = {"tab": "\t", "comma": ",", "semicolon": ";", "space": " ", "pipe": "|", "colon": ":"}
# Columns of a notes export that hold no field of the note.
META_COLUMNS = ("guid", "notetype", "deck", "tags")


class Row:
    def __init__(self, line, fields):
        self.line = line      # the line the row starts on
        self.fields = fields  # name -> text, every name of FIELDS


def read_text(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        raise PublishError("cannot read (%s)" % error.strerror, file=path) from None
    if data.startswith((codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE)):
        # a spreadsheet's "Unicode text"
        try:
            return data.decode("utf-16")
        except UnicodeDecodeError as error:
            raise PublishError("cannot be read as UTF-16 (%s at byte %d)" % (error.reason, error.start),
                               file=path) from None
    # Bytes that are not UTF-8 survive as lone surrogates, so that the row holding
    # them can be named (and skipped with --skip-bad).
    text = data.decode("utf-8", errors="surrogateescape")
    return text[1:] if text.startswith("\ufeff") else text


def parse(path):
    """(rows, bad) where bad lists a PublishError for each refused row."""
    text = read_text(path)
    if text.startswith("#"):
        return _parse_notes_export(path, text)
    return _parse_table(path, text)


def _records(text, delimiter, first_line=1):
    """(line the record starts on, its fields), lines of nothing but spaces and
    separators left out; text begins on line first_line of its file."""
    reader = csv.reader(io.StringIO(text, newline=""), delimiter=delimiter, strict=True)
    line = first_line
    while True:
        try:
            record = next(reader)
        except StopIteration:
            return
        except csv.Error as error:
            raise PublishError("cannot be read as %s (%s)" % ("TSV" if delimiter == "\t" else "CSV", error),
                               line=reader.line_num + first_line - 1) from None
        if any(field.strip() for field in record):
            yield line, record
        line = reader.line_num + first_line


def _parse_table(path, text):
    first, _, rest = text.partition("\n")
    declared = re.fullmatch(r"sep=(.)\r?", first)  # a spreadsheet's separator line
    if declared:
        delimiter, text = declared.group(1), rest
    else:
        delimiter = "\t" if "\t" in first else ";" if ";" in first and "," not in first else ","
    records = _records(text, delimiter, 2 if declared else 1)
    try:
        line, header = next(records)
    except StopIteration:
        raise PublishError("empty: a header row naming the columns word and translation comes first",
                           file=path) from None
    except PublishError as error:
        error.file = path
        raise
    for name in header:
        why = problem(name, 255)
        if why is not None:
            raise PublishError("header row: " + why, file=path, line=line)
    columns = [name.strip().lower() for name in header]
    for i, name in enumerate(columns):
        if name not in FIELDS:
            raise PublishError("unknown column '%s': the first row names the columns (%s)"
                               % (header[i], ", ".join(FIELDS)),
                               file=path, line=line)
        if columns.index(name) != i:
            raise PublishError("column '%s' named twice" % name, file=path, line=line)
    for name in ("word", "translation"):
        if name not in columns:
            raise PublishError("no column '%s' in the header row" % name, file=path, line=line)
    rows, bad = [], []
    try:
        for line, record in records:
            if len(record) > len(columns):
                bad.append(PublishError("%d fields, the header names %d" % (len(record), len(columns)),
                                        file=path, line=line))
                continue
            record += [""] * (len(columns) - len(record))
            _check(path, line, dict(zip(columns, record)), rows, bad)
    except PublishError as error:
        error.file = path
        raise
    return rows, bad


class _PlainText(html.parser.HTMLParser):
    BREAKS = {"br", "div", "p", "li", "tr", "td", "th"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []

    def handle_starttag(self, tag, attrs):
        if tag in self.BREAKS:
            self.parts.append(" ")

    handle_startendtag = handle_starttag

    def handle_endtag(self, tag):
        if tag in self.BREAKS and tag != "br":
            self.parts.append(" ")

    def handle_data(self, data):
        self.parts.append(data)


def html_to_text(field):
    """Tags dropped, entities decoded, a line break (<br>, a block's edge) a space."""
    parser = _PlainText()
    parser.feed(field)
    parser.close()
    return re.sub(r"[ \t\r\n]+", " ", "".join(parser.parts)).strip(" ")


def _parse_notes_export(path, text):
    options, body_start, line = {}, 0, 1
    while text.startswith("#", body_start):
        end = text.find("\n", body_start)
        end = len(text) if end < 0 else end + 1
        name, _, value = text[body_start + 1:end].rstrip("\r\n").partition(":")
        options[name.strip().lower()] = value.strip()
        body_start, line = end, line + 1
    separator = options.get("separator", "tab")
    delimiter = SEPARATORS.get(separator.lower(), separator)
    if len(delimiter) != 1:
        raise PublishError("unknown separator '%s'" % separator, file=path, line=1)
    as_html = options.get("html", "false").lower() == "true"
    skipped = set()
    for meta in META_COLUMNS:
        value = options.get(meta + " column")
        if value is not None:
            if not value.isdigit() or int(value) < 1:
                raise PublishError("'#%s column:' wants a column number, not '%s'" % (meta, value), file=path)
            skipped.add(int(value) - 1)
    rows, bad = [], []
    try:
        for record_line, record in _records(text[body_start:], delimiter, line):
            fields = [f for i, f in enumerate(record) if i not in skipped]
            if as_html:
                fields = [html_to_text(f) for f in fields]
            fields += [""] * (2 - len(fields))
            _check(path, record_line, {"word": fields[0], "translation": fields[1]}, rows, bad)
    except PublishError as error:
        error.file = path
        raise
    return rows, bad


def _check(path, line, given, rows, bad):
    fields = {name: given.get(name, "") for name in FIELDS}
    for name in ("word", "translation"):
        if not fields[name].strip():
            bad.append(PublishError("empty; every row needs a word and a translation",
                                    file=path, line=line, field=name))
            return
    for name in FIELDS:
        why = problem(fields[name], limit_of(name))
        if why is not None:
            bad.append(PublishError(why, file=path, line=line, field=name))
            return
    rows.append(Row(line, fields))


def without_repeats(rows):
    """(rows, lines of the rows left out): a word with the same translation is kept once."""
    seen, kept, repeats = set(), [], []
    for row in rows:
        pair = (row.fields["word"], row.fields["translation"])
        if pair in seen:
            repeats.append(row.line)
        else:
            seen.add(pair)
            kept.append(row)
    return kept, repeats
