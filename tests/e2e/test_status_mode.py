"""The status mode (--mode=status) against the reference property server.

Each case compares the verifier's whole standard output, standard error and
exit status, and reads from the server's own lines that the client only
connected, took the definitions and left: no update ever reached it."""

import ntpath
import posixpath

import pytest

from conftest import IS_WINDOWS, plugin
from property_server import ACTIVE_PLUGIN, ACTIVE_PLUGIN_DEFAULT, CATALOGUE_ROWS, fixed_pipe_lock, initialized, \
    listening, property_server, quoted, session_start
from test_arguments import USAGE
from verify_report import full_tracking_run

QUIET = {"ORVEL_LOGGER_STDOUT_DISABLED": "1"}
MANIFEST = """{
  "manifestFileVersion": "1.0.0.0",
  "ID": "{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
  "vendorName": "Acme Tracking",
  "productName": "Head Tracker",
  "path": %s
}"""
OPENVR = "the runtime's own tracking (openvr)\n"
NONE_SET = "no tracking plugin is set\n"
NOT_INSTALLED = "not installed: no manifest names this library\n"
UNKNOWN = "unknown: neither openvr, empty nor plugin:PATH\n"
NOT_INSTALLED_ERROR = "[Error] The active tracking plugin is not installed.\n"
UNKNOWN_ERROR = "[Error] The active tracking plugin's value names no tracking source.\n"
FAILED_ERROR = "[Error] The active tracking plugin failed its verification.\n"


def install(program_data, library):
    """A manifest naming the library in the program data folder; its path as the verifier prints it."""
    file = program_data.plugins / "Acme" / "tracker.manifest"
    file.parent.mkdir(parents=True)
    file.write_text(MANIFEST % quoted(library), encoding="utf-8")
    return program_data.native(file)


def installed(manifest):
    return "installed: Acme Tracking / Head Tracker (%s)\n" % manifest


def active(value):
    return "Active tracking plugin: %s\n" % value


def run_status(verifier, program_data, server_options, *arguments, env=None):
    """Runs the status mode against a server started with the options; the
    result and the server's whole lines once the client has gone."""
    with property_server(*server_options) as server:
        result = verifier.run("--mode=status", *arguments, env={**QUIET, **program_data.env, **(env or {})})
        assert server.wait_for_line("client 1: disconnected"), server.lines
        return result, server.lines


def read_only_session(options, properties=CATALOGUE_ROWS):
    """The server's lines of a client that reads and sends nothing."""
    echoed = []
    for option in options:
        if option.startswith("--set="):
            key, value = option[len("--set="):].split("=", 1)
            echoed.append("initial %s = %s" % (quoted(key), quoted(value)))
        elif option.startswith("--omit="):
            echoed.append("omitted %s" % quoted(option[len("--omit="):]))
    return [*echoed, listening(properties), *session_start(1), *initialized(1, properties=properties),
            "client 1: disconnected"]


def set_active(value):
    return ["--set=%s=%s" % (ACTIVE_PLUGIN, value)]


