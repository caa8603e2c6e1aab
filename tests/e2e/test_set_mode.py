"""The set mode (--mode=set) against the reference property server.

Each test compares the verifier's whole standard output and exit status, and
reads from the server's own lines what it received: the client's name and
role, and which update, if any, reached it."""

import os
import re
import time

import pytest

from conftest import TIMEOUT_SECONDS, native_path, plugin
from property_server import (
    ACTIVE_PLUGIN,
    CATALOGUE_ROWS,
    fixed_pipe_lock,
    start_program,
    initialized,
    listening,
    changed,
    property_server,
    quoted,
    session_start,
)
from verify_report import (
    TRACKING_EXPORTS,
    UNABLE_TO_CONTINUE,
    export_checks,
    full_tracking_run,
    missing_exports_run,
    start,
    stateless,
    summary,
    tracking_workflow,
)

QUIET = {"ORVEL_LOGGER_STDOUT_DISABLED": "1"}
UNABLE_TO_CONNECT = "[Error] Unable to connect OrvelProcessServer.\n"
UNABLE_TO_SET = "[Error] Unable to set OrvelTracking.ActivePlugin.\n"
# A logger line: timestamp, level tag, [function] message.
LOG_LINE = re.compile(r"^\d{8} \d{1,2}:\d\d:\d\d\.\d{3}( CRI | ERR | WAR | --- )\[([^\]]*)\] (.*)$")


def split_log_lines(stdout: str):
    """The report lines and the log lines (from the level tag on) of an output."""
    report, log = [], []
    for line in stdout.split("\n"):
        match = LOG_LINE.match(line)
        if match:
            log.append(line[match.start(1):])
        else:
            report.append(line)
    return report, log


def finished_session(server, client: int = 1) -> list:
    """The server's lines once the client has gone."""
    assert server.wait_for_line("client %d: disconnected" % client), server.lines
    return server.lines


def set_active_plugin(verifier, *plugin_argument):
    return verifier.run("--mode=set", *plugin_argument, env=QUIET)


def test_without_a_server_one_attempt_fails_with_minus_one(verifier):
    with fixed_pipe_lock():
        result = verifier.run("--mode=set", "--plugin=openvr")
    report, log = split_log_lines(result.stdout)
    assert report == [UNABLE_TO_CONNECT.rstrip("\n"), ""]
    assert log.count(" --- [Orvel::State::PropertyClient::waitForConnection] Trying to connect to PropertyServer") == 1
    assert result.status == -1


@pytest.mark.parametrize(
    "arguments, value",
    [
        ([], ""),
        (["--plugin="], ""),
        (["--plugin=openvr"], "openvr"),
    ],
    ids=["no plugin argument", "empty plugin", "openvr"],
)
def test_empty_text_and_openvr_are_written_without_verification(verifier, arguments, value):
    with property_server() as server:
        result = set_active_plugin(verifier, *arguments)
        lines = finished_session(server)
    assert result.stdout == ""
    assert result.status == 0
    assert lines == [listening(), *session_start(1), *initialized(1), changed(1, value), "client 1: disconnected"]


def test_openvr_in_other_case_is_verified_as_a_path(verifier):
    with property_server() as server:
        result = set_active_plugin(verifier, "--plugin=OpenVR")
        lines = finished_session(server)
    assert result.stdout == start("OpenVR", loads=False) + UNABLE_TO_CONTINUE
    assert result.status == 1
    assert lines == [listening(), *session_start(1), *initialized(1), "client 1: disconnected"]


def test_passing_plugin_is_written_as_plugin_and_its_path(verifier):
    path = plugin("tracking_ok")
    with property_server() as server:
        result = set_active_plugin(verifier, "--plugin=" + path)
        lines = finished_session(server)
    assert result.stdout == full_tracking_run(path)
    assert result.status == 0
    assert lines == [
        listening(), *session_start(1), *initialized(1), changed(1, "plugin:" + path), "client 1: disconnected"]


