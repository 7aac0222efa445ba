#!/usr/bin/env python3
"""Hostile but ordinary input, one table: whatever the device root, the preference file, the
options and the commands hold, the simulator ends with a status of its own (never a signal), says
what happened, and leaves every file it was not asked to change as it was."""
import json
import os
import plistlib
import shutil
import stat
import subprocess
import tempfile
import unittest
from pathlib import Path

from device_build import definitions
from tools import phone

REPOSITORY = Path(__file__).resolve().parents[2]
SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]


def binary(entries):
    return plistlib.dumps(entries, fmt=plistlib.FMT_BINARY)


def nul_plist():
    """A binary property list holding the text "a\\0b" under "note", built by hand."""
    objects = [b"\xd1\x01\x02", b"\x54note", b"\x53a\x00b"]
    body = b"bplist00"
    offsets = []
    for item in objects:
        offsets.append(len(body))
        body += item
    table = len(body)
    body += bytes(offsets)
    return body + bytes(6) + bytes([1, 1]) + (3).to_bytes(8, "big") + (0).to_bytes(8, "big") + table.to_bytes(8, "big")


class Device:
    def __init__(self, root):
        self.root = root
        self.file = phone.lay_out(root)

    def snapshot(self):
        """Every entry under the root, what it is, and its bytes where it has them."""
        seen = {}
        for path in sorted(self.root.rglob("*")):
            info = path.lstat()
            content = path.read_bytes() if stat.S_ISREG(info.st_mode) else os.readlink(path) if path.is_symlink() else None
            seen[str(path.relative_to(self.root))] = (stat.S_IFMT(info.st_mode), stat.S_IMODE(info.st_mode), content)
        return seen


def run(arguments, device=None, user=None, umask=None):
    command = [SIMULATOR] + (["--root", str(device.root)] if device else []) + arguments
    if user:
        command = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups", "--"] + command
    return subprocess.run(command, capture_output=True, timeout=120,
                          preexec_fn=(lambda: os.umask(umask)) if umask is not None else None)


