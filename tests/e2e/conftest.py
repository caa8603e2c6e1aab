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

# The Windows executable runs under a known code page. Wine takes the ANSI and
# OEM code pages from the locale that LC_ALL (else LC_CTYPE, else LANG) names,
# not from the prefix's registry (it writes the Nls\CodePage values there from
# the locale; changing them changes nothing), and it reads the bytes of the
# command line in that locale's character set, so the locale must be installed:
# C.UTF-8 is built into Debian's C library, and Wine takes it as en-US, with the
# ANSI code page 1252 and the OEM code page 437.
WINE_LOCALE = {"LC_ALL": "C.UTF-8"}
CODE_PAGE = "cp1252"


def wine_prefix() -> pathlib.Path:
    default = pathlib.Path(os.environ.get("XDG_CACHE_HOME", pathlib.Path.home() / ".cache")) / "orvel-wine"
    return pathlib.Path(os.environ.get("WINEPREFIX", default))


def narrow(text: str) -> bytes:
    """A text as the executable reads it from its command line and writes it
    back: in the known code page on Windows; on Linux the bytes themselves (a
    text made by from_narrow keeps bytes that are not UTF-8)."""
    return text.encode(CODE_PAGE) if IS_WINDOWS else text.encode("utf-8", "surrogateescape")


def from_narrow(data: bytes) -> str:
    """The text whose narrow form is `data`."""
    return data.decode(CODE_PAGE) if IS_WINDOWS else data.decode("utf-8", "surrogateescape")


# Folder names beyond ASCII that plugins and manifests must work from.
FOLDER_NAMES = {
    # En dash, trade mark sign and euro sign lie in code page 1252 (0x96, 0x99,
    # 0x80) but not in Latin-1: a byte-for-character reading gets them wrong.
    "dash trade mark euro": "Pl\u00fcgin \u2013 Vendor\u2122 \u20ac",
    # On Linux a byte that is not UTF-8 at all; on Windows the same byte of the
    # code page (y with diaeresis).
    "byte 0xFF": from_narrow(b"orvel-\xff"),
}


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

    @property
    def stdout_bytes(self) -> bytes:
        """Standard output as written, CR LF folded to LF."""
        return self.raw_stdout.replace(b"\r\n", b"\n")


def program_environment(env=None) -> dict:
    """The environment of an executable under test: this process's, with log
    lines on, the known code page under Wine, then `env`."""
    full_env = dict(os.environ)
    full_env.pop("ORVEL_LOGGER_STDOUT_DISABLED", None)
    if IS_WINDOWS:
        full_env.update(WINE_LOCALE)
    full_env.update(env or {})
    return full_env


def run_program(program, args, env=None, cwd=None, timeout=TIMEOUT_SECONDS) -> Result:
    """Runs a built executable of this build (under Wine for Windows)."""
    command = [str(program), *[str(a) for a in args]]
    if IS_WINDOWS:
        command = [WINE_RUN, *command]
    completed = subprocess.run(command, capture_output=True, env=program_environment(env), cwd=cwd, timeout=timeout)
    # Read as UTF-8. Linux output keeps the bytes that are not UTF-8, as the
    # texts of from_narrow do; Windows output mixes the code page (report
    # lines) with UTF-8 (log lines) and reads the code page's bytes as U+FFFD.
    errors = "replace" if IS_WINDOWS else "surrogateescape"
    fold = lambda data: data.replace(b"\r\n", b"\n").decode("utf-8", errors=errors)
    return Result(fold(completed.stdout), fold(completed.stderr), completed.stdout, completed.returncode)


@pytest.fixture(scope="session", autouse=True)
def persistent_wineserver():
    """One wineserver and one set of Wine's own services for every Windows
    program of the run, started here with their output to /dev/null when none
    runs yet (scripts/test.sh starts them first). Started by a program under
    test instead, they would keep that program's output pipes open for as long
    as any other Wine program runs, and the test would wait for the pipes' end
    until its time-out."""
    if IS_WINDOWS and WINE_RUN:
        scripts = pathlib.Path(WINE_RUN).resolve().parent
        subprocess.run(["bash", "-c", '. "$1/packages.sh" && orvel_start_wine', "start-wine", str(scripts)],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=program_environment(), timeout=300, check=False)
    yield


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
