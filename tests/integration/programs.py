"""The programs under test: the feed checker of the native build and the publisher
of this tree, each run as a user would, with its output decoded as UTF-8."""
import os
import subprocess
import sys

SOURCE = os.environ.get("TAVELIN_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
FEED_LINES = os.environ.get("TAVELIN_FEED_LINES") or os.path.join(SOURCE, "build", "native", "tools",
                                                                  "tavelin-feed-lines")
PUBLISH = os.path.join(SOURCE, "tools", "tavelin-publish")


def require_feed_lines():
    if not os.access(FEED_LINES, os.X_OK):
        raise AssertionError("no %s: build the native preset's tavelin-feed-lines first" % FEED_LINES)


def run(argv, timeout=120):
    done = subprocess.run(argv, capture_output=True, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8", errors="replace")


def feed_lines(path, extra=False):
    """The checker's lines for a feed file; fails the test on a non-zero exit."""
    code, out, err = run([FEED_LINES, path] + (["--extra"] if extra else []))
    if code != 0:
        raise AssertionError("tavelin-feed-lines %s: exit %d: %s" % (path, code, err))
    return out.split("\n")[:-1]


def publish(db, *args, check=True):
    """tools/tavelin-publish with --db db; (exit code, stdout lines, stderr)."""
    code, out, err = run([sys.executable, PUBLISH, "--db", db, *args])
    if check and code != 0:
        raise AssertionError("tavelin-publish %s: exit %d: %s" % (" ".join(args), code, err))
    return code, out.split("\n")[:-1], err
