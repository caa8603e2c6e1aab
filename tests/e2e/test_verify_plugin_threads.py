"""Host services called from several plugin threads at once while the motion
platform run prints its poses: every line of either stays whole."""

from conftest import plugin
from test_verify_motion_platform import MODE, corrected, motion_run
from verify_report import ZERO_POSE, without_writer_lines


def test_plugin_threads_writing_during_the_pose_lines_never_break_a_line(verifier):
    # Each orvel_UpdatePose starts four threads that write 200 long lines each
    # and lets them go as it returns, so they write while the host prints that
    # update's input and output poses; the next call joins them.
    path = plugin("motion_concurrent_callbacks")
    result = verifier.run(MODE, "--plugin=" + path)
    report = without_writer_lines(result.lines, 1000, "orvel_PluginInit", "orvel_PluginShutdown")
    updates = [(ZERO_POSE, corrected(frame)) for frame in range(1, 6)]
    assert report == motion_run(path, "Orvel Test Plugin", updates), "a report line was broken"
    assert result.status == 0
