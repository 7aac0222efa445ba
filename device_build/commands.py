"""Running the build's tools: a tool that fails stops the build, naming its command and output."""
import subprocess


class BuildError(Exception):
    pass


def run(*command, cwd=None):
    result = subprocess.run([str(part) for part in command], cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        raise BuildError(f"{' '.join(map(str, command))}\n{result.stdout}{result.stderr}")
    return result.stdout