@pytest.mark.parametrize(
    "variant, expected_report, failed",
    [
        ("tracking_actions_fail", lambda path: full_tracking_run(path, passed=False), 9),
        ("tracking_no_hmd_pose", lambda path: missing_exports_run(path, ["orvel_GetHMDPose"]), 1),
    ],
)
def test_failing_plugin_exits_with_its_failed_checks_and_writes_nothing(verifier, variant, expected_report, failed):
    path = plugin(variant)
    with property_server() as server:
        result = set_active_plugin(verifier, "--plugin=" + path)
        lines = finished_session(server)
    assert result.stdout == expected_report(path)
    assert result.status == failed
    assert lines == [listening(), *session_start(1), *initialized(1), "client 1: disconnected"]


INCOMPATIBLE_VERSION = "[Error] Plugin DLL version is not compatible with Orvel plugin API ver 4.16.0.0\n"
NOT_A_TRACKER = "[Error] DLL is not a tracker plugin\n"


@pytest.mark.parametrize(
    "variant, plugin_type, version, errors",
    [
        ("tracking_api_5_0", 1, "5.0.0.0", INCOMPATIBLE_VERSION),
        ("tracking_api_4_17", 1, "4.17.0.0", INCOMPATIBLE_VERSION),
        ("tracking_api_1_0", 1, "1.0.0.0", INCOMPATIBLE_VERSION),
        ("type3", 3, "4.16.0.0", NOT_A_TRACKER),
    ],
)
@pytest.mark.parametrize("isolate", ["0", "1"])
def test_plugin_the_runtime_refuses_passes_its_checks_but_is_not_written(verifier, variant, plugin_type, version,
                                                                        errors, isolate):
    # Every check passes; the listing's validation of a tracking plugin then
    # refuses the library, as the runtime would, and nothing is written.
    path = plugin(variant)
    report = (start(path) + export_checks(TRACKING_EXPORTS) + stateless(plugin_type, version, "Orvel Test Plugin")
              + tracking_workflow() + summary(19, 19))
    with property_server() as server:
        result = set_active_plugin(verifier, "--plugin=" + path, "--isolate=" + isolate)
        lines = finished_session(server)
    assert result.stdout == report + errors
    assert result.status == -1
    assert lines == [listening(), *session_start(1), *initialized(1), "client 1: disconnected"]
    # The verify mode prints the version without judging it.
    verified = verifier.run("--plugin=" + path, "--isolate=" + isolate)
    assert (verified.stdout, verified.status) == (report, 0)


def test_value_the_server_holds_already_is_success_with_nothing_sent(verifier):
    with property_server("--set=%s=openvr" % ACTIVE_PLUGIN) as server:
        result = set_active_plugin(verifier, "--plugin=openvr")
        lines = finished_session(server)
    assert result.stdout == ""
    assert result.status == 0
    assert lines == [
        "initial %s = %s" % (quoted(ACTIVE_PLUGIN), quoted("openvr")),
        listening(), *session_start(1), *initialized(1), "client 1: disconnected"]


def test_the_server_keeps_the_value_between_clients(verifier):
    with property_server() as server:
        statuses = [set_active_plugin(verifier, "--plugin=" + value).status for value in ("openvr", "openvr", "")]
        lines = finished_session(server, 3)
    assert statuses == [0, 0, 0]
    assert lines == [
        listening(),
        *session_start(1), *initialized(1), changed(1, "openvr"), "client 1: disconnected",
        *session_start(2), *initialized(2), "client 2: disconnected",
        *session_start(3), *initialized(3), changed(3, "", "openvr"), "client 3: disconnected",
    ]


@pytest.mark.parametrize("variant", [None, "tracking_ok"], ids=["openvr", "passing plugin"])
def test_write_refused_by_the_servers_writers_fails_with_minus_one(verifier, variant):
    path = plugin(variant) if variant else "openvr"
    with property_server("--writers=%s=BASE,COMPOSITOR" % ACTIVE_PLUGIN) as server:
        result = set_active_plugin(verifier, "--plugin=" + path)
        lines = finished_session(server)
    report = full_tracking_run(path) if variant else ""
    assert result.stdout == report + UNABLE_TO_SET
    assert result.status == -1
    assert lines == [
        "writers of %s: BASE,COMPOSITOR" % quoted(ACTIVE_PLUGIN),
        listening(), *session_start(1), *initialized(1), "client 1: disconnected"]


