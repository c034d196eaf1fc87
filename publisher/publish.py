"""Writing each key's feed of the day into OUTDIR/auth/<KEY>.xml for a static web server."""
import os

from . import schedule
from .errors import PublishError
from .model import KEY_CODE, Catalog
from .store import transaction

TEMP_PREFIX = ".tavelin-"


def write_atomically(path, data):
    """Readers see the old file or the new one, never a part. An unchanged file is left
    alone, so that its time and the server's ETag for it stay as they were."""
    try:
        if os.stat(path).st_size == len(data):
            with open(path, "rb") as f:
                if f.read() == data:
                    return False
    except FileNotFoundError:
        pass
    folder, name = os.path.split(path)
    temp = os.path.join(folder, "%s%s.%d" % (TEMP_PREFIX, name, os.getpid()))
    try:
        fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        try:
            view = memoryview(data)
            while view:
                view = view[os.write(fd, view):]
            os.fchmod(fd, 0o644)  # whatever the umask: the web server reads it
        finally:
            os.close(fd)
        os.replace(temp, path)
    except BaseException:
        try:
            os.unlink(temp)
        except OSError:
            pass
        raise
    return True


def remove_stale_temps(auth):
    """Temporary files left by a publish that was killed before its rename."""
    for name in os.listdir(auth):
        if not name.startswith(TEMP_PREFIX):
            continue
        pid = name.rpartition(".")[2]
        if pid.isdigit() and not _running(int(pid)):
            try:
                os.unlink(os.path.join(auth, name))
            except OSError:
                pass


def _running(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


def publish(db, outdir, date=None, now=None):
    """Writes the feeds whose day has begun and removes the ones this command wrote
    earlier that no longer have one. Returns (written, unchanged, removed) counts."""
    auth = os.path.join(outdir, "auth")
    try:
        os.makedirs(auth, exist_ok=True)
    except OSError as error:
        raise PublishError("cannot make the folder (%s)" % error.strerror, file=auth) from None
    remove_stale_temps(auth)
    place = os.path.realpath(outdir)
    catalog = Catalog(db)
    plans = []
    for code in sorted(catalog.keys):
        data = catalog.document(code, date or schedule.local_date(catalog.keys[code].tz, now))
        if data is not None:
            plans.append((code, data))
    live = {code for code, _ in plans}
    # Recorded before they are written, so that a run that fails half-way leaves none unknown.
    with transaction(db):
        db.executemany("INSERT OR IGNORE INTO published (outdir, key_code) VALUES (?, ?)", ((place, c) for c in live))
    written = unchanged = 0
    for code, data in plans:
        path = os.path.join(auth, code + ".xml")
        try:
            changed = write_atomically(path, data)
        except OSError as error:
            raise PublishError("cannot write (%s)" % error.strerror, file=path) from None
        written += changed
        unchanged += not changed
    before = {row[0] for row in db.execute("SELECT key_code FROM published WHERE outdir = ?", (place,))}
    removed = 0
    for code in sorted(before - live):
        if KEY_CODE.fullmatch(code):
            try:
                os.unlink(os.path.join(auth, code + ".xml"))
                removed += 1
            except FileNotFoundError:
                pass
            except OSError as error:
                raise PublishError("cannot remove (%s)" % error.strerror, file=os.path.join(auth, code + ".xml")) from None
    with transaction(db):
        db.execute("DELETE FROM published WHERE outdir = ?", (place,))
        db.executemany("INSERT INTO published (outdir, key_code) VALUES (?, ?)", ((place, c) for c in live))
    return written, unchanged, removed
