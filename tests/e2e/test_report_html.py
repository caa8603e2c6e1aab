"""The HTML report (--html=PATH) as a reader's browser shows it: Debian's
chromium, headless and without network, loads it from disk; its DOM after
layout holds one table row per check with the check's result, cause and host
service lines, and the charts with the points of every pose the plugin
returned; the file parses without an error in a strict HTML5 parser, loads
nothing from anywhere, shows texts from the plugin as text, and fits a window
1280 px wide. Screenshots show the charts drawn. The reports and screenshots
stay in the build folder (e2e-artefacts/html) for a person to open."""

import json
import math
import pathlib
import re
import shutil

import html5lib
import pytest

import browser
from conftest import BINARY_DIR, IS_WINDOWS, PLATFORM, native_path, plugin, sample
from report_files import check_lines, leftovers, read_json_report
from test_arguments import USAGE
from test_isolation import SANITIZER_ENV
from test_verify_installed import install

ARTEFACTS = BINARY_DIR / "e2e-artefacts" / "html"
SVG = "{http://www.w3.org/2000/svg}"
MARKS = {"passed": "\u2714 passed", "failed": "\u2718 FAILED", "crashed": "\u2718 CRASHED",
         "timed-out": "\u2718 TIMED OUT", "ended-process": "\u2718 ENDED THE PROCESS"}


@pytest.fixture(scope="module")
def artefacts():
    ARTEFACTS.mkdir(parents=True, exist_ok=True)
    return ARTEFACTS


def strict_parse(path: pathlib.Path):
    """The report parsed by html5lib in strict mode: any parse error fails."""
    return html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(path.read_bytes().decode("utf-8"))


def text(element) -> str:
    return "".join(element.itertext())


def by_class(root, tag, name):
    return [e for e in root.iter(tag) if name in e.get("class", "").split()]


def run_with_html(verifier, artefacts, tmp_path, name, *args, env=None, with_json=True):
    """Runs the verifier with an HTML and (with_json) a JSON report; the HTML
    report is kept as an artefact named after the case."""
    html, report = artefacts / (name + ".html"), tmp_path / "report.json"
    html.unlink(missing_ok=True)
    json_args = ["--report=" + native_path(report)] if with_json else []
    result = verifier.run(*args, "--html=" + native_path(html), *json_args, env=env)
    assert leftovers(artefacts) == []
    return result, html, read_json_report(report) if with_json else None


def shown(value: str) -> str:
    """A text as HTML can carry it: a carriage return as a line feed, and each
    character that HTML forbids in a document (controls but tab and line
    feed, DEL and C1 controls, noncharacters) as U+FFFD."""
    def allowed(c):
        code = ord(c)
        return not (code < 0x20 and c not in "\t\n" or 0x7F <= code <= 0x9F or 0xFDD0 <= code <= 0xFDEF
                    or code & 0xFFFE == 0xFFFE)
    return "".join(c if allowed(c) else "\ufffd" for c in value.replace("\r", "\n"))


def finite(value) -> bool:
    return isinstance(value, (int, float)) and math.isfinite(value)


def expected_points(report: dict) -> dict:
    """The points each pose chart draws: the finite values of the poses that
    calls returned with success (no chart here has more than 2,000)."""
    returned = [pose for pose in report["poses"] if pose["status"] == 0]
    if not returned:
        return {}
    motion = report["pluginInfo"] is not None and report["pluginInfo"]["type"] == 2 or \
        any(pose["input"] is not None for pose in report["poses"])
    sides = [("input: ", "input"), ("output: ", "output")] if motion else [("", "output")]
    charts = {}
    for prefix, key in sides:
        poses = [pose[key] for pose in returned]
        for axis, name in enumerate("xyz"):
            charts[prefix + "position " + name] = sum(finite(p["position"][axis]) for p in poses)
        charts[prefix + "rotation"] = sum(finite(c) for p in poses for c in p["rotation"])
        charts[prefix + "rotation length \u2212 1"] = sum(all(finite(c) for c in p["rotation"]) for p in poses)
        charts[prefix + "confidence"] = sum(finite(p["confidence"]) for p in poses)
    return charts


def line_vertices(svg) -> int:
    """The points the chart's lines go through, counted from their path data."""
    return sum(path.get("d").count(",") for path in by_class(svg, SVG + "path", "line"))


def layout_of(dom_root) -> dict:
    return json.loads(text(dom_root.find(".//pre[@id='layout-probe']")))