def test_update_that_cannot_be_sent_fails_with_minus_one(verifier, tmp_path):
    # The plugin holds the verification in orvel_TrackerStart until the
    # server has gone, so the connection is lost before the write. The pipe
    # lock is held until the verifier has ended: the client keeps trying to
    # connect again, and a server that another test started on the same pipe
    # meanwhile would take the write.
    path = plugin("tracking_waits_at_start")
    gate = tmp_path / "gate"
    with property_server() as server:
        running = start_program(verifier.program, ["--mode=set", "--plugin=" + path],
                                env={**QUIET, "ORVEL_TEST_PLUGIN_GATE": native_path(gate)})
        deadline = time.monotonic() + TIMEOUT_SECONDS
        while not os.path.exists(str(gate) + ".started") and running.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        server.stop()
        lines = server.lines
        (tmp_path / "gate.go").touch()
        stdout, _ = running.communicate(timeout=TIMEOUT_SECONDS)
    assert stdout.replace(b"\r\n", b"\n").decode() == full_tracking_run(path) + UNABLE_TO_SET
    assert running.returncode in (-1, 255)
    assert lines == [listening(), *session_start(1), *initialized(1)]


def test_server_without_the_key_fails_with_minus_one(verifier):
    with property_server("--omit=" + ACTIVE_PLUGIN) as server:
        result = set_active_plugin(verifier, "--plugin=openvr")
        lines = finished_session(server)
    assert result.stdout == UNABLE_TO_SET
    assert result.status == -1
    assert lines == [
        "omitted %s" % quoted(ACTIVE_PLUGIN),
        listening(CATALOGUE_ROWS - 1), *session_start(1), *initialized(1, properties=CATALOGUE_ROWS - 1),
        "client 1: disconnected"]


def test_garbage_before_the_handshake_answer_is_skipped(verifier):
    with property_server("--misbehave=garbage-before-handshake") as server:
        result = verifier.run("--mode=set", "--plugin=openvr")
        lines = finished_session(server)
    report, log = split_log_lines(result.stdout)
    assert report == [""]
    signature_warnings = [line for line in log if "Invalid message signature" in line]
    assert len(signature_warnings) == 1
    assert re.fullmatch(r" WAR \[Orvel::LayerByteMessageReceiver::run\] Invalid message signature: -?\d+ != 1702261359",
                        signature_warnings[0])
    assert result.status == 0
    assert lines == [
        listening(),
        "client 1: connected",
        'client 1: handshake "OrvelPluginVerifier" answered after 28 bytes of garbage',
        *initialized(1),
        changed(1, "openvr"),
        "client 1: disconnected",
    ]


def test_server_that_never_answers_the_handshake(verifier):
    with property_server("--misbehave=no-handshake") as server:
        result = set_active_plugin(verifier, "--plugin=openvr")
        lines = finished_session(server)
    assert result.stdout == UNABLE_TO_CONNECT
    assert result.status == -1
    assert lines == [
        listening(),
        "client 1: connected",
        'client 1: handshake "OrvelPluginVerifier" left unanswered',
        "client 1: disconnected",
    ]


def test_server_that_closes_after_the_handshake(verifier):
    # The client may find the connection lost during its handshake or just
    # after it; after a loss once connected it connects again, until a
    # connection is lost during its handshake. Either way no definitions ever
    # come, and nothing is written. A new connection may be logged before the
    # server has logged the end of the one before it: each connection's lines
    # are compared in their own order.
    with property_server("--misbehave=close-after-handshake") as server:
        result = set_active_plugin(verifier, "--plugin=openvr")
        server.wait_until(lambda lines: lines[-1].endswith(": disconnected")
                          and sum(line.endswith(": connected") for line in lines)
                          == sum(line.endswith(": disconnected") for line in lines))
        lines = server.lines
    assert result.stdout == UNABLE_TO_CONNECT
    assert result.status == -1
    assert lines[0] == listening()
    connections = (len(lines) - 1) // 4
    assert connections >= 1
    for client in range(1, connections + 1):
        prefix = "client %d: " % client
        assert [line for line in lines if line.startswith(prefix)] == [
            *session_start(client), prefix + "closing the connection after the handshake", prefix + "disconnected"]
    assert len(lines) == 1 + 4 * connections


