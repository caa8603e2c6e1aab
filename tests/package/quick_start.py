#!/usr/bin/env python3
"""Reads the commands of a package's quick start (its README.md), so that the
package proof runs exactly what a vendor reads.

A code block is part of the proof when the line before its opening fence is
    <!-- package-proof: WORD... -->
with these words:
    linux, windows   the block belongs to the walk through that package
    file PATH        the block is the content of the file PATH (relative to
                     the folder the commands run in), not commands
    ci-step          the block is the CI shell step of its package
    ci-job           the block is a CI job (not run): it must hold the Linux
                     ci-step's lines, in order, and every `tar`, `ORVEL=` and
                     `cmake` line in it must be one of the Linux walk's

Usage:
    quick_start.py script PLATFORM README   prints the walk as a bash script
    quick_start.py check-ci README          checks the CI jobs against the walk"""

import re
import sys

MARKER = re.compile(r"^<!-- package-proof:((?:\s+\S+)+?)\s*-->$")
FENCE = re.compile(r"^(```|~~~)")
END_OF_FILE = "ORVEL_QUICK_START_EOF"


class Block:
    def __init__(self, words, lines, line_number):
        self.platforms = {word for word in words if word in ("linux", "windows")}
        self.file = words[words.index("file") + 1] if "file" in words else None
        self.ci_step = "ci-step" in words
        self.ci_job = "ci-job" in words
        self.lines = lines
        self.line_number = line_number


def read_blocks(text):
    """The marked code blocks of a quick start, in order."""
    lines = text.splitlines()
    blocks = []
    for index, line in enumerate(lines):
        match = MARKER.match(line)
        if not match:
            continue
        if index + 1 >= len(lines) or not FENCE.match(lines[index + 1]):
            raise ValueError("line %d: a package-proof marker not followed by a code block" % (index + 1))
        fence = FENCE.match(lines[index + 1]).group(1)
        end = index + 2
        while end < len(lines) and not lines[end].startswith(fence):
            end += 1
        if end == len(lines):
            raise ValueError("line %d: a code block that does not end" % (index + 2))
        blocks.append(Block(match.group(1).split(), lines[index + 2:end], index + 3))
    return blocks


def walk_script(blocks, platform):
    """The commands of one package's walk as a bash script."""
    script = ["set -e -o pipefail"]
    for block in blocks:
        if platform not in block.platforms:
            continue
        if block.file:
            folder = block.file.rpartition("/")[0]
            if folder:
                script.append("mkdir -p '%s'" % folder)
            script.append("cat >'%s' <<'%s'" % (block.file, END_OF_FILE))
            script.extend(block.lines)
            script.append(END_OF_FILE)
        else:
            script.extend(block.lines)
    return "\n".join(script) + "\n"


def ci_problems(blocks):
    """What makes a CI job differ from the Linux walk."""
    walk = [block for block in blocks if "linux" in block.platforms and not block.file]
    steps = [block for block in walk if block.ci_step]
    jobs = [block for block in blocks if block.ci_job]
    if len(steps) != 1:
        return ["%d Linux ci-step blocks, expected 1" % len(steps)]
    if not jobs:
        return ["no ci-job block"]
    step = [line.strip() for line in steps[0].lines if line.strip()]
    walk_lines = {line.strip() for block in walk for line in block.lines}
    problems = []
    for job in jobs:
        lines = [line.strip() for line in job.lines]
        if not any(lines[i:i + len(step)] == step for i in range(len(lines))):
            problems.append("the CI job at line %d does not hold the ci-step's lines in order" % job.line_number)
        for number, line in enumerate(lines, job.line_number):
            if re.match(r"^(tar |ORVEL=|cmake )", line) and line not in walk_lines:
                problems.append("line %d: %s: not a command of the Linux walk" % (number, line))
    return problems


def main(argv):
    if len(argv) == 4 and argv[1] == "script" and argv[2] in ("linux", "windows"):
        blocks = read_blocks(open(argv[3], encoding="utf-8").read())
        if not any(argv[2] in block.platforms for block in blocks):
            print("no block of the %s walk in %s" % (argv[2], argv[3]), file=sys.stderr)
            return 1
        sys.stdout.write(walk_script(blocks, argv[2]))
        return 0
    if len(argv) == 3 and argv[1] == "check-ci":
        problems = ci_problems(read_blocks(open(argv[2], encoding="utf-8").read()))
        for problem in problems:
            print(problem, file=sys.stderr)
        return 1 if problems else 0
    print(__doc__.rsplit("\n\n", 1)[-1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
