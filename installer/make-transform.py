#!/usr/bin/env python3
"""Makes a transform (.mst) that gives Tavelin-<version>.msi one site's values, for
deployment tools that take a package and a transform rather than a command line.
  installer/make-transform.py [--codepage 1252] <package.msi> <site.mst> KEYCODE=... [COMPANY=...] [FEEDHOST=...]
  msiexec /i Tavelin-<version>.msi TRANSFORMS=site.mst /qn

The transform adds the given properties to the package's Property table and applies
to any version of the package (no validation), so one transform serves later packages
too. Texts are stored in the given ANSI code page (default 1252, Western European), as
Windows Installer wants; a text that code page cannot hold is refused.
Standard library only, plus msiinfo (Debian's msitools) to read the package."""
import argparse
import struct
import subprocess
import sys
import time

PROPERTIES = ("KEYCODE", "COMPANY", "FEEDHOST")
TRANSFORM_CLSID = bytes.fromhex("82100C0000000000C000000000000046")  # {000C1082-0000-0000-C000-000000000046}
SUMMARY_FMTID = bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9")  # {F29F85E0-4FF9-1068-AB91-08002B27B3D9}
# Error conditions not to report (a row added twice, a row missing, a table missing...).
SUPPRESS_ALL_ERRORS = 0x003F

SECTOR, MINI_SECTOR, MINI_CUTOFF = 512, 64, 4096
FREE, END_OF_CHAIN, FAT_SECTOR, NO_STREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF


# --- the installer's stream names and string pool
def _mime(c):
    for first, last, base in (("0", "9", 0), ("A", "Z", 10), ("a", "z", 36)):
        if first <= c <= last:
            return ord(c) - ord(first) + base
    return {".": 62, "_": 63}.get(c, -1)


def table_stream_name(name):
    """A table's stream name: a marker, then two name characters packed into one unit."""
    out, i = [0x4840], 0
    while i < len(name):
        c = _mime(name[i])
        if c < 0:
            out.append(ord(name[i]))
            i += 1
            continue
        n = _mime(name[i + 1]) if i + 1 < len(name) else -1
        if n >= 0:
            out.append(0x3800 + c + (n << 6))
            i += 2
        else:
            out.append(0x4800 + c)
            i += 1
    return "".join(map(chr, out))


class StringPool:
    def __init__(self, codepage):
        self.codepage, self.ids, self.strings = codepage, {}, []

    def ref(self, text):
        if text not in self.ids:
            self.strings.append(text)
            self.ids[text] = len(self.strings)
        return self.ids[text]

    def streams(self):
        data = [s.encode("cp%d" % self.codepage) for s in self.strings]
        pool = struct.pack("<I", self.codepage)  # string references of two bytes
        pool += b"".join(struct.pack("<HH", len(d), 1) for d in data)
        return {table_stream_name("_StringPool"): pool, table_stream_name("_StringData"): b"".join(data)}


def property_rows(pool, values):
    """Rows added to the Property table: a mask of 0x0201 (two columns, whole row) and two references."""
    return b"".join(struct.pack("<HHH", 0x0201, pool.ref(name), pool.ref(value)) for name, value in values.items())


# --- the summary information of a transform
def summary_stream(codepage, template, revision):
    def text(value):
        raw = value.encode("cp%d" % codepage) + b"\0"
        raw += b"\0" * (-len(raw) % 4)
        return struct.pack("<II", 30, len(value.encode("cp%d" % codepage)) + 1) + raw  # VT_LPSTR
    now = int((time.time() + 11644473600) * 10_000_000)
    props = [(1, struct.pack("<Ihh", 2, codepage if codepage < 0x8000 else codepage - 0x10000, 0)),  # VT_I2
             (2, text("Transform")), (7, text(template)), (8, text(template)), (9, text(revision)),
             (12, struct.pack("<IQ", 64, now)), (13, struct.pack("<IQ", 64, now)),  # VT_FILETIME
             (14, struct.pack("<Ii", 3, 500)), (16, struct.pack("<Ii", 3, SUPPRESS_ALL_ERRORS)),  # VT_I4
             (19, struct.pack("<Ii", 3, 0))]
    offset, index, body = 8 + 8 * len(props), b"", b""
    for pid, value in props:
        index += struct.pack("<II", pid, offset + len(body))
        body += value
    section = struct.pack("<II", 8 + len(index) + len(body), len(props)) + index + body
    header = struct.pack("<HHI16sI", 0xFFFE, 0, 0x00020006, b"\0" * 16, 1) + SUMMARY_FMTID + struct.pack("<I", 48)
    return header + section


# --- a compound file (version 3, 512-byte sectors) holding the streams
def _sectors(data, size):
    return [data[i:i + size].ljust(size, b"\0") for i in range(0, len(data), size)]


def _chain(fat, first, count):
    for i in range(count):
        fat[first + i] = first + i + 1 if i + 1 < count else END_OF_CHAIN
    return first if count else END_OF_CHAIN


def _dir_entry(name, kind, child=NO_STREAM, right=NO_STREAM, clsid=b"\0" * 16, start=END_OF_CHAIN, size=0):
    encoded = name.encode("utf-16-le") + b"\0\0" if name else b""
    return struct.pack("<64sHBBIII16sIQQIQ", encoded, len(encoded), kind, 1, NO_STREAM, right, child, clsid,
                       0, 0, 0, start, size)


