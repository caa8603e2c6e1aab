"""The JUnit XML report (--junit=PATH): it parses as XML, carries the counts
of the run and one testcase per check with its outcome, escapes every text,
and is written the same way as the JSON report."""

import os

import pytest

from conftest import IS_WINDOWS, LIBRARY_SUFFIX, native_path, plugin
from report_files import REPLACEMENT, check_lines, leftovers, read_json_report, read_junit_report


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
    if check["result"] == "passed":
        return ("passed", None, None)
    message = check.get("detail", "[ FAILED ] : " + check["name"])
    return ("failure" if check["result"] == "failed" else "error", message, check["result"])


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
    assert {case.get("classname") for case in cases} == {mode + "." + variant + LIBRARY_SUFFIX}
    made = report["checks"]
    assert [case.get("name") for case in cases[:len(made)]] == [check["name"] for check in made]
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
    assert case.get("classname") == "verify." + name.replace("\x01", REPLACEMENT)
    assert outcome(case) == ("failure", "[ FAILED ] : Loading DLL " + path.replace("\x01", REPLACEMENT), "failed")


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
    assert case.get("classname") == "verify.orvel-" + REPLACEMENT + LIBRARY_SUFFIX


def test_a_junit_path_that_cannot_be_written_is_an_error_after_the_summary(verifier, tmp_path):
    path = native_path(tmp_path / "missing" / "junit.xml")
    result = verifier.run("--plugin=" + plugin("tracking_ok"), "--junit=" + path)
    last = result.stdout.split("\n")[-2]
    assert last.startswith("[Error] Unable to write the report to %s: 0x" % path)
    assert result.stdout.split("\n")[-3] == "End verification: 19/19 passed"
    assert result.status == 1
