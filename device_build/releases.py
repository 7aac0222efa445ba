"""What each feature does on each iOS release: measured by running the library on the host as each
release has it (tools/releases --write) and kept in releases.json beside this file, with the reason
for each release where a feature does nothing. The README's table, the Settings pane's filters, the
packages' descriptions and the depiction are all made from that file."""
import json
import re
from dataclasses import dataclass
from pathlib import Path

from . import definitions

DATA = Path(__file__).resolve().parent / "releases.json"
NO_EFFECT = "no effect"
TAGLINE = "Your own text in place of the carrier name"
WIFI_ADDRESS = "192.0.2.1"


@dataclass(frozen=True)
class Feature:
    """A feature as the Settings pane names it, the preferences that switch it on alone, the piece
    of `status --json` it changes, the phone's state in which a phone shows that piece, and, for a
    feature that shows a text of its own, the text measured and what it stands for in a user's words."""
    name: str
    preferences: dict
    piece: tuple
    options: tuple = ()
    sample: str = None
    yours: str = None


# How each feature is measured, by its name, in the order the table and Settings show them: the
# piece of the status it changes; where it shows a text of its own, the text it is measured with,
# in the user's words; where a phone shows it only in one state, that state.
OPERATOR = ("operator", "SBTelephonyManager")
MEASURES = {
    "Custom carrier text": dict(piece=OPERATOR, sample="Moxfathom", yours="your carrier text"),
    "Hide carrier name": dict(piece=OPERATOR),
    "Show Wi-Fi address": dict(piece=OPERATOR, sample=WIFI_ADDRESS, yours="the Wi-Fi (en0) address"),
    # A phone shows the SIM-status text only with no usable SIM in.
    "Custom SIM text": dict(piece=("sim",), options=("--sim", "absent"), sample="Roaming", yours="your SIM text"),
    "Radio reported dead": dict(piece=("radio",)),
    "Force dual SIM": dict(piece=("dualSIM",)),
}


def _feature(row):
    measure = MEASURES[row.name]
    preferences = {row.flag: True, **({row.text: measure["sample"]} if row.text else {})}
    return Feature(row.name, preferences, **measure)


FEATURES = [_feature(row) for name in MEASURES for row in definitions.FEATURES if row.name == name]


def in_your_words(feature, cell):
    """A measured cell with its sample text put as what it stands for: "your carrier text"."""
    return cell.replace(f'"{feature.sample}"', feature.yours) if feature.sample else cell


@dataclass
class Era:
    """Adjacent majors on which every feature shows the same: `first` to `last` (None: and later),
    with the lowest kCFCoreFoundationVersionNumber of its first major, where a filter for it starts,
    what each feature shows there and the builds that showed it."""
    first: int
    last: int | None
    core_foundation: float
    shows: dict
    measured_on: list

    @property
    def label(self):
        return label(self.first, self.last)

    def covers(self, major):
        return majors_cover(self.first, self.last, major)


def label(first, last):
    """"6", "6-11" or "16 and later", as the table heads its columns."""
    if last is None:
        return f"{first} and later"
    return f"{first}" if first == last else f"{first}-{last}"


def parse_label(label):
    match = re.fullmatch(r"(\d+)(?:-(\d+)| and later)?", label)
    if not match:
        raise ValueError(f"not an era: {label}")
    first = int(match.group(1))
    return first, None if label.endswith("later") else int(match.group(2) or first)


def majors_cover(first, last, major):
    """Whether the majors `first` to `last` (None: and every later one) hold `major`."""
    return first <= major and (last is None or major <= last)


def label_covers(label, major):
    return majors_cover(*parse_label(label), major)


@dataclass
class Facts:
    eras: list
    why: dict  # {feature: {era label: why it does nothing there}}

    def cells(self, feature):
        return [era.shows[feature] for era in self.eras]

    def why_not(self, feature, era):
        """Why a feature does nothing in `era`, as the reason for the run of eras it is in says; "" where
        none does."""
        return next((why for label, why in self.why.get(feature, {}).items() if label_covers(label, era.first)), "")


def load(path=DATA):
    data = json.loads(Path(path).read_text())
    eras = []
    for era in data["eras"]:
        first, last = parse_label(era["releases"])
        eras.append(Era(first, last, era["coreFoundation"], era["shows"], era["measuredOn"]))
    return Facts(eras, data.get("why", {}))


def save(facts, path=DATA):
    data = {"eras": [{"releases": era.label, "coreFoundation": era.core_foundation, "shows": era.shows,
                      "measuredOn": era.measured_on} for era in facts.eras],
            "why": facts.why,
            "samples": {feature.name: {"text": feature.sample, "yours": feature.yours}
                        for feature in FEATURES if feature.sample}}
    Path(path).write_text(json.dumps(data, indent=1, ensure_ascii=False) + "\n")


def acts(cell):
    return not cell.startswith(NO_EFFECT)


def missing_reasons(facts):
    """(feature, releases) of every run of eras where a feature does nothing and no reason says why."""
    return [(feature.name, run_label(run)) for feature in FEATURES for run in spans(facts, feature.name, False)
            if run_label(run) not in facts.why.get(feature.name, {})]


def render(facts):
    """The README's table: a row a feature, a column an era, each cell what the status bar shows."""
    lines = ["| feature | " + " | ".join(f"iOS {era.label}" for era in facts.eras) + " |",
             "|---" * (len(facts.eras) + 1) + "|"]
    for feature in FEATURES:
        lines.append(f"| {feature.name} | " + " | ".join(facts.cells(feature.name)) + " |")
    lines.append("| measured on | " + " | ".join(", ".join(era.measured_on) for era in facts.eras) + " |")
    return "\n".join(lines)


def spans(facts, name, acting):
    """The runs of adjacent eras where the feature acts (or, with `acting` false, does nothing), as
    lists of eras."""
    runs = []
    for era in facts.eras:
        if acts(era.shows[name]) != acting:
            continue
        if runs and facts.eras.index(runs[-1][-1]) + 1 == facts.eras.index(era):
            runs[-1].append(era)
        else:
            runs.append([era])
    return runs


def run_label(run):
    return label(run[0].first, run[-1].last)


def core_foundation_range(facts, run):
    """PreferenceLoader's CoreFoundationVersion filter for a run of eras: [lowest] or [lowest, below]."""
    after = facts.eras.index(run[-1]) + 1
    return [run[0].core_foundation] + ([facts.eras[after].core_foundation] if after < len(facts.eras) else [])


def acting_releases(facts, name, lowest=0):
    """The releases from `lowest` on where a feature acts, in plain words: "iOS 6 to 15"."""
    words = []
    for run in spans(facts, name, True):
        first, last = max(run[0].first, lowest), run[-1].last
        if last is not None and last < lowest:
            continue
        words.append(f"iOS {first} and later" if last is None else f"iOS {first}" if first == last
                     else f"iOS {first} to {last}")
    return ", ".join(words)


def tagline(lowest=0, facts=None):
    """The package's one line, saying where the carrier text acts: "..., on iOS 6 and later"."""
    return f"{TAGLINE}, on {acting_releases(facts or load(), FEATURES[0].name, lowest)}"


def where_it_acts(lowest, facts=None):
    """A line a feature: on which releases from `lowest` on it acts, in plain words."""
    facts = facts or load()
    return [f"{feature.name}: {acting_releases(facts, feature.name, lowest) or 'no effect on these releases'}"
            for feature in FEATURES]
