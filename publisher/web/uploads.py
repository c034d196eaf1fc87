"""Files waiting between an upload's preview and its import: kept in a private
folder under a random name, for their uploader only, read once and remembered."""
import json
import os
import secrets
import shutil
import tempfile
import threading
import time
import weakref

KEEP = 2 * 3600  # seconds an unanswered preview waits


class Uploads:
    def __init__(self, folder=None):
        if folder is None:
            folder = tempfile.mkdtemp(prefix="tavelin-console-")
            weakref.finalize(self, shutil.rmtree, folder, True)
        os.makedirs(folder, mode=0o700, exist_ok=True)
        self.folder = folder
        self.lock = threading.Lock()
        self.parsed = {}  # token -> what parse gave, for the second step

    def keep(self, data, owner, meta):
        self._forget_old()
        token = secrets.token_urlsafe(18)
        with open(self._path(token), "wb") as f:
            f.write(data)
        with open(self._path(token) + ".json", "w", encoding="utf-8") as f:
            json.dump({"owner": owner, "meta": meta}, f)
        return token

    def find(self, token, owner):
        """(file path, meta) of an upload of owner's, or None."""
        if not token or not token.replace("-", "").replace("_", "").isalnum():
            return None
        try:
            with open(self._path(token) + ".json", encoding="utf-8") as f:
                kept = json.load(f)
        except (OSError, ValueError):
            return None
        return (self._path(token), kept["meta"]) if kept["owner"] == owner else None

    def parse(self, token, path, parse):
        """parse(path), once per upload."""
        with self.lock:
            if token not in self.parsed:
                self.parsed = {t: p for t, p in list(self.parsed.items())[-3:]}
                self.parsed[token] = parse(path)
            return self.parsed[token]

    def drop(self, token):
        with self.lock:
            self.parsed.pop(token, None)
        for name in (self._path(token), self._path(token) + ".json"):
            if os.path.exists(name):
                os.unlink(name)

    def _path(self, token):
        return os.path.join(self.folder, token)

    def _forget_old(self):
        now = time.time()
        for name in os.listdir(self.folder):
            path = os.path.join(self.folder, name)
            if name.endswith(".json") and now - os.stat(path).st_mtime > KEEP:
                self.drop(name[:-len(".json")])
