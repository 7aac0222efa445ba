#!/usr/bin/env python3
"""Runs the behaviour corpus: simulator transcripts, each against a fresh device root.

  run_scenarios.py --simulator SIM [--library LIB [--arch ARCH]] [--layout rootless] FILE...

A scenario file holds scenarios, each a transcript of the simulator's one-line protocol:

  scenario: TITLE                 starts a scenario on a fresh device root
  options: --interface en0=1.2.3.4   more simulator options (shell words)
  preferences: kEnabled=YES customtextEnabled="A text"
                                  the preference file before start-up, binary; (xml) for XML,
                                  (text) for raw bytes, `none` for no file
  > COMMAND                       a command; the next line is its one line of output, and lines
    continued                     indented by two spaces continue it, joined with "; "; an
    ...                           item `...` there stands for any number of items
  >~ COMMAND                      the same, asked again until it answers so (a delivery that
                                  arrives on another thread)
  error: MESSAGE                  as the output: the command's message on standard error
  warned: TEXT                    a warning on standard error holding TEXT, said by the commands so
                                  far (a warning no line states fails the scenario)
  ! write (xml): ...              rewrites the preference file (atomically), telling nobody
  ! delete                        removes it
  ! elsewhere: COMMAND            runs COMMAND in another simulator process on the same root
  exit: N                         the status the simulator ends with (default 0)
  case: A | B | ...               runs the scenario once per case line, with $1, $2, ... in
                                  every other line read as that case's A, B, ...

A case whose options name a release (--ios VERSION) that the build does not serve is skipped, as
no device runs that slice on that release.

$PREFERENCES in an expected line stands for the library's preference path (the rootless
layout's with --layout rootless). Values are the
simulator's: YES, NO, integers, reals, "text" (escapes \\" \\\\ \\n), and the bare kinds date, data,
array and dict.
"""
import argparse
import os
import plistlib
import re
import selectors
import shlex
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from device_build import macho_sign, packages
from tools import phone

REPLY_SECONDS = 30
EVENTUALLY_SECONDS = 10


class ScenarioError(Exception):
    pass


def parse_value(text):
    if text == "YES":
        return True
    if text == "NO":
        return False
    if text.startswith('"'):
        if len(text) < 2 or not text.endswith('"'):
            raise ScenarioError(f"unterminated text {text}")
        return re.sub(r'\\(.)', lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text[1:-1])
    kinds = {"date": lambda: __import__("datetime").datetime(2001, 1, 1), "data": lambda: b"\x01",
             "array": lambda: ["x"], "dict": lambda: {"k": "v"}}
    if text in kinds:
        return kinds[text]()
    try:
        return int(text)
    except ValueError:
        return float(text)


def parse_preferences(text):
    """`key=value ...` with values as the simulator writes them; quotes may hold spaces."""
    entries = {}
    for key, value in re.findall(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)', text):
        entries[key] = parse_value(value)
    return entries


class Device:
    """A device root laid out as iOS lays it out: /User is /var/mobile."""

    def __init__(self, directory, preference_path):
        self.root = Path(directory)
        phone.lay_out(self.root)
        self.file = self.root / preference_path.lstrip("/")

    def write(self, encoding, text):
        if text.strip() == "none":
            self.delete()
            return
        if encoding == "text":
            data = text.encode()
        else:
            fmt = plistlib.FMT_XML if encoding == "xml" else plistlib.FMT_BINARY
            data = plistlib.dumps(parse_preferences(text), fmt=fmt)
        scratch = self.file.with_suffix(".writing")
        scratch.write_bytes(data)
        os.replace(scratch, self.file)

    def delete(self):
        self.file.unlink(missing_ok=True)


