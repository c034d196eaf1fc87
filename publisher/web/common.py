"""What several groups of pages share: refusals as words, pages of long lists,
and the two steps of an upload."""
from flask import current_app, flash, g, redirect, render_template, request

from ..errors import PublishError
from . import UPLOAD_LIMIT

PAGE = 100  # rows on a page of a long list
PREVIEW = 20  # rows shown before an import
REFUSED_SHOWN = 1000


def reason(error):
    """A refusal without the file name: the uploaded file's name on the server means nothing."""
    parts = []
    if error.line is not None:
        parts.append("line %d" % error.line)
    if error.field is not None:
        parts.append("field '%s'" % error.field)
    return (", ".join(parts) + ": " if parts else "") + error.message


def skipped(count):
    return ", %d row%s skipped" % (count, "s" * (count != 1)) if count else ""


def page_number():
    try:
        return max(1, int(request.args.get("page", "1")))
    except ValueError:
        return 1


def uploads():
    return current_app.extensions["tavelin_uploads"]


def take_upload(field="file"):
    """The uploaded file's bytes; a PublishError when there is none or it is too large."""
    upload = request.files.get(field)
    if upload is None or not upload.filename:
        raise PublishError("choose a file to upload")
    data = upload.read(UPLOAD_LIMIT + 1)
    if len(data) > UPLOAD_LIMIT:
        from werkzeug.exceptions import RequestEntityTooLarge
        raise RequestEntityTooLarge()
    return data, upload.filename


def second_step(kind, parse, store, back):
    """The answer to a preview's buttons: import all, the good rows only, or cancel.
    parse(path, meta) gives (good, bad, ...); store(good, bad, meta) writes them."""
    token = request.form.get("token", "")
    found = uploads().find(token, g.user)
    if found is None:
        flash("That preview has expired or was answered already; upload the file again.", "error")
        return redirect(back)
    path, meta = found
    action = request.form.get("action")
    if action == "cancel":
        uploads().drop(token)
        flash("Cancelled: nothing was stored.", "info")
        return redirect(back)
    good, bad = uploads().parse(token, path, lambda p: parse(p, meta))[:2]
    if action not in ("all", "good") or (action == "all" and bad) or not good:
        flash("Nothing was stored: %s." % ("the file has refused rows; import the good rows or cancel" if good
                                           else "the file has no good rows"), "error")
        return redirect(back)
    try:
        where = store(good, bad, meta)
    except PublishError as error:
        flash("Nothing was stored: %s" % reason(error), "error")
        return redirect(back)
    uploads().drop(token)
    return redirect(where)


def preview(template, kind, token, good, bad, meta, rows, **extra):
    return render_template(template, kind=kind, token=token, good_count=len(good), bad=bad[:REFUSED_SHOWN],
                           bad_count=len(bad), rows=rows, meta=meta, reason=reason, **extra)
