"""The JUnit XML report (--junit=PATH): it parses as XML, carries the counts
of the run and one testcase per check with its outcome, escapes every text,
and is written the same way as the JSON report."""

import os
import re

import pytest

from conftest import IS_WINDOWS, LIBRARY_SUFFIX, native_path, plugin
from report_files import REPLACEMENT, check_lines, leftovers, read_json_report, read_junit_report
from verify_report import MOTION_PLATFORM_EXPORTS, TRACKING_EXPORTS


def run_with_reports(verifier, tmp_path, *args, env=None):
    """Runs with both reports; the JSON one says what each testcase must be."""
    junit = tmp_path / "junit.xml"
    json_path = tmp_path / "report.json"
    result = verifier.run(*args, "--junit=" + native_path(junit), "--report=" + native_path(json_path), env=env)
    return result, read_junit_report(junit), read_json_report(json_path)


def outcome(testcase):
    """(kind, message, type) of a testcase: kind is passed, failure, error or skipped."""
    children = list(testcase)
    assert len(children) <= 1
    if not children:
        return ("passed", None, None)
    return (children[0].tag, children[0].get("message"), children[0].get("type"))


def expected_outcome(check):
    """From the JSON report's check: the cause after " - ", else what a call
    returned, else "failed"."""
    if check["result"] == "passed":
        return ("passed", None, None)
    message = check.get("detail", "returned %d" % check["status"] if "status" in check else "failed")
    return ("failure" if check["result"] == "failed" else "error", message, check["result"])


def classname(mode: str, variant: str) -> str:
    return mode + "." + variant + LIBRARY_SUFFIX.replace(".", "_")


def workflow_names(kind: str, run: int = 1, runs: int = 1) -> list:
    """A workflow's testcase names: each pose call numbered, each call with its run under --repeat."""
    if kind == "tracking":
        pose = "orvel_GetHMDPose"
        calls = ["orvel_PluginInit", "orvel_TrackerStart"] + [pose] * 5 + ["orvel_TrackerStop", "orvel_PluginShutdown"]
    else:
        pose = "orvel_UpdatePose"
        calls = ["orvel_PluginInit"] + [pose] * 5 + ["orvel_PluginShutdown"]
    names, poses = [], 0
    for name in calls:
        within = []
        if name == pose:
            poses += 1
            within.append("pose %d of 5" % poses)
        if runs > 1:
            within.append("run %d of %d" % (run, runs))
        names.append("call " + name + (" (" + ", ".join(within) + ")" if within else ""))
    return names


@pytest.mark.parametrize("args, variant, mode, tests, failures, errors, skipped", [
    ([], "tracking_ok", "verify", 19, 0, 0, 0),
    ([], "tracking_actions_fail", "verify", 19, 9, 0, 0),
    (["--mode=verify-motion-platform-plugin"], "motion_update_fails", "verify-motion-platform-plugin", 15, 5, 0, 0),
    (["--mode=verify"], "tracking_no_tracker_stop", "verify", 10, 1, 0, 0),
    # A missed deadline ends the run: an error, and the checks never made are skipped.
    (["--timeout=1000"], "tracking_sleeps_at_start", "verify", 19, 0, 1, 7),
])
def test_testsuite_carries_the_counts_of_the_run(verifier, tmp_path, args, variant, mode, tests, failures, errors,
                                                 skipped):
    result, suite, report = run_with_reports(verifier, tmp_path, *args, "--plugin=" + plugin(variant))
    assert suite.tag == "testsuite"
    assert suite.get("name") == "OrvelPluginVerifier"
    counts = [int(suite.get(name)) for name in ("tests", "failures", "errors", "skipped")]
    assert counts == [tests, failures, errors, skipped]
    assert tests - failures - errors - skipped == report["passed"]
    assert tests == report["total"]
    cases = suite.findall("testcase")
    assert len(cases) == tests
    assert {case.get("classname") for case in cases} == {classname(mode, variant)}
    made = report["checks"]
    assert [outcome(case) for case in cases[:len(made)]] == [expected_outcome(check) for check in made]
    assert [outcome(case)[0] for case in cases[len(made):]] == ["skipped"] * skipped
    times = [float(case.get("time")) for case in cases]
    assert all(t >= 0 for t in times)
    assert float(suite.get("time")) == pytest.approx(sum(times), abs=1e-5 * len(times))
    assert len(check_lines(result.stdout)) == len(made)
    assert leftovers(tmp_path) == []


def test_every_text_is_escaped(verifier, tmp_path):
    # A library that is not there, named with markup, quotes and control characters.
    name = "a&b<c>\"d'e\x01\tf" + LIBRARY_SUFFIX
    path = native_path(tmp_path / name)
    result, suite, report = run_with_reports(verifier, tmp_path, "--plugin=" + path)
    assert result.status == 1
    (case,) = suite.findall("testcase")
    assert report["checks"][0]["name"] == "Loading DLL " + path
    assert case.get("name") == "Loading DLL " + path.replace("\x01", REPLACEMENT)
    assert case.get("classname") == "verify." + name.replace("\x01", REPLACEMENT).replace(".", "_")
    assert outcome(case) == ("failure", "failed", "failed")


