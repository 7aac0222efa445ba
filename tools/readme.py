"""The README's parts made from facts kept elsewhere: the release table (device_build/releases.json)
and the simulator's options (its own table, as `brindlewick-sim --json --help` gives it).

  tools/readme [--simulator SIM] [--write]

Without --write, names each part that is stale and exits 1; with it, writes them.
"""
import argparse
import json
import subprocess
import sys
from pathlib import Path

from device_build import releases
from tools import build_paths

ROOT = build_paths.ROOT
README = ROOT / "README.md"


def marks(name):
    """The comments a part stands between."""
    writer = "tools/releases --write" if name == "releases" else "tools/readme --write"
    return f"<!-- {name}: {writer} prints this table here -->", f"<!-- /{name} -->"


def section(name, text=None):
    """The README's part `name`."""
    begin, end = marks(name)
    text = text if text is not None else README.read_text()
    return text.split(begin, 1)[1].split(end, 1)[0].strip()


def write_section(name, content):
    begin, end = marks(name)
    text = README.read_text()
    before, rest = text.split(begin, 1)
    README.write_text(f"{before}{begin}\n{content}\n{end}{rest.split(end, 1)[1]}")


def options(simulator):
    """The options table, a row an option, from the simulator's own."""
    run = subprocess.run([str(simulator), "--json", "--help"], capture_output=True, text=True, check=True)
    rows = ["| option | |", "|---|---|"]
    for row in json.loads(run.stdout)["options"]:
        rows.append(f"| `{row['option']}` | {row['does']} |")
    return "\n".join(rows)


def parts(simulator):
    return {"releases": releases.render(releases.load()), "options": options(simulator)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--simulator", type=Path, default=build_paths.SIMULATOR)
    parser.add_argument("--write", action="store_true")
    arguments = parser.parse_args()
    if not arguments.simulator.is_file():
        return build_paths.not_built("readme", arguments.simulator)
    stale = [name for name, content in parts(arguments.simulator).items() if section(name) != content]
    for name in stale:
        if arguments.write:
            write_section(name, parts(arguments.simulator)[name])
        else:
            print(f"readme: README.md's {name} are stale: run tools/readme --write", file=sys.stderr)
    return 1 if stale and not arguments.write else 0


if __name__ == "__main__":
    sys.exit(main())
