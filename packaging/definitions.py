"""The names the library and its tools share, read from settings/preferences.h, where they are
defined once."""
import re
from pathlib import Path

HEADER = Path(__file__).resolve().parent.parent / "settings" / "preferences.h"
_TEXT = HEADER.read_text().replace("\\\n", " ")  # a macro continued over lines as one line


def _string(name):
    return re.search(rf'#define {name} "([^"]*)"', _TEXT).group(1)


def _keys(name):
    return re.findall(r"KEY\((\w+)\)", re.search(rf"#define {name}\(KEY\)(.*)", _TEXT).group(1))


IDENTIFIER = _string("BRINDLEWICK_IDENTIFIER")
NOTIFICATION = _string("BRINDLEWICK_CHANGE_NOTIFICATION")
PREFERENCES = {"rootful": _string("BRINDLEWICK_ROOTFUL_PREFERENCE_PATH"),
               "rootless": _string("BRINDLEWICK_ROOTLESS_PREFERENCE_PATH")}
FLAG_KEYS = _keys("BRINDLEWICK_FLAG_KEYS")
TEXT_KEYS = _keys("BRINDLEWICK_TEXT_KEYS")
KEYS = FLAG_KEYS + TEXT_KEYS
