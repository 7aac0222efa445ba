"""The package repository as package managers read it, made in one place for the device build and
for tools/repository: the packages under debs/, their index in four compressions, a Release file with
every index's hashes and the fields Sileo requires, signed where a key is given (Release.gpg, which
Sileo reads, and InRelease, which apt and Zebra 2 read) with the public key beside it and a package
for each scheme that installs it, the repository's icon at 1x, 2x and 3x, and each package's pages.
All is made with Debian's own tools. Serve the folder with any web server."""
import shutil
import tempfile
from pathlib import Path

from . import deb
from . import definitions
from . import depiction
from . import packages
from . import releases
from .commands import BuildError, run

ORIGIN = "Brindlewick"
DESCRIPTION = f"Brindlewick: {releases.TAGLINE[0].lower()}{releases.TAGLINE[1:]}"
COMPRESSORS = [["gzip", "-9nk"], ["bzip2", "-9k"], ["xz", "-9k"]]  # each keeps Packages beside its copy
TOOLS = ["apt-ftparchive", "gpg", *(command[0] for command in COMPRESSORS)]
KEYRING_PACKAGE = f"{definitions.IDENTIFIER}.keyring"
PUBLIC_KEY = f"{definitions.IDENTIFIER}.gpg"  # the repository's key, as apt's keyrings hold keys
KEYRING_DIR = "/etc/apt/trusted.gpg.d"
ICON_POINTS = 60  # a repository's icon, as package managers draw it


class Signer:
    """The publisher's OpenPGP key: a GnuPG home and the secret key in it to sign with (its
    fingerprint or a user id; the home's only one when none is named). The key must be usable
    without a passphrase, or unlocked in the home's agent."""

    def __init__(self, home, key=None):
        self.home = Path(home)
        listed = self.gpg("--list-secret-keys", "--with-colons", *([key] if key else []))
        fingerprints = [line.split(":")[9] for line in listed.splitlines() if line.startswith("fpr:")]
        if not fingerprints:
            raise BuildError(f"{self.home} holds no secret key{' ' + key if key else ''} to sign with")
        if len(fingerprints) > 1 and not key:
            raise BuildError(f"{self.home} holds several secret keys: name the one to sign with")
        self.key = fingerprints[0]

    def stop(self):
        """Ends the agent gpg started for the home."""
        run("gpgconf", "--homedir", self.home, "--kill", "gpg-agent")

    def gpg(self, *arguments):
        return run("gpg", "--homedir", self.home, "--batch", "--yes", "--pinentry-mode", "loopback",
                   "--passphrase", "", *arguments)

    @staticmethod
    def make(home, name):
        """A new key without a passphrase, in a new GnuPG home: a build's own, never a publisher's."""
        home = Path(home)
        home.mkdir(mode=0o700, parents=True)
        run("gpg", "--homedir", home, "--batch", "--passphrase", "", "--quick-gen-key", name, "rsa3072", "sign",
            "never")
        return Signer(home)

    def sign(self, release):
        """Release.gpg (detached) and InRelease (clear-signed) beside `release`, with SHA-512."""
        common = ["--local-user", self.key, "--digest-algo", "SHA512"]
        self.gpg(*common, "--armor", "--detach-sign", "--output", release.with_suffix(".gpg"), release)
        self.gpg(*common, "--clearsign", "--output", release.parent / "InRelease", release)

    def export(self):
        """The public key, as a binary keyring that apt takes in trusted.gpg.d and as signed-by."""
        with tempfile.TemporaryDirectory() as scratch:
            file = Path(scratch) / "key.gpg"
            self.gpg("--output", file, "--export", self.key)
            return file.read_bytes()


def keyring_packages(folder, signer, version):
    """A package for each scheme that installs the repository's key where its apt looks."""
    made = []
    for layout in packages.LAYOUTS.values():
        with tempfile.TemporaryDirectory() as scratch:
            stage = Path(scratch) / "stage"
            keys = stage / (layout.prefix + KEYRING_DIR).lstrip("/")
            keys.mkdir(parents=True)
            (keys / PUBLIC_KEY).write_bytes(signer.export())
            control = (f"Package: {KEYRING_PACKAGE}\n"
                       "Name: Brindlewick repository key\n"
                       f"Version: {version}\n"
                       f"Architecture: {layout.architecture}\n"
                       "Description: The key Brindlewick's repository is signed with\n"
                       " Installed once, it lets your package manager check every later update of the\n"
                       " repository, so that nobody between you and it can hand your phone another package.\n"
                       "Maintainer: Brindlewick developers <brindlewick@moxfathom.invalid>\n"
                       "Section: Repositories\n")
            made.append(deb.build(stage, control, Path(folder) / f"{KEYRING_PACKAGE}_{version}_{layout.architecture}.deb"))
    return made


def index(folder, base):
    """The index of debs/, each of Brindlewick's own packages with its pages' addresses."""
    entries = run("apt-ftparchive", "packages", "debs", cwd=folder).strip("\n").split("\n\n")
    page = f"{base}depictions/{definitions.IDENTIFIER}/"
    fields = f"Depiction: {page}\nSileoDepiction: {page}sileo.json\nIcon: {page}icon.png\n"
    made = [entry + "\n" + fields.rstrip("\n") if f"Package: {definitions.IDENTIFIER}\n" in entry + "\n" else entry
            for entry in entries]
    return "\n\n".join(made) + "\n"


def write(folder, debs, base, signer=None):
    """Makes `folder` afresh: a flat repository (apt's `deb URL ./`) holding `debs`, published at
    `base` (ending in /), signed by `signer` where one is given."""
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "debs").mkdir(parents=True)
    for package in debs:
        shutil.copyfile(package, folder / "debs" / Path(package).name)
    version = depiction.changelog()[0][0]
    if signer:
        keyring_packages(folder / "debs", signer, version)
        (folder / PUBLIC_KEY).write_bytes(signer.export())
    (folder / "Packages").write_text(index(folder, base))
    for compressor in COMPRESSORS:
        run(*compressor, "Packages", cwd=folder)
    architectures = " ".join(layout.architecture for layout in packages.LAYOUTS.values())
    fields = {"Origin": ORIGIN, "Label": ORIGIN, "Suite": "stable", "Codename": "ios",
              "Architectures": architectures, "Components": "main", "Description": DESCRIPTION}
    options = [f"-oAPT::FTPArchive::Release::{name}={value}" for name, value in fields.items()]
    # Written once apt-ftparchive has listed the folder, so that Release does not list itself.
    (folder / "Release").write_text(run("apt-ftparchive", *options, "release", ".", cwd=folder))
    if signer:
        signer.sign(folder / "Release")
    deb.draw_icon(folder, "CydiaIcon", ICON_POINTS)
    depiction.write(folder / "depictions" / definitions.IDENTIFIER, f"{base}depictions/{definitions.IDENTIFIER}/")
    return folder
