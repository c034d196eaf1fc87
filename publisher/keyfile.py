"""Reading many key codes at once: CSV with a header row key,deck,start,per_day and
optionally tz, each row refused with its line and field or kept."""
import csv
import io

from .deckfile import read_text
from .errors import PublishError

COLUMNS = ("key", "deck", "start", "per_day", "tz")


def parse(path):
    """([(line, (key, deck, start, per_day, tz))], [PublishError]) of the file."""
    text = read_text(path)
    first = text.split("\n", 1)[0]
    delimiter = "\t" if "\t" in first else ";" if ";" in first and "," not in first else ","
    reader = csv.reader(io.StringIO(text, newline=""), delimiter=delimiter)
    rows, bad, columns, line = [], [], None, 1
    try:
        for record in reader:
            here, line = line, reader.line_num + 1
            if not any(f.strip() for f in record):
                continue
            if columns is None:
                columns = [name.strip().lower() for name in record]
                missing = [c for c in COLUMNS[:4] if c not in columns]
                unknown = [c for c in columns if c not in COLUMNS]
                if missing or unknown:
                    raise PublishError("the header row names the columns %s (tz may be left out)%s"
                                       % (",".join(COLUMNS), "; not '%s'" % unknown[0] if unknown else ""),
                                       line=here)
                continue
            if len(record) > len(columns):
                bad.append(PublishError("%d fields, the header names %d" % (len(record), len(columns)), line=here))
                continue
            fields = dict(zip(columns, [f.strip() for f in record] + [""] * (len(columns) - len(record))))
            try:
                per_day = int(fields["per_day"])
            except ValueError:
                bad.append(PublishError("'%s' is not a whole number" % fields["per_day"], line=here, field="per_day"))
                continue
            rows.append((here, (fields["key"], fields["deck"], fields["start"], per_day, fields.get("tz") or "UTC")))
    except csv.Error as error:
        raise PublishError("cannot be read as CSV (%s)" % error, line=line) from None
    if columns is None:
        raise PublishError("empty: a header row key,deck,start,per_day,tz comes first")
    return rows, bad
