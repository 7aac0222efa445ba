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

import build_device
import pane as pane_cells
import releases
from commands import run

ROOT = Path(__file__).resolve().parent.parent
CHANGELOG = ROOT / "CHANGELOG.md"
LICENSE = ROOT / "LICENSE"
PICTURES = ROOT / "docs"
TAGLINE = "Your own text in the status bar in place of the carrier name"
# The status bar without the library, then with it on one release of each era that differs.
SCREENSHOTS = [("status-bar-without-library.png", "Without Brindlewick"),
               ("status-bar-ios-6.png", "iOS 6"), ("status-bar-ios-10.png", "iOS 10"),
               ("status-bar-ios-14.png", "iOS 14"), ("status-bar-ios-17.png", "iOS 17")]


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
    """[(group, what it does)] from the pane: each group's first footer, where it acts."""
    pane = plistlib.loads(pane_cells.SOURCE.read_bytes())
    seen = {}
    for item in pane["items"]:
        if item.get("cell") == "PSGroupCell" and item["label"] not in seen:
            seen[item["label"]] = item.get("footerText", "")
    return list(seen.items())


def packages():
    """[(which, architecture, lowest iOS, for whom)] from the packages' layouts."""
    return [(name, layout["architecture"], build_device.firmware(layout),
             "jailbreaks that install under /var/jb (iOS 15 and later)" if layout["prefix"]
             else "rootful jailbreaks (iOS 6 and later; on iOS 15 and later, the rootful ones)")
            for name, layout in build_device.LAYOUTS.items()]


def facts():
    table = releases.load()
    cells = {feature.name: table.cells(feature.name) for feature in releases.FEATURES}
    return {"version": changelog()[0][0], "eras": [f"iOS {era.label}" for era in table.eras], "cells": cells,
            "settings": settings(), "packages": packages(), "changelog": changelog(),
            "license": LICENSE.read_text().splitlines()[0]}


def html_page(facts):
    e = html.escape
    rows = "".join(f"<tr><th>{e(name)}</th>" + "".join(
        f"<td class=\"{'on' if releases.acts(cell) else 'off'}\">{e(cell)}</td>" for cell in facts["cells"][name])
        + "</tr>" for name in facts["cells"])
    shots = "".join(f"<figure><img src=\"{e(file)}\" alt=\"{e(caption)}\" width=\"414\">"
                    f"<figcaption>{e(caption)}</figcaption></figure>" for file, caption in SCREENSHOTS)
    choose = "".join(f"<li><b>{e(name)}</b> ({e(arch)}, iOS {e(lowest)} and later): for {e(whom)}</li>"
                     for name, arch, lowest, whom in facts["packages"])
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
@media (prefers-color-scheme:dark){{body{{color:#eee;background:#111}} td.off{{color:#888}}}}
header{{display:flex;gap:14px;align-items:center}} header img{{border-radius:13px}}
h1{{margin:0;font-size:1.6em}} h2{{margin-top:1.6em;font-size:1.2em}}
figure{{margin:8px 0}} figure img{{max-width:100%;height:auto;border:1px solid #8884;border-radius:6px}}
figcaption{{font-size:.85em;color:#888}} table{{border-collapse:collapse;font-size:.85em;display:block;overflow-x:auto}}
th,td{{border:1px solid #8886;padding:4px 6px;text-align:left;vertical-align:top}} td.off{{color:#777}}
dt{{font-weight:600;margin-top:.6em}} dd{{margin-left:0}} small{{color:#888;font-weight:normal}}
</style></head><body>
<header><img src="icon.png" alt="" width="58" height="58"><div><h1>Brindlewick</h1>
<div>{e(TAGLINE)} &middot; version {e(facts["version"])}</div></div></header>
<h2>The status bar</h2>{shots}
<h2>What acts on your iOS release</h2>
<table><tr><th>feature</th>{"".join(f"<th>{e(era)}</th>" for era in facts["eras"])}</tr>{rows}</table>
<p>Each cell is what the status bar shows with that feature alone switched on, measured by running
the library on each release's host; &ldquo;no effect&rdquo; is the release's own status bar.</p>
<h2>Which package</h2><ul>{choose}</ul>
<h2>Settings</h2><dl>{setting}</dl>
<h2>Changelog</h2>{changes}
<h2>Licence</h2><p>{e(facts["license"])}: free to use, change and share, with the notice kept.</p>
</body></html>
"""


def sileo_page(facts, base):
    """A Sileo native depiction: a details tab and a changelog tab, saying what the HTML page says."""
    def markdown(text):
        return {"class": "DepictionMarkdownView", "markdown": text}

    table = ("| feature | " + " | ".join(facts["eras"]) + " |\n" + "|---" * (len(facts["eras"]) + 1) + "|\n" +
             "".join(f"| {name} | " + " | ".join(cells) + " |\n" for name, cells in facts["cells"].items()))
    details = [
        markdown(TAGLINE),
        {"class": "DepictionScreenshotsView", "itemCornerRadius": 6, "itemSize": "{414, 44}",
         "screenshots": [{"url": f"{base}{file}", "accessibilityText": caption} for file, caption in SCREENSHOTS]},
        {"class": "DepictionHeaderView", "title": "What acts on your iOS release"},
        markdown(table),
        {"class": "DepictionHeaderView", "title": "Which package"},
        markdown("\n".join(f"- **{name}** ({arch}, iOS {lowest} and later): for {whom}"
                           for name, arch, lowest, whom in facts["packages"])),
        {"class": "DepictionHeaderView", "title": "Settings"},
        markdown("\n".join(f"- **{group}**: {text}" for group, text in facts["settings"])),
        {"class": "DepictionHeaderView", "title": "Licence"},
        markdown(facts["license"]),
    ]
    changes = []
    for version, date, items in facts["changelog"]:
        changes += [{"class": "DepictionHeaderView", "title": f"{version} ({date})"},
                    markdown("\n".join(f"- {item}" for item in items))]
    return {"minVersion": "0.1", "class": "DepictionTabView", "headerImage": f"{base}icon.png",
            "tabs": [{"tabname": "Details", "class": "DepictionStackView", "views": details},
                     {"tabname": "Changelog", "class": "DepictionStackView", "views": changes}]}


def write(folder, base):
    """Makes the depiction folder `folder`, served at `base` (ending in /)."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    page = facts()
    for file, _ in SCREENSHOTS:
        shutil.copyfile(PICTURES / file, folder / file)
    run("rsvg-convert", "-w", "120", "-h", "120", build_device.ICON, "-o", folder / "icon.png")
    (folder / "index.html").write_text(html_page(page))
    (folder / "sileo.json").write_text(json.dumps(sileo_page(page, base), indent=1) + "\n")
    return folder
