"""Crash isolation and call deadlines: plugins that crash, end the process or
do not return, verified with and without --isolate=1 and --timeout, in both
verify modes, set mode and the listing. Whole outputs and exit statuses are
compared; the expected report is the passing run cut at the call that fails."""

import os
import re

import pytest

from conftest import IS_WINDOWS, LIBRARY_SUFFIX, PLUGIN_DIR, native_path, plugin
from property_server import initialized, listening, property_server, session_start
from test_arguments import USAGE
from test_list import INVALID_TRACKING, MOTION, TRACKING, Installation, found_line, load_failure, manifest
from test_list import missing_export, plugin_block, why
from verify_report import UNABLE_TO_CONTINUE, full_tracking_run, summary, start
from verify_report import MOTION_PLATFORM_EXPORTS, ZERO_POSE, call, export_checks, stateless, WORKFLOW

# The sanitizer build must let a crash end the process as it would end the
# release build, and must not turn an exit from inside a plugin into a leak report.
SANITIZER_ENV = {"ASAN_OPTIONS": "handle_segv=0:handle_sigbus=0:handle_abort=0:handle_sigill=0:handle_sigfpe=0:"
                                 "detect_leaks=0", "UBSAN_OPTIONS": "halt_on_error=0"}
DEADLINE_MS = 1000

ACCESS_VIOLATION = ("the plugin crashed: exception 0xC0000005 (access violation)" if IS_WINDOWS
                    else "the plugin crashed: signal 11 (SIGSEGV)")
STACK_OVERFLOW = ("the plugin crashed: exception 0xC00000FD (stack overflow)" if IS_WINDOWS
                  else "the plugin crashed: signal 11 (SIGSEGV)")
# The C runtime of Windows ends an aborting process with status 3; Linux raises SIGABRT.
ABORT = "the plugin ended the process (exit status 3)" if IS_WINDOWS else "the plugin crashed: signal 6 (SIGABRT)"
EXIT = "the plugin ended the process (exit status 0)"
LATE = "no return within %d ms" % DEADLINE_MS


def full_motion_run(path: str, name: str = "Orvel Test Plugin") -> str:
    text = (start(path) + export_checks(MOTION_PLATFORM_EXPORTS)
            + stateless(2, "4.16.0.0", name) + WORKFLOW + call("orvel_PluginInit"))
    for frame in range(1, 6):
        output = ("{ timeStamp:-1, frameNo:%d, position:[ 0, 0, %g ], rotation:[ 1, 0, 0, 0 ], velocity:[ 0, 0, 0 ], "
                  "angularVelocity:[ 0, 0, 0 ], acceleration:[ 0, 0, 0 ], poseFlags:18446744073709551615, confidence:1}"
                  % (frame, -0.05 * frame))
        text += call("orvel_UpdatePose") + "Input pose: " + ZERO_POSE + "\nOutput pose: " + output + "\n"
    return text + call("orvel_PluginShutdown") + summary(15, 15)


def cut_before(report: str, line_start: str, occurrence: int = 1) -> str:
    """The report up to (without) the n-th line that begins with line_start."""
    position = -1
    for _ in range(occurrence):
        position = report.index("\n" + line_start, position + 1)
    return report[:position + 1]


def ended_run(before: str, check: str, cause: str, total: int) -> str:
    """What a run writes when it ends at a call: the failed check with its cause, then the summary."""
    passed = before.count("[ OK ] ")
    return before + "[ FAILED ] : %s - %s\n" % (check, cause) + summary(passed, total)


def status_of(report: str, total: int) -> int:
    return total - report.count("[ OK ] ")


