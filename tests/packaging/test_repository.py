#!/usr/bin/env python3
"""The packages as a user meets them: Debian's apt reads the repository as a file: source for each
device architecture, dpkg installs each package into a scratch root whose status database holds
what it depends on, and every field read back from a built package agrees with what it holds."""
import os
import plistlib
import re
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

from packaging import build_device, packages
from tests.packaging import test_device

OUT = Path(os.environ.get("BRINDLEWICK_DEVICE_OUT", "build/device"))
REPOSITORY = OUT / "repository"
PACKAGE = build_device.IDENTIFIER
DEPENDENCIES = ["firmware", "mobilesubstrate", "preferenceloader"]


def layouts():
    for name, layout in packages.LAYOUTS.items():
        debs = list((REPOSITORY / "debs").glob(f"{PACKAGE}_*_{layout.architecture}.deb"))
        assert len(debs) == 1, debs
        yield name, layout, debs[0]


def status_database(architecture, firmware, leave_out=()):
    """A device's dpkg status: the system as the `firmware` package, and the loader and PreferenceLoader."""
    versions = {"firmware": firmware, "mobilesubstrate": "0.9.7000", "preferenceloader": "2.2.6"}
    return "\n".join(f"Package: {name}\nStatus: install ok installed\nVersion: {versions[name]}\n"
                     f"Architecture: {architecture}\nMaintainer: A Device <device@example.invalid>\n"
                     f"Description: {name}\n" for name in DEPENDENCIES if name not in leave_out)


def fields_of(text):
    return dict(re.findall(r"^([\w-]+): (.*)$", text, re.M))


class Apt(unittest.TestCase):
    def apt(self, architecture, firmware, *command, repository=REPOSITORY):
        """Runs an apt command with state, cache and sources of its own: the machine's apt is untouched."""
        home = Path(self.enterContext(tempfile.TemporaryDirectory()))
        for folder in ("etc/sources.list.d", "etc/preferences.d", "etc/apt.conf.d", "state/lists/partial",
                       "cache/archives/partial", "log"):
            (home / folder).mkdir(parents=True)
        (home / "status").write_text(status_database(architecture, firmware))
        (home / "etc/sources.list").write_text(f"deb [trusted=yes] file:{repository.resolve()} ./\n")
        (home / "apt.conf").write_text(
            f'Dir "{home}/"; Dir::State "{home}/state"; Dir::State::status "{home}/status";\n'
            f'Dir::Cache "{home}/cache"; Dir::Etc "{home}/etc"; Dir::Log "{home}/log";\n'
            f'APT::Architecture "{architecture}"; APT::Architectures {{ "{architecture}"; }};\n'
            'APT::Sandbox::User "root"; Debug::NoLocking "true";\n')
        environment = dict(os.environ, APT_CONFIG=str(home / "apt.conf"))
        results = []
        for words in [("apt-get", "update"), *command]:
            results.append(subprocess.run(words, env=environment, capture_output=True, text=True))
        return results

    def test_apt_reads_the_repository_and_fetches_the_package_for_each_architecture(self):
        # The build's own repository, and the one tools/repository makes to publish, with its pages.
        published = Path(self.enterContext(tempfile.TemporaryDirectory())) / "published"
        made = subprocess.run([Path(__file__).resolve().parents[2] / "tools" / "repository", "--base-url",
                               "https://example.invalid/repo", published, "--device-out", OUT],
                              capture_output=True, text=True)
        self.assertEqual(made.returncode, 0, made.stderr)
        for (name, layout, deb), repository in [(each, where) for where in (REPOSITORY, published)
                                                for each in layouts()]:
            architecture = layout.architecture
            update, show, fetch = self.apt(architecture, "16.5", ("apt-cache", "show", PACKAGE),
                                           ("apt-get", "install", "-y", "--download-only", PACKAGE),
                                           repository=repository)
            self.assertEqual(update.returncode, 0, update.stdout + update.stderr)
            self.assertNotRegex(update.stdout + update.stderr, r"(?m)^(Err|W|E):")
            stanzas = show.stdout.strip().split("\n\n")
            self.assertEqual(len(stanzas), 1, show.stdout)  # only the package for this architecture
            shown = fields_of(stanzas[0])
            self.assertEqual(shown["Architecture"], architecture)
            self.assertEqual(shown["Depends"], fields_of(subprocess.check_output(
                ["dpkg-deb", "-f", deb], text=True))["Depends"])
            self.assertEqual(fetch.returncode, 0, fetch.stdout + fetch.stderr)
            self.assertIn("Download complete", fetch.stdout)
            page = f"https://example.invalid/repo/depictions/{PACKAGE}/"
            if repository == published:
                self.assertEqual((shown["Depiction"], shown["SileoDepiction"], shown["Icon"], shown["Name"]),
                                 (page, page + "sileo.json", page + "icon.png", "Brindlewick"))
            else:
                self.assertNotIn("Depiction", shown)

    def test_apt_refuses_a_system_older_than_the_package_serves_and_a_damaged_package(self):
        rootless = packages.LAYOUTS["rootless"]
        _, install = self.apt(rootless.architecture, "14.8",
                              ("apt-get", "install", "-y", "--download-only", PACKAGE))
        self.assertNotEqual(install.returncode, 0)
        self.assertIn("Depends: firmware (>= 15.0) but 14.8 is", install.stdout)

        damaged = Path(self.enterContext(tempfile.TemporaryDirectory())) / "repository"
        subprocess.run(["cp", "-r", REPOSITORY, damaged], check=True)
        for deb in (damaged / "debs").iterdir():
            deb.write_bytes(deb.read_bytes()[:-1] + b"\0")
        _, fetch = self.apt(rootless.architecture, "16.5", ("apt-get", "install", "-y", "--download-only",
                                                              PACKAGE), repository=damaged)
        self.assertNotEqual(fetch.returncode, 0)
        self.assertIn("Hash Sum mismatch", fetch.stdout + fetch.stderr)