# Every misbehaviour of the server at each point of the connection where it
# can act: set mode ends well within 10 s, with the status and the one line
# of its outcome, and the server received the write exactly when set mode
# says it was made. (the options, the outcomes allowed (stdout, status), the
# line of the server that shows the misbehaviour struck, or None)
SET_MODE_FAULTS = [
    (["--misbehave=garbage-before-handshake"], [("", 0)], None),
    (["--misbehave=no-handshake"], [(UNABLE_TO_CONNECT, -1)], "left unanswered"),
    (["--misbehave=close-after-handshake"], [(UNABLE_TO_CONNECT, -1)], "closing the connection after the handshake"),
    # The client connects again after each loss, until its time limit.
    (["--misbehave=close-after-handshake", "--misbehave-at=before-definitions"], [(UNABLE_TO_CONNECT, -1)],
     "closing the connection before the definitions"),
    # Whether the loss is seen before the definitions count as in, and whether
    # the write reaches the server before its end (then it is a success, and
    # the server shows it), are races.
    (["--misbehave=close-after-handshake", "--misbehave-at=after-definitions"],
     [(UNABLE_TO_CONNECT, -1), (UNABLE_TO_SET, -1), ("", 0)], "closing the connection after the definitions"),
    (["--misbehave=exit-mid-frame", "--misbehave-at=after-handshake-answer"], [(UNABLE_TO_CONNECT, -1)],
     "ending the process after"),
    (["--misbehave=exit-mid-frame"], [(UNABLE_TO_CONNECT, -1), (UNABLE_TO_SET, -1), ("", 0)],
     "ending the process after"),
    # The client's answer to the role request is never read.
    (["--misbehave=stop-reading"], [(UNABLE_TO_CONNECT, -1)], "reading nothing more"),
    (["--misbehave=stop-reading", "--misbehave-at=connected"], [(UNABLE_TO_CONNECT, -1)], "reading nothing more"),
    # The write itself is never read.
    (["--misbehave=stop-reading", "--misbehave-at=after-definitions"], [(UNABLE_TO_SET, -1)], "reading nothing more"),
    (["--misbehave=garbage-between-frames"], [("", 0)], None),
    (["--misbehave=garbage-between-frames", "--misbehave-at=after-definitions"], [("", 0)], None),
    (["--misbehave=oversized-frames"], [("", 0)], "too long to accept"),
    (["--misbehave=oversized-frames", "--misbehave-at=after-definitions"], [("", 0)], "too long to accept"),
]


def connections_ended(lines) -> bool:
    return (sum(line.endswith(": connected") for line in lines)
            == sum(line.endswith(": disconnected") for line in lines))


@pytest.mark.parametrize("options, outcomes, struck", SET_MODE_FAULTS,
                         ids=[" ".join(row[0]).replace("--misbehave", "") for row in SET_MODE_FAULTS])
def test_set_mode_returns_from_every_misbehaving_server(verifier, options, outcomes, struck):
    with property_server(*options) as server:
        start_time = time.monotonic()
        result = set_active_plugin(verifier, "--plugin=openvr")
        duration = time.monotonic() - start_time
        if result.status == 0:
            # After a lost connection the write may go out on a later one.
            assert server.wait_until(lambda lines: any(": update " in line for line in lines)), server.lines
        elif "stop-reading" not in options[0]:
            # A write still on its way would show before the end of its connection.
            server.wait_until(connections_ended)
        lines = server.lines
    assert duration < 10, duration
    assert (result.stdout, result.status) in outcomes, (result.stdout, result.status)
    if struck is not None:
        assert any(struck in line for line in lines), lines
    updates = [line.split(": ", 1)[1] for line in lines if ": update " in line]
    assert updates == ([changed(1, "openvr").split(": ", 1)[1]] if result.status == 0 else []), lines