# variant, mode, the check that fails, the line it stands in for (and which occurrence), cause
CASES = [
    ("tracking_crash_init", "verify", "call orvel_PluginInit", "[ OK ] : call orvel_PluginInit", 1, ACCESS_VIOLATION),
    ("tracking_crash_start", "verify", "call orvel_TrackerStart", "[ OK ] : call orvel_TrackerStart", 1,
     ACCESS_VIOLATION),
    ("tracking_crash_third_pose", "verify", "call orvel_GetHMDPose", "[ OK ] : call orvel_GetHMDPose", 3,
     ACCESS_VIOLATION),
    ("tracking_thread_crash_pose", "verify", "call orvel_GetHMDPose", "[ OK ] : call orvel_GetHMDPose", 3,
     ACCESS_VIOLATION),
    ("tracking_crash_stop", "verify", "call orvel_TrackerStop", "[ OK ] : call orvel_TrackerStop", 1, ACCESS_VIOLATION),
    ("tracking_crash_shutdown", "verify", "call orvel_PluginShutdown", "[ OK ] : call orvel_PluginShutdown", 1,
     ACCESS_VIOLATION),
    ("motion_crash_third_update", "verify-motion-platform-plugin", "call orvel_UpdatePose",
     "[ OK ] : call orvel_UpdatePose", 3, ACCESS_VIOLATION),
    ("tracking_crash_version", "verify", "call orvel_GetPluginAPIVersion", "orvel_GetPluginAPIVersion = ", 1,
     ACCESS_VIOLATION),
    ("tracking_stack_overflow", "verify", "call orvel_TrackerStart", "[ OK ] : call orvel_TrackerStart", 1,
     STACK_OVERFLOW),
    ("tracking_abort", "verify", "call orvel_TrackerStart", "[ OK ] : call orvel_TrackerStart", 1, ABORT),
    ("tracking_exit_init", "verify", "call orvel_PluginInit", "[ OK ] : call orvel_PluginInit", 1, EXIT),
    ("tracking_exit_type", "verify", "call orvel_GetPluginType", "orvel_GetPluginType = ", 1, EXIT),
    ("tracking_loops_third_pose", "verify", "call orvel_GetHMDPose", "[ OK ] : call orvel_GetHMDPose", 3, LATE),
    ("tracking_sleeps_at_start", "verify", "call orvel_TrackerStart", "[ OK ] : call orvel_TrackerStart", 1, LATE),
]


def expected_run(variant, mode, check, stands_for, occurrence, cause):
    path = plugin(variant)
    motion = mode != "verify"
    full = full_motion_run(path) if motion else full_tracking_run(path)
    total = 15 if motion else 19
    before = cut_before(full, stands_for, occurrence)
    return before, ended_run(before, check, cause, total), status_of(before, total)


@pytest.mark.parametrize("variant, mode, check, stands_for, occurrence, cause", CASES, ids=[c[0] for c in CASES])
def test_isolated_run_ends_at_the_call_under_way(verifier, variant, mode, check, stands_for, occurrence, cause):
    _, report, status = expected_run(variant, mode, check, stands_for, occurrence, cause)
    result = verifier.run("--isolate=1", "--timeout=%d" % DEADLINE_MS, "--mode=" + mode, "--plugin=" + plugin(variant),
                          env=SANITIZER_ENV)
    assert result.stdout == report
    assert result.status == status


@pytest.mark.parametrize("variant, mode, check, stands_for, occurrence, cause", CASES, ids=[c[0] for c in CASES])
def test_run_without_isolation_ends_as_an_isolated_run(verifier, variant, mode, check, stands_for, occurrence, cause):
    before, report, status = expected_run(variant, mode, check, stands_for, occurrence, cause)
    result = verifier.run("--timeout=%d" % DEADLINE_MS, "--mode=" + mode, "--plugin=" + plugin(variant),
                          env=SANITIZER_ENV)
    if IS_WINDOWS and cause in (ABORT, EXIT):
        # Windows tells a program neither that a library called exit or abort
        # nor the status it passed: the run ends with the plugin's status.
        assert result.stdout == before
        assert result.status == (3 if cause == ABORT else 0)
        return
    # A crash (on any thread), an exit inside a call and a missed deadline end
    # the run as the isolated parent ends it.
    assert result.stdout == report
    assert result.status == status


@pytest.mark.parametrize("isolate", ["--isolate=1", "--isolate=0"])
def test_crash_while_the_library_loads_is_written_on_the_load_check(verifier, isolate):
    path = plugin("tracking_crash_load")
    result = verifier.run(isolate, "--plugin=" + path, env=SANITIZER_ENV)
    if IS_WINDOWS:
        # The loader catches an exception in DllMain: the load simply fails.
        assert result.stdout == start(path, loads=False) + UNABLE_TO_CONTINUE
    else:
        assert result.stdout == ("Start verification\n[ FAILED ] : Loading DLL " + path + " - " + ACCESS_VIOLATION
                                 + "\n" + UNABLE_TO_CONTINUE)
    assert result.status == 1


@pytest.mark.parametrize("mode, variant, full", [
    ("verify", "tracking_ok", full_tracking_run),
    ("verify-motion-platform-plugin", "motion_ok", lambda path: full_motion_run(path, "Orvel Test Motion Platform")),
])
def test_isolated_run_of_a_sound_plugin_is_the_run_without_isolation(verifier, mode, variant, full):
    path = plugin(variant)
    plain = verifier.run("--mode=" + mode, "--plugin=" + path)
    isolated = verifier.run("--mode=" + mode, "--plugin=" + path, "--isolate=1")
    assert isolated.raw_stdout == plain.raw_stdout
    assert isolated.stdout == full(path)
    assert (isolated.status, plain.status) == (0, 0)


