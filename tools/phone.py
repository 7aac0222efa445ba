"""A device root laid out as a phone's, for every test and tool that makes one: /var/mobile with its
preferences folder, and /User a link to it as iOS has it, so every build of the library (the
rootful one reads /User/..., the others /var/mobile/...) reads the same preference file; and, once
jailbroken, the dpkg database of its scheme, where that scheme's dpkg keeps it."""
import plistlib
import secrets
import subprocess
from pathlib import Path

from device_build import definitions
from device_build import packages

PREFERENCES = definitions.PREFERENCES["rootless"].lstrip("/")  # the file's real place
# Where roothide puts the jailbreak's files: a folder of its own whose name changes with every
# jailbreak, among the apps' bundles.
ROOTHIDE_HOME = "var/containers/Bundle/Application"
ROOTHIDE_PREFIX = ".jbroot-"
# What a jailbroken phone's dpkg knows is there: the system, as the `firmware` package, the loader
# and PreferenceLoader, which the packages depend on.
SYSTEM_PACKAGES = {"firmware": None, "mobilesubstrate": "0.9.7000", "preferenceloader": "2.2.6"}


def lay_out(root):
    """Makes `root` (an existing, empty folder) a phone's; returns its preference file's path."""
    root = Path(root)
    (root / PREFERENCES).parent.mkdir(parents=True)
    (root / "User").symlink_to("var/mobile")
    return root / PREFERENCES


def with_preferences(root, settings, binary=True):
    """A phone at `root` whose preference file holds `settings`, in either encoding."""
    path = lay_out(root)
    path.write_bytes(plistlib.dumps(settings, fmt=plistlib.FMT_BINARY if binary else plistlib.FMT_XML))
    return path


def is_phone(root):
    root = Path(root)
    return (root / "var" / "mobile").is_dir() and (root / "User").is_symlink()


def status_database(architecture, firmware, leave_out=()):
    """A jailbroken phone's dpkg status: the system as the `firmware` package at its release, and
    the loader and PreferenceLoader."""
    versions = dict(SYSTEM_PACKAGES, firmware=firmware)
    return "\n".join(f"Package: {name}\nStatus: install ok installed\nVersion: {version}\n"
                     f"Architecture: {architecture}\nMaintainer: A Device <device@example.invalid>\n"
                     f"Description: {name}\n" for name, version in versions.items() if name not in leave_out)


class Jailbreak:
    """The jailbreak on a phone root: its scheme, and the folder its dpkg installs under."""

    def __init__(self, root, scheme, home):
        self.root, self.scheme, self.home = Path(root), scheme, Path(home)
        self.layout = packages.LAYOUTS[scheme]

    @property
    def database(self):
        return self.home / "var" / "lib" / "dpkg"

    @property
    def files(self):
        """Where the packages' paths start: the root, whose paths a rootless package holds under
        var/jb, or roothide's own folder, under which it lands the rootful paths it holds."""
        return self.home if self.scheme == "roothide" else self.root

    def dpkg(self, *arguments):
        """Debian's dpkg, as the phone's runs: its database in the jailbreak's home."""
        return subprocess.run(["dpkg", f"--instdir={self.files}", f"--admindir={self.database}", "--force-not-root",
                               "--log=/dev/null", *arguments], capture_output=True, text=True)


def jailbreak_of(root):
    """The jailbreak a phone root holds, found by where its dpkg keeps its database; None without one."""
    root = Path(root)
    homes = sorted((root / ROOTHIDE_HOME).glob(ROOTHIDE_PREFIX + "*")) if (root / ROOTHIDE_HOME).is_dir() else []
    for scheme, home in [("roothide", homes[0] if homes else None), ("rootless", root / "var" / "jb"),
                         ("rootful", root)]:
        if home and (home / "var" / "lib" / "dpkg" / "status").is_file():
            return Jailbreak(root, scheme, home)
    return None


def jailbreak(root, scheme, release, leave_out=()):
    """Lays out a phone root's jailbreak of `scheme` for iOS `release` (the firmware dpkg knows), as
    that jailbreak does: rootful at the root, rootless under var/jb, roothide under a folder of its
    own with a random name."""
    root = Path(root)
    home = {"rootful": root, "rootless": root / "var" / "jb",
            "roothide": root / ROOTHIDE_HOME / (ROOTHIDE_PREFIX + secrets.token_hex(8).upper())}[scheme]
    made = Jailbreak(root, scheme, home)
    for folder in ("info", "updates", "triggers"):
        (made.database / folder).mkdir(parents=True)
    (made.database / "available").touch()
    (made.database / "status").write_text(status_database(made.layout.architecture, release, leave_out))
    for name in SYSTEM_PACKAGES:
        (made.database / "info" / f"{name}.list").touch()
    made.dpkg("--add-architecture", made.layout.architecture)
    return made
