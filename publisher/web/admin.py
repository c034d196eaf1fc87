"""For admins: the accounts, and the log of every change."""
from flask import Blueprint, flash, g, redirect, render_template, request, url_for

from .. import accounts, model
from ..errors import PublishError
from . import db
from .auth import needs
from .common import PAGE, page_number, reason

pages = Blueprint("admin", __name__)


@pages.route("/activity")
@needs("admin")
def activity():
    page = page_number()
    return render_template("activity.html", rows=model.activity(db(), PAGE + 1, (page - 1) * PAGE), page=page,
                           per_page=PAGE)


def _users(error=None, form=None, status=200):
    return render_template("users.html", users=accounts.list_users(db()), roles=accounts.ROLES, error=error,
                           form=form or {"name": "", "role": "editor"}), status


@pages.route("/users")
@needs("admin")
def users():
    return _users()


@pages.route("/users", methods=["POST"])
@needs("admin")
def add_user():
    form = {"name": request.form.get("name", ""), "role": request.form.get("role", "")}
    try:
        accounts.add_user(db(), form["name"], form["role"], request.form.get("password", ""), actor=g.user)
    except PublishError as error:
        return _users(reason(error), form, 400)
    flash("Account '%s' added." % form["name"], "info")
    return redirect(url_for("admin.users"))


@pages.route("/users/<name>", methods=["POST"])
@needs("admin")
def change_user(name):
    action = request.form.get("action")
    try:
        if action == "role":
            accounts.set_role(db(), name, request.form.get("role", ""), actor=g.user)
            flash("Account '%s' is now %s." % (name, request.form.get("role")), "info")
        elif action == "password":
            accounts.set_password(db(), name, request.form.get("password", ""), actor=g.user)
            flash("Password of '%s' changed." % name, "info")
        elif action == "remove":
            accounts.remove_user(db(), name, actor=g.user)
            flash("Account '%s' removed." % name, "info")
        else:
            return _users("unknown action", status=400)
    except PublishError as error:
        return _users("%s: %s" % (name, reason(error)), status=400)
    return redirect(url_for("admin.users"))
