"""Shared fixtures of the end-to-end tests.

The tests run against the executable of one build, named by the environment
that CTest sets (ORVEL_VERIFIER, ORVEL_PLATFORM, ...). The Windows executable
runs under Wine; its standard output ends lines in CR LF, which is folded to LF
before comparing (one test checks the CR LF itself)."""

import contextlib
import fcntl
import os
import pathlib
import shutil
import subprocess
from dataclasses import dataclass

import pytest

PLATFORM = os.environ.get("ORVEL_PLATFORM", "linux")
IS_WINDOWS = PLATFORM == "windows"
BINARY_DIR = pathlib.Path(os.environ.get("ORVEL_BINARY_DIR", "."))
PLUGIN_DIR = pathlib.Path(os.environ.get("ORVEL_PLUGIN_DIR", BINARY_DIR / "tests" / "plugins"))
SAMPLE_DIR = pathlib.Path(os.environ.get("ORVEL_SAMPLE_DIR", BINARY_DIR / "samples"))
TOOLS_DIR = pathlib.Path(os.environ.get("ORVEL_TOOLS_DIR", BINARY_DIR / "tools"))
LIBRARY_SUFFIX = ".dll" if IS_WINDOWS else ".so"
WINE_RUN = os.environ.get("ORVEL_WINE_RUN", "")
TIMEOUT_SECONDS = 120


def wine_prefix() -> pathlib.Path:
    default = pathlib.Path(os.environ.get("XDG_CACHE_HOME", pathlib.Path.home() / ".cache")) / "orvel-wine"
    return pathlib.Path(os.environ.get("WINEPREFIX", default))


def native_path(path) -> str:
    """The path as the executable under test must be given it."""
    path = str(path)
    if IS_WINDOWS and path.startswith("/"):
        return "Z:" + path.replace("/", "\\")
    return path


@dataclass
class Result:
    stdout: str  # CR LF folded to LF
    stderr: str  # CR LF folded to LF
    raw_stdout: bytes
    returncode: int  # as the shell sees it (0..255)

    @property
    def status(self) -> int:
        """The exit status as a signed 8-bit value, so -1 reads as -1."""
        return self.returncode - 256 if self.returncode > 127 else self.returncode

    @property
    def lines(self):
        return self.stdout.split("\n")


def run_program(program, args, env=None, cwd=None, timeout=TIMEOUT_SECONDS) -> Result:
    """Runs a built executable of this build (under Wine for Windows)."""
    command = [str(program), *[str(a) for a in args]]
    if IS_WINDOWS:
        command = [WINE_RUN, *command]
    full_env = dict(os.environ)
    full_env.pop("ORVEL_LOGGER_STDOUT_DISABLED", None)
    if env:
        full_env.update(env)
    completed = subprocess.run(command, capture_output=True, env=full_env, cwd=cwd, timeout=timeout)
    fold = lambda data: data.replace(b"\r\n", b"\n").decode("utf-8", errors="replace")
    return Result(fold(completed.stdout), fold(completed.stderr), completed.stdout, completed.returncode)


class Verifier:
    def __init__(self):
        self.program = os.environ["ORVEL_VERIFIER"]

    def run(self, *args, env=None, cwd=None, timeout=TIMEOUT_SECONDS) -> Result:
        return run_program(self.program, args, env=env, cwd=cwd, timeout=timeout)


@pytest.fixture
def verifier() -> Verifier:
    return Verifier()


def plugin(name: str) -> str:
    """Path of a test plugin library of this build, as the executable needs it."""
    return native_path(PLUGIN_DIR / (name + LIBRARY_SUFFIX))


def sample(name: str) -> str:
    return native_path(SAMPLE_DIR / (name + LIBRARY_SUFFIX))


@dataclass
class ProgramData:
    root: pathlib.Path  # the program data folder as seen from Linux
    env: dict  # environment to pass to the executable

    @property
    def plugins(self) -> pathlib.Path:
        return self.root / "Orvel" / "OrvelTracking" / "Plugins"

    def native(self, path) -> str:
        """A path under the folder as the executable prints it."""
        if IS_WINDOWS:
            relative = pathlib.Path(path).relative_to(self.root)
            return "C:\\ProgramData\\" + str(relative).replace("/", "\\")
        return str(path)


@pytest.fixture
def program_data(tmp_path):
    """An empty program data folder for the executable under test.

    Linux: a temporary folder named by the ProgramData variable. Windows: the
    Wine prefix's C:\\ProgramData, whose Orvel folder is emptied before and
    after the test; a lock file keeps concurrent test runs of this prefix apart."""
    if not IS_WINDOWS:
        root = tmp_path / "ProgramData"
        root.mkdir()
        yield ProgramData(root, {"ProgramData": str(root)})
        return
    root = wine_prefix() / "drive_c" / "ProgramData"
    root.mkdir(parents=True, exist_ok=True)
    with open(root / ".orvel-e2e.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            shutil.rmtree(root / "Orvel", ignore_errors=True)
            yield ProgramData(root, {})
        finally:
            shutil.rmtree(root / "Orvel", ignore_errors=True)
            fcntl.flock(lock, fcntl.LOCK_UN)
