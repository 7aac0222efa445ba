#!/usr/bin/env python3
"""The simulator's emulated loading of device libraries: signed pointers checked as the processor
checks them, a Thumb slice's crash, files the loader refuses with a message and status 2, and a
real en0 read through every build of the library."""
import json
import os
import plistlib
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

from device_build import build_device, macho_sign, packages
from tests.device_build import arm64e_check
from tools import phone

SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]
PROBES = Path(os.environ["BRINDLEWICK_PROBES"])
DEVICE = Path(os.environ["BRINDLEWICK_DEVICE_OUT"])
NATIVE = os.environ["BRINDLEWICK_LIBRARY"]
OWN_FAILURE, BAD_INPUT, CRASHED, LIMIT = 1, 2, 3, 4


def simulate(library, *commands, arch=None, release=None, settings=None):
    """The simulator on a device whose preference file turns the radio group on, or holds `settings`."""
    with tempfile.TemporaryDirectory() as root:
        phone.with_preferences(root, settings or {"k3Enabled": True}, binary=False)
        arguments = [SIMULATOR, "--root", root, "--library", str(library), "--trace"]
        arguments += ["--arch", arch] if arch else []
        arguments += ["--ios", release] if release else []
        return subprocess.run(arguments + list(commands), capture_output=True, text=True, timeout=60)


def thin(arch):
    """One slice of the rootful library, as a thin file."""
    return bytearray(macho_sign.slices((DEVICE / "rootful" / "Brindlewick.dylib").read_bytes())[arch])


def with_change(data, change, directory):
    data = bytearray(data)
    change(data, arm64e_check.Slice(bytes(data)))
    path = Path(directory) / "changed.dylib"
    path.write_bytes(data)
    return path


def section(image, name):
    return next(s for s in image.sections if s[1] == name)


class SignedPointers(unittest.TestCase):
    def test_the_probe_hooks_and_calls_through_pointers_the_loader_signed(self):
        run = simulate(PROBES / "probe-arm64e.dylib", "call SBTelephonyManager isRadioModuleDead", "trace")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout.splitlines()[0], "returned YES")
        self.assertTrue(run.stdout.splitlines()[1].endswith("; sched_yield()"), run.stdout)

    def test_a_broken_signature_faults(self):
        def other_diversity(data, image):  # the loader signs the rebase for another discriminator
            at = section(image, "__auth_ptr")[4]
            struct.pack_into("<Q", data, at, struct.unpack_from("<Q", data, at)[0] | 1 << 32)

        def unsigned_replacement(data, image):  # every paciza becomes a nop
            _, _, _, size, offset, _ = section(image, "__text")
            for at in range(offset, offset + size, 4):
                if struct.unpack_from("<I", data, at)[0] & 0xFFFFFFE0 == 0xDAC123E0:
                    struct.pack_into("<I", data, at, 0xD503201F)

        probe = (PROBES / "probe-arm64e.dylib").read_bytes()
        cases = [(probe, other_diversity, "faulted"), (probe, unsigned_replacement, "does not check"),
                 (thin("arm64e"), unsigned_replacement, "does not check")]  # the library's own slice too
        with tempfile.TemporaryDirectory() as directory:
            for image, change, message in cases:
                run = simulate(with_change(image, change, directory), "call SBTelephonyManager isRadioModuleDead")
                self.assertEqual(run.returncode, CRASHED, change.__name__)
                self.assertIn(message, run.stderr, change.__name__)

    def test_a_thumb_slice_shows_the_old_linkers_broken_shims(self):
        run = simulate(PROBES / "thumb-armv7.dylib", "status")
        self.assertEqual(run.returncode, CRASHED, run.stdout)
        self.assertIn("the library crashed while loading: the library faulted", run.stderr)