class Dpkg(unittest.TestCase):
    def install(self, deb, architecture, leave_out=()):
        root = Path(self.enterContext(tempfile.TemporaryDirectory()))
        database = root / "var/lib/dpkg"
        for folder in ("info", "updates", "triggers"):
            (database / folder).mkdir(parents=True)
        (database / "available").touch()
        (database / "status").write_text(status_database(architecture, "16.5", leave_out))
        for name in DEPENDENCIES:
            (database / "info" / f"{name}.list").touch()
        dpkg = ["dpkg", f"--root={root}", "--force-not-root", "--log=/dev/null"]
        subprocess.run([*dpkg, "--add-architecture", architecture], check=True)
        return root, subprocess.run([*dpkg, "--install", deb], capture_output=True, text=True)

    def test_each_package_installs_where_the_loader_and_preferenceloader_look(self):
        for name, layout, deb in layouts():
            root, run = self.install(deb, layout.architecture)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertIn(f"Setting up {PACKAGE}", run.stdout)
            libraries = root / (layout.prefix + packages.INSTALL_DIR).lstrip("/")
            panes = root / (layout.prefix + packages.PANE_DIR).lstrip("/")
            self.assertEqual((libraries / "Brindlewick.dylib").stat().st_mode & 0o777, 0o755)
            self.assertIn(b"com.apple.springboard", (libraries / "Brindlewick.plist").read_bytes())
            entry = plistlib.loads((panes / "Brindlewick.plist").read_bytes())["entry"]
            icon = Path(entry["icon"])
            # The sizes Settings draws a 29-point icon at, as UIImage finds them beside the name.
            for suffix, pixels in (("", 29), ("@2x", 58), ("@3x", 87)):
                png = (panes / f"{icon.stem}{suffix}{icon.suffix}").read_bytes()
                self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", png[16:24]), (pixels, pixels), f"{name} {suffix}")
            status = (root / "var/lib/dpkg/status").read_text()
            self.assertIn(f"Package: {PACKAGE}\nStatus: install ok installed", status)

    def test_a_missing_dependency_stops_dpkg_with_its_own_message(self):
        for name, layout, deb in layouts():
            _, run = self.install(deb, layout.architecture, leave_out=["preferenceloader"])
            self.assertNotEqual(run.returncode, 0, name)
            self.assertIn(f"{PACKAGE}:{layout.architecture} depends on preferenceloader", run.stderr)


class Fields(unittest.TestCase):
    def test_every_field_agrees_with_what_the_package_holds(self):
        for name, layout, deb in layouts():
            fields = fields_of(subprocess.check_output(["dpkg-deb", "-f", deb], text=True))
            files = Path(self.enterContext(tempfile.TemporaryDirectory()))
            subprocess.run(["dpkg-deb", "-x", deb, files], check=True)
            library = files / (layout.prefix + packages.INSTALL_DIR).lstrip("/") / "Brindlewick.dylib"
            archs = subprocess.check_output([build_device.LIPO, "-archs", library], text=True).split()
            lowest = [test_device.lowest_system(test_device.tool(test_device.OBJDUMP, "--macho", f"--arch={arch}",
                                                                 "--private-headers", library)) for arch in archs]
            self.assertNotIn(None, lowest, name)
            firmware = min(lowest, key=packages.version_key)
            self.assertEqual(fields["Depends"], f"firmware (>= {firmware}), mobilesubstrate, preferenceloader")
            # iphoneos-arm64 is the rootless jailbreaks' architecture: everything under /var/jb; roothide's
            # iphoneos-arm64e names its scheme, not the processor, and packs at the rootful paths.
            rootless = fields["Architecture"] == "iphoneos-arm64"
            self.assertEqual(fields["Architecture"], {"rootful": "iphoneos-arm", "rootless": "iphoneos-arm64",
                                                      "roothide": "iphoneos-arm64e"}[name])
            installed = [path for path in files.rglob("*")]
            self.assertTrue(all(str(path.relative_to(files)).startswith("var/jb") == rootless
                                for path in installed if path.is_file()), name)
            total = sum(path.stat().st_size for path in installed if path.is_file())
            self.assertTrue(total / 1024 <= int(fields["Installed-Size"]) <= total / 1024 + len(installed), name)
            self.assertEqual(fields["Package"], PACKAGE)
            self.assertEqual(fields["Section"], "Tweaks")
            for field in ("Name", "Version", "Maintainer", "Author"):
                self.assertTrue(fields.get(field), f"{name} lacks {field}")
            self.assertLessEqual(len(fields["Description"]), 80)  # the one line a list shows


if __name__ == "__main__":
    unittest.main()
