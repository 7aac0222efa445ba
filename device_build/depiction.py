"""The package's page in a package manager, in both kinds: an HTML depiction (one self-contained
file with its pictures beside it) and a Sileo native depiction (JSON), made from the facts the
project keeps once: the release table (releases.json), the Settings pane's groups and footers, the
packages' layouts, CHANGELOG.md and LICENSE."""
import html
import json
import plistlib
import re
import shutil
from pathlib import Path

from PIL import Image

from . import deb
from . import packages
from . import pane as pane_cells
from . import releases

ROOT = Path(__file__).resolve().parent.parent
CHANGELOG = ROOT / "CHANGELOG.md"
LICENSE = ROOT / "LICENSE"
PICTURES = ROOT / "docs"
# The status bar as a home-button iPhone of each release draws it, and the bars of two phones
# with a notch and the Dynamic Island, with the bundled example's settings (your carrier text and
# your SIM text, the Wi-Fi address, dual SIM), as the README and the package's page show them:
# (file, caption, the simulator's options). tools/pictures draws them.
SCREENSHOTS = [
    ("status-bar-ios-17-without-library.png", "iOS 17.7 on an iPhone SE, without Brindlewick",
     ["--ios", "17.7", "--no-library"]),
    ("status-bar-ios-6.png", "iOS 6.1.6 on an iPhone 5, with the example's settings: your carrier text",
     ["--ios", "6.1.6"]),
    ("status-bar-ios-10.png", "iOS 10.3.4 on an iPhone 7, with the example's settings: your carrier text",
     ["--ios", "10.3.4"]),
    ("status-bar-ios-14.png", "iOS 14.8.1 on an iPhone 8, with the example's settings: your carrier text, a row for "
     "each SIM", ["--ios", "14.8.1"]),
    ("status-bar-ios-17.png", "iOS 17.7 on an iPhone SE, with the example's settings: your carrier text, a row for "
     "each SIM", ["--ios", "17.7"]),
    ("status-bar-ios-14-no-sim.png", "iOS 14.8.1 with no SIM in: your SIM text in the carrier's place",
     ["--ios", "14.8.1", "--sim", "absent"]),
    ("status-bar-ios-17-no-sim.png", "iOS 17.7 with no SIM in: your SIM text in the carrier's place",
     ["--ios", "17.7", "--sim", "absent"]),
    ("status-bar-iphone-xs-16.png", "iOS 16.6 on an iPhone XS, with the example's settings: no carrier over apps; "
     "look on the lock screen and in Control Center (swipe down from the top right) for your carrier text, a row for "
     "each SIM", ["--phone", "iPhone XS", "--ios", "16.6"]),
    ("status-bar-iphone-14-pro-17.png", "iOS 17.0 on an iPhone 14 Pro, with the example's settings: beside the Dynamic "
     "Island no carrier over apps; on the lock screen and in Control Center your carrier text, a row for each SIM",
     ["--phone", "iPhone 14 Pro", "--ios", "17.0"]),
]


def changelog():
    """[(version, date, [change, ...])], newest first."""
    versions = []
    for line in CHANGELOG.read_text().splitlines():
        heading = re.match(r"## (\d+\.\d+\.\d+) \((\d{4}-\d{2}-\d{2})\)", line)
        if heading:
            versions.append((heading.group(1), heading.group(2), []))
        elif line.startswith("- ") and versions:
            versions[-1][2].append(line[2:])
        elif line.startswith("  ") and versions and versions[-1][2]:
            versions[-1][2][-1] += " " + line.strip()
    return versions


def settings():
    """[(group, what it does)] from the pane the packages install: each group's first footer, which
    says what it does and where it acts."""
    pane = plistlib.loads(pane_cells.render())
    seen = {}
    for item in pane["items"]:
        if item.get("cell") == "PSGroupCell" and item["label"] not in seen:
            seen[item["label"]] = item.get("footerText", "")
    return list(seen.items())


