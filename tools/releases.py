"""Measures what each feature does on each iOS release: runs the library, natively and as each
shipped slice that serves the release, on the host as that release has it, with one feature on at a
time, and prints what the status bar then shows, a column an era of releases that agree.

  tools/releases [--simulator SIM] [--device-out DIR] [--native] [--write]

--native runs the native library alone; --write keeps the measurement in device_build/releases.json
(whose reasons for each "no effect" it leaves as they are) and puts the table into README.md.
Exits 1 when two builds of the library show different things on the same release, or, with
--write, when a "no effect" has no reason in device_build/releases.json.
"""
import argparse
import concurrent.futures
import json
import subprocess
import sys
import tempfile
from pathlib import Path

from device_build import packages
from device_build import releases
from tools import phone, readme
from tools import build_paths

ROOT = build_paths.ROOT

def ask(simulator, *arguments, root=None):
    """The JSON a simulator command prints, on `root` or on a device root of its own."""
    if root is None:
        with tempfile.TemporaryDirectory(prefix="brindlewick-release-") as scratch:
            return ask(simulator, *arguments, root=scratch)
    run = subprocess.run([simulator, "--json", "--root", root, *arguments], capture_output=True, text=True,
                         timeout=60)
    if run.returncode != 0:
        raise RuntimeError(f"{' '.join(arguments)}: {run.stderr.strip()}")
    return json.loads(run.stdout.splitlines()[-1])


def builds(device_out, native_only):
    """Each build as (name, simulator options, the majors it serves)."""
    found = [("native", [], lambda major: True)]
    if native_only:
        return found
    for layout_name, layout in packages.LAYOUTS.items():
        for slice_ in layout.slices:
            name = slice_.name + ("" if layout_name == "rootful" else f" ({layout_name})")
            found.append((name, ["--library", str(device_out / layout_name / "Brindlewick.dylib"),
                                 "--arch", slice_.name],
                          lambda major, layout=layout, slice_=slice_: layout.serves(slice_, major)))
    return found


def shown(piece, nothing):
    """A piece of the status bar as the table writes it: a text in quotes, what no text means there,
    or the state."""
    if piece is None:
        return nothing
    if isinstance(piece, dict):
        return next(iter(piece))  # absent or unset
    return piece if piece in ("on", "off", "dead") else json.dumps(piece, ensure_ascii=False)


def status_bar(simulator, options, preferences, major):
    """The status bar's pieces, on a fresh device laid out as a phone's."""
    with tempfile.TemporaryDirectory(prefix="brindlewick-release-") as root:
        phone.with_preferences(root, preferences)
        return ask(simulator, "--ios", f"{major}.0", "--interface", f"en0={releases.WIFI_ADDRESS}", *options,
                   "status", root=root)


def piece_of(status, feature):
    for key in feature.piece:
        status = status[key]
    return shown(status, "no carrier name" if feature.piece[0] == "operator" else "none")


def measure(simulator, device_out, native_only):
    """The majors, {major: {feature: shown}} and the builds that ran each; raises on a disagreement."""
    known = ask(simulator, "releases")["releases"]
    majors = [entry["major"] for entry in known]
    core_foundation = {entry["major"]: entry["lowestCoreFoundation"] for entry in known}
    every = builds(device_out, native_only)
    jobs = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for major in majors:
            for feature in releases.FEATURES:
                jobs[(major, "without", feature.name)] = pool.submit(
                    status_bar, simulator, ["--no-library", *feature.options], {}, major)
                for build, options, serves in every:
                    if serves(major):
                        jobs[(major, build, feature.name)] = pool.submit(
                            status_bar, simulator, [*options, *feature.options], feature.preferences, major)
    shows, ran = {}, {}
    for major in majors:
        shows[major], ran[major] = {}, []
        for build, _, serves in every:
            if not serves(major):
                continue
            ran[major].append(build)
            for feature in releases.FEATURES:
                got = piece_of(jobs[(major, build, feature.name)].result(), feature)
                before = piece_of(jobs[(major, "without", feature.name)].result(), feature)
                cell = got if got != before else f"{releases.NO_EFFECT} ({got})"
                if shows[major].setdefault(feature.name, cell) != cell:
                    raise RuntimeError(f"iOS {major}, {feature.name}: native shows {shows[major][feature.name]}, "
                                       f"{build} {cell}")
    return majors, core_foundation, shows, ran


def eras(majors, core_foundation, shows, ran):
    """Adjacent releases that show the same make one era."""
    groups = []
    for major in majors:
        if groups and shows[groups[-1][-1]] == shows[major]:
            groups[-1].append(major)
        else:
            groups.append([major])
    made = []
    for group in groups:
        measured_on = []
        for major in group:
            measured_on += [build for build in ran[major] if build not in measured_on]
        last = None if group[-1] == majors[-1] else group[-1]
        made.append(releases.Era(group[0], last, core_foundation[group[0]], shows[group[0]], measured_on))
    return made


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--simulator", type=Path, default=build_paths.SIMULATOR)
    parser.add_argument("--device-out", type=Path, default=build_paths.DEVICE_OUT)
    parser.add_argument("--native", action="store_true", help="the native library alone")
    parser.add_argument("--write", action="store_true", help="keep the measurement and put the table into README.md")
    arguments = parser.parse_args()
    if not arguments.simulator.is_file():
        return build_paths.not_built("releases", arguments.simulator)
    try:
        measured = eras(*measure(str(arguments.simulator), arguments.device_out, arguments.native))
    except (RuntimeError, subprocess.SubprocessError, json.JSONDecodeError) as error:
        print(f"releases: {error}", file=sys.stderr)
        return 1
    facts = releases.Facts(measured, releases.load().why)
    text = releases.render(facts)
    print(text)
    if arguments.write:
        releases.save(facts)
        readme.write_section("releases", text)
        missing = releases.missing_reasons(facts)
        for name, where in missing:
            print(f"releases: {releases.DATA.name} says nowhere why {name} does nothing on iOS {where}: "
                  "add it under \"why\"", file=sys.stderr)
        if missing:
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
