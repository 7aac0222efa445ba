#!/usr/bin/env python3
"""Builds the emulator tests' own device libraries into OUT (build_probe.py DESCRIPTION OUT, the
description being CMake's device-build.json):

  probe-arm64e.dylib     the probe, compiled and finished as the arm64e slice of the library is
  refusing-arm64e.dylib  a library that sends, as it loads, a message the platform refuses
  thumb-armv7.dylib      the library's armv7 slice compiled in Thumb mode, which the old linker's
                         broken Thumb shims make crash
"""
import argparse
import dataclasses
import shutil
import sys
import tempfile
from pathlib import Path

from device_build import arm64e, build_device, packages

HERE = Path(__file__).resolve().parent

PROBE_IMPORTS = {
    "/usr/lib/libobjc.A.dylib": ["_objc_getClass", "_sel_registerName"],
    "/usr/lib/libSystem.B.dylib": ["_sched_yield"],
    packages.LAYOUTS["rootful"].substrate: ["_MSHookMessageEx"],
}


def arm64e_library(directory, sources, imports, name):
    """A small library of C and assembler sources, linked and finished as the arm64e slice is."""
    rootful = packages.LAYOUTS["rootful"]
    target = rootful.slice_target(rootful.slice_named("arm64e"))
    objects = []
    for source in sources:
        obj = directory / (source.stem + ".o")
        build_device.run(build_device.CLANG_AUTHENTICATING, "-x", "c" if source.suffix == ".c" else "assembler",
                         "-target", target, "-O2", "-ffreestanding", "-c", source, "-o", obj)
        objects.append(obj)
    linked = directory / "linked.dylib"
    build_device.run(build_device.LINKER, "-dylib", "-arch", "arm64", "-platform_version", "ios", "14.0", "14.0",
                     "-install_name", f"/{name}", "-fixup_chains", "-init_offsets", "-o", linked, *objects,
                     *build_device.write_text_stubs(directory, imports))
    finished, _ = arm64e.finish(linked.read_bytes(), name)
    return finished


def probe(directory, out, _):
    finished = arm64e_library(directory, [HERE / "probe.c", HERE / "probe_auth.s"], PROBE_IMPORTS, "probe.dylib")
    (out / "probe-arm64e.dylib").write_bytes(finished)


def refusing(directory, out, _):
    imports = {"/usr/lib/libobjc.A.dylib": ["_objc_getClass", "_objc_msgSend", "_sel_registerName"]}
    (out / "refusing-arm64e.dylib").write_bytes(arm64e_library(directory, [HERE / "refusing.c"], imports,
                                                               "refusing.dylib"))


def thumb(directory, out, description):
    rootful = packages.LAYOUTS["rootful"]
    linked = build_device.link_slice(directory, rootful.slice_named("armv7"), rootful,
                                     dataclasses.replace(description, thumb=True))
    shutil.copyfile(linked, out / "thumb-armv7.dylib")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("description", help="device-build.json, the sources and flags CMake lists")
    parser.add_argument("out", type=Path, help="the folder to build into")
    arguments = parser.parse_args()
    description = build_device.Description.read(arguments.description)
    arguments.out.mkdir(parents=True, exist_ok=True)
    for build in (probe, refusing, thumb):
        with tempfile.TemporaryDirectory() as directory:
            build(Path(directory), arguments.out, description)
    return 0


if __name__ == "__main__":
    sys.exit(main())
