#!/usr/bin/env python3
"""The packages and their repository as a phone's programs meet them: Debian's apt fetches the
repository, signed with a key of the test's own, from 127.0.0.1, and refuses it changed or signed
by another key; tools/install has Debian's dpkg install each package into a phone's root as that
phone's dpkg would, and take it away again, the user's preference file staying."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from device_build import definitions, packages
from tests.device_build import test_device
from tests.support import published
from tools import phone

OUT = Path(os.environ.get("BRINDLEWICK_DEVICE_OUT", "build/device"))
REPOSITORY = OUT / "repository"
INSTALL = Path(__file__).resolve().parents[2] / "tools" / "install"
PACKAGE = definitions.IDENTIFIER


def package_of(layout, repository=REPOSITORY, name=PACKAGE):
    [deb] = (repository / "debs").glob(f"{name}_*_{layout.architecture}.deb")
    return deb


def files_under(folder):
    return {path.relative_to(folder): (path.read_bytes() if path.is_file() and not path.is_symlink() else None)
            for path in Path(folder).rglob("*")}


class Apt(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Path(tempfile.mkdtemp(prefix="brindlewick-apt-"))
        cls.signer = published.make_key(cls.scratch / "key")
        cls.stranger = published.make_key(cls.scratch / "stranger", "Someone else <else@example.invalid>")
        cls.served = []
        cls.published = cls.publish("repo")

    @classmethod
    def tearDownClass(cls):
        for served in cls.served:
            served.stop()
        cls.signer.stop()
        cls.stranger.stop()
        shutil.rmtree(cls.scratch)

    @classmethod
    def publish(cls, name, change=None):
        """The repository, published signed and served; `change` alters the folder before it is served."""
        folder = cls.scratch / name
        made = published.publish(folder, OUT, "http://127.0.0.1/", cls.signer)
        assert made.returncode == 0, made.stderr
        if change:
            change(folder)
        cls.served.append(published.Served(folder))
        return cls.served[-1].url

    def apt(self, url, architecture, *commands, key=None):
        key = key or self.scratch / "repo" / repository_key()
        return published.apt(self.scratch, url, key, architecture, *commands)

    def test_apt_trusts_the_signed_repository_and_downloads_each_package_for_each_architecture(self):
        release = dict(re.findall(r"^(\w+): (.+)$", (self.scratch / "repo" / "Release").read_text(), re.M))
        self.assertEqual(release["Architectures"], " ".join(published.architectures()))
        self.assertTrue(all(release.get(field) for field in ("Components", "Origin", "Description")))  # as Sileo asks
        self.assertRegex((self.scratch / "repo" / "InRelease").read_text(), r"^-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA512")
        for layout in packages.LAYOUTS.values():
            wanted = [f"{name}:{layout.architecture}" for name in (PACKAGE, f"{PACKAGE}.keyring")]
            downloads, (update, download) = self.apt(self.published, layout.architecture,
                                                     ("apt-get", "download", *wanted))
            self.assertEqual(update.returncode, 0, update.stdout + update.stderr)
            self.assertNotRegex(update.stdout + update.stderr, r"(?m)^(Err|W|E):")
            self.assertEqual(download.returncode, 0, download.stdout + download.stderr)
            self.assertEqual(sorted(path.name for path in downloads.iterdir()),
                             sorted(package_of(layout, self.scratch / "repo", name).name
                                    for name in (PACKAGE, f"{PACKAGE}.keyring")))
            self.assertEqual((downloads / package_of(layout).name).read_bytes(), package_of(layout).read_bytes())

    def test_apt_refuses_the_repository_changed_or_signed_by_another_key_and_says_why(self):
        def packages_changed(folder):
            index = bytearray((folder / "Packages").read_bytes())
            index[index.index(b"Version: ") + 9] ^= 1
            (folder / "Packages").write_bytes(index)
            for compressor in (["gzip", "-9nkf"], ["bzip2", "-9kf"], ["xz", "-9kf"]):
                subprocess.run([*compressor, "Packages"], cwd=folder, check=True)

        def release_changed(folder):
            for name in ("Release", "InRelease"):
                text = (folder / name).read_text()
                (folder / name).write_text(text.replace("Origin: Brindlewick", "Origin: Brindlewicked"))

        rootless = packages.LAYOUTS["rootless"].architecture
        foreign = self.scratch / "stranger.gpg"
        foreign.write_bytes(self.stranger.export())
        for url, key, said in [(self.publish("packages", packages_changed), None,
                                "Hash Sum mismatch|File has unexpected size"),
                               (self.publish("release", release_changed), None, "BADSIG"),
                               (self.published, foreign, "NO_PUBKEY")]:
            _, (update, download) = self.apt(url, rootless, ("apt-get", "download", f"{PACKAGE}:{rootless}"), key=key)
            said_by_apt = update.stdout + update.stderr + download.stdout + download.stderr
            self.assertNotEqual(download.returncode, 0, said)
            self.assertRegex(said_by_apt, said)

    def test_apt_refuses_a_system_older_than_the_package_serves(self):
        rootless = packages.LAYOUTS["rootless"].architecture
        _, (_, install) = published.apt(self.scratch, self.published, self.scratch / "repo" / repository_key(),
                                        rootless, ("apt-get", "install", "-y", "--download-only",
                                                   f"{PACKAGE}:{rootless}"), firmware="14.8")
        self.assertNotEqual(install.returncode, 0)
        self.assertIn("Depends: firmware:iphoneos-arm64 (>= 15.0) but 14.8 is", install.stdout)

    def test_without_a_key_it_publishes_unsigned_and_says_so(self):
        made = published.publish(self.scratch / "unsigned", OUT, "http://127.0.0.1/")
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertIn("published unsigned", made.stderr)
        names = {path.name for path in (self.scratch / "unsigned").iterdir()}
        self.assertLessEqual({"Release", "CydiaIcon.png", "CydiaIcon@2x.png", "CydiaIcon@3x.png"}, names)
        self.assertFalse(names & {"InRelease", "Release.gpg", repository_key()})


def repository_key():
    return f"{PACKAGE}.gpg"


class Install(unittest.TestCase):
    def setUp(self):
        self.scratch = Path(self.enterContext(tempfile.TemporaryDirectory()))

    def phone(self, name="phone"):
        root = self.scratch / name
        root.mkdir()
        return root, phone.with_preferences(root, {"kEnabled": True, "customtextEnabled": "Mine"})

    def install(self, *arguments):
        return subprocess.run([INSTALL, *map(str, arguments)], capture_output=True, text=True)

    def test_each_package_installs_where_its_jailbreak_puts_it_and_goes_keeping_the_preferences(self):
        for name, layout in packages.LAYOUTS.items():
            root, preferences = self.phone(name)
            run = self.install(root, package_of(layout), "--ios", "16.6")
            self.assertEqual(run.returncode, 0, run.stderr)
            jailbroken = phone.jailbreak_of(root)
            self.assertEqual(jailbroken.scheme, name)
            self.assertEqual(jailbroken.dpkg("--verify", PACKAGE).stdout, "")  # every file as md5sums says
            tweaks = jailbroken.files / (layout.prefix + packages.INSTALL_DIR).lstrip("/")
            self.assertEqual((tweaks / "Brindlewick.dylib").stat().st_mode & 0o777, 0o755)
            self.assertIn(b"com.apple.springboard", (tweaks / "Brindlewick.plist").read_bytes())
            self.assertTrue((jailbroken.files / (layout.prefix + packages.PANE_DIR).lstrip("/") / "Brindlewick@3x.png")
                            .is_file())
            self.assertEqual((tweaks / ".jbroot").resolve() if name == "roothide" else None,
                             jailbroken.home.resolve() if name == "roothide" else None)
            # A newer version over it, then its removal: the preference file stays through both.
            newer = self.scratch / f"newer-{name}.deb"
            with tempfile.TemporaryDirectory() as stage:
                subprocess.run(["dpkg-deb", "-R", package_of(layout), stage], check=True)
                control = Path(stage, "DEBIAN", "control")
                control.write_text(re.sub(r"^Version: .*$", "Version: 99.0.0", control.read_text(), flags=re.M))
                subprocess.run(["dpkg-deb", "--root-owner-group", "-b", stage, newer], check=True, capture_output=True)
            kept = preferences.read_bytes()
            self.assertEqual(self.install(root, newer).returncode, 0)
            self.assertIn("Version: 99.0.0", jailbroken.dpkg("--status", PACKAGE).stdout)
            self.assertEqual(self.install("--remove", root).returncode, 0)
            self.assertFalse((tweaks / "Brindlewick.dylib").exists(), name)
            self.assertFalse((jailbroken.files / (layout.prefix + packages.PANE_DIR).lstrip("/")).exists(), name)
            self.assertEqual(preferences.read_bytes(), kept)

    def test_its_own_errors_are_named_and_leave_the_root_as_it_was(self):
        root, _ = self.phone()
        rootless, rootful = (package_of(packages.LAYOUTS[name]) for name in ("rootless", "rootful"))
        self.assertEqual(self.install(root, rootless, "--ios", "16.6").returncode, 0)
        not_a_phone = self.scratch / "folder"
        not_a_phone.mkdir()
        (self.scratch / "text.deb").write_text("no package")
        for arguments, said in [((root, self.scratch / "none.deb"), "is no Debian package"),
                                ((root, self.scratch / "text.deb"), "is no Debian package"),
                                ((root, rootful), "is a rootful package, and the phone at"),
                                ((not_a_phone, rootless, "--ios", "16.6"), "is not a phone's root")]:
            before = files_under(arguments[0])
            run = self.install(*arguments)
            self.assertEqual(run.returncode, 2, arguments)
            self.assertIn(said, run.stderr)
            self.assertEqual(files_under(arguments[0]), before)

    def test_each_package_reads_clean_and_says_what_it_holds(self):
        for name, layout in packages.LAYOUTS.items():
            deb = package_of(layout)
            fields = dict(re.findall(r"^([\w-]+): (.*)$", subprocess.check_output(["dpkg-deb", "-f", deb], text=True),
                                     re.M))
            lowest = min(test_device.EXPECTED[name][0].values(), key=packages.version_key)
            self.assertEqual(fields["Depends"], f"firmware (>= {lowest}), mobilesubstrate, preferenceloader")
            self.assertEqual((fields["Package"], fields["Architecture"], fields["Section"]),
                             (PACKAGE, layout.architecture, "Tweaks"))
            self.assertTrue(all(fields.get(field) for field in ("Name", "Version", "Maintainer", "Author")), name)
            self.assertLessEqual(len(fields["Description"]), 80)  # the one line a list shows
            for option in ("--info", "--contents"):
                run = subprocess.run(["dpkg-deb", option, deb], capture_output=True, text=True)
                self.assertEqual((run.returncode, run.stderr), (0, ""), option)
            listed = subprocess.run(["dpkg-deb", "--contents", deb], capture_output=True, text=True).stdout
            self.assertTrue(all(" root/root " in line for line in listed.splitlines()), layout.name)
            with tempfile.TemporaryDirectory() as files:
                subprocess.run(["dpkg-deb", "-x", deb, files], check=True)
                size = sum(-(-path.stat().st_size // 1024) if path.is_file() else 1 for path in Path(files).rglob("*"))
            self.assertEqual(int(fields["Installed-Size"]), size, name)


if __name__ == "__main__":
    unittest.main()
