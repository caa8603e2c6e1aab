"""Where the report files go: a symbolic link's target is written and the link
stays; a FIFO or the verifier's own standard output is written in place and
never replaced; one path for both reports is refused; a relative path stays
where it was when the verifier started, whatever folder the plugin changes to,
also when the run ends at a missed deadline or a crash."""

import os
import stat
import subprocess
import threading

import pytest

from conftest import IS_WINDOWS, native_path, plugin, program_environment
from report_files import leftovers, read_json_report, read_junit_report
from test_arguments import USAGE
from test_isolation import SANITIZER_ENV

linux_only = pytest.mark.skipif(IS_WINDOWS, reason="symbolic links, FIFOs and /proc are Linux's")


def report_args(json_path=None, junit_path=None):
    args = []
    if json_path is not None:
        args.append("--report=" + native_path(json_path))
    if junit_path is not None:
        args.append("--junit=" + native_path(junit_path))
    return args


@pytest.mark.parametrize("target_exists", [True, False], ids=["target exists", "target not yet made"])
def test_a_link_keeps_leading_to_its_target_which_gets_the_report(verifier, tmp_path, target_exists):
    if IS_WINDOWS and not target_exists:
        pytest.skip("Wine shows a Linux link to nothing as no file at all")
    target = tmp_path / "reports" / "report.json"
    target.parent.mkdir()
    if target_exists:
        target.write_text("an older report")
    link = tmp_path / "link.json"
    link.symlink_to(os.path.relpath(target, tmp_path))
    result = verifier.run("--plugin=" + plugin("tracking_ok"), *report_args(link))
    assert result.status == 0
    assert link.is_symlink() and os.readlink(link) == "reports/report.json"
    assert read_json_report(target)["passed"] == 19
    assert leftovers(tmp_path) == [] and leftovers(target.parent) == []


@linux_only
def test_a_loop_of_links_is_an_error_and_replaces_nothing(verifier, tmp_path):
    first, second = tmp_path / "a.json", tmp_path / "b.json"
    first.symlink_to("b.json")
    second.symlink_to("a.json")
    result = verifier.run("--plugin=" + plugin("tracking_ok"), *report_args(first))
    assert result.lines[-2].startswith("[Error] Unable to write the report to %s: 0x28: " % first)
    assert result.status == 1
    assert os.readlink(first) == "b.json" and os.readlink(second) == "a.json"
    assert leftovers(tmp_path) == []


@linux_only
def test_a_fifo_is_written_in_place_and_stays_a_fifo(verifier, tmp_path):
    fifo = tmp_path / "report.fifo"
    os.mkfifo(fifo)
    received = []
    reader = threading.Thread(target=lambda: received.append(fifo.read_bytes()), daemon=True)
    reader.start()
    result = verifier.run("--plugin=" + plugin("tracking_ok"), *report_args(junit_path=fifo))
    if not received:
        # A reader still waiting for a writer is let go.
        try:
            os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
        except OSError:
            pass  # it has read already
    reader.join(timeout=60)
    assert result.status == 0
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode)
    assert received and received[0].startswith(b'<?xml version="1.0" encoding="UTF-8"?>\n<testsuite ')
    assert leftovers(tmp_path) == []


@pytest.mark.skipif(not IS_WINDOWS, reason="replacing /dev/null is what a test must not risk")
def test_the_null_device_is_written_in_place(verifier, tmp_path):
    result = verifier.run("--plugin=" + plugin("tracking_ok"), "--report=NUL", "--junit=nul")
    assert result.lines[-2] == "End verification: 19/19 passed"
    assert result.status == 0


@linux_only
def test_the_verifiers_own_output_is_written_in_place(verifier, tmp_path):
    # A link to /proc/self/fd/1 stands for /dev/stdout, which a test must not
    # risk: the verifier's standard output is a pipe here.
    stdout_link = tmp_path / "stdout.json"
    stdout_link.symlink_to("/proc/self/fd/1")
    plain = verifier.run("--plugin=" + plugin("tracking_ok"))
    result = verifier.run("--plugin=" + plugin("tracking_ok"), *report_args(stdout_link))
    assert result.status == 0
    assert result.stdout.startswith(plain.stdout)
    (tmp_path / "written.json").write_text(result.stdout[len(plain.stdout):])
    assert read_json_report(tmp_path / "written.json")["passed"] == 19
    assert os.readlink(stdout_link) == "/proc/self/fd/1"
    assert leftovers(tmp_path) == []


