"""Host services called from several plugin threads at once while the motion
platform run prints its poses: every line of either stays whole."""

import re

from conftest import plugin
from test_verify_motion_platform import MODE, corrected, motion_run
from verify_report import ZERO_POSE, call

WRITER_LINE = re.compile(r"\t WriteLogMessage: writer (\d) line (\d{3,4}) 0{200}")


def test_plugin_threads_writing_during_the_pose_lines_never_break_a_line(verifier):
    # Each orvel_UpdatePose starts four threads that write 200 long lines each
    # and lets them go as it returns, so they write while the host prints that
    # update's input and output poses; the next call joins them.
    path = plugin("motion_concurrent_callbacks")
    result = verifier.run(MODE, "--plugin=" + path)
    report_lines, writer_lines = [], []
    for index, line in enumerate(result.lines):
        match = WRITER_LINE.fullmatch(line)
        if match:
            writer_lines.append((index, int(match.group(1)), int(match.group(2))))
        else:
            report_lines.append(line)
    updates = [(ZERO_POSE, corrected(frame)) for frame in range(1, 6)]
    assert "\n".join(report_lines) == motion_run(path, "Orvel Test Plugin", updates), "a report line was broken"

    lines_per_writer = {writer: [n for _, w, n in writer_lines if w == writer] for writer in range(4)}
    assert lines_per_writer == {writer: list(range(1000)) for writer in range(4)}
    init = result.lines.index(call("orvel_PluginInit").rstrip("\n"))
    shutdown = result.lines.index(call("orvel_PluginShutdown").rstrip("\n"))
    assert all(init < index < shutdown for index, _, _ in writer_lines)
    assert result.status == 0
