"""tavelin-publish web: the console on the publisher's Waitress server, until SIGTERM
or Ctrl+C."""
import logging
import os
import sys

from .. import accounts, server, store
from ..errors import PublishError
from . import UPLOAD_LIMIT, create_app


def run_console(db_path, host, port, behind_proxy=False, feed_base=None):
    if not os.path.exists(db_path):
        raise PublishError("no database here; 'user add NAME --role admin' makes one with its first account",
                           file=db_path)
    db = store.open_db(db_path)
    try:
        if not accounts.list_users(db):
            print("tavelin-publish: no account can log in yet; 'user add NAME --role admin' makes one",
                  file=sys.stderr)
    finally:
        db.close()
    app = create_app(db_path, behind_proxy=behind_proxy, feed_base=feed_base)
    logging.basicConfig(level=logging.INFO, format="%(asctime)s %(name)s %(message)s", stream=sys.stderr)
    try:
        # Twice the upload limit, so that the console's own 413 page answers most refused files.
        running = server.Server(app, host, port, max_request_body_size=2 * UPLOAD_LIMIT, threads=4)
    except OSError as error:
        raise PublishError("cannot listen on %s:%d (%s)" % (host, port, error.strerror or error)) from None
    print("URL=http://%s:%d/" % ("[%s]" % host if ":" in host else host, running.port), flush=True)
    return running.run()