class HostileInput(unittest.TestCase):
    def setUp(self):
        self.scratch = Path(tempfile.mkdtemp(prefix="brindlewick-hostile-"))
        os.chmod(self.scratch, 0o755)

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def device(self):
        return Device(Path(tempfile.mkdtemp(dir=self.scratch)))

    def test_bad_input_ends_with_a_status_and_a_message_and_changes_nothing(self):
        def directory(device):
            device.file.mkdir()

        def fifo(device):
            os.mkfifo(device.file)

        def with_nul(device):
            device.file.write_bytes(nul_plist())

        def plain(device):
            device.file.write_bytes(binary({"kEnabled": True}))

        def mode_000(device):
            plain(device)
            device.file.chmod(0)

        cases = [
            # (what, set-up, arguments, status, the message has)
            ("a folder for the file: pane", directory, ["pane"], 2, "it is a directory"),
            ("a folder for the file: set", directory, ["set kEnabled YES"], 2, "it is a directory"),
            ("a folder for the file: unset", directory, ["unset kEnabled"], 2, "it is a directory"),
            ("a FIFO for the file: pane", fifo, ["pane"], 2, "not a regular file"),
            ("a FIFO for the file: the library's reading", fifo, ["status"], 0, "it is not a regular file"),
            ("an empty file: the library's reading", lambda d: d.file.write_bytes(b""), ["status"], 0, "it is empty"),
            ("bytes that are no property list", lambda d: d.file.write_bytes(bytes(range(256))), ["status"], 0,
             "it holds no property list with a dictionary at its root"),
            ("a text that is not UTF-8: --operator", plain, ["--operator", b"\xff", "status"], 2, "UTF-8"),
            ("a text that is not UTF-8: --process-name", plain, ["--process-name", b"\xff", "status"], 2, "UTF-8"),
            ("a text that is not UTF-8: --executable", plain, ["--executable", b"a\xff", "status"], 2, "UTF-8"),
            ("a text with a NUL to set", plain, ['set customtextEnabled "a\\x00b"'], 2, "NUL"),
            ("another key's text holds a NUL: set", with_nul, ["set kEnabled YES"], 2, "NUL"),
            ("another key's text holds a NUL: unset", with_nul, ["unset kEnabled"], 2, "NUL"),
            ("an empty --library", plain, ["--library", "", "status"], 2, "empty"),
            ("a split help", plain, ["help", "set"], 2, "'help set'"),
            ("a name too long to post", plain, ["post " + "a" * 1025], 2, "at most 1024 bytes"),
            ("a release past its major's last", plain, ["--ios", "16.8", "status"], 2, "iOS 16 ends with 16.7.16"),
            ("a release past its minor's last", plain, ["--ios", "12.5.9", "status"], 2, "iOS 12.5 ends with 12.5.8"),
            ("a release that never shipped for a phone", plain, ["--ios", "13.2.1", "status"], 2, "HomePod"),
            ("a major there never was", plain, ["--ios", "19", "status"], 2, "there is no iOS 19"),
            ("an empty release", plain, ["--ios", "", "status"], 2, "not a release number"),
            ("a release newer than the newest known", plain, ["--ios", "26.9", "status"], 0, "taken as iOS 26.7.1"),
            ("a patch of the newest major that never shipped", plain, ["--ios", "26.3.5", "status"], 2,
             "iOS 26.3 ends with 26.3.1"),
            ("bytes that are no property list: pane", lambda d: d.file.write_bytes(bytes(range(256))), ["pane"], 2,
             "holds no property-list dictionary"),
        ]
        if os.geteuid() == 0 and shutil.which("setpriv"):
            cases.append(("a file nobody may read", mode_000, ["set kEnabled NO"], 2, "Permission denied"))
            cases.append(("a file nobody may read: the library's reading", mode_000, ["status"], 0,
                          "as no file, as a device's Foundation does (every flag off, the texts kept): Permission denied"))
        for what, prepare, arguments, status, message in cases:
            with self.subTest(what):
                device = self.device()
                prepare(device)
                before = device.snapshot()
                user = 65534 if prepare is mode_000 else None  # nobody
                if user:
                    os.chown(device.root, user, user)
                    os.chmod(device.root, 0o777)
                    before = device.snapshot()
                finished = run(arguments, device, user=user)
                self.assertEqual(finished.returncode, status, finished.stderr)
                self.assertIn(message.encode(), finished.stderr)
                self.assertEqual(device.snapshot(), before, "a file changed or was left behind")

    def test_an_empty_root_is_refused_and_never_taken_for_the_default_device(self):
        state = self.scratch / "state"
        for arguments in (["--root", "", "status"], ["--reset", "--root", "", "status"]):
            finished = subprocess.run([SIMULATOR, *arguments], capture_output=True,
                                      env=dict(os.environ, XDG_STATE_HOME=str(state)))
            self.assertEqual(finished.returncode, 2)
            self.assertIn(b"empty", finished.stderr)
        self.assertFalse(state.exists())

    def test_set_writes_the_same_file_keeping_its_mode_owner_and_link(self):
        device = self.device()
        target = self.scratch / "elsewhere.plist"
        target.write_bytes(binary({"customtextEnabled": "Mine"}))
        target.chmod(0o600)
        device.file.symlink_to(target)
        self.assertEqual(run(["set kEnabled YES"], device).returncode, 0)
        self.assertTrue(device.file.is_symlink())
        self.assertEqual(stat.S_IMODE(target.stat().st_mode), 0o600)
        self.assertEqual(plistlib.loads(target.read_bytes()), {"customtextEnabled": "Mine", "kEnabled": True})
        fresh = self.device()
        self.assertEqual(run(["set kEnabled YES"], fresh, umask=0o077).returncode, 0)
        self.assertEqual(stat.S_IMODE(fresh.file.stat().st_mode), 0o600)

    def test_nothing_in_the_root_changes_unless_a_command_that_writes_ran(self):
        device = self.device()
        device.file.write_bytes(binary({"kEnabled": True, "k5Enabled": True}))
        before = device.snapshot(), sorted(path.name for path in device.root.rglob("*"))
        for commands in (["set bogus YES"], ["help"], ["call Foo bar"], ["frob"], ["status", "hooks", "pane"],
                         [f"post {definitions.NOTIFICATION}", "update"]):
            run(commands, device)
            self.assertEqual((device.snapshot(), sorted(path.name for path in device.root.rglob("*"))), before,
                             commands)

    def test_with_json_every_line_on_either_stream_is_one_json_object(self):
        device = self.device()
        device.file.write_bytes(binary({"kEnabled": True}))
        garbage = self.scratch / "garbage.dylib"
        garbage.write_bytes(bytes.fromhex("cffaedfe") + bytes(60))
        for arguments in (["--json", "--bogus"], ["--json", "--help"], ["--json", "--root", "/nonexistent", "status"],
                          ["--json", "--library", str(garbage), "status"],
                          ["--json", "--root", str(device.root), "help", "post a\xffb", "status", "frob"]):
            with self.subTest(arguments[1:3]):
                finished = subprocess.run([SIMULATOR, *[a.encode("utf-8", "surrogateescape") for a in arguments]],
                                          capture_output=True, timeout=60)
                lines = (finished.stdout + finished.stderr).splitlines()
                self.assertTrue(lines)
                for line in lines:
                    self.assertIsInstance(json.loads(line.decode("utf-8", "surrogateescape")), dict, line)


if __name__ == "__main__":
    unittest.main()
