"""The tracking plugin verification run (--mode=verify), driven with real test plugins."""

import pytest

from conftest import IS_WINDOWS, LIBRARY_SUFFIX, PLUGIN_DIR, native_path, plugin
from verify_report import (
    TRACKING_EXPORTS,
    UNABLE_TO_CONTINUE,
    WORKFLOW,
    ZERO_POSE,
    call,
    export_checks,
    full_tracking_run,
    missing_exports_run,
    stateless,
    start,
    summary,
    tracking_workflow,
)


def test_passing_plugin_makes_nineteen_checks(verifier):
    path = plugin("tracking_ok")
    result = verifier.run("--mode=verify", "--plugin=" + path)
    assert result.stdout == full_tracking_run(path)
    assert result.status == 0


def test_failing_action_functions_are_failed_checks_and_the_run_goes_on(verifier):
    path = plugin("tracking_actions_fail")
    result = verifier.run("--plugin=" + path)
    assert result.stdout == full_tracking_run(path, passed=False)
    assert result.status == 9


@pytest.mark.parametrize(
    "variant, missing",
    [
        ("tracking_no_tracker_stop", ["orvel_TrackerStop"]),
        ("tracking_no_hmd_pose", ["orvel_GetHMDPose"]),
        ("tracking_no_shutdown", ["orvel_PluginShutdown"]),
        ("tracking_no_common", ["orvel_GetPluginName", "orvel_GetPluginStatusDescription", "orvel_PluginInit"]),
        ("motion_ok", ["orvel_TrackerStart", "orvel_TrackerStop", "orvel_GetHMDPose"]),
    ],
)
def test_missing_exports_stop_the_run_after_all_export_checks(verifier, variant, missing):
    path = plugin(variant)
    result = verifier.run("--plugin=" + path)
    assert result.stdout == missing_exports_run(path, missing)
    assert result.status == len(missing)


def test_library_that_does_not_load_stops_at_once(verifier, tmp_path):
    path = native_path(tmp_path / ("absent" + LIBRARY_SUFFIX))
    result = verifier.run("--plugin=" + path)
    assert result.stdout == start(path, loads=False) + UNABLE_TO_CONTINUE
    assert result.status == 1


def test_environment_reference_is_expanded_but_reported_as_typed(verifier):
    separator = "\\" if IS_WINDOWS else "/"
    typed = "%ORVEL_E2E_PLUGINS%" + separator + "tracking_ok" + LIBRARY_SUFFIX
    result = verifier.run("--plugin=" + typed, env={"ORVEL_E2E_PLUGINS": native_path(PLUGIN_DIR)})
    assert result.stdout == full_tracking_run(typed)
    assert result.status == 0


def test_library_beside_the_plugin_is_found(verifier, tmp_path):
    # Run from elsewhere: the neighbour is found through the plugin's folder only.
    path = plugin("tracking_uses_neighbour")
    result = verifier.run("--plugin=" + path, cwd=tmp_path)
    assert result.stdout == full_tracking_run(path, name="Test plugin named by its neighbour")
    assert result.status == 0


def test_null_texts_print_as_null(verifier):
    path = plugin("tracking_null_texts")
    result = verifier.run("--plugin=" + path)
    init_lines = (
        "\t SetConfigurationString((null), (null))\n"
        "\t GetConfigurationString((null))\n"
        "\t WriteLogMessage: (null)\n"
        "\t SetPluginSystemState(5, (null))\n"
    )
    assert result.stdout == (
        start(path)
        + export_checks(TRACKING_EXPORTS)
        + stateless(1, "4.16.0.0", "(null)", ["(null)"] * 5)
        + tracking_workflow(init_lines=init_lines)
        + summary(19, 19)
    )
    assert result.status == 0


def test_pose_and_handle_start_zeroed(verifier):
    # A plugin that never writes its handle nor the pose: the calls get a null
    # handle, and the pose lines show zeros rather than leftover memory.
    path = plugin("tracking_writes_nothing")
    result = verifier.run("--plugin=" + path)

    def handle_line(export):
        return "\t WriteLogMessage: %s got a null handle\n" % export

    workflow = WORKFLOW + call("orvel_PluginInit")
    workflow += handle_line("orvel_TrackerStart") + call("orvel_TrackerStart")
    workflow += (handle_line("orvel_GetHMDPose") + call("orvel_GetHMDPose") + "Returned pose: " + ZERO_POSE + "\n") * 5
    workflow += handle_line("orvel_TrackerStop") + call("orvel_TrackerStop")
    workflow += handle_line("orvel_PluginShutdown") + call("orvel_PluginShutdown")
    assert result.stdout == (
        start(path) + export_checks(TRACKING_EXPORTS) + stateless(1, "4.16.0.0", "Orvel Test Plugin") + workflow
        + summary(19, 19)
    )
    assert result.status == 0


def test_windows_build_writes_crlf_report_lines(verifier):
    result = verifier.run("--plugin=" + plugin("tracking_ok"))
    if IS_WINDOWS:
        assert result.raw_stdout.startswith(b"Start verification\r\n[ OK ] : Loading DLL ")
        assert b"\n" not in result.raw_stdout.replace(b"\r\n", b"")
    else:
        assert b"\r" not in result.raw_stdout
