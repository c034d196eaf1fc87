#!/usr/bin/env python3
"""The web console as a person uses it, in headless chromium: log in, import a deck with
a bad row, add a key and read its day. Photographs each page at desktop and phone sizes
into $TAVELIN_TEST_OUTPUT (default: a folder it names)."""
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException, WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as ready
from selenium.webdriver.support.ui import WebDriverWait

PYTHON = "/usr/bin/python3"
SIZES = {"desktop": (1280, 800, False), "phone": (390, 844, True)}
PASSWORD = "a long password"
HOSTILE = "<img src=x onerror=alert(1)>"
DECK = ("word,translation,transliteration,type,gender,notes\n"
        "casa,house,ka-sa,noun,feminine,plural casas\n"
        "perro,dog,,noun,masculine,\n"
        ",no word here,,,,\n"
        "%s,a picture that must stay text,,,,\n"
        "gato,cat,,noun,masculine,\n"
        "luz,light,,noun,feminine,\n" % HOSTILE)


class ConsoleInBrowser(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tavelin-browser-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.out = os.environ.get("TAVELIN_TEST_OUTPUT") or tempfile.mkdtemp(prefix="tavelin-browser-shots-")
        os.makedirs(self.out, exist_ok=True)
        self.db = os.path.join(self.work, "t.db")
        self.publish("user", "add", "teacher", "--role", "admin", stdin=PASSWORD + "\n")
        log = open(os.path.join(self.out, "console.log"), "w")
        self.addCleanup(log.close)
        self.server = subprocess.Popen([PYTHON, "-m", "publisher", "--db", self.db, "web", "--port", "0",
                                        "--feed-base", "https://feeds.example.org"],
                                       stdout=subprocess.PIPE, stderr=log, text=True)
        self.drain = None
        self.addCleanup(self.stop_server)
        first = self.server.stdout.readline()
        self.assertTrue(first.startswith("URL=http://127.0.0.1:"), first)
        # The access log follows; read on, so that a full pipe never holds the server.
        self.drain = threading.Thread(target=shutil.copyfileobj, args=(self.server.stdout, log))
        self.drain.start()
        self.url = first.strip()[len("URL="):].rstrip("/")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                         "--window-size=1280,800", "--lang=en-GB"):
            options.add_argument(argument)
        self.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.addCleanup(self.browser.quit)
        self.wait = WebDriverWait(self.browser, 20)
        # While a page gives way to the next, the driver may answer with errors of its own.
        self.wait_through_navigation = WebDriverWait(self.browser, 20, ignored_exceptions=(WebDriverException,))
        self.shots = []

    def stop_server(self):
        self.server.terminate()
        self.assertEqual(self.server.wait(timeout=30), 0)
        if self.drain is not None:
            self.drain.join()
        self.server.stdout.close()

    def publish(self, *args, stdin=None):
        done = subprocess.run([PYTHON, "-m", "publisher", "--db", self.db] + list(args), input=stdin,
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout

    def open(self, path, heading):
        self.browser.get(self.url + path)
        return self.page(heading)

    def page(self, heading):
        """Waits for the page whose h1 holds heading."""
        self.wait_through_navigation.until(ready.text_to_be_present_in_element((By.TAG_NAME, "h1"), heading))
        return self.browser

    def submit(self, button, heading):
        self.browser.execute_script("window.tavelinOldPage = true")
        button.click()
        # The next document does not carry the old one's mark.
        self.wait_through_navigation.until(lambda b: b.execute_script("return window.tavelinOldPage === undefined"))
        return self.page(heading)

    def photograph(self, name):
        for size, (width, height, mobile) in SIZES.items():
            self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "screenWidth": width, "screenHeight": height,
                "deviceScaleFactor": 1, "mobile": mobile})
            self.wait.until(lambda b: b.execute_script("return window.screen.width") == width)
            self.assertLessEqual(self.browser.execute_script("return document.documentElement.scrollWidth"), width,
                                 "%s is wider than the %s's screen" % (name, size))
            path = os.path.join(self.out, "%s-%s.png" % (name, size))
            self.assertTrue(self.browser.save_screenshot(path), path)
            self.shots.append(path)
        self.browser.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    def fill(self, **fields):
        for name, value in fields.items():
            box = self.browser.find_element(By.NAME, name)
            if box.get_attribute("type") == "date":
                # Typed keys follow the browser's own order of day, month and year.
                self.browser.execute_script("arguments[0].value = arguments[1]", box, value)
            else:
                box.clear()
                box.send_keys(value)

    def test_a_teacher_imports_a_deck_adds_a_key_and_reads_its_day(self):
        b = self.open("/decks", "Log in")
        self.assertIn("/login", b.current_url)
        self.photograph("01-login")
        self.fill(username="teacher", password=PASSWORD)
        self.submit(b.find_element(By.CSS_SELECTOR, "form button[type=submit]"), "Decks")

        deck_file = os.path.join(self.work, "spanish.csv")
        with open(deck_file, "w", encoding="utf-8") as f:
            f.write(DECK)
        self.photograph("02-decks-empty")
        self.fill(name="spanish")
        b.find_element(By.NAME, "file").send_keys(deck_file)
        self.submit(b.find_element(By.CSS_SELECTOR, "form[action='/decks/upload'] button"), "Preview")
        refused = b.find_elements(By.CSS_SELECTOR, "table.refused tbody tr")
        self.assertEqual([r.text for r in refused], ["4 word empty; every row needs a word and a translation"])
        self.photograph("03-deck-preview")
        self.submit(b.find_element(By.CSS_SELECTOR, "button[value=good]"), "Deck")
        cells = [c.text for c in b.find_elements(By.CSS_SELECTOR, "table.words tbody td:nth-child(2)")]
        self.assertEqual(cells, ["casa", "perro", HOSTILE, "gato", "luz"])
        self.assertEqual(b.find_elements(By.CSS_SELECTOR, "main img"), [])
        with self.assertRaises(NoAlertPresentException):
            b.switch_to.alert.text
        self.photograph("04-deck-words")
        self.open("/decks/spanish/words/3", "Word 3")
        self.photograph("05-word-edit")
        self.open("/decks", "Decks")
        self.photograph("06-decks")

        self.open("/keys", "Keys")
        self.fill(key="ES-1", start="2026-03-01", per_day="2", tz="Europe/Madrid")
        self.submit(b.find_element(By.CSS_SELECTOR, "form[action='/keys'] button"), "Key ES-1")
        self.publish("news", "set", "Bienvenidos & welcome", "--from", "2026-03-02")
        for date in ("2026-03-01", "2026-03-04"):
            self.open("/keys/ES-1?date=" + date, "Key ES-1")
            shown = [e.text for e in b.find_elements(By.CSS_SELECTOR, "ol.lines > li.news, ol.lines > li.line")]
            self.assertEqual(shown, self.publish("show", "ES-1", "--extra", "--date", date).splitlines())
        self.assertEqual(b.find_elements(By.CSS_SELECTOR, "main img"), [])
        with self.assertRaises(NoAlertPresentException):
            b.switch_to.alert.text
        self.photograph("07-key")
        self.open("/keys", "Keys")
        self.photograph("08-keys")
        self.open("/news", "News")
        self.photograph("09-news")
        self.open("/delivery", "Delivery")
        self.photograph("10-delivery")
        self.open("/activity", "Activity")
        self.photograph("11-activity")
        self.open("/users", "Accounts")
        self.photograph("12-accounts")
        self.open("/nothing-here", "No such page")
        self.photograph("13-not-found")
        print("screenshots in %s" % self.out, file=sys.stderr)


if __name__ == "__main__":
    unittest.main()
