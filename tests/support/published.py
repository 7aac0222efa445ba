"""The repository as a phone meets it, for the tests that take the road from it: published by
tools/repository, signed with a key of the test's own (made in a scratch GnuPG home the test
removes), served by a web server on 127.0.0.1 alone, and read by Debian's own apt with state of
its own, the key as signed-by and the phone's architecture as a foreign one."""
import http.server
import os
import subprocess
import tempfile
import threading
from pathlib import Path

from device_build import packages
from device_build import repository
from tools import phone

ROOT = Path(__file__).resolve().parents[2]


class Served:
    """A folder on 127.0.0.1, every request it answered logged with its status."""

    def __init__(self, folder):
        self.requests = []
        served = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *arguments, **keywords):
                super().__init__(*arguments, directory=str(folder), **keywords)

            def log_request(self, code="-", size="-"):
                served.requests.append((self.path, int(code)))

            def log_message(self, *arguments):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def make_key(home, name="Brindlewick tests <tests@moxfathom.invalid>"):
    """A signing key of the test's own, in a new GnuPG home; stop() it when done."""
    return repository.Signer.make(home, name)


def publish(output, device_out, base, signer=None):
    """tools/repository, as a publisher runs it: the run, finished."""
    arguments = [ROOT / "tools" / "repository", "--base-url", base, output, "--device-out", device_out]
    if signer:
        arguments += ["--gnupg-home", signer.home, "--key", signer.key]
    return subprocess.run(arguments, capture_output=True, text=True)


def apt(scratch, url, key, architecture, *commands, firmware="16.6"):
    """Debian's apt with state, cache and sources of its own, the machine's apt untouched: the
    repository at `url` with `key` (a file) as signed-by, and a phone of `architecture`, as a foreign
    one, on `firmware`. Runs `apt-get update`, then each command in a folder of its own, where a
    download lands; returns that folder and every run."""
    home = Path(tempfile.mkdtemp(dir=scratch))
    for folder in ("etc/sources.list.d", "etc/preferences.d", "etc/apt.conf.d", "state/lists/partial",
                   "cache/archives/partial", "log", "downloads"):
        (home / folder).mkdir(parents=True)
    (home / "status").write_text(phone.status_database(architecture, firmware))
    (home / "etc/sources.list").write_text(f"deb [signed-by={key}] {url} ./\n")
    native = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True).stdout.strip()
    (home / "apt.conf").write_text(
        f'Dir "{home}/"; Dir::State "{home}/state"; Dir::State::status "{home}/status";\n'
        f'Dir::Cache "{home}/cache"; Dir::Etc "{home}/etc"; Dir::Log "{home}/log";\n'
        f'APT::Architecture "{native}"; APT::Architectures {{ "{native}"; "{architecture}"; }};\n'
        'APT::Sandbox::User "root"; Debug::NoLocking "true"; Acquire::Retries "0";\n')
    environment = dict(os.environ, APT_CONFIG=str(home / "apt.conf"))
    return home / "downloads", [subprocess.run(words, env=environment, capture_output=True, text=True,
                                               cwd=home / "downloads") for words in [("apt-get", "update"), *commands]]


def architectures():
    return [layout.architecture for layout in packages.LAYOUTS.values()]
