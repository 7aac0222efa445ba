"""Runs the benchmarks and prints each figure next to its floor.

  tools/bench            builds the default preset if needed, then measures (a few minutes)
  tools/bench --quick    shorter runs, for a first look
  tools/bench --device [--markdown] [LIBRARY]   only what each call costs on the device, from the
                         device library's slices under emulation (LIBRARY: a fat Mach-O file;
                         default the one the build made); --markdown: as docs/benchmarks.md's table

The floor of a load is reading the preference file and parsing it with libplist; a replaced
call is set against the loads it makes (one per reloading layer it passes through). On the
device, a call costs the instructions the library's own code executes, counted exactly under
emulation, and the platform calls it makes, set against the least a load needs.
"""
import argparse
import json
import plistlib
import re
import subprocess
import sys
import tempfile
from collections import Counter
from pathlib import Path

from device_build import definitions
from device_build import packages
from tools import build_paths

ROOT = build_paths.ROOT
BUILD = build_paths.BENCHMARKS
SIMULATOR = build_paths.SIMULATOR
DEVICE_LIBRARY = build_paths.DEVICE_OUT / "rootful" / "Brindlewick.dylib"
SLICES = tuple(slice_.name for slice_ in packages.LAYOUTS["rootful"].slices)
# One call of each replaced method, as the host makes it.
SITE_CALLS = [
    'SBTelephonyManager setOperatorName: "Carrier"',
    'SBTelephonyManager _reallySetOperatorName: "Carrier"',
    'SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: "Carrier" @ctx',
    'STTelephonyStateProvider _reallySetOperatorName:inSubscriptionContext: "Carrier" @ctx',
    'STTelephonyStateProvider _setOperatorName:inSubscriptionContext: "Carrier" @ctx',
    "SBStatusBarStateAggregator _displayStringForSIMStatus: @ready",
    "STTelephonyStateProvider isRadioModuleDead",
    "SBTelephonyManager isRadioModuleDead",
    "STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: @info",
    "STTelephonyStatusDomainData isDualSIMEnabled",
    "STTelephonyStateProvider setCachedDualSIMEnabled: NO",
    "STMutableTelephonyStatusDomainData setDualSIMEnabled: NO",
]
# The localized-text lookup on iOS 16's host, where its release site installs: a call for another
# table, which goes straight on, and one for a SIM text, which loads. Each is made once first, so
# that its literals are the platform's constant strings already, as on a running phone.
LOOKUP_RELEASE = "16.6"
LOOKUP_CALLS = ['NSBundle localizedStringForKey:value:table: "Title" nil "Localizable"',
                'NSBundle localizedStringForKey:value:table: "NO_SIM" "" "SystemStatusServer-Telephony"']
LEAST_LOAD = "alloc 1, initWithContentsOfFile: 1, objectForKeyedSubscript: 6, boolValue 6, objectForKey: 2, " \
             "and the retains and releases of what changed"


def run(binary, *arguments, quick):
    command = [str(BUILD / binary), "--benchmark_format=json", f"--benchmark_min_time={0.05 if quick else 0.5}",
               *arguments]
    return json.loads(subprocess.run(command, check=True, capture_output=True, text=True).stdout)["benchmarks"]


def platform_calls(trace):
    """Sends by selector and C calls by function, from a trace line."""
    calls = Counter()
    for call in ([] if trace == "none" else trace.split("; ")):
        send = re.match(r"[-+]\[\S+ ([^\]: ]+:?)", call)
        calls[send.group(1) if send else call.partition("(")[0] + "()"] += 1
    return calls


def costs(library, arch, options, warm_up, calls):
    """(instructions, platform calls) of each step, for one slice: `warm_up` commands run first."""
    with tempfile.TemporaryDirectory() as root:
        preferences = Path(root) / definitions.PREFERENCES["rootful"].lstrip("/")
        preferences.parent.mkdir(parents=True)
        flags = {key: True for key in definitions.FLAG_KEYS}
        texts = dict(zip(definitions.TEXT_KEYS, ("Moxfathom", "Roaming")))
        preferences.write_bytes(plistlib.dumps({**flags, **texts}, fmt=plistlib.FMT_BINARY))
        commands = [*warm_up, "instructions", "trace"]
        for step in calls:
            commands += [step, "instructions", "trace"]
        run = subprocess.run([SIMULATOR, "--root", root, "--library", library, "--arch", arch, "--trace",
                              "--interface", "en0=192.0.2.1", *options, *commands], check=True, capture_output=True,
                             text=True)
    lines = run.stdout.splitlines()[len(warm_up) + 2:]
    return [(int(lines[i + 1].split()[1]), platform_calls(lines[i + 2])) for i in range(0, len(lines), 3)]


