#!/usr/bin/env python3
"""What the project says of each iOS release is what the library does there: the README's table is
what tools/releases measures now, and the Settings pane, evaluating its own filters on each
release, shows a feature's switch exactly where that table says the feature acts."""
import json
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPOSITORY / "packaging"))
import releases  # noqa: E402

SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]
DEVICE_OUT = os.environ["BRINDLEWICK_DEVICE_OUT"]


class Releases(unittest.TestCase):
    def test_the_readmes_table_is_what_the_library_does_on_each_release_now(self):
        run = subprocess.run([REPOSITORY / "tools" / "releases", "--simulator", SIMULATOR,
                              "--device-out", DEVICE_OUT], capture_output=True, text=True, timeout=600)
        self.assertEqual(run.returncode, 0, run.stderr)
        readme = releases.README.read_text()
        kept = readme.split(releases.BEGIN, 1)[1].split(releases.END, 1)[0].strip()
        self.assertEqual(kept, run.stdout.strip(), "README.md's release table is stale: run tools/releases --write")

    def test_the_pane_shows_a_features_switch_where_and_only_where_it_acts(self):
        eras, cells = releases.read()
        switches = {name for name, _, _ in releases.FEATURES}
        with tempfile.TemporaryDirectory() as root:
            for era in eras:
                for major in {era.first, era.last or 26}:
                    run = subprocess.run([SIMULATOR, "--root", root, "--no-library", "--json", "--ios",
                                          f"{major}.0", "pane"], capture_output=True, text=True, check=True)
                    shown = {cell.get("label") for cell in json.loads(run.stdout)["cells"]} & switches
                    acting = {name for name in switches if releases.acts(cells[name][eras.index(era)])}
                    self.assertEqual(shown, acting, f"iOS {major}")


if __name__ == "__main__":
    unittest.main()
