"""Progress on a terminal: while standard error is a terminal (and TERM is not
dumb) one line there says the time so far, what runs and how far, redrawn in
place; it gives way to every other line and is gone at the end, so that the
screen ends as it would without it. The program runs on a pseudo-terminal
whose bytes a terminal emulator (pyte) renders; the screen is looked at after
every frame the program draws.

Wine gives a Windows program on a pseudo-terminal no console, so these run
against the Linux build; that the Windows build writes nothing more when its
standard error is no console, the other end-to-end tests show."""

import errno
import fcntl
import json
import os
import pty
import re
import signal
import struct
import subprocess
import termios
import time

import pytest

from conftest import IS_WINDOWS, TIMEOUT_SECONDS, plugin, program_environment

ON_TERMINAL = pytest.mark.skipif(IS_WINDOWS, reason="a pseudo-terminal is no console under Wine")

COLUMNS = 400
ROWS = 600
# A progress row: the time so far in brackets, then what runs.
PROGRESS = re.compile(r"\[\d+:\d\d\] .*")


def screen_rows(screen) -> list:
    rows = [row.rstrip() for row in screen.display]
    while rows and not rows[-1]:
        rows.pop()
    return rows


def run_on_terminal(verifier, args, env=None, stderr_on_terminal=True, interrupt=False):
    """Runs the verifier with standard output (and standard error) on a
    pseudo-terminal. Returns the final screen's rows, the progress rows seen
    (each with whether the run's last line had been written by then), the
    exit status and what went to standard error when it was no terminal.
    With `interrupt`, the run gets SIGINT once a progress row shows."""
    import pyte  # Debian's python3-pyte, installed by scripts/packages.sh

    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, COLUMNS, 0, 0))
    process = subprocess.Popen([verifier.program, *args], stdin=subprocess.DEVNULL, stdout=slave,
                               stderr=slave if stderr_on_terminal else subprocess.PIPE, env=program_environment(env))
    os.close(slave)
    screen = pyte.Screen(COLUMNS, ROWS)
    stream = pyte.ByteStream(screen)
    frames = []
    deadline = time.monotonic() + TIMEOUT_SECONDS
    try:
        while True:
            assert time.monotonic() < deadline, "the run did not end within %d s" % TIMEOUT_SECONDS
            try:
                data = os.read(master, 65536)
            except OSError as error:
                if error.errno == errno.EIO:  # every process holding the terminal has ended
                    break
                raise
            if not data:
                break
            # Each drawn frame ends with ESC [ K: the screen is looked at after
            # each, and not within one that a read cut in two.
            for piece in re.split(rb"(?<=\x1b\[K)", data):
                stream.feed(piece)
                if not piece.endswith(b"\x1b[K"):
                    continue
                rows = screen_rows(screen)
                ended = any(row.startswith("End verification") for row in rows)
                frames += [(row, ended) for row in rows if PROGRESS.fullmatch(row)]
            if interrupt and frames and process.poll() is None:
                process.send_signal(signal.SIGINT)
                interrupt = False
    finally:
        os.close(master)
        process.wait(timeout=TIMEOUT_SECONDS)
    errors = process.stderr.read() if process.stderr else b""
    return screen_rows(screen), frames, process.returncode, errors


def measured_masked(rows) -> list:
    """The rows with the latency figures, which differ from run to run, masked."""
    return [re.sub(r"p99 \d+ us, max \d+ us", "p99 N us, max N us", row) for row in rows]