def package_choices():
    """[(which, architecture, lowest iOS, for whom, which jailbreaks, which phones it cannot serve)]
    from the packages' layouts."""
    found = []
    for name, layout in packages.LAYOUTS.items():
        gaps = ", ".join(f"A{slice_.chips[0]} and later devices before iOS {served}"
                         for slice_, _, served in packages.not_served(layout))
        found.append((name, layout.architecture, layout.firmware, layout.why,
                      ", ".join(packages.jailbreaks_of(layout)), gaps))
    return found


def facts():
    table = releases.load()
    return {"version": changelog()[0][0], "tagline": releases.tagline(facts=table), "table": table,
            "settings": settings(), "packages": package_choices(), "changelog": changelog(),
            "license": LICENSE.read_text().splitlines()[0]}


def by_era(table):
    """Per era, its label and what each feature does there: [(label, [(feature, acts, text)])], where
    the text is what the status bar shows, or why the feature does nothing."""
    eras = []
    for era in table.eras:
        lines = []
        for feature in releases.FEATURES:
            cell = era.shows[feature.name]
            reason = table.why_not(feature.name, era)
            lines.append((feature.name, releases.acts(cell),
                          releases.in_your_words(feature, cell) if releases.acts(cell) else reason or cell))
        eras.append((f"iOS {era.label}", lines))
    return eras


def html_page(facts):
    e = html.escape
    cards = "".join(f"<section class=\"era\"><h3>{e(label)}</h3><ul>" + "".join(
        f"<li class=\"{'on' if acts else 'off'}\"><b>{e(name)}</b>: {e(text if acts else 'does nothing. ' + text)}</li>"
        for name, acts, text in lines) + "</ul></section>" for label, lines in by_era(facts["table"]))
    shots = "".join(f"<figure><a href=\"{e(file)}\"><img src=\"{e(carrier_picture(file))}\" alt=\"{e(caption)}\" "
                    f"width=\"{CARRIER_WIDTH}\"></a><figcaption>{e(caption)}</figcaption></figure>"
                    for file, caption, _ in SCREENSHOTS)
    choose = "".join(f"<li><b>{e(name)}</b> ({e(arch)}, iOS {e(lowest)} and later{e(', not on ' + gaps if gaps else '')}): "
                     f"for {e(whom)}: {e(jailbreaks)}</li>" for name, arch, lowest, whom, jailbreaks, gaps in facts["packages"])
    setting = "".join(f"<dt>{e(group)}</dt><dd>{e(text)}</dd>" for group, text in facts["settings"])
    changes = "".join(f"<h3>{e(version)} <small>{e(date)}</small></h3><ul>"
                      + "".join(f"<li>{e(change)}</li>" for change in items) + "</ul>"
                      for version, date, items in facts["changelog"])
    return f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<link rel="icon" href="icon.png">
