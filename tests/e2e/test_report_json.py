"""The JSON report (--report=PATH) of the verify modes and of set mode's
verification: its contents for passing, failing, stopped and timed-out runs,
texts that are not UTF-8, values that are not finite, and paths that cannot
be written. Every report is validated against docs/report.schema.json."""

import pytest

from conftest import IS_WINDOWS, native_path, plugin
from test_isolation import ACCESS_VIOLATION, EXIT, SANITIZER_ENV
from property_server import fixed_pipe_lock, property_server
from report_files import REPLACEMENT, as_lines, check_lines, leftovers, read_json_report
from verify_report import (
    MOTION_PLATFORM_EXPORTS,
    TEST_PLUGIN_STATUS_TEXTS,
    TRACKING_EXPORTS,
    full_tracking_run,
)

TRACKING_WORKFLOW = (["call orvel_PluginInit", "call orvel_TrackerStart"] + ["call orvel_GetHMDPose"] * 5
                     + ["call orvel_TrackerStop", "call orvel_PluginShutdown"])
MOTION_WORKFLOW = ["call orvel_PluginInit"] + ["call orvel_UpdatePose"] * 5 + ["call orvel_PluginShutdown"]
STATUS_DESCRIPTIONS = dict(zip(["-2", "-1", "0", "1", "2"], TEST_PLUGIN_STATUS_TEXTS))
ZERO_POSE = {"timeStamp": 0, "frameNo": 0, "position": [0, 0, 0], "rotation": [0, 0, 0, 0], "velocity": [0, 0, 0],
             "angularVelocity": [0, 0, 0], "acceleration": [0, 0, 0], "poseFlags": 0, "confidence": 0}


def check_names(path: str, exports: list, workflow: list) -> list:
    return ["Loading DLL " + path] + ["Find API function: " + name for name in exports] + workflow


def tracking_pose(frame: int) -> dict:
    """The n-th pose of the test plugin, as numbers (see verify_report.plugin_pose)."""
    return {"timeStamp": 1000 * frame, "frameNo": frame, "position": [0.5 * frame, -0.25, 1234567.0],
            "rotation": [1, 0, 0, 0], "velocity": [1e-07, -0.0, 0], "angularVelocity": [0, 0, 0.125 * frame],
            "acceleration": [0, -9.81, 0], "poseFlags": 0x8000000000000003, "confidence": 0.75}


def motion_output(update: int) -> dict:
    return {**ZERO_POSE, "timeStamp": -1, "frameNo": update, "position": [0, 0, -0.05 * update],
            "rotation": [1, 0, 0, 0], "poseFlags": 0xFFFFFFFFFFFFFFFF, "confidence": 1}


def report_path(tmp_path, name="report.json"):
    return tmp_path / name


def run_with_report(verifier, tmp_path, *args, env=None):
    path = report_path(tmp_path)
    result = verifier.run(*args, "--report=" + native_path(path), env=env)
    return result, read_json_report(path)


@pytest.mark.parametrize("mode, variant, exports, workflow, type_, name, poses", [
    ("verify", "tracking_ok", TRACKING_EXPORTS, TRACKING_WORKFLOW, 1, "Orvel Test Plugin",
     [{"call": n, "workflowRun": 1, "status": 0, "input": None, "output": tracking_pose(n)} for n in range(1, 6)]),
    ("verify-motion-platform-plugin", "motion_ok", MOTION_PLATFORM_EXPORTS, MOTION_WORKFLOW, 2,
     "Orvel Test Motion Platform",
     [{"call": n, "workflowRun": 1, "status": 0, "input": ZERO_POSE, "output": motion_output(n)} for n in range(1, 6)]),
])
def test_report_of_a_passing_run(verifier, tmp_path, mode, variant, exports, workflow, type_, name, poses):
    path = plugin(variant)
    plain = verifier.run("--mode=" + mode, "--plugin=" + path)
    result, report = run_with_report(verifier, tmp_path, "--mode=" + mode, "--plugin=" + path)
    assert result.stdout == plain.stdout, "the report file changes nothing on standard output"
    assert result.status == 0
    assert report["tool"] == {"name": "OrvelPluginVerifier", "pluginApiVersion": "4.16.0.0"}
    assert (report["mode"], report["plugin"], report["isolated"]) == (mode, path, False)
    assert report["pluginInfo"] == {"type": type_, "apiVersion": "4.16.0.0", "name": name,
                                    "statusDescriptions": STATUS_DESCRIPTIONS}
    assert [check["name"] for check in report["checks"]] == check_names(path, exports, workflow)
    assert all(check["result"] == "passed" and "detail" not in check for check in report["checks"])
    assert report["checks"][0]["durationMs"] > 0, "loading a library takes time"
    assert report["hostCalls"] == []
    assert report["poses"] == poses
    assert "latency" not in report, "only --strict=1 times the pose function"
    total = len(report["checks"])
    assert (report["passed"], report["total"], report["exitStatus"]) == (total, total, 0)
    assert leftovers(tmp_path) == []


