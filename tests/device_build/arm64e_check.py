#!/usr/bin/env python3
"""What the loader of iOS 14 to 16 requires of an arm64e slice, checked from the bytes alone.

Written from the loader's rules, not from the code that writes the slice, so that a mistake in
the one is not repeated in the other. `problems` lists every rule a fat file's arm64e slice
breaks; an empty list means the loader would accept it.
"""
import argparse
import hashlib
import struct
import sys
from pathlib import Path

FAT_MAGIC = 0xCAFEBABE
MH_MAGIC_64 = 0xFEEDFACF
CPU_TYPE_ARM64 = 0x0100000C
ARM64E_VERSIONED_ABI = 0x80000002
SLICE_ALIGNMENT = 0x4000
LC_SEGMENT_64, LC_CODE_SIGNATURE = 0x19, 0x1D
LC_DYLD_INFO, LC_DYLD_INFO_ONLY, LC_DYLD_CHAINED_FIXUPS = 0x22, 0x80000022, 0x80000034
ARM64E_FORMATS = {1: 16, 9: 16, 12: 24}  # pointer format -> bits of a bind's import ordinal
PERSONALITY = "___gxx_personality_v0"
VM_PROT_WRITE = 2
S_MOD_INIT_FUNC_POINTERS, S_INIT_FUNC_OFFSETS = 0x9, 0x16
HASHES = {1: hashlib.sha1, 2: hashlib.sha256}


def bits(value, low, count):
    return (value >> low) & ((1 << count) - 1)


class Slice:
    def __init__(self, data):
        self.data = data
        self.segments = []  # (name, vmaddr, vmsize, fileoff, filesize, initprot)
        self.sections = []  # (segment, name, addr, size, offset, flags)
        self.commands = {}
        self.libraries = []  # the install names of the dylib commands, which ordinals count from 1
        ncmds = struct.unpack_from("<I", data, 16)[0]
        offset = 32
        for _ in range(ncmds):
            cmd, size = struct.unpack_from("<II", data, offset)
            self.commands.setdefault(cmd, offset)
            if cmd in (0xC, 0x80000018, 0x8000001F, 0x80000023):
                name_at = offset + struct.unpack_from("<I", data, offset + 8)[0]
                self.libraries.append(data[name_at:data.index(b"\0", name_at)].decode())
            if cmd == LC_SEGMENT_64:
                name = data[offset + 8:offset + 24].rstrip(b"\0").decode()
                vmaddr, vmsize, fileoff, filesize, _, initprot, nsects = struct.unpack_from("<QQQQIII", data,
                                                                                            offset + 24)
                self.segments.append((name, vmaddr, vmsize, fileoff, filesize, initprot))
                for i in range(nsects):
                    at = offset + 72 + 80 * i
                    addr, sect_size, sect_offset = struct.unpack_from("<QQI", data, at + 32)
                    flags = struct.unpack_from("<I", data, at + 64)[0]
                    self.sections.append((name, data[at:at + 16].rstrip(b"\0").decode(), addr, sect_size,
                                          sect_offset, flags))
            offset += size
        self.base = min(s[1] for s in self.segments)
        self.end = max(s[1] + s[2] for s in self.segments)

    def read64(self, vm):
        for _, vmaddr, _, fileoff, filesize, _ in self.segments:
            if vmaddr <= vm and vm + 8 <= vmaddr + filesize:
                return struct.unpack_from("<Q", self.data, fileoff + vm - vmaddr)[0]
        return None


def arm64e_slice(fat):
    """The arm64e slice's bytes and its fat entry (cputype, cpusubtype, offset), or a problem."""
    if struct.unpack_from(">I", fat, 0)[0] != FAT_MAGIC:
        return None, None, "not a fat file"
    count = struct.unpack_from(">I", fat, 4)[0]
    for i in range(count):
        cputype, cpusubtype, offset, size, _ = struct.unpack_from(">IIIII", fat, 8 + 20 * i)
        if cputype == CPU_TYPE_ARM64 and cpusubtype & 0xFFFFFF == 2:
            return fat[offset:offset + size], (cputype, cpusubtype, offset), None
    return None, None, "no arm64e slice"


