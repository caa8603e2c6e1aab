"""--mode=verify-installed: every manifest of a plugins folder, each valid
plugin verified in a child of its own. A verified plugin's block must be the
single isolated run of that plugin (pinned by the isolation tests), a plugin
that is not verified gets the listing's reason; then the summary lines and
the exit status N - K. Whole outputs are compared."""

import contextlib
import os
import pathlib
import re
import signal
import subprocess
import time

import pytest

from conftest import IS_WINDOWS, LIBRARY_SUFFIX, PLUGIN_DIR, TIMEOUT_SECONDS, WINE_RUN, native_path, plugin, sample
from conftest import program_environment
from report_files import leftovers, read_json_report, read_junit_report
from test_arguments import USAGE
from test_hostile_plugins import kill_session, session_processes
from test_isolation import SANITIZER_ENV
from test_list import found_line, manifest

ABSENT = native_path(PLUGIN_DIR / ("absent" + LIBRARY_SUFFIX))
NOT_LOADED = "the library could not be loaded"
NEITHER = "the library is neither a tracking nor a motion platform plugin"
UNREAD = ("Failed to read plugin manifest: Incompatible manifest file version: 2.0.0.0; "
          "Manifest is not compatible")
END_LINE = re.compile(r"End verification: (\d+)/(\d+) passed")
# The deadline that ends the hanging plugin: generous, as every plugin of the
# folder has it while several run at once on a busy machine.
HANG_DEADLINE_MS = 5000

# Each installed plugin: the manifest's library and other fields, and how the
# mode treats it: verified in "verify" or "verify-motion-platform-plugin"
# mode, else the reason it is not verified.
PLUGINS = {
    "sound": ({"path": plugin("tracking_ok")}, "verify"),
    "motion": ({"path": plugin("motion_ok")}, "verify-motion-platform-plugin"),
    "failing": ({"path": plugin("tracking_actions_fail")}, "verify"),
    "crashing": ({"path": plugin("tracking_crash_start")}, "verify"),
    "hanging": ({"path": plugin("tracking_loops_third_pose")}, "verify"),
    "sample": ({"path": sample("SampleTracker")}, "verify"),
    # Waits inside orvel_TrackerStart while $ORVEL_TEST_PLUGIN_GATE is set and
    # its ".go" file is missing; run alone without it, it is a sound plugin.
    "gated": ({"path": plugin("tracking_waits_at_start")}, "verify"),
    "invalid manifest": ({"path": plugin("tracking_ok"), "manifestFileVersion": "2.0.0.0"}, UNREAD),
    "invalid plugin": ({"path": plugin("tracking_no_hmd_pose")},
                       "Manifest references invalid tracking plugin: DLL is not a valid plugin"),
    "not loaded": ({"path": ABSENT}, NOT_LOADED),
    "type 3": ({"path": plugin("type3")}, NEITHER),
    # A library that loads but lacks a common export is of neither kind too.
    "no common export": ({"path": plugin("tracking_no_common")}, NEITHER),
}


def install(verifier, folder, names):
    """One vendor folder whose manifests the listing meets in the order of
    `names`: empty manifests are made first and listed, which tells the order
    the file system gives, then written in that order. Returns the native
    manifest paths in that order."""
    vendor = folder / "Vendor"
    vendor.mkdir(parents=True)
    for number in range(len(names)):
        (vendor / ("%d.manifest" % number)).write_text("{}")
    listed = verifier.run("--plugins-dir=" + native_path(folder), "--list").stdout.split("\n")
    line_of = {found_line(native_path(vendor / name)): name for name in os.listdir(vendor)}
    files = [line_of[line] for line in listed if line.startswith("Found manifest file: ")]
    assert len(files) == len(names)
    for file, name in zip(files, names):
        fields, _ = PLUGINS[name.split("#")[0]]
        (vendor / file).write_text(manifest(productName=name, vendorName="Acme", **fields))
    return [native_path(vendor / file) for file in files]


def single_run(verifier, name, args):
    """The single isolated run of the plugin: its output, exit status and the
    summary line the mode must write for it."""
    fields, mode = PLUGINS[name.split("#")[0]]
    result = verifier.run("--mode=" + mode, "--isolate=1", *args, "--plugin=" + fields["path"], env=SANITIZER_ENV)
    passed, total = END_LINE.findall(result.stdout)[-1]
    mark = "PASSED" if result.status == 0 else "FAILED"
    return result.stdout, result.status, "[ %s ] %s/%s Acme / %s\n" % (mark, passed, total, name)


