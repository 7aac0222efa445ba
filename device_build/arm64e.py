#!/usr/bin/env python3
"""Finishes an arm64 image linked from arm64e objects into the arm64e slice the loader accepts.

No Debian linker writes arm64e, but ld64.lld links arm64e objects as arm64 with chained fixups and
__init_offsets when no object holds an authenticated relocation. What is left is done here:

  - the header's CPU subtype becomes arm64e with the versioned-ABI bit (0x80000002);
  - each fixup chain is re-encoded from DYLD_CHAINED_PTR_64 (4-byte strides) into
    DYLD_CHAINED_PTR_ARM64E (8-byte strides, the bind bit at 62), refusing a slot that is not
    8-aligned or a chain that leaves its page;
  - the pointers the loader and the runtime authenticate become authenticated fixups (key IA,
    address-diversified, discriminator 0): the C++ personality routine's GOT slot, which the
    unwinder authenticates, and every pointer in a __DATA,__auth_ptr section;
  - the Objective-C image info says class_ro is signed, so iOS 16's runtime keeps enforcing
    pointer authentication for the process;
  - the slice is signed again.

`authenticated_relocations` is the build's check that no object needs a signed pointer the
linker cannot write.
"""
import struct

from . import macho_sign
from .commands import BuildError

CPU_TYPE_ARM64 = 0x0100000C
CPU_SUBTYPE_ARM64E_VERSIONED = 0x80000002
LC_SYMTAB = 0x2
LC_DYLD_INFO, LC_DYLD_INFO_ONLY, LC_DYLD_CHAINED_FIXUPS = 0x22, 0x80000022, 0x80000034
ARM64_RELOC_AUTHENTICATED_POINTER = 11
PTR_ARM64E, PTR_64, PTR_64_OFFSET = 1, 2, 6
PAGE_START_NONE = 0xFFFF
KEY_IA = 0
IMAGE_INFO_SIGNED_CLASS_RO = 1 << 4
PERSONALITY = "___gxx_personality_v0"
AUTHENTICATED_SECTION = "__auth_ptr"


def _image(data):
    """The image as the signer's reader finds it: a 64-bit ARM Mach-O file."""
    image = macho_sign.MachO(data)
    if not image.is64 or struct.unpack_from("<I", data, 4)[0] != CPU_TYPE_ARM64:
        raise BuildError("not a 64-bit ARM Mach-O file")
    return image


def authenticated_relocations(data):
    """(section, symbol) of every authenticated relocation in a relocatable object."""
    image = _image(data)
    symbols = []
    for offset, cmd, _ in image.commands:
        if cmd == LC_SYMTAB:
            symoff, nsyms, stroff, _ = struct.unpack_from("<IIII", data, offset + 8)
            for i in range(nsyms):
                strx = struct.unpack_from("<I", data, symoff + 16 * i)[0]
                end = data.index(b"\0", stroff + strx)
                symbols.append(data[stroff + strx:end].decode())
    found = []
    for segment in image.segments():
        for section in segment.sections:
            for i in range(section.nreloc):
                address, info = struct.unpack_from("<iI", data, section.reloff + 8 * i)
                if address < 0:
                    continue  # a scattered relocation, which arm64 objects do not have
                if info >> 28 == ARM64_RELOC_AUTHENTICATED_POINTER:
                    index, external = info & 0xFFFFFF, (info >> 27) & 1
                    symbol = symbols[index] if external and index < len(symbols) else f"section {index}"
                    found.append((section.name, symbol))
    return found


def _chained_imports(data, blob):
    _, _, imports_offset, symbols_offset, count, imports_format, _ = struct.unpack_from("<IIIIIII", data, blob)
    if imports_format != 1:
        raise BuildError(f"chained imports of format {imports_format}, not DYLD_CHAINED_IMPORT")
    names = []
    for i in range(count):
        raw = struct.unpack_from("<I", data, blob + imports_offset + 4 * i)[0]
        start = blob + symbols_offset + (raw >> 9)
        names.append(data[start:data.index(b"\0", start)].decode())
    return names


