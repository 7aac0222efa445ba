#!/usr/bin/env python3
"""The package's pages as a user meets them: the published repository served on 127.0.0.1, the
HTML depiction rendered by headless Chromium at a phone's width with every other host unreachable,
read back from its DOM and its picture; the Sileo depiction parsed, every URL in it fetched."""
import http.server
import json
import os
import re
import socket
import subprocess
import tempfile
import threading
import unittest
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
from packaging import definitions
from packaging import depiction
from packaging import releases

DEVICE_OUT = os.environ["BRINDLEWICK_DEVICE_OUT"]
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars", "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"]


class Served:
    """The folder on 127.0.0.1, every request it answered logged with its status."""

    def __init__(self, folder):
        self.requests = []
        served = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *arguments, **keywords):
                super().__init__(*arguments, directory=str(folder), **keywords)

            def log_request(self, code="-", size="-"):
                served.requests.append((self.path, int(code)))

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Depictions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Path(tempfile.mkdtemp(prefix="brindlewick-depiction-"))
        port = free_port()
        cls.base = f"http://127.0.0.1:{port}/"
        made = subprocess.run([REPOSITORY / "tools" / "repository", "--base-url", cls.base, cls.scratch / "repo",
                               "--device-out", DEVICE_OUT], capture_output=True, text=True)
        assert made.returncode == 0, made.stderr
        cls.page = f"{cls.base}depictions/{definitions.IDENTIFIER}/"
        cls.served = Served(cls.scratch / "repo")
        # The port was free a moment ago; the server binds its own, so the base follows it.
        cls.base = f"http://127.0.0.1:{cls.served.port}/"
        cls.shift = (f"127.0.0.1:{port}/", f"127.0.0.1:{cls.served.port}/")

    @classmethod
    def tearDownClass(cls):
        cls.served.stop()

    def url(self, text):
        return text.replace(*self.shift)

    def browse(self, *options):
        profile = self.enterContext(tempfile.TemporaryDirectory())
        return subprocess.run(CHROMIUM + [f"--user-data-dir={profile}", *options, self.url(self.page)],
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
            with __import__("urllib.request").request.urlopen(self.url(url)) as answer:
                self.assertEqual(answer.status, 200, url)

    def test_a_url_that_is_not_absolute_http_is_refused(self):
        for url in ("ftp://example.invalid/", "example.invalid/repo", "/repo", "https://"):
            run = subprocess.run([REPOSITORY / "tools" / "repository", "--base-url", url, self.scratch / "refused",
                                  "--device-out", DEVICE_OUT], capture_output=True, text=True)
            self.assertEqual(run.returncode, 2, url)
            self.assertFalse((self.scratch / "refused").exists())


if __name__ == "__main__":
    unittest.main()
