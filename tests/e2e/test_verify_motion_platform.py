"""The motion platform plugin verification run (--mode=verify-motion-platform-plugin)."""

from conftest import LIBRARY_SUFFIX, native_path, plugin
from verify_report import (
    MOTION_PLATFORM_EXPORTS,
    UNABLE_TO_CONTINUE,
    ZERO_POSE,
    call,
    corrected,
    export_checks,
    motion_run,
    pose,
    start,
    summary,
)

MODE = "--mode=verify-motion-platform-plugin"


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
