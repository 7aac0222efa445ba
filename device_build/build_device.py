#!/usr/bin/env python3
"""Builds Brindlewick.dylib for the device and the three packages that install it.

No SDK is needed: the library and its Darwin backend declare what they use of the platform, and
the libraries they import are stood in for by stubs made here from one table, so that every
import binds to its library by name (two-level namespace) and a misspelt one fails the link.

  rootful:  armv7, armv7s (iOS 6.0), arm64 (iOS 7.0) and arm64e (iOS 14.0), in one fat file
  rootless: arm64 and arm64e (iOS 15.0, the first system a rootless jailbreak runs), under /var/jb
  roothide: arm64 and arm64e (iOS 15.0), at the rootful paths under roothide's own folder, its
            libraries linked through @loader_path/.jbroot, and no /var/jb anywhere

(packages.json holds the layouts and the slices.)

Beside them, repository/ is a folder a package manager reads as a source (see repository.py), signed
with a key the build makes for itself in signing/, outside it.

The 32-bit slices are linked by the older Mach-O linker, which two faults make careful: it
crashes on an __objc_imageinfo section and it leaves non-lazy symbol pointers unbound. So they are
built from one translation unit (no reference crosses a file, so none needs such a pointer), with
the image info placed under another name and renamed after the link; and without C++ exceptions,
since the unwinder's personality routine would be such a pointer.

The arm64e slice is compiled with pointer authentication by the newer clang of toolchain.env (the
older accepts the target but emits none), linked by ld64.lld as arm64 with chained fixups, and finished by arm64e.py. No
object may hold an authenticated relocation, which the linker cannot write: the build names any.
"""
import argparse
import json
import shutil
from dataclasses import dataclass
import sys
import tempfile
from pathlib import Path

from . import arm64e
from .commands import BuildError, run
from . import deb
from . import definitions
from . import macho_sign
from . import pane as pane_cells
from . import releases
from .packages import INSTALL_DIR, LAYOUTS, PANE_DIR, TOOLCHAIN, jailbreaks_of, version_key
from . import repository

ROOT = Path(__file__).resolve().parent.parent
IDENTIFIER = definitions.IDENTIFIER
MAINTAINER = ("Maintainer: Brindlewick developers <brindlewick@moxfathom.invalid>\n"
              "Author: Brindlewick developers <brindlewick@moxfathom.invalid>\n")

SUBSTRATE = "substrate"  # its install name differs between the layouts
# What each slice imports, by library: the stubs are generated from this; the C++ runtime is needed
# only where exceptions unwind. The emulator's table
# (emulator/bridge/libraries.h) is kept apart on purpose, so that a wrong entry on either side
# fails a bind in the tests instead of agreeing with itself.
IMPORTS = {
    "/usr/lib/libobjc.A.dylib": ["_objc_getClass", "_objc_msgSend", "_sel_registerName"],
    "/System/Library/Frameworks/Foundation.framework/Foundation": ["_NSClassFromString"],
    "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation": [
        "_CFNotificationCenterAddObserver", "_CFNotificationCenterGetDarwinNotifyCenter",
        "___CFStringMakeConstantString"],
    "/usr/lib/libSystem.B.dylib": ["_freeifaddrs", "_getifaddrs", "_inet_ntoa", "_sched_yield",
                                   "dyld_stub_binder"],
    SUBSTRATE: ["_MSHookMessageEx"],
}
IMPORTS_32 = {"/usr/lib/libobjc.A.dylib": ["_objc_msgSend_stret"]}  # structures come back in memory
IMPORTS_UNWINDING = {
    "/usr/lib/libSystem.B.dylib": ["__Unwind_Resume"],
    "/usr/lib/libc++.1.dylib": ["__ZSt9terminatev", "___cxa_begin_catch", "___gxx_personality_v0"],
}

