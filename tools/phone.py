"""A device root laid out as a phone's, for every test and tool that makes one: /var/mobile with its
preferences folder, and /User a link to it as iOS has it, so every build of the library (the
rootful one reads /User/..., the others /var/mobile/...) reads the same preference file."""
import plistlib
from pathlib import Path

from packaging import definitions

PREFERENCES = definitions.PREFERENCES["rootless"].lstrip("/")  # the file's real place


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
