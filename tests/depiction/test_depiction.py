#!/usr/bin/env python3
"""The package's pages as a user meets them: the published repository served on 127.0.0.1, the
HTML depiction rendered by headless Chromium at a phone's width with every other host unreachable,
read back from its DOM and its picture; the Sileo depiction parsed, every URL in it fetched."""
import json
import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

from PIL import Image

from device_build import definitions
from device_build import depiction
from device_build import releases
from tests.support import published

REPOSITORY = Path(__file__).resolve().parents[2]
DEVICE_OUT = os.environ["BRINDLEWICK_DEVICE_OUT"]
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars", "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"]


class Depictions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Path(tempfile.mkdtemp(prefix="brindlewick-depiction-"))
        # Served first, so that the repository is published for the address it is served at.
        cls.served = published.Served(cls.scratch / "repo")
        cls.base = cls.served.url
        made = published.publish(cls.scratch / "repo", DEVICE_OUT, cls.base)
        assert made.returncode == 0, made.stderr
        cls.page = f"{cls.base}depictions/{definitions.IDENTIFIER}/"

    @classmethod
    def tearDownClass(cls):
        cls.served.stop()

    def browse(self, *options):
        profile = self.enterContext(tempfile.TemporaryDirectory())
        return subprocess.run(CHROMIUM + [f"--user-data-dir={profile}", *options, self.page],
                              capture_output=True, text=True, timeout=120)

    def test_the_page_renders_on_a_phone_from_the_repository_alone_and_says_the_facts(self):
        shot = self.scratch / "page.png"
        before = len(self.served.requests)
        rendered = self.browse("--window-size=390,2400", f"--screenshot={shot}")
        self.assertTrue(shot.exists(), rendered.stderr[-2000:])
        fetched = self.served.requests[before:]
        self.assertTrue(any(path.endswith(".png") for path, _ in fetched), fetched)
        self.assertTrue(all(status in (200, 304) for _, status in fetched), fetched)  # 304: cached
        page = (self.scratch / "repo" / "depictions" / definitions.IDENTIFIER / "index.html").read_text()
        for reference in re.findall(r'(?:src|href)="([^"]+)"', page):
            self.assertNotRegex(reference, r"^[a-z]+:|^//", "the page asks for something outside the repository")
            self.assertTrue((self.scratch / "repo" / "depictions" / definitions.IDENTIFIER / reference).is_file())
        self.assertNotRegex(page, r'url\(|@import|<script|rel="stylesheet"')
        dom = self.browse("--dump-dom").stdout
        for text in [f"version {depiction.changelog()[0][0]}", *(feature.name for feature in releases.FEATURES),
                     *(f"iOS {era.label}" for era in releases.load().eras), "Which package", "Changelog",
                     "MIT License"]:
            self.assertIn(text, dom)
        read = subprocess.run(["tesseract", shot, "-", "--psm", "3"], capture_output=True, text=True).stdout
        self.assertIn("Brindlewick", read)
        self.assertIn("What acts on your iOS release", read)
        # Every era in sight at a phone's width, the newest included, with no sideways scroll (OCR
        # takes an S for an s now and then).
        for era in releases.load().eras:
            self.assertIn(f"ios{era.label}".replace(" ", ""), "".join(read.split()).lower())

    def test_each_picture_shows_where_the_carrier_stands_legibly_at_a_phones_width(self):
        folder = self.scratch / "repo" / "depictions" / definitions.IDENTIFIER
        page = (folder / "index.html").read_text()
        for file, caption, _ in depiction.SCREENSHOTS:
            shown = depiction.carrier_picture(file)
            self.assertIn(f'<img src="{shown}"', page)
            # As a page 390 pixels wide shows it: every row of dual SIM read back.
            with Image.open(folder / shown) as picture:
                width = depiction.CARRIER_WIDTH
                picture.resize((width, round(picture.height * width / picture.width))).save(self.scratch / "shown.png")
            read = subprocess.run(["tesseract", self.scratch / "shown.png", "-"], capture_output=True, text=True).stdout
            if "a row for each SIM" in caption:
                self.assertEqual(read.count("Brindlewick"), 2, f"{file}: {read}")

    def test_the_native_depiction_says_the_same_and_every_url_in_it_resolves(self):
        sileo = json.loads((self.scratch / "repo" / "depictions" / definitions.IDENTIFIER / "sileo.json").read_text())
        self.assertEqual(sileo["class"], "DepictionTabView")
        self.assertEqual([tab["tabname"] for tab in sileo["tabs"]], ["Details", "Changelog"])
        text = json.dumps(sileo)
        for feature in releases.FEATURES:
            self.assertIn(feature.name, text)
        self.assertIn(depiction.changelog()[0][0], text)
        urls = re.findall(r'"(https?://[^"]+)"', text)
        self.assertGreater(len(urls), 3)
        for url in urls:
            self.assertTrue(url.startswith(self.page), url)
            with __import__("urllib.request").request.urlopen(url) as answer:
                self.assertEqual(answer.status, 200, url)

    def test_a_url_that_is_not_absolute_http_is_refused(self):
        for url in ("ftp://example.invalid/", "example.invalid/repo", "/repo", "https://"):
            run = subprocess.run([REPOSITORY / "tools" / "repository", "--base-url", url, self.scratch / "refused",
                                  "--device-out", DEVICE_OUT], capture_output=True, text=True)
            self.assertEqual(run.returncode, 2, url)
            self.assertFalse((self.scratch / "refused").exists())


if __name__ == "__main__":
    unittest.main()