CLANG = f"clang++-{TOOLCHAIN['CLANG']}"
CLANG_AUTHENTICATING = f"clang++-{TOOLCHAIN['CLANG_ARM64E']}"  # the one that emits pointer authentication
LINKER = f"ld64.lld-{TOOLCHAIN['LLD']}"
OLD_LINKER = f"ld64.lld.darwinold-{TOOLCHAIN['LLD_OLD']}"
LIPO = f"llvm-lipo-{TOOLCHAIN['LLVM']}"
OBJCOPY = f"llvm-objcopy-{TOOLCHAIN['LLVM']}"

ICON_NAME, ICON_POINTS = "Brindlewick", 29  # the pane's entry names Brindlewick.png


def imports_for(slice_, layout):
    wanted = {}
    tables = [IMPORTS, IMPORTS_32 if slice_.old_linker else IMPORTS_UNWINDING]
    for table in tables:
        for library, symbols in table.items():
            name = layout.substrate if library == SUBSTRATE else library
            wanted.setdefault(name, []).extend(symbols)
    return wanted


def write_text_stubs(directory, imports):
    """TAPI text stubs, which the current linker reads."""
    paths = []
    for i, (library, symbols) in enumerate(sorted(imports.items())):
        path = directory / f"import{i}.tbd"
        path.write_text("--- !tapi-tbd\ntbd-version: 4\ntargets: [ arm64-ios ]\n"
                        f"install-name: '{library}'\nexports:\n  - targets: [ arm64-ios ]\n"
                        f"    symbols: [ {', '.join(sorted(symbols))} ]\n...\n")
        paths.append(path)
    return paths


def write_stub_dylibs(directory, imports, slice_, layout):
    """Stub libraries carrying the real install names, for the older linker, which reads no text stubs."""
    target = layout.slice_target(slice_)
    order = sorted(imports, key=lambda library: library != "/usr/lib/libSystem.B.dylib")
    paths = []
    for i, library in enumerate(order):
        source = directory / f"stub{i}.c"
        lines = []
        for n, symbol in enumerate(imports[library]):
            lines.append(f'void stub{n}(void) __asm__("{symbol}");\nvoid stub{n}(void) {{}}\n')
        source.write_text("".join(lines))
        run(CLANG, "-x", "c", "-target", target, "-marm", "-c", source, "-o", source.with_suffix(".o"))
        path = directory / f"stub{i}.dylib"
        run(OLD_LINKER, "-dylib", "-arch", slice_.name, "-iphoneos_version_min", "6.0", "-sdk_version", "6.0",
            "-install_name", library, "-o", path, source.with_suffix(".o"), *paths[:1])
        paths.append(path)
    return paths


@dataclass(frozen=True)
class Description:
    """The sources and flags of the library, as CMake lists them for every build (device-build.json),
    the package version and where the build's own repository is served; `thumb` compiles the 32-bit
    slices in Thumb mode, which only a test of the old linker's Thumb shims wants."""
    system_sources: list
    darwin_sources: list
    flags: list
    version: str
    repository_url: str
    thumb: bool = False

    @classmethod
    def read(cls, path):
        try:
            data = json.loads(Path(path).read_text())
            return cls(*(data[name] for name in ("system_sources", "darwin_sources", "flags", "version",
                                                 "repository_url")))
        except (OSError, ValueError, KeyError) as error:
            raise BuildError(f"{path} is no build description: {error}") from None


def sources(directory, slice_, description):
    """The files to compile. The 32-bit slices take each language's files as one unit, so that no
    reference crosses files: the old linker leaves the non-lazy pointers such references need unbound."""
    system, darwin = description.system_sources, description.darwin_sources
    if not slice_.old_linker:
        return [Path(source) for source in system + darwin]
    units = []
    for name, files in (("system.cpp", system), ("backend.mm", darwin)):
        unit = directory / name
        unit.write_text("".join(f'#include "{source}"\n' for source in files))
        units.append(unit)
    return units