def chained_imports(image):
    """Each chained import as (library ordinal, symbol)."""
    blob = struct.unpack_from("<I", image.data, image.commands[LC_DYLD_CHAINED_FIXUPS] + 8)[0]
    _, _, imports_offset, symbols_offset, imports_count, imports_format, _ = struct.unpack_from("<IIIIIII",
                                                                                               image.data, blob)
    size = {1: 4, 2: 8, 3: 16}[imports_format]
    imports = []
    for i in range(imports_count):
        raw = struct.unpack_from("<Q" if imports_format == 3 else "<I", image.data, blob + imports_offset + size * i)[0]
        ordinal, name_offset = (bits(raw, 0, 16), bits(raw, 32, 32)) if imports_format == 3 else (bits(raw, 0, 8),
                                                                                                bits(raw, 9, 23))
        start = blob + symbols_offset + name_offset
        imports.append((ordinal, image.data[start:image.data.index(b"\0", start)].decode()))
    return imports


def chained_fixup_problems(image):
    problems = []
    blob = struct.unpack_from("<I", image.data, image.commands[LC_DYLD_CHAINED_FIXUPS] + 8)[0]
    version, starts, _, _, imports_count, imports_format, symbols_format = struct.unpack_from("<IIIIIII",
                                                                                             image.data, blob)
    if version != 0 or symbols_format != 0 or imports_format not in (1, 2, 3):
        problems.append("a chained-fixups header of an unknown version or format")
        return problems
    if imports_count >= 0xFFFF:
        problems.append(f"{imports_count} imports: the loader takes fewer than 65535")
    names = []
    for ordinal, name in chained_imports(image):
        names.append(name)
        if not 1 <= ordinal <= len(image.libraries):
            problems.append(f"import {name} binds to ordinal {ordinal}, not to a library the image loads")
    segment_count = struct.unpack_from("<I", image.data, blob + starts)[0]
    if segment_count != len(image.segments):
        problems.append(f"chained starts for {segment_count} segments, the image has {len(image.segments)}")
        return problems
    formats = set()
    for index, (name, vmaddr, vmsize, _, _, _) in enumerate(image.segments):
        info = struct.unpack_from("<I", image.data, blob + starts + 4 + 4 * index)[0]
        if not info:
            continue
        at = blob + starts + info
        _, page_size, pointer_format, segment_offset, _, page_count = struct.unpack_from("<IHHQIH", image.data, at)
        formats.add(pointer_format)
        if pointer_format not in ARM64E_FORMATS:
            problems.append(f"segment {name} chains pointers of format {pointer_format}, not an arm64e format")
            continue
        if page_size not in (0x1000, 0x4000):
            problems.append(f"segment {name} has pages of {page_size:#x} bytes")
            continue
        if segment_offset != vmaddr - image.base:
            problems.append(f"segment {name}'s chained starts put it at offset {segment_offset:#x}")
        for page in range(page_count):
            start = struct.unpack_from("<H", image.data, at + 22 + 2 * page)[0]
            if start == 0xFFFF:
                continue
            if start & 0x8000 or start >= page_size:
                problems.append(f"segment {name} page {page} starts its chain at {start:#x}")
                continue
            problems += chain_problems(image, name, vmaddr + page * page_size, page_size, start, pointer_format,
                                       names)
    if len(formats) > 1:
        problems.append(f"segments use different pointer formats {sorted(formats)}")
    return problems


def chain_problems(image, segment, page_address, page_size, start, pointer_format, names):
    problems = []
    in_page = start
    while True:
        vm = page_address + in_page
        raw = image.read64(vm)
        if raw is None or vm % 8:
            return [f"a chain in {segment} reaches {vm:#x}, which is not an 8-aligned pointer in the file"]
        auth, bind, step = bits(raw, 63, 1), bits(raw, 62, 1), bits(raw, 51, 11) * 8
        if bind:
            ordinal = bits(raw, 0, ARM64E_FORMATS[pointer_format])
            if ordinal >= len(names):
                problems.append(f"the bind at {vm:#x} names import {ordinal} of {len(names)}")
            elif names[ordinal] == PERSONALITY and (not auth or bits(raw, 49, 2) != 0 or not bits(raw, 48, 1)
                                                    or bits(raw, 32, 16) != 0):
                problems.append(f"the personality routine's slot at {vm:#x} is not authenticated as the unwinder "
                                "authenticates it (IA, address-diversified, discriminator 0)")
        else:
            target = image.base + bits(raw, 0, 32) if auth or pointer_format != 1 else bits(raw, 0, 43)
            if not image.base <= target < image.end:
                problems.append(f"the rebase at {vm:#x} points outside the image, to {target:#x}")
        if not step:
            return problems
        in_page += step
        if in_page + 8 > page_size:
            return problems + [f"the chain through {vm:#x} in {segment} leaves its page"]


