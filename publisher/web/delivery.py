"""Delivery: whether the words arrive, from the counted fetches of each key."""
import bisect
import datetime
import itertools

from flask import Blueprint, render_template

from .. import fetches
from . import db
from .charts import bars

pages = Blueprint("delivery", __name__)
DAYS = 30
STALE_DAYS = 7
LISTED = 100


@pages.route("/delivery")
def index():
    today = datetime.datetime.now(datetime.timezone.utc).date()
    days = [(today - datetime.timedelta(days=DAYS - 1 - i)).isoformat() for i in range(DAYS)]
    fetched = fetches.fetches_by_day(db(), days[0], days[-1])
    starts = fetches.key_starts(db())
    running = list(itertools.accumulate(n for _, n in starts))
    begun = [start for start, _ in starts]
    with_feed = [(running[i - 1] if i else 0) for i in (bisect.bisect_right(begun, day) for day in days)]
    chart = bars([(day, fetched.get(day, 0)) for day in days], ("key", "keys"), totals=with_feed)
    never = fetches.never_fetched(db(), LISTED)
    stale = fetches.stale(db(), (today - datetime.timedelta(days=STALE_DAYS - 1)).isoformat(), LISTED)
    table = [(day, fetched.get(day, 0), with_feed[i]) for i, day in reversed(list(enumerate(days)))]
    return render_template("delivery.html", chart=chart, table=table, never=never, stale=stale,
                           stale_days=STALE_DAYS)
