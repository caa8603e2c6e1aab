"""Command-line rules of the entry point: messages, usage text, exit statuses."""

import pytest

from conftest import IS_WINDOWS

USAGE = (
    "OrvelPluginAPI v4.16.0.0 Verifier\n"
    "\n"
    "Command line parameters:\n"
    "\n"
    "\t --mode - execution mode:\n"
    "\t\t=verify (default) - run conformance tests for tracking plugin;\n"
    "\t\t=verify-motion-platform-plugin - run conformance tests for motion platform plugin;\n"
    "\t\t=set - set specified tracker to be used by Orvel App.\n"
    "\t --plugin - the path to plugin DLL.\n"
    "\t --list   - list installed plugins.\n"
    "Example Usage:\n"
    "  > OrvelPluginVerifier.exe --mode=verify --plugin=C:\\Tracker\\plugin.dll\n"
    "  > OrvelPluginVerifier.exe --mode=verify-motion-platform-plugin --plugin=C:\\MotionPlatform\\plugin.dll\n"
)

# The verification run of an empty plugin path: the load check fails at once.
EMPTY_PATH_RUN = "Start verification\n[ FAILED ] : Loading DLL \nUnable to continue...\n"


@pytest.mark.parametrize(
    "args, message, status",
    [
        ([], "[Error] Invalid number of arguments\n", -1),
        (["--mode="], "[Error] Wrong mode value: --mode=\n", 1),
        (["--mode=Verify"], "[Error] Wrong mode value: --mode=Verify\n", 1),
        (["--mode=run", "--plugin=x.dll"], "[Error] Wrong mode value: --mode=run\n", 1),
        (["--mode=set", "--mode=bogus"], "[Error] Wrong mode value: --mode=bogus\n", 1),
        (["--help"], '[Error] Invalid "key=pair" format: --help\n', 1),
        (["--plugin"], '[Error] Invalid "key=pair" format: --plugin\n', 1),
        (["--foo", "--list"], '[Error] Invalid "key=pair" format: --foo\n', 1),
        (["--plugin=a.dll", "LIST"], '[Error] Invalid "key=pair" format: LIST\n', 1),
        (["--explain=2", "--list"], "Invalid value for --explain: 2\n", 1),
        (["--explain=1", "--explain=", "--list"], "Invalid value for --explain: \n", 1),
        (["--plugins-dir=", "--list"], "Invalid value for --plugins-dir: \n", 1),
        (["--plugins-dir=a", "--explain=yes", "--list"], "Invalid value for --explain: yes\n", 1),
    ],
)
def test_argument_errors_print_message_and_usage(verifier, args, message, status):
    result = verifier.run(*args)
    assert result.stdout == message + USAGE
    assert result.status == status


def test_windows_build_writes_crlf_line_ends(verifier):
    result = verifier.run("--help")
    if IS_WINDOWS:
        assert result.raw_stdout.startswith(b'[Error] Invalid "key=pair" format: --help\r\nOrvelPluginAPI')
        assert b"\n" not in result.raw_stdout.replace(b"\r\n", b"")
    else:
        assert b"\r" not in result.raw_stdout


@pytest.mark.parametrize(
    "args",
    [
        ["--list=yes"],  # not the listing switch: ignored
        ["--verbose=1"],
        ["--mode=set", "--mode=verify"],  # the last mode wins
        ["--plugin=x.dll", "--plugin="],  # the last plugin path wins
    ],
)
def test_ignored_and_repeated_arguments_run_the_tracking_verification(verifier, args):
    result = verifier.run(*args)
    assert result.stdout == EMPTY_PATH_RUN
    assert result.status == 1


def test_plugin_value_keeps_everything_after_the_first_equals_sign(verifier, tmp_path):
    result = verifier.run("--plugin=" + str(tmp_path / "x=y.dll"))
    assert result.stdout.split("\n")[1] == "[ FAILED ] : Loading DLL " + str(tmp_path / "x=y.dll")


def test_list_runs_at_once_and_ignores_later_arguments(verifier, program_data):
    result = verifier.run("--plugin=C:\\a.dll", "--list", "--bogus", env=program_data.env)
    assert "Start verification" not in result.stdout
    assert "Invalid" not in result.stdout
    assert result.status == 0
