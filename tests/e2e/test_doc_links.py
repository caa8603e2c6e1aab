"""The links of the README and of docs/ lead to files and headings that exist,
and the link checker that the package proof also runs on the packaged docs
finds each kind of broken link."""

import pathlib
import sys

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "package"))
import doc_links  # noqa: E402


def test_readme_and_docs_links_resolve():
    files = [REPO / "README.md"] + sorted((REPO / "docs").glob("*.md"))
    assert len(files) >= 9
    assert doc_links.broken_links(REPO, files) == []


# (text of page.md, the problems expected; "" for none)
CASES = [
    ("[a](other.md) [b](sub/) [c](other.md#second-part) [d](#a-heading-with-code)\n# A heading with `code`\n", ""),
    ("[a](missing.md)\n", "page.md:1: missing.md: no such file"),
    ("see [a](other.md#no-such-part)\n", "page.md:1: other.md#no-such-part: no heading with this anchor"),
    ("[a](#nowhere)\n", "page.md:1: #nowhere: no heading with this anchor"),
    ("[a](../outside.md)\n", "page.md:1: ../outside.md: leads out of {root}"),
    ("[a](https://example.com/x) [b](mailto:a@b.c)\n", ""),
    ("```\n[a](missing.md)\n```\n`[b](missing.md)`\n\n    [c](missing.md)\n", ""),
    ("# Part\n# Part\n[a](#part-1) [b](#part-2)\n", "page.md:3: #part-2: no heading with this anchor"),
    ("![image](pic.png) [t](other.md \"title\")\n", "page.md:1: pic.png: no such file"),
]


@pytest.mark.parametrize("text,expected", CASES)
def test_checker_finds_each_broken_link(tmp_path, text, expected):
    root = tmp_path / "root"
    (root / "sub").mkdir(parents=True)
    (root / "other.md").write_text("# Other\n## Second part\n")
    (tmp_path / "outside.md").write_text("# Outside\n")
    (root / "page.md").write_text(text)
    problems = doc_links.broken_links(root, [root / "page.md"])
    assert problems == ([expected.format(root=root)] if expected else [])