class RefusedFiles(unittest.TestCase):
    def refused(self, data, message, arch=None, release=None):
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / "Brindlewick.dylib"
            path.write_bytes(data)
            run = simulate(path, "status", arch=arch, release=release)
            self.assertEqual(path.read_bytes(), bytes(data))
        self.assertEqual(run.returncode, BAD_INPUT, f"{message}: {run.stderr}")
        self.assertEqual(run.stdout, "")
        self.assertIn(message, run.stderr)

    def test_files_that_are_no_loadable_slice(self):
        fat = (DEVICE / "rootful" / "Brindlewick.dylib").read_bytes()
        self.refused(b"#!/bin/sh\necho not a library\n", "cannot load the library")
        self.refused(fat[:len(fat) // 2], "lies outside the file", arch="arm64")
        self.refused(fat, "choose one with --arch")
        self.refused(thin("arm64"), "the file has no armv7 slice", arch="armv7")

    def test_a_slice_on_a_release_its_loader_would_not_run_it_on(self):
        for layout, arch, release, message in [("rootful", "arm64e", "13.7", "its arm64e slice runs on iOS 14.0 and later"),
                                                ("rootful", "arm64", "6.1.6", "its arm64 slice runs on iOS 7.0 and later"),
                                                ("rootful", "armv7s", "11.0", "its armv7s slice runs on iOS 6.0 to 10.3.4"),
                                                ("rootless", "arm64", "14.8.1", "its arm64 slice runs on iOS 15.0 and later")]:
            with self.subTest(f"{layout} {arch} on {release}"):
                self.refused((DEVICE / layout / "Brindlewick.dylib").read_bytes(), message, arch, release)
        # The loader's last 32-bit system is the release table's last iOS 10.
        last32 = simulate(DEVICE / "rootful" / "Brindlewick.dylib", "status", arch="armv7s", release="10.3.4")
        self.assertEqual(last32.returncode, 0, last32.stderr)

    def test_load_commands_segments_and_fixups_the_loader_refuses(self):
        def command(data, image, old, new):
            offset = 32
            for _ in range(struct.unpack_from("<I", data, 16)[0]):
                cmd, size = struct.unpack_from("<II", data, offset)
                if cmd == old:
                    struct.pack_into("<I", data, offset, new)
                    return
                offset += size

        def overlap(data, image):  # __TEXT grown over __DATA
            struct.pack_into("<Q", data, 32 + 32, 0x100000)

        def outside(data, image):  # the initializer's pointer aimed far past the image
            at = section(image, "__mod_init_func")[4]
            struct.pack_into("<Q", data, at, 0x7FFFFFFF0)

        def renamed(old, new):
            def change(data, image):
                at = bytes(data).index(old)
                data[at:at + len(new)] = new
            return change

        cases = [
            (lambda d, i: command(d, i, 0x1B, 0x80000099), "unknown load command 0x80000099"),
            (overlap, "overlap"),
            (outside, "points outside the image"),
            (renamed(b"_sched_yield\0", b"_sched_yielx\0"), "the platform provides no _sched_yielx"),
            (renamed(b"/usr/lib/libobjc.A.dylib", b"/usr/lib/libobjc.B.dylib"),
             "from /usr/lib/libobjc.B.dylib, but the platform provides it from /usr/lib/libobjc.A.dylib"),
        ]
        with tempfile.TemporaryDirectory() as directory:
            for change, message in cases:
                self.refused(with_change(thin("arm64"), change, directory).read_bytes(), message)


class TheLoader(unittest.TestCase):
    """The simulator as a jailbroken phone's loader, on a root with a tweak folder and no --library."""

    def load(self, tweaks, *commands, settings=None, release=None):
        """The simulator on a phone whose rootful tweak folder holds `tweaks` ({file: bytes})."""
        with tempfile.TemporaryDirectory() as root:
            phone.with_preferences(root, settings or {"k3Enabled": True})
            folder = Path(root, packages.INSTALL_DIR.lstrip("/"))
            folder.mkdir(parents=True)
            for name, data in tweaks.items():
                (folder / name).write_bytes(data)
            run = subprocess.run([SIMULATOR, "--root", root, "--arch", "arm64e", "--json",
                                  *(["--ios", release] if release else []), *commands],
                                 capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 0, run.stderr)
        return [json.loads(line) for line in run.stdout.splitlines()]

    def test_libraries_load_in_file_name_order_the_later_wrapping_the_earlier(self):
        library = {"Brindlewick.dylib": (DEVICE / "rootful" / "Brindlewick.dylib").read_bytes(),
                   "Brindlewick.plist": build_device.FILTER.encode()}
        probe = (PROBES / "probe-arm64e.dylib").read_bytes()
        # The probe inverts what the method it wraps answers; the library answers YES by itself.
        for name, answer in [("Aprobe", True), ("Zprobe", False)]:
            tweaks = dict(library, **{f"{name}.dylib": probe, f"{name}.plist": build_device.FILTER.encode()})
            called, hooks = self.load(tweaks, "call SBTelephonyManager isRadioModuleDead", "hooks")
            self.assertEqual(called["returned"], answer, name)
            self.assertEqual([entry["library"] for entry in hooks["loader"]],
                             sorted(name for name in tweaks if name.endswith(".dylib")))

    def test_a_filter_the_process_does_not_match_loads_nothing_and_hooks_says_why(self):
        probe = (PROBES / "probe-arm64e.dylib").read_bytes()
        filters = {
            "no probe.plist beside it": None,
            "its filter takes no bundle, class or executable of this process":
                plistlib.dumps({"Filter": {"Executables": ["Preferences"], "Classes": ["NoSuchClass"]}}),
            "its filter holds no Filter dictionary": plistlib.dumps({"Bundles": ["com.apple.springboard"]}),
            "ElleKit reads a CoreFoundationVersion of two numbers as one that no release is in":
                plistlib.dumps({"Filter": {"Bundles": ["com.apple.springboard"],
                                           "CoreFoundationVersion": [1000.0, 5000.0]}}),
        }
        for why, filter_plist in filters.items():
            tweaks = {"probe.dylib": probe, **({"probe.plist": filter_plist} if filter_plist else {})}
            [hooks] = self.load(tweaks, "hooks", release="14.8")
            self.assertEqual(hooks["loader"], [{"library": "probe.dylib", "loaded": False, "why": why}])
            self.assertEqual(hooks["hooks"], [])
        # A class the runtime has is taken as a bundle the process has loaded is.
        [hooks] = self.load({"probe.dylib": probe, "probe.plist": plistlib.dumps({"Filter": {"Classes": [
            "SBTelephonyManager"]}})}, "hooks")
        self.assertTrue(hooks["loader"][0]["loaded"])


class Statuses(unittest.TestCase):
    def test_each_status_is_reached_by_a_real_cause_natively_and_under_emulation(self):
        rootful = DEVICE / "rootful" / "Brindlewick.dylib"
        raising = ["--host-raises", "SBTelephonyManager setOperatorName:", 'call SBTelephonyManager setOperatorName: "X"']
        cases = [
            (NATIVE, None, ["status"], 0, None),
            (NATIVE, None, ["frob"], BAD_INPUT, "unknown command frob"),
            # The host raising passes to the host's caller through the native library; under emulation
            # it would unwind through emulated frames, which the emulator cannot do.
            (NATIVE, None, raising, BAD_INPUT, "the host raised: -[SBTelephonyManager setOperatorName:] raised"),
            (rootful, "arm64", raising, LIMIT, "an exception would unwind through the library's emulated code"),
            # A message the platform refuses, sent by a library as it loads: its crash, either way.
            (PROBES / "refusing.so", None, ["status"], CRASHED,
             "the library crashed while loading: the platform refused the library's -[NSString count]"),
            (PROBES / "refusing-arm64e.dylib", None, ["status"], CRASHED,
             "the platform refused a message the library sent from"),
        ]
        for library, arch, commands, status, said in cases:
            run = simulate(library, *commands, arch=arch, settings={"kEnabled": True, "customtextEnabled": "Mine"})
            self.assertEqual(run.returncode, status, f"{library}: {run.stderr}")
            if said:
                self.assertIn(said, run.stderr)
        # Its own failure: an answer it cannot write.
        with tempfile.TemporaryDirectory() as root, open("/dev/full", "w") as full:
            phone.lay_out(root)
            run = subprocess.run([SIMULATOR, "--root", root, "--library", NATIVE, "status"], stdout=full,
                                 stderr=subprocess.PIPE, text=True)
        self.assertEqual(run.returncode, OWN_FAILURE)
        self.assertIn("cannot write the answer to standard output", run.stderr)


class RealInterfaces(unittest.TestCase):
    SETUP = ("ip link add en0 type veth peer name en0peer && ip addr add 192.0.2.10/24 dev en0 && "
             "ip addr add 192.0.2.77/24 dev en0 && ip link add en1 type veth peer name en1peer && "
             "ip addr add 198.51.100.1/24 dev en1")

    def test_every_build_reads_a_real_en0_in_a_network_namespace_of_its_own(self):
        if os.geteuid() != 0 or subprocess.run(["unshare", "-n", "true"], capture_output=True).returncode:
            self.skipTest("needs root and unshare to make a network namespace")
        builds = [(NATIVE, None)] + [(DEVICE / "rootful" / "Brindlewick.dylib", arch)
                                     for arch in ("armv7", "armv7s", "arm64", "arm64e")]
        with tempfile.TemporaryDirectory() as root:
            phone.with_preferences(root, {"k4Enabled": True}, binary=False)
            for library, arch in builds:
                simulator = [SIMULATOR, "--root", root, "--library", str(library)] + (["--arch", arch] if arch else [])
                simulator.append('call SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: "X" @c')
                run = subprocess.run(["unshare", "-n", "sh", "-c", f'{self.SETUP} && exec "$@"', "sh", *simulator],
                                     capture_output=True, text=True, timeout=60)
                # The later address of en0; en1's is never looked at.
                self.assertEqual(run.stdout, 'received "192.0.2.77" @c\n', f"{arch or 'native'}: {run.stderr}")


if __name__ == "__main__":
    unittest.main()
