#!/usr/bin/env python3
"""The MSI package under Wine's msiexec, the way an administrator deploys it: a silent
install with the three properties, the installed saver run against the sample feed
service, a major upgrade without properties that keeps the values, a silent uninstall
that leaves nothing behind; and values the saver would not use refused before anything
is installed."""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import test_installer as setup_program  # noqa: E402  (the run of the installed saver)

MSIEXEC = r"C:\windows\system32\msiexec.exe"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLED_SCR = setup_program.INSTALLED_SCR
COMPANY = "Café Müller GmbH"
KEY = setup_program.KEY
PRODUCTS = r"HKLM\Software\Classes\Installer\Products"
# msiexec's exit code as a Unix process sees it: its low byte (1603 reads 67).
ERROR_INSTALL_FAILURE = 1603 & 0xFF
texts = setup_program.texts


def build_msi(folder, version=None):
    command = [os.path.join(harness.SOURCE, "installer", "build-msi.sh"), harness.SCR, folder]
    built = subprocess.run(command + ([version] if version else []), capture_output=True, text=True, timeout=300)
    if built.returncode != 0:
        raise AssertionError("installer/build-msi.sh failed:\n" + built.stderr)
    return built.stdout.strip().splitlines()[-1]


def squashed(product_code):
    """A product code as the installer's own keys name it: {AABBCCDD-EEFF-...} reversed in parts."""
    hex_digits = product_code.strip("{}").replace("-", "")
    parts = [hex_digits[0:8], hex_digits[8:12], hex_digits[12:16]]
    parts += [hex_digits[i:i + 2] for i in range(16, 32, 2)]
    return "".join(part[::-1] for part in parts)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class MsiSession(harness.Session):
    def msiexec(self, *args, log=None):
        logged = ("/l*v", "C:\\" + log) if log else ()
        return self.run(MSIEXEC, *args, "/qn", *logged, timeout=300)[0]

    def msi_log(self, name):
        with open(os.path.join(self.prefix, "drive_c", name), "rb") as f:
            return f.read().decode("utf-8", errors="replace")

    def products(self):
        """{product code: values} of the uninstall entries named Tavelin Screensaver."""
        code, out = self.run(harness.REG_EXE, "query", UNINSTALL, timeout=60)
        found = {}
        for key in re.findall(r"^HKEY_LOCAL_MACHINE\\.*\\Uninstall\\(\{[0-9A-F-]+\})\s*$", out, re.M | re.I):
            values = texts(self.regdump(UNINSTALL + "\\" + key))
            if values.get("DisplayName") == "Tavelin Screensaver":
                found[key] = values
        return found