@pytest.mark.parametrize("argument", ["--isolate=yes", "--isolate=2", "--isolate=", "--timeout=0", "--timeout=10s",
                                      "--timeout=3600001", "--timeout=-5", "--timeout=99999999999"])
def test_invalid_values_print_key_value_and_usage(verifier, argument):
    key, value = argument.split("=", 1)
    result = verifier.run("--plugin=x", argument, "--list")
    assert result.stdout == "Invalid value for %s: %s\n" % (key, value) + USAGE
    assert result.status == 1


def test_valid_values_are_read_left_to_right_and_the_last_wins(verifier):
    # --list runs at once: a bad value after it is never read.
    path = plugin("tracking_loops_third_pose")
    result = verifier.run("--timeout=3600000", "--isolate=1", "--timeout=%d" % DEADLINE_MS, "--isolate=0",
                          "--plugin=" + path, env=SANITIZER_ENV)
    _, report, status = expected_run(*CASES[12][:1], "verify", *CASES[12][2:])
    assert result.stdout == report
    assert result.status == status


# The second crashes after writing "done 0" where the channel once was.
@pytest.mark.parametrize("variant", ["tracking_crash_start", "tracking_fake_done_crash"])
def test_set_mode_writes_nothing_after_an_isolated_crash(verifier, variant):
    path = plugin(variant)
    with property_server() as server:
        result = verifier.run("--mode=set", "--isolate=1", "--plugin=" + path,
                              env={**SANITIZER_ENV, "ORVEL_LOGGER_STDOUT_DISABLED": "1"})
        assert server.wait_for_line("client 1: disconnected"), server.lines
        lines = server.lines
    _, report, status = expected_run(variant, "verify", *CASES[1][2:])
    assert result.stdout == report
    assert result.status == status
    assert lines == [listening(), *session_start(1), *initialized(1), "client 1: disconnected"]


def test_isolated_listing_goes_on_after_a_library_crashes_ends_or_hangs(verifier, program_data):
    installed = Installation(program_data)
    crashed = "The plugin crashed while it was validated: " + ACCESS_VIOLATION.split(": ", 1)[1]
    ok = plugin_block(TRACKING, plugin("tracking_ok"))
    installed.add("A", "1-crash-version.manifest", manifest(plugin("tracking_crash_version")), [INVALID_TRACKING],
                  [crashed])
    installed.add("A", "2-ok.manifest", manifest(plugin("tracking_ok")), ok)
    installed.add("A", "3-exit-type.manifest", manifest(plugin("tracking_exit_type")), [],
                  ["The plugin ended the process while it was validated: exit status 0"])
    installed.add("A", "4-loops-type.manifest", manifest(plugin("tracking_loops_type")), [],
                  ["The plugin did not answer within %d ms while it was validated" % DEADLINE_MS])
    installed.add("A", "5-crash-load.manifest", manifest(plugin("tracking_crash_load")), [],
                  [] if IS_WINDOWS else [crashed])
    installed.add("A", "6-motion.manifest", manifest(plugin("motion_ok")), plugin_block(MOTION, plugin("motion_ok")))
    result = verifier.run("--isolate=1", "--timeout=%d" % DEADLINE_MS, "--list",
                          env={**program_data.env, **SANITIZER_ENV})
    if IS_WINDOWS:
        # The failed load of 5 is logged twice (tracking, then motion platform detection).
        result.stdout = re.sub(r".* ERR \[Orvel::DynamicLibrary::DynamicLibrary\] .*\n", "", result.stdout)
    # Compared in manifest order: the folder is read in the file system's order.
    installed.check(result)


def test_isolated_listing_explains_a_validation_cut_short(verifier, program_data):
    installed = Installation(program_data)
    cut_short = "the library's validation did not finish: "
    crashed = "The plugin crashed while it was validated: " + ACCESS_VIOLATION.split(": ", 1)[1]
    ended = "The plugin ended the process while it was validated: exit status 0"
    late = "The plugin did not answer within %d ms while it was validated" % DEADLINE_MS
    installed.add("A", "1-crash-version.manifest", manifest(plugin("tracking_crash_version")),
                  [INVALID_TRACKING, why(cut_short + crashed)], [crashed])
    installed.add("A", "2-exit-type.manifest", manifest(plugin("tracking_exit_type")), [why(cut_short + ended)],
                  [ended])
    installed.add("A", "3-loops-type.manifest", manifest(plugin("tracking_loops_type")), [why(cut_short + late)],
                  [late])
    installed.add("A", "4-ok.manifest", manifest(plugin("tracking_ok")),
                  plugin_block(TRACKING, plugin("tracking_ok")) + [why("listed: a tracking plugin, API version 4.16.0.0")])
    installed.check(verifier.run("--isolate=1", "--timeout=%d" % DEADLINE_MS, "--explain=1", "--list",
                                 env={**program_data.env, **SANITIZER_ENV}))


