#!/usr/bin/env python3
"""Runs each GoogleTest executable of a build once, directly, all its tests in
one process and in shuffled order (--gtest_shuffle). CTest runs every test in
a process of its own, so it never shows a test that passes only when it comes
first or alone; this does. The executables, and the environment and folder
each runs in, are those of the tests CTest knows for the build, so no list is
kept here.

Usage: scripts/gtest-shuffle.py BUILD_DIR
Exits non-zero when an executable fails, or when the build has none."""

import json
import os
import random
import signal
import subprocess
import sys
import tempfile

# A generous bound for one whole executable: only a hang should reach it.
TIMEOUT_SECONDS = 1800


def gtest_executables(build_dir):
    """{command prefix: (CTest's environment assignments, working folder)} of
    every GoogleTest executable CTest knows, in the order of its tests."""
    listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True).stdout
    executables = {}
    for test in json.loads(listing)["tests"]:
        command = test.get("command", [])
        filters = [i for i, arg in enumerate(command) if arg.startswith("--gtest_filter=")]
        if not filters:
            continue  # not a discovered GoogleTest case (pytest, or not built)
        prefix = tuple(command[:filters[0]])  # the executable, behind an emulator if any
        if prefix in executables:
            continue
        properties = {p["name"]: p["value"] for p in test.get("properties", [])}
        executables[prefix] = (properties.get("ENVIRONMENT", []),
                               properties.get("WORKING_DIRECTORY", build_dir))
    return executables


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().split("\n\n")[-1], file=sys.stderr)
        return 2
    executables = gtest_executables(sys.argv[1])
    if not executables:
        print(f"no GoogleTest executable known to CTest in {sys.argv[1]}")
        return 1
    failed = []
    for prefix, (assignments, folder) in executables.items():
        name = os.path.basename(prefix[-1])
        environment = dict(os.environ)
        environment.update(assignment.partition("=")[::2] for assignment in assignments)
        # A seed of our own, printed, so that a failing order can be replayed;
        # brief output: only the failures and the closing lines.
        seed = random.randint(1, 99999)
        arguments = ["--gtest_shuffle", f"--gtest_random_seed={seed}", "--gtest_brief=1"]
        # Output to a file, not a pipe, and the executable in a process group
        # of its own: on a hang the whole group is stopped, and a server it
        # started cannot keep a pipe open.
        with tempfile.TemporaryFile() as log:
            process = subprocess.Popen([*prefix, *arguments], env=environment, cwd=folder,
                                       stdin=subprocess.DEVNULL, stdout=log,
                                       stderr=subprocess.STDOUT, start_new_session=True)
            try:
                status = process.wait(timeout=TIMEOUT_SECONDS)
                ok, outcome = status == 0, f"exit status {status}"
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
                ok, outcome = False, f"still running after {TIMEOUT_SECONDS} s, stopped"
            log.seek(0)
            output = log.read().decode("utf-8", errors="replace")
        if ok:
            print(f"{name}: passed in one process, shuffled with seed {seed}")
            continue
        failed.append(name)
        print(f"{name}: FAILED in one process, shuffled with seed {seed}: {outcome}; "
              f"replay in {folder}: env {' '.join(assignments)} {' '.join(prefix)} {' '.join(arguments)}")
        for line in output.splitlines()[-200:]:
            print(f"  {line}")
    print(f"one process, shuffled: {len(executables) - len(failed)} of {len(executables)} "
          f"executables passed" + (f"; failed: {' '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