def run_without_terminal(verifier, args, env=None):
    """The lines of a run whose standard output and error go to one pipe."""
    completed = subprocess.run([verifier.program, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, env=program_environment(env), timeout=TIMEOUT_SECONDS)
    lines = [line.rstrip() for line in completed.stdout.decode("utf-8", "replace").split("\n")]
    while lines and not lines[-1]:
        lines.pop()
    return lines, completed.returncode


def listing_folder(tmp_path, libraries):
    """A plugins folder with one manifest per library, in vendor folders."""
    folder = tmp_path / "Plugins"
    for number, library in enumerate(libraries, 1):
        vendor = folder / ("Vendor %02d" % number)
        vendor.mkdir(parents=True)
        (vendor / "plugin.manifest").write_text(json.dumps({
            "manifestFileVersion": "1.0.0.0", "ID": "{00000000-0000-0000-0000-%012d}" % number,
            "vendorName": "Vendor %02d" % number, "productName": "Product", "path": library}))
    return str(folder)


# (name, arguments, the pattern that every progress row's text after the time
# matches, patterns that some row must match each). Every frame is looked at,
# and a line that gave way to output comes back with its latest text: each
# workflow run shows, and the latency burst, which takes a second at least,
# shows part way.
SHOWN = [
    ("repeat", ["--repeat=3"], r"workflow run [1-3] of 3", [r"workflow run %d of 3" % run for run in (1, 2, 3)]),
    ("latency", ["--strict=1"], r"workflow run 1 of 1(, latency [1-9]\d{0,2} of 1000 calls)?",
     [r"workflow run 1 of 1, latency \d+ of 1000 calls"]),
    ("isolated", ["--isolate=1", "--repeat=3"], r"workflow run [1-3] of 3",
     [r"workflow run %d of 3" % run for run in (1, 2, 3)]),
    ("isolated latency", ["--isolate=1", "--strict=1", "--repeat=2"],
     r"workflow run [12] of 2(, latency [1-9]\d{0,2} of 1000 calls)?",
     [r"workflow run 1 of 2, latency \d+ of 1000 calls", r"workflow run 2 of 2"]),
]


@ON_TERMINAL
@pytest.mark.parametrize("name, args, pattern, required", SHOWN, ids=[case[0] for case in SHOWN])
def test_progress_shows_while_the_run_goes_and_leaves_the_screen_as_without_it(verifier, name, args, pattern,
                                                                              required):
    arguments = ["--plugin=" + plugin("tracking_ok"), *args]
    rows, frames, status, _ = run_on_terminal(verifier, arguments)
    texts = [row.split("] ", 1)[1] for row, _ in frames]
    assert [text for text in texts if not re.fullmatch(pattern, text)] == []
    for wanted in required:
        assert any(re.fullmatch(wanted, text) for text in texts), (wanted, texts)
    assert any(not ended for _, ended in frames), "progress only after the run"
    plain, plain_status = run_without_terminal(verifier, arguments)
    assert (measured_masked(rows), status) == (measured_masked(plain), plain_status)


# Over the installed plugins: (name, arguments, the text shown for manifest n
# of 3, given the vendor of the nth manifest found). The search's order is the
# folder's, which the file system decides: it is read from the run's own
# "=== n of 3" lines.
OVER_MANIFESTS = [
    ("isolated listing", ["--isolate=1", "--list"], lambda n, vendor: "manifest %d of 3" % n),
    ("verify-installed", ["--mode=verify-installed", "--jobs=1"],
     lambda n, vendor: "plugin %d of 3: %s / Product" % (n, vendor)),
]


def vendors_in_search_order(lines):
    """The vendor folders of the manifests, in the order the search found them."""
    found = [re.search(r"(Vendor \d\d)", line) for line in lines if line.startswith("=== ")]
    return [match.group(1) for match in found if match]


@ON_TERMINAL
@pytest.mark.parametrize("name, args, text", OVER_MANIFESTS, ids=[case[0] for case in OVER_MANIFESTS])
def test_progress_counts_the_manifests(verifier, tmp_path, name, args, text):
    libraries = [plugin("tracking_ok"), plugin("motion_ok"), str(tmp_path / "missing.so")]
    # --list reads no arguments after it.
    arguments = ["--plugins-dir=" + listing_folder(tmp_path, libraries), *args]
    env = {"ORVEL_LOGGER_STDOUT_DISABLED": "1"}
    plain, plain_status = run_without_terminal(verifier, arguments, env)
    vendors = vendors_in_search_order(plain) if name == "verify-installed" else [None] * 3
    assert len(vendors) == 3, plain
    rows, frames, status, _ = run_on_terminal(verifier, arguments, env)
    texts = {row.split("] ", 1)[1] for row, _ in frames}
    assert texts, "no progress row was seen"
    assert texts <= {text(number, vendor) for number, vendor in enumerate(vendors, 1)}, texts
    assert (measured_masked(rows), status) == (measured_masked(plain), plain_status)


@ON_TERMINAL
@pytest.mark.parametrize("isolate", ["--isolate=0", "--isolate=1"])
def test_an_interruption_takes_the_line_with_it(verifier, isolate):
    arguments = ["--plugin=" + plugin("tracking_ok"), "--repeat=100", isolate]
    rows, frames, status, _ = run_on_terminal(verifier, arguments, interrupt=True)
    assert frames, "no progress row was seen"
    assert status in (-signal.SIGINT, 128 + signal.SIGINT)  # killed by it, or ended as it would
    assert [row for row in rows if PROGRESS.fullmatch(row)] == []
    assert rows[0] == "Start verification"


@ON_TERMINAL
@pytest.mark.parametrize("isolate", ["--isolate=0", "--isolate=1"])
def test_a_report_on_the_terminal_comes_after_the_line_is_gone(verifier, isolate):
    arguments = ["--plugin=" + plugin("tracking_ok"), "--report=/dev/stderr", isolate]
    rows, frames, status, _ = run_on_terminal(verifier, arguments)
    assert frames, "no progress row was seen"
    assert [row for row in rows if PROGRESS.fullmatch(row)] == []
    plain, _ = run_without_terminal(verifier, arguments)
    end = plain.index("End verification: 19/19 passed") + 1
    assert rows[:end] == plain[:end]
    assert rows[end] == "{" and rows[-1] == "}"
    assert status == 0


# Runs that must show no progress at all: turned off, a terminal that cannot
# redraw, or standard error on no terminal.
NOT_SHOWN = [
    ("progress off", ["--progress=0"], {}, True),
    ("dumb terminal", [], {"TERM": "dumb"}, True),
    ("standard error no terminal", [], {}, False),
]


@ON_TERMINAL
@pytest.mark.parametrize("name, args, env, stderr_on_terminal", NOT_SHOWN, ids=[case[0] for case in NOT_SHOWN])
def test_no_progress(verifier, name, args, env, stderr_on_terminal):
    arguments = ["--plugin=" + plugin("tracking_ok"), "--repeat=2", *args]
    rows, frames, status, errors = run_on_terminal(verifier, arguments, env, stderr_on_terminal)
    assert frames == []
    assert errors == b""
    assert (rows, status) == run_without_terminal(verifier, arguments, env)


@pytest.mark.parametrize("value", ["2", "", "yes", "01"])
def test_invalid_progress_value_is_an_argument_error(verifier, value):
    result = verifier.run("--progress=" + value, "--plugin=" + plugin("tracking_ok"))
    usage = verifier.run("--mode=wrong").stdout.split("\n", 1)[1]
    assert result.stdout == "Invalid value for --progress: " + value + "\n" + usage
    assert result.status == 1
