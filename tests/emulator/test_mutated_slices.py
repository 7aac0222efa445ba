#!/usr/bin/env python3
"""Hostile device libraries: each shipped slice with one byte changed, anywhere and in each load
command, section and table of link-edit data by kind, run through the simulator as a user would.
Whatever the byte, the simulator ends with a status of its own (0, 2, 3 or 4), never a signal,
a fault of its own (1) or a run without end.

  BRINDLEWICK_MUTATIONS=N   mutations a slice (default 60), BRINDLEWICK_MUTATION_SEED=S
"""
import collections
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from device_build import definitions
from tools import phone

REPOSITORY = Path(__file__).resolve().parents[2]
SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]
DEVICE_OUT = Path(os.environ["BRINDLEWICK_DEVICE_OUT"])
MUTATIONS = int(os.environ.get("BRINDLEWICK_MUTATIONS", "60"))
SEED = int(os.environ.get("BRINDLEWICK_MUTATION_SEED", "20261207"))
OWN_STATUSES = {0, 2, 3, 4}
# Commands that reach every site, the notification and the interface query.
COMMANDS = ["status", 'call SBTelephonyManager setOperatorName: "a"',
            "call STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: @x",
            "call SBStatusBarStateAggregator _displayStringForSIMStatus: @ready",
            f"post {definitions.NOTIFICATION}", "status"]
LINKEDIT_TABLES = {0x22: ("rebase", "bind", "weak bind", "lazy bind", "export"),
                   0x80000022: ("rebase", "bind", "weak bind", "lazy bind", "export"),
                   0x80000034: ("chained fixups",), 0x2: ("symbols", "strings")}


def slices(fat):
    """Each slice of a fat file as (its first byte, its bytes)."""
    count = struct.unpack_from(">I", fat, 4)[0]
    for i in range(count):
        _, _, offset, size, _ = struct.unpack_from(">iiIII", fat, 8 + 20 * i)
        yield offset, fat[offset:offset + size]


def regions(image):
    """(what, first byte, size) of every load command, section and link-edit table of a slice."""
    wide = struct.unpack_from("<I", image, 0)[0] == 0xFEEDFACF
    at = 32 if wide else 28
    found = [("header", 0, at)]
    for _ in range(struct.unpack_from("<I", image, 16)[0]):
        cmd, size = struct.unpack_from("<II", image, at)
        found.append((f"load command {cmd:#x}", at, size))
        if cmd in (0x19, 0x1):  # a segment's sections
            count = struct.unpack_from("<I", image, at + (64 if wide else 48))[0]
            for s in range(count):
                section = at + (72 if wide else 56) + s * (80 if wide else 68)
                name = image[section:section + 16].rstrip(b"\0").decode(errors="replace")
                size_at, offset_at = (40, 48) if wide else (36, 40)
                length = struct.unpack_from("<Q" if wide else "<I", image, section + size_at)[0]
                offset = struct.unpack_from("<I", image, section + offset_at)[0]
                if offset and length:
                    found.append((f"section {name}", offset, length))
        for i, name in enumerate(LINKEDIT_TABLES.get(cmd, ())):
            pair = (8 + 8 * i, 12 + 8 * i) if cmd != 0x2 else ((8, None), (16, 20))[i]
            if cmd == 0x2:
                offset = struct.unpack_from("<I", image, at + pair[0])[0]
                length = (struct.unpack_from("<I", image, at + 12)[0] * (16 if wide else 12) if i == 0
                          else struct.unpack_from("<I", image, at + pair[1])[0])
            else:
                offset, length = struct.unpack_from("<II", image, at + pair[0])
            if offset and length:
                found.append((name, offset, length))
        at += size
    return found


class MutatedSlices(unittest.TestCase):
    def test_one_changed_byte_never_kills_or_hangs_the_simulator(self):
        random_bytes = random.Random(SEED)
        outcomes = collections.Counter()
        with tempfile.TemporaryDirectory(prefix="brindlewick-mutated-") as directory:
            root = Path(directory)
            phone.with_preferences(root, {key: True for key in definitions.FLAG_KEYS} | {
                key: "T" for key in definitions.TEXT_KEYS})
            library = root / "mutated.dylib"
            for layout in ("rootful", "rootless", "roothide"):
                for start, image in slices((DEVICE_OUT / layout / "Brindlewick.dylib").read_bytes()):
                    places = [(what, first + random_bytes.randrange(size))
                              for what, first, size in regions(image) if first + size <= len(image)]
                    places += [("anywhere", random_bytes.randrange(len(image)))
                               for _ in range(max(0, MUTATIONS - len(places)))]
                    for what, position in places:
                        mutated = bytearray(image)
                        mutated[position] ^= random_bytes.randrange(1, 256)
                        library.write_bytes(mutated)
                        try:
                            run = subprocess.run([SIMULATOR, "--root", root, "--library", library,
                                                  "--interface", "en0=192.0.2.1", *COMMANDS],
                                                 capture_output=True, timeout=120)
                        except subprocess.TimeoutExpired:
                            self.fail(f"{layout} slice at {start:#x}, {what}, byte {position:#x}: ran on past 120 s")
                        outcomes[run.returncode] += 1
                        with self.subTest(layout=layout, slice=hex(start), what=what, byte=hex(position)):
                            self.assertIn(run.returncode, OWN_STATUSES,
                                          f"(seed {SEED}) {run.stderr.decode(errors='replace')[-400:]}")
        print(f"statuses over {sum(outcomes.values())} mutations: {dict(outcomes)}", file=sys.stderr)


if __name__ == "__main__":
    unittest.main()
