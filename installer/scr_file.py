#!/usr/bin/env python3
"""What the installers' build scripts need to know of a built Tavelin.scr, read from
its bytes: that it is a 64-bit Windows program, and its product version.
    scr_file.py is-x64 FILE     exit status 0 when it is one, 1 when not
    scr_file.py version FILE    prints the fixed version record's product version,
                                a.b.c.d; exit status 1 and a reason when there is none
Standard library only."""
import struct
import sys

MACHINE_AMD64 = 0x8664
FIXED_VERSION_SIGNATURE = 0xFEEF04BD


def is_x64(data):
    """Whether data starts like a PE file for x86-64."""
    if data[:2] != b"MZ" or len(data) < 0x40:
        return False
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return data[pe:pe + 4] == b"PE\0\0" and len(data) >= pe + 6 and \
        struct.unpack_from("<H", data, pe + 4)[0] == MACHINE_AMD64


def product_version(data):
    """a.b.c.d of the fixed record after the VS_VERSION_INFO key; None without one."""
    key = data.find("VS_VERSION_INFO\0".encode("utf-16-le"))
    # The fixed record follows its key after at most the padding to a 32-bit boundary.
    at = data.find(struct.pack("<I", FIXED_VERSION_SIGNATURE), key, key + 40) if key >= 0 else -1
    if at < 0 or len(data) < at + 24:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 16)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main(argv):
    if len(argv) != 2 or argv[0] not in ("is-x64", "version"):
        sys.exit("usage: scr_file.py is-x64|version FILE")
    with open(argv[1], "rb") as f:
        data = f.read()
    if argv[0] == "is-x64":
        sys.exit(0 if is_x64(data) else 1)
    if not is_x64(data):
        sys.exit("not a 64-bit Windows program")
    version = product_version(data)
    if version is None:
        sys.exit("no version record")
    print(version)


if __name__ == "__main__":
    main(sys.argv[1:])