# name, arguments, environment, the gaps of the charts that have any, and
# the places marked in every pose chart where time stamps or frame numbers go back
CASES = [
    ("sample", ["--plugin=" + sample("SampleTracker")], None, {}, 0),
    ("sample-motion-platform", ["--mode=verify-motion-platform-plugin", "--plugin=" + sample("SampleMotionPlatform"),
                                "--strict=1"], None, {}, 0),
    ("nan-position", ["--plugin=" + plugin("tracking_nan_position"), "--strict=1"], None, {"position y": 1}, 0),
    ("time-backwards", ["--plugin=" + plugin("tracking_time_backwards"), "--strict=1"], None, {}, 1),
    ("frame-backwards", ["--plugin=" + plugin("tracking_frame_backwards"), "--strict=1", "--repeat=2"], None, {}, 2),
    ("motion-nan-position", ["--mode=verify-motion-platform-plugin", "--plugin=" + plugin("motion_nan_position")],
     None, {"output: position y": 1}, 0),
    ("host-lines", ["--plugin=" + plugin("tracking_callbacks")], None, {}, 0),
    ("texts-not-utf8", ["--plugin=" + plugin("tracking_texts_not_utf8")], None, {}, 0),
    ("actions-fail", ["--plugin=" + plugin("tracking_actions_fail")], None, {}, 0),
    ("isolated-strict", ["--isolate=1", "--plugin=" + plugin("tracking_nan_position"), "--strict=1"], SANITIZER_ENV,
     {"position y": 1}, 0),
    ("isolated-crash", ["--isolate=1", "--plugin=" + plugin("tracking_crash_third_pose"), "--strict=1"],
     SANITIZER_ENV, {}, 0),
    ("isolated-deadline", ["--isolate=1", "--timeout=1000", "--plugin=" + plugin("tracking_loops_third_pose")],
     SANITIZER_ENV, {}, 0),
    ("isolated-exit", ["--isolate=1", "--plugin=" + plugin("tracking_exit_init")], SANITIZER_ENV, {}, 0),
    ("deadline", ["--timeout=1000", "--plugin=" + plugin("tracking_sleeps_at_start")], SANITIZER_ENV, {}, 0),
    ("crash", ["--plugin=" + plugin("tracking_crash_start")], SANITIZER_ENV, {}, 0),
]


@pytest.mark.parametrize("name, args, env, gaps, marks", CASES, ids=[case[0] for case in CASES])
def test_the_browser_shows_every_check_and_draws_every_returned_pose(verifier, artefacts, tmp_path, name, args, env,
                                                                    gaps, marks):
    result, path, report = run_with_html(verifier, artefacts, tmp_path, name, *args, env=env)
    document = strict_parse(path)
    # Self-contained: nothing to load, nothing to run.
    assert [e.tag for e in document.iter() if e.tag in ("script", "link", "img", "iframe", "object", "embed")] == []
    assert all(e.get("href", "#").startswith("#") and e.get("src") is None for e in document.iter())
    assert "url(" not in text(document.find(".//style"))

    dom = html5lib.parse(browser.dom_after_layout(path, tmp_path), namespaceHTMLElements=False)
    layout = layout_of(dom)
    assert layout["scrollWidth"] <= layout["clientWidth"] == 1280, "no sideways scrolling in a 1280 px window"
    assert all(chart["width"] > 200 and chart["height"] > 100 for chart in layout["charts"]), layout["charts"]

    # The banner: verdict, counts, the first failure linked.
    banner = dom.find(".//header")
    verdict = "PASSED" if result.status == 0 else "FAILED"
    assert text(banner.find("p")) == verdict
    counts = text(banner.findall("p")[1])
    assert counts.startswith("%d/%d checks passed" % (report["passed"], report["total"]))
    rows = dom.find(".//table[@class='checks']/tbody").findall("tr")
    failures = [i for i, check in enumerate(report["checks"]) if check["result"] != "passed"]
    links = [a.get("href") for a in banner.iter("a")]
    assert links == (["#" + rows[failures[0]].get("id")] if failures else [])
    assert (banner.get("class"), report["exitStatus"]) == ("banner " + verdict.lower(), result.status)

    # One row per check: mark, name, cause, duration; host lines beside their check.
    assert len(rows) == len(report["checks"])
    for index, (row, check) in enumerate(zip(rows, report["checks"])):
        cells = [text(cell) for cell in row.findall("td")]
        assert row.get("class") == check["result"]
        assert cells[:3] == [MARKS[check["result"]], shown(check["name"]), shown(check.get("detail", ""))]
        assert float(cells[3]) == pytest.approx(check["durationMs"], abs=0.00051), "rounded to three decimals"
        lines = [call["line"] for call in report["hostCalls"] if call["check"] == index]
        assert cells[4] == "".join(shown(line) + "\n" for line in lines)
    # Every failed check of standard output is a failed row of the table.
    in_table = [(row.get("class") == "passed", " - ".join(filter(None, (text(row[1]), text(row[2]))))) for row in rows]
    assert [(False, shown(line)) for ok, line in check_lines(result.stdout) if not ok] == \
        [line for line in in_table if not line[0]]

    # The charts: every returned pose's finite values as points.
    charts = {svg.get("aria-label"): svg for svg in dom.iter(SVG + "svg")}
    expected = expected_points(report)
    for title, points in expected.items():
        assert int(charts[title].get("data-points")) == line_vertices(charts[title]) == points, title
    for title in expected:
        assert len(by_class(charts[title], SVG + "path", "gap")) == gaps.get(title, 0), title
        assert len(by_class(charts[title], SVG + "line", "back")) == marks, title
    if "latency" in report:
        histogram = charts["%s call times (1000 calls)" % report["latency"]["function"]]
        bars = by_class(histogram, SVG + "rect", "bar")
        assert int(histogram.get("data-points")) == len(bars) > 0
        assert sum(int(text(bar).split()[0]) for bar in bars) == report["latency"]["calls"] == 1000
        assert [text(label).split()[0] for label in by_class(histogram, SVG + "text", "mark-label")] == \
            ["p50", "p99", "max", "budget"]
    else:
        assert len(charts) == len(expected)
    if not expected:
        assert "No pose to draw." in [text(p) for p in dom.iter("p")]


