"""Plugins that attack the verifier itself: processes left holding its pipes,
a copy that keeps the channel, output that floods it, stray lines on its
channel, a crash after the run. Each runs with and without --isolate=1; the
verifier must end long before what the plugin left behind would, print the
whole report, and never pass a run whose process died."""

import os
import pathlib
import resource
import signal
import subprocess
import sys
import time

import pytest

from conftest import IS_WINDOWS, TIMEOUT_SECONDS, WINE_RUN, Result, native_path, plugin, program_environment
from test_isolation import ACCESS_VIOLATION, SANITIZER_ENV, cut_before, ended_run, status_of
from test_list import INVALID_TRACKING, TRACKING, Installation, manifest, plugin_block
from verify_report import full_tracking_run, summary

# What the plugins leave behind sleeps ten minutes: a verifier that waits for
# it is caught long before.
ENDS_WITHIN_SECONDS = 60
DEADLINE_MS = 2000
TOTAL = 19
OUTPUT_BYTES = 8 << 20
FLOOD_LINE = "f" * 99 + "\n"
START = "[ OK ] : call orvel_TrackerStart"
NOT_OURS = "the channel carried a line without the run's token"
LATE = "no return within %d ms" % DEADLINE_MS
CRASHED_AFTER = "the plugin crashed after the run: " + ACCESS_VIOLATION.split(": ", 1)[1]


def passing(variant):
    return full_tracking_run(plugin(variant)), 0


def with_output_before_start(text):
    """The passing run with `text` written by orvel_TrackerStart (before its check's line)."""
    def expected(variant):
        report = full_tracking_run(plugin(variant))
        return report.replace(START, text + START, 1), 0
    return expected


def ended_at_start(cause):
    def expected(variant):
        before = cut_before(full_tracking_run(plugin(variant)), START)
        return ended_run(before, "call orvel_TrackerStart", cause, TOTAL), status_of(before, TOTAL)
    return expected


def crashed_after_the_run(variant):
    report = full_tracking_run(plugin(variant))
    return report + "[ FAILED ] : call orvel_PluginShutdown - %s\n" % CRASHED_AFTER + summary(TOTAL - 1, TOTAL), 1


# A row that nothing bounds without isolation (no call is under way).
UNBOUNDED_WITHOUT_ISOLATION = "unbounded"
# Between calls and after the run the child is given 10 s from its last line.
QUIET_LIMIT_MS = 10000


def held_after_the_run(variant):
    report = full_tracking_run(plugin(variant))
    cause = "the process did not end within %d ms after the run" % QUIET_LIMIT_MS
    return report + "[ FAILED ] : call orvel_PluginShutdown - %s\n" % cause + summary(TOTAL - 1, TOTAL), 1

