"""Reports of isolated runs (--isolate=1): the parent writes them from its
view of the child's run, so they hold what a run in one process reports
(checks with causes, host service lines, plugin info, poses, latency), and
are written after a crash, an early end or a missed deadline too."""

import re

import pytest

from conftest import native_path, plugin
from property_server import property_server
from report_files import as_lines, check_lines, read_json_report, read_junit_report
from test_isolation import ACCESS_VIOLATION, EXIT, SANITIZER_ENV

DEADLINE = "no return within 1000 ms"


def run_with_reports(verifier, tmp_path, *args, env=None):
    json_path, junit_path = tmp_path / "report.json", tmp_path / "junit.xml"
    result = verifier.run(*args, "--report=" + native_path(json_path), "--junit=" + native_path(junit_path),
                          env={**SANITIZER_ENV, **(env or {})})
    return result, read_json_report(json_path), read_junit_report(junit_path)


def without_durations(checks):
    """The checks without what timing decides: durations, and the figures of the latency check."""
    return [{key: re.sub(r" latency p99 \d+ us, max \d+ us ", " latency ", value) if key == "name" else value
             for key, value in check.items() if key != "durationMs"} for check in checks]


@pytest.mark.parametrize("mode, variant, args", [
    ("verify", "tracking_callbacks", []),
    ("verify", "tracking_nan_position", ["--strict=1"]),
    ("verify", "tracking_texts_not_utf8", ["--repeat=2"]),
    ("verify-motion-platform-plugin", "motion_nan_position", ["--strict=1"]),
])
def test_isolated_report_holds_what_a_run_in_one_process_reports(verifier, tmp_path, mode, variant, args):
    common = ["--mode=" + mode, "--plugin=" + plugin(variant), *args]
    (tmp_path / "plain").mkdir()
    plain, plain_report, _ = run_with_reports(verifier, tmp_path / "plain", *common)
    isolated, report, suite = run_with_reports(verifier, tmp_path, *common, "--isolate=1")
    assert isolated.status == plain.status
    assert report["isolated"] is True and plain_report["isolated"] is False
    for key in ("mode", "plugin", "pluginInfo", "hostCalls", "poses", "passed", "total", "exitStatus"):
        assert report[key] == plain_report[key], key
    assert without_durations(report["checks"]) == without_durations(plain_report["checks"])
    assert ("latency" in report) == ("latency" in plain_report) == ("--strict=1" in args)
    if "latency" in report:
        assert report["latency"]["calls"] == 1000
    assert any(check["durationMs"] > 0 for check in report["checks"]), "durations come from the child"
    assert int(suite.get("tests")) == report["total"]


@pytest.mark.parametrize("mode, variant, args, result, detail, passed, total, poses", [
    ("verify", "tracking_crash_third_pose", [], "crashed", ACCESS_VIOLATION, 14, 19, 2),
    ("verify", "tracking_crash_third_pose", ["--strict=1", "--repeat=2"], "crashed", ACCESS_VIOLATION, 14, 35, 2),
    ("verify", "tracking_loops_third_pose", ["--timeout=1000"], "timed-out", DEADLINE, 14, 19, 2),
    ("verify", "tracking_exit_init", [], "ended-process", EXIT, 10, 19, 0),
    ("verify-motion-platform-plugin", "motion_crash_third_update", ["--strict=1"], "crashed", ACCESS_VIOLATION, 11,
     18, 2),
])
def test_the_parent_writes_the_reports_after_the_child_ended(verifier, tmp_path, mode, variant, args, result, detail,
                                                             passed, total, poses):
    run, report, suite = run_with_reports(verifier, tmp_path, "--isolate=1", "--mode=" + mode,
                                          "--plugin=" + plugin(variant), *args)
    assert as_lines(report["checks"]) == check_lines(run.stdout)
    last = report["checks"][-1]
    assert (last["result"], last["detail"]) == (result, detail)
    assert (report["passed"], report["total"], report["exitStatus"]) == (passed, total, total - passed)
    assert run.status == total - passed
    assert len(report["poses"]) == poses
    assert report["pluginInfo"]["name"] == "Orvel Test Plugin"
    made = len(report["checks"])
    counts = [int(suite.get(name)) for name in ("tests", "failures", "errors", "skipped")]
    assert counts == [total, 0, 1, total - made]


def test_isolated_set_mode_reports_its_verification(verifier, tmp_path):
    path = plugin("tracking_crash_start")
    with property_server():
        run, report, suite = run_with_reports(verifier, tmp_path, "--mode=set", "--isolate=1", "--plugin=" + path,
                                              env={"ORVEL_LOGGER_STDOUT_DISABLED": "1"})
    assert (report["mode"], report["isolated"], report["plugin"]) == ("set", True, path)
    assert report["checks"][-1]["result"] == "crashed"
    assert (report["passed"], report["total"], report["exitStatus"]) == (11, 19, 8)
    assert run.status == 8
    assert suite.findall("testcase")[0].get("classname").startswith("set.tracking_crash_start")


def test_a_crash_after_the_run_fails_the_last_call_in_the_reports(verifier, tmp_path):
    run, report, suite = run_with_reports(verifier, tmp_path, "--isolate=1",
                                          "--plugin=" + plugin("tracking_crash_after_shutdown"))
    last = report["checks"][-1]
    assert (last["name"], last["result"], last["detail"]) == (
        "call orvel_PluginShutdown", "crashed", "the plugin crashed after the run: " + ACCESS_VIOLATION.split(": ", 1)[1])
    assert (report["passed"], report["total"], report["exitStatus"]) == (18, 19, 1)
    assert run.status == 1
    assert [int(suite.get(name)) for name in ("tests", "failures", "errors")] == [19, 0, 1]
