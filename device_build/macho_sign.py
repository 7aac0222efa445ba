#!/usr/bin/env python3
"""Ad-hoc code signatures for thin Mach-O files, as the device's tools expect them.

A signature is a superblob holding an empty requirements blob, a SHA-1 code directory (the
primary one), a SHA-256 code directory (the alternate) and an empty signature wrapper. Each code
directory hashes every 4 KiB page of the file up to the signature. `sign` adds the load command
and extends __LINKEDIT over the blob; `verify` parses it back and recomputes every hash.
"""
import hashlib
import struct
from typing import NamedTuple

from .commands import BuildError

MH_MAGIC, MH_MAGIC_64 = 0xFEEDFACE, 0xFEEDFACF
LC_SEGMENT, LC_SEGMENT_64, LC_CODE_SIGNATURE = 0x1, 0x19, 0x1D

CSMAGIC_EMBEDDED_SIGNATURE = 0xFADE0CC0
CSMAGIC_CODEDIRECTORY = 0xFADE0C02
CSMAGIC_REQUIREMENTS = 0xFADE0C01
CSMAGIC_BLOBWRAPPER = 0xFADE0B01
CSSLOT_CODEDIRECTORY, CSSLOT_REQUIREMENTS = 0, 2
CSSLOT_ALTERNATE_CODEDIRECTORIES, CSSLOT_SIGNATURESLOT = 0x1000, 0x10000
CS_ADHOC = 0x2
CS_HASHTYPE_SHA1, CS_HASHTYPE_SHA256 = 1, 2
CODEDIRECTORY_VERSION = 0x20400  # with the executable-segment fields
PAGE_SHIFT = 12
PAGE_SIZE = 1 << PAGE_SHIFT
SPECIAL_SLOTS = 2  # info.plist (absent: zeros), requirements

HASHES = {CS_HASHTYPE_SHA1: hashlib.sha1, CS_HASHTYPE_SHA256: hashlib.sha256}


FAT_MAGIC = 0xCAFEBABE
CPU_TYPE_ARM, CPU_TYPE_ARM64 = 12, 0x0100000C
ARCHS = {(CPU_TYPE_ARM, 9): "armv7", (CPU_TYPE_ARM, 11): "armv7s", (CPU_TYPE_ARM64, 0): "arm64",
         (CPU_TYPE_ARM64, 2): "arm64e"}
LC_VERSION_MIN_IPHONEOS, LC_BUILD_VERSION = 0x25, 0x32


def slices(data):
    """{processor name: its bytes} of a fat file, or of a thin one (its one slice)."""
    if struct.unpack_from(">I", data, 0)[0] != FAT_MAGIC:
        cputype, subtype = struct.unpack_from("<II", data, 4)
        return {ARCHS.get((cputype, subtype & 0xFF), "?"): bytes(data)}
    found = {}
    for i in range(struct.unpack_from(">I", data, 4)[0]):
        cputype, subtype, offset, size, _ = struct.unpack_from(">IIIII", data, 8 + 20 * i)
        found[ARCHS.get((cputype, subtype & 0xFF), "?")] = bytes(data[offset:offset + size])
    return found


class Section(NamedTuple):
    name: str
    addr: int
    size: int
    offset: int
    flags: int
    reloff: int
    nreloc: int


class Segment(NamedTuple):
    command: int  # where its load command starts
    name: str
    vmaddr: int
    vmsize: int
    fileoff: int
    filesize: int
    sections: list


def _name(raw):
    return bytes(raw).rstrip(b"\0").decode()


