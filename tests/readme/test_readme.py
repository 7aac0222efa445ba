#!/usr/bin/env python3
"""What the README and the notes in docs/ say is what the build does now: the release table is the
one kept in device_build/releases.json, which is what tools/releases measures; the Settings pane shows
a feature's switch exactly where that table says the feature acts, and says why everywhere else;
and the figures of the device library are those the build prints."""
import json
import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

from device_build import releases
from tools import readme

REPOSITORY = Path(__file__).resolve().parents[2]
SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]
DEVICE_OUT = os.environ["BRINDLEWICK_DEVICE_OUT"]
BENCHMARKS = REPOSITORY / "docs" / "benchmarks.md"
EMULATION = REPOSITORY / "docs" / "emulation.md"


def between(document, begin_marker_start, end_marker):
    """The text of `document` between a marker that starts with `begin_marker_start` and `end_marker`."""
    after = document.read_text().split(begin_marker_start, 1)[1]
    if not begin_marker_start.endswith("-->"):
        after = after.split("-->", 1)[1]
    return after.split(end_marker, 1)[0].strip()


class Readme(unittest.TestCase):
    def test_the_readmes_table_is_the_kept_one_and_what_the_library_does_on_each_release_now(self):
        run = subprocess.run([REPOSITORY / "tools" / "releases", "--simulator", SIMULATOR,
                              "--device-out", DEVICE_OUT], capture_output=True, text=True, timeout=600)
        self.assertEqual(run.returncode, 0, run.stderr)
        kept = releases.load()
        self.assertEqual(releases.render(kept), run.stdout.strip(),
                         "device_build/releases.json is stale: run tools/releases --write")
        self.assertEqual(releases.missing_reasons(kept), [])
        # The release table and the options as their one tables have them now.
        for name, content in readme.parts(SIMULATOR).items():
            self.assertEqual(readme.section(name), content, f"README.md's {name} are stale: run tools/readme --write")

    def test_the_pane_shows_a_features_switch_where_it_acts_and_else_says_why(self):
        facts = releases.load()
        switches = {feature.name for feature in releases.FEATURES}
        listed = subprocess.run([SIMULATOR, "--no-library", "--json", "releases"], capture_output=True, text=True,
                                check=True)
        newest = json.loads(listed.stdout)["releases"][-1]["major"]
        with tempfile.TemporaryDirectory() as root:
            for era in facts.eras:
                for major in {era.first, era.last or newest}:
                    run = subprocess.run([SIMULATOR, "--root", root, "--no-library", "--json", "--ios",
                                          f"{major}.0", "pane"], capture_output=True, text=True, check=True)
                    cells = json.loads(run.stdout)["cells"]
                    shown = {cell.get("label") for cell in cells} & switches
                    acting = {name for name in switches if releases.acts(era.shows[name])}
                    self.assertEqual(shown, acting, f"iOS {major}")
                    footers = {cell.get("footer") for cell in cells}
                    for name in switches - acting:
                        reasons = [why for label, why in facts.why[name].items() if releases.label_covers(label, major)]
                        self.assertEqual(len(reasons), 1, f"iOS {major}, {name}")
                        self.assertIn(reasons[0], footers, f"iOS {major}, {name}")

    def test_the_device_figures_are_those_the_build_prints_now(self):
        run = subprocess.run([REPOSITORY / "tools" / "bench", "--device", "--markdown",
                              Path(DEVICE_OUT) / "rootful" / "Brindlewick.dylib"],
                             capture_output=True, text=True, timeout=600, check=True)
        self.assertEqual(between(BENCHMARKS, "<!-- device costs:", "<!-- /device costs -->"), run.stdout.strip(),
                         "docs/benchmarks.md's device cost table is stale: run tools/bench --device --markdown")
        with tempfile.TemporaryDirectory() as state:
            example = subprocess.run([SIMULATOR, "--library", Path(DEVICE_OUT) / "rootful" / "Brindlewick.dylib",
                                      "--arch", "arm64e", "--trace",
                                      "call SBStatusBarStateAggregator _displayStringForSIMStatus: @ready", "trace",
                                      "instructions"], capture_output=True, text=True, check=True,
                                     env=dict(os.environ, XDG_STATE_HOME=state))
        shown = re.search(r"^instructions \d+$", EMULATION.read_text(), re.M).group(0)
        self.assertEqual(shown, example.stdout.splitlines()[-1], "docs/emulation.md's instruction count is stale")


if __name__ == "__main__":
    unittest.main()