@pytest.mark.skipif(IS_WINDOWS, reason="a Windows path is text in the active code page, never stray bytes")
def test_a_path_that_is_not_utf8_is_written_with_the_byte_replaced(verifier, tmp_path):
    # Linux takes the path as bytes; no library is there, so the load check fails.
    path = os.fsdecode(bytes(tmp_path) + b"/orvel-\xff" + LIBRARY_SUFFIX.encode())
    result, suite, report = run_with_reports(verifier, tmp_path, "--plugin=" + path)
    assert result.status == 1
    written = str(tmp_path) + "/orvel-" + REPLACEMENT + LIBRARY_SUFFIX
    assert report["plugin"] == written
    assert [(check["name"], check["result"]) for check in report["checks"]] == [("Loading DLL " + written, "failed")]
    (case,) = suite.findall("testcase")
    assert case.get("name") == "Loading DLL " + written
    assert case.get("classname") == "verify.orvel-" + REPLACEMENT + LIBRARY_SUFFIX.replace(".", "_")


def test_a_junit_path_that_cannot_be_written_is_an_error_after_the_summary(verifier, tmp_path):
    path = native_path(tmp_path / "missing" / "junit.xml")
    result = verifier.run("--plugin=" + plugin("tracking_ok"), "--junit=" + path)
    last = result.stdout.split("\n")[-2]
    assert last.startswith("[Error] Unable to write the report to %s: 0x" % path)
    assert result.stdout.split("\n")[-3] == "End verification: 19/19 passed"
    assert result.status == 1


def tracking_names(path: str, runs: int = 1) -> list:
    names = ["Loading DLL " + path] + ["Find API function: " + name for name in TRACKING_EXPORTS]
    for run in range(1, runs + 1):
        names += workflow_names("tracking", run, runs)
    return names


def motion_names(path: str, runs: int = 1) -> list:
    names = ["Loading DLL " + path] + ["Find API function: " + name for name in MOTION_PLATFORM_EXPORTS]
    for run in range(1, runs + 1):
        names += workflow_names("motion", run, runs)
    return names


STRICT_TRACKING = ["pose values are finite", "pose rotations have unit length", "pose time stamps do not decrease",
                   "pose frame numbers do not decrease", "pose confidence is between 0 and 1"]
LATENCY = re.compile(r"orvel_GetHMDPose latency p99 \d+ us, max \d+ us \(budget 1000 us\)")
EXPORT_STOP = "Find API function: orvel_TrackerStop"

# (options, variant, the testcase names in order (a pattern for the measured
# latency), each testcase's outcome kind and message (None: passed), the
# suite's properties)
JUNIT_CASES = {
    "passing": ([], "tracking_ok", tracking_names, lambda path: [None] * 19, []),
    "repeated motion platform run": (
        ["--mode=verify-motion-platform-plugin", "--repeat=2"], "motion_ok", lambda path: motion_names(path, 2),
        lambda path: [None] * 22, []),
    "failing calls": ([], "tracking_actions_fail", tracking_names,
                      lambda path: [None] * 10 + [("failure", "returned 1")] * 9, []),
    "strict failure": (["--strict=1"], "tracking_nan_position",
                       lambda path: tracking_names(path) + STRICT_TRACKING + [LATENCY, "no threads left running after shutdown"],
                       lambda path: [None] * 19 + [("failure", "pose 3: position[1] is NaN")] + [None] * 6, []),
    # The checks never made are named as they would have been.
    "missed deadline": (["--timeout=1000", "--repeat=2"], "tracking_sleeps_at_start",
                        lambda path: tracking_names(path, 2),
                        lambda path: [None] * 11 + [("error", "no return within 1000 ms")] + [("skipped", None)] * 16,
                        []),
    "stopped at an export": ([], "tracking_no_tracker_stop",
                             lambda path: tracking_names(path)[:10],
                             lambda path: [None] * 8 + [("failure", "failed"), None],
                             [("stoppedAt", EXPORT_STOP), ("summary", "not reached")]),
    "stopped at the load": ([], "does_not_exist", lambda path: ["Loading DLL " + path],
                            lambda path: [("failure", "failed")],
                            [("stoppedAt", "Loading DLL {path}"), ("summary", "not reached")]),
}


@pytest.mark.parametrize("isolate", ["0", "1"])
@pytest.mark.parametrize("case", JUNIT_CASES.values(), ids=JUNIT_CASES.keys())
def test_testcases_are_named_uniquely_with_exact_messages(verifier, tmp_path, case, isolate):
    options, variant, names, outcomes, properties = case
    path = plugin(variant)
    _, suite, report = run_with_reports(verifier, tmp_path, *options, "--isolate=" + isolate, "--plugin=" + path)
    cases = suite.findall("testcase")
    written = [testcase.get("name") for testcase in cases]
    expected = names(path)
    assert len(written) == len(expected), written
    for name, wanted in zip(written, expected):
        assert (wanted.fullmatch(name) is not None) if isinstance(wanted, re.Pattern) else name == wanted, name
    assert len(set(written)) == len(written), "testcase names repeat"
    assert [None if outcome(c)[0] == "passed" else outcome(c)[:2] if outcome(c)[0] != "skipped" else ("skipped", None)
            for c in cases] == outcomes(path)
    assert [(p.get("name"), p.get("value")) for p in suite.findall("properties/property")] == [
        (name, value.format(path=path)) for name, value in properties]
    assert report["summaryReached"] == (properties == [])
