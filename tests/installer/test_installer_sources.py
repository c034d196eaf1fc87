#!/usr/bin/env python3
"""The installers' sources against the saver's own table of settings, as the policy
templates are: the MSI source (tavelin.wxs) and its build script, and the setup
program (tavelin.nsi) name the same key, write only values the saver reads, with
their types, and refuse no more and no less than the saver's limits; the setup
program's version is the saver's."""
import os
import re
import sys
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_policy_templates import SOURCE, settings_table  # noqa: E402

INSTALLER = os.path.join(SOURCE, "installer")
WIX = {"w": "http://schemas.microsoft.com/wix/2006/wi"}
KEY_DEFINE = re.compile(r'^<\?define SettingsKey = "([^"]*)" \?>$', re.M)
WIX_TYPES = {"REG_SZ": "string", "REG_DWORD": "integer"}


def read(name):
    with open(os.path.join(INSTALLER, name), encoding="utf-8") as f:
        return f.read()


def nsis_defines(text):
    return dict(re.findall(r'^!define (\w+) "?([^"\n;]*?)"?\s*(?:;.*)?$', text, re.M))


class InstallerSourcesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.key, cls.table = settings_table()
        cls.texts = {name for name, (_, kind, _) in cls.table.items() if kind == "text"}
        cls.wxs_text = read("tavelin.wxs")
        cls.wxs = ET.fromstring(cls.wxs_text.encode("utf-8"))
        cls.nsi = read("tavelin.nsi")

    def test_the_msi_source_spells_the_settings_key_once(self):
        self.assertEqual(KEY_DEFINE.findall(self.wxs_text), [self.key])
        self.assertEqual(self.wxs_text.count(self.key), 1)
        uses = self.wxs.findall(".//w:RegistrySearch", WIX) + self.wxs.findall(".//w:RegistryValue", WIX)
        self.assertTrue(uses)
        for use in uses:
            self.assertEqual((use.get("Root"), use.get("Key")), ("HKLM", "$(var.SettingsKey)"), use.get("Name"))
        self.assertNotIn(self.key, read("build-msi.sh"))

    def test_the_msi_writes_values_the_saver_reads_and_keeps_what_a_property_leaves_out(self):
        written = {}
        for value in self.wxs.findall(".//w:RegistryValue", WIX):
            name = value.get("Name")
            self.assertIn(name, self.table)
            # A number may come as "#n" through a string, so only texts have one type.
            self.assertIn(value.get("Type"), ("string",) if name in self.texts else ("string", "integer"), name)
            written[name] = re.fullmatch(r"\[([A-Z_]+)\]", value.get("Value")).group(1)
        # Every text an administrator deploys, straight from its property named in capitals.
        self.assertEqual({n: p for n, p in written.items() if n in self.texts}, {n: n.upper() for n in self.texts})
        # What a property leaves out is read back into OLD_<PROPERTY> and written again.
        searched = {s.get("Name"): p.get("Id") for p in self.wxs.findall("w:Product/w:Property", WIX)
                    for s in p.findall("w:RegistrySearch", WIX)}
        self.assertLessEqual(self.texts, set(searched))
        self.assertLessEqual(set(searched), set(written))
        self.assertEqual(searched, {n: "OLD_" + n.upper() for n in searched})
        kept = {a.get("Value")[1:-1]: a.get("Property") for a in self.wxs.findall(".//w:CustomAction", WIX)
                if a.get("Value", "").startswith("[OLD_")}
        self.assertEqual(set(kept), set(searched.values()))
        for text in self.texts:
            self.assertEqual(kept["OLD_" + text.upper()], text.upper(), text)
        # The public properties reach the installing service only when listed as secure.
        secure = re.search(r"SET `Value` = '([A-Z_;]+)'", read("build-msi.sh").replace("\\`", "`")).group(1)
        self.assertLessEqual({n.upper() for n in written}, set(secure.split(";")))

    def test_the_setup_program_names_the_key_and_refuses_only_beyond_the_saver_limits(self):
        defines = nsis_defines(self.nsi)
        self.assertEqual(defines["SETTINGS_KEY"], self.key)
        self.assertTrue(self.key.startswith(defines["VENDOR_KEY"] + "\\"))
        limits = {name[:-len("_MOST")]: int(most) for name, most in defines.items() if name.endswith("_MOST")}
        self.assertIn("FEEDHOST", limits)
        for name, most in limits.items():
            setting = next((s for s in self.texts if s.upper() == name), None)
            self.assertIsNotNone(setting, name + "_MOST limits no setting the saver reads")
            self.assertEqual(most, self.table[setting][2], name)
        kinds = {"WriteRegStr": "REG_SZ", "WriteRegDWORD": "REG_DWORD"}
        written = re.findall(r'^\s*(WriteReg\w+) HKLM "\$\{SETTINGS_KEY\}" "(\w+)"', self.nsi, re.M)
        self.assertLessEqual(self.texts, {name for _, name in written})
        for call, name in written:
            self.assertIn(name, self.table)
            self.assertEqual(kinds[call], self.table[name][0], name)
        options = set(re.findall(r'!insertmacro MatchOption \$R4 "(\w+)"', self.nsi))
        self.assertLessEqual({n.upper() for n in self.texts}, options)

    def test_the_setup_program_carries_the_saver_version(self):
        with open(os.path.join(SOURCE, "resources", "tavelin.rc"), encoding="utf-8") as f:
            rc = f.read()
        numbers = re.search(r"^\s*PRODUCTVERSION (\d+),(\d+),(\d+),(\d+)", rc, re.M).groups()
        self.assertEqual(re.search(r"^\s*FILEVERSION (\d+),(\d+),(\d+),(\d+)", rc, re.M).groups(), numbers)
        defines = nsis_defines(self.nsi)
        self.assertEqual(defines["VERSION"], ".".join(numbers))
        shown = dict(re.findall(r'^VIAddVersionKey "(\w+Version)" "([^"]*)"', self.nsi, re.M))
        self.assertEqual(shown, {"FileVersion": ", ".join(numbers), "ProductVersion": ", ".join(numbers)})


if __name__ == "__main__":
    unittest.main(verbosity=2)