def test_the_report_changes_nothing_on_standard_output(verifier, artefacts, tmp_path):
    args = ["--plugin=" + plugin("tracking_actions_fail"), "--repeat=2"]
    plain = verifier.run(*args)
    result = verifier.run(*args, "--html=" + native_path(tmp_path / "r.html"))
    assert (result.stdout, result.status) == (plain.stdout, plain.status)
    assert strict_parse(tmp_path / "r.html").find(".//header") is not None


def test_verify_installed_gives_an_overview_and_a_section_per_plugin(verifier, artefacts, tmp_path):
    names = ["sound", "failing", "invalid manifest", "motion"]
    install(verifier, tmp_path / "plugins", names)
    html, json_path = artefacts / "verify-installed.html", tmp_path / "installed.json"
    result = verifier.run("--mode=verify-installed", "--plugins-dir=" + native_path(tmp_path / "plugins"),
                          "--html=" + native_path(html), "--report=" + native_path(json_path), env=SANITIZER_ENV)
    plugins = json.loads(json_path.read_text(encoding="utf-8"))["plugins"]
    document = strict_parse(html)
    ids = {e.get("id") for e in document.iter() if e.get("id")}
    rows = document.find(".//table[@class='overview']/tbody").findall("tr")
    summary = result.stdout.split("\n Installed plugins:\n")[1].split("\n")[:-3]
    marks = {"passed": "\u2714 PASSED", "failed": "\u2718 FAILED", "not-verified": "\u2013 NOT VERIFIED"}
    assert len(rows) == len(plugins) == len(summary) == 4
    for row, entry in zip(rows, plugins):
        cells = [text(cell) for cell in row.findall("td")]
        counts = "" if entry["report"] is None else "%d/%d" % (entry["report"]["passed"], entry["report"]["total"])
        assert cells[:4] == [marks[entry["status"]], counts, entry["vendor"], entry["product"]]
        assert summary.pop(0).startswith("[ %s ] " % marks[entry["status"]][2:])
        assert row.find(".//a").get("href")[1:] in ids
    sections = document.findall(".//section")
    assert [text(section.find("h2")) for section in sections] == \
        ["Acme / " + e["product"] if e["vendor"] else e["manifest"] for e in plugins]
    for section, entry in zip(sections, plugins):
        tables = section.findall(".//table[@class='checks']")
        if entry["report"] is None:
            assert tables == [] and text(section.find("p")) == "Not verified: " + entry["reason"]
        else:
            assert len(tables[0].find("tbody").findall("tr")) == len(entry["report"]["checks"])
    assert result.status == 2, "one failed and one not verified"


