"""--explain=1 in the verify modes: after a line that fails, "  Why: " lines
say why, for each usual mistake of a plugin vendor; an isolated run writes
the same bytes, and without the flag the output is the same but for them."""

import re

import pytest

from conftest import IS_WINDOWS, LIBRARY_SUFFIX, PLUGIN_DIR, native_path, plugin
from verify_report import (
    MOTION_PLATFORM_EXPORTS,
    TRACKING_EXPORTS,
    UNABLE_TO_CONTINUE,
    WORKFLOW,
    ZERO_POSE,
    call,
    export_checks,
    start,
    stateless,
    summary,
    tracking_workflow,
)

MOTION_MODE = "--mode=verify-motion-platform-plugin"
EXPORT_HOW = ("define them with ORVEL_PLUGIN_EXPORT from OrvelPluginAPI.h, which exports each by its C name "
              "(__declspec(dllexport) on Windows, default symbol visibility elsewhere)")


def why(text: str) -> str:
    return "  Why: " + text + "\n"


def load_failure(path: str, system_text: str):
    """The load failure's line: ours exactly, the loader's text by its shape
    (Windows: the code in hexadecimal and a text; Linux: dlerror's, which
    names the file or the symbol)."""
    system = r"0x[0-9A-F]+: .+" if IS_WINDOWS else system_text
    return re.compile(re.escape("  Why: the library could not be loaded from %s: " % path) + system)


def lines_of(*parts):
    """Expected lines: texts (split at their line ends) and patterns of one line."""
    lines = []
    for part in parts:
        lines.extend(part.split("\n")[:-1] if isinstance(part, str) else [part])
    return lines


def assert_lines(stdout: str, expected):
    actual = stdout.split("\n")
    assert actual[-1] == ""
    actual = actual[:-1]
    assert len(actual) == len(expected), (actual, expected)
    for line, wanted in zip(actual, expected):
        if isinstance(wanted, str):
            assert line == wanted
        else:
            assert wanted.fullmatch(line), (line, wanted.pattern)


def disconnected_workflow() -> str:
    """init returns -2; every later call gets the null handle and returns -1."""
    handle = why("returned -1 (Unknown plugin handle)")
    text = WORKFLOW + call("orvel_PluginInit", False) + why("returned -2 (Camera disconnected)")
    text += call("orvel_TrackerStart", False) + handle
    text += (call("orvel_GetHMDPose", False) + handle + "Returned pose: " + ZERO_POSE + "\n") * 5
    return text + call("orvel_TrackerStop", False) + handle + call("orvel_PluginShutdown", False) + handle


def case_missing_file(tmp_path):
    path = native_path(tmp_path / ("absent" + LIBRARY_SUFFIX))
    system = re.escape(path) + r": cannot open shared object file: .+"
    return [], path, None, lines_of(start(path, loads=False), load_failure(path, system), UNABLE_TO_CONTINUE), 1


def case_unresolved_symbol(tmp_path):
    path = plugin("tracking_unresolved_symbol")
    system = re.escape(path) + r": undefined symbol: orvelTest_Unresolved"
    return [], path, None, lines_of(start(path, loads=False), load_failure(path, system), UNABLE_TO_CONTINUE), 1


def case_bare_name(tmp_path):
    path = "tracking_ok" + LIBRARY_SUFFIX
    system = re.escape(path) + r": cannot open shared object file: .+"
    bare = why("the path %s names no folder: the system's library search looks for it, never in the current "
               "folder; write its full path %s to load it from there" % (path, native_path(PLUGIN_DIR / path)))
    return ([], path, PLUGIN_DIR,
            lines_of(start(path, loads=False), load_failure(path, system), bare, UNABLE_TO_CONTINUE), 1)


def case_motion_plugin_in_verify(tmp_path):
    path = plugin("motion_ok")
    missing = ["orvel_TrackerStart", "orvel_TrackerStop", "orvel_GetHMDPose"]
    text = why("orvel_GetPluginType returned 2: a motion platform plugin; use --mode=verify-motion-platform-plugin")
    return [], path, None, lines_of(start(path), export_checks(TRACKING_EXPORTS, missing), text, UNABLE_TO_CONTINUE), 3