def compile_slice(directory, slice_, layout, description):
    clang = CLANG_AUTHENTICATING if slice_.authenticated else CLANG
    resources = run(clang, "-print-resource-dir").strip()
    flags = description.flags + ["-target", layout.slice_target(slice_), "-std=c++20", "-O2", "-isystem",
                                 f"{resources}/include", f"-I{ROOT}"] + layout.defines
    # No Thumb trampolines and no personality pointer on the 32-bit slices (see sources()).
    flags += ["-mthumb" if description.thumb else "-marm", "-fno-exceptions"] if slice_.old_linker else ["-fexceptions"]
    objects = []
    for source in sources(directory, slice_, description):
        obj = directory / (source.stem + ".o")
        language = []
        if source.suffix == ".mm" and slice_.old_linker:
            language = ["-fno-objc-exceptions"]
        elif source.suffix == ".mm":
            # retain, release and alloc stay messages, as on every slice, whatever its lowest system
            language = ["-fno-objc-convert-messages-to-runtime-calls"]
        run(clang, *flags, *language, "-c", source, "-o", obj)
        if slice_.authenticated:
            for section, symbol in arm64e.authenticated_relocations(obj.read_bytes()):
                raise BuildError(f"{source.name} ({obj.name}): section {section} needs a signed pointer to {symbol}, "
                                 "which no Debian linker writes; take the address in code instead")
        objects.append(obj)
    if slice_.old_linker:
        for obj in objects:
            run(OBJCOPY, "--remove-section", "__DATA,__objc_imageinfo", obj, obj)
        image_info = directory / "image_info.s"
        image_info.write_text("\t.section __DATA,__brindle_imginf,regular,no_dead_strip\n\t.p2align 2\n"
                              "L_image_info:\n\t.long 0\n\t.long 0\n")
        run(CLANG, "-target", layout.slice_target(slice_), "-c", image_info, "-o", image_info.with_suffix(".o"))
        objects.append(image_info.with_suffix(".o"))
    return objects


def rename_section(path, old, new):
    """Renames a section in place: the names are fixed 16-byte fields, so nothing moves."""
    data = bytearray(path.read_bytes())
    old_field, new_field = old.encode().ljust(16, b"\0"), new.encode().ljust(16, b"\0")
    at = data.find(old_field)
    if at < 0 or data.find(old_field, at + 1) >= 0:
        raise BuildError(f"expected one section named {old}")
    data[at:at + 16] = new_field
    path.write_bytes(bytes(data))


def link_slice(directory, slice_, layout, description):
    minimum = layout.slice_minimum(slice_)
    objects = compile_slice(directory, slice_, layout, description)
    imports = imports_for(slice_, layout)
    install_name = layout.install_name
    output = directory / f"Brindlewick-{slice_.name}.dylib"
    if slice_.old_linker:
        stubs = write_stub_dylibs(directory, imports, slice_, layout)
        run(OLD_LINKER, "-dylib", "-arch", slice_.name, "-iphoneos_version_min", minimum, "-sdk_version", minimum,
            "-install_name", install_name, "-o", output, *objects, *stubs)
        rename_section(output, "__brindle_imginf", "__objc_imageinfo")
    elif slice_.authenticated:
        # Linked as arm64, with the fixups and initializers the arm64e loader wants, then finished.
        stubs = write_text_stubs(directory, imports)
        run(LINKER, "-dylib", "-arch", "arm64", "-platform_version", "ios", minimum, minimum,
            "-install_name", install_name, "-dead_strip", "-fixup_chains", "-init_offsets", "-o", output, *objects,
            *stubs)
        finished, _ = arm64e.finish(output.read_bytes(), IDENTIFIER)
        output.write_bytes(finished)
        macho_sign.verify(finished)
        return output
    else:
        stubs = write_text_stubs(directory, imports)
        run(LINKER, "-dylib", "-arch", slice_.name, "-platform_version", "ios", minimum, minimum,
            "-install_name", install_name, "-dead_strip", "-o", output, *objects, *stubs)
    output.write_bytes(macho_sign.sign(output.read_bytes(), IDENTIFIER))
    macho_sign.verify(output.read_bytes())
    return output


