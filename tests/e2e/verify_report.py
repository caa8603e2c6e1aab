"""Expected report texts of the two verification runs, built from their rules.

Each function returns whole lines (with their line ends) so that a test can
put the complete expected standard output together and compare it at once."""

import re

TRACKING_EXPORTS = [
    "orvel_GetPluginType",
    "orvel_GetPluginAPIVersion",
    "orvel_GetPluginName",
    "orvel_GetPluginStatusDescription",
    "orvel_PluginInit",
    "orvel_PluginShutdown",
    "orvel_TrackerStart",
    "orvel_TrackerStop",
    "orvel_GetHMDPose",
]
MOTION_PLATFORM_EXPORTS = TRACKING_EXPORTS[:6] + ["orvel_UpdatePose"]

# What the test plugin (tests/plugins/TestPlugin.c) says about status values -2 to 2.
TEST_PLUGIN_STATUS_TEXTS = ["Unknown status", "Unknown plugin handle", "Success", "Action failed", "Pose update failed"]


def check(passed: bool, text: str) -> str:
    return "[ %s ] : %s\n" % ("OK" if passed else "FAILED", text)


def start(path: str, loads: bool = True) -> str:
    return "Start verification\n" + check(loads, "Loading DLL " + path)


def export_checks(exports, missing=()) -> str:
    return "".join(check(name not in missing, "Find API function: " + name) for name in exports)


UNABLE_TO_CONTINUE = "Unable to continue...\n"


def stateless(plugin_type: int, version: str, name: str, status_texts=TEST_PLUGIN_STATUS_TEXTS) -> str:
    text = "\n Check stateless API functions:\n"
    text += "orvel_GetPluginType = %d\n" % plugin_type
    text += "orvel_GetPluginAPIVersion = %s\n" % version
    text += "orvel_GetPluginName = %s\n" % name
    for status, description in zip(range(-2, 3), status_texts):
        text += "orvel_GetPluginStatusDescription(%d) = %s\n" % (status, description)
    return text


WORKFLOW = "\n Check main workflow:\n"


def call(export: str, passed: bool = True) -> str:
    return check(passed, "call " + export)


def summary(passed: int, total: int) -> str:
    return "\nEnd verification: %d/%d passed\n" % (passed, total)


def vector(values) -> str:
    # Doubles in the general form with six significant digits, as "%g" writes them.
    return "[ " + ", ".join("%g" % v for v in values) + " ]"


def pose(time_stamp=0, frame_no=0, position=(0, 0, 0), rotation=(0, 0, 0, 0), velocity=(0, 0, 0),
         angular_velocity=(0, 0, 0), acceleration=(0, 0, 0), pose_flags=0, confidence=0.0) -> str:
    return (
        "{ timeStamp:%d, frameNo:%d, position:%s, rotation:%s, velocity:%s, angularVelocity:%s, "
        "acceleration:%s, poseFlags:%d, confidence:%s}"
        % (time_stamp, frame_no, vector(position), vector(rotation), vector(velocity), vector(angular_velocity),
           vector(acceleration), pose_flags, "%g" % confidence)
    )


ZERO_POSE = pose()


def plugin_pose(frame: int) -> str:
    """The deterministic pose the test plugin returns from its n-th orvel_GetHMDPose call."""
    return pose(
        time_stamp=1000 * frame,
        frame_no=frame,
        position=(0.5 * frame, -0.25, 1234567.0),
        rotation=(1, 0, 0, 0),
        velocity=(1e-07, -0.0, 0),
        angular_velocity=(0, 0, 0.125 * frame),
        acceleration=(0, -9.81, 0),
        pose_flags=0x8000000000000003,
        confidence=0.75,
    )


def tracking_workflow(passed: bool = True, init_lines: str = "") -> str:
    """Init, start, five poses of the test plugin, stop, shutdown."""
    text = WORKFLOW + init_lines + call("orvel_PluginInit", passed) + call("orvel_TrackerStart", passed)
    for frame in range(1, 6):
        text += call("orvel_GetHMDPose", passed) + "Returned pose: " + plugin_pose(frame) + "\n"
    return text + call("orvel_TrackerStop", passed) + call("orvel_PluginShutdown", passed)


def full_tracking_run(path: str, name: str = "Orvel Test Plugin", init_lines: str = "", passed: bool = True) -> str:
    """A test plugin's whole run; not passed, each of its nine workflow calls fails."""
    return (
        start(path)
        + export_checks(TRACKING_EXPORTS)
        + stateless(1, "4.16.0.0", name)
        + tracking_workflow(passed, init_lines)
        + summary(19 if passed else 10, 19)
    )


def missing_exports_run(path: str, missing) -> str:
    """A tracking run that stops after the export checks, some exports missing."""
    return start(path) + export_checks(TRACKING_EXPORTS, missing) + UNABLE_TO_CONTINUE


def motion_run(path, name, updates, passed=True, summary_text=summary(15, 15), status_texts=None):
    """Init, five updates each followed by its input and output pose, shutdown."""
    text = start(path) + export_checks(MOTION_PLATFORM_EXPORTS)
    text += stateless(2, "4.16.0.0", name) if status_texts is None else stateless(2, "4.16.0.0", name, status_texts)
    text += WORKFLOW + call("orvel_PluginInit")
    for input_pose, output_pose in updates:
        text += call("orvel_UpdatePose", passed)
        text += "Input pose: " + input_pose + "\n" + "Output pose: " + output_pose + "\n"
    return text + call("orvel_PluginShutdown") + summary_text


def corrected(frame):
    """The pose the motion test plugin returns for the n-th all-zero input."""
    return pose(time_stamp=-1, frame_no=frame, position=(0, 0, -0.05 * frame), rotation=(1, 0, 0, 0),
                pose_flags=0xFFFFFFFFFFFFFFFF, confidence=1.0)


def split_lines(lines, pattern):
    """The lines that pattern matches whole, as (index, match) pairs, and the
    other lines joined with line ends."""
    matched, others = [], []
    for index, line in enumerate(lines):
        match = pattern.fullmatch(line)
        if match:
            matched.append((index, match))
        else:
            others.append(line)
    return matched, "\n".join(others)


# A line of one of the four writer threads of a test plugin: writer, line number, 200 zeros.
WRITER_LINE = re.compile(r"\t WriteLogMessage: writer (\d) line (\d{3,4}) 0{200}")


def without_writer_lines(lines, lines_per_writer: int, after_call: str, before_call: str) -> str:
    """Checks that each writer's lines came whole, all of them and in order,
    between the report lines of two calls; returns the other lines."""
    writer_lines, report = split_lines(lines, WRITER_LINE)
    written = {writer: [int(m.group(2)) for _, m in writer_lines if int(m.group(1)) == writer] for writer in range(4)}
    assert written == {writer: list(range(lines_per_writer)) for writer in range(4)}, "a writer line was lost or broken"
    first = lines.index(call(after_call).rstrip("\n"))
    last = lines.index(call(before_call).rstrip("\n"))
    assert all(first < index < last for index, _ in writer_lines), "a writer line came outside its calls"
    return report