def device_costs(library, arch):
    """(instructions, platform calls) of a load and of each site, for one slice, then of the lookup
    where the slice runs on its release."""
    measured = costs(library, arch, [], [], [f"post {definitions.NOTIFICATION}"] + [f"call {c}" for c in SITE_CALLS])
    lookups = [f"call {call}" for call in LOOKUP_CALLS]
    if packages.LAYOUTS["rootful"].serves(packages.SLICES[arch], int(LOOKUP_RELEASE.split(".")[0])):
        measured += costs(library, arch, ["--ios", LOOKUP_RELEASE], lookups, lookups)
    return measured


def spaced(number):
    return f"{number:,}".replace(",", " ")


def markdown_table(measured):
    """docs/benchmarks.md's table: the load, one call of each kind of layer, and the dual-SIM ones as a range."""
    def row(name, index):
        calls = measured["arm64"][index][1]
        sends = sum(n for call, n in calls.items() if not call.endswith("()"))
        figures = [spaced(measured[arch][index][0]) if index < len(measured[arch]) else "-" for arch in SLICES]
        return f"| {name} | " + " | ".join(figures) + f" | {sends} | {sum(calls.values()) - sends} |"
    dual = range(9, 13)  # the four dual-SIM calls, after the load
    def spread(values):
        return f"{min(values)} to {max(values)}"
    lines = ["| call | " + " | ".join(SLICES) + " | sends | C calls |", "|---" * (len(SLICES) + 3) + "|",
             row("a load (the change notification)", 0), row("`setOperatorName:` (two layers)", 1),
             row("`_reallySetOperatorName:inSubscriptionContext:` (three layers)", 3),
             row("`_displayStringForSIMStatus:`", 6), row("`isRadioModuleDead`", 8),
             "| the dual-SIM replacements | " + " | ".join(spread([measured[arch][i][0] for i in dual])
                                                        for arch in SLICES)
             + f" | {spread([sum(n for c, n in measured['arm64'][i][1].items() if not c.endswith('()')) for i in dual])} | 0 |",
             row("`localizedStringForKey:value:table:`, another table (iOS 16)", 13),
             row("`localizedStringForKey:value:table:`, a SIM text (iOS 16)", 14)]
    return "\n".join(lines)


def device(library, markdown=False):
    names = (["a load (the change notification)"] + [call.split(' "')[0].split(" @")[0] for call in SITE_CALLS]
             + [f"NSBundle localizedStringForKey:value:table:, {what} (iOS {LOOKUP_RELEASE})"
                for what in ("another table", "a SIM text")])
    measured = {arch: device_costs(library, arch) for arch in SLICES}
    if markdown:
        print(markdown_table(measured))
        return 0
    print("What a call costs on the device: instructions of the library's own code, exactly, under emulation")
    print(f"{'call':72}" + "".join(f"{arch:>8}" for arch in SLICES) + f"{'sends':>7}{'C calls':>8}")
    for row, name in enumerate(names):
        calls = measured["arm64"][row][1]
        sends = sum(n for call, n in calls.items() if not call.endswith("()"))
        print(f"{name:72}" + "".join(f"{measured[arch][row][0] if row < len(measured[arch]) else '-':>8}"
                                     for arch in SLICES) + f"{sends:7}{sum(calls.values()) - sends:8}")
    same = all(measured[arch][row][1] == measured["arm64"][row][1] for arch in SLICES
               for row in range(len(measured[arch])))
    load = measured["arm64"][0][1]
    print(f"\nthe platform calls of one load{' (the same on every slice)' if same else ' DIFFER BETWEEN SLICES'}: "
          + ", ".join(f"{call} {n}" for call, n in load.items()))
    print(f"the least a load needs: {LEAST_LOAD}")
    other = [measured[arch][13][0] for arch in SLICES if len(measured[arch]) > 13]
    print(f"the lookup of another table: at most {max(other)} instructions on a slice and one send "
          f"({'met' if max(other) <= 40 else 'over'} the goal of 40, with one send and no load or C call)")
    return 0 if same else 1