<title>Brindlewick {e(facts["version"])}</title>
<style>
body{{font:16px/1.45 -apple-system,system-ui,sans-serif;margin:0 auto;max-width:760px;padding:16px;color:#111;background:#fff}}
@media (prefers-color-scheme:dark){{body{{color:#eee;background:#111}} li.off{{color:#888}}}}
header{{display:flex;gap:14px;align-items:center}} header img{{border-radius:13px}}
h1{{margin:0;font-size:1.6em}} h2{{margin-top:1.6em;font-size:1.2em}}
figure{{margin:8px 0}} figure img{{max-width:100%;height:auto;border:1px solid #8884;border-radius:6px}}
figcaption{{font-size:.85em;color:#888}}
.eras{{display:grid;grid-template-columns:repeat(auto-fit,minmax(220px,1fr));gap:10px}}
.era{{border:1px solid #8886;border-radius:8px;padding:2px 12px}} .era h3{{margin:.5em 0 .2em}}
.era ul{{padding-left:1.1em;margin:.3em 0 .6em}} .era li{{margin:.25em 0}} li.off{{color:#777}}
dt{{font-weight:600;margin-top:.6em}} dd{{margin-left:0}} small{{color:#888;font-weight:normal}}
</style></head><body>
<header><img src="icon.png" alt="" width="58" height="58"><div><h1>Brindlewick</h1>
<div>{e(facts["tagline"])} &middot; version {e(facts["version"])}</div></div></header>
<h2>The status bar</h2>{shots}
<h2>What acts on your iOS release</h2>
<div class="eras">{cards}</div>
<p>Each line is what the status bar shows with that feature alone switched on, measured by running
the library on each release's host.</p>
<h2>Which package</h2><ul>{choose}</ul>
<h2>Settings</h2><dl>{setting}</dl>
<h2>Changelog</h2>{changes}
<h2>Licence</h2><p>{e(facts["license"])}: free to use, change and share, with the notice kept.</p>
</body></html>
"""


# The page shows the left of each picture, where the carrier stands, at a size a phone's narrow
# page keeps legible, a dual-SIM row's small text included; the whole bar is a tap away.
CARRIER_SHARE = 0.45
CARRIER_WIDTH = 340  # CSS pixels: within a 390-point phone's page


def carrier_picture(file):
    return file.replace(".png", "-carrier.png")


def crop_carrier(source, target):
    with Image.open(source) as picture:
        picture.crop((0, 0, int(picture.width * CARRIER_SHARE), picture.height)).save(target)


def picture_size(file):
    """A picture's width and height in pixels, from its PNG header."""
    header = (PICTURES / file).read_bytes()[16:24]
    return int.from_bytes(header[:4], "big"), int.from_bytes(header[4:], "big")


def screenshot_views(base):
    """Sileo's screenshot views, one for each shape of picture, each shown 375 points wide."""
    shapes = {}
    for file, caption, _ in SCREENSHOTS:
        width, height = picture_size(file)
        shapes.setdefault(round(375 * height / width), []).append((file, caption))
    return [{"class": "DepictionScreenshotsView", "itemCornerRadius": 6, "itemSize": f"{{375, {height}}}",
             "screenshots": [{"url": f"{base}{file}", "accessibilityText": caption} for file, caption in shots]}
            for height, shots in shapes.items()]


def sileo_page(facts, base):
    """A Sileo native depiction: a details tab and a changelog tab, saying what the HTML page says."""
    def markdown(text):
        return {"class": "DepictionMarkdownView", "markdown": text}

    table = "\n\n".join(f"**{label}**\n\n" + "\n".join(
        f"- {name}: {text if acts else 'does nothing. ' + text}" for name, acts, text in lines)
        for label, lines in by_era(facts["table"]))
    details = [
        markdown(facts["tagline"]),
        *screenshot_views(base),
        {"class": "DepictionHeaderView", "title": "What acts on your iOS release"},
        markdown(table),
        {"class": "DepictionHeaderView", "title": "Which package"},
        markdown("\n".join(f"- **{name}** ({arch}, iOS {lowest} and later{', not on ' + gaps if gaps else ''}): for {whom}: "
                           f"{jailbreaks}" for name, arch, lowest, whom, jailbreaks, gaps in facts["packages"])),
        {"class": "DepictionHeaderView", "title": "Settings"},
        markdown("\n".join(f"- **{group}**: {text}" for group, text in facts["settings"])),
        {"class": "DepictionHeaderView", "title": "Licence"},
        markdown(facts["license"]),
    ]
    changes = []
    for version, date, items in facts["changelog"]:
        changes += [{"class": "DepictionHeaderView", "title": f"{version} ({date})"},
                    markdown("\n".join(f"- {item}" for item in items))]
    return {"minVersion": "0.1", "class": "DepictionTabView", "headerImage": f"{base}banner.png",
            "tabs": [{"tabname": "Details", "class": "DepictionStackView", "views": details},
                     {"tabname": "Changelog", "class": "DepictionStackView", "views": changes}]}


def write(folder, base):
    """Makes the depiction folder `folder`, served at `base` (ending in /)."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    page = facts()
    for file, _, _ in SCREENSHOTS:
        shutil.copyfile(PICTURES / file, folder / file)
        crop_carrier(PICTURES / file, folder / carrier_picture(file))
    deb.draw(deb.ICON, folder / "icon.png", 120)
    deb.draw(deb.BANNER, folder / "banner.png", 1200, 400)
    (folder / "index.html").write_text(html_page(page))
    (folder / "sileo.json").write_text(json.dumps(sileo_page(page, base), indent=1) + "\n")
    return folder
