"""tavelin-publish web: the console on Waitress, until SIGTERM or Ctrl+C."""
import logging
import os
import signal
import sys

import waitress

from .. import accounts, store
from ..errors import PublishError
from . import create_app


class _Stop(Exception):
    pass


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
        server = waitress.create_server(app, host=host, port=port, threads=4, ident="tavelin-publish")
    except OSError as error:
        raise PublishError("cannot listen on %s:%d (%s)" % (host, port, error.strerror)) from None
    shown_host = "[%s]" % host if ":" in host else host
    print("URL=http://%s:%d/" % (shown_host, int(server.effective_port)), flush=True)

    def stop(signum, frame):
        raise _Stop()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    try:
        server.run()
    except _Stop:
        pass
    finally:
        server.close()
    return 0