class MsiTest(unittest.TestCase):
    run_installed_saver = setup_program.InstallerTest.run_installed_saver
    unix_path = setup_program.InstallerTest.unix_path

    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(harness.SCR):
            raise AssertionError("no Tavelin.scr in %s: build the Tavelin target first" % harness.BUILD)
        cls.msi = build_msi(os.path.join(harness.BUILD, "installer"))
        cls.version = re.search(r"Tavelin-([0-9.]+)\.msi$", cls.msi).group(1)
        # Windows Installer compares the first three fields of a version.
        major, minor, build, revision = cls.version.split(".")
        cls.newer_version = "%s.%s.%d.%s" % (major, minor, int(build) + 1, revision)
        cls.newer = build_msi(os.path.join(harness.BUILD, "installer", "newer"), cls.newer_version)

    def test_deploy_run_upgrade_uninstall(self):
        self.feeds = harness.FeedServer(os.path.join(harness.SOURCE, "samples", "feeds"))
        self.addCleanup(self.feeds.stop)
        self.desk = desk = MsiSession("msi", screen=(1280, 720))
        self.addCleanup(desk.close)
        code = desk.msiexec("/i", windows_path(self.msi), "KEYCODE=" + KEY, "COMPANY=" + COMPANY,
                            "FEEDHOST=" + self.feeds.host, "RECALL=1", log="install.log")
        self.assertEqual(code, 0, desk.msi_log("install.log")[-2000:])
        installed = self.unix_path(INSTALLED_SCR)
        with open(installed, "rb") as got, open(harness.SCR, "rb") as built:
            self.assertTrue(got.read() == built.read(), "the installed Tavelin.scr differs from the built one")
        deployed = {"KeyCode": (1, KEY), "Company": (1, COMPANY), "FeedHost": (1, self.feeds.host),
                    "Recall": (4, "1")}
        self.assertEqual(self.stored(), deployed)
        products = desk.products()
        self.assertEqual(len(products), 1, products)
        ((product, entry),) = products.items()
        self.assertEqual((entry.get("DisplayVersion"), entry.get("Publisher")), (self.version, "Ombrelle Corporation Ltd"))
        # "Programs and Features" shows the icon the installer keeps for the product.
        icon = texts(desk.regdump(PRODUCTS + "\\" + squashed(product))).get("ProductIcon", "")
        self.assertTrue(icon.lower().endswith("\\tavelin.ico"), icon)
        self.assertTrue(os.path.isfile(self.unix_path(icon)), icon)

        desk.settings(Log=1, Extra=1)
        self.run_installed_saver()

        # A newer package with no properties replaces the older one and keeps the
        # deployment and the day cache.
        code = desk.msiexec("/i", windows_path(self.newer), log="upgrade.log")
        self.assertEqual(code, 0, desk.msi_log("upgrade.log")[-2000:])
        self.assertEqual(self.stored(), deployed)
        self.assertEqual(texts(desk.regdump(harness.DATA_KEY)).get("0001"), setup_program.FIRST_LINE)
        products = desk.products()
        self.assertEqual([p["DisplayVersion"] for p in products.values()], [self.newer_version])

        # The administrator's uninstall, by product code.
        (product,) = products
        self.assertEqual(desk.msiexec("/x", product, log="uninstall.log"), 0, desk.msi_log("uninstall.log")[-2000:])
        self.assertFalse(os.path.exists(installed))
        self.assertIsNone(desk.regdump(harness.SETTINGS_KEY))
        self.assertIsNone(desk.regdump(harness.DATA_KEY), "the day cache outlived the uninstall")
        self.assertEqual(desk.products(), {})

    def test_values_the_saver_would_not_use_are_refused_and_the_longest_it_uses_kept(self):
        with MsiSession("msi-limits", screen=(640, 480)) as desk:
            too_long = [("COMPANY", 511), ("FEEDHOST", 255), ("KEYCODE", 1023)]
            for name, most in too_long:
                with self.subTest(name):
                    log = name.lower() + ".log"
                    code = desk.msiexec("/i", windows_path(self.msi), "%s=%s" % (name, "é" * (most + 1)), log=log)
                    self.assertEqual(code, ERROR_INSTALL_FAILURE)
                    self.assertIn("Tavelin Screensaver: %s is %d characters long; the screen saver uses at most %d. "
                                  "Nothing was installed." % (name, most + 1, most), desk.msi_log(log))
                    self.assertFalse(os.path.exists(os.path.join(desk.prefix, "drive_c", "windows", "system32",
                                                                 "Tavelin.scr")))
                    self.assertIsNone(desk.regdump(harness.SETTINGS_KEY))
                    self.assertEqual(desk.products(), {})
            code = desk.msiexec("/i", windows_path(self.msi), "RECALL=yes", log="recall.log")
            self.assertEqual(code, ERROR_INSTALL_FAILURE)
            self.assertIn('Tavelin Screensaver: RECALL is "yes"; it takes 0 (off) or 1 (on). Nothing was installed.',
                          desk.msi_log("recall.log"))
            self.assertIsNone(desk.regdump(harness.SETTINGS_KEY))
            # At the limits, and a company line the registry would read as a number
            # were its "#" not escaped; kept as they are over an upgrade.
            longest = {"KeyCode": "k" * 1023, "Company": "#1 " + "c" * 508, "FeedHost": "h" * 255}
            self.assertEqual(desk.msiexec("/i", windows_path(self.msi),
                                          *("%s=%s" % (n.upper(), v) for n, v in longest.items())), 0)
            self.assertEqual(self.stored(desk), {n: (1, v) for n, v in longest.items()})  # no RECALL, no Recall
            self.assertEqual(desk.msiexec("/i", windows_path(self.newer), "RECALL=0"), 0)
            self.assertEqual(self.stored(desk), {**{n: (1, v) for n, v in longest.items()}, "Recall": (4, "0")})

    def test_a_site_transform_gives_a_package_its_values_and_an_older_package_is_refused(self):
        site = {"KEYCODE": "acme-site-7", "COMPANY": "Société Générale d'Exemple", "FEEDHOST": "feeds.acme.example:8080"}
        mst = os.path.join(harness.BUILD, "installer", "site.mst")
        made = subprocess.run([os.path.join(harness.SOURCE, "installer", "make-transform.py"), self.msi, mst,
                               *("%s=%s" % item for item in site.items())], capture_output=True, text=True, timeout=60)
        self.assertEqual(made.returncode, 0, made.stderr)
        deployed = {"KeyCode": (1, site["KEYCODE"]), "Company": (1, site["COMPANY"]), "FeedHost": (1, site["FEEDHOST"])}
        with MsiSession("msi-transform", screen=(640, 480)) as desk:
            # Made from one package, the transform serves a later one too.
            self.assertEqual(desk.msiexec("/i", windows_path(self.newer), "TRANSFORMS=" + windows_path(mst)), 0)
            self.assertEqual(self.stored(desk), deployed)
            # The older package over the newer one is refused and changes nothing.
            self.assertEqual(desk.msiexec("/i", windows_path(self.msi), "COMPANY=older"), ERROR_INSTALL_FAILURE)
            self.assertEqual(self.stored(desk), deployed)
            self.assertEqual([p["DisplayVersion"] for p in desk.products().values()], [self.newer_version])

    def stored(self, desk=None):
        values = (desk or self.desk).regdump(harness.SETTINGS_KEY) or {}
        return {name: (kind, data.rstrip("\0")) for name, (kind, data) in values.items() if name != "Log"
                and name != "Extra"}


if __name__ == "__main__":
    unittest.main(verbosity=2)