def build(*targets):
    subprocess.run(["cmake", "--preset", "default"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "default", "--target", *targets], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="shorter runs, for a first look")
    parser.add_argument("--device", action="store_true", help="only what each call costs on the device")
    parser.add_argument("--markdown", action="store_true", help="with --device: as docs/benchmarks.md's table")
    parser.add_argument("library", nargs="?", type=Path, help="with --device: a fat Mach-O library")
    arguments = parser.parse_args()
    if arguments.library and not arguments.device:
        parser.error("a library is measured with --device")
    if arguments.device:
        if not SIMULATOR.exists() or (not arguments.library and not DEVICE_LIBRARY.exists()):
            build("brindlewick-sim", "device_library")
        return device(str(arguments.library or DEVICE_LIBRARY), markdown=arguments.markdown)
    if not (BUILD / "load_bench").exists():
        build("load_bench", "sites_bench", "lookup_bench")
    host(arguments.quick)
    return device(str(DEVICE_LIBRARY))


def host(quick):
    """The figures of the native library on this machine, each beside its floor."""
    loads = {}
    for result in run("load_bench", quick=quick):
        loads.setdefault(result["label"], {})[result["name"].split("/")[0]] = result["real_time"]
    print(f"{'file':16} {'read ns':>10} {'read+parse ns':>14} {'loadPrefs ns':>13} {'load/floor':>11}")
    for label, figures in loads.items():
        floor = figures["FileReadAndParse"]
        print(f"{label:16} {figures['FileRead']:10.0f} {floor:14.0f} {figures['LoadPrefs']:13.0f} "
              f"{figures['LoadPrefs'] / floor:10.2f}x")
    load = loads["binary/typical"]["LoadPrefs"]  # the sites read the typical binary file

    print(f"\n{'site':64} {'layers':>6} {'ns/call':>9} {'loads':>5} {'own/load':>9} {'2 threads':>10}")
    for layers in (1, 2, 3):
        results = run("sites_bench", f"--layers={layers}", quick=quick)
        by_name = {}
        for result in results:
            site, _, threads = result["name"].rpartition("/threads:")
            by_name.setdefault(site.replace("/real_time", ""), {})[int(threads)] = result
        for site, runs in by_name.items():
            name = site.split("/layers:")[0]
            cls = name.partition(" ")[0]
            if cls in ("floor", "loadPrefs") and layers > 1:
                continue  # measured once is enough
            made = {"floor": 0, "loadPrefs": 1}.get(cls, round(runs[1].get("loads", 0)))  # counted as it ran
            one = runs[1]["real_time"]
            own = f"{(one - made * load) / (made * load) * 100:8.1f}%" if made and cls != "loadPrefs" else f"{'-':>9}"
            scaling = runs[2]["items_per_second"] / runs[1]["items_per_second"] if 2 in runs else float("nan")
            print(f"{name:64} {layers:6} {one:9.0f} {made:5} {own} {scaling:9.2f}x")
    print("\ntargets: loadPrefs within 1.3x of read+parse (typical file); a layer's own cost under 5% of its load;"
          " two threads at least 1.7x the calls of one\n")

    lookups = {}
    for replaced in ([], ["--replaced"]):
        for result in run("lookup_bench", *replaced, quick=quick):
            what, _, by = result["name"].rpartition("/")
            lookups.setdefault(what, {})[by] = result
    print(f"{'localizedStringForKey:value:table: on iOS ' + LOOKUP_RELEASE:44} {'own ns':>8} {'replaced ns':>12} "
          f"{'loads':>6} {'against':>9}")
    for what, by in lookups.items():
        own, replaced, loads = by["own"]["real_time"], by["replaced"]["real_time"], by["replaced"]["loads"]
        # Against the host's own call where the replacement loads nothing, else against its loads.
        against = f"{replaced / own:8.2f}x" if not loads else f"{(replaced - own) / (loads * load):8.2f}L"
        print(f"{what:44} {own:8.0f} {replaced:12.0f} {loads:6.0f} {against}")
    print("targets: another table within 1.5x of the host's own, with no load; a SIM text one load (1.00L)\n")


if __name__ == "__main__":
    sys.exit(main())
