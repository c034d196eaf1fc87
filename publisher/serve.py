"""serve: the feed application on the server, for a small site or for trying it out."""
import sys

from . import feedapp, server
from .fetches import Recorder


def serve(db_path, host, port):
    recorder = Recorder(db_path, log=lambda text: print("tavelin-publish: " + text, file=sys.stderr, flush=True))
    try:
        try:
            app = feedapp.make_app(db_path, recorder=recorder)
            running = server.Server(app, host, port, quick_paths=("/auth/",), respond=app.respond)
        except OSError as error:
            print("tavelin-publish: cannot listen on %s:%d (%s)" % (host, port, error.strerror or error),
                  file=sys.stderr)
            return 1
        print("PORT=%d" % running.port, flush=True)
        return running.run()
    finally:
        recorder.close()
