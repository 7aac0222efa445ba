"""The names the library and its tools share, read from library/settings/preferences.h, where they are
defined once."""
import re
from pathlib import Path
from typing import NamedTuple

HEADER = Path(__file__).resolve().parent.parent / "library" / "settings" / "preferences.h"
_TEXT = HEADER.read_text().replace("\\\n", " ")  # a macro continued over lines as one line


def _string(name):
    return re.search(rf'#define {name} "([^"]*)"', _TEXT).group(1)


class Feature(NamedTuple):
    """A row of the features' table: the flag that switches it on, the hook group it gates, the
    text it shows where it has one of its own (else None), and its name."""
    flag: str
    group: str
    text: str | None
    name: str


def _features():
    rows = re.findall(r'FEATURE\(X, (\w+),\s*(\w+),\s*\((\w*)\),\s*"([^"]+)"\)', _TEXT)
    if len(rows) != 6:
        raise ValueError(f"{HEADER} lists {len(rows)} features where six are read")
    return [Feature(flag, group, text or None, name) for flag, group, text, name in rows]


IDENTIFIER = _string("BRINDLEWICK_IDENTIFIER")
NOTIFICATION = _string("BRINDLEWICK_CHANGE_NOTIFICATION")
PREFERENCES = {"rootful": _string("BRINDLEWICK_ROOTFUL_PREFERENCE_PATH"),
               "rootless": _string("BRINDLEWICK_ROOTLESS_PREFERENCE_PATH")}
FEATURES = _features()
FLAG_KEYS = [feature.flag for feature in FEATURES]
TEXT_KEYS = [feature.text for feature in FEATURES if feature.text]
KEYS = FLAG_KEYS + TEXT_KEYS