def initializer_problems(image):
    problems = []
    text = next((s for s in image.sections if s[:2] == ("__TEXT", "__text")), None)
    offsets = [s for s in image.sections if s[5] & 0xFF == S_INIT_FUNC_OFFSETS]
    if any(s[5] & 0xFF == S_MOD_INIT_FUNC_POINTERS for s in image.sections):
        problems.append("__mod_init_func entries would have to be authenticated rebases")
    if not offsets:
        problems.append("no __init_offsets: the library's initializer would never run")
    for segment, name, addr, size, offset, _ in offsets:
        if next(s for s in image.segments if s[0] == segment)[5] & VM_PROT_WRITE:
            problems.append(f"{name} lies in the writable segment {segment}")
        for i in range(size // 4):
            function = image.base + struct.unpack_from("<I", image.data, offset + 4 * i)[0]
            if not text or not text[2] <= function < text[2] + text[3]:
                problems.append(f"an initializer offset points to {function:#x}, outside __text")
    return problems


def code_signature_problems(data):
    """What is wrong with a thin Mach-O file's code signature, recomputed from the bytes alone."""
    magic, _, _, _, ncmds = struct.unpack_from("<IIIII", data, 0)
    offset, command = (32 if magic == MH_MAGIC_64 else 28), None
    for _ in range(ncmds):
        cmd, size = struct.unpack_from("<II", data, offset)
        command = offset if cmd == LC_CODE_SIGNATURE else command
        offset += size
    if command is None:
        return ["no code signature"]
    dataoff, datasize = struct.unpack_from("<II", data, command + 8)
    blob = data[dataoff:dataoff + datasize]
    magic, _, count = struct.unpack_from(">III", blob, 0)
    if magic != 0xFADE0CC0:
        return ["the signature is no embedded-signature superblob"]
    problems, directories = [], 0
    for i in range(count):
        _, at = struct.unpack_from(">II", blob, 12 + 8 * i)
        if struct.unpack_from(">I", blob, at)[0] != 0xFADE0C02:
            continue
        directories += 1
        hash_offset, _, _, pages, limit, hash_size, hash_type, _, page_shift = struct.unpack_from(">IIIIIBBBB",
                                                                                                    blob, at + 16)
        if hash_type not in HASHES or limit != dataoff:
            problems.append("a code directory of an unknown hash or that does not end at the signature")
            continue
        page = 1 << page_shift
        for p in range(pages):
            expected = blob[at + hash_offset + p * hash_size:at + hash_offset + (p + 1) * hash_size]
            if HASHES[hash_type](data[p * page:min(limit, (p + 1) * page)]).digest() != expected:
                problems.append(f"the signature's hash of page {p} does not match the bytes")
                break
    return problems + ([] if directories else ["the signature holds no code directory"])


def problems(fat):
    data, entry, missing = arm64e_slice(fat)
    if missing:
        return [missing]
    found = []
    cputype, cpusubtype, offset = entry
    if cpusubtype != ARM64E_VERSIONED_ABI:
        found.append(f"the fat entry's CPU subtype is {cpusubtype:#x}, not {ARM64E_VERSIONED_ABI:#x}")
    if offset % SLICE_ALIGNMENT:
        found.append(f"the slice starts at {offset:#x}, not on a 16 KiB boundary")
    magic, header_type, header_subtype = struct.unpack_from("<III", data, 0)
    if magic != MH_MAGIC_64 or header_type != cputype or header_subtype != ARM64E_VERSIONED_ABI:
        found.append(f"the slice's header says CPU {header_type:#x} subtype {header_subtype:#x}")
        return found
    image = Slice(data)
    if LC_DYLD_INFO in image.commands or LC_DYLD_INFO_ONLY in image.commands:
        found.append("classic dyld info, which arm64e reads as the old threaded format")
    if LC_DYLD_CHAINED_FIXUPS not in image.commands:
        return found + ["no chained fixups"]
    return found + chained_fixup_problems(image) + initializer_problems(image) + code_signature_problems(data)


def main():
    parser = argparse.ArgumentParser(description="Checks a library's arm64e slice as the loader would.")
    parser.add_argument("library", type=Path, help="a fat Mach-O library")
    found = problems(parser.parse_args().library.read_bytes())
    for problem in found:
        print(f"arm64e_check.py: {problem}", file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
