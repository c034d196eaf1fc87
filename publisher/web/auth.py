"""Logging in and out, and who may see and change what."""
import functools
import hashlib
import hmac

from flask import Blueprint, abort, current_app, g, redirect, render_template, request, session, url_for

from .. import accounts
from . import db

pages = Blueprint("auth", __name__)
OPEN = ("auth.login", "static")
WRONG = "The name or the password is wrong."


def _stamp(password_hash):
    # A new password ends the sessions made with the old one.
    return hashlib.sha256(password_hash.encode()).hexdigest()[:16]


def guard(app):
    @app.before_request
    def who_is_it():
        g.user = g.role = None
        name = session.get("user")
        if name is not None:
            found = accounts.user(db(), name)
            if found is not None and hmac.compare_digest(session.get("stamp", ""), _stamp(found[1])):
                g.user, g.role = name, found[0]
            else:
                session.clear()
        if g.user is None and request.endpoint not in OPEN:
            return redirect(url_for("auth.login", next=request.full_path.rstrip("?")))
        return None

    @app.context_processor
    def roles():
        return {"may": lambda role: g.get("role") is not None and accounts.may(g.role, role)}


def needs(role):
    """Views that change things: editors change content, admins also accounts."""
    def wrap(view):
        @functools.wraps(view)
        def checked(*args, **kwargs):
            if not accounts.may(g.role, role):
                abort(403, "Your account (%s) may look at this but not change it; an %s may." % (g.role, role))
            return view(*args, **kwargs)
        return checked
    return wrap


def _safe_next(target):
    return target if target and target.startswith("/") and not target.startswith("//") else url_for("decks.index")


@pages.route("/login", methods=["GET", "POST"])
def login():
    error = None
    if request.method == "POST":
        name = request.form.get("username", "")
        role = accounts.log_in(db(), name, request.form.get("password", ""))
        if role is not None:
            session.clear()
            session.permanent = True
            session["user"] = name
            session["stamp"] = _stamp(accounts.user(db(), name)[1])
            return redirect(_safe_next(request.args.get("next")))
        current_app.logger.warning("failed login for %r", name)
        error = WRONG
    return render_template("login.html", error=error, username=request.form.get("username", "")), \
        (401 if error else 200)


@pages.route("/logout", methods=["POST"])
def logout():
    session.clear()
    return redirect(url_for("auth.login"))


@pages.route("/")
def home():
    return redirect(url_for("decks.index"))