class MachO:
    """The parts of a thin Mach-O a signature touches."""

    def __init__(self, data):
        self.data = bytearray(data)
        magic = struct.unpack_from("<I", self.data, 0)[0]
        if magic not in (MH_MAGIC, MH_MAGIC_64):
            raise BuildError("not a thin little-endian Mach-O file")
        self.is64 = magic == MH_MAGIC_64
        self.header_size = 32 if self.is64 else 28
        self.ncmds, self.sizeofcmds = struct.unpack_from("<II", self.data, 16)
        self.commands = []  # (offset, cmd, cmdsize)
        offset = self.header_size
        for _ in range(self.ncmds):
            cmd, size = struct.unpack_from("<II", self.data, offset)
            if size < 8 or offset + size > self.header_size + self.sizeofcmds:
                raise BuildError("malformed load command")
            self.commands.append((offset, cmd, size))
            offset += size

    def segments(self):
        """Every segment of the file's own width, with its sections, in load-command order."""
        found = []
        wide = self.is64
        for offset, cmd, _ in self.commands:
            if cmd != (LC_SEGMENT_64 if wide else LC_SEGMENT):
                continue
            fields = struct.unpack_from("<QQQQ" if wide else "<IIII", self.data, offset + 24)
            nsects = struct.unpack_from("<I", self.data, offset + (64 if wide else 48))[0]
            sections = []
            for i in range(nsects):
                at = offset + (72 + 80 * i if wide else 56 + 68 * i)
                addr, size = struct.unpack_from("<QQ" if wide else "<II", self.data, at + 32)
                sect_offset, _, reloff, nreloc, flags = struct.unpack_from("<IIIII", self.data, at + (48 if wide else 40))
                sections.append(Section(_name(self.data[at:at + 16]), addr, size, sect_offset, flags, reloff, nreloc))
            found.append(Segment(offset, _name(self.data[offset + 8:offset + 24]), *fields, sections))
        return found

    def segment(self, name):
        """A segment by its name, or None."""
        return next((segment for segment in self.segments() if segment.name == name), None)

    def lowest_system(self):
        """The first iOS the slice declares it runs on, as "14.0", or None where it declares none."""
        for offset, cmd, _ in self.commands:
            if cmd in (LC_VERSION_MIN_IPHONEOS, LC_BUILD_VERSION):
                packed = struct.unpack_from("<I", self.data, offset + (12 if cmd == LC_BUILD_VERSION else 8))[0]
                text = f"{packed >> 16}.{packed >> 8 & 0xFF}"
                return text + (f".{packed & 0xFF}" if packed & 0xFF else "")
        return None

    def code_signature(self):
        """(command offset, dataoff, datasize), or None."""
        for offset, cmd, _ in self.commands:
            if cmd == LC_CODE_SIGNATURE:
                return (offset,) + struct.unpack_from("<II", self.data, offset + 8)
        return None

    def first_section_offset(self):
        """Where the first section's bytes start: the load commands may grow up to there."""
        zerofill = (0x1, 0xC)  # zerofill sections have no bytes
        return min((section.offset for segment in self.segments() for section in segment.sections
                    if section.offset and section.flags & 0xFF not in zerofill), default=len(self.data))

def _code_directory(image, code_limit, hash_type, identifier, requirements, exec_seg):
    hasher = HASHES[hash_type]
    hash_size = hasher().digest_size
    ident = identifier.encode() + b"\0"
    header_size = 88
    ident_offset = header_size
    hash_offset = ident_offset + len(ident) + SPECIAL_SLOTS * hash_size
    pages = (code_limit + PAGE_SIZE - 1) // PAGE_SIZE
    length = hash_offset + pages * hash_size
    specials = hasher(requirements).digest() + bytes(hash_size)  # slot -2, then slot -1
    code = b"".join(hasher(bytes(image[p * PAGE_SIZE:min(code_limit, (p + 1) * PAGE_SIZE)])).digest()
                    for p in range(pages))
    header = struct.pack(">IIIIIIIIIBBBBIIIIQQQQ", CSMAGIC_CODEDIRECTORY, length, CODEDIRECTORY_VERSION,
                         CS_ADHOC, hash_offset, ident_offset, SPECIAL_SLOTS, pages, code_limit, hash_size,
                         hash_type, 0, PAGE_SHIFT, 0, 0, 0, 0, 0, exec_seg[0], exec_seg[1], 0)
    assert len(header) == header_size
    return header + ident + specials + code


def _superblob(blobs):
    count = len(blobs)
    offset = 12 + 8 * count
    index, body = b"", b""
    for slot, blob in blobs:
        index += struct.pack(">II", slot, offset + len(body))
        body += blob
    return struct.pack(">III", CSMAGIC_EMBEDDED_SIGNATURE, 12 + len(index) + len(body), count) + index + body


def _signature_size(image_size, identifier):
    pages = (image_size + PAGE_SIZE - 1) // PAGE_SIZE
    ident = len(identifier) + 1
    directories = sum(88 + ident + (SPECIAL_SLOTS + pages) * size for size in (20, 32))
    return 12 + 8 * 4 + 12 + directories + 8


