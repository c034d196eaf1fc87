"""serve: the feed application on the server, for a small site or for trying it out."""
import sys

from . import feedapp, server


def serve(db_path, host, port):
    try:
        running = server.Server(feedapp.make_app(db_path), host, port)
    except OSError as error:
        print("tavelin-publish: cannot listen on %s:%d (%s)" % (host, port, error.strerror or error), file=sys.stderr)
        return 1
    print("PORT=%d" % running.port, flush=True)
    return running.run()