@pytest.mark.parametrize("variant, name", [
    ("tracking_name_script", "<script>alert(1)</script>"),
    ("tracking_name_attribute", "\" onload=\"x"),
])
def test_texts_from_the_plugin_show_as_that_text(verifier, artefacts, tmp_path, variant, name):
    result, path, _ = run_with_html(verifier, artefacts, tmp_path, variant, "--plugin=" + plugin(variant))
    assert result.status == 0
    document = strict_parse(path)
    items = dict(zip((text(dt) for dt in document.iter("dt")), (text(dd) for dd in document.iter("dd"))))
    assert items["Name"] == name
    assert [e for e in document.iter() if e.tag == "script" or any(k.startswith("on") for k in e.attrib)] == []


@pytest.mark.skipif(IS_WINDOWS, reason="Windows file names cannot hold < > or \"")
def test_a_path_of_markup_shows_as_that_path(verifier, artefacts, tmp_path):
    folder = tmp_path / "<b>&amp;\"x"
    folder.mkdir()
    copy = folder / "tracking_ok.so"
    shutil.copy(plugin("tracking_ok"), copy)
    result, path, _ = run_with_html(verifier, artefacts, tmp_path, "markup-path", "--plugin=" + str(copy))
    document = strict_parse(path)
    items = dict(zip((text(dt) for dt in document.iter("dt")), (text(dd) for dd in document.iter("dd"))))
    assert items["Plugin"] == str(copy)
    assert text(document.find(".//table[@class='checks']/tbody/tr/td[2]")) == "Loading DLL " + str(copy)
    assert document.find(".//b") is None


# Chart colours of the light scheme: the first series and the fourth (rotation[3]).
FIRST_SERIES, FOURTH_SERIES = (0x09, 0x69, 0xDA), (0x82, 0x50, 0xDF)


# The whole page's height: the screenshot of the sample's is docs/html-report.png.
@pytest.mark.parametrize("name, args, height", [
    ("sample", ["--plugin=" + sample("SampleTracker")], 1720),
    ("failing", ["--plugin=" + plugin("tracking_nan_position"), "--strict=1"], 2700),
])
def test_screenshots_show_the_charts_drawn(verifier, artefacts, tmp_path, name, args, height):
    run_with_html(verifier, artefacts, tmp_path, "screenshot-" + name, *args, with_json=False)
    path = artefacts / ("screenshot-" + name + ".html")
    top, whole = artefacts / (name + ".png"), artefacts / (name + "-whole-page.png")
    browser.screenshot(path, top)
    browser.screenshot(path, whole, height=height)
    top_colours = browser.colour_counts(top)
    assert len(top_colours) > 20, "the top of the report is not blank or of one colour"
    colours = browser.colour_counts(whole)
    assert browser.near(colours, FIRST_SERIES) > 500, "the first series of every chart is drawn"
    assert browser.near(colours, FOURTH_SERIES) > 100, "the rotation chart draws its fourth component"
    background = max(colours.values())
    assert background < 0.97 * sum(colours.values()), "not one colour"


@pytest.mark.parametrize("variant, status", [("tracking_ok", 1), ("tracking_actions_fail", 9)])
def test_a_report_that_cannot_be_written_is_an_error_after_the_summary(verifier, tmp_path, variant, status):
    path = native_path(tmp_path / "missing" / "report.html")
    plain = verifier.run("--plugin=" + plugin(variant))
    result = verifier.run("--plugin=" + plugin(variant), "--html=" + path)
    error = result.stdout[len(plain.stdout):]
    assert result.stdout.startswith(plain.stdout)
    assert re.fullmatch(r"\[Error\] Unable to write the report to %s: 0x[0-9A-F]+: .+\n" % re.escape(path), error)
    assert result.status == status
    assert leftovers(tmp_path) == []


@pytest.mark.parametrize("first, second", [("--report", "--html"), ("--html", "--junit"), ("--junit", "--html")])
def test_one_file_takes_one_report(verifier, tmp_path, first, second):
    path = native_path(tmp_path / "report")
    result = verifier.run("--plugin=" + plugin("tracking_ok"), first + "=" + path, second + "=" + path)
    assert result.stdout == "Invalid value for %s: %s\n" % (second, path) + USAGE
    assert result.status == 1
