"""What each feature does on each iOS release: measured by running the library on the host as each
release has it (tools/releases), kept as the table in README.md, and read back from there by the
packages and the tests, so every place says what the measurement said."""
import re
from pathlib import Path

README = Path(__file__).resolve().parent.parent / "README.md"
BEGIN = "<!-- releases: tools/releases --write prints this table here -->"
END = "<!-- /releases -->"
NO_EFFECT = "no effect"

# Each feature as the Settings pane names it, the preferences that switch it on alone, and the
# piece of the status bar it changes (as `status` names it).
FEATURES = [
    ("Custom carrier text", {"kEnabled": True, "customtextEnabled": "Moxfathom"}, "carrier"),
    ("Hide carrier name", {"k1Enabled": True}, "carrier"),
    ("Show Wi-Fi address", {"k4Enabled": True}, "carrier"),
    ("Custom SIM text", {"k2Enabled": True, "customtext2Enabled": "Roaming"}, "SIM"),
    ("Radio reported dead", {"k3Enabled": True}, "radio"),
    ("Force dual SIM", {"k5Enabled": True}, "dual SIM"),
]
WIFI_ADDRESS = "192.0.2.1"


class Era:
    """Adjacent majors on which every feature shows the same: `first` to `last` (None: and later)."""

    def __init__(self, label):
        match = re.fullmatch(r"(\d+)(?:-(\d+)| and later)?", label)
        if not match:
            raise ValueError(f"not an era: {label}")
        self.label = label
        self.first = int(match.group(1))
        self.last = None if label.endswith("later") else int(match.group(2) or match.group(1))

    @classmethod
    def of(cls, first, last, newest):
        return cls(f"{first}" if first == last else f"{first} and later" if last == newest else f"{first}-{last}")

    def overlaps(self, lowest):
        return self.last is None or self.last >= lowest


def render(eras, cells, measured_on):
    """The table: a row a feature, a column an era, each cell what the status bar shows."""
    lines = ["| feature | " + " | ".join(f"iOS {era.label}" for era in eras) + " |",
             "|---" * (len(eras) + 1) + "|"]
    for name, _, _ in FEATURES:
        lines.append(f"| {name} | " + " | ".join(cells[name]) + " |")
    lines.append("| measured on | " + " | ".join(measured_on) + " |")
    return "\n".join(lines)


def read(readme=README):
    """The README's table as (eras, {feature: [cell per era]})."""
    text = Path(readme).read_text()
    if BEGIN not in text or END not in text:
        raise ValueError(f"{readme} has no release table")
    rows = [[cell.strip() for cell in line.strip().strip("|").split("|")]
            for line in text.split(BEGIN, 1)[1].split(END, 1)[0].strip().splitlines()]
    eras = [Era(label.removeprefix("iOS ")) for label in rows[0][1:]]
    names = {name for name, _, _ in FEATURES}
    return eras, {row[0]: row[1:] for row in rows[2:] if row[0] in names}


def acts(cell):
    return not cell.startswith(NO_EFFECT)


def where_it_acts(lowest):
    """A line a feature: on which releases from `lowest` on it acts, in plain words."""
    eras, cells = read()
    lines = []
    for name, _, _ in FEATURES:
        spans = []
        for era, cell in zip(eras, cells[name]):
            if not acts(cell) or not era.overlaps(lowest):
                continue
            first = max(era.first, lowest)
            if spans and spans[-1][1] is not None and spans[-1][1] + 1 >= first:
                spans[-1][1] = era.last
            else:
                spans.append([first, era.last])
        words = ", ".join(f"iOS {a} and later" if b is None else f"iOS {a}" if a == b else f"iOS {a} to {b}"
                          for a, b in spans)
        lines.append(f"{name}: {words or 'no effect on these releases'}")
    return lines
