"""The package facts as the simulator and the emulator look them up, decided here once: from
packages.json and releases.json, each phone with the slice its processor takes, each package with
its file name and the first system of each of its slices, each era with what each feature shows,
whether it acts and why not; and, for the emulator's loader, each slice's last system as C++."""
import argparse
import json
import sys
from pathlib import Path

from . import packages
from . import releases


def _release(text):
    """"17.3.1" as [17, 3, 1]: the simulator compares numbers, never parses."""
    return list(packages.version_key(text) + (0, 0))[:3]


def _chips(pair):
    return list(pair) if pair else None


def _slice_of(chip):
    return next(slice_.name for slice_ in packages.SLICES.values() if slice_.takes(chip))


def normalised(version, facts=None):
    facts = facts or releases.load()
    return {
        "phones": [{"model": device["model"], "chip": device["chip"], "from": _release(device["from"]),
                    "to": _release(device["to"]), "form": device["form"], "points": device["points"],
                    "scale": device["scale"], "slice": _slice_of(device["chip"])} for device in packages.DEVICES],
        "slices": [{"name": slice_.name, "chips": list(slice_.chips)} for slice_ in packages.SLICES.values()],
        "packages": [{"scheme": layout.name, "file": layout.file_name(version), "architecture": layout.architecture,
                      "slices": [{"name": slice_.name, "chips": list(slice_.chips),
                                  "from": _release(layout.slice_minimum(slice_))} for slice_ in layout.slices],
                      "jailbreaks": [{"name": jailbreak.name,
                                      "covers": [{"from": _release(span["from"]), "to": _release(span["to"]),
                                                  "chips": _chips(span.get("chips"))} for span in jailbreak.covers]}
                                     for jailbreak in packages.JAILBREAKS if jailbreak.scheme == layout.name]}
                     for layout in packages.LAYOUTS.values()],
        "eras": [{"first": era.first, "last": era.last,
                  "features": [{"name": name, "shows": shows, "acts": releases.acts(shows),
                                "why": "" if releases.acts(shows) else facts.why_not(name, era)}
                               for name, shows in era.shows.items()]} for era in facts.eras],
        "samples": [{"feature": feature.name, "text": feature.sample, "yours": feature.yours}
                    for feature in releases.FEATURES if feature.sample],
    }


def last_systems_header():
    rows = "\n".join(f'    {{"{slice_.name}", 0x{_packed(slice_.last_system):06X}}},' for slice_ in packages.SLICES.values())
    return ("// Made by device_build/facts.py from device_build/packages.json; edit that file instead.\n"
            "#pragma once\n\n#include <cstdint>\n\nnamespace facts {\n\n"
            "// The last system that runs each slice's code, packed as 0xMMmmpp; 0 where none has stopped.\n"
            "struct SliceLastSystem {\n    const char *slice;\n    uint32_t packed;\n};\n\n"
            f"inline constexpr SliceLastSystem sliceLastSystems[] = {{\n{rows}\n}};\n\n}} // namespace facts\n")


def _packed(text):
    if text is None:
        return 0
    major, minor, patch = _release(text)
    return major << 16 | minor << 8 | patch


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("version", help="the package version, as the build numbers it")
    parser.add_argument("facts", type=Path, help="the JSON file to write")
    parser.add_argument("header", type=Path, help="the C++ header of the slices' last systems to write")
    arguments = parser.parse_args()
    for path, text in ((arguments.facts, json.dumps(normalised(arguments.version), indent=1) + "\n"),
                       (arguments.header, last_systems_header())):
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
