"""The bundled sample plugins pass every check of their run."""

import re

from conftest import sample
from verify_report import (
    MOTION_PLATFORM_EXPORTS,
    TRACKING_EXPORTS,
    WORKFLOW,
    call,
    export_checks,
    split_lines,
    stateless,
    start,
    summary,
)

SAMPLE_STATUS_TEXTS = [
    "Unknown status",
    "Unknown status",
    "Success",
    "The plugin handle is not valid",
]

NUMBER = r"-?\d+(?:\.\d+)?(?:e[+-]\d+)?"
VECTOR = r"\[ %s, %s, %s \]" % (NUMBER, NUMBER, NUMBER)


def passing_run(path, exports, plugin_type, name, last_status_text, workflow, checks):
    """A sample's report: every check passed, the sample's own status texts."""
    return (
        start(path)
        + export_checks(exports)
        + stateless(plugin_type, "4.16.0.0", name, SAMPLE_STATUS_TEXTS + [last_status_text])
        + workflow
        + summary(checks, checks)
    )


def test_sample_tracker_passes(verifier):
    path = sample("SampleTracker")
    result = verifier.run("--mode=verify", "--plugin=" + path)
    pose_line = re.compile(
        r"Returned pose: \{ timeStamp:\d+, frameNo:(\d), position:%s, rotation:\[ %s, 0, 0, %s \], velocity:%s, "
        r"angularVelocity:%s, acceleration:%s, poseFlags:3, confidence:1\}" % (VECTOR, NUMBER, NUMBER, VECTOR, VECTOR, VECTOR)
    )
    pose_lines, report = split_lines(result.lines, pose_line)
    assert [int(m.group(1)) for _, m in pose_lines] == [1, 2, 3, 4, 5]
    workflow = WORKFLOW + "\t WriteLogMessage: Sample tracker ready\n" + call("orvel_PluginInit") + call("orvel_TrackerStart")
    workflow += call("orvel_GetHMDPose") * 5 + call("orvel_TrackerStop") + call("orvel_PluginShutdown")
    assert report == passing_run(
        path, TRACKING_EXPORTS, 1, "Orvel Sample Tracker", "The tracker is not started", workflow, 19)
    assert result.status == 0


def test_sample_motion_platform_passes(verifier):
    path = sample("SampleMotionPlatform")
    result = verifier.run("--mode=verify-motion-platform-plugin", "--plugin=" + path)
    input_line = (
        "Input pose: { timeStamp:0, frameNo:0, position:[ 0, 0, 0 ], rotation:[ 0, 0, 0, 0 ], velocity:[ 0, 0, 0 ], "
        "angularVelocity:[ 0, 0, 0 ], acceleration:[ 0, 0, 0 ], poseFlags:0, confidence:0}"
    )
    # The platform heaves; the output moves the head by the opposite height.
    output_line = re.compile(
        r"Output pose: \{ timeStamp:0, frameNo:0, position:\[ 0, (%s), 0 \], rotation:\[ 0, 0, 0, 0 \], "
        r"velocity:\[ 0, 0, 0 \], angularVelocity:\[ 0, 0, 0 \], acceleration:\[ 0, 0, 0 \], poseFlags:0, "
        r"confidence:0\}" % NUMBER
    )
    output_lines, report = split_lines(result.lines, output_line)
    heights = [float(m.group(1)) for _, m in output_lines]
    assert len(heights) == 5 and all(-0.1 <= h <= 0.1 for h in heights)
    workflow = WORKFLOW + "\t WriteLogMessage: Sample motion platform ready\n" + call("orvel_PluginInit")
    workflow += (call("orvel_UpdatePose") + input_line + "\n") * 5 + call("orvel_PluginShutdown")
    assert report == passing_run(
        path, MOTION_PLATFORM_EXPORTS, 2, "Orvel Sample Motion Platform", "A pose argument is missing", workflow, 15)
    assert result.status == 0
