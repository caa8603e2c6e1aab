"""The reference property server as a process, for the set mode's tests.

The verifier always connects to the one fixed pipe name, so every test that
uses that name holds an exclusive lock for its whole run: no two such tests,
of either build, ever overlap. Each test reads what the server received from
the server's own output lines."""

import ast
import contextlib
import fcntl
import json
import os
import pathlib
import re
import subprocess
import tempfile
import threading

from conftest import IS_WINDOWS, TIMEOUT_SECONDS, TOOLS_DIR, WINE_LOCALE, WINE_RUN, program_environment

PROGRAM = TOOLS_DIR / ("OrvelPropertyServer.exe" if IS_WINDOWS else "OrvelPropertyServer")
ACTIVE_PLUGIN = "OrvelTracking.ActivePlugin"
ACTIVE_PLUGIN_DEFAULT = "5A7476A7-F0CE-4129-BBAE-48700B82B73E"
LOCK_PATH = pathlib.Path(tempfile.gettempdir()) / "orvel-properties-service-pipe.lock"
# The server defines every property of the catalogue: one row each.
CATALOGUE = pathlib.Path(__file__).resolve().parents[2] / "src" / "property" / "PropertyTable.inc"
CATALOGUE_ROWS = sum(
    1 for line in CATALOGUE.read_text(encoding="utf-8").splitlines() if line.startswith("ORVEL_PROPERTY"))
# The fixed pipe name, read from the one header that the verifier and the
# server are built with.
PIPE_HEADER = CATALOGUE.parents[1] / "ipc" / "PropertiesServicePipe.h"
PIPE_NAME = ast.literal_eval(re.search(
    r'^#define ORVEL_PROPERTIES_SERVICE_PIPE (".*")$', PIPE_HEADER.read_text(encoding="utf-8"), re.MULTILINE).group(1))


def quoted(text: str) -> str:
    """A key or value as the server prints it: a JSON string."""
    return json.dumps(text, ensure_ascii=False)


def update_line(client: int, key: str, value: str, outcome: str) -> str:
    return "client %d: update %s = %s %s" % (client, quoted(key), quoted(value), outcome)


def changed(client: int, value: str, previous: str = ACTIVE_PLUGIN_DEFAULT, key: str = ACTIVE_PLUGIN) -> str:
    return update_line(client, key, value, "(was %s)" % quoted(previous))


def session_start(client: int, name: str = "OrvelPluginVerifier") -> list:
    """The lines of a client that connects and introduces itself."""
    return ["client %d: connected" % client, "client %d: handshake %s" % (client, quoted(name))]


def initialized(client: int, role: str = "TRACKING (3)", properties: int = CATALOGUE_ROWS) -> list:
    """The lines of a client that states its role and gets the definitions."""
    return ["client %d: role %s" % (client, role), "client %d: definitions sent (%d properties)" % (client, properties)]


def listening(properties: int = CATALOGUE_ROWS, pipe: str = PIPE_NAME) -> str:
    return "listening on %s with %d properties" % (pipe, properties)


@contextlib.contextmanager
def fixed_pipe_lock():
    """Exclusive use of the fixed pipe name, across test processes and builds."""
    with open(LOCK_PATH, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def start_program(program, args, env=None) -> subprocess.Popen:
    """Starts a built executable of this build without waiting for it, with
    the same environment rules as conftest.run_program."""
    command = [str(program), *[str(a) for a in args]]
    if IS_WINDOWS:
        command = [WINE_RUN, *command]
    return subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=program_environment(env))


class ServerProcess:
    """A running OrvelPropertyServer whose output lines are collected as they come."""

    def __init__(self, *options):
        command = [str(PROGRAM), *options]
        if IS_WINDOWS:
            command = [WINE_RUN, *command]
        self._process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, env={**os.environ, **WINE_LOCALE} if IS_WINDOWS else None)
        self._lines = []
        self._condition = threading.Condition()
        self._finished = False
        self.stderr = b""
        self._readers = [threading.Thread(target=self._read_lines, daemon=True),
                         threading.Thread(target=self._read_stderr, daemon=True)]
        for reader in self._readers:
            reader.start()

    def _read_lines(self):
        for raw in self._process.stdout:
            with self._condition:
                self._lines.append(raw.decode("utf-8", errors="replace").rstrip("\r\n"))
                self._condition.notify_all()
        with self._condition:
            self._finished = True
            self._condition.notify_all()

    def _read_stderr(self):
        self.stderr = self._process.stderr.read()

    @property
    def lines(self) -> list:
        with self._condition:
            return list(self._lines)

    @property
    def returncode(self):
        """The exit status once the server has ended, else None."""
        return self._process.poll()

    def wait_until(self, predicate, timeout: float = TIMEOUT_SECONDS) -> bool:
        """Waits until predicate(lines so far) holds; False when the server
        ended or the time ran out first."""
        with self._condition:
            self._condition.wait_for(lambda: predicate(self._lines) or self._finished, timeout)
            return predicate(self._lines)

    def wait_for_line(self, line: str, timeout: float = TIMEOUT_SECONDS) -> bool:
        """Waits until the server has printed that whole line."""
        return self.wait_until(lambda lines: line in lines, timeout)

    def wait_for_end(self, timeout: float = TIMEOUT_SECONDS) -> int:
        """Waits for a server that stops by itself; its exit status."""
        status = self._process.wait(timeout)
        for reader in self._readers:
            reader.join(timeout)
        return status

    def stop(self):
        if self._process.poll() is None:
            self._process.terminate()
        self.wait_for_end()


@contextlib.contextmanager
def property_server(*options):
    """Holds the pipe lock, starts the server and waits until it listens;
    stops it afterwards."""
    with fixed_pipe_lock():
        server = ServerProcess(*options)
        try:
            # Lines that echo the options come first; the listening line ends the start.
            started = server.wait_until(lambda lines: any(line.startswith("listening on ") for line in lines))
            if not started:
                server.stop()
            assert started, "the server did not start: %r %r (exit status %r)" % (
                server.lines, server.stderr, server.returncode)
            yield server
        finally:
            server.stop()
