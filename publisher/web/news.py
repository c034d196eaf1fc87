"""News: the texts with their dates and keys, and a new one for all keys or one."""
import datetime

from flask import Blueprint, flash, g, redirect, render_template, request, url_for

from .. import model
from ..errors import PublishError
from . import db
from .auth import needs
from .common import reason

pages = Blueprint("news", __name__)


def _page(error=None, form=None, status=200):
    form = form or {"from_date": datetime.datetime.now(datetime.timezone.utc).date().isoformat(), "key": "",
                    "text": ""}
    return render_template("news.html", news=model.list_news(db()), error=error, form=form), status


@pages.route("/news")
def index():
    return _page()


@pages.route("/news", methods=["POST"])
@needs("editor")
def add():
    form = {f: request.form.get(f, "") for f in ("text", "from_date", "key")}
    form["key"] = form["key"].strip()
    try:
        model.set_news(db(), form["text"], form["from_date"].strip(), form["key"] or None, actor=g.user)
    except PublishError as error:
        return _page(reason(error), form, 400)
    flash("News set from %s." % form["from_date"], "info")
    return redirect(url_for("news.index"))
