"""Draws the status bars the README and the package's page show (device_build/depiction.py lists them),
each on the bundled example device, into DIR (default build/default/pictures).

  tools/pictures [DIR]     tools/pictures docs draws the README's own again
"""
import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

from device_build import depiction
from tools import build_paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", nargs="?", type=Path, default=build_paths.BUILD / "pictures",
                        help="the folder to draw into")
    out = parser.parse_args().out.resolve()
    simulator = os.environ.get("BRINDLEWICK_SIMULATOR", str(build_paths.SIMULATOR))
    if not os.access(simulator, os.X_OK):
        return build_paths.not_built("pictures", simulator)
    out.mkdir(parents=True, exist_ok=True)
    # A state directory of its own: the pictures show the example as bundled, whatever the user's own
    # copy of it now holds.
    with tempfile.TemporaryDirectory() as state:
        for file, _, options in depiction.SCREENSHOTS:
            run = subprocess.run([simulator, *options, f"picture {out / file}"], capture_output=True, text=True,
                                 env=dict(os.environ, XDG_STATE_HOME=state))
            if run.returncode != 0:
                print(f"pictures: {file}: {run.stderr.strip()}", file=sys.stderr)
                return 1
            print(run.stdout.strip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