def _rechain(data, segments, blob, base):
    """Re-encodes every chain in place; returns the slots it made authenticated."""
    personality = {i for i, name in enumerate(_chained_imports(data, blob)) if name == PERSONALITY}
    authenticated_ranges = [(section.addr, section.addr + section.size) for segment in segments
                            for section in segment.sections if section.name == AUTHENTICATED_SECTION]
    starts = blob + struct.unpack_from("<I", data, blob + 4)[0]
    seg_count = struct.unpack_from("<I", data, starts)[0]
    signed = []
    for s in range(seg_count):
        info = struct.unpack_from("<I", data, starts + 4 + 4 * s)[0]
        if not info:
            continue
        at = starts + info
        _, page_size, pointer_format, segment_offset, _, page_count = struct.unpack_from("<IHHQIH", data, at)
        if pointer_format not in (PTR_64, PTR_64_OFFSET):
            raise BuildError(f"chains of pointer format {pointer_format}, not DYLD_CHAINED_PTR_64")
        name, vmaddr, fileoff = segments[s].name, segments[s].vmaddr, segments[s].fileoff
        for page in range(page_count):
            start = struct.unpack_from("<H", data, at + 22 + 2 * page)[0]
            if start == PAGE_START_NONE:
                continue
            in_page = start
            while True:
                vm = base + segment_offset + page * page_size + in_page
                file_at = fileoff + (vm - vmaddr)
                raw = struct.unpack_from("<Q", data, file_at)[0]
                if vm % 8:
                    raise BuildError(f"a fixed-up pointer at {vm:#x} in {name} is not 8-aligned")
                step = ((raw >> 51) & 0xFFF) * 4
                if step % 8 or in_page + step + 8 > page_size:
                    raise BuildError(f"the chain at {vm:#x} in {name} cannot keep 8-byte strides within its page")
                authenticate = any(low <= vm < high for low, high in authenticated_ranges)
                if raw >> 63:  # a bind
                    ordinal, addend = raw & 0xFFFFFF, (raw >> 24) & 0xFF
                    authenticate = authenticate or ordinal in personality
                    if ordinal >= 1 << 16 or (authenticate and addend):
                        raise BuildError(f"the bind at {vm:#x} does not fit an arm64e bind")
                    new = ordinal | (1 << 62) | (step // 8) << 51
                    new |= (1 << 63 | 1 << 48 | KEY_IA << 49) if authenticate else addend << 32
                else:
                    target, high8 = raw & ((1 << 36) - 1), (raw >> 36) & 0xFF
                    if pointer_format == PTR_64_OFFSET:
                        target += base
                    if authenticate:
                        if high8 or not 0 <= target - base < 1 << 32:
                            raise BuildError(f"the rebase at {vm:#x} does not fit an authenticated rebase")
                        new = (target - base) | 1 << 63 | 1 << 48 | KEY_IA << 49 | (step // 8) << 51
                    else:
                        new = target | high8 << 43 | (step // 8) << 51
                struct.pack_into("<Q", data, file_at, new)
                if authenticate:
                    signed.append(vm)
                if not step:
                    break
                in_page += step
        struct.pack_into("<H", data, at + 6, PTR_ARM64E)
    return signed


def finish(linked, identifier):
    """The linked image as a signed arm64e slice, and the addresses of its authenticated slots."""
    data = bytearray(linked)
    if struct.unpack_from("<I", data, 8)[0] != 0:
        raise BuildError("the image is not a plain arm64 image")
    image = _image(data)
    commands = {cmd: offset for offset, cmd, _ in image.commands}
    if LC_DYLD_INFO in commands or LC_DYLD_INFO_ONLY in commands or LC_DYLD_CHAINED_FIXUPS not in commands:
        raise BuildError("the image must have chained fixups and no classic dyld info")
    segments = image.segments()
    sections = {section.name: section.offset for segment in segments for section in segment.sections}
    if "__mod_init_func" in sections:
        raise BuildError("initializers must be __init_offsets, which the loader signs itself")
    base = min(segment.vmaddr for segment in segments if segment.name != "__PAGEZERO")
    blob = struct.unpack_from("<I", data, commands[LC_DYLD_CHAINED_FIXUPS] + 8)[0]
    signed = _rechain(data, segments, blob, base)
    struct.pack_into("<I", data, 8, CPU_SUBTYPE_ARM64E_VERSIONED)
    if "__objc_imageinfo" in sections:
        offset = sections["__objc_imageinfo"]
        flags = struct.unpack_from("<I", data, offset + 4)[0]
        struct.pack_into("<I", data, offset + 4, flags | IMAGE_INFO_SIGNED_CLASS_RO)
    return macho_sign.sign(bytes(data), identifier), signed