def expected_output(verifier, manifests, names, args, explained=()):
    """The whole standard output and the exit status of the mode."""
    text, summary, passed = "", "", 0
    for index, (path, name) in enumerate(zip(manifests, names)):
        text += "=== %d of %d: %s\n" % (index + 1, len(names), path)
        _, treatment = PLUGINS[name.split("#")[0]]
        if treatment.startswith("verify"):
            block, status, line = single_run(verifier, name, args)
            text += block
            summary += line
            passed += status == 0
        else:
            text += "Not verified: %s\n" % treatment + "".join("  Why: %s\n" % why for why in explained)
            summary += "[ NOT VERIFIED ] %s\n" % path
    text += "\n Installed plugins:\n" + summary + "\n%d of %d installed plugins passed\n" % (passed, len(names))
    return text, len(names) - passed


def run_mode(verifier, folder, *args):
    return verifier.run("--mode=verify-installed", "--plugins-dir=" + native_path(folder), *args, env=SANITIZER_ENV)


@pytest.mark.parametrize("names, args", [
    (["sound", "failing", "crashing", "hanging", "invalid manifest", "not loaded", "type 3", "motion"],
     ["--timeout=%d" % HANG_DEADLINE_MS, "--jobs=3"]),
    (["invalid plugin", "no common export", "sound", "motion"], ["--jobs=1"]),
    (["sound", "failing"], ["--repeat=2", "--jobs=2"]),
], ids=["mixed", "one at a time", "run options reach every plugin"])
def test_each_plugin_is_verified_as_its_single_isolated_run(verifier, tmp_path, names, args):
    manifests = install(verifier, tmp_path / "plugins", names)
    result = run_mode(verifier, tmp_path / "plugins", *args)
    output, status = expected_output(verifier, manifests, names, args)
    assert result.stdout == output
    assert result.status == status


def gated_verifications(session):
    """Live verification children (not the listing's) of the session."""
    found = []
    for pid in session_processes(session):
        try:
            # Wine's processes show their Windows command line as one text.
            arguments = re.split(b"[\0 ]", (pathlib.Path("/proc") / str(pid) / "cmdline").read_bytes())
        except OSError:
            continue
        if b"--mode=verify" in arguments:
            found.append(pid)
    return found


@contextlib.contextmanager
def gated_run(tmp_path, *args):
    """The mode over tmp_path/plugins, started in a session of its own with
    its output in tmp_path/out and the gated plugins' gate at tmp_path/gate;
    whatever is left of the session is killed at the end."""
    command = [os.environ["ORVEL_VERIFIER"], "--mode=verify-installed",
               "--plugins-dir=" + native_path(tmp_path / "plugins"), *args]
    if IS_WINDOWS:
        command = [WINE_RUN, *command]
    env = program_environment({**SANITIZER_ENV, "ORVEL_TEST_PLUGIN_GATE": native_path(tmp_path / "gate")})
    with open(tmp_path / "out", "wb") as stdout:
        process = subprocess.Popen(command, stdout=stdout, stderr=subprocess.DEVNULL, env=env,
                                   start_new_session=True)
    try:
        yield process
    finally:
        kill_session(process.pid)
        process.kill()
        process.wait()


def wait_until(condition, what, seconds=TIMEOUT_SECONDS):
    """Waits for the condition within a generous bound."""
    bound = time.monotonic() + seconds
    while not condition() and time.monotonic() < bound:
        time.sleep(0.05)
    assert condition(), what


def test_blocks_come_in_discovery_order_when_the_first_ends_last(verifier, tmp_path):
    """The first plugin waits at a gate until every other verification has
    ended: their finished blocks must wait for it."""
    names = ["gated"] + ["sound#%d" % n for n in range(7)]
    manifests = install(verifier, tmp_path / "plugins", names)
    with gated_run(tmp_path, "--jobs=8") as process:
        wait_until((tmp_path / "gate.started").exists, "the first plugin's call began")
        wait_until(lambda: len(gated_verifications(process.pid)) == 1, "only the gated verification runs")
        (tmp_path / "gate.go").write_text("")
        status = process.wait(timeout=TIMEOUT_SECONDS)
    expected, failed = expected_output(verifier, manifests, names, [])
    assert (tmp_path / "out").read_bytes().replace(b"\r\n", b"\n").decode() == expected
    assert status == failed == 0


@pytest.mark.parametrize("args, key, value", [
    (["--jobs=0"], "--jobs", "0"),
    (["--jobs=65"], "--jobs", "65"),
    (["--jobs=x"], "--jobs", "x"),
    (["--jobs="], "--jobs", ""),
    (["--isolate=0"], "--isolate", "0"),
    (["--isolate=1", "--isolate=0"], "--isolate", "0"),
], ids=["jobs 0", "jobs 65", "jobs x", "jobs empty", "isolate 0", "isolate 0 last"])
def test_invalid_values_print_key_value_and_usage(verifier, tmp_path, args, key, value):
    (tmp_path / "plugins").mkdir()
    result = run_mode(verifier, tmp_path / "plugins", *args)
    assert result.stdout == "Invalid value for %s: %s\n" % (key, value) + USAGE
    assert result.status == 1


