"""A static package repository, the kind a package manager on the device adds as a source: the
packages under debs/, their index in four compressions, and a Release file with every index's
hashes, all made with Debian's own tools. Serve the folder with any web server, or point apt at it
as a file: source."""
import shutil
import subprocess
from pathlib import Path

ORIGIN = "Brindlewick"
DESCRIPTION = "Brindlewick: your own text in the status bar"
COMPRESSORS = {".gz": ["gzip", "-9n"], ".bz2": ["bzip2", "-9"], ".xz": ["xz", "-9"]}
TOOLS = ["apt-ftparchive", *(command[0] for command in COMPRESSORS.values())]


class RepositoryError(Exception):
    pass


def _run(command, folder):
    result = subprocess.run(command, cwd=folder, capture_output=True)
    if result.returncode != 0:
        raise RepositoryError(f"{' '.join(command)} in {folder}\n{result.stderr.decode(errors='replace')}")
    return result.stdout


def write(folder, debs, architectures):
    """Makes `folder` afresh: a flat repository (apt's `deb URL ./`) holding `debs`."""
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "debs").mkdir(parents=True)
    for deb in debs:
        shutil.copyfile(deb, folder / "debs" / Path(deb).name)
    packages = folder / "Packages"
    packages.write_bytes(_run(["apt-ftparchive", "packages", "debs"], folder))
    for suffix, compressor in COMPRESSORS.items():
        (folder / f"Packages{suffix}").write_bytes(_run([*compressor, "-c", "Packages"], folder))
    fields = {"Origin": ORIGIN, "Label": ORIGIN, "Suite": "stable", "Codename": "ios",
              "Architectures": " ".join(architectures), "Components": "main", "Description": DESCRIPTION}
    options = [f"-oAPT::FTPArchive::Release::{name}={value}" for name, value in fields.items()]
    # Written once apt-ftparchive has listed the folder, so that Release does not list itself.
    release = _run(["apt-ftparchive", *options, "release", "."], folder)
    (folder / "Release").write_bytes(release)
    return folder
