#!/usr/bin/env python3
"""The simulator as a person meets it: the default device is their own copy of the example, help
answers, a terminal gets aligned lines where a pipe gets one, and the status bar drawn as a picture,
read back by OCR and compared pixel by pixel with the host's own."""
import json
import os
import plistlib
import pty
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

from PIL import Image, ImageChops

from device_build import definitions
from tools import phone

REPOSITORY = Path(__file__).resolve().parents[2]
SIMULATOR = os.environ["BRINDLEWICK_SIMULATOR"]
EXAMPLE = REPOSITORY / "examples" / "device"
BAD_INPUT = 2


def simulate(*arguments, home, stdout=subprocess.PIPE, **environment):
    """The simulator as run from a shell whose home is `home`."""
    env = {k: v for k, v in os.environ.items() if k != "XDG_STATE_HOME"}
    env.update(HOME=str(home), **environment)
    return subprocess.run([SIMULATOR, *arguments], env=env, stdout=stdout, stderr=subprocess.PIPE,
                          text=True, timeout=120)


def files_under(folder):
    return {path.relative_to(folder): path.read_bytes() for path in folder.rglob("*") if path.is_file()}


def device_with(root, settings, binary=True):
    """A phone whose preference file holds `settings`, in either encoding, written anew."""
    root = Path(root)
    if not (root / "User").is_symlink():
        root.mkdir(exist_ok=True)
        phone.lay_out(root)
    path = root / phone.PREFERENCES
    path.write_bytes(plistlib.dumps(settings, fmt=plistlib.FMT_BINARY if binary else plistlib.FMT_XML))
    return path


