"""A static package repository, the kind a package manager on the device adds as a source: the
packages under debs/, their index in four compressions, and a Release file with every index's
hashes, all made with Debian's own tools. Serve the folder with any web server, or point apt at it
as a file: source."""
import shutil
from pathlib import Path

from . import releases
from .commands import run

ORIGIN = "Brindlewick"
DESCRIPTION = f"Brindlewick: {releases.TAGLINE[0].lower()}{releases.TAGLINE[1:]}"
COMPRESSORS = [["gzip", "-9nk"], ["bzip2", "-9k"], ["xz", "-9k"]]  # each keeps Packages beside its copy
TOOLS = ["apt-ftparchive", *(command[0] for command in COMPRESSORS)]


def write(folder, debs, architectures, fields=None):
    """Makes `folder` afresh: a flat repository (apt's `deb URL ./`) holding `debs`, each package's
    entry in the index with `fields` (name: value) added."""
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "debs").mkdir(parents=True)
    for deb in debs:
        shutil.copyfile(deb, folder / "debs" / Path(deb).name)
    index = run("apt-ftparchive", "packages", "debs", cwd=folder)
    if fields:
        added = "".join(f"{name}: {value}\n" for name, value in fields.items())
        index = "\n\n".join(entry.rstrip("\n") + "\n" + added.rstrip("\n") for entry in index.strip("\n").split("\n\n")) + "\n"
    (folder / "Packages").write_text(index)
    for compressor in COMPRESSORS:
        run(*compressor, "Packages", cwd=folder)
    fields = {"Origin": ORIGIN, "Label": ORIGIN, "Suite": "stable", "Codename": "ios",
              "Architectures": " ".join(architectures), "Components": "main", "Description": DESCRIPTION}
    options = [f"-oAPT::FTPArchive::Release::{name}={value}" for name, value in fields.items()]
    # Written once apt-ftparchive has listed the folder, so that Release does not list itself.
    release = run("apt-ftparchive", *options, "release", ".", cwd=folder)
    (folder / "Release").write_text(release)
    return folder
