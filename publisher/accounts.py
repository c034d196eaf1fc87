"""The web console's accounts: roles, password hashes, the login lock, and the key
that signs its session cookies."""
import secrets
import time

from werkzeug.security import check_password_hash, generate_password_hash

from .errors import PublishError
from .model import record
from .store import transaction
from .texts import problem

ROLES = ("viewer", "editor", "admin")  # each may do what the one before may
LOCK_FAILURES = 5
LOCK_WINDOW = 15 * 60   # seconds in which that many failures lock an account
LOCK_TIME = 15 * 60
# Checked when no account has the name, so that a missing one answers as slowly.
_NOBODY = generate_password_hash(secrets.token_hex(16))


def may(role, needed):
    return ROLES.index(role) >= ROLES.index(needed)


def check_name(name):
    why = problem(name, 64) if name.strip() == name and name else "1 to 64 characters, no spaces around"
    if why is not None:
        raise PublishError("account name '%s': %s" % (name, why))


def check_password(password):
    if len(password) < 8:
        raise PublishError("a password has at least 8 characters")


def check_role(role):
    if role not in ROLES:
        raise PublishError("role '%s': one of %s" % (role, ", ".join(ROLES)))


def add_user(db, name, role, password, actor=None):
    check_name(name)
    check_role(role)
    check_password(password)
    with transaction(db):
        if db.execute("SELECT 1 FROM users WHERE name = ?", (name,)).fetchone():
            raise PublishError("account '%s' exists already" % name)
        db.execute("INSERT INTO users (name, role, password) VALUES (?, ?, ?)",
                   (name, role, generate_password_hash(password)))
        record(db, actor, "account '%s' added as %s" % (name, role))


def _change(db, name, sql, args, what, actor):
    with transaction(db):
        if db.execute(sql, args).rowcount == 0:
            raise PublishError("no account '%s'" % name)
        _keep_an_admin(db)
        record(db, actor, what)


def _keep_an_admin(db):
    if not db.execute("SELECT 1 FROM users WHERE role = 'admin'").fetchone():
        raise PublishError("the last admin account stays an admin; make another admin first")


def set_password(db, name, password, actor=None):
    check_password(password)
    _change(db, name, "UPDATE users SET password = ?, locked_until = 0 WHERE name = ?",
            (generate_password_hash(password), name), "account '%s': password changed" % name, actor)


def set_role(db, name, role, actor=None):
    check_role(role)
    _change(db, name, "UPDATE users SET role = ? WHERE name = ?", (role, name),
            "account '%s' is now %s" % (name, role), actor)


def remove_user(db, name, actor=None):
    _change(db, name, "DELETE FROM users WHERE name = ?", (name,), "account '%s' removed" % name, actor)


def list_users(db):
    return db.execute("SELECT name, role FROM users ORDER BY name").fetchall()


def user(db, name):
    """(role, password hash) of an account, or None."""
    return db.execute("SELECT role, password FROM users WHERE name = ?", (name,)).fetchone()


def log_in(db, name, password, now=None):
    """The account's role when the password is right and its login is not locked,
    else None: the caller cannot tell a lock from a wrong password, nor can a guesser."""
    now = time.time() if now is None else now
    row = db.execute("SELECT role, password, locked_until FROM users WHERE name = ?", (name,)).fetchone()
    if row is None:
        check_password_hash(_NOBODY, password)
        return None
    role, hashed, locked_until = row
    if locked_until > now:
        return None
    if check_password_hash(hashed, password):
        with transaction(db):
            db.execute("DELETE FROM login_failures WHERE name = ?", (name,))
        return role
    with transaction(db):
        db.execute("INSERT INTO login_failures (name, at) VALUES (?, ?)", (name, now))
        db.execute("DELETE FROM login_failures WHERE at <= ?", (now - LOCK_WINDOW,))
        failures = db.execute("SELECT COUNT(*) FROM login_failures WHERE name = ?", (name,)).fetchone()[0]
        if failures >= LOCK_FAILURES:
            db.execute("UPDATE users SET locked_until = ? WHERE name = ?", (now + LOCK_TIME, name))
            db.execute("DELETE FROM login_failures WHERE name = ?", (name,))
            record(db, name, "login of '%s' locked for %d minutes after %d failed attempts"
                   % (name, LOCK_TIME // 60, failures))
    return None


def session_secret(db):
    """The key that signs session cookies: made once, kept in the database."""
    with transaction(db):
        db.execute("INSERT INTO settings (name, value) VALUES ('session_secret', ?) ON CONFLICT (name) DO NOTHING",
                   (secrets.token_hex(32),))
        return db.execute("SELECT value FROM settings WHERE name = 'session_secret'").fetchone()[0]
