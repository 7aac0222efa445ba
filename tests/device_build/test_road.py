#!/usr/bin/env python3
"""The user's whole road, once a scheme, with the real programs a phone runs: the repository
published signed, apt fetching the package from it, dpkg installing it into a fresh phone's root
(tools/install), the simulator as that phone's loader taking the library from where dpkg put it,
the pane's edits, a respring, the status bar and its picture; then the package removed, and the
phone without it."""
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from PIL import Image

from device_build import definitions, packages
from tests.support import published
from tools import phone

SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]
OUT = Path(os.environ["BRINDLEWICK_DEVICE_OUT"])
INSTALL = Path(__file__).resolve().parents[2] / "tools" / "install"
PACKAGE = definitions.IDENTIFIER


class Road(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Path(tempfile.mkdtemp(prefix="brindlewick-road-"))
        cls.signer = published.make_key(cls.scratch / "key")
        cls.served = published.Served(cls.scratch / "repo")
        made = published.publish(cls.scratch / "repo", OUT, cls.served.url, cls.signer)
        assert made.returncode == 0, made.stderr

    @classmethod
    def tearDownClass(cls):
        cls.served.stop()
        cls.signer.stop()
        shutil.rmtree(cls.scratch)

    def simulate(self, root, model, release, *commands):
        run = subprocess.run([SIMULATOR, "--root", root, "--phone", model, "--ios", release, *commands],
                             capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout.splitlines()

    def take_the_road(self, scheme, model, release, status, with_library):
        architecture = packages.LAYOUTS[scheme].architecture
        downloads, runs = published.apt(self.scratch, self.served.url, self.scratch / "repo" / f"{PACKAGE}.gpg",
                                        architecture, ("apt-get", "download", f"{PACKAGE}:{architecture}"),
                                        firmware=release)
        self.assertEqual([run.returncode for run in runs], [0, 0], runs[-1].stderr)
        [fetched] = downloads.glob("*.deb")

        root = self.scratch / scheme
        root.mkdir()
        phone.lay_out(root)
        installed = subprocess.run([INSTALL, root, fetched, "--ios", release], capture_output=True, text=True)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        self.assertEqual(phone.jailbreak_of(root).scheme, scheme)

        # As the pane does, then a respring, which installs what was switched on.
        self.simulate(root, model, release, 'set customtextEnabled "Road"', "set kEnabled YES", "set k5Enabled YES")
        picture = self.scratch / f"{scheme}.png"
        shown = self.simulate(root, model, release, "update", "status", f"picture {picture}")
        self.assertEqual(shown[1], status.format(carrier=with_library))
        with Image.open(picture) as drawn:
            self.assertEqual(drawn.width, {"iPhone 6s": 750, "iPhone XS": 1125, "iPhone 12": 1170}[model])
            # Where the carrier stands, at the left, as large as a reader wants a dual SIM's small rows.
            left = drawn.crop((0, 0, drawn.width * 2 // 5, drawn.height))
            left.resize((left.width * 2, left.height * 2)).save(self.scratch / "read.png")
        read = subprocess.run(["tesseract", self.scratch / "read.png", "-"], capture_output=True, text=True).stdout
        self.assertEqual(read.count(with_library), 2, read)  # a row for each SIM

        removed = subprocess.run([INSTALL, "--remove", root], capture_output=True, text=True)
        self.assertEqual(removed.returncode, 0, removed.stderr)
        self.assertEqual(self.simulate(root, model, release, "status", "hooks"),
                         [status.format(carrier="Carrier").replace("dual SIM on", "dual SIM off"),
                          "no library: the tweak folder holds none"])

    def test_rootful_on_an_iphone_6s_with_ios_14(self):
        self.take_the_road("rootful", "iPhone 6s", "14.8", 'carrier "{carrier}" | provider carrier "{carrier}" | SIM '
                           '"SIM Ready" | radio on | dual SIM on | SIM card ready | shown "{carrier}" | seen in the status '
                           'bar, at its left', "Road")

    def test_rootless_on_an_iphone_xs_with_ios_16(self):
        self.take_the_road("rootless", "iPhone XS", "16.6", LOCK_SCREEN, "Road")

    def test_roothide_on_an_iphone_12_with_ios_16(self):
        self.take_the_road("roothide", "iPhone 12", "16.5", LOCK_SCREEN, "Road")


# From 16 the subscription information's name shows, on the lock screen and in Control Center.
LOCK_SCREEN = ('carrier "{carrier}" | provider carrier "{carrier}" | SIM none | radio on | dual SIM on | SIM card ready '
               '| shown "{carrier}" | seen on the lock screen and in Control Center (swipe down from the top right '
               'corner), at the left; the status bar over apps and the home screen shows none')

if __name__ == "__main__":
    unittest.main()
