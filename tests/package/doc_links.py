#!/usr/bin/env python3
"""Checks the relative links of Markdown files: each names a file or folder
that exists inside a given root folder and, when it has a #fragment, a
heading of that Markdown file (anchors as GitHub makes them). Links to other
sites (http:, https:, mailto:) are not followed. Links inside code (fenced
blocks, indented blocks, `code spans`) are text, not links.

Usage: doc_links.py ROOT FILE...   prints each broken link, exits 1 if any."""

import pathlib
import re
import sys

LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
CODE_SPAN = re.compile(r"(`+).*?\1")
FENCE = re.compile(r"^ {0,3}(```|~~~)")
EXTERNAL = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def prose_lines(text):
    """Yields (line number, line) of the lines outside code blocks, with their
    code spans blanked out."""
    fence = None
    indented = False
    previous_blank = True
    for number, line in enumerate(text.splitlines(), 1):
        match = FENCE.match(line)
        if fence is not None:
            if match and match.group(1) == fence:
                fence = None
            continue
        if match:
            fence = match.group(1)
            continue
        if indented and (line.startswith("    ") or not line.strip()):
            continue
        # An indented code block begins after a blank line.
        indented = previous_blank and line.startswith("    ")
        previous_blank = not line.strip()
        if not indented:
            yield number, CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line)


def heading_anchors(text):
    """The anchors GitHub gives the headings of a Markdown text."""
    anchors = set()
    seen = {}
    for _, line in prose_lines(text.replace("`", "")):
        match = re.match(r"^ {0,3}#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not match:
            continue
        slug = re.sub(r"[^\w\- ]", "", match.group(1).lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        anchors.add(slug if count == 0 else "%s-%d" % (slug, count))
    return anchors


def broken_links(root, files):
    """Each broken link as 'file:line: target: why'."""
    root = pathlib.Path(root).resolve()
    problems = []
    for file in files:
        file = pathlib.Path(file).resolve()
        text = file.read_text(encoding="utf-8")
        for number, line in prose_lines(text):
            for match in LINK.finditer(line):
                target = match.group(1)
                where = "%s:%d: %s" % (file.relative_to(root), number, target)
                if not target or EXTERNAL.match(target):
                    continue
                path_part, _, fragment = target.partition("#")
                resolved = (file.parent / path_part).resolve() if path_part else file
                if resolved != root and root not in resolved.parents:
                    problems.append(where + ": leads out of " + str(root))
                elif not resolved.exists():
                    problems.append(where + ": no such file")
                elif fragment and resolved.suffix == ".md" and \
                        fragment not in heading_anchors(resolved.read_text(encoding="utf-8")):
                    problems.append(where + ": no heading with this anchor")
    return problems


def main(argv):
    if len(argv) < 3:
        print(__doc__.rsplit("\n\n", 1)[-1], file=sys.stderr)
        return 2
    problems = broken_links(argv[1], argv[2:])
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