def test_isolated_listing_of_sound_libraries_is_the_listing_without_isolation(verifier, program_data):
    installed = Installation(program_data)
    installed.add("A", "ok.manifest", manifest(plugin("tracking_ok")), plugin_block(TRACKING, plugin("tracking_ok")))
    installed.add("A", "v417.manifest", manifest(plugin("tracking_api_4_17")), [INVALID_TRACKING],
                  ["Plugin DLL version is not compatible with Orvel plugin API ver 4.16.0.0"])
    installed.check(verifier.run("--isolate=1", "--list", env=program_data.env))


ABSENT = native_path(PLUGIN_DIR / ("absent" + LIBRARY_SUFFIX))
# Each library of the listing cases below: the manifest's library, and what
# the isolated listing writes for it on standard output and standard error.
LISTED = {
    "ok": (plugin("tracking_ok"), plugin_block(TRACKING, plugin("tracking_ok")), []),
    "motion": (plugin("motion_ok"), plugin_block(MOTION, plugin("motion_ok")), []),
    # The binding's log lines, relayed from the child between this library's lines.
    "no_pose": (plugin("tracking_no_hmd_pose"), [missing_export("orvel_GetHMDPose"), INVALID_TRACKING],
                ["DLL is not a valid plugin"]),
    "absent": (ABSENT, [load_failure(ABSENT), load_failure(ABSENT)], []),
    "crash": (plugin("tracking_crash_version"), [INVALID_TRACKING],
              ["The plugin crashed while it was validated: " + ACCESS_VIOLATION.split(": ", 1)[1]]),
    "exit": (plugin("tracking_exit_type"), [], ["The plugin ended the process while it was validated: exit status 0"]),
    "late": (plugin("tracking_loops_type"), [],
             ["The plugin did not answer within %d ms while it was validated" % DEADLINE_MS]),
}


def install_in_listing_order(verifier, program_data, libraries):
    """One vendor folder whose manifests the listing meets in the order of
    `libraries`: empty manifests are made first and listed, which tells the
    order the listing reads them in, and then given their libraries in that
    order. Returns the installation and its Found lines in that order."""
    installed = Installation(program_data)
    folder = program_data.plugins / "A"
    folder.mkdir()
    for number in range(len(libraries)):
        (folder / ("%d.manifest" % number)).write_text("{}")
    lines = verifier.run("--list", env=program_data.env).stdout.split("\n")
    found = [line for line in lines if line.startswith("Found manifest file: ")]
    line_of = {found_line(installed.native(folder / name)): name for name in os.listdir(folder)}
    names = [line_of[line] for line in found]
    assert len(names) == len(libraries)
    for name, library in zip(names, libraries):
        path, stdout, stderr = LISTED[library]
        installed.add("A", name, manifest(path), stdout, stderr)
    return installed, found


# The listing sends the child the libraries ahead of their answers: a child
# that dies leaves requests unanswered, which a new child must take up, and
# the output of each library must stay between its own lines.
@pytest.mark.parametrize("libraries", [
    ["ok", "no_pose", "crash", "ok", "absent"],
    ["ok", "crash", "crash", "motion"],
    ["absent", "late", "no_pose", "ok"],
    ["exit", "ok", "crash", "exit", "absent"],
    ["crash", "crash", "crash"],
], ids=["crash amid sound", "two crashes in a row", "deadline in the middle", "exits and crashes", "only crashes"])
def test_isolated_listing_takes_up_what_a_dead_child_did_not_answer(verifier, program_data, libraries):
    installed, found = install_in_listing_order(verifier, program_data, libraries)
    result = verifier.run("--isolate=1", "--timeout=%d" % DEADLINE_MS, "--list",
                          env={**program_data.env, **SANITIZER_ENV})
    # The listing met the libraries in the order the case names.
    assert [line for line in result.stdout.split("\n") if line.startswith("Found manifest file: ")] == found
    installed.check(result)
