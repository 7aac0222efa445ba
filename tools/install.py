"""Installs a built package into a phone's root with Debian's dpkg, as the phone's own dpkg would:
rootful packages at the root, rootless ones under var/jb, roothide ones under the jailbreak's own
folder with a random name (and the .jbroot links roothide's dpkg makes beside its libraries). A phone
not jailbroken yet is first laid out for the package's scheme, as a jailbreak for iOS VERSION does.

  tools/install ROOT PACKAGE.deb [--ios VERSION]     install, or upgrade, the package
  tools/install --remove ROOT [PACKAGE-NAME]         remove it (Brindlewick by default)

A phone root is a folder with var/mobile and /User linking to it, as tools/phone.py lays one out and
the simulator's --root takes. The user's preference file is no part of the package: dpkg keeps it
through an upgrade and a removal. Errors of its own (no such package, a package for another scheme
than the phone's, a root that is not a phone) exit 2 and leave the root as it was; dpkg's own
refusals exit 1, with dpkg's words.
"""
import argparse
import re
import subprocess
import sys
from pathlib import Path

from device_build import definitions
from device_build import packages
from tools import phone

BAD_INPUT = 2
JBROOT_LINK = ".jbroot"


def fields(package):
    """The package's control fields, or None for a file that is no Debian package."""
    run = subprocess.run(["dpkg-deb", "--field", package], capture_output=True, text=True)
    if run.returncode != 0:
        return None
    return dict(line.split(": ", 1) for line in run.stdout.splitlines() if ": " in line and not line.startswith(" "))


def scheme_of(architecture):
    return next((name for name, layout in packages.LAYOUTS.items() if layout.architecture == architecture), None)


def jbroot_links(jailbroken, package_name, make):
    """roothide's dpkg links .jbroot, beside each library it installs, to the jailbreak's folder, where
    @loader_path/.jbroot finds the jailbreak's own libraries; and takes the links away with them."""
    listed = jailbroken.database / "info" / f"{package_name}.list"
    folders = {Path(path).parent for path in (listed.read_text().split() if listed.is_file() else [])
               if path.endswith(".dylib")}
    for folder in folders:
        link = jailbroken.files / folder.relative_to("/") / JBROOT_LINK
        if make and not link.is_symlink():
            link.symlink_to(Path(*[".."] * len(folder.relative_to("/").parts)))
        elif not make and link.is_symlink():
            link.unlink()


def install(root, package, release):
    if not phone.is_phone(root):
        return fail(f"{root} is not a phone's root (it has no var/mobile with /User linking to it)")
    found = fields(package) if package.is_file() else None
    if not found or "Architecture" not in found:
        return fail(f"{package} is no Debian package")
    scheme = scheme_of(found["Architecture"])
    if not scheme:
        return fail(f"{package} is for {found['Architecture']}, which no jailbreak here uses")
    jailbroken = phone.jailbreak_of(root)
    if jailbroken and jailbroken.scheme != scheme:
        return fail(f"{package.name} is a {scheme} package, and the phone at {root} is jailbroken {jailbroken.scheme}")
    if not jailbroken:
        if not release or not re.fullmatch(r"\d+(\.\d+){0,2}", release):
            return fail(f"the phone at {root} is not jailbroken yet: give its release with --ios, as in --ios 16.6")
        jailbroken = phone.jailbreak(root, scheme, release)
    run = jailbroken.dpkg("--install", package)
    if scheme == "roothide" and run.returncode == 0:
        jbroot_links(jailbroken, found["Package"], make=True)
    return report(run)


def remove(root, name):
    jailbroken = phone.jailbreak_of(root) if phone.is_phone(root) else None
    if not jailbroken:
        return fail(f"{root} is no jailbroken phone's root")
    if jailbroken.scheme == "roothide":
        jbroot_links(jailbroken, name, make=False)
    return report(jailbroken.dpkg("--remove", name))


def report(run):
    sys.stdout.write(run.stdout)
    sys.stderr.write(run.stderr)
    return 0 if run.returncode == 0 else 1


def fail(message):
    print(f"install: {message}", file=sys.stderr)
    return BAD_INPUT


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--remove", action="store_true", help="remove the package instead")
    parser.add_argument("--ios", help="the phone's release, where it is not jailbroken yet")
    parser.add_argument("root", type=Path)
    parser.add_argument("package", nargs="?")
    arguments = parser.parse_args()
    if arguments.remove:
        return remove(arguments.root, arguments.package or definitions.IDENTIFIER)
    if not arguments.package:
        return fail("name the package to install")
    return install(arguments.root, Path(arguments.package), arguments.ios)


if __name__ == "__main__":
    sys.exit(main())