# variant, the expected (report, status) with isolation, and without it
CASES = [
    ("tracking_forked_copy", passing, passing),
    ("tracking_shell_background", passing, passing),
    ("tracking_forked_copy_crash", ended_at_start(ACCESS_VIOLATION), ended_at_start(ACCESS_VIOLATION)),
    ("tracking_huge_output", with_output_before_start("x" * OUTPUT_BYTES),
     with_output_before_start("x" * OUTPUT_BYTES)),
    ("tracking_line_flood", with_output_before_start(FLOOD_LINE * (OUTPUT_BYTES // 100)),
     with_output_before_start(FLOOD_LINE * (OUTPUT_BYTES // 100))),
    ("tracking_fake_done_crash", ended_at_start(ACCESS_VIOLATION), ended_at_start(ACCESS_VIOLATION)),
    ("tracking_fake_done_everywhere", ended_at_start(NOT_OURS), ended_at_start(LATE)),
    ("tracking_closes_descriptor_3", passing, passing),
    ("tracking_crash_after_shutdown", crashed_after_the_run, crashed_after_the_run),
    ("tracking_hangs_when_unloaded", held_after_the_run, UNBOUNDED_WITHOUT_ISOLATION),
]


def session_processes(session: int):
    """The live processes of a session (zombies, which hold nothing, left out)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            stat = (pathlib.Path("/proc") / entry / "stat").read_text()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        if fields[0] != "Z" and int(fields[3]) == session:
            found.append(int(entry))
    return found


def kill_session(session: int):
    for pid in session_processes(session):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def run_in_own_session(args, env=None):
    """Runs the verifier in a session of its own with its output in files (a
    process left holding a pipe would hold the test too), waits at most
    TIMEOUT_SECONDS, and kills what is left of the session. Returns the
    result, the seconds it took and the processes that were left."""
    command = [os.environ["ORVEL_VERIFIER"], *args]
    if IS_WINDOWS:
        command = [WINE_RUN, *command]
    folder = pathlib.Path(os.environ.get("TMPDIR", "/tmp"))
    with open(os.devnull, "rb") as stdin, open(folder / ("orvel-hostile-%d.out" % os.getpid()), "w+b") as out, \
            open(folder / ("orvel-hostile-%d.err" % os.getpid()), "w+b") as err:
        began = time.monotonic()
        process = subprocess.Popen(command, stdin=stdin, stdout=out, stderr=err, env=program_environment(env),
                                   start_new_session=True)
        try:
            process.wait(timeout=TIMEOUT_SECONDS)
        finally:
            took = time.monotonic() - began
            left = session_processes(process.pid)
            kill_session(process.pid)
            process.kill()
            process.wait()
        out.seek(0)
        err.seek(0)
        raw = out.read()
        fold = lambda data: data.replace(b"\r\n", b"\n").decode("utf-8", "replace")
        result = Result(fold(raw), fold(err.read()), raw, process.returncode)
    return result, took, left


@pytest.mark.parametrize("isolate", [True, False], ids=["isolated", "in one process"])
@pytest.mark.parametrize("variant, isolated, alone", CASES, ids=[c[0] for c in CASES])
def test_a_hostile_plugin_neither_holds_nor_fools_the_verifier(variant, isolated, alone, isolate):
    expected = isolated if isolate else alone
    if expected is UNBOUNDED_WITHOUT_ISOLATION:
        pytest.skip("without isolation no deadline covers the library's unloading")
    report, status = expected(variant)
    args = ["--timeout=%d" % DEADLINE_MS, "--plugin=" + plugin(variant)] + (["--isolate=1"] if isolate else [])
    result, took, left = run_in_own_session(args, env=SANITIZER_ENV)
    assert took < ENDS_WITHIN_SECONDS
    assert result.stdout == report
    assert result.status == status
    if isolate and not IS_WINDOWS:
        # Under Wine the group also holds Wine's own helper processes.
        assert not left, "the isolated verifier left a process behind"


def test_an_isolated_listing_is_not_held_by_a_copy_of_a_crashed_child(program_data):
    """A library that leaves a copy of the listing's child holding its pipes,
    then crashes: the listing reports the crash and goes on to the next."""
    installed = Installation(program_data)
    crashed = "The plugin crashed while it was validated: " + ACCESS_VIOLATION.split(": ", 1)[1]
    installed.add("A", "1-copy-crash.manifest", manifest(plugin("tracking_forked_copy_crash_version")),
                  [INVALID_TRACKING], [crashed])
    installed.add("B", "2-ok.manifest", manifest(plugin("tracking_ok")), plugin_block(TRACKING, plugin("tracking_ok")))
    result, took, left = run_in_own_session(["--isolate=1", "--timeout=%d" % DEADLINE_MS, "--list"],
                                            env={**program_data.env, **SANITIZER_ENV})
    assert took < ENDS_WITHIN_SECONDS
    installed.check(result)
    if not IS_WINDOWS:
        assert not left, "the isolated listing left a process behind"


@pytest.mark.skipif(IS_WINDOWS, reason="the peak memory of a process is read from Linux's accounting")
def test_an_isolated_run_relays_300_mb_without_a_line_end_in_bounded_memory(tmp_path):
    # Measured in a fresh interpreter, whose children are this run alone.
    probe = (
        "import resource, subprocess, sys\n"
        "with open(sys.argv[1], 'wb') as out:\n"
        "    status = subprocess.run(sys.argv[2:], stdout=out).returncode\n"
        "print(status, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n")
    out = tmp_path / "out"
    env = {**program_environment(SANITIZER_ENV), "ORVEL_TEST_PLUGIN_OUTPUT_BYTES": str(300 << 20)}
    measured = subprocess.run([sys.executable, "-c", probe, str(out), os.environ["ORVEL_VERIFIER"], "--isolate=1",
                               "--timeout=3000", "--plugin=" + plugin("tracking_huge_output")],
                              capture_output=True, env=env, timeout=TIMEOUT_SECONDS, check=True)
    status, peak_kib = map(int, measured.stdout.split())
    assert status == 0
    assert peak_kib < 200 * 1024
    assert out.stat().st_size == len(full_tracking_run(plugin("tracking_huge_output"))) + (300 << 20)
    with open(out, "rb") as report:
        report.seek(-200, os.SEEK_END)
        assert report.read().endswith(b"\n[ OK ] : call orvel_PluginShutdown\n" + summary(TOTAL, TOTAL).encode())


# SIGKILL leaves the verifier no say: the child ends as its parent's death.
@pytest.mark.parametrize("interruption", [signal.SIGTERM, signal.SIGINT, signal.SIGKILL],
                         ids=["SIGTERM", "SIGINT", "SIGKILL"])
def test_an_interrupted_verifier_takes_its_child_with_it(tmp_path, interruption):
    """An isolated verifier whose plugin waits inside a call is interrupted:
    it ends with a status that is not 0 and leaves no process behind."""
    gate = tmp_path / "gate"
    command = [os.environ["ORVEL_VERIFIER"], "--isolate=1", "--plugin=" + plugin("tracking_waits_at_start")]
    if IS_WINDOWS:
        # Wine turns the signals into the end of the process (a console's
        # Ctrl-C for SIGINT), whose job then ends the child.
        command = [WINE_RUN, *command]
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=program_environment({**SANITIZER_ENV, "ORVEL_TEST_PLUGIN_GATE": native_path(gate)}),
                               start_new_session=True)
    try:
        bound = time.monotonic() + TIMEOUT_SECONDS
        while not (tmp_path / "gate.started").exists() and time.monotonic() < bound:
            time.sleep(0.05)
        assert (tmp_path / "gate.started").exists(), "the plugin's call began"
        process.send_signal(interruption)
        assert process.wait(timeout=TIMEOUT_SECONDS) != 0
        # Well before the plugin would return by itself (a minute).
        gone_by = time.monotonic() + 30
        while session_processes(process.pid) and time.monotonic() < gone_by:
            time.sleep(0.05)
        assert session_processes(process.pid) == [], "the child outlived the verifier"
    finally:
        kill_session(process.pid)
        process.kill()
        process.wait()
