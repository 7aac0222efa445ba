#!/usr/bin/env python3
"""The Settings pane as the packages install it, made from its cells (pane/Brindlewick.plist) and
the release table (releases.json): each feature's group and cells carry a PreferenceLoader filter on
kCFCoreFoundationVersionNumber, so Settings shows them only on the releases where the feature acts,
and on the others a group of the same name whose footer says why it does nothing there.

  pane.py OUT   writes the pane to OUT
"""
import argparse
import copy
import plistlib
import sys
from pathlib import Path

from . import releases

SOURCE = Path(__file__).resolve().parent / "pane" / "Brindlewick.plist"


def groups(items):
    """The items as [group cell, its cells...] lists, in order."""
    found = []
    for item in items:
        if item.get("cell") == "PSGroupCell" or not found:
            found.append([])
        found[-1].append(item)
    return found


def feature_of(group):
    names = {feature.name for feature in releases.FEATURES}
    return next((item["label"] for item in group if item.get("cell") == "PSSwitchCell" and item.get("label") in names),
                None)


def filtered(items, bounds):
    made = []
    for item in items:
        item = copy.deepcopy(item)
        item["pl_filter"] = {"CoreFoundationVersion": bounds}
        made.append(item)
    return made


def render(facts=None, source=SOURCE):
    """The installed pane, as bytes of an XML property list."""
    facts = facts or releases.load()
    pane = plistlib.loads(Path(source).read_bytes())
    items = []
    for group in groups(pane["items"]):
        name = feature_of(group)
        if name is None:
            items += group
            continue
        if not releases.spans(facts, name, False):
            items += copy.deepcopy(group)
            items[-len(group)]["footerText"] += " It acts on every release."
            continue
        acting = releases.spans(facts, name, True)
        if len(acting) > 1:
            raise ValueError(f"{name} acts on releases apart from each other, which one filter cannot say")
        if acting:
            items += filtered(group, releases.core_foundation_range(facts, acting[0]))
            items[-len(group)]["footerText"] += f" It acts on {releases.acting_releases(facts, name)}."
        for run in releases.spans(facts, name, False):
            items += filtered([{"cell": "PSGroupCell", "label": group[0]["label"],
                                "footerText": facts.why[name][releases.run_label(run)]}],
                              releases.core_foundation_range(facts, run))
    pane["items"] = items
    return plistlib.dumps(pane, fmt=plistlib.FMT_XML)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", type=Path)
    arguments = parser.parse_args()
    try:
        pane = render()
    except (KeyError, ValueError, OSError) as error:
        print(f"pane.py: {error}", file=sys.stderr)
        return 1
    arguments.out.parent.mkdir(parents=True, exist_ok=True)
    arguments.out.write_bytes(pane)
    return 0


if __name__ == "__main__":
    sys.exit(main())
