"""tavelin-publish: the command line."""
import argparse
import getpass
import os
import sqlite3
import sys

from . import accounts, deckfile, fetches, model, schedule
from .errors import PublishError
from .publish import publish
from .store import open_db

PROG = "tavelin-publish"


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        # One line, like every other refusal.
        self.exit(2, "%s: %s (--help shows the usage)\n" % (self.prog, message))


def _db_option(parser):
    parser.add_argument("--db", default=argparse.SUPPRESS, metavar="FILE",
                        help="the database (default: tavelin.db in the working folder)")


def _parser():
    top = _Parser(prog=PROG, description="Vocabulary decks in, each key code's feed of the day out.")
    _db_option(top)
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND")

    def command(group, name, help_text):
        p = group.add_parser(name, help=help_text, description=help_text)
        _db_option(p)
        return p

    deck = command(commands, "deck", "import and list vocabulary decks")
    deck_do = deck.add_subparsers(dest="action", required=True, metavar="ACTION")
    p = command(deck_do, "import", "read a deck from CSV, TSV or a plain-text notes export; replaces a deck of that name")
    p.add_argument("name")
    p.add_argument("file")
    p.add_argument("--skip-bad", action="store_true", help="import the good rows and list each skipped one")
    command(deck_do, "list", "the decks and their number of words")

    key = command(commands, "key", "add, list and remove key codes")
    key_do = key.add_subparsers(dest="action", required=True, metavar="ACTION")
    p = command(key_do, "add", "a key code that shows a deck from a start date")
    p.add_argument("key")
    p.add_argument("--deck", required=True, metavar="NAME")
    p.add_argument("--start", required=True, metavar="YYYY-MM-DD")
    p.add_argument("--per-day", required=True, type=int, metavar="N", help="new words a day, 1 to 100")
    p.add_argument("--tz", default="UTC", metavar="ZONE", help="the zone whose midnight begins the key's day")
    command(key_do, "list", "the key codes")
    p = command(key_do, "remove", "remove a key code and its own news")
    p.add_argument("key")

    news = command(commands, "news", "set the news ticker's text")
    news_do = news.add_subparsers(dest="action", required=True, metavar="ACTION")
    p = command(news_do, "set", "the news from a date on, for one key or for all")
    p.add_argument("text")
    p.add_argument("--from", dest="from_date", required=True, metavar="YYYY-MM-DD")
    p.add_argument("--key", metavar="KEY", help="only this key (default: every key without news of its own)")

    p = command(commands, "show", "the day's lines as the saver shows them")
    p.add_argument("key")
    p.add_argument("--date", metavar="YYYY-MM-DD", help="this day instead of today in the key's zone")
    p.add_argument("--extra", action="store_true", help="with the grammar notes")

    p = command(commands, "publish", "write OUTDIR/auth/<KEY>.xml for every key whose day has begun")
    p.add_argument("outdir")
    p.add_argument("--date", metavar="YYYY-MM-DD", help="this day for every key instead of today in its zone")

    p = command(commands, "serve", "answer GET /auth/<KEY>.xml with the key's feed of the day")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=8080, help="0 takes a free port (printed as PORT=<n>)")

    p = command(commands, "web", "the web console for decks, keys, news, accounts and delivery")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=8081, help="0 takes a free port (printed as URL=http://HOST:PORT/)")
    p.add_argument("--behind-proxy", action="store_true",
                   help="behind a TLS proxy: cookies only over HTTPS, and the proxy's X-Forwarded-* headers trusted")
    p.add_argument("--feed-base", metavar="URL", help="where the feeds are served, for the keys' pages "
                   "(e.g. https://feeds.example.org)")

    user = command(commands, "user", "the web console's accounts")
    user_do = user.add_subparsers(dest="action", required=True, metavar="ACTION")
    p = command(user_do, "add", "an account; the password from a prompt or one line of standard input")
    p.add_argument("name")
    p.add_argument("--role", required=True, choices=accounts.ROLES)
    p = command(user_do, "passwd", "a new password for an account")
    p.add_argument("name")
    p = command(user_do, "remove", "remove an account")
    p.add_argument("name")
    command(user_do, "list", "the accounts and their roles")

    p = command(commands, "fetches", "count feed fetches from web server access logs")
    fetches_do = p.add_subparsers(dest="action", required=True, metavar="ACTION")
    p = command(fetches_do, "import", "the GET requests of /auth/<KEY>.xml answered 200 or 304, each counted once")
    p.add_argument("logfile", nargs="+", help="common or combined format, gzip-compressed too")
    return top


