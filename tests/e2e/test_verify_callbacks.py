"""The host services a plugin calls during a verification run: their lines,
their answers, and calls from the plugin's own threads."""

import re

from conftest import plugin
from verify_report import (
    TRACKING_EXPORTS,
    call,
    export_checks,
    full_tracking_run,
    stateless,
    start,
    summary,
    without_writer_lines,
)

IDENTITY = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1"


def test_every_service_prints_its_line_and_gives_its_fixed_answer(verifier):
    # The plugin calls each service in slot order and writes what it got back
    # through WriteLogMessage; every line comes before the init report line.
    path = plugin("tracking_callbacks")
    init_lines = (
        "\t WriteLogMessage: GetProductName = ZK-1\n"
        "\t GetIMUCapabilities(..)\n"
        "\t WriteLogMessage: GetIMUCapabilities = 0\n"
        "\t GetIMUToHMDTransform(..)\n"
        "\t WriteLogMessage: GetIMUToHMDTransform = " + IDENTITY + "\n"
        "\t GetIMUToHMDTransform(..)\n"
        "\t WriteLogMessage: GetIMUToHMDTransform(storage), same storage = " + IDENTITY + "\n"
        "\t GetIMUComponentCalibration(..)\n"
        "\t ReadIMUSamples(..)\n"
        "\t WriteLogMessage: ReadIMUSamples = 0\n"
        "\t SyncConfiguration(..)\n"
        "\t WriteLogMessage: SyncConfiguration = 1\n"
        "\t EnumConfigurationKeys(..)\n"
        "\t WriteLogMessage: EnumConfigurationKeys = 0\n"
        "\t SetConfigurationString(a, b)\n"
        "\t GetConfigurationString(a)\n"
        "\t WriteLogMessage: GetConfigurationString = 0\n"
        "\t GetNanosecondTime(..)\n"
        "\t GetNanosecondTime(..)\n"
        "\t WriteLogMessage: GetNanosecondTime = steady\n"
        "\t WriteLogMessage: 50% done\n"
        "\t WriteLogMessage: %d%% %s %n\n"
        "\t SetPluginSystemState(-1, degraded)\n"
        "\t SetPluginSystemState(-9223372036854775808, lowest)\n"
    )
    result = verifier.run("--plugin=" + path)
    assert result.stdout == full_tracking_run(path, init_lines=init_lines)
    assert result.status == 0


def test_service_called_from_a_plugin_thread_prints_before_the_call_report(verifier):
    path = plugin("tracking_thread_callbacks")
    init_lines = "\t WriteLogMessage: hello from a plugin thread\n\t SetPluginSystemState(1, tracking)\n"
    result = verifier.run("--plugin=" + path)
    assert result.stdout == full_tracking_run(path, init_lines=init_lines)
    assert result.status == 0


def test_concurrent_calls_never_mix_within_a_line(verifier):
    # Four plugin threads write 100 long lines each between orvel_TrackerStart
    # and orvel_TrackerStop, while the host thread reports and prints poses.
    path = plugin("tracking_concurrent_callbacks")
    result = verifier.run("--plugin=" + path)
    report = without_writer_lines(result.lines, 100, "orvel_PluginInit", "orvel_TrackerStop")
    assert report == full_tracking_run(path), "a report line was broken or changed"
    assert result.status == 0


def tick_difference(later: int, earlier: int) -> int:
    """The tick count is 32 bits wide and wraps."""
    return (later - earlier) % (1 << 32)


def test_pose_time_is_the_tick_count_and_the_clock_service_agrees(verifier):
    # The plugin stamps each pose with the time the host passes and puts what
    # GetNanosecondTime returned, right after, in the frame number.
    path = plugin("tracking_clock")
    result = verifier.run("--plugin=" + path)
    poses = re.findall(r"Returned pose: \{ timeStamp:(\d+), frameNo:(\d+), ", result.stdout)
    assert len(poses) == 5
    stamps = [int(stamp) for stamp, _ in poses]
    for stamp, clock in poses:
        assert tick_difference(int(clock), int(stamp)) < 1000, "the clock service gives milliseconds of the tick count"
    for earlier, later in zip(stamps, stamps[1:]):
        assert 0 < tick_difference(later, earlier) < 10000, "each pose call comes after a pause of 100 ms"
    # Four pauses of at least 100 ms lie between the first and the last pose.
    assert tick_difference(stamps[-1], stamps[0]) >= 300
    clock_line = call("orvel_GetHMDPose")
    assert result.stdout.count("\t GetNanosecondTime(..)\n" + clock_line) == 5
    assert result.status == 0
    assert result.stdout.startswith(start(path) + export_checks(TRACKING_EXPORTS) + stateless(1, "4.16.0.0", "Orvel Test Plugin"))
    assert result.stdout.endswith(call("orvel_TrackerStop") + call("orvel_PluginShutdown") + summary(19, 19))