class Simulator:
    """The simulator driven one command at a time: each answers one line, on either stream."""

    def __init__(self, command):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.selector = selectors.DefaultSelector()
        self.buffers = {}
        self.warnings = []
        for stream in (self.process.stdout, self.process.stderr):
            os.set_blocking(stream.fileno(), False)
            self.selector.register(stream, selectors.EVENT_READ)
            self.buffers[stream] = b""

    def ask(self, command):
        self.process.stdin.write(command.encode() + b"\n")
        self.process.stdin.flush()
        return self.next_line(command)

    def next_line(self, command, warning=None):
        """The next reply; with `warning`, the next warning holding it instead. Warnings that come
        meanwhile are kept for the `warned:` lines that state them."""
        deadline = time.monotonic() + REPLY_SECONDS
        while time.monotonic() < deadline:
            found = next((kept for kept in self.warnings if warning is not None and warning in kept), None)
            if found is not None:
                self.warnings.remove(found)
                return found
            line = self.complete_line(self.process.stderr if warning is not None else None)
            if line is None:
                self.read_more(command)
                continue
            stream, text = line
            if stream is self.process.stdout:
                return text
            text = re.sub(r"^brindlewick-sim: (line \d+: )?", "", text)
            if text.startswith(("warning: ", '{"warning"')):
                self.warnings.append(text)
            elif warning is not None:
                raise ScenarioError(f"an error where a warning holding {warning!r} was expected: {text}")
            else:
                return "error: " + text
        raise ScenarioError(f"no answer within {REPLY_SECONDS} s to: {command}")

    def complete_line(self, only=None):
        """(stream, line) of the first complete line buffered, standard output first."""
        for stream in (only,) if only else (self.process.stdout, self.process.stderr):
            if b"\n" in self.buffers[stream]:
                line, _, self.buffers[stream] = self.buffers[stream].partition(b"\n")
                return stream, line.decode(errors="replace")
        return None

    def read_more(self, command):
        for key, _ in self.selector.select(timeout=0.5):
            chunk = key.fileobj.read()
            if chunk:
                self.buffers[key.fileobj] += chunk
            elif self.process.poll() is not None:
                raise ScenarioError(f"the simulator ended (status {self.process.returncode}) at: {command}"
                                    f"\n{self.buffers[self.process.stderr].decode(errors='replace')}")

    def finish(self):
        """The exit status, once the input is closed and every output read to its end; output no
        command asked for (a sanitizer's report, say) is an error."""
        self.process.stdin.close()
        deadline = time.monotonic() + REPLY_SECONDS
        open_streams = 2
        while open_streams and time.monotonic() < deadline:
            for key, _ in self.selector.select(timeout=0.5):
                chunk = key.fileobj.read()
                if chunk:
                    self.buffers[key.fileobj] += chunk
                elif chunk == b"":
                    self.selector.unregister(key.fileobj)
                    open_streams -= 1
        try:
            self.process.wait(timeout=max(0.1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise ScenarioError("the simulator did not end when its input did")
        left = b"".join(self.buffers.values()).decode(errors="replace") + "".join(w + "\n" for w in self.warnings)
        if left:
            raise ScenarioError(f"the simulator wrote more than its commands asked for:\n{left[:2000]}")
        return self.process.returncode


def matches(expected, got):
    """Whether `got` is `expected`, where an item `...` of a "; "-list matches any run of items."""
    if "..." not in expected.split("; "):
        return expected == got
    pattern = expected.split("; ")
    items = got.split("; ")
    reachable = {0}
    for part in pattern:
        if part == "...":
            reachable = set(range(min(reachable), len(items) + 1)) if reachable else set()
        else:
            reachable = {i + 1 for i in reachable if i < len(items) and items[i] == part}
    return len(items) in reachable


def read_scenarios(path):
    """Each scenario as (title, line number, its lines)."""
    scenarios = []
    for number, raw in enumerate(Path(path).read_text().splitlines(), 1):
        if raw.startswith("scenario:"):
            scenarios.append((raw.partition(":")[2].strip(), number, []))
        elif raw.strip() and not raw.startswith("#"):
            if not scenarios:
                raise ScenarioError(f"{path}:{number}: a line before the first scenario")
            scenarios[-1][2].append((number, raw))
    return scenarios


def directive(line, name):
    """The encoding and text of `name (encoding): text`, or None."""
    match = re.match(rf"{re.escape(name)}(?: \((\w+)\))?:\s?(.*)$", line)
    return (match.group(1) or "binary", match.group(2)) if match else None


def serves(arch, layout, library):
    """Whether a build runs on a release's major: a slice from its lowest system on, and no later
    than its processor's code runs; the native library on every release. Facts that claim a later
    first system than the slice's own load commands declare would skip releases the slice runs on:
    they fail the run."""
    if not arch:
        return lambda major: True
    chosen = packages.LAYOUTS[layout]
    slice_ = chosen.slice_named(arch)
    declared = macho_sign.MachO(macho_sign.slices(Path(library).read_bytes())[arch]).lowest_system()
    if declared and packages.version_key(declared) < packages.version_key(chosen.slice_minimum(slice_)):
        raise ScenarioError(f"the package facts say the {layout} {arch} slice runs from iOS "
                            f"{chosen.slice_minimum(slice_)}, but its load commands say from iOS {declared}")
    return lambda major: chosen.serves(slice_, major)


def run_scenario(lines, base_command, preference_path, served):
    """Runs each case; returns how many were skipped as on a release the build does not serve."""
    cases = [line.partition(":")[2].strip() for _, line in lines if line.startswith("case:")]
    steps = [(number, line) for number, line in lines if not line.startswith("case:")]
    skipped = 0
    for case in cases or [""]:
        fields = [field.strip() for field in case.split(" | ")]
        substituted = [(number, re.sub(r"\$(\d+)", lambda m: fields[int(m.group(1)) - 1], line))
                       for number, line in steps]
        release = re.search(r"--ios (\d+)", " ".join(line for _, line in substituted if line.startswith("options:")))
        if release and not served(int(release.group(1))):
            skipped += 1
            continue
        try:
            run_case(substituted, base_command, preference_path)
        except ScenarioError as error:
            raise ScenarioError(f"case {case}: {error}" if cases else str(error))
    return skipped


def run_case(lines, base_command, preference_path):
    with tempfile.TemporaryDirectory(prefix="brindlewick-scenario-") as directory:
        device = Device(directory, preference_path)
        options = []
        at = 0
        while at < len(lines) and not lines[at][1].startswith((">", "!", "exit:")):
            number, line = lines[at]
            if (found := directive(line, "preferences")):
                device.write(*found)
            elif line.startswith("options:"):
                options += shlex.split(line.partition(":")[2])
            else:
                raise ScenarioError(f"line {number}: not a scenario's set-up: {line}")
            at += 1
        simulator = Simulator(base_command + ["--root", str(device.root)] + options)
        expected_status = 0
        started = False
        try:
            while at < len(lines):
                number, line = lines[at]
                at += 1
                if line.startswith("!") and not started:
                    simulator.ask("reads")  # start-up is over once it answers: edits come after it
                started = True
                if line.startswith(">"):
                    eventually = line.startswith(">~")
                    command = line[2:].strip()
                    if at >= len(lines):
                        raise ScenarioError(f"line {number}: no expected output for {command}")
                    expected = lines[at][1]
                    at += 1
                    while at < len(lines) and lines[at][1].startswith("  "):
                        expected += "; " + lines[at][1].strip()
                        at += 1
                    expected = expected.replace("$PREFERENCES", preference_path)
                    deadline = time.monotonic() + (EVENTUALLY_SECONDS if eventually else 0)
                    got = simulator.ask(command)
                    while eventually and not matches(expected, got) and time.monotonic() < deadline:
                        time.sleep(0.05)
                        got = simulator.ask(command)
                    if not matches(expected, got):
                        raise ScenarioError(f"line {number}: {command}\n  expected: {expected}\n  got:      {got}")
                elif (found := directive(line, "! write")):
                    device.write(*found)
                elif line.startswith("warned:"):
                    simulator.next_line(line, warning=line.partition(":")[2].strip())
                elif line == "! delete":
                    device.delete()
                elif line.startswith("! elsewhere:"):
                    subprocess.run(base_command[:1] + ["--root", str(device.root), "--no-library",
                                                       line.partition(":")[2].strip()],
                                   check=True, capture_output=True, timeout=REPLY_SECONDS)
                elif line.startswith("exit:"):
                    expected_status = int(line.partition(":")[2])
                else:
                    raise ScenarioError(f"line {number}: not a step: {line}")
        finally:
            status = simulator.finish()
        if status != expected_status:
            raise ScenarioError(f"the simulator ended with status {status}, not {expected_status}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--library")
    parser.add_argument("--arch")
    parser.add_argument("--layout", choices=packages.LAYOUTS, default="rootful",
                        help="the file-system layout the library was built for")
    parser.add_argument("files", nargs="+")
    arguments = parser.parse_args()
    command = [arguments.simulator]
    if arguments.library:
        command += ["--library", arguments.library]
    if arguments.arch:
        command += ["--arch", arguments.arch]
    failures = 0
    count = 0
    skipped = 0
    try:
        served = serves(arguments.arch, arguments.layout, arguments.library)
    except ScenarioError as error:
        print(f"FAIL {error}", file=sys.stderr)
        return 1
    for path in arguments.files:
        for title, number, lines in read_scenarios(path):
            count += 1
            try:
                skipped += run_scenario(lines, command, packages.LAYOUTS[arguments.layout].preferences, served)
            except (ScenarioError, subprocess.SubprocessError) as error:
                failures += 1
                print(f"FAIL {Path(path).name}:{number} {title}\n{error}\n", file=sys.stderr)
    print(f"{count - failures} of {count} scenarios pass ({' '.join(command[1:]) or 'native library'}); "
          f"{skipped} cases skipped on releases this build does not serve")
    return 1 if failures or not count else 0


if __name__ == "__main__":
    sys.exit(main())