def test_default_mode_is_written_as_verify_and_the_path_as_typed(verifier, tmp_path):
    separator = "\\" if IS_WINDOWS else "/"
    typed = plugin("tracking_ok").replace(separator + "tracking_ok", separator + "." + separator + "tracking_ok")
    result, report = run_with_report(verifier, tmp_path, "--plugin=" + typed)
    assert result.stdout == full_tracking_run(typed)
    assert (report["mode"], report["plugin"], report["checks"][0]["name"]) == ("verify", typed, "Loading DLL " + typed)


@pytest.mark.parametrize("args, results, plugin_info, passed, total, status", [
    # Every action fails: the nine calls of the workflow.
    (["--plugin=" + plugin("tracking_actions_fail")], ["passed"] * 10 + ["failed"] * 9, True, 10, 19, 9),
    (["--mode=verify-motion-platform-plugin", "--plugin=" + plugin("motion_update_fails")],
     ["passed"] * 9 + ["failed"] * 5 + ["passed"], True, 10, 15, 5),
    # Stopped after the export checks: no summary, so the total is the checks made.
    (["--plugin=" + plugin("tracking_no_tracker_stop")], ["passed"] * 8 + ["failed", "passed"], False, 9, 10, 1),
    (["--plugin=" + plugin("tracking_no_common")],
     ["passed"] * 3 + ["failed"] * 3 + ["passed"] * 4, False, 7, 10, 3),
    (["--plugin=" + plugin("does_not_exist")], ["failed"], False, 0, 1, 1),
])
def test_report_counts_and_results_follow_the_report_lines(verifier, tmp_path, args, results, plugin_info, passed,
                                                          total, status):
    result, report = run_with_report(verifier, tmp_path, *args)
    assert result.status == status
    assert as_lines(report["checks"]) == check_lines(result.stdout)
    assert [check["result"] for check in report["checks"]] == results
    assert (report["pluginInfo"] is not None) == plugin_info
    assert (report["passed"], report["total"], report["exitStatus"]) == (passed, total, status)


# variant, the last check's name, result and detail, exit status
UNISOLATED_ENDS = [
    ("tracking_sleeps_at_start", "call orvel_TrackerStart", "timed-out", "no return within 1000 ms", 8),
    ("tracking_crash_start", "call orvel_TrackerStart", "crashed", ACCESS_VIOLATION, 8),
    ("tracking_thread_crash_pose", "call orvel_GetHMDPose", "crashed", ACCESS_VIOLATION, 5),
    ("tracking_exit_init", "call orvel_PluginInit", "ended-process", EXIT, 9),
]


@pytest.mark.parametrize("variant, name, result_name, detail, status", UNISOLATED_ENDS,
                         ids=[case[0] for case in UNISOLATED_ENDS])
def test_a_run_without_isolation_that_the_plugin_ends_still_writes_the_report(verifier, tmp_path, variant, name,
                                                                             result_name, detail, status):
    if IS_WINDOWS and detail == EXIT:
        pytest.skip("Windows does not tell the verifier that a plugin called exit")
    result, report = run_with_report(verifier, tmp_path, "--timeout=1000", "--plugin=" + plugin(variant),
                                     env=SANITIZER_ENV)
    last = report["checks"][-1]
    assert (last["name"], last["result"], last["detail"]) == (name, result_name, detail)
    if result_name == "timed-out":
        assert last["durationMs"] >= 1000
    assert as_lines(report["checks"]) == check_lines(result.stdout)
    assert (report["passed"], report["total"], report["exitStatus"]) == (19 - status, 19, status)
    assert result.status == status
    assert leftovers(tmp_path) == []


