#!/usr/bin/env python3
"""The MSI package and a site's transform, built here and read back with msitools,
without Wine: build-msi.sh takes its version from the program's version record and
its settings key from tavelin.wxs; make-transform.py's file is a transform of that
package that adds exactly the given properties in the given code page."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import olefile  # Debian's python3-olefile: a compound-file reader that is not ours

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_policy_templates import SOURCE, settings_table  # noqa: E402

INSTALLER = os.path.join(SOURCE, "installer")
TRANSFORM_CLSID = "000C1082-0000-0000-C000-000000000046"


def stand_in_program(path, machine=0x8664, file_version=(9, 8, 7, 6), product_version=(1, 2, 3, 4), record=True):
    """A file that starts like a PE program and, unless told not to, holds a fixed version record."""
    head = bytearray(0x40)
    head[0:2] = b"MZ"
    struct.pack_into("<I", head, 0x3C, 0x40)
    head += b"PE\0\0" + struct.pack("<H", machine) + bytes(58)
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    fixed = struct.pack("<IIIIII", 0xFEEF04BD, 0x00010000,
                         file_version[0] << 16 | file_version[1], file_version[2] << 16 | file_version[3],
                         product_version[0] << 16 | product_version[1], product_version[2] << 16 | product_version[3])
    with open(path, "wb") as f:
        f.write(bytes(head) + bytes(100))
        if record:
            f.write(struct.pack("<HHH", 0x34C, 0x34, 0) + key + b"\0\0" + fixed)


def msiinfo(*args):
    return subprocess.run(["msiinfo", *args], check=True, capture_output=True, text=True, timeout=60).stdout


def table(package, name):
    """The rows of one table, each a list of its fields (the three header lines left out)."""
    return [line.split("\t") for line in msiinfo("export", package, name).splitlines()[3:]]


def transform_rows(path):
    """{table stream name: data} and the string pool of a transform, read with olefile."""
    with olefile.OleFileIO(path) as ole:
        clsid = ole.root.clsid
        streams = {entry[0]: ole.openstream(entry).read() for entry in ole.listdir()}
    return clsid, streams


def decode_properties(streams, stream_name):
    """The rows a transform adds to the Property table: {name: value}, with the code page."""
    pool, data = streams[stream_name("_StringPool")], streams[stream_name("_StringData")]
    codepage = struct.unpack_from("<I", pool)[0]
    strings, at = [None], 0
    for i in range(4, len(pool), 4):
        length, _refs = struct.unpack_from("<HH", pool, i)
        strings.append(data[at:at + length].decode("cp%d" % codepage))
        at += length
    rows = streams[stream_name("Property")]
    added = {}
    for i in range(0, len(rows), 6):
        mask, name, value = struct.unpack_from("<HHH", rows, i)
        assert mask == 0x0201, "not a whole new row of two columns: %#x" % mask
        added[strings[name]] = strings[value]
    return codepage, added


class MsiPackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.key, cls.table = settings_table()
        cls.work = tempfile.TemporaryDirectory(prefix="tavelin-msi-")
        cls.scr = os.path.join(cls.work.name, "Tavelin.scr")
        stand_in_program(cls.scr)
        built = cls.build(cls.scr)
        if built.returncode != 0:
            raise AssertionError("installer/build-msi.sh failed:\n" + built.stderr)
        cls.msi = built.stdout.strip()

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    @classmethod
    def build(cls, scr, *version):
        out = os.path.join(cls.work.name, "out")
        return subprocess.run([os.path.join(INSTALLER, "build-msi.sh"), scr, out, *version],
                              capture_output=True, text=True, timeout=300)

    def test_the_package_takes_the_product_version_and_the_key_of_the_saver(self):
        self.assertEqual(os.path.basename(self.msi), "Tavelin-1.2.3.4.msi")
        properties = dict(row[:2] for row in table(self.msi, "Property"))
        self.assertEqual(properties["ProductVersion"], "1.2.3.4")
        registry = table(self.msi, "Registry")
        self.assertEqual({(row[1], row[2]) for row in registry}, {("2", self.key)})
        self.assertIn(["RemoveSettingsKey", "2", self.key, "-", "", "Settings"], registry)
        written = {row[3]: row[4] for row in registry if row[3] != "-"}
        self.assertLessEqual(set(written), set(self.table))
        secure = properties["SecureCustomProperties"].split(";")
        self.assertLessEqual({name.upper() for name in written}, set(secure))
        searches = table(self.msi, "RegLocator")
        self.assertEqual({(row[1], row[2]) for row in searches}, {("2", self.key)})

    def test_a_program_that_is_not_64_bit_or_has_no_version_is_refused(self):
        thirty_two = os.path.join(self.work.name, "x86.scr")
        stand_in_program(thirty_two, machine=0x14C)
        no_record = os.path.join(self.work.name, "plain.scr")
        stand_in_program(no_record, record=False)
        for path in (thirty_two, no_record):
            with self.subTest(os.path.basename(path)):
                built = self.build(path)
                self.assertEqual(built.returncode, 2)
                self.assertIn("cannot read the version of " + path, built.stderr)

    def test_a_site_transform_reads_back_as_the_given_properties(self):
        package = dict(row[:2] for row in table(self.msi, "Property"))
        cases = [
            (1252, {"KEYCODE": "acme-7", "COMPANY": "Société Générale d'Exemple", "FEEDHOST": "https://feeds.acme.example"}),
            (1253, {"COMPANY": "Καλή μέρα από την Acme"}),
        ]
        for codepage, values in cases:
            with self.subTest(codepage=codepage):
                mst = os.path.join(self.work.name, "site-%d.mst" % codepage)
                made = subprocess.run([sys.executable, os.path.join(INSTALLER, "make-transform.py"),
                                       "--codepage", str(codepage), self.msi, mst,
                                       *("%s=%s" % item for item in values.items())],
                                      capture_output=True, text=True, timeout=60)
                self.assertEqual(made.returncode, 0, made.stderr)
                summary = dict(line.split(": ", 1) for line in msiinfo("suminfo", mst).splitlines() if ": " in line)
                self.assertEqual(summary["Title"], "Transform")
                self.assertEqual(summary["Template"], dict(line.split(": ", 1) for line in msiinfo(
                    "suminfo", self.msi).splitlines() if ": " in line)["Template"])
                product = package["ProductCode"] + package["ProductVersion"]
                self.assertEqual(summary["Revision number (UUID)"],
                                 "%s;%s;%s" % (product, product, package["UpgradeCode"]))
                # Every error condition suppressed and nothing validated: it serves later packages.
                self.assertTrue(summary["Restrict"].startswith("63 "), summary["Restrict"])
                clsid, streams = transform_rows(mst)
                self.assertEqual(clsid, TRANSFORM_CLSID)
                names = {self.decoded(stream): stream for stream in streams}
                codepage_read, added = decode_properties(streams, lambda n: names[n])
                self.assertEqual((codepage_read, added), (codepage, values))
                self.assertEqual(set(names), {"Property", "_StringPool", "_StringData", "\x05SummaryInformation"})

    def test_a_text_the_code_page_cannot_hold_is_refused(self):
        mst = os.path.join(self.work.name, "greek.mst")
        made = subprocess.run([sys.executable, os.path.join(INSTALLER, "make-transform.py"), self.msi, mst,
                               "COMPANY=Καλή μέρα"], capture_output=True, text=True, timeout=60)
        self.assertEqual(made.returncode, 2)
        self.assertIn("COMPANY cannot be written in code page 1252", made.stderr)
        self.assertFalse(os.path.exists(mst))

    @staticmethod
    def decoded(stream_name):
        """A table's stream name as the table's own name (two characters packed per unit)."""
        digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._"
        if not stream_name.startswith("\u4840"):
            return stream_name
        out = ""
        for unit in map(ord, stream_name[1:]):
            if 0x3800 <= unit < 0x4800:
                out += digits[(unit - 0x3800) & 0x3F] + digits[(unit - 0x3800) >> 6]
            elif 0x4800 <= unit < 0x4840:
                out += digits[unit - 0x4800]
            else:
                out += chr(unit)
        return out


if __name__ == "__main__":
    unittest.main(verbosity=2)