def test_an_empty_folder_passes_with_nothing_verified(verifier, tmp_path):
    (tmp_path / "plugins").mkdir()
    result = run_mode(verifier, tmp_path / "plugins", "--isolate=0", "--isolate=1", "--jobs=64")
    assert (result.stdout, result.stderr, result.status) == ("0 of 0 installed plugins passed\n", "", 0)


def test_a_missing_folder_is_an_error(verifier, tmp_path):
    folder = native_path(tmp_path / "absent")
    result = run_mode(verifier, tmp_path / "absent")
    assert result.stdout == ""
    assert result.stderr == "ERROR: Error when searching manifest files: Path '" + folder + "' does not exist\n"
    assert result.status == 1


@pytest.mark.parametrize("name, explained", [
    ("invalid manifest", ["the manifest was not read: Incompatible manifest file version: 2.0.0.0; "
                          "Manifest is not compatible"]),
    ("type 3", [NEITHER + ": orvel_GetPluginType returned 3; 1 is a tracking plugin, 2 a motion platform plugin"]),
], ids=["manifest", "type 3"])
def test_explain_says_why_a_manifest_is_not_verified(verifier, tmp_path, name, explained):
    manifests = install(verifier, tmp_path / "plugins", [name, "sound"])
    result = run_mode(verifier, tmp_path / "plugins", "--explain=1")
    output, status = expected_output(verifier, manifests, [name, "sound"], ["--explain=1"], explained)
    assert result.stdout == output
    assert result.status == status


def test_reports_hold_every_manifest_and_each_plugins_own_report(verifier, tmp_path):
    names = ["sound", "crashing", "not loaded", "motion"]
    manifests = install(verifier, tmp_path / "plugins", names)
    json_path, junit_path = tmp_path / "r" / "report.json", tmp_path / "r" / "report.xml"
    json_path.parent.mkdir()
    result = run_mode(verifier, tmp_path / "plugins", "--report=" + native_path(json_path),
                      "--junit=" + native_path(junit_path))
    assert result.status == 2
    report = read_json_report(json_path)
    assert (report["mode"], report["pluginsFolder"]) == ("verify-installed", native_path(tmp_path / "plugins"))
    assert (report["passed"], report["total"], report["exitStatus"]) == (2, 4, 2)
    rows = [(p["manifest"], p["product"], p["kind"], p["status"], p["reason"]) for p in report["plugins"]]
    assert rows == [(manifests[0], "sound", "tracking", "passed", None),
                    (manifests[1], "crashing", "tracking", "failed", None),
                    (manifests[2], "not loaded", None, "not-verified", NOT_LOADED),
                    (manifests[3], "motion", "motion-platform", "passed", None)]
    assert report["plugins"][2]["report"] is None
    # Each verified plugin's report is the one its single isolated run writes.
    for entry, name in zip(report["plugins"], names):
        if entry["report"] is None:
            continue
        single_path = tmp_path / ("single-%s.json" % name)
        fields, mode = PLUGINS[name]
        verifier.run("--mode=" + mode, "--isolate=1", "--plugin=" + fields["path"],
                     "--report=" + native_path(single_path), env=SANITIZER_ENV)
        single = read_json_report(single_path)
        for own in (entry["report"], single):
            for check in own["checks"]:
                check.pop("durationMs")
            own.pop("latency", None)
        assert entry["report"] == single
    junit = read_junit_report(junit_path)
    assert junit.tag == "testsuites"
    suites = junit.findall("testsuite")
    assert [s.get("name") for s in suites] == ["installed plugins"] + [
        "Acme / %s (%s)" % (name, path) for name, path in zip(names, manifests) if name != "not loaded"]
    cases = suites[0].findall("testcase")
    assert [c.get("name") for c in cases] == manifests
    assert [c.find("failure").get("type") if c.find("failure") is not None else None for c in cases] == [
        None, "failed", "not-verified", None]
    assert suites[0].get("failures") == "2"
    assert [len(s.findall("testcase")) for s in suites[1:]] == [19, 19, 15]
    assert leftovers(json_path.parent) == []


def test_an_interrupted_run_leaves_no_process_and_no_temporary_file(verifier, tmp_path):
    """Hanging plugins verified side by side; SIGTERM ends the verifier and
    every child."""
    install(verifier, tmp_path / "plugins", ["gated#%d" % n for n in range(4)])
    report = tmp_path / "report.json"
    with gated_run(tmp_path, "--jobs=4", "--report=" + native_path(report)) as process:
        wait_until((tmp_path / "gate.started").exists, "a plugin's call began")
        wait_until(lambda: len(gated_verifications(process.pid)) == 4, "every verification runs")
        process.send_signal(signal.SIGTERM)
        assert process.wait(timeout=TIMEOUT_SECONDS) != 0
        # Well before the plugins would return by themselves (a minute).
        wait_until(lambda: session_processes(process.pid) == [], "no child outlived the verifier", seconds=30)
        assert not report.exists() and leftovers(tmp_path) == []