def test_a_failure_count_beyond_what_an_exit_status_holds_is_capped_on_linux(verifier, tmp_path):
    # 29 workflows of nine failing calls: 261 failed checks, which Linux's
    # 8-bit exit status would read as 5 (and 256 of them as 0, a pass).
    result, report = run_with_report(verifier, tmp_path, "--repeat=29", "--plugin=" + plugin("tracking_actions_fail"))
    assert result.lines[-2] == "End verification: %d/%d passed" % (1 + 9, 1 + 9 + 29 * 9)
    expected = 261 if IS_WINDOWS else 254
    assert report["exitStatus"] == expected
    assert result.returncode == expected % 256


def test_host_calls_belong_to_the_check_they_ran_during(verifier, tmp_path):
    # The plugin logs in each call after init; init itself is check 10.
    result, report = run_with_report(verifier, tmp_path, "--plugin=" + plugin("tracking_writes_nothing"))
    names = [check["name"] for check in report["checks"]]
    expected = [("orvel_TrackerStart", 11)] + [("orvel_GetHMDPose", 12 + n) for n in range(5)] + [
        ("orvel_TrackerStop", 17), ("orvel_PluginShutdown", 18)]
    assert report["hostCalls"] == [{"line": "\t WriteLogMessage: %s got a null handle" % export, "check": index}
                                   for export, index in expected]
    assert all(names[index] == "call " + export for export, index in expected)
    assert [line for line in result.stdout.split("\n") if line.startswith("\t")] == [
        call["line"] for call in report["hostCalls"]]


def test_host_calls_of_init_keep_their_order_and_text(verifier, tmp_path):
    result, report = run_with_report(verifier, tmp_path, "--plugin=" + plugin("tracking_callbacks"))
    printed = [line for line in result.stdout.split("\n") if line.startswith("\t")]
    assert len(printed) > 10
    assert [call["line"] for call in report["hostCalls"]] == printed
    assert {call["check"] for call in report["hostCalls"]} == {10}
    assert "\t WriteLogMessage: %d%% %s %n" in printed


def test_texts_that_are_not_utf8_are_written_with_each_bad_byte_replaced(verifier, tmp_path):
    # The plugin's bytes: "Caf\xe9 \xe2\x82 <&\"'> \x01\t\x7f end " and a four-byte character.
    expected = "Caf" + REPLACEMENT + " " + REPLACEMENT * 2 + " <&\"'> \x01\t\x7f end \U0001F600"
    result, report = run_with_report(verifier, tmp_path, "--plugin=" + plugin("tracking_texts_not_utf8"))
    assert result.status == 0
    assert report["pluginInfo"]["name"] == expected
    assert report["hostCalls"] == [{"line": "\t WriteLogMessage: " + expected, "check": 10}]


@pytest.mark.parametrize("variant, mode, member, value", [
    ("tracking_nan_position", "verify", ("position", 1), "NaN"),
    ("tracking_infinite_velocity", "verify", ("velocity", 0), "Infinity"),
    ("motion_nan_position", "verify-motion-platform-plugin", ("position", 1), "NaN"),
])
def test_values_that_are_not_finite_are_written_as_names(verifier, tmp_path, variant, mode, member, value):
    _, report = run_with_report(verifier, tmp_path, "--mode=" + mode, "--plugin=" + plugin(variant))
    planted = {"tracking_nan_position": 3, "tracking_infinite_velocity": 2, "motion_nan_position": 2}[variant]
    for pose in report["poses"]:
        written = pose["output"][member[0]][member[1]]
        if pose["call"] == planted:
            assert written == value
        else:
            assert isinstance(written, (int, float)), pose


def test_an_existing_report_is_replaced_whole(verifier, tmp_path):
    path = report_path(tmp_path)
    path.write_text("not a report" * 1000)
    result = verifier.run("--plugin=" + plugin("tracking_ok"), "--report=" + native_path(path))
    assert result.status == 0
    assert read_json_report(path)["passed"] == 19
    assert leftovers(tmp_path) == []


def unwritable_cases():
    return [
        ("missing folder", lambda tmp: tmp / "missing" / "report.json"),
        ("a folder", lambda tmp: tmp),
    ]


