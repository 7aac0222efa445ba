"""Makes a complete static repository, ready to publish at URL (GitHub Pages, any static host): the
device build's packages under debs/, their index with each package's page, icon and name, the
Release file, signed with your key where you name one, with the key and a package that installs it,
the depictions under depictions/com.moxfathom.brindlewick/, and the repository's icon.

  tools/repository --base-url URL [--gnupg-home DIR [--key KEY]] OUTPUT [--device-out DIR]

URL must be an absolute http or https URL. OUTPUT is made afresh, and must not be a folder of the
repository's own sources. DIR is the GnuPG home that holds your secret key (KEY: its fingerprint or
user id, where the home holds several); without it the repository is published unsigned.
"""
import argparse
import sys
from pathlib import Path
from urllib.parse import urlparse

from device_build import definitions
from device_build import depiction
from device_build import repository
from device_build.commands import BuildError, run
from tools import build_paths

ROOT = build_paths.ROOT
BAD_INPUT = 2
DEFAULT_DEVICE_OUT = build_paths.DEVICE_OUT
BUILD = ["cmake", "--build", "--preset", "default", "--target", "device_library"]


def packages_in(device_out):
    version = depiction.changelog()[0][0]
    return version, sorted(device_out.glob(f"{definitions.IDENTIFIER}_{version}_*.deb"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base-url", required=True)
    parser.add_argument("output", type=Path)
    parser.add_argument("--device-out", type=Path, default=DEFAULT_DEVICE_OUT)
    parser.add_argument("--gnupg-home", type=Path, help="the GnuPG home holding the key to sign with")
    parser.add_argument("--key", help="which secret key of that home (fingerprint or user id)")
    arguments = parser.parse_args()
    url = urlparse(arguments.base_url)
    if url.scheme not in ("http", "https") or not url.netloc or url.query or url.fragment:
        print(f"repository: {arguments.base_url} is not an absolute http(s) URL", file=sys.stderr)
        return BAD_INPUT
    output = arguments.output.resolve()
    if output == ROOT or ROOT in output.parents and not output.is_relative_to(ROOT / "build"):
        print(f"repository: {output} is inside the sources; name a folder elsewhere or under build/",
              file=sys.stderr)
        return BAD_INPUT
    if arguments.key and not arguments.gnupg_home:
        print("repository: --key names a key of the GnuPG home --gnupg-home gives", file=sys.stderr)
        return BAD_INPUT
    try:
        signer = repository.Signer(arguments.gnupg_home, arguments.key) if arguments.gnupg_home else None
    except BuildError as error:
        print(f"repository: cannot sign: {error}", file=sys.stderr)
        return BAD_INPUT
    version, debs = packages_in(arguments.device_out)
    if not debs and arguments.device_out == DEFAULT_DEVICE_OUT:
        # The default build makes the packages with its device library; tools/run-example does not.
        print(f"repository: making the packages first: {' '.join(BUILD)}", file=sys.stderr)
        try:
            run("cmake", "--preset", "default", cwd=ROOT)
            run(*BUILD, cwd=ROOT)
        except BuildError as error:
            print(f"repository: {error}", file=sys.stderr)
            return 1
        version, debs = packages_in(arguments.device_out)
    if not debs:
        print(f"repository: no {version} packages in {arguments.device_out}; make them with "
              f"{' '.join(BUILD)} (into build/default/device), or the device preset", file=sys.stderr)
        return 1
    base = arguments.base_url.rstrip("/") + "/"
    try:
        repository.write(output, debs, base, signer)
    except BuildError as error:
        print(f"repository: {error}", file=sys.stderr)
        return 1
    finally:
        if signer:
            signer.stop()
    if not signer:
        print("repository: published unsigned: package managers take it as an unsigned source, and apt only "
              "with [trusted=yes]; give --gnupg-home to sign it", file=sys.stderr)
    print(f"repository: {output}, for {base}" + (f", signed by {signer.key}" if signer else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
