"""--strict=1: the pose data, latency and thread checks after the workflow,
on the samples (which pass), on test plugins with planted bad values, slow
pose calls and threads left running; --latency-budget-us; and the values
these and the report arguments accept."""

import math
import re

import pytest

from conftest import native_path, plugin, sample
from report_files import read_json_report
from test_arguments import USAGE

TRACKING_DATA_CHECKS = [
    "pose values are finite",
    "pose rotations have unit length",
    "pose time stamps do not decrease",
    "pose frame numbers do not decrease",
    "pose confidence is between 0 and 1",
]
MOTION_DATA_CHECKS = ["pose values are finite"]
THREAD_CHECK = "no threads left running after shutdown"
HEADER = " Check pose data:"
LATENCY = re.compile(r"^\[ (OK|FAILED) \] : (orvel_GetHMDPose|orvel_UpdatePose) latency p99 (\d+) us, "
                     r"max (\d+) us \(budget (\d+) us\)$")


def line(text: str, cause: str = None) -> str:
    return "[ OK ] : " + text if cause is None else "[ FAILED ] : %s - %s" % (text, cause)


def split_strict_run(stdout: str):
    """(the report before the strict section, the section's lines, the summary)."""
    before, _, rest = stdout.partition("\n\n" + HEADER + "\n")
    section, _, summary = rest.partition("\n\nEnd verification: ")
    return before + "\n", section.split("\n"), "End verification: " + summary


def without_poses(text: str) -> list:
    return [re.sub(r"^(Returned pose|Input pose|Output pose): .*$", r"\1", l) for l in text.split("\n")]


def check_strict_section(lines, data_checks, causes, function, budget, latency_passes, thread_cause=None):
    """The data checks with their causes, the latency line, the thread check; the latency figures."""
    expected = [line(text, causes.get(text)) for text in data_checks]
    assert lines[:len(data_checks)] == expected
    match = LATENCY.match(lines[len(data_checks)])
    assert match, lines[len(data_checks)]
    mark, name, p99, largest, shown_budget = match.groups()
    assert (mark == "OK", name, int(shown_budget)) == (latency_passes, function, budget)
    assert (int(p99) <= budget) == latency_passes
    assert int(p99) <= int(largest)
    assert lines[len(data_checks) + 1:] == [line(THREAD_CHECK, thread_cause)]
    return int(p99), int(largest)


@pytest.mark.parametrize("mode, path, data_checks, function, total", [
    ("verify", sample("SampleTracker"), TRACKING_DATA_CHECKS, "orvel_GetHMDPose", 26),
    ("verify-motion-platform-plugin", sample("SampleMotionPlatform"), MOTION_DATA_CHECKS, "orvel_UpdatePose", 18),
])
def test_samples_pass_the_strict_checks(verifier, tmp_path, mode, path, data_checks, function, total):
    plain = verifier.run("--mode=" + mode, "--plugin=" + path)
    report_path = tmp_path / "report.json"
    result = verifier.run("--mode=" + mode, "--plugin=" + path, "--strict=1", "--report=" + native_path(report_path))
    before, section, summary = split_strict_run(result.stdout)
    # The samples' poses follow the clock: only the pose lines' labels are compared.
    assert without_poses(before) == without_poses(plain.stdout[:plain.stdout.index("\nEnd verification: ")])
    p99, largest = check_strict_section(section, data_checks, {}, function, 1000, True)
    assert summary == "End verification: %d/%d passed\n" % (total, total)
    assert result.status == 0
    report = read_json_report(report_path)
    latency = report["latency"]
    assert (latency["function"], latency["calls"], latency["budgetUs"]) == (function, 1000, 1000)
    assert latency["p50Us"] <= latency["p90Us"] <= latency["p99Us"] <= latency["p999Us"] <= latency["maxUs"]
    # The line rounds halves up.
    assert (math.floor(latency["p99Us"] + 0.5), math.floor(latency["maxUs"] + 0.5)) == (p99, largest)
    assert [check["name"] for check in report["checks"][-len(section):]] == (
        data_checks + [section[len(data_checks)][len("[ OK ] : "):], THREAD_CHECK])
    assert (report["passed"], report["total"]) == (total, total)


