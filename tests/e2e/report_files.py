"""Reading the report files of a run as CI would: the JSON report with a
strict UTF-8 decoder and a JSON Schema validator (against the published
docs/report.schema.json), the JUnit report with an XML parser."""

import json
import pathlib
import re
import xml.etree.ElementTree as ElementTree

import jsonschema

SCHEMA_PATH = pathlib.Path(__file__).resolve().parents[2] / "docs" / "report.schema.json"
SCHEMA = json.loads(SCHEMA_PATH.read_text(encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(SCHEMA)

REPLACEMENT = "\ufffd"


def _no_bare_constants(name):
    raise ValueError("the report holds the bare token %s: not JSON" % name)


def read_json_report(path) -> dict:
    """The report, decoded as strict UTF-8, parsed as strict JSON and valid against the schema."""
    text = pathlib.Path(path).read_bytes().decode("utf-8")
    report = json.loads(text, parse_constant=_no_bare_constants)
    jsonschema.Draft202012Validator(SCHEMA).validate(report)
    return report


def read_junit_report(path) -> ElementTree.Element:
    """The root element of the JUnit report (parsed from bytes, so the XML declaration decides the encoding)."""
    return ElementTree.fromstring(pathlib.Path(path).read_bytes())


CHECK_LINE = re.compile(r"^\[ (OK|FAILED) \] : (.*)$")


def check_lines(stdout: str) -> list:
    """The report lines of the checks, as (passed, text after the mark)."""
    found = []
    for line in stdout.split("\n"):
        match = CHECK_LINE.match(line)
        if match:
            found.append((match.group(1) == "OK", match.group(2)))
    return found


def as_lines(checks: list) -> list:
    """The report's checks as (passed, text after the mark) that their report lines carry."""
    return [(check["result"] == "passed", check["name"] + (" - " + check["detail"] if "detail" in check else ""))
            for check in checks]


def leftovers(folder) -> list:
    """Files a report writer left behind beside its reports."""
    return sorted(p.name for p in pathlib.Path(folder).iterdir() if p.name.endswith(".tmp"))