def _deck(args, db):
    if args.action == "list":
        for name, count in model.list_decks(db):
            print("%s\t%d words" % (name, count))
        return
    rows, bad = deckfile.parse(args.file)
    if bad and not args.skip_bad:
        extra = "" if len(bad) == 1 else " (and %d more bad rows; --skip-bad imports the good ones)" % (len(bad) - 1)
        raise PublishError(str(bad[0]) + extra)
    for error in bad:
        print("skipped %s" % error, file=sys.stderr)
    rows, repeats = deckfile.without_repeats(rows)
    if repeats:
        print("%s: %d repeated rows left out, lines %s" % (args.file, len(repeats), ", ".join(map(str, repeats))),
              file=sys.stderr)
    model.import_deck(db, args.name, rows, skipped=len(bad))
    print("deck '%s': %d words imported%s" % (args.name, len(rows), ", %d rows skipped" % len(bad) if bad else ""))


def _key(args, db):
    if args.action == "add":
        model.add_key(db, args.key, args.deck, args.start, args.per_day, args.tz)
    elif args.action == "remove":
        model.remove_key(db, args.key)
    else:
        for code, deck, start, per_day, tz in model.list_keys(db):
            print("%s\tdeck=%s\tstart=%s\tper-day=%d\ttz=%s" % (code, deck, start, per_day, tz))


def _show(args, db):
    key = model.KeyDay(db, args.key)
    date = schedule.parse_date(args.date) if args.date else schedule.local_date(key.key.tz)
    day = key.lines(date, args.extra)
    if day is None:
        raise PublishError("key code '%s' has no feed on %s: it starts on %s" % (args.key, date, key.key.start))
    news, lines = day
    out = sys.stdout
    if news:
        out.write("news: %s\n" % news)
    for line in lines:
        out.write(line + "\n")


def _password():
    if sys.stdin.isatty():
        first = getpass.getpass("password: ")
        if getpass.getpass("again: ") != first:
            raise PublishError("the two passwords differ")
        return first
    return sys.stdin.readline().rstrip("\r\n")


def _user(args, db):
    if args.action == "add":
        accounts.add_user(db, args.name, args.role, _password())
    elif args.action == "passwd":
        accounts.set_password(db, args.name, _password())
    elif args.action == "remove":
        accounts.remove_user(db, args.name)
    else:
        for name, role in accounts.list_users(db):
            print("%s\t%s" % (name, role))


def _fetches(args, db):
    counted, repeated, other = fetches.import_logs(db, args.logfile)
    print("%d fetches counted, %d counted before, %d other lines" % (counted, repeated, other))


def _publish(args, db):
    date = schedule.parse_date(args.date) if args.date else None
    written, unchanged, removed = publish(db, args.outdir, date)
    print("%d feeds written, %d unchanged, %d removed" % (written, unchanged, removed))


def run(argv):
    args = _parser().parse_args(argv)
    db_path = getattr(args, "db", "tavelin.db")
    if args.command == "serve":
        from .serve import serve  # the server's packages only where it runs
        return serve(db_path, args.host, args.port)
    if args.command == "web":
        from .web.server import run_console  # Flask only for those who use it
        return run_console(db_path, args.host, args.port, args.behind_proxy, args.feed_base)
    # Only an import or a first account makes a new database, and a failed one leaves none behind.
    # An empty file is what such a failure on a full disk used to leave.
    creates = (args.command, getattr(args, "action", None)) in (("deck", "import"), ("user", "add")) and (
        not os.path.exists(db_path) or os.path.getsize(db_path) == 0)
    db = None
    try:
        db = open_db(db_path, create=creates)
        if args.command == "deck":
            _deck(args, db)
        elif args.command == "key":
            _key(args, db)
        elif args.command == "news":
            model.set_news(db, args.text, args.from_date, args.key)
        elif args.command == "show":
            _show(args, db)
        elif args.command == "user":
            _user(args, db)
        elif args.command == "fetches":
            _fetches(args, db)
        else:
            _publish(args, db)
    except BaseException:
        if db is not None:
            db.close()
        if creates:
            for leftover in (db_path, db_path + "-journal"):
                if os.path.exists(leftover):
                    os.unlink(leftover)
        raise
    db.close()
    return 0


def db_path_of(argv):
    """The --db of a command line, for messages from where the parsed options are gone."""
    path = "tavelin.db"
    for i, arg in enumerate(argv):
        if arg == "--db" and i + 1 < len(argv):
            path = argv[i + 1]
        elif arg.startswith("--db="):
            path = arg[len("--db="):]
    return path


def main(argv=None):
    # Texts on the command line and in files are UTF-8, whatever the locale says.
    for stream in (sys.stdout, sys.stderr):
        if hasattr(stream, "reconfigure"):
            stream.reconfigure(encoding="utf-8", errors="surrogateescape")
    argv = sys.argv[1:] if argv is None else argv
    try:
        return run(argv)
    except PublishError as error:
        print("%s: %s" % (PROG, error), file=sys.stderr)
        return 1
    except sqlite3.Error as error:
        # Locked by a long write elsewhere, a full disk, a damaged file.
        print("%s: %s: database error (%s)" % (PROG, db_path_of(argv), error), file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    except BrokenPipeError:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
