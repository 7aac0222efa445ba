#!/usr/bin/env python3
"""The signer, checked by an oracle of its own: arm64e_check's reading of a signature, written apart
from the signer, recomputes every hash."""
import struct
import unittest

from device_build import macho_sign
from device_build.commands import BuildError
from tests.device_build import arm64e_check


def unsigned_macho(is64=True, padding=64, body=10000):
    """A small Mach-O: __TEXT with one section right after the load commands and `padding`
    bytes of room, then __LINKEDIT."""
    header_size = 32 if is64 else 28
    segment_size, section_size = (72, 80) if is64 else (56, 68)
    commands_size = 2 * segment_size + section_size
    section_offset = header_size + commands_size + padding
    text_size = section_offset + body
    commands = b""
    for name, fileoff, filesize, nsects in (("__TEXT", 0, text_size, 1), ("__LINKEDIT", text_size, 100, 0)):
        if is64:
            commands += struct.pack("<II16sQQQQiiII", 0x19, segment_size + nsects * section_size, name.encode(),
                                    fileoff, filesize, fileoff, filesize, 5, 5, nsects, 0)
            if nsects:
                commands += struct.pack("<16s16sQQIIIIIIII", b"__text", b"__TEXT", section_offset, body,
                                        section_offset, 2, 0, 0, 0x80000400, 0, 0, 0)
        else:
            commands += struct.pack("<II16sIIIIiiII", 0x1, segment_size + nsects * section_size, name.encode(),
                                    fileoff, filesize, fileoff, filesize, 5, 5, nsects, 0)
            if nsects:
                commands += struct.pack("<16s16sIIIIIIIII", b"__text", b"__TEXT", section_offset, body,
                                        section_offset, 2, 0, 0, 0x80000400, 0, 0)
    magic = macho_sign.MH_MAGIC_64 if is64 else macho_sign.MH_MAGIC
    header = struct.pack("<IiiIIII", magic, 12, 0, 6, 2, len(commands), 0) + (b"\0\0\0\0" if is64 else b"")
    return header + commands + bytes(padding) + bytes(range(256)) * (body // 256) + bytes(body % 256) + bytes(100)


class Signer(unittest.TestCase):
    def test_signs_and_verifies_both_widths(self):
        for is64 in (True, False):
            signed = macho_sign.sign(unsigned_macho(is64), "com.example.test")
            self.assertEqual(arm64e_check.code_signature_problems(signed), [])
            self.assertEqual(macho_sign.verify(signed), {"sha1": "com.example.test", "sha256": "com.example.test"})
            self.assertEqual(macho_sign.MachO(signed).ncmds, 3)

    def test_a_changed_byte_anywhere_it_covers_is_caught(self):
        signed = bytearray(macho_sign.sign(unsigned_macho(), "x"))
        dataoff = macho_sign.MachO(signed).code_signature()[1]
        for at in (200, 5000, dataoff - 1):
            tampered = bytearray(signed)
            tampered[at] ^= 1
            self.assertTrue(arm64e_check.code_signature_problems(bytes(tampered)), f"byte {at}")
            with self.assertRaises(BuildError, msg=f"byte {at}"):
                macho_sign.verify(tampered)

    def test_signing_again_replaces_the_signature(self):
        once = macho_sign.sign(unsigned_macho(), "x")
        twice = macho_sign.sign(once, "x")
        self.assertEqual(once, twice)
        self.assertEqual(macho_sign.MachO(twice).ncmds, macho_sign.MachO(once).ncmds)

    def test_refuses_what_it_cannot_sign(self):
        with self.assertRaises(BuildError):
            macho_sign.sign(b"\x7fELF" + bytes(100), "x")
        with self.assertRaises(BuildError):
            macho_sign.sign(unsigned_macho(padding=0), "x")  # no room for the load command
        with self.assertRaises(BuildError):
            macho_sign.verify(unsigned_macho())


if __name__ == "__main__":
    unittest.main()
