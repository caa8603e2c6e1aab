"""The bundled sample plugins pass every check of their run."""

import re

from conftest import sample
from verify_report import (
    MOTION_PLATFORM_EXPORTS,
    TRACKING_EXPORTS,
    WORKFLOW,
    call,
    export_checks,
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


def test_sample_tracker_passes(verifier):
    path = sample("SampleTracker")
    result = verifier.run("--mode=verify", "--plugin=" + path)
    pose_line = re.compile(
        r"Returned pose: \{ timeStamp:\d+, frameNo:(\d), position:%s, rotation:\[ %s, 0, 0, %s \], velocity:%s, "
        r"angularVelocity:%s, acceleration:%s, poseFlags:3, confidence:1\}" % (VECTOR, NUMBER, NUMBER, VECTOR, VECTOR, VECTOR)
    )
    frames = [int(m.group(1)) for m in map(pose_line.fullmatch, result.lines) if m]
    assert frames == [1, 2, 3, 4, 5]
    report = "\n".join(line for line in result.lines if not pose_line.fullmatch(line))
    workflow = WORKFLOW + "\t WriteLogMessage: Sample tracker ready\n" + call("orvel_PluginInit") + call("orvel_TrackerStart")
    workflow += call("orvel_GetHMDPose") * 5 + call("orvel_TrackerStop") + call("orvel_PluginShutdown")
    assert report == (
        start(path)
        + export_checks(TRACKING_EXPORTS)
        + stateless(1, "4.16.0.0", "Orvel Sample Tracker", SAMPLE_STATUS_TEXTS + ["The tracker is not started"])
        + workflow
        + summary(19, 19)
    )
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
    heights = [float(m.group(1)) for m in map(output_line.fullmatch, result.lines) if m]
    assert len(heights) == 5 and all(-0.1 <= h <= 0.1 for h in heights)
    report = "\n".join(line for line in result.lines if not output_line.fullmatch(line))
    workflow = WORKFLOW + "\t WriteLogMessage: Sample motion platform ready\n" + call("orvel_PluginInit")
    workflow += (call("orvel_UpdatePose") + input_line + "\n") * 5 + call("orvel_PluginShutdown")
    assert report == (
        start(path)
        + export_checks(MOTION_PLATFORM_EXPORTS)
        + stateless(2, "4.16.0.0", "Orvel Sample Motion Platform", SAMPLE_STATUS_TEXTS + ["A pose argument is missing"])
        + workflow
        + summary(15, 15)
    )
    assert result.status == 0