@linux_only
def test_a_file_that_takes_the_verifiers_output_keeps_it(verifier, tmp_path):
    # "> out.txt --report=/dev/stdout": the output, then the report after it.
    output = tmp_path / "out.txt"
    plain = verifier.run("--plugin=" + plugin("tracking_ok"))
    with open(output, "wb") as sink:
        completed = subprocess.run([verifier.program, "--plugin=" + plugin("tracking_ok"), "--report=/proc/self/fd/1"],
                                   stdout=sink, env=program_environment(), timeout=120)
    assert completed.returncode == 0
    text = output.read_text()
    assert text.startswith(plain.stdout)
    (tmp_path / "written.json").write_text(text[len(plain.stdout):])
    assert read_json_report(tmp_path / "written.json")["passed"] == 19


@pytest.mark.parametrize("first, second, spelling", [
    ("--report", "--junit", "same text"),
    ("--junit", "--report", "same text"),
    ("--report", "--junit", "another spelling"),
])
def test_one_path_for_both_reports_is_an_invalid_value_of_the_later(verifier, tmp_path, first, second, spelling):
    path = native_path(tmp_path / "report.xml")
    other = path if spelling == "same text" else native_path(tmp_path / "." / "report.xml")
    result = verifier.run("--plugin=" + plugin("tracking_ok"), first + "=" + path, second + "=" + other)
    assert result.stdout == "Invalid value for %s: %s\n" % (second, other) + USAGE
    assert result.status == 1
    assert not (tmp_path / "report.xml").exists()


@linux_only
def test_a_link_to_the_other_report_is_the_same_path(verifier, tmp_path):
    (tmp_path / "report.json").write_text("")
    (tmp_path / "link.json").symlink_to("report.json")
    link = native_path(tmp_path / "link.json")
    result = verifier.run("--plugin=" + plugin("tracking_ok"), *report_args(tmp_path / "report.json"),
                          "--junit=" + link)
    assert result.stdout == "Invalid value for --junit: %s\n" % link + USAGE
    assert result.status == 1


@linux_only
def test_two_names_of_the_verifiers_output_take_both_reports(verifier, tmp_path):
    for name in ("a", "b"):
        (tmp_path / name).symlink_to("/proc/self/fd/1")
    plain = verifier.run("--plugin=" + plugin("tracking_ok"))
    result = verifier.run("--plugin=" + plugin("tracking_ok"), "--report=%s" % (tmp_path / "a"),
                          "--junit=%s" % (tmp_path / "b"))
    assert result.status == 0
    written = result.stdout[len(plain.stdout):]
    assert written.startswith("{\n") and "\n}\n<?xml " in written and written.endswith("</testsuite>\n")


# variant, extra arguments, exit status, the last check's result
FOLDER_CHANGES = [
    ("tracking_changes_folder", [], 0, "passed"),
    ("tracking_changes_folder_sleeps", ["--timeout=1000"], 8, "timed-out"),
    ("tracking_changes_folder_crashes", [], 8, "crashed"),
]


@pytest.mark.parametrize("variant, args, status, last", FOLDER_CHANGES, ids=[c[0] for c in FOLDER_CHANGES])
def test_relative_paths_stay_where_the_verifier_started(verifier, tmp_path, variant, args, status, last):
    started, moved = tmp_path / "started", tmp_path / "moved"
    started.mkdir()
    moved.mkdir()
    env = dict(SANITIZER_ENV, ORVEL_TEST_PLUGIN_FOLDER=native_path(moved))
    (started / "sub").mkdir()
    result = verifier.run("--plugin=" + plugin(variant), *args, "--report=report.json", "--junit=sub/junit.xml",
                          env=env, cwd=started)
    assert result.status == status
    report = read_json_report(started / "report.json")
    assert (report["exitStatus"], report["checks"][-1]["result"]) == (status, last)
    assert read_junit_report(started / "sub" / "junit.xml").tag == "testsuite"
    assert list(moved.iterdir()) == []