FILTER = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
\t<key>Filter</key>
\t<dict>
\t\t<key>Bundles</key>
\t\t<array>
\t\t\t<string>com.apple.springboard</string>
\t\t\t<string>com.apple.UIKit</string>
\t\t</array>
\t</dict>
</dict>
</plist>
"""


def control(layout, version):
    where = "".join(f" {line}\n" for line in releases.where_it_acts(version_key(layout.firmware)[0]))
    return (f"Package: {layout.package}\n"
            "Name: Brindlewick\n"
            f"Version: {version}\n"
            f"Architecture: {layout.architecture}\n"
            f"Description: {releases.tagline(version_key(layout.firmware)[0])}\n"
            " Shows, as you choose in Settings: your own text instead of the carrier name, no carrier\n"
            " name, or the Wi-Fi address; your own SIM-status text; the radio reported dead; dual SIM.\n"
            " .\n"
            " Each release of iOS has only some of the methods these replace. What acts where:\n"
            f"{where}"
            " .\n"
            f" For {', '.join(jailbreaks_of(layout))}.\n"
            f"{MAINTAINER}"
            "Section: Tweaks\n"
            f"Depends: firmware (>= {layout.firmware}), mobilesubstrate, preferenceloader\n")


def build_package(out, layout, library, version):
    stage = out / f"package-{layout.name}"
    shutil.rmtree(stage, ignore_errors=True)
    target = stage / (layout.prefix.lstrip("/") + INSTALL_DIR).lstrip("/")
    target.mkdir(parents=True)
    shutil.copyfile(library, target / "Brindlewick.dylib")
    (target / "Brindlewick.plist").write_text(FILTER)
    # The settings pane: a PreferenceLoader entry that needs no compiled bundle, and its icon.
    pane = stage / (layout.prefix + PANE_DIR).lstrip("/")
    pane.mkdir(parents=True)
    (pane / "Brindlewick.plist").write_bytes(pane_cells.render())
    deb.draw_icon(pane, ICON_NAME, ICON_POINTS)
    return deb.build(stage, control(layout, version), out / layout.file_name(version))


def build(out, description):
    out.mkdir(parents=True, exist_ok=True)
    for stale in out.glob(f"{IDENTIFIER}_*.deb"):  # another version's, which would sit beside this one's
        stale.unlink()
    made = {}
    for layout_name, layout in LAYOUTS.items():
        with tempfile.TemporaryDirectory(prefix=f"brindlewick-{layout_name}-") as scratch:
            slices = []
            for slice_ in layout.slices:
                directory = Path(scratch) / slice_.name
                directory.mkdir()
                slices.append(link_slice(directory, slice_, layout, description))
            library = out / f"{layout_name}" / "Brindlewick.dylib"
            library.parent.mkdir(exist_ok=True)
            if len(slices) > 1:
                run(LIPO, "-create", *slices, "-output", library)
            else:
                shutil.copyfile(slices[0], library)
        made[layout_name] = (library, build_package(out, layout, library, description.version))
    signer = build_signer(out / "signing")
    try:
        repository.write(out / "repository", [package for _, package in made.values()],
                         description.repository_url, signer)
    finally:
        signer.stop()
    return made


def build_signer(home):
    """The build's own signing key, made on its first build and kept beside the repository, never in
    it: a publication is signed with the publisher's key (tools/repository)."""
    if home.is_dir():
        return repository.Signer(home)
    return repository.Signer.make(home, "Brindlewick repository (this build's own key) <brindlewick@moxfathom.invalid>")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("description", type=Path, help="device-build.json, the sources and flags CMake lists")
    parser.add_argument("out", type=Path, help="the folder to build into")
    arguments = parser.parse_args()
    for tool in (CLANG, CLANG_AUTHENTICATING, LINKER, OLD_LINKER, LIPO, OBJCOPY, "dpkg-deb", "rsvg-convert",
                 *repository.TOOLS):
        if not shutil.which(tool):
            print(f"build_device.py: {tool} is missing (tools/install-deps installs it)", file=sys.stderr)
            return 2
    try:
        for layout_name, (library, package) in build(arguments.out, Description.read(arguments.description)).items():
            print(f"{layout_name}: {library} and {package}")
        print(f"repository: {arguments.out / 'repository'}")
    except BuildError as error:
        print(f"build_device.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
