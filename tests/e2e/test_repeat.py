"""--repeat=N: the workflow (init to shutdown) N times in one load of the
library, each block after the first under its own header, the total counting
every block; plugins that fail the second initialisation or leave a thread
after each shutdown."""

import pytest

from conftest import native_path, plugin
from report_files import read_json_report
from test_isolation import full_motion_run
from verify_report import (
    TRACKING_EXPORTS,
    WORKFLOW,
    ZERO_POSE,
    call,
    export_checks,
    stateless,
    start,
    summary,
    tracking_workflow,
)


def header(run: int, runs: int) -> str:
    return WORKFLOW if run == 1 else "\n Check main workflow (run %d of %d):\n" % (run, runs)


def repeated(block: str, runs: int) -> str:
    """The workflow block (under the first header) once per run, each under its header."""
    assert block.startswith(WORKFLOW)
    return "".join(header(run, runs) + block[len(WORKFLOW):] for run in range(1, runs + 1))


def tracking_run(path: str, blocks: str, passed: int, total: int) -> str:
    return start(path) + export_checks(TRACKING_EXPORTS) + stateless(1, "4.16.0.0", "Orvel Test Plugin") + blocks + (
        summary(passed, total))


def failed_tracking_workflow() -> str:
    """A workflow whose init failed: no handle, so every call fails and the pose stays zero."""
    text = WORKFLOW + call("orvel_PluginInit", False) + call("orvel_TrackerStart", False)
    text += (call("orvel_GetHMDPose", False) + "Returned pose: " + ZERO_POSE + "\n") * 5
    return text + call("orvel_TrackerStop", False) + call("orvel_PluginShutdown", False)


@pytest.mark.parametrize("runs", [1, 2, 3])
def test_tracking_workflow_repeats_in_blocks(verifier, runs):
    path = plugin("tracking_ok")
    result = verifier.run("--plugin=" + path, "--repeat=%d" % runs)
    total = 10 + 9 * runs
    assert result.stdout == tracking_run(path, repeated(tracking_workflow(), runs), total, total)
    assert result.status == 0


def test_motion_platform_workflow_repeats_in_blocks(verifier):
    path = plugin("motion_ok")
    result = verifier.run("--mode=verify-motion-platform-plugin", "--plugin=" + path, "--repeat=2")
    once = full_motion_run(path, "Orvel Test Motion Platform")
    head, _, rest = once.partition(WORKFLOW)
    block = WORKFLOW + rest[:rest.index("\nEnd verification: ")]
    assert result.stdout == head + repeated(block, 2) + summary(22, 22)
    assert result.status == 0


def test_a_failing_second_initialisation_fails_only_the_second_block(verifier):
    path = plugin("tracking_fails_second_init")
    result = verifier.run("--plugin=" + path, "--repeat=3")
    blocks = tracking_workflow() + failed_tracking_workflow().replace(WORKFLOW, header(2, 3)) + (
        tracking_workflow().replace(WORKFLOW, header(3, 3)))
    assert result.stdout == tracking_run(path, blocks, 28, 37)
    assert result.status == 9


@pytest.mark.parametrize("variant, runs, cause", [
    ("tracking_thread_left", 1, "1 thread left running"),
    ("tracking_thread_left", 3, "3 threads left running"),
    ("tracking_ok", 3, None),
])
def test_strict_checks_come_once_after_every_block(verifier, tmp_path, variant, runs, cause):
    report_path = tmp_path / "report.json"
    result = verifier.run("--plugin=" + plugin(variant), "--repeat=%d" % runs, "--strict=1",
                          "--report=" + native_path(report_path))
    lines = result.stdout.split("\n")
    assert lines.count(" Check pose data:") == 1
    assert lines.index(" Check pose data:") > lines.index(header(runs, runs).strip("\n"))
    thread_line = "[ OK ] : no threads left running after shutdown" if cause is None else (
        "[ FAILED ] : no threads left running after shutdown - " + cause)
    total = 10 + 9 * runs + 7
    assert lines[-4:] == [thread_line, "", "End verification: %d/%d passed" % (total - (cause is not None), total), ""]
    report = read_json_report(report_path)
    # Frame numbers start again with each initialisation: no decrease is found.
    assert [check["result"] for check in report["checks"]].count("passed") == total - (cause is not None)
    assert [(pose["call"], pose["workflowRun"]) for pose in report["poses"]] == [
        (5 * (run - 1) + n, run) for run in range(1, runs + 1) for n in range(1, 6)]
    assert report["latency"]["calls"] == 1000, "the pose function is timed in the first workflow only"
