#!/usr/bin/env python3
"""The Group Policy templates and the MSI package's length checks against the saver's
own table of settings (printed by print_settings_table, built from the table the
settings load reads through): the same key, value names, types and limits."""
import os
import re
import subprocess
import unittest
import xml.etree.ElementTree as ET

SOURCE = os.environ.get("TAVELIN_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PRINTER = os.environ.get("TAVELIN_SETTINGS_TABLE") or os.path.join(SOURCE, "build", "native", "print_settings_table")
POLICY = os.path.join(SOURCE, "installer", "policy")
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
REF = re.compile(r"^\$\((string|presentation)\.([A-Za-z0-9_]+)\)$")


def settings_table():
    out = subprocess.run([PRINTER], check=True, capture_output=True, text=True, timeout=30).stdout
    rows = [line.split("\t") for line in out.splitlines()]
    key = rows[0][1]
    return key, {name: (reg_type, kind, int(limit)) for name, reg_type, kind, limit in rows[1:]}


def elements(policy):
    found = policy.find("p:elements", NS)
    return list(found) if found is not None else []


def written_values(policy):
    """{value name: (type, details)} that enabling this policy writes."""
    values = {}
    if policy.get("valueName"):
        on, off = policy.find("p:enabledValue/p:decimal", NS), policy.find("p:disabledValue/p:decimal", NS)
        values[policy.get("valueName")] = ("REG_DWORD", ("flag", on is not None and on.get("value"),
                                                         off is not None and off.get("value")))
    for element in elements(policy):
        tag = element.tag.split("}")[1]
        if tag == "text":
            kind = "REG_EXPAND_SZ" if element.get("expandable") == "true" else "REG_SZ"
            values[element.get("valueName")] = (kind, ("text", element.get("maxLength", "1023")))
        elif tag == "decimal":
            kind = "REG_SZ" if element.get("storeAsText") == "true" else "REG_DWORD"
            values[element.get("valueName")] = (kind, ("number", element.get("minValue"), element.get("maxValue")))
        else:
            values[element.get("valueName")] = (tag, None)
    return values


class PolicyTemplatesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.key, cls.table = settings_table()
        cls.admx = ET.parse(os.path.join(POLICY, "Tavelin.admx")).getroot()
        cls.adml = ET.parse(os.path.join(POLICY, "en-US", "Tavelin.adml")).getroot()
        cls.policies = cls.admx.findall("p:policies/p:policy", NS)

    def test_each_policy_writes_a_value_the_saver_reads_with_its_type_and_limit(self):
        expected = {"text": lambda limit: ("REG_SZ", ("text", str(limit))),
                    "number": lambda limit: ("REG_DWORD", ("number", "1", str(limit))),
                    "flag": lambda limit: ("REG_DWORD", ("flag", "1", "0"))}
        written = {}
        for policy in self.policies:
            self.assertEqual(policy.get("key"), self.key, policy.get("name"))
            self.assertEqual(policy.get("class"), "Machine", policy.get("name"))
            for name, value in written_values(policy).items():
                self.assertNotIn(name, written, "two policies write " + name)
                written[name] = value
        # A policy cannot write the binary font record; every other setting has one.
        wanted = {name: expected[kind](limit) for name, (reg_type, kind, limit) in self.table.items()
                  if kind != "font"}
        self.assertEqual(written, wanted)
        self.assertEqual({t for t, _, _ in self.table.values() if t not in ("REG_SZ", "REG_DWORD")}, {"REG_BINARY"})

    def test_every_string_presentation_category_and_support_reference_resolves(self):
        strings = {s.get("id") for s in self.adml.findall("p:resources/p:stringTable/p:string", NS)}
        presentations = {p.get("id"): p for p in self.adml.findall("p:resources/p:presentationTable/p:presentation", NS)}
        categories = {c.get("name") for c in self.admx.findall("p:categories/p:category", NS)}
        supported = {d.get("name") for d in self.admx.findall("p:supportedOn/p:definitions/p:definition", NS)}
        used = set()
        for node in self.admx.iter():
            for attribute in ("displayName", "explainText", "presentation"):
                if node.get(attribute) is None:
                    continue
                match = REF.match(node.get(attribute))
                self.assertIsNotNone(match, "%s=%r is no reference" % (attribute, node.get(attribute)))
                table, name = match.groups()
                self.assertIn(name, strings if table == "string" else presentations, node.get(attribute))
                used.add((table, name))
        for policy in self.policies:
            self.assertIn(policy.find("p:parentCategory", NS).get("ref"), categories)
            self.assertIn(policy.find("p:supportedOn", NS).get("ref"), supported)
            ids = {e.get("id") for e in elements(policy)}
            shown = policy.get("presentation")
            refs = set()
            if shown:
                refs = {c.get("refId") for c in presentations[REF.match(shown).group(2)] if c.get("refId")}
            self.assertEqual(refs, ids, "presentation of " + policy.get("name"))
        self.assertEqual({n for t, n in used if t == "string"}, strings, "strings nothing uses")
        self.assertEqual({n for t, n in used if t == "presentation"}, set(presentations))

    def test_the_msi_package_refuses_what_the_saver_would_not_use(self):
        with open(os.path.join(SOURCE, "installer", "checks.js"), encoding="utf-8") as f:
            limits = {name: int(most) for name, most in re.findall(r'\["([A-Z]+)", (\d+)\]', f.read())}
        texts = {name.upper(): limit for name, (_, kind, limit) in self.table.items() if kind == "text"}
        self.assertEqual(limits, texts)


if __name__ == "__main__":
    unittest.main(verbosity=2)
