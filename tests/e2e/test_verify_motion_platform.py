"""The motion platform plugin verification run (--mode=verify-motion-platform-plugin)."""

from conftest import LIBRARY_SUFFIX, native_path, plugin
from verify_report import (
    MOTION_PLATFORM_EXPORTS,
    UNABLE_TO_CONTINUE,
    WORKFLOW,
    ZERO_POSE,
    call,
    export_checks,
    pose,
    stateless,
    start,
    summary,
)

MODE = "--mode=verify-motion-platform-plugin"


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


def test_passing_plugin_makes_fifteen_checks(verifier):
    path = plugin("motion_ok")
    result = verifier.run(MODE, "--plugin=" + path)
    updates = [(ZERO_POSE, corrected(frame)) for frame in range(1, 6)]
    assert result.stdout == motion_run(path, "Orvel Test Motion Platform", updates)
    assert result.status == 0


def test_plugin_copying_its_input_gives_zero_poses(verifier):
    path = plugin("motion_copies_input")
    result = verifier.run(MODE, "--plugin=" + path)
    assert result.stdout == motion_run(path, "Orvel Test Plugin", [(ZERO_POSE, ZERO_POSE)] * 5)
    assert result.status == 0


def test_input_is_printed_after_the_call_and_reset_before_the_next(verifier):
    # The plugin writes 100 + n into the input's frame number; the next update
    # starts again from zero, so the input line shows only that call's change.
    path = plugin("motion_writes_input")
    result = verifier.run(MODE, "--plugin=" + path)
    updates = [(pose(frame_no=100 + frame), corrected(frame)) for frame in range(1, 6)]
    assert result.stdout == motion_run(path, "Orvel Test Plugin", updates)
    assert result.status == 0


def test_failing_updates_are_failed_checks(verifier):
    path = plugin("motion_update_fails")
    result = verifier.run(MODE, "--plugin=" + path)
    updates = [(ZERO_POSE, corrected(frame)) for frame in range(1, 6)]
    assert result.stdout == motion_run(path, "Orvel Test Plugin", updates, passed=False, summary_text=summary(10, 15))
    assert result.status == 5


def test_null_texts_print_as_null(verifier):
    path = plugin("motion_null_texts")
    result = verifier.run(MODE, "--plugin=" + path)
    updates = [(ZERO_POSE, corrected(frame)) for frame in range(1, 6)]
    expected = motion_run(path, "(null)", updates, status_texts=["(null)"] * 5)
    expected = expected.replace(
        call("orvel_PluginInit"),
        "\t SetConfigurationString((null), (null))\n"
        "\t GetConfigurationString((null))\n"
        "\t WriteLogMessage: (null)\n"
        "\t SetPluginSystemState(5, (null))\n" + call("orvel_PluginInit"),
    )
    assert result.stdout == expected
    assert result.status == 0


def test_handle_starts_null(verifier):
    path = plugin("motion_writes_nothing")
    result = verifier.run(MODE, "--plugin=" + path)
    expected = motion_run(path, "Orvel Test Plugin", [(ZERO_POSE, ZERO_POSE)] * 5)
    expected = expected.replace(call("orvel_UpdatePose"),
                                "\t WriteLogMessage: orvel_UpdatePose got a null handle\n" + call("orvel_UpdatePose"))
    expected = expected.replace(call("orvel_PluginShutdown"),
                                "\t WriteLogMessage: orvel_PluginShutdown got a null handle\n" + call("orvel_PluginShutdown"))
    assert result.stdout == expected
    assert result.status == 0


def test_tracking_plugin_lacks_update_pose(verifier):
    path = plugin("tracking_ok")
    result = verifier.run(MODE, "--plugin=" + path)
    assert result.stdout == (
        start(path) + export_checks(MOTION_PLATFORM_EXPORTS, ["orvel_UpdatePose"]) + UNABLE_TO_CONTINUE
    )
    assert result.status == 1


def test_library_that_does_not_load_stops_at_once(verifier, tmp_path):
    path = native_path(tmp_path / ("absent" + LIBRARY_SUFFIX))
    result = verifier.run(MODE, "--plugin=" + path)
    assert result.stdout == start(path, loads=False) + UNABLE_TO_CONTINUE
    assert result.status == 1
