#!/usr/bin/env python3
"""The arm64e slice against the loader's rules, and the rules against slices broken on purpose."""
import os
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

from device_build import arm64e, build_device, packages
from device_build.commands import BuildError
from tests.device_build import arm64e_check

OUT = Path(os.environ.get("BRINDLEWICK_DEVICE_OUT", "build/device"))


def fat(layout):
    return bytearray((OUT / layout / "Brindlewick.dylib").read_bytes())


def slice_offset(data):
    _, entry, _ = arm64e_check.arm64e_slice(bytes(data))
    return entry[2]


def late_chain(data):
    """The file offset of the first chain of the arm64e slice that starts past a page's first slot, and
    how far its page goes on from there."""
    base = slice_offset(data)
    image = arm64e_check.Slice(bytes(data[base:]))
    blob = struct.unpack_from("<I", image.data, image.commands[arm64e_check.LC_DYLD_CHAINED_FIXUPS] + 8)[0]
    starts = blob + struct.unpack_from("<I", image.data, blob + 4)[0]
    for index, (_, vmaddr, _, fileoff, _, _) in enumerate(image.segments):
        info = struct.unpack_from("<I", image.data, starts + 4 + 4 * index)[0]
        if info:
            page_size = struct.unpack_from("<H", image.data, starts + info + 4)[0]
            start = struct.unpack_from("<H", image.data, starts + info + 22)[0]
            if 0 < start < 0xFFFF:
                return base + fileoff + start, page_size - start
    raise AssertionError("no chain")


class LoaderRules(unittest.TestCase):
    def test_every_packages_arm64e_slice_follows_them(self):
        for layout in packages.LAYOUTS:
            self.assertEqual(arm64e_check.problems(bytes(fat(layout))), [], layout)

    def test_each_broken_copy_is_caught(self):
        def broken(change):
            data = fat("rootful")
            change(data)
            return " ".join(arm64e_check.problems(bytes(data)))

        def plain_subtype(data):
            at = slice_offset(data)
            struct.pack_into("<I", data, at + 8, 2)
            for i in range(struct.unpack_from(">I", data, 4)[0]):
                if struct.unpack_from(">I", data, 8 + 20 * i + 8)[0] == at:
                    struct.pack_into(">I", data, 8 + 20 * i + 4, 2)

        def crossing_chain(data):
            at, _ = late_chain(data)
            raw = struct.unpack_from("<Q", data, at)[0]
            struct.pack_into("<Q", data, at, raw | 0x7FF << 51)  # the longest link reaches past the page

        def stale(data):
            at = slice_offset(data) + 0x4000  # the first page of __text
            data[at] ^= 0xFF

        def plain_personality(data):
            base = slice_offset(data)
            image = arm64e_check.Slice(bytes(data[base:]))
            got = next(s for s in image.sections if s[1] == "__got")
            for slot in range(got[4], got[4] + got[3], 8):
                raw = struct.unpack_from("<Q", data, base + slot)[0]
                if raw >> 63:
                    struct.pack_into("<Q", data, base + slot, raw & ~(1 << 63 | 1 << 48))

        self.assertIn("CPU subtype is 0x2", broken(plain_subtype))
        self.assertIn("leaves its page", broken(crossing_chain))
        self.assertIn("does not match the bytes", broken(stale))
        self.assertIn("personality routine's slot", broken(plain_personality))


class Finishing(unittest.TestCase):
    def test_an_object_needing_a_signed_pointer_is_named(self):
        source = "void hook(void); void (*const table[])(void) = {hook};\n"
        with tempfile.TemporaryDirectory() as directory:
            c = Path(directory) / "table.c"
            c.write_text(source)
            subprocess.run([build_device.CLANG_AUTHENTICATING, "-x", "c", "-target", "arm64e-apple-ios14.0", "-c", c, "-o",
                            c.with_suffix(".o")], check=True)
            found = arm64e.authenticated_relocations(c.with_suffix(".o").read_bytes())
        self.assertEqual(found, [("__const", "_hook")])

    def test_refuses_what_the_arm64e_loader_cannot_take(self):
        image = fat("rootful")
        with self.assertRaises(BuildError):
            arm64e.finish(bytes(image[slice_offset(image):]), "x")  # already finished


if __name__ == "__main__":
    unittest.main()
