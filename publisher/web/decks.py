"""Decks: the list, the two-step import of a file, and the words, one by one."""
from flask import Blueprint, abort, flash, g, redirect, render_template, request, url_for

from .. import deckfile, model
from ..errors import PublishError
from ..texts import FIELDS
from . import db
from .auth import needs
from .common import PAGE, PREVIEW, page_number, preview, reason, second_step, skipped, take_upload, uploads

pages = Blueprint("decks", __name__)


def _index(error=None, name="", status=200):
    return render_template("decks.html", decks=model.deck_summaries(db()), error=error, name=name), status


@pages.route("/decks")
def index():
    return _index()


@pages.route("/decks/upload", methods=["POST"])
@needs("editor")
def upload():
    name = request.form.get("name", "")
    try:
        model.check_deck_name(name)
        data, filename = take_upload()
    except PublishError as error:
        return _index(reason(error), name, 400)
    token = uploads().keep(data, g.user, {"name": name, "filename": filename})
    path, meta = uploads().find(token, g.user)
    try:
        good, bad, repeats = uploads().parse(token, path, _parse)
    except PublishError as error:
        uploads().drop(token)
        return _index("%s: %s" % (filename, reason(error)), name, 400)
    if not good and not bad:
        uploads().drop(token)
        return _index("%s: no words below the header row" % filename, name, 400)
    exists = name in model.deck_names(db())
    return preview("deck_preview.html", "deck", token, good, bad, meta, good[:PREVIEW], fields=FIELDS,
                   replaces=exists, repeats=repeats)


def _parse(path, meta=None):
    """What 'deck import' reads from the file, repeated rows left out as it leaves them."""
    rows, bad = deckfile.parse(path)
    rows, repeats = deckfile.without_repeats(rows)
    return rows, bad, repeats


@pages.route("/decks/import", methods=["POST"])
@needs("editor")
def import_():
    def store(good, bad, meta):
        model.import_deck(db(), meta["name"], good, actor=g.user, skipped=len(bad))
        flash("Deck '%s': %d words imported%s." % (meta["name"], len(good),
                                                    skipped(len(bad))), "info")
        return url_for("decks.deck", name=meta["name"])
    return second_step("deck", _parse, store, url_for("decks.index"))


@pages.route("/decks/<name>")
def deck(name):
    search = request.args.get("q", "").strip()
    page = page_number()
    try:
        total, words = model.deck_words(db(), name, search, (page - 1) * PAGE, PAGE)
    except PublishError:
        abort(404)
    return render_template("deck.html", name=name, words=words, total=total, search=search, page=page,
                           pages=max(1, -(-total // PAGE)), fields=FIELDS)


def _word_or_404(name, position):
    try:
        word = model.deck_word(db(), name, position)
    except PublishError:
        word = None
    if word is None:
        abort(404)
    return word


@pages.route("/decks/<name>/words/<int:position>")
def word(name, position):
    return render_template("word.html", name=name, position=position, word=_word_or_404(name, position - 1),
                           fields=FIELDS)


@pages.route("/decks/<name>/words/<int:position>", methods=["POST"])
@needs("editor")
def save_word(name, position):
    _word_or_404(name, position - 1)
    word = {f: request.form.get(f, "") for f in FIELDS}
    rows, bad = [], []
    deckfile._check(None, None, word, rows, bad)  # the checks an imported row passes
    if bad:
        return render_template("word.html", name=name, position=position, word=word, fields=FIELDS,
                               error=reason(bad[0])), 400
    model.edit_word(db(), name, position - 1, rows[0].fields, actor=g.user)
    flash("Word %d saved." % position, "info")
    return redirect(url_for("decks.deck", name=name, page=(position - 1) // PAGE + 1))


@pages.route("/decks/<name>/words/<int:position>/delete", methods=["POST"])
@needs("editor")
def delete_word(name, position):
    _word_or_404(name, position - 1)
    try:
        model.delete_word(db(), name, position - 1, actor=g.user)
        flash("Word %d deleted; the words after it moved up one." % position, "info")
    except PublishError as error:
        flash(reason(error), "error")
    return redirect(url_for("decks.deck", name=name, page=(position - 1) // PAGE + 1))

