#!/usr/bin/env python3
"""Writes the preference-file seeds with Python's plistlib, a second producer beside libplist; the
reader's tests read them as fixtures.

It writes into corpus/preferences/ beside it; the outputs are committed.
"""
import datetime
import os
import plistlib
from pathlib import Path

os.chdir(Path(__file__).resolve().parent / "corpus" / "preferences")

TYPICAL = {
    "kEnabled": True,
    "k1Enabled": False,
    "k2Enabled": True,
    "k3Enabled": False,
    "k4Enabled": True,
    "k5Enabled": False,
    "customtextEnabled": "Brindle \u2713",
    "customtext2Enabled": "",
}

# Values of kinds the library does not expect under its keys.
ODD_KINDS = {
    "kEnabled": 2,
    "k1Enabled": "yes",
    "k2Enabled": 0.0,
    "k3Enabled": datetime.datetime(2020, 1, 1),
    "k4Enabled": b"\x01",
    "k5Enabled": [True],
    "customtextEnabled": 7,
    "customtext2Enabled": {"nested": "text"},
}


def write(name, value, fmt):
    with open(name, "wb") as out:
        plistlib.dump(value, out, fmt=fmt)


for stem, value in (("typical", TYPICAL), ("odd-kinds", ODD_KINDS)):
    write(f"{stem}.binary.plist", value, plistlib.FMT_BINARY)
    write(f"{stem}.xml.plist", value, plistlib.FMT_XML)

write("array-root.xml.plist", ["kEnabled", True], plistlib.FMT_XML)
with open("typical.binary.plist", "rb") as whole, open("truncated.binary.plist", "wb") as part:
    data = whole.read()
    part.write(data[: len(data) // 2])
