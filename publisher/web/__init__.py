"""The web console: an application factory over the publisher's database, one
blueprint per group of pages."""
import datetime
import sqlite3

from flask import Flask, current_app, g, render_template, request
from flask_wtf.csrf import CSRFError, CSRFProtect
from werkzeug.exceptions import HTTPException
from werkzeug.middleware.proxy_fix import ProxyFix

from .. import accounts, store
from ..errors import PublishError
from .uploads import Uploads

UPLOAD_LIMIT = 16 << 20


class Unavailable(Exception):
    """The database cannot be read or written now: locked, missing or damaged."""


def create_app(db_path, behind_proxy=False, upload_dir=None, feed_base=None):
    app = Flask(__name__)
    db = store.open_db(db_path)
    try:
        secret = accounts.session_secret(db)
    finally:
        db.close()
    app.config.update(
        SECRET_KEY=secret,
        DB_BUSY_MS=3000,  # how long a request waits for another writer before a 503
        DB_PATH=db_path,
        FEED_BASE=feed_base,
        # The file and the few fields beside it.
        MAX_CONTENT_LENGTH=UPLOAD_LIMIT + (64 << 10),
        PERMANENT_SESSION_LIFETIME=datetime.timedelta(hours=8),
        SESSION_COOKIE_HTTPONLY=True,
        SESSION_COOKIE_SAMESITE="Lax",
        SESSION_COOKIE_SECURE=behind_proxy,
        SESSION_COOKIE_NAME="tavelin_session",
        # A form stays good as long as the session it was made in.
        WTF_CSRF_TIME_LIMIT=None,
    )
    if behind_proxy:
        app.wsgi_app = ProxyFix(app.wsgi_app, x_for=1, x_proto=1, x_host=1, x_prefix=1)
    CSRFProtect(app)
    app.extensions["tavelin_uploads"] = Uploads(upload_dir)

    from . import admin, auth, decks, delivery, keys, news
    for module in (auth, decks, keys, news, delivery, admin):
        app.register_blueprint(module.pages)
    auth.guard(app)
    app.teardown_appcontext(_close_db)
    _error_pages(app)
    app.jinja_env.filters["thousands"] = lambda n: "{:,}".format(n)
    return app


def db():
    """This request's connection, opened on first use."""
    if "db" not in g:
        try:
            g.db = store.open_db(current_path(), timeout=current_app.config["DB_BUSY_MS"] / 1000)
        except PublishError as error:
            raise Unavailable(error.message) from None
    return g.db


def current_path():
    return current_app.config["DB_PATH"]


def _close_db(_error):
    connection = g.pop("db", None)
    if connection is not None:
        connection.close()


def _error_pages(app):
    def page(status, title, text, headers=None):
        return render_template("error.html", title=title, text=text), status, headers or {}

    @app.errorhandler(CSRFError)
    def csrf_missing(error):
        return page(400, "The form was not accepted",
                    "It came without its security token, or with an old one: nothing was changed. "
                    "Go back, reload the page and send the form again.")

    @app.errorhandler(413)
    def too_large(error):
        return page(413, "The file is too large",
                    "A file may hold at most 16 MiB; nothing was stored. Split it, or leave out columns "
                    "the saver does not show.")

    @app.errorhandler(404)
    def not_found(error):
        return page(404, "No such page", "There is nothing at %s." % request.path)

    @app.errorhandler(Unavailable)
    @app.errorhandler(sqlite3.OperationalError)
    @app.errorhandler(sqlite3.DatabaseError)
    def unavailable(error):
        app.logger.warning("database unavailable: %s", error)
        return page(503, "The database is busy or cannot be read",
                    "Nothing was changed. Try again in a minute; if it persists, ask whoever runs the server "
                    "to look at its log.", {"Retry-After": "30"})

    @app.errorhandler(HTTPException)
    def other_http(error):
        return page(error.code, error.name, error.description)

    @app.errorhandler(Exception)
    def internal(error):
        app.logger.exception("unexpected error on %s", request.path)
        return page(500, "Something went wrong",
                    "The server could not finish this; nothing was changed. Its log says why.")