def case_tracking_plugin_in_motion_mode(tmp_path):
    path = plugin("tracking_ok")
    text = why("orvel_GetPluginType returned 1: a tracking plugin; use --mode=verify")
    return ([MOTION_MODE], path, None,
            lines_of(start(path), export_checks(MOTION_PLATFORM_EXPORTS, ["orvel_UpdatePose"]), text,
                     UNABLE_TO_CONTINUE), 1)


def case_no_exports(tmp_path):
    path = plugin("no_exports")
    text = why("the library exports none of the plugin functions: " + EXPORT_HOW)
    return ([], path, None,
            lines_of(start(path), export_checks(TRACKING_EXPORTS, TRACKING_EXPORTS), text, UNABLE_TO_CONTINUE), 9)


def case_some_exports_missing(tmp_path):
    path = plugin("tracking_no_common")
    missing = ["orvel_GetPluginName", "orvel_GetPluginStatusDescription", "orvel_PluginInit"]
    text = why("the library does not export %s: define each plugin function with ORVEL_PLUGIN_EXPORT from "
               "OrvelPluginAPI.h" % ", ".join(missing))
    return [], path, None, lines_of(start(path), export_checks(TRACKING_EXPORTS, missing), text, UNABLE_TO_CONTINUE), 3


def case_init_returns_minus_two(tmp_path):
    path = plugin("tracking_init_disconnected")
    texts = ["Camera disconnected", "Unknown plugin handle", "Success", "Action failed", "Pose update failed"]
    return ([], path, None,
            lines_of(start(path), export_checks(TRACKING_EXPORTS), stateless(1, "4.16.0.0", "Orvel Test Plugin", texts),
                     disconnected_workflow(), summary(10, 19)), 9)


def case_api_version_refused(tmp_path, variant="tracking_api_5_0", version="5.0.0.0", relation="newer than 4.16.0.0"):
    path = plugin(variant)
    text = why("API version %s is %s; the runtime refuses this plugin" % (version, relation))
    return ([], path, None,
            lines_of(start(path), export_checks(TRACKING_EXPORTS), stateless(1, version, "Orvel Test Plugin"), text,
                     tracking_workflow(), summary(19, 19)), 0)


def case_api_version_too_old(tmp_path):
    return case_api_version_refused(tmp_path, "tracking_api_1_0", "1.0.0.0", "older than 2.0.0.0")


CASES = {
    "missing file": case_missing_file,
    "unresolved symbol": pytest.param(case_unresolved_symbol, marks=pytest.mark.skipif(
        IS_WINDOWS, reason="Wine binds an import that no library provides to a stub that aborts when called: the "
                           "load succeeds there (Windows itself refuses it with 0x7F)")),
    "bare name": case_bare_name,
    "motion platform plugin in verify": case_motion_plugin_in_verify,
    "tracking plugin in the motion platform mode": case_tracking_plugin_in_motion_mode,
    "no exports": case_no_exports,
    "some exports missing": case_some_exports_missing,
    "init returns -2": case_init_returns_minus_two,
    "API version 5.0.0.0": case_api_version_refused,
    "API version 1.0.0.0": case_api_version_too_old,
}


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_explain_says_why_each_failure_happened(verifier, tmp_path, case):
    options, path, cwd, expected, status = case(tmp_path)
    runs = [verifier.run(*options, "--plugin=" + path, "--explain=1", "--isolate=" + isolate, cwd=cwd)
            for isolate in ("0", "1")]
    assert_lines(runs[0].stdout, expected)
    assert runs[1].stdout_bytes == runs[0].stdout_bytes
    assert [run.status for run in runs] == [status, status]
    plain = verifier.run(*options, "--plugin=" + path, cwd=cwd)
    assert plain.stdout == "".join(line + "\n" for line in runs[0].stdout.split("\n")[:-1]
                                   if not line.startswith("  Why: "))
    assert plain.status == status


def test_the_path_that_a_bare_name_is_told_to_write_loads(verifier):
    """The advice is followed as given: the path it names loads and passes."""
    path = "tracking_ok" + LIBRARY_SUFFIX
    told = verifier.run("--plugin=" + path, "--explain=1", cwd=PLUGIN_DIR)
    advice = [line for line in told.stdout.split("\n") if " names no folder: " in line]
    assert len(advice) == 1, told.stdout
    written = re.fullmatch(r".*; write its full path (.+) to load it from there", advice[0]).group(1)
    followed = verifier.run("--plugin=" + written, cwd=PLUGIN_DIR)
    assert followed.status == 0, followed.stdout
