#!/usr/bin/env python3
"""Structural checks of the built device library and packages, with the LLVM tools: what can be
known about them without a device."""
import os
import plistlib
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

from device_build import build_device, definitions, macho_sign, packages
from tests.device_build import arm64e_check

OUT = Path(os.environ.get("BRINDLEWICK_DEVICE_OUT", "build/device"))
OBJDUMP, NM = (f"llvm-{tool}-{packages.TOOLCHAIN['LLVM']}" for tool in ("objdump", "nm"))

# What each package must hold, written out here rather than taken from the build's own tables:
# its slices with the lowest system each declares, where it installs, the loader's library it
# links and the preference file it reads.
EXPECTED = {
    "rootful": ({"armv7": "6.0", "armv7s": "6.0", "arm64": "7.0", "arm64e": "14.0"}, "",
                "/Library/Frameworks/CydiaSubstrate.framework/CydiaSubstrate",
                "/User/Library/Preferences/com.moxfathom.brindlewick.plist"),
    "rootless": ({"arm64": "15.0", "arm64e": "15.0"}, "/var/jb", "/var/jb/usr/lib/libsubstrate.dylib",
                 "/var/mobile/Library/Preferences/com.moxfathom.brindlewick.plist"),
    "roothide": ({"arm64": "15.0", "arm64e": "15.0"}, "", "@loader_path/.jbroot/usr/lib/libsubstrate.dylib",
                 "/var/mobile/Library/Preferences/com.moxfathom.brindlewick.plist"),
}
# What every slice imports, by library; the loader's library comes from EXPECTED.
IMPORTS = {
    "/usr/lib/libobjc.A.dylib": {"_objc_getClass", "_objc_msgSend", "_sel_registerName"},
    "/System/Library/Frameworks/Foundation.framework/Foundation": {"_NSClassFromString"},
    "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation": {
        "_CFNotificationCenterAddObserver", "_CFNotificationCenterGetDarwinNotifyCenter",
        "___CFStringMakeConstantString"},
    "/usr/lib/libSystem.B.dylib": {"_freeifaddrs", "_getifaddrs", "_inet_ntoa", "_sched_yield", "dyld_stub_binder"},
}
THIRTY_TWO = {"/usr/lib/libobjc.A.dylib": {"_objc_msgSend_stret"}}  # structures come back in memory
UNWINDING = {"/usr/lib/libSystem.B.dylib": {"__Unwind_Resume"},
             "/usr/lib/libc++.1.dylib": {"__ZSt9terminatev", "___cxa_begin_catch", "___gxx_personality_v0"}}


def expected_imports(layout, arch):
    wanted = {library: set(symbols) for library, symbols in IMPORTS.items()}
    wanted[EXPECTED[layout][2]] = {"_MSHookMessageEx"}
    for library, symbols in (THIRTY_TWO if arch.startswith("armv7") else UNWINDING).items():
        wanted.setdefault(library, set()).update(symbols)
    return wanted


def tool(*command):
    return subprocess.run([str(c) for c in command], check=True, capture_output=True, text=True).stdout


def library(layout):
    return OUT / layout / "Brindlewick.dylib"


def package(layout):
    info = packages.LAYOUTS[layout]
    found = list(OUT.glob(f"{info.package}_*_{info.architecture}.deb"))
    assert len(found) == 1, found
    return found[0]


def headers(layout, arch):
    return tool(OBJDUMP, "--macho", f"--arch={arch}", "--private-headers", library(layout))


def lowest_system(load_commands):
    """The lowest system a slice declares, from its load commands as llvm-objdump prints them."""
    version = re.search(r"cmd LC_VERSION_MIN_IPHONEOS\s+cmdsize \d+\s+version (\S+)", load_commands) or \
        re.search(r"cmd LC_BUILD_VERSION\s+cmdsize \d+\s+platform ios\s+sdk \S+\s+minos (\S+)", load_commands)
    return version.group(1) if version else None


def thin(layout, arch, directory):
    path = Path(directory) / f"{layout}-{arch}.dylib"
    if len(EXPECTED[layout][0]) > 1:
        tool(build_device.LIPO, "-thin", arch, library(layout), "-output", path)
    else:
        path.write_bytes(library(layout).read_bytes())
    return path