@pytest.mark.parametrize("variant, status", [("tracking_ok", 1), ("tracking_actions_fail", 9)])
@pytest.mark.parametrize("case, target", unwritable_cases())
def test_a_report_that_cannot_be_written_is_an_error_after_the_summary(verifier, tmp_path, variant, status, case,
                                                                      target):
    path = native_path(target(tmp_path))
    plain = verifier.run("--plugin=" + plugin(variant))
    result = verifier.run("--plugin=" + plugin(variant), "--report=" + path)
    assert result.stdout.startswith(plain.stdout)
    error = result.stdout[len(plain.stdout):]
    prefix = "[Error] Unable to write the report to %s: 0x" % path
    assert error.startswith(prefix) and error.endswith("\n") and error.count("\n") == 1, error
    code, text = error[len(prefix):-1].split(": ", 1)
    assert code == code.upper() and int(code, 16) != 0 and text.strip() == text != "", error
    assert result.status == status
    assert leftovers(tmp_path) == [] and not (tmp_path / "missing").exists()


def test_set_mode_reports_the_verification_it_made(verifier, tmp_path):
    path = plugin("tracking_actions_fail")
    with property_server():
        result, report = run_with_report(verifier, tmp_path, "--mode=set", "--plugin=" + path,
                                         env={"ORVEL_LOGGER_STDOUT_DISABLED": "1"})
    assert result.status == 9
    assert (report["mode"], report["plugin"]) == ("set", path)
    assert as_lines(report["checks"]) == check_lines(result.stdout)
    assert (report["passed"], report["total"], report["exitStatus"]) == (10, 19, 9)


def test_set_mode_without_a_verification_writes_an_empty_report(verifier, tmp_path):
    # No property server: set mode ends before any verification. The lock
    # keeps the other tests' servers off the pipe name meanwhile.
    with fixed_pipe_lock():
        result, report = run_with_report(verifier, tmp_path, "--mode=set", "--plugin=openvr",
                                         env={"ORVEL_LOGGER_STDOUT_DISABLED": "1"})
    assert result.stdout == "[Error] Unable to connect OrvelProcessServer.\n"
    assert result.status == -1
    assert (report["mode"], report["plugin"], report["pluginInfo"]) == ("set", "openvr", None)
    assert (report["checks"], report["hostCalls"], report["poses"]) == ([], [], [])
    assert (report["passed"], report["total"], report["exitStatus"]) == (0, 0, -1)


def check_statuses(path, exports, workflow_statuses):
    """(name, status, statusDescription) of each check: none for the load and export checks."""
    made = [(name, None, None) for name in check_names(path, exports, [])]
    return made + [(name, status, text) for name, (status, text) in zip(TRACKING_WORKFLOW, workflow_statuses)]


# (variant, options, the checks' statuses, summaryReached, stoppedAt as (index, name) or None)
STATUS_CASES = [
    ("tracking_ok", [], lambda path: check_statuses(path, TRACKING_EXPORTS, [(0, "Success")] * 9), True, None),
    ("tracking_init_disconnected", [], lambda path: check_statuses(
        path, TRACKING_EXPORTS, [(-2, "Camera disconnected")] + [(-1, "Unknown plugin handle")] * 8), True, None),
    # A null description is no description.
    ("tracking_null_texts", [], lambda path: check_statuses(path, TRACKING_EXPORTS, [(0, None)] * 9), True, None),
    ("tracking_no_tracker_stop", [], lambda path: check_statuses(path, TRACKING_EXPORTS, []), False,
     (8, "Find API function: orvel_TrackerStop")),
    ("does_not_exist", [], lambda path: [("Loading DLL " + path, None, None)], False, (0, "Loading DLL {path}")),
    # A call that never returned has no status; the run still reached its summary.
    ("tracking_sleeps_at_start", ["--timeout=1000"], lambda path: check_statuses(
        path, TRACKING_EXPORTS, [(0, "Success"), (None, None)]), True, None),
]


@pytest.mark.parametrize("isolate", ["0", "1"])
@pytest.mark.parametrize("variant, options, statuses, summary_reached, stopped_at", STATUS_CASES,
                         ids=[case[0] for case in STATUS_CASES])
def test_each_call_records_its_status_and_a_stopped_run_says_where(verifier, tmp_path, variant, options, statuses,
                                                                  summary_reached, stopped_at, isolate):
    path = plugin(variant)
    result, report = run_with_report(verifier, tmp_path, *options, "--isolate=" + isolate, "--plugin=" + path)
    assert [(c["name"], c.get("status"), c.get("statusDescription")) for c in report["checks"]] == statuses(path)
    assert report["summaryReached"] == summary_reached
    assert result.stdout.endswith("Unable to continue...\n") == (stopped_at is not None)
    if stopped_at is None:
        assert "stoppedAt" not in report
    else:
        assert report["stoppedAt"] == {"check": stopped_at[0], "name": stopped_at[1].format(path=path)}