def sign(data, identifier):
    """The file with an ad-hoc signature added, or an earlier signature replaced."""
    macho = MachO(data)
    linkedit = macho.segment("__LINKEDIT")
    text = macho.segment("__TEXT")
    if not linkedit or not text:
        raise BuildError("no __LINKEDIT or __TEXT segment")
    existing = macho.code_signature()
    if existing:
        command_offset, dataoff, _ = existing
        image = macho.data[:dataoff]
    else:
        end = macho.header_size + macho.sizeofcmds
        if end + 16 > macho.first_section_offset():
            raise BuildError("no room for another load command")
        command_offset = end
        struct.pack_into("<II", macho.data, 16, macho.ncmds + 1, macho.sizeofcmds + 16)
        image = macho.data
    dataoff = (len(image) + 15) & ~15
    image = bytearray(image) + bytes(dataoff - len(image))
    size = _signature_size(dataoff, identifier)
    struct.pack_into("<IIII", image, command_offset, LC_CODE_SIGNATURE, 16, dataoff, size)
    seg_offset, fileoff = linkedit.command, linkedit.fileoff
    new_filesize = dataoff + size - fileoff
    new_vmsize = (new_filesize + 0x3FFF) & ~0x3FFF
    if macho.is64:
        struct.pack_into("<QQQ", image, seg_offset + 32, new_vmsize, fileoff, new_filesize)
    else:
        struct.pack_into("<III", image, seg_offset + 28, new_vmsize, fileoff, new_filesize)

    requirements = struct.pack(">III", CSMAGIC_REQUIREMENTS, 12, 0)
    exec_seg = (text.fileoff, text.filesize)
    blob = _superblob([
        (CSSLOT_CODEDIRECTORY, _code_directory(image, dataoff, CS_HASHTYPE_SHA1, identifier, requirements, exec_seg)),
        (CSSLOT_REQUIREMENTS, requirements),
        (CSSLOT_ALTERNATE_CODEDIRECTORIES,
         _code_directory(image, dataoff, CS_HASHTYPE_SHA256, identifier, requirements, exec_seg)),
        (CSSLOT_SIGNATURESLOT, struct.pack(">II", CSMAGIC_BLOBWRAPPER, 8)),
    ])
    assert len(blob) == size
    return bytes(image) + blob


def verify(data):
    """Checks a signature from scratch; returns what it found, or raises BuildError."""
    macho = MachO(data)
    found = macho.code_signature()
    if not found:
        raise BuildError("no code signature")
    _, dataoff, datasize = found
    if dataoff + datasize != len(data):
        raise BuildError("the signature does not end the file")
    linkedit = macho.segment("__LINKEDIT")
    if not linkedit or linkedit.fileoff + linkedit.filesize != len(data):
        raise BuildError("__LINKEDIT does not cover the signature")
    blob = bytes(data[dataoff:])
    magic, length, count = struct.unpack_from(">III", blob, 0)
    if magic != CSMAGIC_EMBEDDED_SIGNATURE or length > datasize:
        raise BuildError("not an embedded-signature superblob")
    slots = {}
    for i in range(count):
        slot, offset = struct.unpack_from(">II", blob, 12 + 8 * i)
        slots[slot] = blob[offset:offset + struct.unpack_from(">I", blob, offset + 4)[0]]
    requirements = slots.get(CSSLOT_REQUIREMENTS)
    if requirements is None:
        raise BuildError("no requirements blob")
    seen = {}
    for slot in (CSSLOT_CODEDIRECTORY, CSSLOT_ALTERNATE_CODEDIRECTORIES):
        directory = slots.get(slot)
        if directory is None:
            raise BuildError(f"no code directory in slot {slot:#x}")
        (magic, length, version, flags, hash_offset, ident_offset, n_special, n_code, code_limit, hash_size,
         hash_type, _, page_shift) = struct.unpack_from(">IIIIIIIIIBBBB", directory, 0)
        if magic != CSMAGIC_CODEDIRECTORY or not flags & CS_ADHOC or hash_type not in HASHES:
            raise BuildError("not an ad-hoc code directory")
        hasher = HASHES[hash_type]
        if code_limit != dataoff or hasher().digest_size != hash_size:
            raise BuildError("code directory limits are wrong")
        page = 1 << page_shift
        for p in range(n_code):
            want = directory[hash_offset + p * hash_size:hash_offset + (p + 1) * hash_size]
            if hasher(bytes(data[p * page:min(code_limit, (p + 1) * page)])).digest() != want:
                raise BuildError(f"page {p} does not match its {hasher().name} hash")
        if n_code != (code_limit + page - 1) // page:
            raise BuildError("code directory does not cover every page")
        if n_special >= 2 and directory[hash_offset - 2 * hash_size:hash_offset - hash_size] != hasher(
                requirements).digest():
            raise BuildError("requirements hash is wrong")
        identifier = directory[ident_offset:directory.index(b"\0", ident_offset)].decode()
        seen[hasher().name] = identifier
    return seen
