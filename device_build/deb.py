"""A Debian package as a phone's dpkg expects it, made from a staged folder: every file owned by
root, libraries 0755 and everything else 0644, folders 0755, DEBIAN/md5sums listing every file,
Installed-Size as dpkg-gencontrol counts it; and the pictures the packages and the repository draw
from the project's vector sources."""
import hashlib
import os
from pathlib import Path

from .commands import run

ROOT = Path(__file__).resolve().parent.parent
ICON = ROOT / "device_build" / "pane" / "icon.svg"
BANNER = ROOT / "device_build" / "banner.svg"


def installed_size(stage):
    """In KiB, as dpkg-gencontrol counts it: each file rounded up to a KiB, and one for every
    other entry."""
    entries = [path for path in stage.rglob("*") if "DEBIAN" not in path.relative_to(stage).parts]
    return sum(-(-path.stat().st_size // 1024) if path.is_file() else 1 for path in entries)


def build(stage, control, output):
    """Packs `stage` (the files at their installed paths) with `control`, the control file's fields
    but Installed-Size, into `output`."""
    stage = Path(stage)
    for path in [stage, *stage.rglob("*")]:
        os.chmod(path, 0o755 if path.is_dir() or path.suffix == ".dylib" else 0o644)
    size = installed_size(stage)
    files = sorted(path for path in stage.rglob("*") if path.is_file())
    sums = "".join(f"{hashlib.md5(path.read_bytes()).hexdigest()}  {path.relative_to(stage)}\n" for path in files)
    (stage / "DEBIAN").mkdir(mode=0o755)
    (stage / "DEBIAN" / "control").write_text(control + f"Installed-Size: {size}\n")
    (stage / "DEBIAN" / "md5sums").write_text(sums)
    for name in ("control", "md5sums"):
        os.chmod(stage / "DEBIAN" / name, 0o644)
    run("dpkg-deb", "--root-owner-group", "-Zxz", "--build", stage, output)
    return Path(output)


def draw(source, file, width, height=None):
    """Renders a vector source into a PNG of `width` by `height` pixels (square by default)."""
    run("rsvg-convert", "-w", str(width), "-h", str(height or width), source, "-o", file)


def draw_icon(folder, name, points):
    """The icon, `points` square, at the scales iPhones draw it: NAME.png, NAME@2x.png, NAME@3x.png."""
    for scale, suffix in ((1, ""), (2, "@2x"), (3, "@3x")):
        draw(ICON, folder / f"{name}{suffix}.png", points * scale)
