"""Makes a complete static repository, ready to publish at URL (GitHub Pages, any static host): the
device build's packages under debs/, their index with each package's page, icon and name, the
Release file, the depictions under depictions/com.moxfathom.brindlewick/, and the repository's
own icon, CydiaIcon.png.

  tools/repository --base-url URL OUTPUT [--device-out DIR]

URL must be an absolute http or https URL. OUTPUT is made afresh, and must not be a folder of the
repository's own sources.
"""
import argparse
import sys
from pathlib import Path
from urllib.parse import urlparse

ROOT = Path(__file__).resolve().parent.parent
from packaging import build_device
from packaging import packages
from packaging import definitions
from packaging import depiction
from packaging import repository
from packaging.commands import BuildError, run

BAD_INPUT = 2
DEFAULT_DEVICE_OUT = ROOT / "build" / "default" / "device"
BUILD = ["cmake", "--build", "--preset", "default", "--target", "device_library"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base-url", required=True)
    parser.add_argument("output", type=Path)
    parser.add_argument("--device-out", type=Path, default=DEFAULT_DEVICE_OUT)
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
    version = depiction.changelog()[0][0]
    debs = sorted(arguments.device_out.glob(f"{definitions.IDENTIFIER}_{version}_*.deb"))
    if not debs and arguments.device_out == DEFAULT_DEVICE_OUT:
        # The default build makes the packages with its device library; tools/run-example does not.
        print(f"repository: making the packages first: {' '.join(BUILD)}", file=sys.stderr)
        try:
            run("cmake", "--preset", "default", cwd=ROOT)
            run(*BUILD, cwd=ROOT)
        except BuildError as error:
            print(f"repository: {error}", file=sys.stderr)
            return 1
        debs = sorted(arguments.device_out.glob(f"{definitions.IDENTIFIER}_{version}_*.deb"))
    if not debs:
        print(f"repository: no {version} packages in {arguments.device_out}; make them with "
              f"{' '.join(BUILD)} (into build/default/device), or the device preset", file=sys.stderr)
        return 1
    base = arguments.base_url.rstrip("/") + "/"
    page = f"{base}depictions/{definitions.IDENTIFIER}/"
    try:
        repository.write(output, debs, [layout.architecture for layout in packages.LAYOUTS.values()],
                         {"Depiction": page, "SileoDepiction": f"{page}sileo.json", "Icon": f"{page}icon.png"})
        depiction.write(output / "depictions" / definitions.IDENTIFIER, page)
        run("rsvg-convert", "-w", "120", "-h", "120", build_device.ICON, "-o", output / "CydiaIcon.png")
    except BuildError as error:
        print(f"repository: {error}", file=sys.stderr)
        return 1
    print(f"repository: {output}, for {base}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