def bound_imports(layout, arch):
    """(library, symbol) of every bind, classic or chained; a flat-namespace lookup fails the test."""
    if arch == "arm64e":  # the LLVM 16 tools cannot read arm64e chains
        with tempfile.TemporaryDirectory() as directory:
            image = arm64e_check.Slice(thin(layout, arch, directory).read_bytes())
        return [(image.libraries[ordinal - 1], symbol) for ordinal, symbol in arm64e_check.chained_imports(image)]
    binds = tool(OBJDUMP, "--macho", f"--arch={arch}", "--bind", "--lazy-bind", "--weak-bind", library(layout))
    if "flat-namespace" in binds:
        raise AssertionError(f"{layout} {arch} looks a symbol up in the flat namespace")
    owner = {Path(lib).name.split(".")[0]: lib for lib in expected_imports(layout, arch)}
    found = re.findall(r"^__DATA\S*\s+\S+\s+0x[0-9A-Fa-f]+\s+(?:pointer\s+-?\d+\s+)?(\S+)\s+(\S+)\s*$", binds, re.M)
    return [(owner[short], symbol) for short, symbol in found]


def slices():
    for layout, (systems, _, _, _) in EXPECTED.items():
        for arch in systems:
            yield layout, arch


class Slices(unittest.TestCase):
    def test_each_layout_has_exactly_its_processors(self):
        self.assertEqual(set(packages.LAYOUTS), set(EXPECTED))
        for layout, (systems, _, _, _) in EXPECTED.items():
            archs = tool(build_device.LIPO, "-archs", library(layout)).split()
            self.assertEqual(archs, list(systems), layout)
        for layout, arch in slices():
            header = re.sub(r"\s+", " ", tool(OBJDUMP, "--macho", f"--arch={arch}", "--private-header", library(layout)))
            cpu = {"armv7": "MH_MAGIC ARM V7 ", "armv7s": "MH_MAGIC ARM V7S ", "arm64": "MH_MAGIC_64 ARM64 ALL ",
                   "arm64e": "MH_MAGIC_64 ARM64 E "}[arch]
            self.assertIn(cpu, header, f"{layout} {arch}")

    def test_lowest_system_version_and_install_name(self):
        for layout, arch in slices():
            text = headers(layout, arch)
            self.assertEqual(lowest_system(text), EXPECTED[layout][0][arch], f"{layout} {arch}")
            prefix = EXPECTED[layout][1]
            self.assertIn(f"name {prefix}/Library/MobileSubstrate/DynamicLibraries/Brindlewick.dylib (offset",
                          re.search(r"cmd LC_ID_DYLIB.*?\n.*?\n\s+name [^\n]*", text, re.S).group(0))

    def test_every_import_binds_to_its_own_library(self):
        for layout, arch in slices():
            expected = expected_imports(layout, arch)
            text = headers(layout, arch)
            loaded = set(re.findall(r"cmd LC_LOAD_DYLIB\s+cmdsize \d+\s+name (\S+)", text))
            self.assertEqual(loaded, set(expected), f"{layout} {arch}")
            self.assertIn("TWOLEVEL", tool(OBJDUMP, "--macho", f"--arch={arch}", "--private-header", library(layout)))
            bound = bound_imports(layout, arch)
            self.assertTrue(bound, f"{layout} {arch}")
            for owner, symbol in bound:
                self.assertIn(symbol, expected.get(owner, []), f"{layout} {arch}: {symbol} from {owner}")

    def test_one_initializer_and_no_exported_entry(self):
        for layout, arch in slices():
            sections = tool(OBJDUMP, "--macho", f"--arch={arch}", "--section-headers", library(layout))
            # arm64e lists its initializer as an offset, which the loader signs; the others as a pointer.
            kind, size = ("__init_offsets", 4) if arch == "arm64e" else ("__mod_init_func", 8 if arch == "arm64" else 4)
            init = re.search(kind + r"\s+([0-9a-f]+)", sections)
            self.assertIsNotNone(init, f"{layout} {arch}")
            self.assertEqual(int(init.group(1), 16), size, f"{layout} {arch}")
            self.assertIn("__objc_imageinfo", sections, f"{layout} {arch}: the runtime would skip the image")
            exported = tool(NM, f"--arch={arch}", "--extern-only", "--defined-only", library(layout))
            symbols = [line for line in exported.splitlines() if line.strip() and not line.endswith(":")]
            self.assertEqual(symbols, [], f"{layout} {arch}")

    def test_thirty_two_bit_slices_leave_no_pointer_unbound(self):
        for layout, arch in slices():
            if not arch.startswith("armv7"):
                continue
            sections = tool(OBJDUMP, "--macho", f"--arch={arch}", "--section-headers", library(layout))
            self.assertNotIn("__nl_symbol_ptr", sections, f"{layout} {arch}")

    def test_every_slice_carries_a_valid_ad_hoc_signature(self):
        with tempfile.TemporaryDirectory() as directory:
            for layout, arch in slices():
                found = macho_sign.verify(thin(layout, arch, directory).read_bytes())
                self.assertEqual(found, {"sha1": build_device.IDENTIFIER, "sha256": build_device.IDENTIFIER})

    def test_each_slice_names_its_notification_and_preference_file(self):
        with tempfile.TemporaryDirectory() as directory:
            for layout, arch in slices():
                data = thin(layout, arch, directory).read_bytes()
                self.assertIn(definitions.NOTIFICATION.encode() + b"\0", data, f"{layout} {arch}")
                self.assertIn(EXPECTED[layout][3].encode() + b"\0", data, f"{layout} {arch}")
                if layout != "rootful":
                    self.assertNotIn(b"/User/Library/Preferences", data)

    def test_roothide_names_no_var_jb_anywhere_in_its_package(self):
        with tempfile.TemporaryDirectory() as directory:
            tool("dpkg-deb", "-R", package("roothide"), directory)
            for path in Path(directory).rglob("*"):
                self.assertNotIn("var/jb", str(path.relative_to(directory)))
                if path.is_file():
                    self.assertNotIn(b"/var/jb", path.read_bytes(), path.name)


