"""Where the default build puts what the tools run, and what a tool says when it is not there."""
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "default"
SIMULATOR = BUILD / "brindlewick-sim"
DEVICE_OUT = BUILD / "device"
BENCHMARKS = BUILD / "bench"


def not_built(tool, path):
    """Says what is missing and how to make it; answers the status the tool then ends with."""
    print(f"{tool}: {path} is not built; run tools/run-example, or "
          "cmake --preset default && cmake --build --preset default", file=sys.stderr)
    return 1