def compound_file(streams, clsid):
    # Siblings in the order the format sorts names: shorter first, then by upper case.
    names = sorted(streams, key=lambda n: (len(n), n.upper()))
    mini = b"".join(streams[n].ljust(-(-len(streams[n]) // MINI_SECTOR) * MINI_SECTOR, b"\0")
                    for n in names if len(streams[n]) < MINI_CUTOFF)
    big = [n for n in names if len(streams[n]) >= MINI_CUTOFF]
    dir_count = -(-(len(names) + 1) // 4)
    mini_fat_entries = len(mini) // MINI_SECTOR
    mini_fat_count = -(-mini_fat_entries * 4 // SECTOR)
    payload = dir_count + mini_fat_count + len(_sectors(mini, SECTOR)) + sum(
        len(_sectors(streams[n], SECTOR)) for n in big)
    fat_count = 1
    while fat_count * SECTOR // 4 < payload + fat_count:
        fat_count += 1
    if fat_count > 109:
        raise ValueError("values too large for a transform")
    fat = [FREE] * (fat_count * SECTOR // 4)
    for i in range(fat_count):
        fat[i] = FAT_SECTOR
    next_sector = fat_count
    dir_start = _chain(fat, next_sector, dir_count)
    next_sector += dir_count
    mini_fat_start = _chain(fat, next_sector, mini_fat_count)
    next_sector += mini_fat_count
    mini_sectors = _sectors(mini, SECTOR)
    mini_start = _chain(fat, next_sector, len(mini_sectors))
    next_sector += len(mini_sectors)
    body = mini_sectors[:]
    mini_fat, mini_at, entries = [FREE] * (mini_fat_count * SECTOR // 4), 0, []
    for i, name in enumerate(names):
        data = streams[name]
        right = i + 2 if i + 1 < len(names) else NO_STREAM
        if len(data) < MINI_CUTOFF:
            count = -(-len(data) // MINI_SECTOR)
            start = _chain(mini_fat, mini_at, count)
            mini_at += count
        else:
            chunks = _sectors(data, SECTOR)
            start = _chain(fat, next_sector, len(chunks))
            next_sector += len(chunks)
            body += chunks
        entries.append(_dir_entry(name, 2, right=right, start=start, size=len(data)))
    root = _dir_entry("Root Entry", 5, child=1 if names else NO_STREAM, clsid=clsid, start=mini_start, size=len(mini))
    directory = b"".join([root] + entries).ljust(dir_count * SECTOR, b"\0")
    for i in range(len(names) + 1, dir_count * 4):  # unused entries
        directory = directory[:i * 128 + 68] + struct.pack("<III", NO_STREAM, NO_STREAM, NO_STREAM) + \
            directory[i * 128 + 80:]
    difat = list(range(fat_count)) + [FREE] * (109 - fat_count)
    header = struct.pack("<8s16sHHHHH6sIIIIIIIII", bytes.fromhex("D0CF11E0A1B11AE1"), b"\0" * 16, 0x3E, 3,
                         0xFFFE, 9, 6, b"\0" * 6, 0, fat_count, dir_start, 0, MINI_CUTOFF,
                         mini_fat_start, mini_fat_count, END_OF_CHAIN, 0)
    header += struct.pack("<109I", *difat)
    return b"".join([header, struct.pack("<%dI" % len(fat), *fat), directory,
                     struct.pack("<%dI" % len(mini_fat), *mini_fat)] + body)


def package_properties(msi):
    out = subprocess.run(["msiinfo", "export", msi, "Property"], check=True, capture_output=True,
                         text=True, timeout=60).stdout
    return dict(line.split("\t", 1) for line in out.splitlines()[3:] if "\t" in line)


def package_template(msi):
    out = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True, timeout=60).stdout
    return next((line.split(": ", 1)[1] for line in out.splitlines() if line.startswith("Template: ")), "x64;1033")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--codepage", type=int, default=1252)
    parser.add_argument("package")
    parser.add_argument("transform")
    parser.add_argument("values", nargs="+", metavar="NAME=VALUE")
    args = parser.parse_args(argv)
    values = {}
    for item in args.values:
        name, _, value = item.partition("=")
        if name not in PROPERTIES or not _:
            parser.error("expected KEYCODE=, COMPANY= or FEEDHOST=, got %r" % item)
        try:
            value.encode("cp%d" % args.codepage)
        except (UnicodeEncodeError, LookupError):
            parser.error("%s cannot be written in code page %d; choose the code page of its script" % (name, args.codepage))
        values[name] = value
    props = package_properties(args.package)
    revision = "%s%s;%s%s;%s" % (props["ProductCode"], props["ProductVersion"], props["ProductCode"],
                                 props["ProductVersion"], props["UpgradeCode"])
    pool = StringPool(args.codepage)
    streams = {table_stream_name("Property"): property_rows(pool, values)}
    streams.update(pool.streams())
    streams["\x05SummaryInformation"] = summary_stream(args.codepage, package_template(args.package), revision)
    with open(args.transform, "wb") as f:
        f.write(compound_file(streams, TRANSFORM_CLSID))
    print(args.transform)


if __name__ == "__main__":
    main(sys.argv[1:])