# (id, the value the server holds (None: its default), installed library
# (None: nothing installed), arguments, expected stdout (the manifest's path
# given), stderr, status)
CASES = [
    ("openvr", "openvr", None, [], lambda _: active("openvr") + OPENVR, "", 0),
    ("empty", "", None, [], lambda _: active("") + NONE_SET, "", 0),
    ("--plugin is ignored", "openvr", None, ["--plugin=" + plugin("tracking_ok")],
     lambda _: active("openvr") + OPENVR, "", 0),
    ("installed", "plugin:" + plugin("tracking_ok"), plugin("tracking_ok"), [],
     lambda m: active("plugin:" + plugin("tracking_ok")) + installed(m), "", 0),
    ("--verify=0 does not verify", "plugin:" + plugin("tracking_ok"), plugin("tracking_ok"), ["--verify=0"],
     lambda m: active("plugin:" + plugin("tracking_ok")) + installed(m), "", 0),
    ("no manifest names it", "plugin:" + plugin("tracking_ok"), plugin("tracking_actions_fail"), [],
     lambda _: active("plugin:" + plugin("tracking_ok")) + NOT_INSTALLED, NOT_INSTALLED_ERROR, 1),
    ("nothing installed", "plugin:" + plugin("tracking_ok"), None, [],
     lambda _: active("plugin:" + plugin("tracking_ok")) + NOT_INSTALLED, NOT_INSTALLED_ERROR, 1),
    ("server default", None, None, [], lambda _: active(ACTIVE_PLUGIN_DEFAULT) + UNKNOWN, UNKNOWN_ERROR, 1),
    ("verified and passed", "plugin:" + plugin("tracking_ok"), plugin("tracking_ok"), ["--verify=1"],
     lambda m: active("plugin:" + plugin("tracking_ok")) + installed(m) + full_tracking_run(plugin("tracking_ok")),
     "", 0),
    ("verified and failed", "plugin:" + plugin("tracking_actions_fail"), plugin("tracking_actions_fail"),
     ["--verify=1"],
     lambda m: active("plugin:" + plugin("tracking_actions_fail")) + installed(m)
     + full_tracking_run(plugin("tracking_actions_fail"), passed=False), FAILED_ERROR, 1),
    ("not installed is still verified", "plugin:" + plugin("tracking_ok"), None, ["--verify=1"],
     lambda _: active("plugin:" + plugin("tracking_ok")) + NOT_INSTALLED + full_tracking_run(plugin("tracking_ok")),
     NOT_INSTALLED_ERROR, 1),
]


@pytest.mark.parametrize("value, library, arguments, stdout, stderr, status", [case[1:] for case in CASES],
                         ids=[case[0] for case in CASES])
def test_status_reads_the_active_plugin_and_writes_nothing(verifier, program_data, value, library, arguments,
                                                           stdout, stderr, status):
    manifest = install(program_data, library) if library is not None else None
    options = set_active(value) if value is not None else []
    result, lines = run_status(verifier, program_data, options, *arguments)
    assert result.stdout == stdout(manifest)
    assert result.stderr == stderr
    assert result.status == status
    assert lines == read_only_session(options)


def test_a_manifest_that_names_the_library_through_a_variable_installs_it(verifier, program_data):
    library = plugin("tracking_ok")
    folder, name = ntpath.split(library) if IS_WINDOWS else posixpath.split(library)
    manifest = install(program_data, "%ORVEL_STATUS_PLUGINS%" + ("\\" if IS_WINDOWS else "/") + name)
    options = set_active("plugin:" + library)
    result, lines = run_status(verifier, program_data, options, env={"ORVEL_STATUS_PLUGINS": folder})
    assert (result.stdout, result.stderr, result.status) == (active("plugin:" + library) + installed(manifest), "", 0)
    assert lines == read_only_session(options)


def test_updates_that_follow_the_definitions_are_taken(verifier, program_data):
    # The server sends 50 updates right after the definitions; the value it
    # holds is the last one.
    options = ["--flood=%s=50" % ACTIVE_PLUGIN]
    result, lines = run_status(verifier, program_data, options)
    assert (result.stdout, result.stderr, result.status) == (active("50") + UNKNOWN, UNKNOWN_ERROR, 1)
    assert lines == [listening(), *session_start(1), *initialized(1),
                     "client 1: flood of 50 updates of %s sent, value now %s" % (quoted(ACTIVE_PLUGIN), quoted("50")),
                     "client 1: disconnected"]


def test_a_server_without_the_key_fails_with_one(verifier, program_data):
    options = ["--omit=" + ACTIVE_PLUGIN]
    result, lines = run_status(verifier, program_data, options)
    assert (result.stdout, result.stderr, result.status) == (
        "", "[Error] The property server does not define OrvelTracking.ActivePlugin.\n", 1)
    assert lines == read_only_session(options, CATALOGUE_ROWS - 1)


def test_without_a_server_it_fails_as_set_mode_does(verifier):
    with fixed_pipe_lock():
        result = verifier.run("--mode=status", env=QUIET)
    assert (result.stdout, result.status) == ("[Error] Unable to connect OrvelProcessServer.\n", -1)


@pytest.mark.parametrize("value", ["2", "", "true"])
def test_a_bad_verify_value_prints_the_usage(verifier, value):
    result = verifier.run("--mode=status", "--verify=" + value)
    assert (result.stdout, result.status) == ("Invalid value for --verify: %s\n" % value + USAGE, 1)