@pytest.mark.parametrize("variant, mode, check, cause", [
    ("tracking_nan_position", "verify", "pose values are finite", "pose 3: position[1] is NaN"),
    ("tracking_infinite_velocity", "verify", "pose values are finite", "pose 2: velocity[0] is Infinity"),
    ("tracking_nonunit_rotation", "verify", "pose rotations have unit length", "pose 4: rotation has length 0.5"),
    ("tracking_huge_rotation", "verify", "pose rotations have unit length", "pose 2: rotation has length 1.4e+200"),
    ("tracking_tiny_rotation", "verify", "pose rotations have unit length", "pose 3: rotation has length 1e-200"),
    ("tracking_time_backwards", "verify", "pose time stamps do not decrease",
     "pose 3: timeStamp 1 is less than 2000 of pose 2"),
    ("tracking_frame_backwards", "verify", "pose frame numbers do not decrease",
     "pose 5: frameNo 0 is less than 4 of pose 4"),
    ("tracking_confidence_above_one", "verify", "pose confidence is between 0 and 1", "pose 1: confidence is 1.5"),
    ("motion_nan_position", "verify-motion-platform-plugin", "pose values are finite", "pose 2: position[1] is NaN"),
])
def test_planted_bad_pose_data_fails_its_check_naming_the_first_offence(verifier, tmp_path, variant, mode, check,
                                                                      cause):
    tracking = mode == "verify"
    report_path = tmp_path / "report.json"
    result = verifier.run("--mode=" + mode, "--plugin=" + plugin(variant), "--strict=1",
                          "--report=" + native_path(report_path))
    _, section, summary = split_strict_run(result.stdout)
    check_strict_section(section, TRACKING_DATA_CHECKS if tracking else MOTION_DATA_CHECKS, {check: cause},
                         "orvel_GetHMDPose" if tracking else "orvel_UpdatePose", 1000, True)
    total = 26 if tracking else 18
    assert summary == "End verification: %d/%d passed\n" % (total - 1, total)
    assert result.status == 1
    (failed,) = [c for c in read_json_report(report_path)["checks"] if c["result"] != "passed"]
    assert (failed["name"], failed["result"], failed["detail"]) == (check, "failed", cause)


@pytest.mark.parametrize("variant, mode, function, budget_args, budget, passes", [
    # Each call sleeps 2 ms: over the default budget of 1000 us, within one of a second.
    ("tracking_slow_pose", "verify", "orvel_GetHMDPose", [], 1000, False),
    ("tracking_slow_pose", "verify", "orvel_GetHMDPose", ["--latency-budget-us=1000000"], 1000000, True),
    ("motion_slow_pose", "verify-motion-platform-plugin", "orvel_UpdatePose", ["--latency-budget-us=1500"], 1500,
     False),
    # The last value given wins.
    ("motion_slow_pose", "verify-motion-platform-plugin", "orvel_UpdatePose",
     ["--latency-budget-us=1", "--latency-budget-us=60000000"], 60000000, True),
])
def test_latency_check_holds_the_99th_percentile_to_the_budget(verifier, variant, mode, function, budget_args, budget,
                                                              passes):
    result = verifier.run("--mode=" + mode, "--plugin=" + plugin(variant), "--strict=1", *budget_args)
    _, section, _ = split_strict_run(result.stdout)
    data_checks = TRACKING_DATA_CHECKS if mode == "verify" else MOTION_DATA_CHECKS
    p99, _ = check_strict_section(section, data_checks, {}, function, budget, passes)
    assert p99 >= 2000, "every call sleeps at least 2 ms"
    assert result.status == (0 if passes else 1)


@pytest.mark.parametrize("variant, mode, data_checks, total", [
    ("tracking_thread_left", "verify", TRACKING_DATA_CHECKS, 26),
    ("motion_thread_left", "verify-motion-platform-plugin", MOTION_DATA_CHECKS, 18),
])
def test_a_thread_left_running_after_shutdown_fails_the_last_check(verifier, variant, mode, data_checks, total):
    result = verifier.run("--mode=" + mode, "--plugin=" + plugin(variant), "--strict=1")
    _, section, summary = split_strict_run(result.stdout)
    check_strict_section(section, data_checks, {}, "orvel_GetHMDPose" if mode == "verify" else "orvel_UpdatePose",
                         1000, True, "1 thread left running")
    assert summary == "End verification: %d/%d passed\n" % (total - 1, total)
    assert result.status == 1


def test_strict_zero_and_the_last_value_wins(verifier):
    path = plugin("tracking_nan_position")
    plain = verifier.run("--plugin=" + path)
    result = verifier.run("--strict=1", "--plugin=" + path, "--strict=0")
    assert result.stdout == plain.stdout
    assert result.status == plain.status == 0


@pytest.mark.parametrize("argument", [
    "--strict=2", "--strict=", "--strict=yes", "--strict=01",
    "--repeat=0", "--repeat=1001", "--repeat=-1", "--repeat=", "--repeat=3x", "--repeat=99999999999",
    "--latency-budget-us=-5", "--latency-budget-us=60000001", "--latency-budget-us=", "--latency-budget-us=1ms",
    "--report=", "--junit=",
])
def test_invalid_values_print_key_value_and_usage(verifier, argument):
    key, value = argument.split("=", 1)
    result = verifier.run("--plugin=x", argument, "--list")
    assert result.stdout == "Invalid value for %s: %s\n" % (key, value) + USAGE
    assert result.status == 1