class Packages(unittest.TestCase):
    def test_the_filter_is_a_property_list_naming_springboard_and_uikit(self):
        with tempfile.TemporaryDirectory() as directory:
            for layout, (_, prefix, _, _) in EXPECTED.items():
                tool("dpkg-deb", "-x", package(layout), directory)
                path = Path(directory) / f".{prefix}/Library/MobileSubstrate/DynamicLibraries/Brindlewick.plist"
                # Through libplist both ways: parsed, written as binary, parsed again.
                binary = Path(directory) / f"{layout}.bplist"
                tool("plistutil", "-i", path.resolve(), "-f", "bin", "-o", binary)
                xml = tool("plistutil", "-i", binary, "-f", "xml")
                self.assertEqual(re.findall(r"<string>(.*?)</string>", xml), ["com.apple.springboard", "com.apple.UIKit"])
                self.assertIn("<key>Bundles</key>", xml)


def pane_cells():
    """The cells of the pane the rootful package installs, through libplist: the XML converted to
    binary and back."""
    installed = OUT / "package-rootful" / packages.PANE_DIR.lstrip("/") / "Brindlewick.plist"
    with tempfile.TemporaryDirectory() as directory:
        binary = Path(directory) / "pane.bplist"
        tool("plistutil", "-i", installed, "-f", "bin", "-o", binary)
        xml = tool("plistutil", "-i", binary, "-f", "xml")
    pane = plistlib.loads(xml.encode())
    return pane, [item for item in pane["items"] if item["cell"] != "PSGroupCell"]


class Pane(unittest.TestCase):

    def test_the_entry_and_one_cell_per_key(self):
        pane, cells = pane_cells()
        self.assertEqual(pane["entry"], {"cell": "PSLinkCell", "label": "Brindlewick", "icon": "Brindlewick.png"})
        self.assertEqual(sorted(cell["key"] for cell in cells), sorted(set(definitions.KEYS)))
        for cell in cells:
            text = cell["key"].startswith("customtext")
            self.assertEqual(cell["cell"], "PSEditTextCell" if text else "PSSwitchCell", cell["key"])
            self.assertEqual(cell["default"], "" if text else False, cell["key"])
            self.assertEqual(cell["defaults"], build_device.IDENTIFIER, cell["key"])
            self.assertEqual(cell["PostNotification"], definitions.NOTIFICATION, cell["key"])
        groups = [item for item in pane["items"] if item["cell"] == "PSGroupCell"]
        self.assertTrue(all(group.get("footerText") for group in groups))

    def test_every_key_the_pane_writes_is_one_every_slice_reads(self):
        _, cells = pane_cells()
        with tempfile.TemporaryDirectory() as directory:
            for layout, arch in slices():
                data = thin(layout, arch, directory).read_bytes()
                for cell in cells:
                    self.assertIn(cell["key"].encode() + b"\0", data, f"{layout} {arch}")


if __name__ == "__main__":
    unittest.main()
