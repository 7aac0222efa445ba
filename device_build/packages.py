"""What the device build makes and for whom, read from packages.json, from which facts.py decides
the simulator's package answers at build time: the processors it builds a slice for, the packages and their
file-system schemes, the jailbreaks of each scheme, and the iPhones with their processors and
releases."""
import json
import re
from dataclasses import dataclass
from pathlib import Path

from . import definitions
from . import releases

DATA = Path(__file__).resolve().parent / "packages.json"
# The toolchain's Debian versions, as toolchain.env names them once for the whole build.
TOOLCHAIN = dict(re.findall(r"^(\w+)=(\d+)", (DATA.parent.parent / "toolchain.env").read_text(), re.M))
INSTALL_DIR = "/Library/MobileSubstrate/DynamicLibraries"
PANE_DIR = "/Library/PreferenceLoader/Preferences"


def version_key(text):
    return tuple(int(part) for part in text.split("."))


@dataclass(frozen=True)
class Slice:
    """A processor the library is built for: its chips (A5 is 5; the highest None: every later
    one), the first system its code can run on (arm64e: the first whose loader takes a third-party
    arm64e library), the last system that runs its code (None: no last, yet; 32-bit ARM ends with
    10.3.4), and how it is built."""
    name: str
    chips: tuple
    lowest_system: str
    last_system: str | None
    old_linker: bool = False
    authenticated: bool = False

    def takes(self, chip):
        """Whether a phone with processor `chip` runs this slice."""
        return self.chips[0] <= chip and (self.chips[1] is None or chip <= self.chips[1])

    @property
    def last_major(self):
        """The last iOS major that runs this processor's code, or None where none has stopped."""
        return version_key(self.last_system)[0] if self.last_system else None


@dataclass(frozen=True)
class Layout:
    """A package: its file-system scheme, Debian architecture, where it installs, the preference
    file its library reads, where the loader's library is, and its slices."""
    name: str
    architecture: str
    prefix: str
    preferences: str
    substrate: str
    slices: tuple
    lowest_system: str
    why: str

    @property
    def package(self):
        return definitions.IDENTIFIER

    @property
    def defines(self):
        return ["-DBRINDLEWICK_ROOTLESS"] if self.preferences == definitions.PREFERENCES["rootless"] else []

    @property
    def install_name(self):
        return f"{self.prefix}{INSTALL_DIR}/Brindlewick.dylib"

    def slice_minimum(self, slice_):
        """The lowest system a slice declares: its processor's, or the layout's when that is later."""
        return max(slice_.lowest_system, self.lowest_system, key=version_key)

    def serves(self, slice_, major):
        """Whether a slice of this package runs on iOS `major`: from the first system it declares to
        the last that runs its processor's code."""
        return releases.majors_cover(version_key(self.slice_minimum(slice_))[0], slice_.last_major, major)

    def file_name(self, version):
        return f"{self.package}_{version}_{self.architecture}.deb"

    def slice_target(self, slice_):
        return f"{slice_.name}-apple-ios{self.slice_minimum(slice_)}"

    @property
    def firmware(self):
        """The lowest system the package serves: that of its lowest slice."""
        return min((self.slice_minimum(slice_) for slice_ in self.slices), key=version_key)

    def slice_named(self, name):
        return next(slice_ for slice_ in self.slices if slice_.name == name)


@dataclass(frozen=True)
class Jailbreak:
    name: str
    scheme: str
    covers: tuple  # of {"from", "to", "chips"?}


_data = json.loads(DATA.read_text())
SLICES = {row["name"]: Slice(row["name"], tuple(row["chips"]), row["lowestSystem"], row["lastSystem"],
                             row.get("oldLinker", False), row.get("authenticated", False)) for row in _data["slices"]}
LAYOUTS = {row["name"]: Layout(row["name"], row["architecture"], row["prefix"],
                               definitions.PREFERENCES[row["preferences"]], row["substrate"],
                               tuple(SLICES[name] for name in row["slices"]), row["lowestSystem"], row["why"])
           for row in _data["layouts"]}
JAILBREAKS = [Jailbreak(row["name"], row["scheme"], tuple(row["covers"])) for row in _data["jailbreaks"]]
DEVICES = _data["devices"]


def jailbreaks_of(layout):
    return [jailbreak.name for jailbreak in JAILBREAKS if jailbreak.scheme == layout.name]


def not_served(layout):
    """The phones a package's jailbreaks run on that none of its slices serves: (chips, first and
    last release), where a processor's devices start before the slice for it does."""
    gaps = []
    for slice_ in layout.slices:
        first = min((device["from"] for device in DEVICES if slice_.takes(device["chip"])), key=version_key)
        served = layout.slice_minimum(slice_)
        if version_key(first) < version_key(served) and version_key(layout.lowest_system) < version_key(served):
            gaps.append((slice_, max(first, layout.lowest_system, key=version_key), served))
    return gaps