class Case(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.scratch = Path(scratch.name)
        self.home = self.scratch / "home"
        self.home.mkdir()

    def run_ok(self, *arguments, **environment):
        run = simulate(*arguments, home=self.home, **environment)
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout


class DefaultDevice(Case):
    def test_edits_go_to_the_users_copy_and_the_bundled_example_stays_as_it_is(self):
        shipped = files_under(EXAMPLE / "User")
        first = self.run_ok("status")
        self.assertIn('"Brindlewick"', first)  # the example's own custom text
        self.run_ok("set kEnabled NO")
        self.assertNotEqual(self.run_ok("status"), first)  # kept from one run to the next
        self.assertEqual(files_under(EXAMPLE / "User"), shipped)
        copy = self.home / ".local/state/brindlewick/device/User"
        self.assertNotEqual(files_under(copy), shipped)

        self.assertEqual(self.run_ok("--reset", "status"), first)
        self.assertEqual(files_under(copy), shipped)
        self.assertEqual(self.run_ok("--root", str(EXAMPLE), "status"), first)

        state = self.scratch / "state"
        self.run_ok("set k1Enabled YES", XDG_STATE_HOME=str(state))
        self.assertNotEqual(files_under(state / "brindlewick/device/User"), shipped)
        self.assertEqual(files_under(EXAMPLE / "User"), shipped)

        refused = simulate("--reset", "--root", str(self.scratch), "status", home=self.home)
        self.assertEqual((refused.returncode, refused.stdout), (BAD_INPUT, ""))
        self.assertIn("--reset", refused.stderr)


class OldDevice(Case):
    def test_a_copy_made_before_user_became_a_link_keeps_its_file_under_var_mobile(self):
        copy = self.home / ".local/state/brindlewick/device"
        (copy / "User/Library/Preferences").mkdir(parents=True)
        (copy / phone.PREFERENCES.replace("var/mobile", "User")).write_bytes(
            plistlib.dumps({"kEnabled": True, "customtextEnabled": "Old"}))
        self.assertIn('carrier "Old"', self.run_ok("status"))
        self.assertTrue((copy / "User").is_symlink())
        self.assertEqual(plistlib.loads((copy / phone.PREFERENCES).read_bytes())["customtextEnabled"], "Old")


class Help(Case):
    def test_help_says_what_each_command_does_and_the_usage_how_to_give_them(self):
        self.assertEqual(self.run_ok("help status"), "status: the status bar as the host draws it now\n")
        self.assertEqual(self.run_ok("help post"), "post NAME: posts a Darwin notification to every process on "
                         "the device; e.g. post com.moxfathom.brindlewick.prefschanged\n")
        self.assertEqual(self.run_ok("help unset"), "unset KEY: removes a setting as the Settings pane does, and "
                         "announces it; e.g. unset kEnabled; KEY is one of kEnabled, customtextEnabled, k1Enabled, "
                         "k4Enabled, k2Enabled, customtext2Enabled, k3Enabled, k5Enabled\n")
        listed = self.run_ok("help").strip().split(" | ")  # one line through a pipe
        self.assertIn("set KEY VALUE: writes a setting as the Settings pane does, and announces it; "
                      'e.g. set customtextEnabled "Moxfathom"', listed)
        usage = self.run_ok("--help")
        self.assertIn("Each COMMAND is one shell argument", usage)
        self.assertIn("brindlewick-sim 'set customtextEnabled \"Moxfathom\"' 'call SBTelephonyManager", usage)
        unknown = simulate("help frob", home=self.home)
        self.assertEqual(unknown.returncode, BAD_INPUT)
        self.assertIn("no command frob", unknown.stderr)

    def test_arguments_split_by_the_shell_are_refused_with_the_quoted_form(self):
        preferences = device_with(self.scratch / "root", {"kEnabled": True})
        before = preferences.read_bytes()
        root = ["--root", str(self.scratch / "root")]
        for split, quoted in [(["set", "kEnabled", "NO"], "'set kEnabled NO'"),
                              (["status", "post", definitions.NOTIFICATION], f"'post {definitions.NOTIFICATION}'"),
                              (["set", "customtextEnabled", "My text"], "'set customtextEnabled \"My text\"'")]:
            run = simulate(*root, *split, home=self.home)
            self.assertEqual((run.returncode, run.stdout), (BAD_INPUT, ""), split)
            self.assertIn(quoted, run.stderr)
        self.assertEqual(preferences.read_bytes(), before)


class Package(Case):
    def answer(self, release, *arguments):
        run = simulate("--no-library", "--json", "--ios", release, *arguments, home=self.home)
        return run.returncode, json.loads(run.stdout) if run.stdout else json.loads(run.stderr)["error"]

    def packages(self, answer):
        return {p["processors"]: [(x["layout"], x["slice"]) for x in p["packages"]] for p in answer["processors"]}

    def test_what_to_install_for_a_phone_where_to_look_and_what_it_shows_in_your_words(self):
        status, answer = self.answer("12.5.7", 'package "iPhone 6"')
        self.assertEqual((status, self.packages(answer)), (0, {"iPhone 6 (A8)": [("rootful", "arm64")]}))
        self.assertEqual(answer["where"], "in the status bar, at its left")

        status, answer = self.answer("16.6", 'package "iPhone XS"')
        self.assertEqual(self.packages(answer), {"iPhone XS (A12)": [("rootless", "arm64e"), ("roothide", "arm64e")]})
        self.assertTrue(answer["where"].startswith("on the lock screen and in Control Center"))
        # The bundled example's own texts, not the measurement's; the hidden name in plain words.
        shows = {feature["feature"]: feature["shows"] for feature in answer["features"]}
        self.assertEqual([shows[name] for name in ("Custom carrier text", "Hide carrier name", "Custom SIM text")],
                         ['"Brindlewick"', "no carrier name", '"No SIM? No problem"'])
        # The same phone through --phone, named as a person types it.
        self.assertEqual(self.answer("16.6", "--phone", "iphone xs", "package"), (0, answer))

        # Only the chips of phones that ran the release; --arch picks one, with the built library.
        status, answer = self.answer("16.6", "package")
        self.assertEqual(list(self.packages(answer)), ["A11", "A12 to A16"])
        self.assertIn(("rootful", "arm64"), self.packages(answer)["A11"])  # palera1n's rootful mode
        run = simulate("--ios", "14.8", "--arch", "arm64e", "--json", "package", home=self.home)
        self.assertEqual(list(self.packages(json.loads(run.stdout))), ["A12 to A14"])

    def test_a_phone_no_package_serves_is_told_so_first_and_a_wrong_phone_is_refused(self):
        for release, phone, why in [("13.5", "iPhone XS", "its loader cannot take the package's arm64e slice"),
                                    ("17.5", "iPhone 15 Pro", "no jailbreak known here runs there")]:
            status, answer = self.answer(release, f'package "{phone}"')
            self.assertEqual(status, 0)
            self.assertTrue(answer["notServed"].startswith(f"no package serves the {phone} on iOS {release}"))
            self.assertIn(why, answer["notServed"])
            self.assertEqual(answer["features"], [])
        for arguments, refusal in [(["18.1", 'package "iPhone 8"'], "iPhone 8 runs iOS 11.0 to 16.7.16, not 18.1"),
                                   (["16.6", "--phone", "iPhone XS", "--arch", "arm64", "status"],
                                    "--arch arm64 is not the slice the iPhone XS's A12 takes, arm64e"),
                                   (["16.6", "--phone", "iPhone 8", 'package "iPhone XS"'],
                                    "package asks of the iPhone XS, and --phone names the iPhone 8"),
                                   (["16.6", 'package "iPhone SE"'], '"iPhone SE (2nd generation)"')]:
            status, refused = self.answer(*arguments)
            self.assertEqual(status, BAD_INPUT, arguments)
            self.assertIn(refusal, refused)


class Terminal(Case):
    def on_terminal(self, *arguments):
        leader, follower = pty.openpty()
        run = simulate(*arguments, home=self.home, stdout=follower)
        os.close(follower)
        output = b""
        while True:
            try:
                chunk = os.read(leader, 65536)
            except OSError:  # the terminal's other end has closed
                break
            if not chunk:
                break
            output += chunk
        os.close(leader)
        self.assertEqual(run.returncode, 0, run.stderr)
        return output.decode().replace("\r\n", "\n").splitlines()

    def test_a_terminal_gets_aligned_lines_and_a_pipe_or_json_one_line(self):
        for command in ["status", "hooks", "pane"]:
            piped = self.run_ok(command).splitlines()
            self.assertEqual(len(piped), 1, command)
            shown = self.on_terminal(command)
            self.assertGreater(len(shown), 3, command)
            # The last column starts at the same place on every line.
            starts = {re.search(r"\S+( \S+)*$", line.rstrip()).start() for line in shown}
            self.assertEqual(len(starts), 1, "\n".join(shown))
            if command == "status":
                self.assertEqual([" ".join(line.split()) for line in shown], piped[0].split(" | "))
            as_json = self.on_terminal("--json", command)
            self.assertEqual(len(as_json), 1)
            self.assertEqual(json.loads(as_json[0])["command"], command)


class Picture(Case):
    def draw(self, root, *options):
        path = self.scratch / f"picture-{len(list(self.scratch.glob('*.png')))}.png"
        self.run_ok("--root", str(root), "--interface", "en0=192.0.2.7", *options, f"picture {path}")
        return Image.open(path).convert("RGB")

    def read(self, picture):
        path = self.scratch / "read.png"
        picture.save(path)
        text = subprocess.run(["tesseract", str(path), "-"], capture_output=True, text=True, check=True).stdout
        return "".join(text.split())

    def test_ocr_reads_what_stands_in_the_carriers_place_and_a_long_name_comes_back_cut(self):
        root = self.scratch / "root"
        texts = {"kEnabled": True, "customtextEnabled": "Moxfathom", "k2Enabled": True,
                 "customtext2Enabled": "Roaming abroad"}
        device_with(root, texts)
        shown = self.read(self.draw(root))
        self.assertIn("Moxfathom", shown)
        self.assertIn("9:41", shown)
        self.assertNotIn("Roaming", shown)  # a phone shows the SIM text only with no usable SIM
        self.assertIn("Roamingabroad", self.read(self.draw(root, "--sim", "absent")))
        self.assertIn("SIMLocked", self.read(self.draw(root, "--sim", "locked", "--no-library")))

        device_with(root, dict(texts, customtextEnabled="Moxfathom Mobile Telecommunications International"))
        shown = self.read(self.draw(root))
        self.assertIn("MoxfathomMo", shown)
        self.assertNotIn("Telecommunications", shown)

        device_with(root, {"k3Enabled": True}, binary=False)
        self.assertIn("NoService", self.read(self.draw(root)))
        self.assertNotIn("NoService", self.read(self.draw(root, "--no-library")))

    def test_a_phone_with_a_notch_or_the_island_shows_the_carrier_only_on_its_lock_screen_bar(self):
        root = self.scratch / "root"
        device_with(root, {"kEnabled": True, "customtextEnabled": "Moxfathom", "k5Enabled": True})
        # Each phone's width and scale, and how much of it lies beside the notch or the island.
        for phone, release, points, scale, ear in [("iPhone XS", "16.6", 375, 3, 0.21),
                                                   ("iPhone 14 Pro", "17.0", 393, 3, 0.33)]:
            def read(picture, top, bottom):  # the left and the right of a bar
                width, height = picture.width, picture.height
                return [self.read(picture.crop((left, int(height * top), right, int(height * bottom))))
                        for left, right in [(0, int(width * ear)), (int(width * (1 - ear)), width)]]
            picture = self.draw(root, "--phone", phone, "--ios", release)
            self.assertEqual(picture.width, points * scale, phone)
            left, right = read(picture, 0, 0.4)  # over apps: the time, and no carrier anywhere
            self.assertIn("9:41", left)
            self.assertNotIn("Moxfathom", left + right)
            left, right = read(picture, 0.4, 1)  # the lock screen and Control Center: a row for each SIM
            self.assertIn("Lockscreen", left)
            self.assertEqual(left.count("Moxfathom"), 2, left)
            no_sim = self.draw(root, "--phone", phone, "--ios", release, "--sim", "absent", "--no-library")
            self.assertIn("NoSIM", read(no_sim, 0.4, 1)[0])

    def test_every_glyph_of_a_name_has_a_font(self):
        root = self.scratch / "root"
        device_with(root, {"kEnabled": True, "customtextEnabled": "\U0001F4F6 \u65e5\u672c\u8a9e"})
        run = simulate("--root", str(root), f"picture {self.scratch / 'glyphs.png'}", home=self.home)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertNotIn("no font here draws", run.stderr)

    def test_the_library_changes_the_picture_where_and_only_where_the_settings_say(self):
        # In points: the carrier's place and Wi-Fi left of the centred time, the battery right of it.
        regions = {"left": (0, 160), "time": (160, 215), "right": (215, 375)}
        carrier = {"kEnabled": True, "customtextEnabled": "Moxfathom"}
        sim_text = {"k2Enabled": True, "customtext2Enabled": "Roaming"}
        cases = [({"kEnabled": False, "k2Enabled": False, "customtextEnabled": "unused"}, [], set()),
                 (carrier, [], {"left"}), ({"k1Enabled": True}, [], {"left"}), ({"k4Enabled": True}, [], {"left"}),
                 (sim_text, [], set()), (sim_text, ["--sim", "absent"], {"left"}), ({"k3Enabled": True}, [], {"left"}),
                 ({"k5Enabled": True}, [], {"left"}), (dict(carrier, **sim_text), ["--sim", "locked"], {"left"})]
        for number, (settings, options, where) in enumerate(cases):
            root = self.scratch / f"root-{number}"
            device_with(root, settings, binary=number % 2 == 0)
            with_library, without = self.draw(root, *options), self.draw(root, "--no-library", *options)
            self.assertEqual(with_library.size, (375 * 2, 20 * 2))
            changed = set()
            for name, (left, right) in regions.items():
                box = (left * 2, 0, right * 2, 20 * 2)
                if ImageChops.difference(with_library.crop(box), without.crop(box)).getbbox():
                    changed.add(name)
            self.assertEqual(changed, where, (settings, options))

    def test_a_picture_that_cannot_be_written_is_reported_and_leaves_what_was_there(self):
        taken = self.scratch / "taken.png"
        taken.mkdir()
        run = simulate(f"picture {taken}", home=self.home)
        self.assertEqual((run.returncode, run.stdout), (BAD_INPUT, ""))
        self.assertIn(f"cannot write the picture to {taken}", run.stderr)
        self.assertTrue(taken.is_dir())
        self.assertEqual([path.name for path in self.scratch.iterdir()], ["home", "taken.png"])

    def test_the_readmes_pictures_are_those_the_simulator_draws_now(self):
        out = self.scratch / "pictures"
        subprocess.run([REPOSITORY / "tools" / "pictures", out], check=True, capture_output=True,
                       env=dict(os.environ, BRINDLEWICK_SIMULATOR=SIMULATOR))
        names = sorted(path.name for path in out.glob("*.png"))
        self.assertEqual(names, sorted(path.name for path in (REPOSITORY / "docs").glob("*.png")))
        for name in names:
            kept = Image.open(REPOSITORY / "docs" / name).convert("RGB")
            drawn = Image.open(out / name).convert("RGB")
            self.assertIsNone(ImageChops.difference(kept, drawn).getbbox(),
                              f"docs/{name} is stale: run tools/pictures docs")


if __name__ == "__main__":
    unittest.main()
