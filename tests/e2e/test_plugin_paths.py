"""Plugins in folders whose names go beyond ASCII, in each mode that loads a
plugin from the command line. The path reaches the program as narrow text: on
Windows in the known code page of the harness, on Linux as the file name's own
bytes, which need not be UTF-8. The report carries the path as typed, so the
whole standard output is compared as bytes."""

import shutil

import pytest

from conftest import FOLDER_NAMES, LIBRARY_SUFFIX, PLUGIN_DIR, narrow, native_path
from property_server import changed, initialized, listening, property_server, session_start
from verify_report import ZERO_POSE, corrected, full_tracking_run, motion_run

by_folder = pytest.mark.parametrize("folder_name", FOLDER_NAMES.values(), ids=FOLDER_NAMES.keys())


def install(tmp_path, folder_name, *variants):
    """Copies the test plugin variants into a folder of that name; the path of the first."""
    folder = tmp_path / folder_name
    folder.mkdir()
    for variant in variants:
        shutil.copy(PLUGIN_DIR / (variant + LIBRARY_SUFFIX), folder)
    return native_path(folder / (variants[0] + LIBRARY_SUFFIX))


@by_folder
@pytest.mark.parametrize("variant, name", [
    ("tracking_ok", "Orvel Test Plugin"),
    # Its neighbour is found only through the plugin's folder on the search path.
    ("tracking_uses_neighbour", "Test plugin named by its neighbour"),
])
def test_tracking_plugin_passes_every_check(verifier, tmp_path, folder_name, variant, name):
    path = install(tmp_path, folder_name, variant, "neighbour")
    result = verifier.run("--mode=verify", "--plugin=" + path)
    assert result.stdout_bytes == narrow(full_tracking_run(path, name=name))
    assert result.status == 0


@by_folder
def test_motion_platform_plugin_passes_every_check(verifier, tmp_path, folder_name):
    path = install(tmp_path, folder_name, "motion_ok")
    result = verifier.run("--mode=verify-motion-platform-plugin", "--plugin=" + path)
    updates = [(ZERO_POSE, corrected(frame)) for frame in range(1, 6)]
    assert result.stdout_bytes == narrow(motion_run(path, "Orvel Test Motion Platform", updates))
    assert result.status == 0


@by_folder
def test_set_mode_verifies_and_writes_the_path(verifier, tmp_path, folder_name):
    path = install(tmp_path, folder_name, "tracking_ok")
    with property_server() as server:
        result = verifier.run("--mode=set", "--plugin=" + path, env={"ORVEL_LOGGER_STDOUT_DISABLED": "1"})
        assert server.wait_for_line("client 1: disconnected"), server.lines
        lines = server.lines
    assert result.stdout_bytes == narrow(full_tracking_run(path))
    assert result.status == 0
    # The value goes out as typed; the server shows bytes that are not UTF-8 as U+FFFD.
    value = narrow("plugin:" + path).decode("utf-8", errors="replace")
    assert lines == [listening(), *session_start(1), *initialized(1), changed(1, value), "client 1: disconnected"]
