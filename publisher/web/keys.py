"""Key codes: the list with its filters, adding one or many, changing, removing,
and a key's page with its lines of any day, its calendar and its fetches."""
import datetime

from flask import Blueprint, abort, current_app, flash, g, redirect, render_template, request, url_for

from .. import fetches, keyfile, model, schedule
from ..errors import PublishError
from . import db
from .auth import needs
from .charts import bars
from .common import PAGE, PREVIEW, page_number, preview, reason, second_step, skipped, take_upload, uploads

pages = Blueprint("keys", __name__)
CALENDAR_DAYS = 30
FETCH_DAYS = 90
KEY_FIELDS = ("key", "deck", "start", "per_day", "tz")


def _today():
    return datetime.datetime.now(datetime.timezone.utc).date()


def _list(error=None, form=None, status=200):
    deck = request.args.get("deck", "")
    stale = request.args.get("stale", "").strip()
    stale_since = None
    if stale:
        if not stale.isdigit() or int(stale) > 36500:
            error = error or "'not fetched for' wants a number of days"
        else:
            stale_since = (_today() - datetime.timedelta(days=int(stale) - 1)).isoformat()
    page = page_number()
    total, rows = model.keys_page(db(), deck, stale_since, (page - 1) * PAGE, PAGE)
    form = form or {"start": _today().isoformat(), "per_day": "5", "tz": "UTC"}
    return render_template("keys.html", rows=rows, total=total, page=page, pages=max(1, -(-total // PAGE)),
                           decks=model.deck_names(db()), deck=deck, stale=stale, error=error, form=form), status


@pages.route("/keys")
def index():
    return _list()


@pages.route("/keys", methods=["POST"])
@needs("editor")
def add():
    form = {f: request.form.get(f, "").strip() for f in KEY_FIELDS}
    try:
        model.add_key(db(), form["key"], form["deck"], form["start"], _per_day(form["per_day"]), form["tz"] or "UTC",
                      actor=g.user)
    except PublishError as error:
        return _list(reason(error), form, 400)
    flash("Key '%s' added." % form["key"], "info")
    return redirect(url_for("keys.key", code=form["key"]))


def _per_day(text):
    try:
        return int(text)
    except ValueError:
        raise PublishError("words a day: '%s' is not a whole number from 1 to 100" % text) from None


def _parse(path, meta=None):
    rows, bad = keyfile.parse(path)
    good = []
    for (line, key), found in zip(rows, model.check_new_keys(db(), [key for _, key in rows])):
        if found is None:
            good.append(key)
        else:
            found.line = line
            bad.append(found)
    bad.sort(key=lambda e: e.line)
    return good, bad


@pages.route("/keys/upload", methods=["POST"])
@needs("editor")
def upload():
    try:
        data, filename = take_upload()
    except PublishError as error:
        return _list(reason(error), status=400)
    token = uploads().keep(data, g.user, {"filename": filename})
    path, meta = uploads().find(token, g.user)
    try:
        good, bad = uploads().parse(token, path, _parse)
    except PublishError as error:
        uploads().drop(token)
        return _list("%s: %s" % (filename, reason(error)), status=400)
    return preview("keys_preview.html", "keys", token, good, bad, meta, good[:PREVIEW], fields=KEY_FIELDS)


@pages.route("/keys/import", methods=["POST"])
@needs("editor")
def import_():
    def store(good, bad, meta):
        model.add_keys(db(), good, actor=g.user)
        flash("%d keys added%s." % (len(good), skipped(len(bad))), "info")
        return url_for("keys.index")
    return second_step("keys", _parse, store, url_for("keys.index"))


def _info_or_404(code):
    info = model.key_info(db(), code)
    if info is None:
        abort(404)
    return info


@pages.route("/keys/<code>")
def key(code, error=None, form=None, status=200):
    info = _info_or_404(code)
    day = model.KeyDay(db(), code)
    date_text = request.args.get("date", "")
    date_error = None
    try:
        date = schedule.parse_date(date_text) if date_text else schedule.local_date(info["tz"])
    except PublishError as refused:
        date_error, date = refused.message, schedule.local_date(info["tz"])
    shown = day.lines(date, True)
    calendar = [(date + datetime.timedelta(days=i), day.counts(date + datetime.timedelta(days=i)))
                for i in range(CALENDAR_DAYS)]
    today = _today()
    first = today - datetime.timedelta(days=FETCH_DAYS - 1)
    fetched = fetches.of_key(db(), code, first.isoformat())
    per_day = {row[0]: row[1] for row in fetched}
    chart = bars([((first + datetime.timedelta(days=i)).isoformat(),
                   per_day.get((first + datetime.timedelta(days=i)).isoformat(), 0)) for i in range(FETCH_DAYS)],
                 ("fetch a day", "fetches a day"))
    base = current_app.config.get("FEED_BASE")
    return render_template("key.html", info=info, date=date, date_text=date_text, date_error=date_error,
                           shown=shown, calendar=calendar, fetched=list(reversed(fetched)), chart=chart,
                           feed=(base.rstrip("/") if base else "") + "/auth/%s.xml" % code,
                           decks=model.deck_names(db()), error=error, form=form or info), status


@pages.route("/keys/<code>/change", methods=["POST"])
@needs("editor")
def change(code):
    _info_or_404(code)
    form = {f: request.form.get(f, "").strip() for f in KEY_FIELDS}
    form["code"] = code
    try:
        model.change_key(db(), code, form["deck"], form["start"], _per_day(form["per_day"]), form["tz"],
                         actor=g.user)
    except PublishError as error:
        return key(code, reason(error), form, 400)
    flash("Key '%s' changed." % code, "info")
    return redirect(url_for("keys.key", code=code))


@pages.route("/keys/<code>/remove", methods=["POST"])
@needs("editor")
def remove(code):
    _info_or_404(code)
    model.remove_key(db(), code, actor=g.user)
    flash("Key '%s' removed." % code, "info")
    return redirect(url_for("keys.index"))
