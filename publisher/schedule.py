"""Which deck positions a key shows on a day: each word the day it is introduced and
again 1, 3, 7, 14 and 30 days later, so that passive exposure turns into memory."""
import datetime
import functools
import re
import zoneinfo

from .errors import PublishError

REPEATS = (0, 1, 3, 7, 14, 30)
DATE = re.compile(r"\d{4}-\d{2}-\d{2}")


def parse_date(text, what="date"):
    if DATE.fullmatch(text):
        try:
            return datetime.date.fromisoformat(text)
        except ValueError:
            pass
    raise PublishError("%s '%s' is not a day written YYYY-MM-DD" % (what, text))


def zone(name):
    try:
        return zoneinfo.ZoneInfo(name)
    except (zoneinfo.ZoneInfoNotFoundError, ValueError):
        raise PublishError("unknown time zone '%s' (names like UTC or Europe/Paris)" % name) from None


def local_date(tz_name, now=None):
    """The date in the zone at the moment now (a UTC datetime; the present when None)."""
    now = now or datetime.datetime.now(datetime.timezone.utc)
    return now.astimezone(zone(tz_name)).date()


def new_positions(day, per_day, deck_length):
    """The deck positions introduced on day, in deck order; a finished deck starts over."""
    first = day * per_day
    return sorted({(first + i) % deck_length for i in range(per_day)})


@functools.lru_cache(maxsize=4096)
def day_positions(day, per_day, deck_length):
    """The positions shown on day (0 = the start date), or None before the start.
    Keys that share a start, a pace and a deck size share the answer."""
    if day < 0:
        return None
    seen, shown = set(), []
    for back in REPEATS:
        if day - back < 0:
            break
        for position in new_positions(day - back, per_day, deck_length):
            if position not in seen:
                seen.add(position)
                shown.append(position)
    return tuple(shown)
